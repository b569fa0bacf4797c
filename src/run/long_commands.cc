// Commands longer than the command interpreter takes: the limit of this run, the refusal, and
// the response file of a link.
#include "run/long_commands.h"

#include <cstddef>
#include <string>

#include "platform/files.h"
#include "platform/interpreter.h"
#include "run/messages.h"
#include "text/long_commands.h"

bool command_fits_interpreter(const std::string& command) {
  return command_fits(command.size(), command_interpreter_limit(command));
}

bool refuse_too_long_command(const std::string& command) {
  const std::size_t limit = command_interpreter_limit(command);
  if (command_fits(command.size(), limit))
    return false;
  print_error("command too long for the command interpreter (" + std::to_string(command.size()) +
              " characters, limit " + std::to_string(limit) + ")");
  return true;
}

std::string write_link_response_file(const std::string& lists) {
  std::string failure;
  const std::string file =
      write_private_temporary_file(response_file_text(split_interpreter_words(lists)), failure);
  if (file.empty())
    print_error(failure);
  return file;
}
