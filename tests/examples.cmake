# The example extension end to end: zrvbuild builds it against the stand-in environment of
# examples/ (a standard-configuration zrvbuild with the GNU/Linux profile), and the stand-in host
# loads and calls it. The real tool chain tests use the same stand-in environment.
if(WIN32 OR NOT ZRVBUILD_BUILD_EXAMPLES OR NOT EXISTS "${PROJECT_SOURCE_DIR}/examples/CMakeLists.txt")
  return()
endif()

add_test(NAME example.run_example
         COMMAND sh "${PROJECT_SOURCE_DIR}/examples/run-example.sh" "${PROJECT_BINARY_DIR}")
set_tests_properties(example.run_example PROPERTIES
  PASS_REGULAR_EXPRESSION "count = 4\nmean = 2.5\nrms = 2.73861\nresult = 0.238613 \\(3 values shown\\)")

add_dependencies(zrvbuild_tests zorvan zrvinterp zrvhost)
target_compile_definitions(zrvbuild_tests PRIVATE
  ZRVBUILD_EXAMPLE_HOME="${PROJECT_BINARY_DIR}/examples/zorvan-home"
  ZRVBUILD_PROFILE="${PROJECT_SOURCE_DIR}/profiles/gnu-linux.sh")
