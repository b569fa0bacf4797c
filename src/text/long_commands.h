// Rules for commands longer than the command interpreter takes: the POSIX limit from the
// kernel's figures, the interpreters' word splitting, and the text of a response file in the
// syntax the GNU tools read after "@FILE". All pure; the platform files supply the figures.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// What the kernel lets one execution carry, as the POSIX platform file reads it.
struct posix_exec_figures {
  std::size_t argument_limit = 0;     // one argument, its NUL included (Linux: MAX_ARG_STRLEN)
  std::size_t argument_space = 0;     // all arguments and the environment (sysconf(_SC_ARG_MAX))
  std::size_t environment_bytes = 0;  // each variable's text, NUL and pointer; the closing null
  std::size_t pointer_size = sizeof(void*);
};

// The longest command of this command's shape that "sh -c COMMAND" can carry, so that the
// command fits when its length is at most the result. Two executions must succeed: the shell's,
// with the command as one argument (within argument_limit, and with the shell's own name and
// arguments and the environment within argument_space), and the tool's that the shell starts,
// with the words the shell splits the command into, each with its NUL and pointer, the tool's
// path (up to a path's longest) and the environment within argument_space again.
std::size_t posix_command_limit(const std::string& command, const posix_exec_figures& figures);

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
