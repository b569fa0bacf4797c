# Runs examples/run-example.sh and passes only when it exits with status 0 and its output ends
# with the lines the stand-in host prints for the example's numbers: right output followed by a
# crash, or by a sanitizer report at exit, must fail.
#   cmake -DSOURCE_DIR=<tree> -DBINARY_DIR=<build tree> -P run_example.cmake
foreach(variable SOURCE_DIR BINARY_DIR)
  if(NOT ${variable})
    message(FATAL_ERROR "${variable} is not set")
  endif()
endforeach()

execute_process(COMMAND sh "${SOURCE_DIR}/examples/run-example.sh" "${BINARY_DIR}"
                RESULT_VARIABLE status
                OUTPUT_VARIABLE output
                ERROR_VARIABLE errors
                ECHO_OUTPUT_VARIABLE
                ECHO_ERROR_VARIABLE)

set(expected_tail "count = 4\nmean = 2.5\nrms = 2.73861\nresult = 0.238613 (3 values shown)\n")
string(LENGTH "${output}" output_length)
string(LENGTH "${expected_tail}" tail_length)
set(tail "")
if(output_length GREATER_EQUAL tail_length)
  math(EXPR tail_start "${output_length} - ${tail_length}")
  string(SUBSTRING "${output}" ${tail_start} -1 tail)
endif()

set(faults "")
if(NOT status STREQUAL "0")
  string(APPEND faults "  run-example.sh ended with status ${status}, not 0\n")
endif()
if(NOT tail STREQUAL expected_tail)
  string(APPEND faults "  its output does not end with:\n${expected_tail}")
endif()
if(faults)
  message(FATAL_ERROR "example.run_example:\n${faults}")
endif()
