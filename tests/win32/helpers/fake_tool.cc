// A stand-in for a compiler, linker or strip program on Windows. Copied under the name of the
// tool it stands for (NAME.exe), it appends its arguments, one a line, and a line "--" to
// NAME.log beside itself, writes the bytes of NAME.out there to standard output when that file
// exists, and exits with the number in NAME.status (0 without that file). Like the GNU tools it
// reads the arguments of an "@FILE" argument from FILE; like cmd.exe it refuses a command line
// longer than 8,191 characters (status 99), which Wine's cmd.exe does not. For tests of jobs that
// run at once, with a file NAME.delay holding milliseconds it also waits that long, and appends
// "start OUT TICKS PID" before and "end OUT TICKS PID" after to NAME.times (OUT the operand of
// its last -o, or "-"). With a file NAME.meet holding "GROUP TOTAL" it waits instead for the
// others of its group: the K-th to start ends only once the (K rounded up to a multiple of
// GROUP)-th, or the TOTAL-th, has started, so a group that runs at once shows so by the order of
// the lines, however slowly the processes start; it waits two minutes at most.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "support/response_reader.h"

namespace {

// The executable's full path without its ".exe".
std::string tool_stem() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string stem(path, length);
  const std::string::size_type dot = stem.rfind('.');
  const std::string::size_type slash = stem.find_last_of("/\\");
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) stem.erase(dot);
  return stem;
}

const std::size_t longest_command_line = 8191;
const int too_long_status = 99;

std::string file_text(const std::string& path) {
  std::string text;
  if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file))
      text += static_cast<char>(c);
    std::fclose(file);
  }
  return text;
}

// The arguments with every "@FILE" replaced by the arguments FILE holds.
std::vector<std::string> expanded_arguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) {
    if (argv[i][0] != '@') {
      arguments.push_back(argv[i]);
      continue;
    }
    for (const std::string& argument : read_response_arguments(file_text(argv[i] + 1))) {
      arguments.push_back(argument);
    }
  }
  return arguments;
}

// Appends the text in one write, so the lines of tools that run at once never mix.
void append_whole(const std::string& path, const std::string& text) {
  HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

void append_time(const std::string& path, const char* event, const std::string& output) {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  append_whole(path, std::string(event) + " " + output + " " + std::to_string(now.QuadPart) + " " +
                         std::to_string(GetCurrentProcessId()) + "\n");
}

// This process's place among the starts in a times log (1 for the first), and how many started.
void count_starts(const std::string& times, int& place, int& started) {
  const std::string pid = std::to_string(GetCurrentProcessId());
  place = 0;
  started = 0;
  std::size_t at = 0;
  while (at < times.size()) {
    std::size_t end = times.find('\n', at);
    if (end == std::string::npos) break;  // a line still being written
    const std::string line = times.substr(at, end - at);
    at = end + 1;
    if (line.compare(0, 6, "start ") != 0) continue;
    ++started;
    if (place == 0 && line.size() > pid.size() &&
        line.compare(line.size() - pid.size() - 1, std::string::npos, " " + pid) == 0) {
      place = started;
    }
  }
}

// Waits until the last of this process's group has started (see the head of this file).
void meet_group(const std::string& times_path, int group, int total) {
  const DWORD longest_wait_ms = 120000;
  const DWORD started_waiting = GetTickCount();
  for (;;) {
    int place = 0, started = 0;
    count_starts(file_text(times_path), place, started);
    int awaited = (place + group - 1) / group * group;
    if (awaited > total) awaited = total;
    if (started >= awaited || GetTickCount() - started_waiting > longest_wait_ms) return;
    Sleep(20);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (std::strlen(GetCommandLineA()) > longest_command_line) {
    std::fputs("The command line is too long.\n", stderr);
    return too_long_status;
  }
  const std::string stem = tool_stem();
  const std::vector<std::string> arguments = expanded_arguments(argc, argv);
  std::string output = "-";  // a dependency command names no output
  for (std::size_t i = 0; i + 1 < arguments.size(); ++i) {
    if (arguments[i] == "-o") output = arguments[i + 1];
  }
  int delay = -1;
  if (std::FILE* file = std::fopen((stem + ".delay").c_str(), "rb")) {
    if (std::fscanf(file, "%d", &delay) != 1) delay = -1;
    std::fclose(file);
  }
  int group = 0, total = 0;
  if (std::FILE* file = std::fopen((stem + ".meet").c_str(), "rb")) {
    if (std::fscanf(file, "%d %d", &group, &total) != 2) group = 0;
    std::fclose(file);
  }
  if (group > 0) {
    append_time(stem + ".times", "start", output);
    meet_group(stem + ".times", group, total);
    append_time(stem + ".times", "end", output);
  } else if (delay >= 0) {
    append_time(stem + ".times", "start", output);
    Sleep(static_cast<DWORD>(delay));
    append_time(stem + ".times", "end", output);
  }
  std::string logged;
  for (const std::string& argument : arguments) logged += argument + "\n";
  append_whole(stem + ".log", logged + "--\n");
  if (std::FILE* out = std::fopen((stem + ".out").c_str(), "rb")) {
    _setmode(_fileno(stdout), _O_BINARY);
    for (int c = std::fgetc(out); c != EOF; c = std::fgetc(out)) std::fputc(c, stdout);
    std::fclose(out);
    std::fflush(stdout);
  }
  int status = 0;
  if (std::FILE* file = std::fopen((stem + ".status").c_str(), "rb")) {
    if (std::fscanf(file, "%d", &status) != 1) status = 0;
    std::fclose(file);
  }
  return status;
}
