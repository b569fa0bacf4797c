// The Windows re-quoting of one program argument, as the spawn-based exec wrapper applies it, so
// that the child's command-line parser gives back the original text.
#pragma once

#include <string>

std::string quote_windows_argument(const std::string& argument);
