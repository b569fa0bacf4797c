// The command runner: every compile, link and strip command goes through here.
#pragma once

#include <string>

// In a dry run prints the command and returns 0. Otherwise echoes it when verbose is set, hands
// it whole to the command interpreter and returns its decoded status (0 for success). When the
// command could not be printed (standard output failed), nothing runs and the result is 1.
int run_build_command(const std::string& command, bool dry_run);

// Turns a status returned by the command interpreter (system or pclose) into the command's
// exit code, or the raw status when the command did not exit normally.
int decode_command_status(int raw_status);
