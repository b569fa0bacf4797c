// Commands started through the command interpreter that system() uses (COMSPEC, else cmd.exe,
// given "/c" and the command), without waiting; the ones running are waited for together. Each
// command's standard output and error go to anonymous pipes, each read to its end by a thread of
// its own (an anonymous pipe takes no overlapped reads), so that a command never waits on a full
// pipe while the run waits for another command.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/processes.h"

namespace {

// One pipe's read end and what was read from it; its thread alone touches `text` until it ends.
struct pipe_reader {
  HANDLE pipe = nullptr;
  HANDLE thread = nullptr;
  std::string text;
};

struct running_command {
  long long id = 0;
  HANDLE process = nullptr;
  std::unique_ptr<pipe_reader> readers[2];  // standard output, standard error
};

std::vector<running_command> running;
long long last_id = 0;

DWORD WINAPI read_to_end(LPVOID argument) {
  pipe_reader& reader = *static_cast<pipe_reader*>(argument);
  char buffer[1 << 16];
  DWORD count = 0;
  while (ReadFile(reader.pipe, buffer, sizeof buffer, &count, nullptr) && count > 0)
    reader.text.append(buffer, count);
  return 0;
}

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

void close_if_open(HANDLE handle) {
  if (handle != nullptr && handle != INVALID_HANDLE_VALUE)
    CloseHandle(handle);
}

// A pipe whose write end the command inherits; the read end stays here.
bool open_pipe(HANDLE& read_end, HANDLE& write_end) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  if (!CreatePipe(&read_end, &write_end, &inherit, 0))
    return false;
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  return true;
}

// Waits for the readers of an ended command, which end once every holder of the write ends has.
void finish_readers(running_command& command, ended_command& ended) {
  std::string* texts[2] = {&ended.output, &ended.errors};
  for (int which = 0; which < 2; ++which) {
    pipe_reader& reader = *command.readers[which];
    WaitForSingleObject(reader.thread, INFINITE);
    CloseHandle(reader.thread);
    CloseHandle(reader.pipe);
    *texts[which] = std::move(reader.text);
  }
}

}  // namespace

long long start_command(const std::string& command) {
  const char* comspec = std::getenv("COMSPEC");
  const std::string interpreter = comspec != nullptr && *comspec != '\0' ? comspec : "cmd.exe";
  std::string command_line = interpreter + " /c " + command;

  HANDLE read_ends[2] = {nullptr, nullptr};
  HANDLE write_ends[2] = {nullptr, nullptr};
  const bool piped = open_pipe(read_ends[0], write_ends[0]) && open_pipe(read_ends[1], write_ends[1]);
  STARTUPINFOA startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = inheritable_copy(STD_INPUT_HANDLE);
  startup.hStdOutput = write_ends[0];
  startup.hStdError = write_ends[1];
  PROCESS_INFORMATION started;
  const BOOL created =
      piped &&
      CreateProcessA(comspec != nullptr && *comspec != '\0' ? interpreter.c_str() : nullptr,
                     &command_line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                     &started);
  // Only the command holds the write ends now: the readers end when it (and what it started)
  // has ended.
  close_if_open(startup.hStdInput);
  close_if_open(write_ends[0]);
  close_if_open(write_ends[1]);
  running_command next;
  for (int which = 0; created && which < 2; ++which) {
    next.readers[which].reset(new pipe_reader);
    next.readers[which]->pipe = read_ends[which];
    read_ends[which] = nullptr;
    next.readers[which]->thread =
        CreateThread(nullptr, 0, read_to_end, next.readers[which].get(), 0, nullptr);
  }
  if (!created) {
    close_if_open(read_ends[0]);
    close_if_open(read_ends[1]);
    return -1;
  }
  CloseHandle(started.hThread);
  next.id = ++last_id;
  next.process = started.hProcess;
  running.push_back(std::move(next));
  return last_id;
}

int wait_for_command(bool block, ended_command& ended) {
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
  running_command& command = running[index];
  DWORD code = 0;
  GetExitCodeProcess(command.process, &code);
  CloseHandle(command.process);
  finish_readers(command, ended);
  ended.id = command.id;
  ended.raw_status = static_cast<int>(code);
  running.erase(running.begin() + static_cast<std::ptrdiff_t>(index));
  return 1;
}

int most_running_commands() {
  return MAXIMUM_WAIT_OBJECTS;
}
