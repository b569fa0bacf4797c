// Module enumeration through the dynamic loader, and the installation root that a module of
// the running program yields.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/modules.h"
#include "support/default_table.h"
#include "support/process.h"
#include "support/scratch.h"

TEST(LoadedModules, TheRunningProgramComesFirstWithItsRealPath) {
  char exe[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
  ASSERT_GT(length, 0);
  const std::string self(exe, length);

  const std::vector<module_entry> modules = list_loaded_modules();
  ASSERT_FALSE(modules.empty());
  EXPECT_EQ(self, modules.front().full_path);
  EXPECT_EQ(self.substr(self.rfind('/') + 1), modules.front().base_name);

  bool has_c_library = false;
  for (const module_entry& module : modules) {
    EXPECT_EQ('/', module.full_path.front()) << module.full_path;
    EXPECT_EQ(module.full_path.substr(module.full_path.rfind('/') + 1), module.base_name);
    has_c_library = has_c_library || module.base_name.compare(0, 5, "libc.") == 0;
  }
  EXPECT_TRUE(has_c_library);
}

TEST(LoadedModules, AProgramWhoseNameHoldsTheProductWordGivesTheRoot) {
  // On Linux a backslash is an ordinary file-name character, so a copy of the program named
  // "inst\bin\zorvan-build" carries the "\bin\" marker in its own base name.
  scratch_dir dir;
  const std::string copy = dir.path("inst\\bin\\zorvan-build");
  std::filesystem::copy_file(ZRVBUILD_EXE, copy);
  chmod(copy.c_str(), 0755);
  const std::string root = dir.root + "/inst";
  const std::vector<std::string> path = {"PATH=/usr/bin:/bin"};
  const struct {
    std::vector<std::string> env;
    const char* name;
    std::string value;
  } cases[] = {
      {{}, "ZORVAN_HOME", root},
      {{}, "INCLUDEDIR", with_backslashes(root + "/include")},
      {{}, "ZORVAN_PREFIX", built_prefix()},
      {{"ZORVAN_HOME="}, "ZORVAN_HOME", root},
      {{"ZORVAN_HOME=C:\\Z"}, "ZORVAN_HOME", "C:\\Z"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> env = path;
    env.insert(env.end(), c.env.begin(), c.env.end());
    const process_result r = run_program({copy, "-p", c.name}, env);
    EXPECT_EQ(c.value + "\n", r.out) << c.name;
    EXPECT_EQ(0, r.status);
  }

  // Without the marker the match gives nothing and the build prefix is the root.
  const std::string plain = dir.path("zorvan-build");
  std::filesystem::copy_file(ZRVBUILD_EXE, plain);
  chmod(plain.c_str(), 0755);
  const process_result r = run_program({plain, "-p", "ZORVAN_HOME"}, path);
  EXPECT_EQ(built_prefix() + "\n", r.out);
}
