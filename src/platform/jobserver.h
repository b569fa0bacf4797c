// A client of make's jobserver: one token per job beyond the first, taken before the job starts
// and given back when it ends.
#pragma once

#include "text/make_flags.h"

struct jobserver {
  bool usable = false;
  int read_fd = -1;  // POSIX: the token pipe or fifo, opened for this process
  int write_fd = -1;
  bool own_write_fd = false;
  void* semaphore = nullptr;  // Windows
};

// Opens what MAKEFLAGS names; a jobserver that cannot be used comes back not usable.
jobserver open_jobserver(const jobserver_auth& auth);

// Takes a token, waiting at most wait_milliseconds for one; false when none came.
bool take_jobserver_token(jobserver& server, char& token, int wait_milliseconds);

// Gives a token taken before back.
void give_jobserver_token(jobserver& server, char token);

void close_jobserver(jobserver& server);
