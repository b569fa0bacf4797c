// The one printing path: every message, value and command is one line, written with its
// newline and flushed at once. A line that could not be written to standard output is
// remembered, so that the run can end with a failure instead of reporting success.
#pragma once

#include <string>

// A line on standard output (usage, version, help, -p values, warnings, commands).
void print_out_line(const std::string& line);

// A line on standard error, with the program's prefix "zrvbuild: ".
void print_error(const std::string& message);

// Bytes a command wrote, passed on whole to standard output or standard error, flushed at once.
void write_out_text(const std::string& text);
void write_error_text(const std::string& text);

// True once any write to standard output has failed (a full disk, a closed pipe whose signal
// is ignored, a closed descriptor).
bool standard_output_failed();

// The exit status of a run whose status so far is run_status: when standard output failed,
// "zrvbuild: error writing standard output" goes to standard error and the status becomes 1,
// unless run_status already reports a failure, which is kept.
int finish_standard_output(int run_status);
