// Runs a program on Windows with a controlled argument vector, environment and working
// directory. Standard output comes through a pipe read to its end, so the output of a process
// that the program leaves running in its place (an exec in overlay mode) is waited for too;
// standard error goes to a temporary file.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "build_constants.h"
#include "platform/argv_quote.h"
#include "support/process.h"
#include "win32/win32_support.h"

namespace {

std::string command_line(const std::vector<std::string>& argv) {
  std::string line;
  for (const std::string& arg : argv) {
    if (!line.empty()) line += ' ';
    line += quote_windows_argument(arg);
  }
  return line;
}

std::string upper_name(const std::string& entry) {
  std::string name = entry.substr(0, entry.find('='));
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return name;
}

// The entries sorted by name without regard to case, as Windows expects, each ended by a NUL,
// and a final NUL.
std::string environment_block(std::vector<std::string> env) {
  std::stable_sort(env.begin(), env.end(), [](const std::string& a, const std::string& b) {
    return upper_name(a) < upper_name(b);
  });
  std::string block;
  for (const std::string& entry : env) block += entry + '\0';
  return block + '\0';
}

std::string read_to_end(HANDLE pipe) {
  std::string text;
  char buffer[4096];
  DWORD count = 0;
  while (ReadFile(pipe, buffer, sizeof buffer, &count, nullptr) && count > 0) {
    text.append(buffer, count);
  }
  return text;
}

std::string slurp_and_remove(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  in.close();
  DeleteFileA(path.c_str());
  return text.str();
}

std::string temporary_file_name() {
  char directory[MAX_PATH];
  char name[MAX_PATH];
  GetTempPathA(sizeof directory, directory);
  GetTempFileNameA(directory, "zrv", 0, name);
  return name;
}

}  // namespace

process_result run_program(const std::vector<std::string>& argv,
                           const std::vector<std::string>& env, const std::string& cwd) {
  process_result result;
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE out_read = nullptr;
  HANDLE out_write = nullptr;
  CreatePipe(&out_read, &out_write, &inherit, 0);
  SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);
  const std::string err_path = temporary_file_name();
  HANDLE err_write = CreateFileA(err_path.c_str(), GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
  HANDLE null_in = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                               OPEN_EXISTING, 0, nullptr);

  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = null_in;
  startup.hStdOutput = out_write;
  startup.hStdError = err_write;
  PROCESS_INFORMATION process = {};
  std::string line = command_line(argv);
  const std::string block = environment_block(env);
  const BOOL started = CreateProcessA(
      argv[0].c_str(), &line[0], nullptr, nullptr, TRUE, 0, const_cast<char*>(block.data()),
      cwd == "." ? nullptr : cwd.c_str(), &startup, &process);
  // Only the child may hold the write ends now, so the pipe ends when the child's side does.
  CloseHandle(out_write);
  CloseHandle(err_write);
  CloseHandle(null_in);
  if (started) {
    result.out = read_to_end(out_read);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    result.status = static_cast<int>(code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(out_read);
  result.err = slurp_and_remove(err_path);
  if (!started) result.err += "cannot start " + argv[0] + "\n";
  return result;
}

process_result run_zrvbuild(const std::vector<std::string>& args,
                            const std::vector<std::string>& env, const std::string& cwd) {
  std::vector<std::string> argv = {native_path(ZRVBUILD_EXE)};
  argv.insert(argv.end(), args.begin(), args.end());
  const std::string windows = windows_directory();
  const std::string system = windows + "\\system32";
  // The command interpreter needs these besides PATH; an entry given by the test replaces the
  // default of the same name.
  std::vector<std::string> full_env = {"PATH=" + system + ";" + windows, "SystemRoot=" + windows,
                                       "COMSPEC=" + system + "\\cmd.exe"};
  for (const std::string& entry : env) {
    full_env.erase(std::remove_if(full_env.begin(), full_env.end(),
                                  [&](const std::string& old) {
                                    return upper_name(old) == upper_name(entry);
                                  }),
                   full_env.end());
    full_env.push_back(entry);
  }
  return run_program(argv, full_env, cwd);
}

std::string built_prefix() { return build_constants::prefix; }
std::string built_version() { return build_constants::version; }
