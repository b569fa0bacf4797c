# Everything installed beside the program (manual page, bash completion, documents) and the
# packages CPack makes of the installed tree: a .tar.gz and a Debian package.

install(FILES "${PROJECT_SOURCE_DIR}/man/zrvbuild.1" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
install(FILES "${PROJECT_SOURCE_DIR}/completions/zrvbuild.bash"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/bash-completion/completions" RENAME zrvbuild)

# The shell profile that gives a standard-configuration program the GNU/Linux settings goes with
# the documents of such a build; the glob makes the build notice when it appears. A gnu-linux
# build carries those settings itself.
set(zrvbuild_profiles "")
if(ZRVBUILD_CONFIGURATION STREQUAL "standard")
  file(GLOB zrvbuild_profiles CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/profiles/gnu-linux.sh")
endif()
install(FILES "${PROJECT_SOURCE_DIR}/README.md" "${PROJECT_SOURCE_DIR}/LICENSE"
              ${zrvbuild_profiles}
        DESTINATION "${CMAKE_INSTALL_DOCDIR}")

set(CPACK_PACKAGE_NAME zrvbuild)
set(CPACK_PACKAGE_VERSION "${ZRVBUILD_VERSION}")
set(CPACK_PACKAGE_VENDOR "The zrvbuild authors")
# Debian's Maintainer field needs a mail address; the default one is a placeholder under
# example.org, which whoever publishes the package replaces.
set(ZRVBUILD_PACKAGE_CONTACT "The zrvbuild authors <zrvbuild@example.org>" CACHE STRING
    "Name and mail address of the packages' maintainer")
set(CPACK_PACKAGE_CONTACT "${ZRVBUILD_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Build driver for extension modules of the Zorvan numerical computing environment")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_RESOURCE_FILE_README "${PROJECT_SOURCE_DIR}/README.md")
set(CPACK_SOURCE_GENERATOR "")
set(CPACK_STRIP_FILES ON)

# The Debian package installs under /usr: Debian's policy leaves /usr/local to the local
# administrator, and no package may put files there. A gnu-linux program finds the environment
# and names its run paths through its build prefix, so a gnu-linux build makes the Debian package
# only when it is built for /usr (the gnu-linux preset is). A standard program on GNU/Linux takes
# its directories from ZORVAN_HOME and the profile, whatever its prefix. The .tar.gz stays
# relative and can be unpacked anywhere.
set(zrvbuild_debian_package TRUE)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(zrvbuild_debian_package FALSE)
elseif(ZRVBUILD_CONFIGURATION STREQUAL "gnu-linux" AND NOT ZRVBUILD_PREFIX STREQUAL "/usr")
  message(STATUS "No Debian package: the program's build prefix is ${ZRVBUILD_PREFIX}, and a "
                 "Debian package installs under /usr (configure with -DCMAKE_INSTALL_PREFIX=/usr)")
  set(CPACK_GENERATOR TGZ)
  set(zrvbuild_debian_package FALSE)
else()
  set(CPACK_GENERATOR TGZ DEB)
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
# A dynamically linked program depends on the libraries that dpkg-shlibdeps (dpkg-dev) finds,
# or without it on those of the C++ run time, unversioned; a static one on none.
find_program(ZRVBUILD_DPKG_SHLIBDEPS dpkg-shlibdeps)
mark_as_advanced(ZRVBUILD_DPKG_SHLIBDEPS)
if(ZRVBUILD_STATIC)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "")
elseif(ZRVBUILD_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
endif()
# The long description, in lines of Debian's length.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Composes and runs the compiler and linker commands that build C, C++ and\n\
Fortran sources into loadable extension modules or stand-alone programs for\n\
Zorvan.")
# The description says which build configuration the program carries.
if(ZRVBUILD_CONFIGURATION STREQUAL "gnu-linux")
  # Its link lists name the Fortran run-time library, which comes with gfortran.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gcc, g++, gfortran")
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "ccache, distcc")
  string(APPEND CPACK_DEBIAN_PACKAGE_DESCRIPTION "\n\n\
This build carries the gnu-linux configuration: position-independent code,\n\
GNU/Linux link lists with run paths to the environment's libraries, and the\n\
environment's directories under ${ZRVBUILD_PREFIX} (or under ZORVAN_HOME) with\n\
forward slashes.")
else()
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gcc, g++")
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gfortran, ccache, distcc")
  string(APPEND CPACK_DEBIAN_PACKAGE_DESCRIPTION "\n\n\
This build carries the standard configuration (32-bit Windows, MinGW-w64); on\n\
GNU/Linux it needs the profile gnu-linux.sh from its documents.")
endif()
# The copyright file, the changelog and the compressed manual page of the Debian package.
set(CPACK_PRE_BUILD_SCRIPTS "${PROJECT_SOURCE_DIR}/cmake/debian_package_files.cmake")

# CPack's prefix for the Debian package is /usr; the archive stays relative.
set(CPACK_PROJECT_CONFIG_FILE "${PROJECT_BINARY_DIR}/cpack_project_config.cmake")
file(WRITE "${CPACK_PROJECT_CONFIG_FILE}"
     "if(CPACK_GENERATOR STREQUAL \"DEB\")\n"
     "  set(CPACK_PACKAGING_INSTALL_PREFIX \"/usr\")\n"
     "endif()\n")

include(CPack)
