/* The system-call wrapper family: one C-linkage name for every process, file and wait-status
   operation that differs between platforms. Each member forwards to the platform call of the
   same stem or, where the platform has no such call, returns a fixed value. */
#ifndef ZRVBUILD_PLATFORM_WRAPPERS_H
#define ZRVBUILD_PLATFORM_WRAPPERS_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Constants and capability queries. */
int zorvan_access_f_ok(void);
int zorvan_access_r_ok(void);
int zorvan_access_w_ok(void);
int zorvan_access_x_ok(void);
int zorvan_stdin_fileno(void);
int zorvan_stdout_fileno(void);
int zorvan_have_fork(void);
int zorvan_have_vfork(void);
int zorvan_wnohang_wrapper(void);
int zorvan_wuntraced_wrapper(void);
int zorvan_wcontinue_wrapper(void);

/* Forwarding members: arguments, results and errno are those of the call they stand for. */
int zorvan_access_wrapper(const char* path, int mode);
int zorvan_chdir_wrapper(const char* path);
int zorvan_close_wrapper(int fd);
int zorvan_dup2_wrapper(int old_fd, int new_fd);
int zorvan_ftruncate_wrapper(int fd, long long length);
char* zorvan_getcwd_wrapper(char* buffer, size_t size);
int zorvan_gethostname_wrapper(char* buffer, size_t size);
int zorvan_getpid_wrapper(void);
int zorvan_isatty_wrapper(int fd);
int zorvan_link_wrapper(const char* existing_path, const char* new_path);
int zorvan_pipe_wrapper(int fds[2]);
int zorvan_rmdir_wrapper(const char* path);
int zorvan_unlink_wrapper(const char* path);
int zorvan_execvp_wrapper(const char* program, char* const* argv);
int zorvan_execv_wrapper(const char* program, char* const* argv);

/* Process and identity members (fixed values where the platform lacks them). */
int zorvan_fork_wrapper(void);
int zorvan_vfork_wrapper(void);
long long zorvan_getegid_wrapper(void);
long long zorvan_geteuid_wrapper(void);
long long zorvan_getgid_wrapper(void);
long long zorvan_getuid_wrapper(void);
int zorvan_getpgrp_wrapper(void);
int zorvan_getppid_wrapper(void);
int zorvan_setsid_wrapper(void);
int zorvan_symlink_wrapper(const char* existing_path, const char* new_path);
char* zorvan_ctermid_wrapper(char* buffer);
int zorvan_waitpid_wrapper(int pid, int* status, int options);

/* Status decoding of a value returned by the command interpreter or a wait call. */
int zorvan_wifexited_wrapper(int status);
int zorvan_wifsignaled_wrapper(int status);
int zorvan_wexitstatus_wrapper(int status);
int zorvan_wtermsig_wrapper(int status);
int zorvan_wifstopped_wrapper(int status);
int zorvan_wifcontinued_wrapper(int status);
int zorvan_wcoredump_wrapper(int status);
int zorvan_wstopsig_wrapper(int status);

#ifdef __cplusplus
}
#endif

#endif
