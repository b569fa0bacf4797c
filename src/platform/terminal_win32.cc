// The terminal test on Windows: the run-time's character-device test on the standard error
// handle, true for a console window.
#include <io.h>

#include <cstdio>

#include "platform/terminal.h"

bool standard_error_is_terminal() {
  return _isatty(_fileno(stderr)) != 0;
}
