// Runs a program the way a user or a Makefile does: a chosen argument vector, environment and
// working directory; captures standard output, standard error and the exit status.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

struct process_result {
  std::string out;
  std::string err;
  int status = -1;  // the exit code, or 128 + signal number when a signal ended it
  int signal = 0;   // the signal that ended it, 0 when it exited
};

// env holds "NAME=value" entries and is the whole environment of the program.
process_result run_program(const std::vector<std::string>& argv,
                           const std::vector<std::string>& env, const std::string& cwd = ".");

// Starts the file at path with exactly this argument vector, which need not begin with the
// program's name and may be empty.
process_result run_program_at(const std::string& path, const std::vector<std::string>& argv,
                              const std::vector<std::string>& env, const std::string& cwd = ".");

// The zrvbuild under test with these arguments, in an environment holding only PATH (unless env
// gives its own) and the given entries. On POSIX hosts the sanitizers' options of the tests are
// passed on too, and a sanitizer report on its standard error fails the calling test.
process_result run_zrvbuild(const std::vector<std::string>& args,
                            const std::vector<std::string>& env = {},
                            const std::string& cwd = ".");

#ifndef _WIN32
// How the child is set up beyond its arguments, environment and directory.
struct child_setup {
  int stdout_fd = -1;                 // standard output goes here, not into out, when >= 0
  bool ignore_sigpipe = false;        // else SIGPIPE has its default action, as in a shell
  bool without_dac_override = false;  // root, too, is refused what the permissions refuse
  unsigned long stack_limit = 0;      // when nonzero, RLIMIT_STACK; exec allows arguments and
                                      // environment of a quarter of it (6 MiB at most)
  unsigned time_limit = 300;          // seconds until SIGALRM ends a program that hangs
};

process_result run_program(const std::vector<std::string>& argv,
                           const std::vector<std::string>& env, const std::string& cwd,
                           const child_setup& setup);
process_result run_program_at(const std::string& path, const std::vector<std::string>& argv,
                              const std::vector<std::string>& env, const std::string& cwd,
                              const child_setup& setup);
process_result run_zrvbuild(const std::vector<std::string>& args,
                            const std::vector<std::string>& env, const std::string& cwd,
                            const child_setup& setup);

// A program left running in a process group of its own, as a shell starts a foreground job,
// so that a test can signal it, or the whole group as a terminal's Ctrl-C does, at a moment
// of its choosing.
struct started_program {
  pid_t pid = -1;  // also the process group
  std::string out_path;
  std::string err_path;
};

started_program start_program(const std::vector<std::string>& argv,
                              const std::vector<std::string>& env, const std::string& cwd);
// Waits for it to end and collects its output.
process_result wait_program(started_program& program);

// ASAN_OPTIONS, UBSAN_OPTIONS and LSAN_OPTIONS as entries, for those the tests run with.
std::vector<std::string> sanitizer_environment();
#endif

// The build prefix {P} and version {V} this zrvbuild was built with.
std::string built_prefix();
std::string built_version();
