// Commands started through the command interpreter that system() uses (COMSPEC, else cmd.exe,
// given "/c" and the command), without waiting; the ones running are waited for together.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdlib>
#include <vector>

#include "platform/processes.h"

namespace {

struct running_command {
  long long id;
  HANDLE process;
};

std::vector<running_command> running;
long long last_id = 0;

// An inheritable copy of one of this process's standard handles, or null.
HANDLE inheritable_copy(DWORD which) {
  HANDLE original = GetStdHandle(which);
  HANDLE copy = nullptr;
  if (original == nullptr || original == INVALID_HANDLE_VALUE)
    return nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), original, GetCurrentProcess(), &copy, 0, TRUE,
                       DUPLICATE_SAME_ACCESS)) {
    return nullptr;
  }
  return copy;
}

HANDLE inheritable_output_file(const std::string& path) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                     CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void close_if_open(HANDLE handle) {
  if (handle != nullptr && handle != INVALID_HANDLE_VALUE)
    CloseHandle(handle);
}

}  // namespace

long long start_command(const std::string& command, const std::string& stdout_path,
                        const std::string& stderr_path) {
  const char* comspec = std::getenv("COMSPEC");
  const std::string interpreter = comspec != nullptr && *comspec != '\0' ? comspec : "cmd.exe";
  std::string command_line = interpreter + " /c " + command;

  STARTUPINFOA startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = inheritable_copy(STD_INPUT_HANDLE);
  startup.hStdOutput = stdout_path.empty() ? inheritable_copy(STD_OUTPUT_HANDLE)
                                           : inheritable_output_file(stdout_path);
  startup.hStdError = stderr_path.empty() ? inheritable_copy(STD_ERROR_HANDLE)
                                          : inheritable_output_file(stderr_path);
  PROCESS_INFORMATION started;
  const bool ok = (stdout_path.empty() || startup.hStdOutput != INVALID_HANDLE_VALUE) &&
                  (stderr_path.empty() || startup.hStdError != INVALID_HANDLE_VALUE);
  const BOOL created =
      ok && CreateProcessA(comspec != nullptr && *comspec != '\0' ? interpreter.c_str() : nullptr,
                           &command_line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                           &started);
  close_if_open(startup.hStdInput);
  close_if_open(startup.hStdOutput);
  close_if_open(startup.hStdError);
  if (!created)
    return -1;
  CloseHandle(started.hThread);
  running.push_back({++last_id, started.hProcess});
  return last_id;
}

long long wait_for_command(bool block, int& raw_status) {
  if (running.empty())
    return -1;
  std::vector<HANDLE> handles;
  for (const running_command& command : running)
    handles.push_back(command.process);
  const DWORD result = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(),
                                              FALSE, block ? INFINITE : 0);
  if (result == WAIT_TIMEOUT)
    return 0;
  if (result >= WAIT_OBJECT_0 + handles.size())
    return -1;
  const std::size_t index = result - WAIT_OBJECT_0;
  DWORD code = 0;
  GetExitCodeProcess(running[index].process, &code);
  CloseHandle(running[index].process);
  const long long id = running[index].id;
  running.erase(running.begin() + static_cast<std::ptrdiff_t>(index));
  raw_status = static_cast<int>(code);
  return id;
}

int most_running_commands() {
  return MAXIMUM_WAIT_OBJECTS;
}
