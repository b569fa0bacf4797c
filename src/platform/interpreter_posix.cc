// The command interpreter on POSIX: "sh -c COMMAND", started by system().
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <algorithm>
#include <cstring>

#include "platform/interpreter.h"
#include "text/long_commands.h"
#include "text/name_quoting.h"

extern char** environ;

namespace {

#ifdef __linux__
// The kernel takes one argument of at most 32 pages (MAX_ARG_STRLEN), its NUL included.
const long kernel_argument_pages = 32;
const std::size_t kernel_argument_space_cap = 6 * 1024 * 1024;
#endif
// Where the total argument space cannot be asked for.
const long fallback_argument_space = 128 * 1024;

std::size_t argument_limit() {
#ifdef __linux__
  return static_cast<std::size_t>(kernel_argument_pages * sysconf(_SC_PAGESIZE));
#else
  return static_cast<std::size_t>(-1);
#endif
}

std::size_t argument_space() {
  const long space = sysconf(_SC_ARG_MAX);
  const std::size_t asked = static_cast<std::size_t>(space > 0 ? space : fallback_argument_space);
#ifdef __linux__
  // The kernel takes a quarter of the stack limit, but never more than three quarters of 8 MiB.
  return std::min<std::size_t>(asked, kernel_argument_space_cap);
#else
  return asked;
#endif
}

// Each variable's text with its NUL and a pointer to it.
std::size_t environment_bytes() {
  std::size_t bytes = sizeof(char*);
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    bytes += std::strlen(*entry) + 1 + sizeof(char*);
  }
  return bytes;
}

std::string temporary_directory() {
  const char* directory = getenv("TMPDIR");
  return directory != nullptr && *directory != '\0' ? directory : "/tmp";
}

}  // namespace

std::string quote_name_for_interpreter(const std::string& name) {
  return quote_file_name(name, interpreter_kind::posix_shell);
}

std::string quote_file_for_interpreter(const std::string& name) {
  return quote_file_operand(name, interpreter_kind::posix_shell);
}

bool interpreter_can_pass_name(const std::string& name) {
  return can_pass_file_name(name, interpreter_kind::posix_shell);
}

std::size_t command_interpreter_limit(const std::string& command) {
  // The environment does not change during a run, so neither do the figures.
  static const posix_exec_figures figures = {argument_limit(), argument_space(),
                                             environment_bytes(), sizeof(char*)};
  return posix_command_limit(command, figures);
}

std::vector<std::string> split_interpreter_words(const std::string& text) {
  return split_posix_words(text);
}

std::string write_private_temporary_file(const std::string& text) {
  std::string name = temporary_directory() + "/zrvbuild-XXXXXX";
  // mkstemp creates the file with mode 0600.
  const int fd = mkstemp(&name[0]);
  if (fd < 0)
    return "";
  std::size_t written = 0;
  while (written < text.size()) {
    const ssize_t count = write(fd, text.data() + written, text.size() - written);
    if (count <= 0)
      break;
    written += static_cast<std::size_t>(count);
  }
  const bool closed = close(fd) == 0;
  if (written == text.size() && closed)
    return name;
  unlink(name.c_str());
  return "";
}

void remove_private_temporary_file(const std::string& name) {
  unlink(name.c_str());
}

std::string make_private_temporary_directory() {
  std::string name = temporary_directory() + "/zrvbuild-XXXXXX";
  // mkdtemp creates the directory with mode 0700, under a name no file had.
  if (mkdtemp(&name[0]) == nullptr)
    return "";
  return name;
}

void remove_private_temporary_directory(const std::string& name) {
  rmdir(name.c_str());
}
