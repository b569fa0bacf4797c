// Running the jobs of one phase several at a time. A job starts once the jobs it waits for have
// ended (job_order.h) and a place is free: at most job_count run, and each one beyond the first
// holds a token of make's jobserver when there is one. Ready jobs that others wait for start
// first, then in sequential order. An interrupted run starts nothing more, waits for the
// commands that run (they had the signal from the terminal too) and ends by the signal.
#include "phases/jobs.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <vector>

#include "phases/compile.h"
#include "phases/depend.h"
#include "phases/job_order.h"
#include "platform/interpreter.h"
#include "platform/interrupts.h"
#include "platform/pending_file.h"
#include "platform/processes.h"
#include "platform/wrappers.h"
#include "run/long_commands.h"
#include "run/messages.h"
#include "run/progress.h"
#include "run/runner.h"
#include "text/text_rules.h"

namespace {

// How often a run that wants a token looks for one while its commands run.
const int token_poll_milliseconds = 10;
// Above any count the machine could use; larger values mean the same.
const int largest_job_count = 1 << 16;

enum class job_state { waiting, running, ended };

struct job {
  std::string command;
  std::string source;  // as the command line names it
  // A dependency job: its command's output goes to the capture file and is rewritten into the
  // dependency file once the command has ended.
  std::string dep_file;
  std::string capture;
  int capture_slot = -1;
  std::vector<std::size_t> waits;
  std::size_t waited_by = 0;
  job_state state = job_state::waiting;
  long long process = 0;
  int status = 0;
};

struct schedule {
  std::vector<job> jobs;
  std::vector<std::size_t> start_order;  // the order in which ready jobs are considered
  std::size_t running = 0;
  std::size_t limit = 1;
  jobserver* server = nullptr;
  // Tokens taken from the jobserver: one for every running job beyond the first, which runs on
  // the token make gave this process when it started it.
  std::vector<char> tokens;
  bool stop_at_failure = true;  // compiles stop; dependency files are all written, as in sequence
  bool stopped = false;
  int signal_number = 0;  // the signal that interrupted the run
};

bool is_ready(const schedule& plan, const job& candidate) {
  if (candidate.state != job_state::waiting)
    return false;
  for (std::size_t other : candidate.waits) {
    const job& earlier = plan.jobs[other];
    if (earlier.state != job_state::ended || (earlier.status != 0 && plan.stop_at_failure))
      return false;
  }
  return true;
}

void end_job(schedule& plan, job& ended, int status) {
  ended.state = job_state::ended;
  ended.status = status;
  if (status != 0 && plan.stop_at_failure)
    plan.stopped = true;
}

// Gives back the tokens that the running jobs no longer need.
void settle_tokens(schedule& plan) {
  const std::size_t needed = plan.running > 0 ? plan.running - 1 : 0;
  while (plan.tokens.size() > needed) {
    give_jobserver_token(*plan.server, plan.tokens.back());
    plan.tokens.pop_back();
  }
}

void start_job(schedule& plan, job& next) {
  const bool depend = !next.dep_file.empty();
  // As in sequence: the old dependency file goes before the command starts.
  if (depend)
    zorvan_unlink_wrapper(next.dep_file.c_str());
  announce(depend ? command_kind::dependencies : command_kind::compile, next.source);
  if (refuse_too_long_command(next.command)) {
    end_job(plan, next, 1);
    return;
  }
  if (depend) {
    next.capture =
        temporary_name_for(next.dep_file, std::to_string(zorvan_getpid_wrapper()) + "-output");
    next.capture_slot = register_temporary(next.capture);
  } else if (verbose) {
    print_out_line(next.command);
    // As in the sequential runner: a command that could not be shown is not run.
    if (standard_output_failed()) {
      end_job(plan, next, 1);
      return;
    }
  }
  next.process = start_command(next.command, next.capture);
  if (next.process < 0) {
    if (!next.dep_file.empty()) {
      print_error("unable to start dependency command for " + next.source);
      zorvan_unlink_wrapper(next.capture.c_str());
      release_temporary(next.capture_slot);
      end_job(plan, next, 1);
      return;
    }
    end_job(plan, next, decode_command_status(-1));
    return;
  }
  next.state = job_state::running;
  ++plan.running;
}

// Rewrites a dependency command's output into its dependency file, put in place whole; the
// output of an interrupted command never is. Returns the job's status.
int finish_dependency_job(job& ended, int raw_status, bool interrupted) {
  std::FILE* output = std::fopen(ended.capture.c_str(), "r");
  pending_file file;
  bool written = true;
  if (!interrupted) {
    file = open_pending_file(ended.dep_file);
    if (output != nullptr) {
      written = copy_dependency_rules(output, file.stream, ended.dep_file);
    } else {
      written = false;
    }
    written = close_pending_file(file) && written;
  }
  if (output != nullptr)
    std::fclose(output);
  zorvan_unlink_wrapper(ended.capture.c_str());
  release_temporary(ended.capture_slot);
  ended.capture_slot = -1;
  if (interrupted) {
    return 1;
  }
  written = commit_pending_file(file) && written;
  const int status = decode_command_status(raw_status);
  if (!written)
    print_error("unable to write dependency file " + ended.dep_file);
  if (status != 0)
    return status;
  return written ? 0 : 1;
}

// Starts what may start now; true when a ready job waits only for a jobserver token.
bool start_ready_jobs(schedule& plan, int token_wait_milliseconds) {
  for (std::size_t index : plan.start_order) {
    if (interrupted_by() != 0 && plan.signal_number == 0) {
      plan.signal_number = interrupted_by();
      plan.stopped = true;
    }
    if (plan.stopped || plan.running >= plan.limit)
      return false;
    job& candidate = plan.jobs[index];
    if (!is_ready(plan, candidate))
      continue;
    if (plan.running > plan.tokens.size() && plan.server->usable) {
      char token = 0;
      if (!take_jobserver_token(*plan.server, token, token_wait_milliseconds))
        return true;
      plan.tokens.push_back(token);
    }
    start_job(plan, candidate);
    settle_tokens(plan);
  }
  return false;
}

void collect_ended(schedule& plan, long long process, int raw_status) {
  for (job& running : plan.jobs) {
    if (running.state != job_state::running || running.process != process)
      continue;
    --plan.running;
    settle_tokens(plan);
    // A command ended by SIGINT or SIGQUIT ends the run as well.
    if (plan.signal_number == 0)
      plan.signal_number = interrupting_signal(raw_status);
    if (plan.signal_number == 0)
      plan.signal_number = interrupted_by();
    if (plan.signal_number != 0)
      plan.stopped = true;
    int status = decode_command_status(raw_status);
    if (!running.dep_file.empty())
      status = finish_dependency_job(running, raw_status, plan.signal_number != 0);
    end_job(plan, running, status);
    return;
  }
}

void give_up_running_jobs(schedule& plan) {
  for (job& running : plan.jobs) {
    if (running.state != job_state::running)
      continue;
    --plan.running;
    if (running.capture_slot >= 0) {
      zorvan_unlink_wrapper(running.capture.c_str());
      release_temporary(running.capture_slot);
    }
    end_job(plan, running, decode_command_status(-1));
  }
  settle_tokens(plan);
  plan.stopped = true;
}

// Runs every job that may run and returns the status of the first failed job in sequential
// order, or 0. An interrupted run does not return.
int run_schedule(schedule& plan) {
  // Signals are recorded while commands run; the run ends by them once every command has ended.
  defer_interrupts(true);
  for (;;) {
    bool wants_token = start_ready_jobs(plan, 0);
    if (plan.running == 0)
      break;
    int raw_status = 0;
    long long process = 0;
    // While a job waits for a token, tokens and ended commands are watched by turns.
    while (wants_token && (process = wait_for_command(false, raw_status)) == 0) {
      wants_token = start_ready_jobs(plan, token_poll_milliseconds);
    }
    if (process == 0)
      process = wait_for_command(true, raw_status);
    if (process > 0) {
      collect_ended(plan, process, raw_status);
    } else if (process < 0) {
      // Nothing left to wait for: the commands cannot be followed any further.
      give_up_running_jobs(plan);
    }
  }
  defer_interrupts(false);
  if (plan.signal_number == 0)
    plan.signal_number = interrupted_by();
  if (plan.signal_number != 0) {
    close_jobserver(*plan.server);
    remove_temporaries_and_raise(plan.signal_number);
  }
  for (const job& done : plan.jobs) {
    if (done.state == job_state::ended && done.status != 0)
      return done.status;
  }
  return 0;
}

void plan_start_order(schedule& plan) {
  for (std::size_t index = 0; index < plan.jobs.size(); ++index) {
    for (std::size_t other : plan.jobs[index].waits)
      ++plan.jobs[other].waited_by;
    plan.start_order.push_back(index);
  }
  std::stable_sort(plan.start_order.begin(), plan.start_order.end(),
                   [&plan](std::size_t a, std::size_t b) {
                     return plan.jobs[a].waited_by > plan.jobs[b].waited_by;
                   });
}

fortran_scan scan_fortran_source(const std::string& source) {
  std::ifstream file(source, std::ios::binary);
  if (!file) {
    fortran_scan unreadable;
    unreadable.opaque = true;
    return unreadable;
  }
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  return scan_fortran_text(text, is_fixed_form_fortran(source), is_preprocessed_fortran(source));
}

// Adds the jobs of one language's sources; false at a source with no compiler, whose message
// is then in missing.
bool add_compile_jobs(source_language language, const std::vector<std::string>& sources,
                      run_state& run, variable_table& table, schedule& plan,
                      std::vector<job_facts>& facts, std::string& missing) {
  for (const std::string& source : sources) {
    missing = missing_compiler_message(language, source, table);
    if (!missing.empty())
      return false;
    const std::string object = object_name(source, run);
    run.obj_files.append(" ").append(quote_name_for_interpreter(object));
    job compile;
    compile.source = source;
    compile.command = compose_compile_command(language, source, object, run, table);
    plan.jobs.push_back(compile);
    job_facts fact;
    fact.output = object;
    fact.fortran = language == source_language::fortran;
    if (fact.fortran)
      fact.scan = scan_fortran_source(source);
    facts.push_back(fact);
  }
  return true;
}

void add_depend_jobs(bool is_cxx, const std::vector<std::string>& sources, const run_state& run,
                     variable_table& table, schedule& plan, std::vector<job_facts>& facts) {
  for (const std::string& source : sources) {
    job depend;
    depend.source = source;
    depend.dep_file = basename_no_ext(source) + ".d";
    depend.command = compose_depend_command(is_cxx, source, run, table);
    plan.jobs.push_back(depend);
    job_facts fact;
    fact.output = depend.dep_file;
    facts.push_back(fact);
  }
}

void order_plan(schedule& plan, const std::vector<job_facts>& facts) {
  const std::vector<std::vector<std::size_t>> waits = order_jobs(facts);
  for (std::size_t index = 0; index < plan.jobs.size(); ++index)
    plan.jobs[index].waits = waits[index];
  plan_start_order(plan);
}

}  // namespace

