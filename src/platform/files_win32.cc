// Opening, renaming and reading files on Windows. New files are made with CreateFileW and
// CREATE_NEW, which fails on any existing name, a symbolic link among them; what exists is
// looked at without following a reparse point (FILE_FLAG_OPEN_REPARSE_POINT), and GetFileType
// tells a disk file from a character device (NUL, CON) or a pipe. No handle is inherited by the
// commands. Names are in the process's code page (UTF-8 under the program's manifest), as for
// every other file call of the program.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "platform/files.h"

namespace {

const DWORD share_all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::wstring wide(const std::string& text) {
  const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  if (length <= 0)
    return std::wstring();
  std::wstring converted(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &converted[0], length);
  converted.resize(static_cast<std::size_t>(length - 1));
  return converted;
}

std::string narrow(const std::wstring& text) {
  const int length = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (length <= 0)
    return std::string();
  std::string converted(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, &converted[0], length, nullptr, nullptr);
  converted.resize(static_cast<std::size_t>(length - 1));
  return converted;
}

// The system's words for error, without the closing period and line end; errno follows the
// errors the shared code tells apart.
std::string reason_of(DWORD error) {
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string reason =
      length > 0 && text != nullptr ? std::string(text, length) : "error " + std::to_string(error);
  if (text != nullptr)
    LocalFree(text);
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' ||
                             reason.back() == ' ' || reason.back() == '.'))
    reason.pop_back();
  errno = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? EEXIST : EIO;
  return reason;
}

std::string last_reason() {
  return reason_of(GetLastError());
}

file_kind disk_kind(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION information;
  if (!GetFileInformationByHandle(handle, &information))
    return file_kind::other;
  return (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? file_kind::directory
                                                                        : file_kind::regular;
}

file_kind kind_of(HANDLE handle) {
  switch (GetFileType(handle)) {
    case FILE_TYPE_DISK:
      return disk_kind(handle);
    case FILE_TYPE_PIPE:
      return file_kind::fifo;
    case FILE_TYPE_CHAR: {
      DWORD mode = 0;
      return GetConsoleMode(handle, &mode) ? file_kind::terminal : file_kind::device;
    }
    default:
      return file_kind::other;
  }
}

HANDLE open_handle(const std::string& path, DWORD access, DWORD flags) {
  return CreateFileW(wide(path).c_str(), access, share_all, nullptr, OPEN_EXISTING, flags, nullptr);
}

std::FILE* stream_of(HANDLE handle, bool text, std::string& reason) {
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), text ? _O_TEXT : _O_BINARY);
  if (fd < 0) {
    reason = std::strerror(errno);
    CloseHandle(handle);
    return nullptr;
  }
  std::FILE* stream = _fdopen(fd, text ? "w" : "wb");
  if (stream == nullptr) {
    reason = std::strerror(errno);
    _close(fd);
  }
  return stream;
}

// For a handle opened without following a reparse point: keeps it when the open file's shape
// (a disk file's kind, whether it is a link itself, its names) is allowed; else closes it and
// gives the reason (refusal when the shape is not allowed). False for an invalid handle too.
bool keep_if_allowed(HANDLE handle, bool (*allowed)(const file_shape&), const char* refusal,
                     std::string& reason) {
  if (handle == INVALID_HANDLE_VALUE) {
    reason = last_reason();
    return false;
  }
  BY_HANDLE_FILE_INFORMATION information;
  file_shape shape;
  if (GetFileType(handle) == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &information)) {
    shape.kind = (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                     ? file_kind::directory
                     : file_kind::regular;
    shape.link = (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    shape.names = information.nNumberOfLinks;
  }
  if (allowed(shape))
    return true;
  CloseHandle(handle);
  reason = refusal;
  return false;
}

bool missing_error(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
         error == ERROR_INVALID_NAME;
}

}  // namespace

file_shape inspect_file(const std::string& path) {
  file_shape shape;
  HANDLE handle = open_handle(path, FILE_READ_ATTRIBUTES,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT);
  if (handle == INVALID_HANDLE_VALUE) {
    // A name that exists but cannot be looked at counts as a plain file: the rename that
    // replaces it reports what is wrong.
    if (!missing_error(GetLastError()))
      shape.kind = file_kind::regular;
    return shape;
  }
  BY_HANDLE_FILE_INFORMATION information;
  if (GetFileType(handle) == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &information)) {
    shape.link = (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    shape.names = information.nNumberOfLinks;
  }
  shape.kind = kind_of(handle);
  CloseHandle(handle);
  if (shape.link) {
    handle = open_handle(path, FILE_READ_ATTRIBUTES, FILE_FLAG_BACKUP_SEMANTICS);
    shape.kind = handle == INVALID_HANDLE_VALUE ? file_kind::missing : kind_of(handle);
    if (handle != INVALID_HANDLE_VALUE)
      CloseHandle(handle);
  }
  return shape;
}

std::FILE* create_new_file(const std::string& path, bool private_to_user, std::string& reason) {
  HANDLE handle =
      CreateFileW(wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    reason = last_reason();
    return nullptr;
  }
  std::FILE* stream = stream_of(handle, !private_to_user, reason);
  if (stream == nullptr)
    DeleteFileW(wide(path).c_str());
  return stream;
}

