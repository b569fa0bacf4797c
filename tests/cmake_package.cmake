# The CMake package from an installed tree: a Ninja build of the example extension through it,
# checked against zrvbuild's own commands and results (cmake_package/check_cmake_package.cmake),
# and a project using the usual target commands, standards and install(TARGETS) on the
# package's targets (cmake_package/check_target_commands.cmake).
# It runs in the gnu-linux configuration, whose zrvbuild needs nothing but ZORVAN_HOME to name
# the stand-in environment. The check installs with cmake --install, which writes the build
# tree's install manifest, so it never runs beside the install checks.
if(WIN32 OR NOT ZRVBUILD_CONFIGURATION STREQUAL "gnu-linux" OR NOT ZRVBUILD_BUILD_EXAMPLES
   OR NOT EXISTS "${PROJECT_SOURCE_DIR}/examples/CMakeLists.txt")
  return()
endif()

add_test(NAME cmake_package.example_built_as_zrvbuild_builds_it
         COMMAND "${CMAKE_COMMAND}" -E env "ZORVAN_HOME=${PROJECT_BINARY_DIR}/examples/zorvan-home"
                 "${CMAKE_COMMAND}" "-DBUILD_DIR=${PROJECT_BINARY_DIR}"
                 "-DSOURCE_DIR=${PROJECT_SOURCE_DIR}" "-DVERSION=${ZRVBUILD_VERSION}"
                 -P "${CMAKE_CURRENT_SOURCE_DIR}/cmake_package/check_cmake_package.cmake")
set_tests_properties(cmake_package.example_built_as_zrvbuild_builds_it PROPERTIES
                     SKIP_REGULAR_EXPRESSION "SKIP: " RESOURCE_LOCK zrvbuild_install_tree
                     LABELS ecosystem)

add_test(NAME cmake_package.targets_take_cmake_commands_and_standards
         COMMAND "${CMAKE_COMMAND}" -E env "ZORVAN_HOME=${PROJECT_BINARY_DIR}/examples/zorvan-home"
                 "${CMAKE_COMMAND}" "-DBUILD_DIR=${PROJECT_BINARY_DIR}" "-DVERSION=${ZRVBUILD_VERSION}"
                 -P "${CMAKE_CURRENT_SOURCE_DIR}/cmake_package/check_target_commands.cmake")
set_tests_properties(cmake_package.targets_take_cmake_commands_and_standards PROPERTIES
                     SKIP_REGULAR_EXPRESSION "SKIP: " RESOURCE_LOCK zrvbuild_install_tree
                     LABELS ecosystem)
