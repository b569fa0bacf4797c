// Progress lines: "[K/N] compiling NAME" on standard error just before each command starts,
// so that a user at a terminal can tell a slow build from a hung one. Each line is written
// whole, so the tools' own messages fall between the lines, never inside them.
#pragma once

#include <string>

#include "run/run_state.h"

// What the environment variable ZRVBUILD_PROGRESS asks for.
enum class progress_request { on_terminal, always, never, invalid };

// Unset or empty: on_terminal; "1": always; "0": never; any other value: invalid.
progress_request parse_progress_request(const char* value);

// The number of commands the run will start when every command succeeds: one per dependency
// file, or one per compile, the link when it will run and the strip when it was asked for. A
// failing command ends the run early, and so does a compile or link that the phases refuse for
// an empty tool variable (only a build's own defaults can leave one empty): the count stays as
// planned, the lines just stop.
int planned_command_count(const run_state& run);

// Whether progress lines are shown. Never beside echoed commands (-v) or in a dry run (-n), and
// not for a single command: there is nothing to follow.
bool progress_shown(progress_request request, bool error_is_terminal, bool echoing,
                    int command_count);

enum class command_kind { compile, dependencies, link, strip };

// The kind's word in traces and logs: "compile", "dependencies", "link" or "strip".
const char* command_category(command_kind kind);

// "[started/total] compiling NAME", without a line end.
std::string progress_line(int started, int total, command_kind kind, const std::string& name);

// Decides for this run from ZRVBUILD_PROGRESS, the terminal, -v, -n and the planned commands.
// A value of ZRVBUILD_PROGRESS other than "0" or "1" is reported and the result is 1: nothing
// may run then. Otherwise the result is 0.
int setup_progress(const run_state& run);

// Called just before each command starts: writes its line when lines are shown. Safe to call
// from several threads; the number counts the calls and is returned, the K of the line.
int announce(command_kind kind, const std::string& name);

// True when this run shows progress lines (setup_progress decided).
bool progress_lines_shown();

// "[K/N] compiling NAME failed (status S)", without a line end.
std::string failure_line(int number, int total, command_kind kind, const std::string& name,
                         int status);

// After a failing command's own output: its failure line, when lines are shown.
void announce_failure(int number, command_kind kind, const std::string& name, int status);

// The closing line of a run that succeeded, without a line end: "built NAME: C compiled, L
// linked in T s" when it linked NAME, "compiled C in T s" for compiles alone, "wrote D
// dependency files in T s" for -M. T in seconds with one decimal.
std::string summary_line(const std::string& product, int compiled, int linked, int dependency_files,
                         double seconds);

// The closing line of a run that failed, without a line end: "build failed: compiling NAME
// failed (status S)" after the command that decided the status, "build failed (status S)"
// when no command did (a refusal).
std::string build_failed_line(command_kind kind, const std::string& name, int status);
std::string build_failed_line(int status);

// The closing line of a run that started nothing because everything was up to date: "NAME is
// up to date" for a product whose link was left out, "every object is up to date" for
// compiles alone.
std::string up_to_date_line(const std::string& product);

// A planned command that will not start (its output is up to date): N of the lines counts the
// commands that run.
void drop_planned_command();

// Writes a summary line when lines are shown.
void announce_summary(const std::string& line);
