// Temporary directories and file helpers for the tests on Windows.
#include <io.h>
#include <windows.h>

#include <filesystem>
#include <string>

#include "support/scratch.h"

scratch_dir::scratch_dir() {
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  std::string base = temp;
  if (!base.empty() && base.back() == '\\') base.pop_back();
  // Another test process may hold a name already; the process id keeps the tries few.
  for (unsigned attempt = 0; attempt < 1000; ++attempt) {
    root = base + "\\zrvbuild-test-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(attempt);
    if (CreateDirectoryA(root.c_str(), nullptr)) break;
  }
}

scratch_dir::~scratch_dir() {
  std::error_code ignored;
  std::filesystem::remove_all(root, ignored);
}

std::string scratch_dir::path(const std::string& name) const { return root + "\\" + name; }

bool file_exists(const std::string& path) { return _access(path.c_str(), 0) == 0; }
