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
#include "phases/incremental.h"
#include "phases/job_order.h"
#include "phases/module_scan.h"
#include "platform/command_pipe.h"
#include "platform/interpreter.h"
#include "platform/interrupts.h"
#include "platform/files.h"
#include "platform/processes.h"
#include "platform/wrappers.h"
#include "run/command_log.h"
#include "run/long_commands.h"
#include "run/messages.h"
#include "run/runner.h"
#include "text/text_rules.h"

namespace {

// How often a run that wants a token looks for one while its commands run.
const int token_poll_milliseconds = 10;
// Above any count the machine could use; larger values mean the same.
const int largest_job_count = 1 << 16;

enum class job_state { waiting, running, ended };

struct job {
  const planned_command* step = nullptr;
  // The command's standard output and error come back whole once it has ended. A dependency
  // job's output is rewritten into the dependency file (step->output); every other output is
  // written whole to zrvbuild's own stream then, so that no two commands' messages interleave.
  bool depend = false;
  int id = -1;    // in the command log, once started
  int lane = 0;   // the job slot it runs in, from 1
  std::vector<std::size_t> waits;
  std::size_t waited_by = 0;
  job_state state = job_state::waiting;
  long long process = 0;
  int status = 0;
  incremental_compile incremental;  // a compile's command as it runs, or its skip
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
  // The first failed job in sequential order: the jobs listed before it may still start (in
  // sequence they would have run), none listed after it does.
  std::size_t first_failure = static_cast<std::size_t>(-1);
  bool stopped = false;
  int signal_number = 0;  // the signal that interrupted the run
  std::vector<bool> lane_taken;
  long long started_at = 0;  // on the command log's clock
};

bool is_ready(const schedule& plan, std::size_t index) {
  const job& candidate = plan.jobs[index];
  if (candidate.state != job_state::waiting || index > plan.first_failure)
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
  if (ended.lane > 0)
    plan.lane_taken[static_cast<std::size_t>(ended.lane - 1)] = false;
  end_command(ended.id, status, ended.step->command, ended.lane);
  if (!ended.depend)
    end_incremental_compile(*ended.step, ended.incremental, status);
  const std::size_t index = static_cast<std::size_t>(&ended - plan.jobs.data());
  if (status != 0 && plan.stop_at_failure)
    plan.first_failure = std::min(plan.first_failure, index);
}

// Gives back the tokens that the running jobs no longer need.
void settle_tokens(schedule& plan) {
  const std::size_t needed = plan.running > 0 ? plan.running - 1 : 0;
  while (plan.tokens.size() > needed) {
    give_jobserver_token(*plan.server, plan.tokens.back());
    plan.tokens.pop_back();
  }
}

// Writes what a command wrote whole to one of zrvbuild's streams.
void pass_on_output(const std::string& text, bool to_standard_output) {
  if (text.empty())
    return;
  if (to_standard_output)
    write_out_text(text);
  else
    write_error_text(text);
}

int free_lane(schedule& plan) {
  for (std::size_t lane = 0; lane < plan.lane_taken.size(); ++lane) {
    if (!plan.lane_taken[lane]) {
      plan.lane_taken[lane] = true;
      return static_cast<int>(lane) + 1;
    }
  }
  return 0;
}

void start_job(schedule& plan, job& next) {
  const planned_command& step = *next.step;
  // As in sequence: the old dependency file goes before the command starts.
  if (next.depend)
    remove_old_file(step.output);
  // A compile that is up to date ends at once, as a success that ran nothing.
  if (!next.depend) {
    next.incremental = begin_incremental_compile(step);
    if (next.incremental.skip) {
      skip_command(step.kind, step.name);
      end_job(plan, next, 0);
      return;
    }
    if (next.incremental.refused) {
      end_job(plan, next, 1);
      return;
    }
  }
  const std::string& command = next.depend ? step.command : next.incremental.command;
  if (!next.waits.empty())
    log_span("waits before " + step.name, "wait", plan.started_at, log_clock(),
             static_cast<int>(&next - plan.jobs.data()) + 1);
  next.id = begin_command(step.kind, step.name, step.program_variable);
  next.lane = free_lane(plan);
  if (refuse_too_long_command(command)) {
    end_job(plan, next, 1);
    return;
  }
  if (!next.depend && verbose) {
    print_out_line(command);
    // As in the sequential runner: a command that could not be shown is not run.
    if (standard_output_failed()) {
      end_job(plan, next, 1);
      return;
    }
  }
  next.process = start_command(command);
  if (next.process < 0) {
    if (next.depend) {
      print_error("unable to start dependency command for " + step.name);
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
int finish_dependency_job(const job& ended, const std::string& output, int raw_status,
                          bool interrupted) {
  if (interrupted)
    return 1;
  pending_file file = open_pending_file(ended.step->output);
  // The same lines as the sequential run reads from its pipe.
  bool written = copy_dependency_text(as_read_from_pipe(output), file);
  written = close_pending_file(file) && written;
  written = commit_pending_file(file) && written;
  const int status = decode_command_status(raw_status);
  if (!written)
    print_error(dependency_file_failure(file));
  if (status != 0)
    return status;
  return written ? 0 : 1;
}

// Starts what may start now; true when a ready job waits only for a jobserver token.
bool start_ready_jobs_once(schedule& plan, int token_wait_milliseconds, bool& ended_at_once) {
  for (std::size_t index : plan.start_order) {
    if (interrupted_by() != 0 && plan.signal_number == 0) {
      plan.signal_number = interrupted_by();
      plan.stopped = true;
    }
    if (plan.stopped || plan.running >= plan.limit)
      return false;
    job& candidate = plan.jobs[index];
    if (!is_ready(plan, index))
      continue;
    if (plan.running > plan.tokens.size() && plan.server->usable) {
      char token = 0;
      if (!take_jobserver_token(*plan.server, token, token_wait_milliseconds))
        return true;
      plan.tokens.push_back(token);
    }
    start_job(plan, candidate);
    settle_tokens(plan);
    ended_at_once = ended_at_once || candidate.state == job_state::ended;
  }
  return false;
}

// A job that ends as it starts (skipped as up to date) may free jobs considered before it.
bool start_ready_jobs(schedule& plan, int token_wait_milliseconds) {
  bool ended_at_once = true;
  bool wants_token = false;
  while (ended_at_once && !wants_token) {
    ended_at_once = false;
    wants_token = start_ready_jobs_once(plan, token_wait_milliseconds, ended_at_once);
  }
  return wants_token;
}

void collect_ended(schedule& plan, const ended_command& command) {
  const int raw_status = command.raw_status;
  for (job& running : plan.jobs) {
    if (running.state != job_state::running || running.process != command.id)
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
    if (running.depend)
      status = finish_dependency_job(running, command.output, raw_status, plan.signal_number != 0);
    else
      pass_on_output(command.output, true);
    pass_on_output(command.errors, false);
    end_job(plan, running, status);
    return;
  }
}

void give_up_running_jobs(schedule& plan) {
  for (job& running : plan.jobs) {
    if (running.state != job_state::running)
      continue;
    --plan.running;
    end_job(plan, running, decode_command_status(-1));
  }
  settle_tokens(plan);
  plan.stopped = true;
}

// Runs every job that may run and returns the status of the first failed job in sequential
// order, or 0. An interrupted run does not return.
int run_schedule(schedule& plan) {
  // Signals are recorded while commands run; the run ends by them once every command has ended.
  // SIGINT and SIGQUIT sent to this process alone are ignored meanwhile, as system() does.
  defer_interrupts(true);
  hold_interactive_signals(true);
  plan.started_at = log_clock();
  plan.lane_taken.assign(plan.limit, false);
  for (;;) {
    bool wants_token = start_ready_jobs(plan, 0);
    if (plan.running == 0)
      break;
    ended_command command;
    int waited = 0;
    // While a job waits for a token, tokens and ended commands are watched by turns.
    while (wants_token && (waited = wait_for_command(false, command)) == 0) {
      wants_token = start_ready_jobs(plan, token_poll_milliseconds);
    }
    if (waited == 0)
      waited = wait_for_command(true, command);
    if (waited > 0) {
      collect_ended(plan, command);
    } else if (waited < 0) {
      // Nothing left to wait for: the commands cannot be followed any further.
      give_up_running_jobs(plan);
    }
  }
  hold_interactive_signals(false);
  defer_interrupts(false);
  if (plan.signal_number == 0)
    plan.signal_number = interrupted_by();
  if (plan.signal_number != 0) {
    close_jobserver(*plan.server);
    write_trace_before_interrupt();
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

// The jobs of a plan up to its first refusal, with what the waiting rules need to know of each.
void add_jobs(const std::vector<planned_command>& steps, bool depend, schedule& plan,
              std::vector<job_facts>& facts) {
  // An incremental run orders only the compiles that may run: the others are skipped at once.
  const std::vector<bool> unscanned =
      depend ? std::vector<bool>() : compiles_surely_skipped(steps);
  const std::vector<fortran_scan> scans =
      scan_fortran_steps(steps, unscanned, plan.limit, *plan.server);
  for (std::size_t index = 0; index < steps.size(); ++index) {
    const planned_command& step = steps[index];
    if (!step.refusal.empty())
      return;
    job next;
    next.step = &step;
    next.depend = depend;
    plan.jobs.push_back(next);
    job_facts fact;
    fact.output = step.output;
    fact.fortran = step.fortran;
    fact.scan = scans[index];
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

int parallel_compile_phase(run_state& run, const std::vector<planned_command>& steps,
                           int job_count, jobserver& server) {
  schedule plan;
  plan.limit = static_cast<std::size_t>(std::min(job_count, most_running_commands()));
  plan.server = &server;
  std::vector<job_facts> facts;
  add_jobs(steps, false, plan, facts);
  // The objects go into the list as the sequential run puts them there, up to a refusal.
  for (const job& compile : plan.jobs)
    run.obj_files += compile.step->object_entry;
  order_plan(plan, facts);
  const int status = run_schedule(plan);
  if (status != 0)
    return status;
  // A source without a compiler ends the sequential run after the sources before it; here, too,
  // only those ran.
  for (const planned_command& step : steps) {
    if (!step.refusal.empty()) {
      print_error(step.refusal);
      return 1;
    }
  }
  return 0;
}

int parallel_depend_phase(const std::vector<planned_command>& steps, int job_count,
                          jobserver& server) {
  schedule plan;
  plan.limit = static_cast<std::size_t>(std::min(job_count, most_running_commands()));
  plan.server = &server;
  plan.stop_at_failure = false;
  std::vector<job_facts> facts;
  add_jobs(steps, true, plan, facts);
  order_plan(plan, facts);
  return run_schedule(plan);
}
