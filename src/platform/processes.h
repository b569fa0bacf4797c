// Commands started without waiting for them, several at a time, each through the same command
// interpreter and with the same command text as system() would use. What a command writes to
// its standard output and error comes back through pipes, read while the commands run and
// handed over whole once the command has ended: no file is made for it.
#pragma once

#include <string>

// A command that has ended: its id, what system() would have returned for it, and all it wrote.
struct ended_command {
  long long id = 0;
  int raw_status = 0;
  std::string output;
  std::string errors;
};

// Starts the command with its standard output and error each on a pipe of its own and returns
// its id (above 0), or -1 when it could not be started.
long long start_command(const std::string& command);

// Waits for one started command to end, reading what every running command writes meanwhile.
// Returns 1 with the command in `ended`; without blocking, 0 when none has ended yet; -1 when
// there is no command to wait for.
int wait_for_command(bool block, ended_command& ended);

// The most commands that can run and be read at once here.
int most_running_commands();
