// Running the jobs of one phase several at a time. A job starts once the jobs it waits for have
// ended (job_order.h) and a place is free: at most job_count run, and each one beyond the first
// holds a token of make's jobserver when there is one. Ready jobs that others wait for start
// first, then in sequential order.
#include "phases/jobs.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <vector>

#include "driver/messages.h"
#include "driver/runner.h"
#include "phases/compile.h"
#include "phases/job_order.h"
#include "platform/processes.h"

namespace {

// How often a run that wants a token looks for one while its commands run.
const int token_poll_milliseconds = 10;
// Above any count the machine could use; larger values mean the same.
const int largest_job_count = 1 << 16;

enum class job_state { waiting, running, ended };

struct job {
  std::string command;
  std::vector<std::size_t> waits;
  std::size_t waited_by = 0;
  job_state state = job_state::waiting;
  long long process = 0;
  bool holds_token = false;
  char token = 0;
  int status = 0;
};

struct schedule {
  std::vector<job> jobs;
  std::vector<std::size_t> start_order;  // the order in which ready jobs are considered
  std::size_t running = 0;
  std::size_t limit = 1;
  jobserver* server = nullptr;
  bool stopped = false;
};

bool is_ready(const schedule& plan, const job& candidate) {
  if (candidate.state != job_state::waiting)
    return false;
  for (std::size_t other : candidate.waits) {
    if (plan.jobs[other].state != job_state::ended || plan.jobs[other].status != 0)
      return false;
  }
  return true;
}

void end_job(schedule& plan, job& ended, int status) {
  ended.state = job_state::ended;
  ended.status = status;
  if (status != 0)
    plan.stopped = true;
}

void start_job(schedule& plan, job& next) {
  if (verbose) {
    print_out_line(next.command);
    // As in the sequential runner: a command that could not be shown is not run.
    if (standard_output_failed()) {
      if (next.holds_token)
        give_jobserver_token(*plan.server, next.token);
      end_job(plan, next, 1);
      return;
    }
  }
  next.process = start_command(next.command, "");
  if (next.process < 0) {
    if (next.holds_token)
      give_jobserver_token(*plan.server, next.token);
    end_job(plan, next, decode_command_status(-1));
    return;
  }
  next.state = job_state::running;
  ++plan.running;
}

// Starts what may start now; true when a ready job waits only for a jobserver token.
bool start_ready_jobs(schedule& plan, int token_wait_milliseconds) {
  for (std::size_t index : plan.start_order) {
    if (plan.stopped || plan.running >= plan.limit)
      return false;
    job& candidate = plan.jobs[index];
    if (!is_ready(plan, candidate))
      continue;
    // The first running job needs no token: make gave this process one when it started it.
    if (plan.running > 0 && plan.server->usable) {
      if (!take_jobserver_token(*plan.server, candidate.token, token_wait_milliseconds)) {
        return true;
      }
      candidate.holds_token = true;
    }
    start_job(plan, candidate);
  }
  return false;
}

void collect_ended(schedule& plan, long long process, int raw_status) {
  for (job& running : plan.jobs) {
    if (running.state != job_state::running || running.process != process)
      continue;
    --plan.running;
    if (running.holds_token) {
      give_jobserver_token(*plan.server, running.token);
      running.holds_token = false;
    }
    end_job(plan, running, decode_command_status(raw_status));
    return;
  }
}

// Runs every job that may run and returns the status of the first failed job in sequential
// order, or 0.
int run_schedule(schedule& plan) {
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
    if (process > 0)
      collect_ended(plan, process, raw_status);
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
    run.obj_files.append(" ").append(object);
    job compile;
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
  const std::vector<std::vector<std::size_t>> waits = order_jobs(facts);
  for (std::size_t index = 0; index < plan.jobs.size(); ++index)
    plan.jobs[index].waits = waits[index];
  plan_start_order(plan);
  const int status = run_schedule(plan);
  if (status != 0)
    return status;
  if (!missing.empty()) {
    print_error(missing);
    return 1;
  }
  return 0;
}
