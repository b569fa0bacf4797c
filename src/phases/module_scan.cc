// The module scan of a parallel compile. A preprocessed source is scanned in the text its own
// compiler and flags make of it, so conditionals, macros and #include cost nothing in precision;
// one whose text the preprocessor cannot change is scanned as it stands, at no process's cost;
// each preprocessor command runs once, before the compiles start, its output read through a
// pipe as the dependency commands of -M are. The scan of one output runs while the other
// commands still do.
#include "phases/module_scan.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>

#include "phases/fortran_preprocessing.h"
#include "platform/files.h"
#include "platform/interpreter.h"
#include "platform/interrupts.h"
#include "platform/processes.h"
#include "platform/wrappers.h"
#include "run/runner.h"

namespace {

// How often a run that wants a jobserver token looks for one while its commands run.
const int token_poll_milliseconds = 10;

// Only a regular file is read: a fifo or a device named by an include would hold the run, or
// never end. One that cannot be read makes the scan opaque; the compile reports it.
bool read_whole_file(const std::string& path, std::string& text) {
  std::string reason;
  return read_file_text(path, read_use::own_file, text, reason);
}

fortran_scan scan_text(const std::string& text, const std::string& source,
                       const fortran_reading& reading, bool preprocessed) {
  fortran_scan scan = scan_fortran_text(text, reading.fixed_form, preprocessed);
  follow_includes(scan, source, reading, read_whole_file);
  return scan;
}

// A source as it stands; opaque when it cannot be read.
fortran_scan scan_source_file(const std::string& source, const fortran_reading& reading) {
  std::string text;
  if (!read_whole_file(source, text)) {
    fortran_scan unreadable;
    unreadable.opaque = true;
    return unreadable;
  }
  return scan_text(text, source, reading, reading.preprocessed);
}

// A source whose preprocessor command failed: what its own text shows, and opaque.
fortran_scan scan_unpreprocessed(const std::string& source, const fortran_reading& reading) {
  fortran_scan scan = scan_source_file(source, reading);
  scan.opaque = true;
  return scan;
}

struct preprocess_job {
  const planned_command* step = nullptr;
  fortran_scan* scan = nullptr;  // where the result goes
  fortran_reading reading;
  long long process = 0;
  bool started = false;
  bool ended = false;
  bool scanned = false;
};

void finish(preprocess_job& job, fortran_scan scan) {
  *job.scan = std::move(scan);
  job.scanned = true;
}

struct preprocess_run {
  std::vector<preprocess_job> jobs;
  std::size_t next = 0;  // the next job to start, in listed order
  std::size_t running = 0;
  std::size_t limit = 1;
  jobserver* server = nullptr;
  // One token for every running command beyond the first, as for the compiles.
  std::vector<char> tokens;
  bool stopped = false;
  int signal_number = 0;
};

void settle_tokens(preprocess_run& run) {
  const std::size_t needed = run.running > 0 ? run.running - 1 : 0;
  while (run.tokens.size() > needed) {
    give_jobserver_token(*run.server, run.tokens.back());
    run.tokens.pop_back();
  }
}

void start_preprocess(preprocess_run& run, preprocess_job& job) {
  job.started = true;
  const std::string& command = job.step->preprocess;
  // The compile itself reports a command the interpreter does not take.
  if (command.size() > command_interpreter_limit(command)) {
    job.ended = true;
    finish(job, scan_unpreprocessed(job.step->name, job.reading));
    return;
  }
  job.process = start_command(command);
  if (job.process < 0) {
    job.ended = true;
    finish(job, scan_unpreprocessed(job.step->name, job.reading));
    return;
  }
  ++run.running;
}

// Starts what may start now; true when the next command waits only for a jobserver token.
bool start_preprocesses(preprocess_run& run, int token_wait_milliseconds) {
  while (run.next < run.jobs.size()) {
    if (interrupted_by() != 0 && run.signal_number == 0) {
      run.signal_number = interrupted_by();
      run.stopped = true;
    }
    if (run.stopped || run.running >= run.limit)
      return false;
    if (run.running > run.tokens.size() && run.server->usable) {
      char token = 0;
      if (!take_jobserver_token(*run.server, token, token_wait_milliseconds))
        return true;
      run.tokens.push_back(token);
    }
    start_preprocess(run, run.jobs[run.next++]);
    settle_tokens(run);
  }
  return false;
}

// The preprocessor's standard error is dropped: the compile reports whatever it found wrong.
void collect_preprocess(preprocess_run& run, const ended_command& command) {
  const int raw_status = command.raw_status;
  for (preprocess_job& job : run.jobs) {
    if (!job.started || job.ended || job.process != command.id)
      continue;
    job.ended = true;
    --run.running;
    settle_tokens(run);
    if (run.signal_number == 0)
      run.signal_number = interrupting_signal(raw_status);
    if (run.signal_number == 0)
      run.signal_number = interrupted_by();
    if (run.signal_number != 0)
      run.stopped = true;
    const bool preprocessed =
        run.signal_number == 0 && decode_command_status(raw_status) == 0;
    if (run.signal_number != 0)
      return;
    // The output holds no preprocessor lines but line markers, and include lines stay for the
    // compiler to follow.
    finish(job, preprocessed ? scan_text(command.output, job.step->name, job.reading, false)
                             : scan_unpreprocessed(job.step->name, job.reading));
    return;
  }
}

void run_preprocesses(preprocess_run& run) {
  // As while the compiles run: signals are recorded, and the run ends by them once every
  // command has ended.
  defer_interrupts(true);
  hold_interactive_signals(true);
  for (;;) {
    bool wants_token = start_preprocesses(run, 0);
    if (run.running == 0)
      break;
    ended_command command;
    int waited = 0;
    while (wants_token && (waited = wait_for_command(false, command)) == 0)
      wants_token = start_preprocesses(run, token_poll_milliseconds);
    if (waited == 0)
      waited = wait_for_command(true, command);
    if (waited > 0) {
      collect_preprocess(run, command);
    } else if (waited < 0) {
      // Nothing left to wait for: the commands cannot be followed any further.
      for (preprocess_job& job : run.jobs) {
        if (job.started && !job.ended) {
          job.ended = true;
        }
      }
      run.running = 0;
      settle_tokens(run);
      run.stopped = true;
    }
  }
  hold_interactive_signals(false);
  defer_interrupts(false);
  if (run.signal_number == 0)
    run.signal_number = interrupted_by();
  if (run.signal_number != 0) {
    close_jobserver(*run.server);
    remove_temporaries_and_raise(run.signal_number);
  }
  // Commands that never ran, or whose end could not be followed, leave their sources opaque.
  for (preprocess_job& job : run.jobs) {
    if (!job.scanned)
      finish(job, scan_unpreprocessed(job.step->name, job.reading));
  }
}

}  // namespace

