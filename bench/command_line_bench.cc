// The walk over long command lines: a make loop or a script may hand over every source of a
// project at once.
#include <benchmark/benchmark.h>

#include "bench_support.h"
#include "config/variable_table.h"
#include "driver/command_line.h"
#include "run/run_state.h"

namespace {

void BM_walk_command_line(benchmark::State& state) {
  fill_variable_table();
  const std::vector<std::string> sources = generated_sources(static_cast<int>(state.range(0)));
  // A few options between the sources, as a real command line has them.
  std::vector<std::string> args = {"zrvbuild", "-n", "-I/opt/include dir", "-DNDEBUG", "-Wall"};
  for (std::size_t i = 0; i < sources.size(); ++i) {
    args.push_back(sources[i]);
    if (i % 1000 == 999) args.push_back("-DX" + std::to_string(i));
  }
  args.push_back("-lm");
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  for (auto _ : state) {
    run_state run;
    bool run_ended = false;
    benchmark::DoNotOptimize(
        walk_command_line(static_cast<int>(argv.size()), argv.data(), run, run_ended));
    benchmark::DoNotOptimize(run);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(argv.size()));
}
BENCHMARK(BM_walk_command_line)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
