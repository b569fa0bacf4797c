// Commands started without waiting for them, several at a time, each through the same command
// interpreter and with the same command text as system() would use.
#pragma once

#include <string>

// Starts the command and returns its id (above 0), or -1 when it could not be started. With a
// stdout_path (stderr_path), the command's standard output (error) goes to that file, which
// must not exist yet.
long long start_command(const std::string& command, const std::string& stdout_path,
                        const std::string& stderr_path);

// Waits for one started command to end and returns its id and, in raw_status, what system()
// would have returned for it. Without blocking, returns 0 when none has ended yet. Returns -1
// when there is no command to wait for.
long long wait_for_command(bool block, int& raw_status);

// The most commands that can be waited for at once here.
int most_running_commands();
