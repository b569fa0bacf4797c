# The CMake package that lets other projects build modules with zrvbuild's configuration:
# lib/cmake/zrvbuild/ holds the config file, its version file and the functions.

include(CMakePackageConfigHelpers)

set(ZRVBUILD_PACKAGE_DIR "lib/cmake/zrvbuild")
set(ZRVBUILD_PACKAGE_BINDIR "${CMAKE_INSTALL_BINDIR}")
# The config file finds the program relative to itself. A cross build's prefix (C:/...) is no
# full path on the build host; any full path stands in for it then.
set(_zrv_package_prefix "${CMAKE_INSTALL_PREFIX}")
if(NOT IS_ABSOLUTE "${_zrv_package_prefix}")
  set(_zrv_package_prefix "/")
endif()
configure_package_config_file("${PROJECT_SOURCE_DIR}/cmake/zrvbuild-config.cmake.in"
                              "${PROJECT_BINARY_DIR}/cmake_package/zrvbuild-config.cmake"
                              INSTALL_DESTINATION "${ZRVBUILD_PACKAGE_DIR}"
                              INSTALL_PREFIX "${_zrv_package_prefix}"
                              PATH_VARS ZRVBUILD_PACKAGE_BINDIR)
# The package runs the program and reads its values, so the architecture the program was built
# for does not matter to the projects that use it.
write_basic_package_version_file("${PROJECT_BINARY_DIR}/cmake_package/zrvbuild-config-version.cmake"
                                 VERSION "${ZRVBUILD_VERSION}" COMPATIBILITY SameMajorVersion
                                 ARCH_INDEPENDENT)
install(FILES "${PROJECT_BINARY_DIR}/cmake_package/zrvbuild-config.cmake"
              "${PROJECT_BINARY_DIR}/cmake_package/zrvbuild-config-version.cmake"
              "${PROJECT_SOURCE_DIR}/cmake/zrvbuild-functions.cmake"
        DESTINATION "${ZRVBUILD_PACKAGE_DIR}")
