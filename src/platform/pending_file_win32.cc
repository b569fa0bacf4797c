// Creating and renaming the temporaries of pending files on Windows: the C run-time's rename
// refuses an existing target, MoveFileEx replaces it.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <sys/stat.h>
#include <windows.h>

#include "platform/pending_file.h"

std::FILE* create_new_text_file(const std::string& path) {
  const int fd = _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_TEXT | _O_NOINHERIT,
                       _S_IREAD | _S_IWRITE);
  if (fd < 0)
    return nullptr;
  std::FILE* stream = _fdopen(fd, "w");
  if (stream == nullptr) {
    const int open_error = errno;
    _close(fd);
    _unlink(path.c_str());
    errno = open_error;
  }
  return stream;
}

bool replace_file(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}
