// File facts on POSIX systems: stat (size, times, device and file number) and the real-time
// clock.
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
  const struct timespec& modified = status.st_mtimespec;
  const struct timespec& changed = status.st_ctimespec;
#else
  const struct timespec& modified = status.st_mtim;
  const struct timespec& changed = status.st_ctim;
#endif
  facts.time = static_cast<long long>(modified.tv_sec) * nanoseconds_per_second + modified.tv_nsec;
  facts.change_time =
      static_cast<long long>(changed.tv_sec) * nanoseconds_per_second + changed.tv_nsec;
  facts.device = static_cast<long long>(status.st_dev);
  facts.inode = static_cast<long long>(status.st_ino);
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
