// The installation root rules and the table's directories for a build configuration whose
// directories keep their forward slashes (the GNU/Linux one), on plain data: the module marker
// "/bin/", rebasing without any slash conversion, and the composed include and library flags.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "config/install_root.h"
#include "config/variable_table.h"

namespace {

const char* const prefix = "/usr/local";

const char* no_environment(const char*) {
  return nullptr;
}

// Constants with the directory defaults of the layout under the prefix and forward slashes.
table_constants forward_slash_constants(const std::string& root) {
  table_constants c;
  c.prefix = prefix;
  c.version = "9.2.0";
  c.root = root;
  c.separator = '/';
  c.defaults = {{"ZRVINCLUDEDIR", "/usr/local/include/zorvan-9.2.0/zorvan"},
                {"INCLUDEDIR", "/usr/local/include"},
                {"LIBDIR", "/usr/local/lib"},
                {"ZRVLIBDIR", "/usr/local/lib/zorvan/9.2.0"},
                {"XTRA_CFLAGS", " -x"},
                {"CFLAGS", "-O"}};
  return c;
}

variable_table filled(const std::string& root) {
  variable_table table;
  fill_table_from(table, no_environment, forward_slash_constants(root));
  return table;
}

}  // namespace

TEST(ForwardSlashRoot, ModuleRootBeforeTheLastBinDirectory) {
  const struct {
    const char* what;
    std::vector<module_entry> modules;
    const char* root;
  } cases[] = {
      {"no modules", {}, ""},
      {"the program's own copy",
       {{"zorvan-build", "/opt/z/bin/zorvan-build"}, {"libc.so.6", "/lib/libc.so.6"}},
       "/opt/z"},
      {"a later library matches",
       {{"zrvbuild", "/usr/local/bin/zrvbuild"}, {"libzorvan.so", "/opt/z/bin/libzorvan.so"}},
       "/opt/z"},
      {"the last bin directory counts",
       {{"libzorvan.so", "/bin/tools/bin/libzorvan.so"}},
       "/bin/tools"},
      {"a path ending in bin gets its slash", {{"libzorvan.so", "/opt/z/bin"}}, "/opt/z"},
      {"the first match decides even without a bin directory",
       {{"libzorvan.so", "/opt/z/lib/libzorvan.so"}, {"libzorvan.so", "/opt/z/bin/libzorvan.so"}},
       ""},
      {"backslashes hold no marker here", {{"libzorvan.dll", "C:\\Z\\bin\\libzorvan.dll"}}, ""},
      {"a marker at the very start leaves nothing before it",
       {{"zorvan-build", "/bin/zorvan-build"}},
       ""},
      {"a blank in the root is kept",
       {{"zorvan-build", "/opt/my z/bin/zorvan-build"}},
       "/opt/my z"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.root, module_install_root(c.modules, '/')) << c.what;
}

TEST(ForwardSlashRoot, RebaseKeepsEverySlash) {
  const struct {
    const char* path;
    const char* root;
    const char* rebased;
  } cases[] = {
      {"/usr/local/include", "/opt/z", "/opt/z/include"},
      {"/usr/local/include", "/usr/local", "/usr/local/include"},
      {"/usr/local/include", "C:\\Z", "C:\\Z/include"},
      {"/usr/localx/lib", "/r", "/rx/lib"},
      {"/usr/local", "/opt/z/", "/opt/z/"},
      {"/usr/include", "/r", "/usr/include"},
      {"/usr/local/lib", "/opt/my z", "/opt/my z/lib"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.rebased, rebase_to_root(c.path, c.root, prefix, '/')) << c.path << " " << c.root;
  }
}

TEST(ForwardSlashTable, DirectoriesAndFlagsFollowTheRoot) {
  const struct {
    std::string root;
    std::map<std::string, std::string> values;
  } cases[] = {
      {"/usr/local",
       {{"ZORVAN_HOME", "/usr/local"},
        {"ZRVINCLUDEDIR", "/usr/local/include/zorvan-9.2.0/zorvan"},
        {"INCFLAGS",
         "-I/usr/local/include/zorvan-9.2.0/zorvan/.. -I/usr/local/include/zorvan-9.2.0/zorvan "
         "-I/usr/local/include"},
        {"LFLAGS", "-L/usr/local/lib/zorvan/9.2.0 -L/usr/local/lib"}}},
      {"/opt/z",
       {{"ZORVAN_HOME", "/opt/z"},
        {"ZORVAN_PREFIX", "/usr/local"},
        {"INCLUDEDIR", "/opt/z/include"},
        {"LIBDIR", "/opt/z/lib"},
        {"ZRVLIBDIR", "/opt/z/lib/zorvan/9.2.0"},
        {"INCFLAGS",
         "-I/opt/z/include/zorvan-9.2.0/zorvan/.. -I/opt/z/include/zorvan-9.2.0/zorvan "
         "-I/opt/z/include"},
        {"ALL_CFLAGS",
         "-I/opt/z/include/zorvan-9.2.0/zorvan/.. -I/opt/z/include/zorvan-9.2.0/zorvan "
         "-I/opt/z/include  -x -O"},
        {"LFLAGS", "-L/opt/z/lib/zorvan/9.2.0 -L/opt/z/lib"}}},
      {"/opt/my z",
       {{"ZRVINCLUDEDIR", "/opt/my z/include/zorvan-9.2.0/zorvan"},
        {"INCFLAGS",
         "-I\"/opt/my z/include/zorvan-9.2.0/zorvan/..\" "
         "-I\"/opt/my z/include/zorvan-9.2.0/zorvan\" -I\"/opt/my z/include\""},
        {"LFLAGS", "-L\"/opt/my z/lib/zorvan/9.2.0\" -L\"/opt/my z/lib\""}}},
      // A root at /usr makes the plain system directories, which the flags leave out.
      {"/usr",
       {{"INCLUDEDIR", "/usr/include"},
        {"LIBDIR", "/usr/lib"},
        {"INCFLAGS", "-I/usr/include/zorvan-9.2.0/zorvan/.. -I/usr/include/zorvan-9.2.0/zorvan"},
        {"LFLAGS", "-L/usr/lib/zorvan/9.2.0"}}},
  };
  for (const auto& c : cases) {
    const variable_table table = filled(c.root);
    for (const auto& value : c.values) {
      EXPECT_EQ(value.second, table.at(value.first)) << c.root << ": " << value.first;
    }
  }
}
