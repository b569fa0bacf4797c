// Whole-file reads and writes for the tests, the same on every platform.
#include <fstream>
#include <sstream>

#include "support/scratch.h"

void write_file(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary);
  out << content;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}
