// Commands started through /bin/sh -c, as system() starts them, without waiting.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/processes.h"

extern char** environ;

namespace {

bool child_statuses_kept = false;

}  // namespace

long long start_command(const std::string& command, const std::string& stdout_path) {
  // With SIGCHLD ignored (inherited so from the parent) ended children would leave no status
  // to wait for.
  if (!child_statuses_kept) {
    signal(SIGCHLD, SIG_DFL);
    child_statuses_kept = true;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!stdout_path.empty()) {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, stdout_path.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0666);
  }
  char shell_name[] = "sh";
  char command_option[] = "-c";
  std::string text = command;
  char* argv[] = {shell_name, command_option, &text[0], nullptr};
  pid_t pid = -1;
  const int failed = posix_spawn(&pid, "/bin/sh", &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  return failed != 0 ? -1 : pid;
}

long long wait_for_command(bool block, int& raw_status) {
  int status = 0;
  const pid_t pid = waitpid(-1, &status, block ? 0 : WNOHANG);
  if (pid < 0)
    return -1;
  raw_status = status;
  return pid;
}

int most_running_commands() {
  return 1 << 16;
}