bool parse_job_count(const char* value, int& count) {
  count = 1;
  if (value == nullptr || *value == '\0')
    return true;
  long long parsed = 0;
  for (const char* c = value; *c != '\0'; ++c) {
    if (!std::isdigit(static_cast<unsigned char>(*c)))
      return false;
    parsed = std::min<long long>(parsed * 10 + (*c - '0'), largest_job_count);
  }
  if (parsed == 0)
    return false;
  count = static_cast<int>(parsed);
  return true;
}

int parallel_compile_phase(run_state& run, variable_table& table, int job_count,
                           jobserver& server) {
  schedule plan;
  plan.limit = static_cast<std::size_t>(std::min(job_count, most_running_commands()));
  plan.server = &server;
  std::vector<job_facts> facts;
  std::string missing;
  // A source without a compiler ends the sequential run after the sources before it; here, too,
  // only those run.
  if (add_compile_jobs(source_language::fortran, run.fortran_files, run, table, plan, facts,
                       missing)) {
    if (add_compile_jobs(source_language::c, run.c_files, run, table, plan, facts, missing)) {
      add_compile_jobs(source_language::cxx, run.cxx_files, run, table, plan, facts, missing);
    }
  }
  order_plan(plan, facts);
  const int status = run_schedule(plan);
  if (status != 0)
    return status;
  if (!missing.empty()) {
    print_error(missing);
    return 1;
  }
  return 0;
}

int parallel_depend_phase(const run_state& run, variable_table& table, int job_count,
                          jobserver& server) {
  schedule plan;
  plan.limit = static_cast<std::size_t>(std::min(job_count, most_running_commands()));
  plan.server = &server;
  plan.stop_at_failure = false;
  std::vector<job_facts> facts;
  add_depend_jobs(false, run.c_files, run, table, plan, facts);
  add_depend_jobs(true, run.cxx_files, run, table, plan, facts);
  order_plan(plan, facts);
  return run_schedule(plan);
}
