// The wrapper family on POSIX: every member forwards to the call of the same stem (except the
// vfork member, which forks: see below) and the constants are the real ones.
#include <stdio.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/wrappers.h"

extern "C" {

int zorvan_access_f_ok(void) { return F_OK; }
int zorvan_access_r_ok(void) { return R_OK; }
int zorvan_access_w_ok(void) { return W_OK; }
int zorvan_access_x_ok(void) { return X_OK; }
int zorvan_stdin_fileno(void) { return STDIN_FILENO; }
int zorvan_stdout_fileno(void) { return STDOUT_FILENO; }
int zorvan_have_fork(void) { return 1; }
int zorvan_have_vfork(void) { return 1; }
int zorvan_wnohang_wrapper(void) { return WNOHANG; }
int zorvan_wuntraced_wrapper(void) { return WUNTRACED; }
int zorvan_wcontinue_wrapper(void) { return WCONTINUED; }

int zorvan_access_wrapper(const char* path, int mode) { return access(path, mode); }
int zorvan_chdir_wrapper(const char* path) { return chdir(path); }
int zorvan_close_wrapper(int fd) { return close(fd); }
int zorvan_dup2_wrapper(int old_fd, int new_fd) { return dup2(old_fd, new_fd); }
int zorvan_ftruncate_wrapper(int fd, long long length) {
  return ftruncate(fd, static_cast<off_t>(length));
}
char* zorvan_getcwd_wrapper(char* buffer, size_t size) { return getcwd(buffer, size); }
int zorvan_gethostname_wrapper(char* buffer, size_t size) { return gethostname(buffer, size); }
int zorvan_getpid_wrapper(void) { return getpid(); }
int zorvan_isatty_wrapper(int fd) { return isatty(fd); }
int zorvan_link_wrapper(const char* existing_path, const char* new_path) {
  return link(existing_path, new_path);
}
int zorvan_pipe_wrapper(int fds[2]) { return pipe(fds); }
int zorvan_rmdir_wrapper(const char* path) { return rmdir(path); }
int zorvan_unlink_wrapper(const char* path) { return unlink(path); }
int zorvan_execvp_wrapper(const char* program, char* const* argv) {
  return execvp(program, argv);
}
int zorvan_execv_wrapper(const char* program, char* const* argv) { return execv(program, argv); }

int zorvan_fork_wrapper(void) { return fork(); }
// vfork's child may not return from the function that called it, so the wrapper forks.
int zorvan_vfork_wrapper(void) { return fork(); }
long long zorvan_getegid_wrapper(void) { return getegid(); }
long long zorvan_geteuid_wrapper(void) { return geteuid(); }
long long zorvan_getgid_wrapper(void) { return getgid(); }
long long zorvan_getuid_wrapper(void) { return getuid(); }
int zorvan_getpgrp_wrapper(void) { return getpgrp(); }
int zorvan_getppid_wrapper(void) { return getppid(); }
int zorvan_setsid_wrapper(void) { return setsid(); }
int zorvan_symlink_wrapper(const char* existing_path, const char* new_path) {
  return symlink(existing_path, new_path);
}
char* zorvan_ctermid_wrapper(char* buffer) { return ctermid(buffer); }
int zorvan_waitpid_wrapper(int pid, int* status, int options) {
  return waitpid(pid, status, options);
}

int zorvan_wifexited_wrapper(int status) { return WIFEXITED(status); }
int zorvan_wifsignaled_wrapper(int status) { return WIFSIGNALED(status); }
int zorvan_wexitstatus_wrapper(int status) { return WEXITSTATUS(status); }
int zorvan_wtermsig_wrapper(int status) { return WTERMSIG(status); }
int zorvan_wifstopped_wrapper(int status) { return WIFSTOPPED(status); }
int zorvan_wifcontinued_wrapper(int status) { return WIFCONTINUED(status); }
int zorvan_wcoredump_wrapper(int status) { return WCOREDUMP(status); }
int zorvan_wstopsig_wrapper(int status) { return WSTOPSIG(status); }

}  // extern "C"
