// File facts on Windows: the file's information through a handle opened for its attributes
// (size, times, volume and file index) and the system time, in 100-nanosecond steps since 1601.
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
  // Opened for its attributes alone, never locking it for others.
  const HANDLE file = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return facts;
  BY_HANDLE_FILE_INFORMATION information;
  FILE_BASIC_INFO basic;
  const bool read =
      GetFileInformationByHandle(file, &information) &&
      GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic) &&
      (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  CloseHandle(file);
  if (!read) return facts;
  facts.exists = true;
  facts.size = static_cast<long long>(
      (static_cast<unsigned long long>(information.nFileSizeHigh) << 32) |
      information.nFileSizeLow);
  facts.time = nanoseconds_of(information.ftLastWriteTime);
  facts.change_time = basic.ChangeTime.QuadPart * 100;
  facts.device = static_cast<long long>(information.dwVolumeSerialNumber);
  facts.inode = static_cast<long long>(
      (static_cast<unsigned long long>(information.nFileIndexHigh) << 32) |
      information.nFileIndexLow);
  return facts;
}

long long file_clock_now() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return nanoseconds_of(now);
}
