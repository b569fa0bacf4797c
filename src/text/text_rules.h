// Small text rules shared by every phase: truth words, prefix and suffix tests, the one quoting
// rule of composed commands, the base name used for objects, modules and dependency files, and
// the name a linker gives an executable.
#pragma once

#include <string>

// True exactly for "yes" and "true" (case-sensitive, no trimming).
bool is_true(const std::string& text);

// Case-sensitive; false when the text is shorter than the prefix or suffix.
bool starts_with(const std::string& text, const std::string& prefix);
bool ends_with(const std::string& text, const std::string& suffix);

// Encloses a text that holds a blank in double quotes, unless it already begins with one.
// Tabs do not count as blanks and inner quotes are not escaped.
std::string quote_if_blank(const std::string& text);

// Cuts the name at its last '.', then keeps what follows the last '/' or backslash.
std::string basename_no_ext(const std::string& name);

// The file a linker writes when told "-o NAME": NAME with the executable suffix added when the
// part after its last '/' or backslash holds no '.' (MinGW-w64's driver writes prog.exe for
// -o prog); NAME itself where executables have no suffix.
std::string linked_executable_name(const std::string& name, const std::string& executable_suffix);
