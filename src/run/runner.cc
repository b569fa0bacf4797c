// The command runner: the one place where a command is echoed, refused, started and decoded.
#include "run/runner.h"

#include <cstdlib>

#include "platform/files.h"
#include "platform/interpreter.h"
#include "platform/interrupts.h"
#include "platform/wrappers.h"
#include "run/command_log.h"
#include "run/long_commands.h"
#include "run/messages.h"
#include "run/run_state.h"

bool verbose = false;

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
  end_run_if_interrupted(0);
  const int raw_status = std::system(command.c_str());
  end_run_if_interrupted(raw_status);
  return decode_command_status(raw_status);
}

int run_link_command(const std::string& head, const std::string& lists, const std::string& tail,
                     bool dry_run) {
  std::string command;
  command.reserve(head.size() + lists.size() + tail.size());
  command.append(head).append(lists).append(tail);
  if (dry_run || command_fits_interpreter(command)) {
    return run_build_command(command, dry_run);
  }
  const std::string file = write_link_response_file(lists);
  if (file.empty())
    return 1;
  // An interruption that ends the run during the link removes the file as well.
  const int slot = register_temporary(file);
  const int status =
      run_build_command(head + quote_name_for_interpreter("@" + file) + tail, false);
  remove_private_temporary_file(file);
  release_temporary(slot);
  return status;
}
