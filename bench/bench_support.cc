// Inputs shared by the micro-benchmarks.
#include "bench_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

std::vector<std::string> generated_sources(int count) {
  std::vector<std::string> names;
  names.reserve(count);
  char name[32];
  for (int i = 0; i < count; ++i) {
    std::snprintf(name, sizeof name, "f%05d.c", i);
    names.emplace_back(name);
  }
  return names;
}

discarded_stdout::discarded_stdout() {
  std::fflush(stdout);
  saved_fd = dup(STDOUT_FILENO);
  const int null_fd = open("/dev/null", O_WRONLY);
  dup2(null_fd, STDOUT_FILENO);
  close(null_fd);
}

discarded_stdout::~discarded_stdout() {
  std::fflush(stdout);
  dup2(saved_fd, STDOUT_FILENO);
  close(saved_fd);
}
