// Runs a program with a controlled argument vector, environment and working directory.
#include "support/process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/capability.h>
#include <sys/prctl.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "build_constants.h"

namespace {

std::string slurp_and_remove(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  std::remove(path.c_str());
  return text.str();
}

int open_capture(std::string& path) {
  char name[] = "/tmp/zrvbuild-capture-XXXXXX";
  int fd = mkstemp(name);
  path = name;
  return fd;
}

std::vector<char*> c_vector(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& s : strings) pointers.push_back(&s[0]);
  pointers.push_back(nullptr);
  return pointers;
}

// Runs in the child between fork and exec.
void apply_setup(const child_setup& setup) {
  signal(SIGPIPE, setup.ignore_sigpipe ? SIG_IGN : SIG_DFL);
  if (setup.stack_limit != 0) {
    struct rlimit limit = {setup.stack_limit, setup.stack_limit};
    setrlimit(RLIMIT_STACK, &limit);
  }
#ifdef __linux__
  // Out of the bounding set, the capability is gone for the program and everything it starts.
  if (setup.without_dac_override) prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0);
#endif
  if (setup.time_limit != 0) alarm(setup.time_limit);  // kept across exec
}

bool has_sanitizer_report(const std::string& err) {
  for (const char* mark : {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:",
                           "ERROR: UndefinedBehaviorSanitizer"}) {
    if (err.find(mark) != std::string::npos) return true;
  }
  return false;
}

}  // namespace

std::vector<std::string> sanitizer_environment() {
  std::vector<std::string> entries;
  for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
    const char* value = std::getenv(name);
    if (value != nullptr) entries.push_back(std::string(name) + "=" + value);
  }
  return entries;
}

process_result run_program(const std::vector<std::string>& argv,
                           const std::vector<std::string>& env, const std::string& cwd) {
  return run_program_at(argv.at(0), argv, env, cwd, child_setup());
}

process_result run_program(const std::vector<std::string>& argv,
                           const std::vector<std::string>& env, const std::string& cwd,
                           const child_setup& setup) {
  return run_program_at(argv.at(0), argv, env, cwd, setup);
}

process_result run_program_at(const std::string& path, const std::vector<std::string>& argv,
                              const std::vector<std::string>& env, const std::string& cwd) {
  return run_program_at(path, argv, env, cwd, child_setup());
}

process_result run_program_at(const std::string& path, const std::vector<std::string>& argv,
                              const std::vector<std::string>& env, const std::string& cwd,
                              const child_setup& setup) {
  std::string out_path, err_path;
  int out_fd = open_capture(out_path);
  int err_fd = open_capture(err_path);
  std::vector<std::string> arg_copy = argv;
  std::vector<std::string> env_copy = env;
  std::vector<char*> c_argv = c_vector(arg_copy);
  std::vector<char*> c_env = c_vector(env_copy);
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    int null_fd = open("/dev/null", O_RDONLY);
    dup2(null_fd, 0);
    dup2(setup.stdout_fd >= 0 ? setup.stdout_fd : out_fd, 1);
    dup2(err_fd, 2);
    if (chdir(cwd.c_str()) != 0) _exit(126);
    apply_setup(setup);
    execve(path.c_str(), c_argv.data(), c_env.data());
    _exit(127);
  }
  close(out_fd);
  close(err_fd);
  int raw = 0;
  waitpid(pid, &raw, 0);
  process_result result;
  result.out = slurp_and_remove(out_path);
  result.err = slurp_and_remove(err_path);
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  if (WIFSIGNALED(raw)) result.signal = WTERMSIG(raw);
  return result;
}

process_result run_zrvbuild(const std::vector<std::string>& args,
                            const std::vector<std::string>& env, const std::string& cwd) {
  return run_zrvbuild(args, env, cwd, child_setup());
}

process_result run_zrvbuild(const std::vector<std::string>& args,
                            const std::vector<std::string>& env, const std::string& cwd,
                            const child_setup& setup) {
  std::vector<std::string> argv = {ZRVBUILD_EXE};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<std::string> full_env;
  bool has_path = false;
  for (const std::string& entry : env) has_path = has_path || entry.rfind("PATH=", 0) == 0;
  if (!has_path) full_env.push_back("PATH=/usr/local/bin:/usr/bin:/bin");
  // The sanitizers' options of the test run reach the program under test as well.
  for (const std::string& entry : sanitizer_environment()) full_env.push_back(entry);
  full_env.insert(full_env.end(), env.begin(), env.end());
  process_result result = run_program(argv, full_env, cwd, setup);
  if (has_sanitizer_report(result.err)) ADD_FAILURE() << "sanitizer report:\n" << result.err;
  return result;
}

started_program start_program(const std::vector<std::string>& argv,
                              const std::vector<std::string>& env, const std::string& cwd) {
  started_program program;
  int out_fd = open_capture(program.out_path);
  int err_fd = open_capture(program.err_path);
  std::vector<std::string> arg_copy = argv;
  std::vector<std::string> env_copy = env;
  std::vector<char*> c_argv = c_vector(arg_copy);
  std::vector<char*> c_env = c_vector(env_copy);
  std::fflush(nullptr);
  program.pid = fork();
  if (program.pid == 0) {
    setpgid(0, 0);
    // SIGQUIT and the like end it without leaving a core file in the test's directories.
    struct rlimit no_core = {0, 0};
    setrlimit(RLIMIT_CORE, &no_core);
    int null_fd = open("/dev/null", O_RDONLY);
    dup2(null_fd, 0);
    dup2(out_fd, 1);
    dup2(err_fd, 2);
    if (chdir(cwd.c_str()) != 0)
      _exit(126);
    apply_setup(child_setup());
    execve(c_argv[0], c_argv.data(), c_env.data());
    _exit(127);
  }
  // Set from both sides, so the group exists before the caller signals it.
  setpgid(program.pid, program.pid);
  close(out_fd);
  close(err_fd);
  return program;
}

process_result wait_program(started_program& program) {
  int raw = 0;
  waitpid(program.pid, &raw, 0);
  process_result result;
  result.out = slurp_and_remove(program.out_path);
  result.err = slurp_and_remove(program.err_path);
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  if (WIFSIGNALED(raw))
    result.signal = WTERMSIG(raw);
  program.pid = -1;
  return result;
}

std::string built_prefix() { return build_constants::prefix; }
std::string built_version() { return build_constants::version; }
