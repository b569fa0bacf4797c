# Helpers of the package checks (check_cmake_package.cmake, check_target_commands.cmake).

# Runs a command in a directory; fails the check when it fails. The output goes to OUT.
function(run out dir)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY "${dir}" OUTPUT_VARIABLE output
                  ERROR_VARIABLE error RESULT_VARIABLE status)
  if(NOT status STREQUAL "0")
    string(REPLACE ";" " " command "${ARGN}")
    message(FATAL_ERROR "in ${dir}: ${command}\nexit status ${status}\n${output}\n${error}")
  endif()
  set(${out} "${output}" PARENT_SCOPE)
endfunction()

function(expect_equal what expected actual)
  if(NOT expected STREQUAL actual)
    message(FATAL_ERROR "${what}:\n  expected [${expected}]\n  actual   [${actual}]")
  endif()
endfunction()
