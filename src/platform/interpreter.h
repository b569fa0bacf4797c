// The platform's command interpreter as far as composed commands are concerned: how a file name
// is written into a command, the longest command it takes, how the tools it starts split a
// command into words, and the private temporary files that carry a command's lists instead.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// A file or directory name as it stands in a command, so that the tool receives it unchanged
// (quote_file_name for this platform's interpreter).
std::string quote_name_for_interpreter(const std::string& name);

// A name that the command line gave as a file, or one made from it, as it stands in a command,
// so that the tool receives it unchanged and as a file, never as an option or a file of
// arguments (quote_file_operand for this platform's interpreter).
std::string quote_file_for_interpreter(const std::string& name);

// False for a name that this platform's interpreter cannot carry unchanged; such a name is
// refused before any command runs.
bool interpreter_can_pass_name(const std::string& name);

// The longest command of this command's shape, in characters, that the interpreter takes in this
// process's current environment: the command fits when it is no longer than that.
std::size_t command_interpreter_limit(const std::string& command);

// The words the interpreter and the tool it starts make of a piece of a command.
std::vector<std::string> split_interpreter_words(const std::string& text);

// Creates a new file in the temporary directory that only this user may read, holding text.
// Returns its name, or "" when it could not be created and written in full.
std::string write_private_temporary_file(const std::string& text);

// Removes a file made by write_private_temporary_file.
void remove_private_temporary_file(const std::string& name);

// Creates a new directory in the temporary directory that only this user may enter, for files
// that commands write while the run waits for them. Returns its name, or "" when it could not be
// created.
std::string make_private_temporary_directory();

// Removes a directory made by make_private_temporary_directory, once it is empty.
void remove_private_temporary_directory(const std::string& name);
