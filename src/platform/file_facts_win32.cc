// File facts on Windows: the file's attributes and the system time, both in 100-nanosecond
// steps since 1601.
#include "platform/file_facts.h"

#include <windows.h>

namespace {

long long nanoseconds_of(const FILETIME& time) {
  ULARGE_INTEGER value;
  value.LowPart = time.dwLowDateTime;
  value.HighPart = time.dwHighDateTime;
  return static_cast<long long>(value.QuadPart) * 100;
}

}  // namespace

file_facts read_file_facts(const std::string& path) {
  file_facts facts;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    return facts;
  facts.exists = true;
  facts.size = static_cast<long long>((static_cast<unsigned long long>(data.nFileSizeHigh) << 32) |
                                      data.nFileSizeLow);
  facts.time = nanoseconds_of(data.ftLastWriteTime);
  return facts;
}

long long file_clock_now() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return nanoseconds_of(now);
}
