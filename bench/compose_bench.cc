// Composing the compile commands of many sources and the one link command that names all
// their objects, as a dry run does.
#include <benchmark/benchmark.h>

#include "bench_support.h"
#include "config/variable_table.h"
#include "phases/compile.h"
#include "phases/link.h"
#include "phases/output_names.h"
#include "run/run_state.h"

namespace {

run_state run_with_sources(int count) {
  run_state run;
  run.c_files = generated_sources(count);
  run.include_flags = " -I/opt/include -idirafter /opt/after";
  run.define_flags = " -DNDEBUG -DVERSION=3";
  run.pass_on_flags = " -Wall -fno-common";
  run.target_file = run.c_files.front();
  run.dry_run = true;
  setup_output_names(run);
  return run;
}

// Every compile command, then the link command, composed but not printed.
void BM_compose_commands(benchmark::State& state) {
  fill_variable_table();
  variable_table& table = the_variable_table();
  const run_state sources = run_with_sources(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    run_state run = sources;
    for (const std::string& source : run.c_files) {
      const std::string object = object_name(source, run);
      run.obj_files += " " + object;
      benchmark::DoNotOptimize(
          compose_compile_command(source_language::c, source, object, run, table));
    }
    benchmark::DoNotOptimize(compose_module_link_command(run, table));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_compose_commands)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The compile phase and the link phase of a dry run, printing to /dev/null: the composition
// and one flushed line per command.
void BM_dry_run_phases(benchmark::State& state) {
  fill_variable_table();
  variable_table& table = the_variable_table();
  const run_state sources = run_with_sources(static_cast<int>(state.range(0)));
  discarded_stdout quiet;
  for (auto _ : state) {
    run_state run = sources;
    benchmark::DoNotOptimize(compile_phase(run, table));
    benchmark::DoNotOptimize(link_phase(run, table));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_dry_run_phases)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
