// The wrapper family on POSIX: the real constants, the forwarding members against the calls
// they stand for, and the decoding of wait statuses of real child processes.
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/wrappers.h"
#include "run/runner.h"
#include "support/scratch.h"

namespace {

// Forks a child that runs body and returns the raw wait status collected through the wrappers.
template <typename Body>
int raw_status_of_child(Body body) {
  const int pid = zorvan_fork_wrapper();
  if (pid == 0) {
    body();
    _exit(99);
  }
  int status = -1;
  EXPECT_EQ(pid, zorvan_waitpid_wrapper(pid, &status, 0));
  return status;
}

}  // namespace

TEST(WrappersPosix, Constants) {
  EXPECT_EQ(F_OK, zorvan_access_f_ok());
  EXPECT_EQ(R_OK, zorvan_access_r_ok());
  EXPECT_EQ(W_OK, zorvan_access_w_ok());
  EXPECT_EQ(X_OK, zorvan_access_x_ok());
  EXPECT_EQ(STDIN_FILENO, zorvan_stdin_fileno());
  EXPECT_EQ(STDOUT_FILENO, zorvan_stdout_fileno());
  EXPECT_EQ(1, zorvan_have_fork());
  EXPECT_EQ(1, zorvan_have_vfork());
  EXPECT_EQ(WNOHANG, zorvan_wnohang_wrapper());
  EXPECT_EQ(WUNTRACED, zorvan_wuntraced_wrapper());
  EXPECT_EQ(WCONTINUED, zorvan_wcontinue_wrapper());
}

TEST(WrappersPosix, Identities) {
  EXPECT_EQ(getpid(), zorvan_getpid_wrapper());
  EXPECT_EQ(getppid(), zorvan_getppid_wrapper());
  EXPECT_EQ(getpgrp(), zorvan_getpgrp_wrapper());
  EXPECT_EQ(static_cast<long long>(getuid()), zorvan_getuid_wrapper());
  EXPECT_EQ(static_cast<long long>(geteuid()), zorvan_geteuid_wrapper());
  EXPECT_EQ(static_cast<long long>(getgid()), zorvan_getgid_wrapper());
  EXPECT_EQ(static_cast<long long>(getegid()), zorvan_getegid_wrapper());
  char expected[HOST_NAME_MAX + 1] = {};
  char actual[HOST_NAME_MAX + 1] = {};
  ASSERT_EQ(0, gethostname(expected, sizeof expected));
  ASSERT_EQ(0, zorvan_gethostname_wrapper(actual, sizeof actual));
  EXPECT_STREQ(expected, actual);
  char terminal[L_ctermid] = {};
  EXPECT_EQ(terminal, zorvan_ctermid_wrapper(terminal));
  EXPECT_STREQ(ctermid(nullptr), terminal);
}

