// Commands started through /bin/sh -c, as system() starts them, without waiting.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/interrupts.h"
#include "platform/processes.h"

extern char** environ;

namespace {

// A new file (a name that exists, a planted link among them, is refused) that reaches the
// command alone: opened here, close-on-exec, and only its copy on the standard stream survives
// the exec. -1 for no file, -2 when it could not be made.
int open_capture(const std::string& path) {
  if (path.empty())
    return -1;
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
  return fd >= 0 ? fd : -2;
}

}  // namespace

long long start_command(const std::string& command, const std::string& stdout_path,
                        const std::string& stderr_path) {
  const int output = open_capture(stdout_path);
  const int errors = open_capture(stderr_path);
  if (output == -2 || errors == -2) {
    if (output >= 0)
      close(output);
    if (errors >= 0)
      close(errors);
    return -1;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (output >= 0)
    posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
  if (errors >= 0)
    posix_spawn_file_actions_adddup2(&actions, errors, STDERR_FILENO);
  // SIGINT and SIGQUIT are ignored here while commands run; the command gets them back as the
  // run started with them, as system() gives them back.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (int signal_number : {SIGINT, SIGQUIT}) {
    if (!ignored_at_start(signal_number))
      sigaddset(&defaults, signal_number);
  }
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  char shell_name[] = "sh";
  char command_option[] = "-c";
  std::string text = command;
  char* argv[] = {shell_name, command_option, &text[0], nullptr};
  pid_t pid = -1;
  const int failed = posix_spawn(&pid, "/bin/sh", &actions, &attributes, argv, environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (output >= 0)
    close(output);
  if (errors >= 0)
    close(errors);
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
