// The jobserver that GNU make hands its recipes in MAKEFLAGS.
#pragma once

#include <string>

struct jobserver_auth {
  enum class kind { none, fifo, descriptors, semaphore };
  kind form = kind::none;
  std::string name;  // the fifo's path, or the semaphore's name
  int read_fd = -1;
  int write_fd = -1;
};

// The last --jobserver-auth= (or --jobserver-fds=) word of MAKEFLAGS: "fifo:PATH", "R,W" with
// two descriptors, or any other text, the name of a semaphore. Descriptors below 0 mean make
// offers no jobserver.
jobserver_auth parse_jobserver_auth(const std::string& makeflags);
