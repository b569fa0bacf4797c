// Start-up: filling the variable table, once with a fixed environment and once from the
// process itself (environment, loaded modules, build constants).
#include <benchmark/benchmark.h>

#include "build_constants.h"
#include "config/variable_table.h"

namespace {

const char* no_environment(const char*) { return nullptr; }

void BM_fill_table_from(benchmark::State& state) {
  table_constants constants;
  constants.prefix = build_constants::prefix;
  constants.version = build_constants::version;
  constants.root = build_constants::prefix;
  constants.ldflags = build_constants::ldflags;
  constants.flibs = build_constants::flibs;
  constants.zorvan_link_deps = build_constants::zorvan_link_deps;
  constants.zorvan_link_opts = build_constants::zorvan_link_opts;
  constants.zrv_link_deps = build_constants::zrv_link_deps;
  constants.zrv_link_opts = build_constants::zrv_link_opts;
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
