// Helpers of the Windows tests.
#include "win32/win32_support.h"

#include <windows.h>

#include "support/scratch.h"

std::string native_path(const std::string& built_path) {
  std::string path = built_path;
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

std::string windows_directory() {
  char directory[MAX_PATH];
  const UINT length = GetWindowsDirectoryA(directory, sizeof directory);
  return std::string(directory, length);
}

std::string fake_tool_exe() { return native_path(ZRVBUILD_FAKE_TOOL); }
std::string argv_echo_exe() { return native_path(ZRVBUILD_ARGV_ECHO); }
std::string exec_launcher_exe() { return native_path(ZRVBUILD_EXEC_LAUNCHER); }
std::string probe_dll() { return native_path(ZRVBUILD_PROBE_DLL); }

std::string install_fake_tool(const std::string& dir, const std::string& name, int status,
                              const std::string& output) {
  const std::string stem = dir + "\\" + name;
  CopyFileA(fake_tool_exe().c_str(), (stem + ".exe").c_str(), FALSE);
  write_file(stem + ".status", std::to_string(status));
  if (!output.empty()) write_file(stem + ".out", output);
  return stem + ".log";
}
