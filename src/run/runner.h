// The command runner: every compile, link and strip command goes through here.
#pragma once

#include <string>

// In a dry run prints the command and returns 0. Otherwise echoes it when verbose is set, hands
// it whole to the command interpreter and returns its decoded status (0 for success). When the
// command could not be printed (standard output failed), or is longer than the interpreter
// takes (see run/long_commands.h), nothing runs and the result is 1.
int run_build_command(const std::string& command, bool dry_run);

// Turns a status returned by the command interpreter (system or pclose) into the command's
// exit code, or the raw status when the command did not exit normally.
int decode_command_status(int raw_status);

// A link command: head, the object and library lists, and tail, in that order. When the whole
// is longer than the interpreter takes (never in a dry run), the lists move into a private
// response file that the tools read as "@FILE", the shorter command runs (and is echoed when
// verbose) and the file is removed when it has ended.
int run_link_command(const std::string& head, const std::string& lists, const std::string& tail,
                     bool dry_run);
