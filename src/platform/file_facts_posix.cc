// File facts on POSIX systems: stat and the real-time clock.
#include "platform/file_facts.h"

#include <sys/stat.h>
#include <time.h>

namespace {

const long long nanoseconds_per_second = 1000000000LL;

}  // namespace

file_facts read_file_facts(const std::string& path) {
  file_facts facts;
  struct stat status {};
  if (stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return facts;
  facts.exists = true;
  facts.size = static_cast<long long>(status.st_size);
#if defined(__APPLE__)
  facts.time = static_cast<long long>(status.st_mtimespec.tv_sec) * nanoseconds_per_second +
               status.st_mtimespec.tv_nsec;
#else
  facts.time = static_cast<long long>(status.st_mtim.tv_sec) * nanoseconds_per_second +
               status.st_mtim.tv_nsec;
#endif
  return facts;
}

long long file_clock_now() {
  struct timespec now {};
#ifdef CLOCK_REALTIME_COARSE
  // Linux stamps files from its coarse clock, which may lag the precise one by a tick.
  clock_gettime(CLOCK_REALTIME_COARSE, &now);
  return static_cast<long long>(now.tv_sec) * nanoseconds_per_second + now.tv_nsec;
#else
  // Elsewhere a file's stamp may lag the precise clock by an unknown step: a second is more
  // than any file system's lag, and only makes files of the last second untrusted.
  clock_gettime(CLOCK_REALTIME, &now);
  return (static_cast<long long>(now.tv_sec) - 1) * nanoseconds_per_second + now.tv_nsec;
#endif
}
