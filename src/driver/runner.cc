// The command runner.
#include "driver/runner.h"

#include <cstdlib>

#include "driver/messages.h"
#include "driver/run_state.h"
#include "platform/wrappers.h"

int decode_command_status(int raw_status) {
  if (zorvan_wifexited_wrapper(raw_status)) return zorvan_wexitstatus_wrapper(raw_status);
  return raw_status;
}

int run_build_command(const std::string& command, bool dry_run) {
  if (dry_run) {
    print_out_line(command);
    return 0;
  }
  // Echoed and flushed before the command starts, so it precedes the command's own output.
  if (verbose) print_out_line(command);
  return decode_command_status(std::system(command.c_str()));
}
