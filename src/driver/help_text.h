// The fixed texts: the usage line, the version line and the help text. None carries a newline
// of its own at the end; the printer adds one.
#pragma once

#include <string>

extern const char* const usage_line;
extern const std::string version_line;
extern const char* const help_text;
