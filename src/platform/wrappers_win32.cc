// The wrapper family on Windows: forwarding members call the C run-time (or kernel32 where the
// run-time has no such call); fork, process groups, user identities and signal-based wait
// statuses do not exist here, so those members return fixed values. A command interpreter
// status of 3 is what an aborted program leaves, so it counts as the end by signal 15.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <direct.h>
#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <process.h>

#include <string>
#include <vector>

#include "platform/argv_quote.h"
#include "platform/wrappers.h"

namespace {

const int pipe_buffer_size = 4096;
const int aborted_status = 3;
const int termination_signal = 15;

// The errno that stands for a failed kernel32 call.
int errno_for_last_error() {
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
      return ENOENT;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
      return EEXIST;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      return EACCES;
    case ERROR_NOT_SAME_DEVICE:
      return EXDEV;
    case ERROR_TOO_MANY_LINKS:
      return EMLINK;
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
      return EPERM;
    case ERROR_MORE_DATA:
    case ERROR_BUFFER_OVERFLOW:
      return ENAMETOOLONG;
    default:
      return EINVAL;
  }
}

}  // namespace

extern "C" {

int zorvan_access_f_ok(void) { return 0; }
int zorvan_access_r_ok(void) { return 4; }
int zorvan_access_w_ok(void) { return 2; }
int zorvan_access_x_ok(void) { return 1; }
int zorvan_stdin_fileno(void) { return 0; }
int zorvan_stdout_fileno(void) { return 1; }
int zorvan_have_fork(void) { return 0; }
int zorvan_have_vfork(void) { return 0; }
int zorvan_wnohang_wrapper(void) { return 0; }
int zorvan_wuntraced_wrapper(void) { return 0; }
int zorvan_wcontinue_wrapper(void) { return 0; }

int zorvan_access_wrapper(const char* path, int mode) {
  // The run-time's _access takes only the modes 0, 2, 4 and 6 and treats the execute bit as an
  // invalid parameter. Windows has no execute permission, so that bit asks no more than
  // whether the file exists, which every mode asks anyway.
  return _access(path, mode & ~zorvan_access_x_ok());
}
int zorvan_chdir_wrapper(const char* path) { return _chdir(path); }
int zorvan_close_wrapper(int fd) { return _close(fd); }
int zorvan_dup2_wrapper(int old_fd, int new_fd) { return _dup2(old_fd, new_fd); }

int zorvan_ftruncate_wrapper(int fd, long long length) {
  // _chsize_s reports through its result rather than -1; give the caller ftruncate's form.
  const errno_t error = _chsize_s(fd, length);
  if (error == 0) return 0;
  errno = error;
  return -1;
}

char* zorvan_getcwd_wrapper(char* buffer, size_t size) {
  return _getcwd(buffer, static_cast<int>(size));
}

int zorvan_gethostname_wrapper(char* buffer, size_t size) {
  // kernel32 knows the host name without the socket library being started first.
  DWORD length = static_cast<DWORD>(size);
  if (GetComputerNameExA(ComputerNameDnsHostname, buffer, &length)) return 0;
  errno = errno_for_last_error();
  return -1;
}

int zorvan_getpid_wrapper(void) { return _getpid(); }
int zorvan_isatty_wrapper(int fd) { return _isatty(fd); }

int zorvan_link_wrapper(const char* existing_path, const char* new_path) {
  if (CreateHardLinkA(new_path, existing_path, nullptr)) return 0;
  errno = errno_for_last_error();
  return -1;
}

int zorvan_pipe_wrapper(int fds[2]) { return _pipe(fds, pipe_buffer_size, _O_BINARY); }
int zorvan_rmdir_wrapper(const char* path) { return _rmdir(path); }
int zorvan_unlink_wrapper(const char* path) { return _unlink(path); }

int zorvan_execvp_wrapper(const char* program, char* const* argv) {
  return static_cast<int>(_spawnvp(_P_OVERLAY, program, argv));
}

int zorvan_execv_wrapper(const char* program, char* const* argv) {
  // The child parses its command line by the Windows rules, so every argument is quoted to
  // come back unchanged there.
  std::vector<std::string> quoted;
  for (char* const* arg = argv; *arg != nullptr; ++arg) {
    quoted.push_back(quote_windows_argument(*arg));
  }
  std::vector<const char*> vector;
  for (const std::string& arg : quoted) vector.push_back(arg.c_str());
  vector.push_back(nullptr);
  // In overlay mode the call returns only when it failed; the copies go with this frame.
  return static_cast<int>(_spawnv(_P_OVERLAY, program, vector.data()));
}

int zorvan_fork_wrapper(void) { return -1; }
int zorvan_vfork_wrapper(void) { return -1; }
long long zorvan_getegid_wrapper(void) { return -1; }
long long zorvan_geteuid_wrapper(void) { return -1; }
long long zorvan_getgid_wrapper(void) { return -1; }
long long zorvan_getuid_wrapper(void) { return -1; }
int zorvan_getpgrp_wrapper(void) { return -1; }
int zorvan_getppid_wrapper(void) { return -1; }
int zorvan_setsid_wrapper(void) { return -1; }

int zorvan_symlink_wrapper(const char*, const char*) {
  errno = ENOSYS;
  return -1;
}

char* zorvan_ctermid_wrapper(char*) {
  static char terminal[] = "/dev/tty";
  return terminal;
}

int zorvan_waitpid_wrapper(int, int* status, int) {
  if (status != nullptr) *status = 0;
  return -1;
}

int zorvan_wifexited_wrapper(int status) { return status != aborted_status; }
int zorvan_wifsignaled_wrapper(int status) { return status == aborted_status; }
int zorvan_wexitstatus_wrapper(int status) { return status; }
int zorvan_wtermsig_wrapper(int) { return termination_signal; }
int zorvan_wifstopped_wrapper(int) { return 0; }
int zorvan_wifcontinued_wrapper(int) { return 0; }
int zorvan_wcoredump_wrapper(int) { return 0; }
int zorvan_wstopsig_wrapper(int) { return 0; }

}  // extern "C"
