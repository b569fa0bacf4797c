# Runs the layer check on the planted tree: it must fail and name each of its faults.
execute_process(COMMAND "${CMAKE_COMMAND}" -DSOURCE_DIR=${PLANTED_DIR} -P "${CHECK_SCRIPT}"
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(status EQUAL 0)
  message(FATAL_ERROR "the layer check passed a tree with wrong includes:\n${out}${err}")
endif()
foreach(fault "src/platform/modules.h includes config/install_root.h"
              "src/text/text_rules.cc includes platform/wrappers.h"
              "src/config/variable_table.cc includes run/run_state.h"
              "src/phases/compile.cc includes driver/command_line.h"
              "src/run/runner.cc includes phases/link.h")
  string(FIND "${err}" "${fault}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the layer check did not name \"${fault}\":\n${err}")
  endif()
endforeach()