std::vector<fortran_scan> scan_fortran_sources_as_they_stand(
    const std::vector<planned_command>& steps) {
  std::vector<fortran_scan> scans(steps.size());
  for (std::size_t index = 0; index < steps.size(); ++index) {
    const planned_command& step = steps[index];
    if (!step.refusal.empty())
      break;
    if (step.fortran)
      scans[index] = scan_source_file(
          step.name, read_fortran_command(step.name, split_interpreter_words(step.preprocess)));
  }
  return scans;
}

std::vector<fortran_scan> scan_fortran_steps(const std::vector<planned_command>& steps,
                                             const std::vector<bool>& unscanned,
                                             std::size_t limit, jobserver& server) {
  std::vector<fortran_scan> scans(steps.size());
  preprocess_run run;
  run.limit = std::max<std::size_t>(limit, 1);
  run.server = &server;
  for (std::size_t index = 0; index < steps.size(); ++index) {
    const planned_command& step = steps[index];
    if (!step.refusal.empty())
      break;
    if (!step.fortran || (index < unscanned.size() && unscanned[index]))
      continue;
    const std::vector<std::string> words = split_interpreter_words(step.preprocess);
    const fortran_reading reading = read_fortran_command(step.name, words);
    if (!reading.preprocessed || step.preprocess.empty()) {
      scans[index] = scan_source_file(step.name, reading);
      continue;
    }
    // Text that the preprocessor cannot change is scanned as it stands.
    std::string text;
    if (read_whole_file(step.name, text) &&
        !preprocessing_can_change_scan(text, reading.fixed_form, words)) {
      scans[index] = scan_text(text, step.name, reading, true);
      continue;
    }
    preprocess_job job;
    job.step = &step;
    job.scan = &scans[index];
    job.reading = reading;
    run.jobs.push_back(job);
  }
  if (!run.jobs.empty())
    run_preprocesses(run);
  return scans;
}
