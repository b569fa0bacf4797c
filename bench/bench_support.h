// Inputs shared by the micro-benchmarks: generated source names and a way to discard what the
// program prints while a benchmark runs.
#pragma once

#include <string>
#include <vector>

// "f00000.c", "f00001.c", ...: count C source names as a user's make loop would pass them.
std::vector<std::string> generated_sources(int count);

// Sends standard output to /dev/null while it lives; restores it afterwards, so the benchmark
// library's own report still reaches the terminal.
struct discarded_stdout {
  discarded_stdout();
  ~discarded_stdout();
  discarded_stdout(const discarded_stdout&) = delete;
  discarded_stdout& operator=(const discarded_stdout&) = delete;
  int saved_fd;
};
