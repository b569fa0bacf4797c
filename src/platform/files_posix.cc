// Opening, renaming and reading files on POSIX. Every descriptor is close-on-exec; nothing is
// created except exclusively (O_CREAT|O_EXCL|O_NOFOLLOW), nothing existing is opened for
// writing through a link unless it is a device or fifo, and no open waits for the other end of
// a fifo (O_NONBLOCK), except an argument file's, which waits for its writer as any reader of a
// named pipe does.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstring>

#include "platform/files.h"

namespace {

file_kind kind_of(const struct stat& info, int fd) {
  if (S_ISREG(info.st_mode))
    return file_kind::regular;
  if (S_ISDIR(info.st_mode))
    return file_kind::directory;
  if (S_ISFIFO(info.st_mode))
    return file_kind::fifo;
  if (S_ISCHR(info.st_mode))
    return fd >= 0 && isatty(fd) ? file_kind::terminal : file_kind::device;
  if (S_ISBLK(info.st_mode))
    return file_kind::device;
  return file_kind::other;
}

std::string reason_of(int error) {
  return std::strerror(error);
}

// Takes O_NONBLOCK off again, for the writes and reads that follow the open.
bool make_blocking(int fd) {
  const int flags = fcntl(fd, F_GETFL);
  return flags >= 0 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

std::FILE* stream_of(int fd, const char* mode, std::string& reason) {
  std::FILE* stream = fdopen(fd, mode);
  if (stream == nullptr) {
    const int error = errno;
    close(fd);
    reason = reason_of(error);
    errno = error;
  }
  return stream;
}

std::FILE* refuse(int fd, int error, std::string& reason) {
  close(fd);
  reason = reason_of(error);
  errno = error;
  return nullptr;
}

// Opens path, never through a link (flags gain O_NOFOLLOW and the rest of what every such open
// needs), and keeps the descriptor only when the open file's shape is allowed; -1 with reason
// (refusal when the shape is not allowed) otherwise.
int open_unfollowed(const std::string& path, int flags, bool (*allowed)(const file_shape&),
                    const char* refusal, std::string& reason) {
  const int fd = open(path.c_str(), flags | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) {
    reason = reason_of(errno);
    return -1;
  }
  struct stat info;
  if (fstat(fd, &info) != 0) {
    refuse(fd, errno, reason);
    return -1;
  }
  file_shape shape;
  shape.kind = kind_of(info, -1);
  shape.names = static_cast<unsigned long>(info.st_nlink);
  if (!allowed(shape)) {
    close(fd);
    reason = refusal;
    return -1;
  }
  return fd;
}

}  // namespace

file_shape inspect_file(const std::string& path) {
  file_shape shape;
  struct stat info;
  if (lstat(path.c_str(), &info) != 0)
    return shape;
  shape.link = S_ISLNK(info.st_mode);
  if (shape.link && stat(path.c_str(), &info) != 0)
    return shape;  // a link to nothing
  // A terminal counts as a device here: only reads tell them apart, on the open file.
  shape.kind = kind_of(info, -1);
  shape.names = static_cast<unsigned long>(info.st_nlink);
  return shape;
}

std::FILE* create_new_file(const std::string& path, bool private_to_user, std::string& reason) {
  // The mode a plain fopen would give, so the final file looks as it always did.
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                      private_to_user ? 0600 : 0666);
  if (fd < 0) {
    const int error = errno;
    reason = reason_of(error);
    errno = error;
    return nullptr;
  }
  std::FILE* stream = stream_of(fd, "w", reason);
  if (stream == nullptr) {
    const int error = errno;
    unlink(path.c_str());
    errno = error;
  }
  return stream;
}

std::FILE* open_in_place(const std::string& path, std::string& reason) {
  // A fifo without a reader fails at once (ENXIO) instead of waiting for one.
  const int fd = open(path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    reason = reason_of(errno);
    return nullptr;
  }
  struct stat info;
  if (fstat(fd, &info) != 0)
    return refuse(fd, errno, reason);
  // What was looked at may have been swapped for a plain file meanwhile: never written through.
  if (S_ISREG(info.st_mode) || S_ISDIR(info.st_mode)) {
    close(fd);
    reason = "not a device or fifo when opened";
    return nullptr;
  }
  if (!make_blocking(fd))
    return refuse(fd, errno, reason);
  return stream_of(fd, "w", reason);
}

