// Runs a program with a controlled argument vector, environment and working directory.
#include "support/process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

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

}  // namespace

process_result run_program(const std::vector<std::string>& argv,
                           const std::vector<std::string>& env, const std::string& cwd) {
  return run_program_at(argv.at(0), argv, env, cwd);
}

process_result run_program_at(const std::string& path, const std::vector<std::string>& argv,
                              const std::vector<std::string>& env, const std::string& cwd) {
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
    dup2(out_fd, 1);
    dup2(err_fd, 2);
    if (chdir(cwd.c_str()) != 0) _exit(126);
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
  return result;
}

process_result run_zrvbuild(const std::vector<std::string>& args,
                            const std::vector<std::string>& env, const std::string& cwd) {
  std::vector<std::string> argv = {ZRVBUILD_EXE};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<std::string> full_env = {"PATH=/usr/local/bin:/usr/bin:/bin"};
  full_env.insert(full_env.end(), env.begin(), env.end());
  return run_program(argv, full_env, cwd);
}

std::string built_prefix() { return build_constants::prefix; }
std::string built_version() { return build_constants::version; }
