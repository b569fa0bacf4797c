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

std::string write_private_temporary_file(const std::string& text) {
  // The temporary directory is the user's own; the file gets a name no other file has.
  char directory[MAX_PATH + 1];
  const DWORD length = GetTempPathA(sizeof directory, directory);
  if (length == 0 || length > sizeof directory)
    return "";
  char name[MAX_PATH + 1];
  if (GetTempFileNameA(directory, "zrv", 0, name) == 0)
    return "";
  std::FILE* file = std::fopen(name, "wb");
  bool written = file != nullptr && std::fwrite(text.data(), 1, text.size(), file) == text.size();
  if (file != nullptr && std::fclose(file) != 0)
    written = false;
  if (written)
    return name;
  DeleteFileA(name);
  return "";
}

void remove_private_temporary_file(const std::string& name) {
  DeleteFileA(name.c_str());
}

std::string make_private_temporary_directory() {
  char directory[MAX_PATH + 1];
  const DWORD length = GetTempPathA(sizeof directory, directory);
  if (length == 0 || length > sizeof directory)
    return "";
  // CreateDirectory fails on a name that exists: the directory is new, and the user's own.
  const std::string stem = std::string(directory) + "zrvbuild-" +
                           std::to_string(GetCurrentProcessId()) + "-" +
                           std::to_string(GetTickCount()) + "-";
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = stem + std::to_string(attempt);
    if (CreateDirectoryA(name.c_str(), nullptr))
      return name;
    if (GetLastError() != ERROR_ALREADY_EXISTS)
      return "";
  }
  return "";
}

void remove_private_temporary_directory(const std::string& name) {
  RemoveDirectoryA(name.c_str());
}
