// The record of the commands a run starts: their progress numbers, times, job slots and
// statuses. It gives a failing command its failure line, a run that succeeded its summary line
// (both shown where progress lines are), and ZRVBUILD_TRACE its trace: a file in the Trace Event
// format that trace viewers open, one span per command, phase and wait.
#pragma once

#include <string>

#include "run/progress.h"

// Starts the run's clock and reads ZRVBUILD_TRACE; job_count is named in the trace. The trace
// file is opened now, so that one that cannot be written is found before anything runs: false,
// with the message printed.
bool setup_command_log(int job_count);

// Just before a command starts: its progress line. Returns the command's id. program_variable
// is the configuration variable that names the command's program, if one does.
int begin_command(command_kind kind, const std::string& name,
                  const char* program_variable = nullptr);

// Once the command has ended and its output is written: its record (lane: the job slot it ran
// in, from 1), and its failure line when its status is not 0. After status 127, the
// interpreter's "not found", a line names the variable that chose the program.
void end_command(int id, int status, const std::string& command, int lane);

// A command the run does not start because its output is up to date: the progress count drops
// it, and a run that starts nothing closes with "NAME is up to date".
void skip_command(command_kind kind, const std::string& name);

// Microseconds since the run started.
long long log_clock();

// A span of the trace that is no command: a phase of the run ("phase") or a job's wait for the
// jobs it depends on ("wait"), on a lane of its own.
void log_span(const std::string& name, const char* category, long long start, long long end,
              int lane);

// At the end of a run that reached its commands: the closing line (where progress lines are
// shown), then the trace. Returns status, or 1 after "unable to write trace file FILE" when status is 0 and the
// trace could not be written.
int finish_command_log(int status);

// Before the run ends by a signal: the trace of what ran so far (the commands still running
// with the time until now).
void write_trace_before_interrupt();

// end_if_interrupted, with the trace written first when the run ends.
void end_run_if_interrupted(int raw_status);
