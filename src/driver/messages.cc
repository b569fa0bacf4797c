// The one printing path for lines on standard output and standard error.
#include "driver/messages.h"

#include <cstdio>

void print_out_line(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void print_error(const std::string& message) {
  std::string line = "zrvbuild: " + message + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}
