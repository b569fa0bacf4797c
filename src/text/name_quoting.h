// How a file or directory name is written into a command so that the tool receives it
// unchanged, for the two command interpreters zrvbuild hands commands to, and how a name is
// written as a target of a make rule. All pure: the platform files choose the interpreter.
#pragma once

#include <string>

enum class interpreter_kind {
  posix_shell,  // "sh -c COMMAND"
  cmd_exe,      // "cmd.exe /c COMMAND", whose tools split their command lines by the run-time's
                // rules (split_windows_words)
};

// False for a name that the interpreter cannot carry to the tool unchanged. A POSIX shell
// carries every name. cmd.exe cannot carry a percent sign (it expands variables inside quotes
// too and has no escape for them on a command line), a double quote (cmd.exe and the run-time
// disagree about where a quoted stretch ends after an escaped quote; no Windows file name holds
// one), a line feed (it ends the command) or a carriage return (it is dropped).
bool can_pass_file_name(const std::string& name, interpreter_kind kind);

// The name as it stands in a command, one word that the interpreter and the tool give back as
// the name itself:
// - no blank and no character special to the interpreter: the name unchanged;
// - a blank and nothing else special: the name in double quotes;
// - anything else: the interpreter's full quoting. For a POSIX shell, single quotes, each single
//   quote written '\''. For cmd.exe, double quotes, which keep & | < > ^ ( ) from cmd.exe and
//   blanks from the run-time's splitting, with the backslashes that end the name doubled so
//   that the closing quote stays a quote.
// The empty name is written as an empty quoted word. Special to a POSIX shell: blank, tab, line
// feed, | & ; < > ( ) $ ` \ " ' * ? [ { } (braces for shells that expand them), and # or ~ at
// the start. Special to cmd.exe: blank, tab, & | < > ^ ( ), * ? (run-times that expand
// wildcards leave quoted arguments alone), and a backslash at the end of a name that is quoted.
// For a name that can_pass_file_name refuses the result is not defined.
std::string quote_file_name(const std::string& name, interpreter_kind kind);

// The name as a target of a make rule, written as the GNU compilers write the targets of the
// rules they print: a blank or tab follows a backslash (the backslashes before it doubled),
// a '#' follows a backslash, and '$' is written "$$". Other characters stay as they are.
std::string make_target_name(const std::string& name);
