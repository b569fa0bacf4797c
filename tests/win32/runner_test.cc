// The command runner on Windows: commands go to cmd.exe, and what it returns comes back as the
// run status unchanged, status 3 included.
#include <gtest/gtest.h>

#include <cstdio>

#include "run/runner.h"
#include "support/scratch.h"
#include "win32/win32_support.h"

TEST(Win32Runner, InterpreterStatusComesBackUnchanged) {
  const struct {
    const char* command;
    int status;
  } cases[] = {
      {"exit 0", 0},
      {"exit 2", 2},
      {"exit 3", 3},
      {"exit 255", 255},
      {"exit 1234", 1234},
  };
  for (const auto& c : cases) EXPECT_EQ(c.status, run_build_command(c.command, false)) << c.command;
}

TEST(Win32Runner, ProgramStatusThroughTheInterpreter) {
  scratch_dir dir;
  for (int status : {0, 2, 3}) {
    SCOPED_TRACE(status);
    const std::string log = install_fake_tool(dir.root, "tool", status);
    EXPECT_EQ(status, run_build_command(dir.path("tool.exe") + " one \"two three\"", false));
    EXPECT_EQ("one\ntwo three\n--\n", read_file(log));
    std::remove(log.c_str());
  }
}

TEST(Win32Runner, DryRunRunsNothing) {
  scratch_dir dir;
  const std::string log = install_fake_tool(dir.root, "tool", 3);
  EXPECT_EQ(0, run_build_command(dir.path("tool.exe") + " x", true));
  EXPECT_FALSE(file_exists(log));
}

TEST(Win32Runner, DecodesLikeTheWrappers) {
  for (int raw : {0, 1, 2, 3, 255}) EXPECT_EQ(raw, decode_command_status(raw)) << raw;
}
