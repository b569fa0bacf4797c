// Arguments read from a file named on the command line as "@FILE", in the response-file syntax
// of the GNU tools, the same syntax the link's response file is written in (long_commands.h).
#pragma once

#include <string>
#include <vector>

// True when the argument names an argument file: "@" followed by at least one character.
bool names_argument_file(const std::string& argument);

// The arguments the text of such a file holds. White space (blank, tab, line feed, carriage
// return, vertical tab, form feed) separates them; single and double quotes group, and each
// kind of quote stands for itself inside the other; a backslash takes the next character as it
// is, inside quotes too, and is dropped at the very end. A pair of quotes with nothing between
// is an empty argument. The text ends at a NUL byte, as no argument can hold one.
std::vector<std::string> argument_file_words(const std::string& text);
