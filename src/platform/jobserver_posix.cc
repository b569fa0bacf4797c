// The jobserver on POSIX: a named fifo (make 4.4) or a pipe inherited as two descriptors.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/jobserver.h"

namespace {

bool is_fifo(int fd) {
  struct stat info;
  return fd >= 0 && fstat(fd, &info) == 0 && S_ISFIFO(info.st_mode);
}

// An open file description of the read side that is this process's own, so that it can be
// made non-blocking without changing make's: reopened through /proc where there is one.
int own_read_side(int fd) {
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  const int own = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  return own >= 0 ? own : dup(fd);
}

}  // namespace

jobserver open_jobserver(const jobserver_auth& auth) {
  jobserver server;
  if (auth.form == jobserver_auth::kind::fifo) {
    server.read_fd = open(auth.name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    server.write_fd = open(auth.name.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    server.own_write_fd = true;
  } else if (auth.form == jobserver_auth::kind::descriptors && is_fifo(auth.read_fd) &&
             is_fifo(auth.write_fd)) {
    // Descriptors that make closed for a recipe not marked recursive may have been reused;
    // only pipes are taken for the jobserver.
    server.read_fd = own_read_side(auth.read_fd);
    server.write_fd = auth.write_fd;
  }
  server.usable = is_fifo(server.read_fd) && is_fifo(server.write_fd);
  if (!server.usable)
    close_jobserver(server);
  return server;
}

bool take_jobserver_token(jobserver& server, char& token, int wait_milliseconds) {
  if (!server.usable)
    return false;
  pollfd ready = {server.read_fd, POLLIN, 0};
  if (poll(&ready, 1, wait_milliseconds) <= 0)
    return false;
  // Another client may have taken the token in between; the read side is non-blocking when it
  // is this process's own.
  return read(server.read_fd, &token, 1) == 1;
}

void give_jobserver_token(jobserver& server, char token) {
  if (!server.usable)
    return;
  while (write(server.write_fd, &token, 1) < 0 && errno == EINTR) {
  }
}

void close_jobserver(jobserver& server) {
  if (server.read_fd >= 0)
    close(server.read_fd);
  if (server.own_write_fd && server.write_fd >= 0)
    close(server.write_fd);
  server = jobserver();
}
