// A distccd of the tests' own on a loopback port, and a free port to put it on.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "support/scratch.h"
#include "support/tools.h"

// A free TCP port on 127.0.0.1, as the kernel hands one out.
inline int free_loopback_port() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = -1;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    port = ntohs(address.sin_port);
  close(fd);
  return port;
}

// A distccd listening on 127.0.0.1:port only, serving that address only, in the foreground.
// It runs in a process group of its own because on SIGTERM it signals its whole group; the
// test process becomes a subreaper so that the workers it forks are reaped here too.
struct distcc_daemon {
  distcc_daemon(const std::string& distccd, int port, const std::string& log) {
#ifdef __linux__
    prctl(PR_SET_CHILD_SUBREAPER, 1);
#endif
    std::vector<std::string> args = {
        distccd,  "--daemon",           "--no-detach", "--listen",  "127.0.0.1",
        "--port", std::to_string(port), "--allow",     "127.0.0.1", "--log-file",
        log,      "--log-level",        "info",        "--jobs",    "2"};
    std::vector<char*> argv;
    for (std::string& arg : args)
      argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    std::string path = std::string("PATH=") + tool_search_path();
    char* envp[] = {&path[0], nullptr};
    pid = fork();
    if (pid == 0) {
      setpgid(0, 0);
      int null_fd = open("/dev/null", O_RDWR);
      dup2(null_fd, 0);
      dup2(null_fd, 1);
      dup2(null_fd, 2);
      execve(argv[0], argv.data(), envp);
      _exit(127);
    }
    if (pid > 0)
      setpgid(pid, pid);
  }

  // True once the daemon logs that it listens, false if it died or did not come up in time.
  bool wait_until_listening(int port, const std::string& log) {
    const std::string listening = "listening on 127.0.0.1:" + std::to_string(port) + "\n";
    for (int tries = 0; tries < 100; ++tries) {
      if (waitpid(pid, nullptr, WNOHANG) == pid) {
        pid = -1;
        return false;
      }
      if (read_file(log).find(listening) != std::string::npos)
        return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  }

  ~distcc_daemon() {
    if (pid <= 0)
      return;
    kill(pid, SIGTERM);
    bool ended = false;
    for (int tries = 0; tries < 50 && !ended; ++tries) {
      ended = waitpid(pid, nullptr, WNOHANG) == pid;
      if (!ended)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (!ended) {
      kill(-pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    // The workers, reparented to this process when their parent ended.
    for (int tries = 0; tries < 50; ++tries) {
      pid_t reaped = waitpid(-pid, nullptr, WNOHANG);
      if (reaped < 0)
        break;
      if (reaped == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }

  pid_t pid = -1;
};
