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

bool same_file(int fd, const struct stat& other) {
  struct stat info;
  return fstat(fd, &info) == 0 && info.st_dev == other.st_dev && info.st_ino == other.st_ino;
}

// Two inherited descriptors are make's token pipe only when both are open, neither is a
// standard stream, and they are the read and write ends of one pipe: any two pipes a caller
// happens to pass on (standard input and output of a pipeline, say) are not, and tokens
// written to them would go where they do not belong.
bool is_token_pipe(int read_fd, int write_fd) {
  if (read_fd <= STDERR_FILENO || write_fd <= STDERR_FILENO || read_fd == write_fd)
    return false;
  struct stat read_side;
  if (fstat(read_fd, &read_side) != 0 || !S_ISFIFO(read_side.st_mode) ||
      !same_file(write_fd, read_side))
    return false;
  const int read_mode = fcntl(read_fd, F_GETFL);
  const int write_mode = fcntl(write_fd, F_GETFL);
  return read_mode >= 0 && write_mode >= 0 && (read_mode & O_ACCMODE) != O_WRONLY &&
         (write_mode & O_ACCMODE) != O_RDONLY;
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
  struct stat named;
  if (auth.form == jobserver_auth::kind::fifo) {
    // Only a fifo: a regular file or a device named there is no jobserver. What is opened must
    // be the fifo that was looked at.
    if (stat(auth.name.c_str(), &named) == 0 && S_ISFIFO(named.st_mode)) {
      server.read_fd = open(auth.name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
      if (server.read_fd >= 0 && same_file(server.read_fd, named))
        server.write_fd = open(auth.name.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
      server.own_write_fd = true;
      if (server.write_fd >= 0 && !same_file(server.write_fd, named)) {
        close(server.write_fd);
        server.write_fd = -1;
      }
    }
  } else if (auth.form == jobserver_auth::kind::descriptors &&
             is_token_pipe(auth.read_fd, auth.write_fd)) {
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
