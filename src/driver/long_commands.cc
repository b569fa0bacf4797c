// Commands longer than the command interpreter takes: refused, or for a link, run with the
// object and library lists in a response file.
#include "text/long_commands.h"

#include <cstddef>
#include <string>

#include "driver/messages.h"
#include "driver/runner.h"
#include "platform/interpreter.h"
#include "platform/interrupts.h"
#include "text/text_rules.h"

namespace {

// The environment does not change during a run, so neither does the limit.
std::size_t interpreter_limit() {
  static const std::size_t limit = command_interpreter_limit();
  return limit;
}

}  // namespace

bool refuse_too_long_command(const std::string& command) {
  if (command_fits(command.size(), interpreter_limit()))
    return false;
  print_error("command too long for the command interpreter (" + std::to_string(command.size()) +
              " characters, limit " + std::to_string(interpreter_limit()) + ")");
  return true;
}

int run_link_command(const std::string& head, const std::string& lists, const std::string& tail,
                     bool dry_run) {
  std::string command;
  command.reserve(head.size() + lists.size() + tail.size());
  command.append(head).append(lists).append(tail);
  if (dry_run || command_fits(command.size(), interpreter_limit())) {
    return run_build_command(command, dry_run);
  }
  const std::string file =
      write_private_temporary_file(response_file_text(split_interpreter_words(lists)));
  if (file.empty()) {
    print_error("unable to write a response file for the link command");
    return 1;
  }
  // An interruption that ends the run during the link removes the file as well.
  const int slot = register_temporary(file);
  const int status = run_build_command(head + quote_if_blank("@" + file) + tail, false);
  remove_private_temporary_file(file);
  release_temporary(slot);
  return status;
}