std::FILE* open_descriptor(int descriptor, std::string& reason) {
  const int fd = fcntl(descriptor, F_DUPFD_CLOEXEC, 3);
  if (fd < 0) {
    reason = reason_of(errno);
    return nullptr;
  }
  return stream_of(fd, "w", reason);
}

std::FILE* open_existing_regular(const std::string& path, std::string& reason) {
  const int fd = open_unfollowed(path, O_WRONLY, may_write_existing,
                                 "not a plain file of its own when opened", reason);
  if (fd < 0)
    return nullptr;
  if (!make_blocking(fd) || ftruncate(fd, 0) != 0)
    return refuse(fd, errno, reason);
  return stream_of(fd, "w", reason);
}

bool replace_file(const std::string& from, const std::string& to, std::string& reason) {
  if (std::rename(from.c_str(), to.c_str()) == 0)
    return true;
  reason = reason_of(errno);
  return false;
}

bool remove_file(const std::string& path) {
  return unlink(path.c_str()) == 0;
}

bool create_new_directory(const std::string& path, std::string& reason) {
  if (mkdir(path.c_str(), 0700) == 0)
    return true;
  const int error = errno;
  reason = reason_of(error);
  errno = error;
  return false;
}

bool remove_directory(const std::string& path) {
  return rmdir(path.c_str()) == 0;
}

bool open_lock_file(const std::string& path, lock_file& lock, std::string& reason) {
  const int fd = open_unfollowed(path, O_RDWR | O_CREAT, may_lock, "not a regular file", reason);
  if (fd < 0)
    return false;
  lock.handle = fd;
  return true;
}

lock_result try_lock_file(lock_file& lock, std::string& reason) {
  // A record lock: the process's end gives it up, and the commands it starts never hold it.
  struct flock whole {};
  whole.l_type = F_WRLCK;
  whole.l_whence = SEEK_SET;
  for (;;) {
    if (fcntl(static_cast<int>(lock.handle), F_SETLK, &whole) == 0)
      return lock_result::taken;
    if (errno == EACCES || errno == EAGAIN)
      return lock_result::busy;
    if (errno != EINTR) {
      reason = reason_of(errno);
      return lock_result::failed;
    }
  }
}

void close_lock_file(lock_file& lock) {
  if (lock.handle < 0)
    return;
  close(static_cast<int>(lock.handle));
  lock.handle = -1;
}

void pause_milliseconds(int milliseconds) {
  struct timespec pause {};
  pause.tv_sec = milliseconds / 1000;
  pause.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
  nanosleep(&pause, nullptr);
}

std::string temporary_directory() {
  const char* directory = getenv("TMPDIR");
  return directory != nullptr && *directory != '\0' ? directory : "/tmp";
}

bool read_file_text(const std::string& path, read_use use, std::string& text, std::string& reason) {
  text.clear();
  // An argument file that is a fifo waits for its writer; nothing else waits at the open.
  struct stat named;
  const bool waits =
      use == read_use::argument_file && stat(path.c_str(), &named) == 0 && S_ISFIFO(named.st_mode);
  const int fd = open(path.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC | (waits ? 0 : O_NONBLOCK));
  if (fd < 0) {
    reason = reason_of(errno);
    return false;
  }
  struct stat info;
  if (fstat(fd, &info) != 0) {
    refuse(fd, errno, reason);
    return false;
  }
  file_shape shape;
  shape.kind = kind_of(info, fd);
  const long long size = S_ISREG(info.st_mode) ? static_cast<long long>(info.st_size) : 0;
  reason = read_refusal(shape, use, size);
  if (!reason.empty() || !make_blocking(fd)) {
    if (reason.empty())
      reason = reason_of(errno);
    close(fd);
    return false;
  }
  const bool complete = read_whole_capped(
      [fd](char* buffer, unsigned long capacity, std::string& failure) -> long {
        for (;;) {
          const ssize_t count = read(fd, buffer, capacity);
          if (count >= 0)
            return static_cast<long>(count);
          if (errno != EINTR) {
            failure = reason_of(errno);
            return -1;
          }
        }
      },
      size, text, reason);
  close(fd);
  return complete;
}
