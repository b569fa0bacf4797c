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
set(CPACK_PACKAGE_CONTACT "The zrvbuild authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Build driver for extension modules of the Zorvan numerical computing environment")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_RESOURCE_FILE_README "${PROJECT_SOURCE_DIR}/README.md")
set(CPACK_SOURCE_GENERATOR "")
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR TGZ DEB)
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Composes and runs the compiler and linker commands that build C, C++ and Fortran\
 sources into loadable extension modules or stand-alone programs for Zorvan.")
# The description says which build configuration the program carries.
if(ZRVBUILD_CONFIGURATION STREQUAL "gnu-linux")
  # Its link lists name the Fortran run-time library, which comes with gfortran.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gcc, g++, gfortran")
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "ccache, distcc")
  string(APPEND CPACK_DEBIAN_PACKAGE_DESCRIPTION "\n This build carries the gnu-linux\
 configuration: position-independent code, GNU/Linux link lists with run paths to the\
 environment's libraries, and the environment's directories under ${ZRVBUILD_PREFIX} (or under\
 ZORVAN_HOME) with forward slashes.")
else()
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gcc, g++")
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gfortran, ccache, distcc")
  string(APPEND CPACK_DEBIAN_PACKAGE_DESCRIPTION "\n This build carries the standard\
 configuration (32-bit Windows, MinGW-w64); on GNU/Linux it needs the profile gnu-linux.sh\
 from its documents.")
endif()

# The program carries its install prefix as the build prefix, so the Debian package installs
# under that same prefix (CPack's own default for it would be /usr). The archive stays relative.
set(CPACK_PROJECT_CONFIG_FILE "${PROJECT_BINARY_DIR}/cpack_project_config.cmake")
file(WRITE "${CPACK_PROJECT_CONFIG_FILE}"
     "if(CPACK_GENERATOR STREQUAL \"DEB\")\n"
     "  set(CPACK_PACKAGING_INSTALL_PREFIX \"${CMAKE_INSTALL_PREFIX}\")\n"
     "endif()\n")

include(CPack)
