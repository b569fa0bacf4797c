// Commands started through /bin/sh -c, as system() starts them, without waiting; their output
// is read from pipes with poll() while they run.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "platform/interrupts.h"
#include "platform/processes.h"

extern char** environ;

namespace {

// How long a wait sleeps between looks at a command that has closed both its pipes but has not
// yet ended (its end gives no event that poll() sees).
const int exit_poll_milliseconds = 5;

struct running_command {
  pid_t pid = -1;
  int pipes[2] = {-1, -1};  // read ends: standard output, standard error; -1 once at its end
  std::string text[2];
};

std::vector<running_command> running;

void close_pipe(int& fd) {
  if (fd >= 0)
    close(fd);
  fd = -1;
}

// A pipe whose read end stays here and whose write end becomes the command's stream; both are
// close-on-exec, so no other command holds the write end open past this one's end.
bool open_pipe(int ends[2]) {
  return pipe2(ends, O_CLOEXEC) == 0;
}

// Reads what the pipe holds now; closes it at its end (or on an error, which ends it as well).
void read_pipe(running_command& command, int which) {
  char buffer[1 << 16];
  const ssize_t count = read(command.pipes[which], buffer, sizeof buffer);
  if (count > 0) {
    command.text[which].append(buffer, static_cast<std::size_t>(count));
  } else if (count == 0 || (errno != EINTR && errno != EAGAIN)) {
    close_pipe(command.pipes[which]);
  }
}

// The first command that has closed its pipes and ended, or running.size().
std::size_t find_ended(int& raw_status, bool& any_closed) {
  any_closed = false;
  for (std::size_t index = 0; index < running.size(); ++index) {
    running_command& command = running[index];
    if (command.pipes[0] >= 0 || command.pipes[1] >= 0)
      continue;
    int status = 0;
    const pid_t pid = waitpid(command.pid, &status, WNOHANG);
    if (pid == command.pid || (pid < 0 && errno == ECHILD)) {
      raw_status = pid == command.pid ? status : -1;
      return index;
    }
    any_closed = true;
  }
  return running.size();
}

}  // namespace

long long start_command(const std::string& command) {
  int output[2] = {-1, -1};
  int errors[2] = {-1, -1};
  if (!open_pipe(output) || !open_pipe(errors)) {
    for (int fd : {output[0], output[1], errors[0], errors[1]}) {
      if (fd >= 0)
        close(fd);
    }
    return -1;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, errors[1], STDERR_FILENO);
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
  close(output[1]);
  close(errors[1]);
  if (failed != 0) {
    close(output[0]);
    close(errors[0]);
    return -1;
  }
  running_command started;
  started.pid = pid;
  started.pipes[0] = output[0];
  started.pipes[1] = errors[0];
  running.push_back(std::move(started));
  return pid;
}

int wait_for_command(bool block, ended_command& ended) {
  if (running.empty())
    return -1;
  std::vector<pollfd> watched;
  std::vector<std::pair<std::size_t, int>> owners;
  for (;;) {
    int raw_status = 0;
    bool any_closed = false;
    const std::size_t index = find_ended(raw_status, any_closed);
    if (index < running.size()) {
      ended.id = running[index].pid;
      ended.raw_status = raw_status;
      ended.output = std::move(running[index].text[0]);
      ended.errors = std::move(running[index].text[1]);
      running[index] = std::move(running.back());
      running.pop_back();
      return 1;
    }
    watched.clear();
    owners.clear();
    for (std::size_t command = 0; command < running.size(); ++command) {
      for (int which = 0; which < 2; ++which) {
        if (running[command].pipes[which] < 0)
          continue;
        watched.push_back({running[command].pipes[which], POLLIN, 0});
        owners.push_back({command, which});
      }
    }
    const int timeout = !block ? 0 : any_closed ? exit_poll_milliseconds : -1;
    const int ready = poll(watched.data(), watched.size(), timeout);
    if (ready < 0 && errno != EINTR)
      return -1;
    for (std::size_t fd = 0; ready > 0 && fd < watched.size(); ++fd) {
      if (watched[fd].revents != 0)
        read_pipe(running[owners[fd].first], owners[fd].second);
    }
    if (ready == 0 && !block)
      return 0;
    // A signal that interrupts a blocking wait is seen by the caller once a command ends: the
    // commands had it from the terminal too.
  }
}

int most_running_commands() {
  // Two descriptors for every running command, and a few for the run itself.
  rlimit limit = {};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
    return 1 << 16;
  const long long usable = (static_cast<long long>(limit.rlim_cur) - 32) / 2;
  return static_cast<int>(std::max<long long>(1, std::min<long long>(usable, 1 << 16)));
}
