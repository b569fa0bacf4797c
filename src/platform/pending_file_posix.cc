// Creating and renaming the temporaries of pending files on POSIX.
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>

#include "platform/pending_file.h"

std::FILE* create_new_text_file(const std::string& path) {
  // The mode a plain fopen would give, so the final file looks as it always did.
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0)
    return nullptr;
  std::FILE* stream = fdopen(fd, "w");
  if (stream == nullptr) {
    const int open_error = errno;
    close(fd);
    unlink(path.c_str());
    errno = open_error;
  }
  return stream;
}

bool replace_file(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}
