// Start-up: filling the variable table, once with a fixed environment and once from the
// process itself (environment, loaded modules, build constants).
#include <benchmark/benchmark.h>

#include "build_constants.h"
#include "config/variable_table.h"

namespace {

const char* no_environment(const char*) { return nullptr; }

void BM_fill_table_from(benchmark::State& state) {
  const table_constants constants = built_table_constants(build_constants::prefix);
  for (auto _ : state) {
    variable_table table;
    fill_table_from(table, no_environment, constants);
    benchmark::DoNotOptimize(table);
  }
}
BENCHMARK(BM_fill_table_from);

void BM_fill_variable_table(benchmark::State& state) {
  for (auto _ : state) {
    the_variable_table().clear();
    fill_variable_table();
    benchmark::DoNotOptimize(the_variable_table());
  }
}
BENCHMARK(BM_fill_variable_table);

}  // namespace
