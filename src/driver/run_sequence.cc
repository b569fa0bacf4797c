// The order of one run.
#include "driver/run_sequence.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "config/variable_table.h"
#include "driver/command_line.h"
#include "driver/help_text.h"
#include "phases/compile.h"
#include "phases/depend.h"
#include "phases/incremental.h"
#include "phases/jobs.h"
#include "phases/link.h"
#include "phases/output_names.h"
#include "platform/interpreter.h"
#include "run/command_log.h"
#include "run/messages.h"
#include "run/progress.h"
#include "run/run_state.h"
#include "text/make_flags.h"
#include "text/text_rules.h"

namespace {

bool is_version_request(const std::string& arg) {
  return arg == "-v" || arg == "-version" || arg == "--version";
}

// Debugging MEX files is announced to their sources when the C flags ask for debugging.
void add_mex_debug_define(run_state& run) {
  if (run.target_ext == ".mex" && table_value("ALL_CFLAGS").find("-g") != std::string::npos) {
    run.define_flags += " -DMEX_DEBUG";
  }
}

std::string makeflags() {
  const char* value = std::getenv("MAKEFLAGS");
  return value != nullptr ? value : "";
}

std::size_t source_count(const run_state& run, bool with_fortran) {
  return run.c_files.size() + run.cxx_files.size() + (with_fortran ? run.fortran_files.size() : 0);
}

// The compile phase, with parallel jobs when ZRVBUILD_JOBS asks for them and there is more than
// one source; a dry run prints the sequential run's commands. Both read the same plan.
int compile_with_jobs(run_state& run, variable_table& table, int job_count) {
  const std::vector<planned_command> plan = plan_compiles(run, table);
  if (job_count <= 1 || run.dry_run || source_count(run, true) <= 1) {
    return compile_phase(run, plan);
  }
  jobserver server = open_jobserver(parse_jobserver_auth(makeflags()));
  const int status = parallel_compile_phase(run, plan, job_count, server);
  close_jobserver(server);
  return status;
}

// The dependency phase, with parallel jobs when ZRVBUILD_JOBS asks for them and there is more
// than one source.
int depend_with_jobs(run_state& run, variable_table& table, int job_count) {
  const std::vector<planned_command> plan = plan_dependencies(run, table);
  if (job_count <= 1 || source_count(run, false) <= 1) return depend_phase(plan);
  jobserver server = open_jobserver(parse_jobserver_auth(makeflags()));
  const int status = parallel_depend_phase(plan, job_count, server);
  close_jobserver(server);
  return status;
}

// The phases in their order, each a span of the trace.
int run_phases(run_state& run, variable_table& table, int job_count) {
  long long start = log_clock();
  if (run.depend) {
    const int status = depend_with_jobs(run, table, job_count);
    log_span("dependency files", "phase", start, log_clock(), 0);
    return status;
  }
  const int status = compile_with_jobs(run, table, job_count);
  log_span("compile", "phase", start, log_clock(), 0);
  if (!run.link || status != 0 || run.obj_files.empty()) return status;
  start = log_clock();
  const int link_status = link_phase(run, table);
  log_span(run.strip ? "link and strip" : "link", "phase", start, log_clock(), 0);
  return link_status;
}

// The names made from given ones, the objects and the module, face the same check as the given
// ones: a base name cut out of a pre-quoted name can hold a stray quote.
void note_made_names(run_state& run) {
  if (run.depend || !run.unpassable_name.empty()) return;
  std::vector<std::string> made;
  for (const std::vector<std::string>* sources : {&run.fortran_files, &run.c_files, &run.cxx_files})
    for (const std::string& source : *sources) made.push_back(object_name(source, run));
  if (!run.link_stand_alone) made.push_back(run.target_file);
  for (const std::string& name : made) {
    if (!interpreter_can_pass_name(name)) {
      run.unpassable_name = name;
      return;
    }
  }
}

}  // namespace

int prepare_run(int argc, const char* const* argv, run_state& run, bool& run_ended) {
  const int walk_status = walk_command_line(argc, argv, run, run_ended);
  if (run_ended) return walk_status;
  add_mex_debug_define(run);
  setup_output_names(run);
  note_made_names(run);
  return 0;
}

int run_zrvbuild(int argc, const char* const* argv) {
  run_state run;
  if (argc == 1) {
    print_out_line(usage_line);
    return 1;
  }
  if (argc == 2 && is_version_request(argv[1])) {
    print_out_line(version_line);
    return 0;
  }
  bool run_ended = false;
  const int prepare_status = prepare_run(argc, argv, run, run_ended);
  if (run_ended) return prepare_status;
  // A warning the walk could not write ends the run before any command starts.
  if (standard_output_failed()) return 1;
  // So does a name that the command interpreter would not hand on unchanged.
  if (!run.unpassable_name.empty()) {
    print_error("cannot pass the file name " + run.unpassable_name + " to the command interpreter");
    return 1;
  }

  const char* jobs_value = std::getenv("ZRVBUILD_JOBS");
  int job_count = 1;
  if (!parse_job_count(jobs_value, job_count)) {
    print_error(std::string("ZRVBUILD_JOBS must be a positive whole number, not \"") + jobs_value +
                "\"");
    return 1;
  }

  const char* incremental_value = std::getenv("ZRVBUILD_INCREMENTAL");
  bool incremental = false;
  if (!parse_incremental_request(incremental_value, incremental)) {
    print_error(std::string("ZRVBUILD_INCREMENTAL must be 0 or 1, not \"") + incremental_value +
                "\"");
    return 1;
  }

  variable_table& table = the_variable_table();
  // A bad ZRVBUILD_PROGRESS ends the run before any command starts.
  if (setup_progress(run) != 0) return 1;
  setup_command_log(job_count);
  setup_incremental(run, incremental);
  const int status = run_phases(run, table, job_count);
  finish_incremental();
  return finish_command_log(status);
}
