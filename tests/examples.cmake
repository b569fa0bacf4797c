# The example extension end to end: zrvbuild builds it against the stand-in environment of
# examples/ (a standard-configuration zrvbuild with the GNU/Linux profile), and the stand-in host
# loads and calls it. The real tool chain tests use the same stand-in environment.
if(WIN32 OR NOT ZRVBUILD_BUILD_EXAMPLES OR NOT EXISTS "${PROJECT_SOURCE_DIR}/examples/CMakeLists.txt")
  return()
endif()

# Both the host's output and the exit status count (tests/examples/run_example.cmake).
add_test(NAME example.run_example
         COMMAND "${CMAKE_COMMAND}" -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
                 -DBINARY_DIR=${PROJECT_BINARY_DIR}
                 -P "${CMAKE_CURRENT_SOURCE_DIR}/examples/run_example.cmake")

add_dependencies(zrvbuild_tests zorvan zrvinterp zrvhost)
target_compile_definitions(zrvbuild_tests PRIVATE
  ZRVBUILD_EXAMPLE_HOME="${PROJECT_BINARY_DIR}/examples/zorvan-home"
  ZRVBUILD_PROFILE="${PROJECT_SOURCE_DIR}/profiles/gnu-linux.sh")
