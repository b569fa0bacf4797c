// Temporary directories and file helpers for the tests.
#include "support/scratch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

scratch_dir::scratch_dir() {
  char name[] = "/tmp/zrvbuild-test-XXXXXX";
  root = mkdtemp(name);
}

scratch_dir::~scratch_dir() {
  std::error_code ignored;
  // A test may have made a directory read-only; give write permission back before removal.
  for (auto& entry : std::filesystem::recursive_directory_iterator(root, ignored)) {
    if (entry.is_directory(ignored)) chmod(entry.path().c_str(), 0755);
  }
  chmod(root.c_str(), 0755);
  std::filesystem::remove_all(root, ignored);
}

std::string scratch_dir::path(const std::string& name) const { return root + "/" + name; }

bool file_exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

void write_script(const std::string& path, const std::string& body) {
  write_file(path, "#!/bin/sh\n" + body);
  chmod(path.c_str(), 0755);
}
