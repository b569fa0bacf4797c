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

// True for a name that its caller quoted for the interpreter: it begins with a double quote and
// consists of one double-quoted span whose inside holds nothing the interpreter expands or ends
// (a POSIX shell: $ ` \ "; cmd.exe: % " and the line ends, nor a backslash before the closing
// quote), followed only by characters that need no quoting. Such a name stands in a command
// as it is, and the tool receives the span's inside and what follows it.
bool is_pre_quoted_name(const std::string& name, interpreter_kind kind);

// False for a name that the interpreter cannot carry to the tool unchanged. A POSIX shell
// carries every name; cmd.exe every name that is pre-quoted, whatever it holds. cmd.exe cannot carry a percent sign (it expands variables inside quotes
// too and has no escape for them on a command line), a double quote (cmd.exe and the run-time
// disagree about where a quoted stretch ends after an escaped quote; no Windows file name holds
// one), a line feed (it ends the command) or a carriage return (it is dropped).
bool can_pass_file_name(const std::string& name, interpreter_kind kind);

// The name as it stands in a command, one word that the interpreter and the tool give back as
// the name itself:
// - a pre-quoted name (is_pre_quoted_name): unchanged;
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

// A name that zrvbuild took as a file (a source, an object, a library, a product, the file to
// strip, a dependency list), as it stands in a command: quote_file_name of the name, with "./"
// (".\" for cmd.exe) in front of a name that begins with '-' or '@', which the GNU tools would
// read as an option or as a file of further arguments. The prefix is part of what gets quoted;
// a pre-quoted name whose received text begins so is written as that text behind the prefix,
// quoted afresh.
std::string quote_file_operand(const std::string& name, interpreter_kind kind);

// The name as a target of a make rule, written as the GNU compilers write the targets of the
// rules they print: a blank or tab follows a backslash (the backslashes before it doubled),
// a '#' follows a backslash, and '$' is written "$$". Other characters stay as they are.
std::string make_target_name(const std::string& name);