TEST(WrappersPosix, FilesAndDirectories) {
  scratch_dir dir;
  const std::string file = dir.path("f");
  write_file(file, "0123456789");

  EXPECT_EQ(0, zorvan_access_wrapper(file.c_str(), zorvan_access_r_ok()));
  errno = 0;
  EXPECT_EQ(-1, zorvan_access_wrapper(dir.path("missing").c_str(), zorvan_access_f_ok()));
  EXPECT_EQ(ENOENT, errno);

  EXPECT_EQ(0, zorvan_link_wrapper(file.c_str(), dir.path("hard").c_str()));
  EXPECT_EQ("0123456789", read_file(dir.path("hard")));
  EXPECT_EQ(0, zorvan_symlink_wrapper("f", dir.path("soft").c_str()));
  EXPECT_EQ("0123456789", read_file(dir.path("soft")));

  const int fd = open(file.c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(0, zorvan_ftruncate_wrapper(fd, 4));
  EXPECT_EQ(0, zorvan_isatty_wrapper(fd));
  EXPECT_EQ(0, zorvan_close_wrapper(fd));
  EXPECT_EQ("0123", read_file(file));
  errno = 0;
  EXPECT_EQ(-1, zorvan_close_wrapper(fd));
  EXPECT_EQ(EBADF, errno);

  EXPECT_EQ(0, zorvan_unlink_wrapper(dir.path("hard").c_str()));
  EXPECT_FALSE(file_exists(dir.path("hard")));
  errno = 0;
  EXPECT_EQ(-1, zorvan_unlink_wrapper(dir.path("hard").c_str()));
  EXPECT_EQ(ENOENT, errno);

  ASSERT_EQ(0, mkdir(dir.path("sub").c_str(), 0755));
  char before[PATH_MAX];
  ASSERT_NE(nullptr, zorvan_getcwd_wrapper(before, sizeof before));
  ASSERT_EQ(0, zorvan_chdir_wrapper(dir.path("sub").c_str()));
  char inside[PATH_MAX];
  ASSERT_NE(nullptr, zorvan_getcwd_wrapper(inside, sizeof inside));
  ASSERT_EQ(0, zorvan_chdir_wrapper(before));
  char resolved[PATH_MAX];
  ASSERT_NE(nullptr, realpath(dir.path("sub").c_str(), resolved));
  EXPECT_STREQ(resolved, inside);
  EXPECT_EQ(0, zorvan_rmdir_wrapper(dir.path("sub").c_str()));
  EXPECT_FALSE(file_exists(dir.path("sub")));
}

TEST(WrappersPosix, PipeAndDup2) {
  int fds[2];
  ASSERT_EQ(0, zorvan_pipe_wrapper(fds));
  const int copy = dup(fds[1]);
  ASSERT_GE(copy, 0);
  ASSERT_EQ(copy, zorvan_dup2_wrapper(fds[1], copy));
  ASSERT_EQ(3, write(copy, "abc", 3));
  char buffer[4] = {};
  ASSERT_EQ(3, read(fds[0], buffer, 3));
  EXPECT_STREQ("abc", buffer);
  for (int fd : {fds[0], fds[1], copy})
    EXPECT_EQ(0, zorvan_close_wrapper(fd));
}

TEST(WrappersPosix, ChildStatuses) {
  for (int code : {0, 1, 2, 255}) {
    const int status = raw_status_of_child([code] { _exit(code); });
    EXPECT_TRUE(zorvan_wifexited_wrapper(status)) << code;
    EXPECT_FALSE(zorvan_wifsignaled_wrapper(status)) << code;
    EXPECT_EQ(code, zorvan_wexitstatus_wrapper(status));
    EXPECT_EQ(code, decode_command_status(status));
  }
  for (int signal_number : {SIGKILL, SIGTERM, SIGINT, SIGSEGV}) {
    const int status = raw_status_of_child([signal_number] {
      const struct rlimit no_core = {0, 0};
      setrlimit(RLIMIT_CORE, &no_core);
      signal(signal_number, SIG_DFL);
      kill(getpid(), signal_number);
    });
    EXPECT_FALSE(zorvan_wifexited_wrapper(status)) << signal_number;
    EXPECT_TRUE(zorvan_wifsignaled_wrapper(status)) << signal_number;
    EXPECT_EQ(signal_number, zorvan_wtermsig_wrapper(status));
    EXPECT_FALSE(zorvan_wifstopped_wrapper(status));
    EXPECT_FALSE(zorvan_wifcontinued_wrapper(status));
    EXPECT_NE(0, decode_command_status(status)) << signal_number;
  }
}

TEST(WrappersPosix, StoppedChild) {
  const int pid = zorvan_fork_wrapper();
  if (pid == 0) {
    kill(getpid(), SIGSTOP);
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(pid, zorvan_waitpid_wrapper(pid, &status, zorvan_wuntraced_wrapper()));
  EXPECT_TRUE(zorvan_wifstopped_wrapper(status));
  EXPECT_EQ(SIGSTOP, zorvan_wstopsig_wrapper(status));
  kill(pid, SIGKILL);
  ASSERT_EQ(pid, zorvan_waitpid_wrapper(pid, &status, 0));
  EXPECT_FALSE(zorvan_wcoredump_wrapper(status));
}

TEST(WrappersPosix, CommandInterpreterStatuses) {
  const struct {
    const char* command;
    int decoded;
  } cases[] = {
      {"exit 0", 0},
      {"exit 2", 2},
      {"exit 255", 255},
      {"true", 0},
      {"no-such-command-for-zrvbuild-tests 2>/dev/null", 127},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.decoded, decode_command_status(std::system(c.command)));
  // A command killed by a signal never counts as success, whether the interpreter reports the
  // signal itself or an exit code made from it.
  for (const char* command :
       {"kill -KILL $$", "kill -TERM $$", "exec 2>/dev/null; sh -c 'kill -TERM $$'"}) {
    EXPECT_NE(0, decode_command_status(std::system(command))) << command;
  }
}

TEST(WrappersPosix, ExecPassesArgumentsUnchanged) {
  // On POSIX neither exec member re-quotes: the program sees each argument byte for byte.
  const char* tricky = "a \"b\\\" c\\";
  const std::string check = std::string("[ \"$1\" = '") + tricky + "' ] && exit 7; exit 1";
  const int by_path = raw_status_of_child([&] {
    char* const argv[] = {const_cast<char*>("sh"),          const_cast<char*>("-c"),
                          const_cast<char*>(check.c_str()), const_cast<char*>("sh"),
                          const_cast<char*>(tricky),        nullptr};
    zorvan_execv_wrapper("/bin/sh", argv);
  });
  EXPECT_EQ(7, decode_command_status(by_path));
  const int by_search = raw_status_of_child([&] {
    char* const argv[] = {const_cast<char*>("sh"),          const_cast<char*>("-c"),
                          const_cast<char*>(check.c_str()), const_cast<char*>("sh"),
                          const_cast<char*>(tricky),        nullptr};
    zorvan_execvp_wrapper("sh", argv);
  });
  EXPECT_EQ(7, decode_command_status(by_search));
  errno = 0;
  char* const none[] = {const_cast<char*>("x"), nullptr};
  EXPECT_EQ(-1, zorvan_execv_wrapper("/nonexistent/zrvbuild-test", none));
  EXPECT_EQ(ENOENT, errno);
}

TEST(WrappersPosix, SessionOfAChild) {
  // setsid succeeds in a fresh child (not a group leader) and makes it a group leader.
  const int status = raw_status_of_child([] {
    const int session = zorvan_setsid_wrapper();
    _exit(session == getpid() && getpgrp() == getpid() ? 0 : 1);
  });
  EXPECT_EQ(0, decode_command_status(status));
  const int forked = raw_status_of_child([] {
    const int pid = zorvan_vfork_wrapper();
    if (pid == 0)
      _exit(5);
    int inner = 0;
    waitpid(pid, &inner, 0);
    _exit(WIFEXITED(inner) ? WEXITSTATUS(inner) : 1);
  });
  EXPECT_EQ(5, decode_command_status(forked));
}
