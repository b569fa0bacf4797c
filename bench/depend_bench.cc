// Reading compiler output line by line and rewriting the rule lines, as the dependency phase
// does with its pipe: realistic rules, then one line length after another up to a single line
// of 64 MB, so the throughput shows that the cost stays linear in the length of a line.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "phases/depend.h"

namespace {

constexpr long megabyte = 1 << 20;

// Rules as gcc -M prints them: a target line, then continuation lines of headers.
std::FILE* compiler_output(long total_bytes) {
  std::FILE* file = std::tmpfile();
  long written = 0;
  char line[160];
  for (int rule = 0; written < total_bytes; ++rule) {
    written += std::fprintf(file, "obj/f%05d.o: src/f%05d.c src/f%05d.h \\\n", rule % 100000,
                            rule % 100000, rule % 100000);
    for (int header = 0; header < 30; ++header) {
      const int length = std::snprintf(
          line, sizeof line, " /usr/include/x86_64-linux-gnu/bits/header_%02d.h \\\n", header);
      written += static_cast<long>(std::fwrite(line, 1, length, file));
    }
    written += std::fprintf(file, " /usr/include/stdio.h\n");
  }
  std::fflush(file);
  return file;
}

// Lines of one length, each a rule line whose ".o:" lies at its start, so the search for the
// last ".o:" crosses the whole line.
std::FILE* lines_of_length(long line_length, long total_bytes) {
  std::FILE* file = std::tmpfile();
  const std::string head = "obj/x.o:";
  std::string body;
  while (static_cast<long>(head.size() + body.size()) < line_length - 1) body += " dep.h";
  body.resize(line_length - 1 - head.size());
  for (long written = 0; written < total_bytes; written += line_length) {
    std::fwrite(head.data(), 1, head.size(), file);
    std::fwrite(body.data(), 1, body.size(), file);
    std::fputc('\n', file);
  }
  std::fflush(file);
  return file;
}

void rewrite_all(benchmark::State& state, std::FILE* file) {
  std::fseek(file, 0, SEEK_END);
  const long size = std::ftell(file);
  for (auto _ : state) {
    std::rewind(file);
    while (!std::feof(file)) {
      const std::string line = read_line(file);
      benchmark::DoNotOptimize(rewrite_dependency_line(line, "f.d"));
    }
  }
  state.SetBytesProcessed(state.iterations() * size);
}

void BM_rewrite_compiler_output(benchmark::State& state) {
  static std::FILE* file = compiler_output(100 * megabyte);
  rewrite_all(state, file);
}
BENCHMARK(BM_rewrite_compiler_output)->Unit(benchmark::kMillisecond);

void BM_rewrite_line_length(benchmark::State& state) {
  // 64 MB in lines of the given length; the last case is one line of 64 MB.
  std::FILE* file = lines_of_length(state.range(0), 64 * megabyte);
  rewrite_all(state, file);
  std::fclose(file);
}
BENCHMARK(BM_rewrite_line_length)
    ->Arg(64)
    ->Arg(4096)
    ->Arg(megabyte)
    ->Arg(64 * megabyte)
    ->Unit(benchmark::kMillisecond);

}  // namespace
