// Commands longer than the command interpreter takes: the run's limit, the refusal of a command
// past it, and the response file that carries a link's object and library lists instead. The
// runner decides when to use them; nothing here runs a command.
#pragma once

#include <string>

// True when the command may be handed to the interpreter of this run.
bool command_fits_interpreter(const std::string& command);

// True, after the message "command too long for the command interpreter (N characters, limit
// M)" on standard error, when the interpreter would refuse the command; such a command is not
// run and its caller ends with status 1.
bool refuse_too_long_command(const std::string& command);

// Writes the words of a link's object and library lists, in the syntax the GNU tools read
// after "@FILE", to a private temporary file and returns its name; on failure reports "unable to
// write a response file for the link command" and returns the empty text.
std::string write_link_response_file(const std::string& lists);
