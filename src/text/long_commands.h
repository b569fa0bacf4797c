// Rules for commands longer than the command interpreter takes: the POSIX limit from the
// kernel's figures, the interpreters' word splitting, and the text of a response file in the
// syntax the GNU tools read after "@FILE". All pure; the platform files supply the figures.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The longest command "sh -c COMMAND" can carry. The command is one argument of the shell,
// which the kernel takes up to argument_limit bytes, its terminating NUL included. All
// arguments and the environment share argument_space; the tool that the shell starts needs the
// command's words again with a pointer each, so the command gets half of what the environment
// and the shell's own arguments leave.
std::size_t posix_command_limit(std::size_t argument_limit, std::size_t argument_space,
                                std::size_t environment_bytes);

// True when a command of this many characters may be handed to the interpreter.
bool command_fits(std::size_t length, std::size_t limit);

// The words a POSIX shell makes of the text: blanks, tabs and line feeds separate; single
// quotes keep everything; double quotes keep everything but a backslash before $ ` " \ or a
// line feed; a backslash outside quotes keeps the next character. Nothing is expanded.
std::vector<std::string> split_posix_words(const std::string& text);

// The words a Windows program's run-time makes of its command line: blanks and tabs separate,
// double quotes group; 2n backslashes before a double quote give n backslashes and the quote
// groups, 2n+1 give n backslashes and a literal quote; other backslashes are ordinary; inside
// quotes, "" gives one literal quote.
std::vector<std::string> split_windows_words(const std::string& text);

// One argument a line; every blank, tab, line end, quote and backslash is preceded by a
// backslash, so that Windows paths and names with blanks come back whole. An empty argument is
// written as "".
std::string response_file_text(const std::vector<std::string>& arguments);
