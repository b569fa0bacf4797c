// The command interpreter on Windows: cmd.exe, started by system(); the tools it starts split
// their command lines by the run-time's rules.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/interpreter.h"
#include "text/long_commands.h"
#include "text/name_quoting.h"

namespace {

// cmd.exe refuses a longer command: "The command line is too long."
const std::size_t cmd_exe_longest_command = 8191;

}  // namespace

std::string quote_name_for_interpreter(const std::string& name) {
  return quote_file_name(name, interpreter_kind::cmd_exe);
}

std::string quote_file_for_interpreter(const std::string& name) {
  return quote_file_operand(name, interpreter_kind::cmd_exe);
}

bool interpreter_can_pass_name(const std::string& name) {
  return can_pass_file_name(name, interpreter_kind::cmd_exe);
}

std::size_t command_interpreter_limit(const std::string&) {
  return cmd_exe_longest_command;
}

std::vector<std::string> split_interpreter_words(const std::string& text) {
  return split_windows_words(text);
}
