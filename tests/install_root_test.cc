// The installation root rules on plain data: the root from a module list, the order of the
// three sources of the root, and the rebasing of paths onto it.
#include "config/install_root.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(InstallRoot, ModuleRoot) {
  const struct {
    const char* what;
    std::vector<module_entry> modules;
    const char* root;
  } cases[] = {
      {"no modules", {}, ""},
      {"no base name holds the product word",
       {{"zrvbuild.exe", "C:\\Z\\bin\\zrvbuild.exe"}, {"kernel32.dll", "C:\\W\\kernel32.dll"}},
       ""},
      {"the second module matches",
       {{"zrvbuild.exe", "C:\\Z\\bin\\zrvbuild.exe"},
        {"libzorvan-4.dll", "C:\\Z\\bin\\libzorvan-4.dll"}},
       "C:\\Z"},
      {"the last bin directory counts",
       {{"libzorvan.dll", "C:\\bin\\tools\\bin\\libzorvan.dll"}},
       "C:\\bin\\tools"},
      {"a path ending in bin gets its backslash", {{"libzorvan.dll", "C:\\Z\\bin"}}, "C:\\Z"},
      {"a path ending in a backslash", {{"libzorvan.dll", "C:\\Z\\bin\\"}}, "C:\\Z"},
      {"the first match decides even without a bin directory",
       {{"libzorvan.dll", "C:\\Z\\lib\\libzorvan.dll"},
        {"libzorvan.dll", "C:\\Z\\bin\\libzorvan.dll"}},
       ""},
      {"the word anywhere in the base name", {{"Libzorvan.dll", "C:\\A\\bin\\Libzorvan.dll"}},
       "C:\\A"},
      {"the word in the middle", {{"xzorvanx.dll", "C:\\B\\bin\\xzorvanx.dll"}}, "C:\\B"},
      {"the word is case-sensitive",
       {{"ZorvanLib.dll", "C:\\A\\bin\\ZorvanLib.dll"}, {"zorvan.dll", "C:\\B\\bin\\zorvan.dll"}},
       "C:\\B"},
      {"the word in the path only does not match",
       {{"other.dll", "C:\\zorvan\\bin\\other.dll"}},
       ""},
      {"the marker is case-sensitive", {{"libzorvan.dll", "C:\\Z\\BIN\\libzorvan.dll"}}, ""},
      {"forward slashes hold no marker", {{"libzorvan.so", "/opt/z/bin/libzorvan.so"}}, ""},
      {"a marker at the very start leaves nothing before it",
       {{"libzorvan.dll", "\\bin\\libzorvan.dll"}},
       ""},
      {"an empty path", {{"libzorvan.dll", ""}}, ""},
      {"a blank in the root is kept as is",
       {{"libzorvan.dll", "C:\\Program Files\\Z\\bin\\libzorvan.dll"}},
       "C:\\Program Files\\Z"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.root, module_install_root(c.modules)) << c.what;
}

TEST(InstallRoot, FirstSourceThatGivesARootDecides) {
  const struct {
    const char* zorvan_home;  // nullptr: not set
    const char* module_root;
    const char* root;
  } cases[] = {
      {nullptr, "", "/opt/zorvan"},
      {"", "", "/opt/zorvan"},
      {nullptr, "C:\\Z", "C:\\Z"},
      {"", "C:\\Z", "C:\\Z"},
      {"D:\\Zorvan", "C:\\Z", "D:\\Zorvan"},
      {"D:/Zorvan", "", "D:/Zorvan"},
      {"D:\\Zorvan\\", "", "D:\\Zorvan\\"},
      {" ", "C:\\Z", " "},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.root, installation_root(c.zorvan_home, c.module_root, "/opt/zorvan"))
        << (c.zorvan_home ? c.zorvan_home : "(unset)") << " / " << c.module_root;
  }
}

TEST(InstallRoot, Rebase) {
  const struct {
    const char* path;
    const char* root;
    const char* rebased;
  } cases[] = {
      {"/opt/zorvan/include", "D:\\Zorvan", "D:\\Zorvan\\include"},
      {"/opt/zorvan/include", "D:/Zorvan", "D:\\Zorvan\\include"},
      {"/opt/zorvan/include", "/opt/zorvan", "\\opt\\zorvan\\include"},
      {"/opt/zorvanx/lib", "R", "Rx\\lib"},
      {"/opt/zorvan", "R:/a", "R:\\a"},
      {"/usr/include", "R", "\\usr\\include"},
      {"/opt/zorva", "R", "\\opt\\zorva"},
      {"x/opt/zorvan/lib", "R", "x\\opt\\zorvan\\lib"},
      {"/OPT/zorvan/lib", "R", "\\OPT\\zorvan\\lib"},
      {"", "R", ""},
      {"/opt/zorvan/lib", "C:/Program Files/Z", "C:\\Program Files\\Z\\lib"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.rebased, rebase_to_root(c.path, c.root, "/opt/zorvan")) << c.path << " " << c.root;
  }
}
