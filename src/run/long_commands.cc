// Commands longer than the command interpreter takes: the limit of this run, the refusal, and
// the response file of a link.
#include "run/long_commands.h"

#include <cstddef>
#include <string>

#include "platform/interpreter.h"
#include "run/messages.h"
#include "text/long_commands.h"

namespace {

// The environment does not change during a run, so neither does the limit.
std::size_t interpreter_limit() {
  static const std::size_t limit = command_interpreter_limit();
  return limit;
}

}  // namespace

bool command_fits_interpreter(std::size_t length) {
  return command_fits(length, interpreter_limit());
}

bool refuse_too_long_command(const std::string& command) {
  if (command_fits_interpreter(command.size()))
    return false;
  print_error("command too long for the command interpreter (" + std::to_string(command.size()) +
              " characters, limit " + std::to_string(interpreter_limit()) + ")");
  return true;
}

std::string write_link_response_file(const std::string& lists) {
  const std::string file =
      write_private_temporary_file(response_file_text(split_interpreter_words(lists)));
  if (file.empty())
    print_error("unable to write a response file for the link command");
  return file;
}
