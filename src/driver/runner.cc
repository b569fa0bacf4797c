// The command runner.
#include "driver/runner.h"

#include <cstdlib>

#include "driver/messages.h"
#include "driver/run_state.h"
#include "platform/interrupts.h"
#include "platform/wrappers.h"

int decode_command_status(int raw_status) {
  if (zorvan_wifexited_wrapper(raw_status)) return zorvan_wexitstatus_wrapper(raw_status);
  return raw_status;
}

int run_build_command(const std::string& command, bool dry_run) {
  if (!dry_run && refuse_too_long_command(command))
    return 1;
  // Echoed and flushed before the command starts, so it precedes the command's own output.
  if (dry_run || verbose) {
    print_out_line(command);
    // A command that was to be shown but could not be is not run, just as when SIGPIPE ends
    // the process at that write; the caller stops at the nonzero status.
    if (standard_output_failed()) return 1;
  }
  if (dry_run) return 0;
  // No command starts after an interruption, and one that was interrupted ends the run.
  end_if_interrupted(0);
  const int raw_status = std::system(command.c_str());
  end_if_interrupted(raw_status);
  return decode_command_status(raw_status);
}
