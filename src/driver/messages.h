// The one printing path: every message, value and command is one line, written with its
// newline and flushed at once.
#pragma once

#include <string>

// A line on standard output (usage, version, help, -p values, warnings, commands).
void print_out_line(const std::string& line);

// A line on standard error, with the program's prefix "zrvbuild: ".
void print_error(const std::string& message);
