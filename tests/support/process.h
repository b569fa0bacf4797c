// Runs a program the way a user or a Makefile does: a chosen argument vector, environment and
// working directory; captures standard output, standard error and the exit status.
#pragma once

#include <string>
#include <vector>

struct process_result {
  std::string out;
  std::string err;
  int status = -1;  // the exit code, or 128 + signal number when a signal ended it
};

// env holds "NAME=value" entries and is the whole environment of the program.
process_result run_program(const std::vector<std::string>& argv,
                           const std::vector<std::string>& env, const std::string& cwd = ".");

// Starts the file at path with exactly this argument vector, which need not begin with the
// program's name and may be empty.
process_result run_program_at(const std::string& path, const std::vector<std::string>& argv,
                              const std::vector<std::string>& env, const std::string& cwd = ".");

// The zrvbuild under test with these arguments, in an environment holding only PATH and the
// given entries.
process_result run_zrvbuild(const std::vector<std::string>& args,
                            const std::vector<std::string>& env = {},
                            const std::string& cwd = ".");

// The build prefix {P} and version {V} this zrvbuild was built with.
std::string built_prefix();
std::string built_version();
