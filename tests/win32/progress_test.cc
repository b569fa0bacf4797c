// Progress lines from the Windows zrvbuild.exe through a pipe (not a console): none by default
// or with ZRVBUILD_PROGRESS=0, whole lines ending in "\r\n" with ZRVBUILD_PROGRESS=1 (the
// failure and summary lines too), and the message for any other value, before anything runs.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/scratch.h"
#include "win32/win32_support.h"

TEST(Win32Progress, LinesThroughAPipe) {
  const std::vector<std::string> settings = {"CXX=fakecxx", "DL_LD=fakeld", "CXXFLAGS=-O1"};
  const struct {
    const char* name;
    const char* setting;
    int compile_status;
    std::string err;
    int status;
    bool linked;
  } cases[] = {
      {"unset", nullptr, 0, "", 0, true},
      {"off", "ZRVBUILD_PROGRESS=0", 0, "", 0, true},
      {"on", "ZRVBUILD_PROGRESS=1", 0,
       "[1/3] compiling foo.cc\r\n[2/3] linking foo.zrv\r\n[3/3] stripping foo.zrv\r\n"
       "built foo.zrv: 1 compiled, 1 linked in T s\r\n",
       0, true},
      {"on, the compile fails", "ZRVBUILD_PROGRESS=1", 2,
       "[1/3] compiling foo.cc\r\n[1/3] compiling foo.cc failed (status 2)\r\n"
       "build failed: compiling foo.cc failed (status 2)\r\n",
       2, false},
      {"a bad value", "ZRVBUILD_PROGRESS=yes", 0,
       "zrvbuild: ZRVBUILD_PROGRESS must be 0 or 1, not \"yes\"\r\n", 1, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    scratch_dir dir;
    const std::string compiler = install_fake_tool(dir.root, "fakecxx", c.compile_status);
    const std::string linker = install_fake_tool(dir.root, "fakeld", 0);
    install_fake_tool(dir.root, "strip", 0);
    std::vector<std::string> env = settings;
    if (c.setting != nullptr)
      env.push_back(c.setting);
    process_result run = run_zrvbuild({"-s", "foo.cc"}, env, dir.root);
    EXPECT_EQ("", run.out);
    // The summary's time varies: " in 1.0 s" is compared as " in T s".
    EXPECT_EQ(c.err, std::regex_replace(run.err, std::regex(" in [0-9]+\\.[0-9] s\r\n"),
                                        " in T s\r\n"));
    EXPECT_EQ(c.status, run.status);
    EXPECT_EQ(c.status != 1, file_exists(compiler));
    EXPECT_EQ(c.linked, file_exists(linker));
  }
}