std::FILE* open_in_place(const std::string& path, std::string& reason) {
  HANDLE handle = open_handle(path, GENERIC_WRITE, 0);
  if (handle == INVALID_HANDLE_VALUE) {
    reason = last_reason();
    return nullptr;
  }
  const file_kind kind = kind_of(handle);
  if (kind == file_kind::regular || kind == file_kind::directory) {
    CloseHandle(handle);
    reason = "not a device or pipe when opened";
    return nullptr;
  }
  return stream_of(handle, true, reason);
}

std::FILE* open_descriptor(int descriptor, std::string& reason) {
  const int fd = _dup(descriptor);
  if (fd < 0) {
    reason = std::strerror(errno);
    return nullptr;
  }
  std::FILE* stream = _fdopen(fd, "w");
  if (stream == nullptr) {
    reason = std::strerror(errno);
    _close(fd);
  }
  return stream;
}

std::FILE* open_existing_regular(const std::string& path, std::string& reason) {
  HANDLE handle = open_handle(path, GENERIC_WRITE, FILE_FLAG_OPEN_REPARSE_POINT);
  if (!keep_if_allowed(handle, may_write_existing, "not a plain file of its own when opened",
                       reason))
    return nullptr;
  if (!SetEndOfFile(handle)) {
    reason = last_reason();
    CloseHandle(handle);
    return nullptr;
  }
  return stream_of(handle, true, reason);
}

bool replace_file(const std::string& from, const std::string& to, std::string& reason) {
  // The C run-time's rename refuses an existing target; MoveFileEx replaces it (a link itself).
  if (MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING))
    return true;
  reason = last_reason();
  return false;
}

bool remove_file(const std::string& path) {
  return DeleteFileW(wide(path).c_str()) != 0;
}

bool create_new_directory(const std::string& path, std::string& reason) {
  if (CreateDirectoryW(wide(path).c_str(), nullptr))
    return true;
  reason = last_reason();
  return false;
}

bool remove_directory(const std::string& path) {
  return RemoveDirectoryW(wide(path).c_str()) != 0;
}

bool open_lock_file(const std::string& path, lock_file& lock, std::string& reason) {
  HANDLE handle = CreateFileW(wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, share_all, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                              nullptr);
  if (!keep_if_allowed(handle, may_lock, "not a regular file", reason))
    return false;
  lock.handle = static_cast<long long>(reinterpret_cast<intptr_t>(handle));
  return true;
}

lock_result try_lock_file(lock_file& lock, std::string& reason) {
  HANDLE handle = reinterpret_cast<HANDLE>(static_cast<intptr_t>(lock.handle));
  OVERLAPPED start{};
  if (LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                 MAXDWORD, &start))
    return lock_result::taken;
  const DWORD error = GetLastError();
  if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING)
    return lock_result::busy;
  reason = reason_of(error);
  return lock_result::failed;
}

void close_lock_file(lock_file& lock) {
  if (lock.handle < 0)
    return;
  CloseHandle(reinterpret_cast<HANDLE>(static_cast<intptr_t>(lock.handle)));
  lock.handle = -1;
}

void pause_milliseconds(int milliseconds) {
  Sleep(static_cast<DWORD>(milliseconds));
}

std::string temporary_directory() {
  wchar_t directory[MAX_PATH + 2];
  const DWORD length = GetTempPathW(MAX_PATH + 2, directory);
  if (length == 0 || length > MAX_PATH + 1)
    return ".";
  std::wstring path(directory, length);
  while (path.size() > 1 && (path.back() == L'\\' || path.back() == L'/'))
    path.pop_back();
  return narrow(path);
}

bool read_file_text(const std::string& path, read_use use, std::string& text, std::string& reason) {
  text.clear();
  HANDLE handle = open_handle(path, GENERIC_READ, FILE_FLAG_BACKUP_SEMANTICS);
  if (handle == INVALID_HANDLE_VALUE) {
    reason = last_reason();
    return false;
  }
  file_shape shape;
  shape.kind = kind_of(handle);
  LARGE_INTEGER size{};
  if (shape.kind == file_kind::regular && !GetFileSizeEx(handle, &size))
    size.QuadPart = 0;
  reason = read_refusal(shape, use, static_cast<long long>(size.QuadPart));
  if (!reason.empty()) {
    CloseHandle(handle);
    return false;
  }
  const bool complete = read_whole_capped(
      [handle](char* buffer, unsigned long capacity, std::string& failure) -> long {
        DWORD count = 0;
        if (ReadFile(handle, buffer, static_cast<DWORD>(capacity), &count, nullptr))
          return static_cast<long>(count);
        const DWORD error = GetLastError();
        // The writer of a pipe has closed it: its end.
        if (error == ERROR_BROKEN_PIPE)
          return 0;
        failure = reason_of(error);
        return -1;
      },
      static_cast<long long>(size.QuadPart), text, reason);
  CloseHandle(handle);
  return complete;
}
