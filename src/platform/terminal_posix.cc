// The terminal test on POSIX.
#include <unistd.h>

#include "platform/terminal.h"

bool standard_error_is_terminal() {
  return isatty(STDERR_FILENO) == 1;
}
