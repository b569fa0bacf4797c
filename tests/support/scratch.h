// A fresh temporary directory for one test, removed afterwards, and small file helpers.
#pragma once

#include <string>

struct scratch_dir {
  scratch_dir();
  ~scratch_dir();
  scratch_dir(const scratch_dir&) = delete;
  scratch_dir& operator=(const scratch_dir&) = delete;

  // The absolute path of name inside the directory.
  std::string path(const std::string& name) const;

  std::string root;
};

void write_file(const std::string& path, const std::string& content);
std::string read_file(const std::string& path);
bool file_exists(const std::string& path);

// Writes an executable /bin/sh script with the given body (the "#!/bin/sh" line is added).
void write_script(const std::string& path, const std::string& body);
