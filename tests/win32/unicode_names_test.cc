// Names outside the ANSI code page: zrvbuild.exe carries a manifest that makes its narrow
// command line, environment, file names, commands and module paths UTF-8, so such names reach
// the tools and the files it writes intact. The tests and the fake tools carry the same
// manifest; a copy of zrvbuild built without it shows what the manifest changes.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/scratch.h"
#include "win32/win32_support.h"

namespace {

const std::string zoe = "Zo\xc3\xab";   // Zoë
const std::string li = "\xe6\x9d\x8e";  // 李, outside every Western code page
const std::string ue = "\xc3\xbc";      // ü

const std::vector<std::string> fake_tools = {
    "F77=fakefc",   "CC=fakecc",          "CXX=fakecxx",       "DL_LD=fakeld",
    "FFLAGS=-O1",   "CPPFLAGS=-DCPP",     "INCFLAGS=-Iinc",    "XTRA_CFLAGS=-x",
    "CFLAGS=-O1",   "XTRA_CXXFLAGS=-x",   "CXXFLAGS=-O1",      "DL_LDFLAGS=-shared",
    "LFLAGS=-Llib", "ZRV_LINK_OPTS=opts", "ZRV_LINK_DEPS=deps"};

// Whether the code page that programs without the manifest use can write the letter 李.
bool ansi_code_page_has_li() {
  char text[8];
  const int length =
      GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE, text, sizeof text);
  const UINT code_page = length > 0 ? static_cast<UINT>(std::stoul(text)) : CP_ACP;
  if (code_page == CP_UTF8)
    return true;
  const wchar_t wide_li[] = {0x674e};
  char bytes[8];
  BOOL defaulted = FALSE;
  WideCharToMultiByte(code_page, 0, wide_li, 1, bytes, sizeof bytes, nullptr, &defaulted);
  return !defaulted;
}

// The environment that run_zrvbuild gives, for running another program the same way.
std::vector<std::string> zrvbuild_environment(const std::vector<std::string>& settings) {
  const std::string windows = windows_directory();
  const std::string system = windows + "\\system32";
  std::vector<std::string> env = {"PATH=" + system + ";" + windows, "SystemRoot=" + windows,
                                  "COMSPEC=" + system + "\\cmd.exe"};
  env.insert(env.end(), settings.begin(), settings.end());
  return env;
}

}  // namespace

TEST(Win32UnicodeNames, CompileAndLinkKeepTheNames) {
  scratch_dir dir;
  const std::string fortran = install_fake_tool(dir.root, "fakefc", 0);
  const std::string c = install_fake_tool(dir.root, "fakecc", 0);
  const std::string cxx = install_fake_tool(dir.root, "fakecxx", 0);
  const std::string linker = install_fake_tool(dir.root, "fakeld", 0);
  process_result run = run_zrvbuild({zoe + ".c", li + ".cc", ue + ".f90"}, fake_tools, dir.root);
  EXPECT_EQ(0, run.status);
  EXPECT_EQ("", run.out);
  EXPECT_EQ("", run.err);
  EXPECT_EQ("-c\n-O1\n" + ue + ".f90\n-o\n" + ue + ".o\n--\n", read_file(fortran));
  EXPECT_EQ("-c\n-DCPP\n-Iinc\n-x\n-O1\n" + zoe + ".c\n-o\n" + zoe + ".o\n--\n", read_file(c));
  EXPECT_EQ("-c\n-DCPP\n-Iinc\n-x\n-O1\n" + li + ".cc\n-o\n" + li + ".o\n--\n", read_file(cxx));
  EXPECT_EQ("-Iinc\n-x\n-O1\n-shared\n-o\n" + zoe + ".zrv\n" + ue + ".o\n" + zoe + ".o\n" + li +
                ".o\n-Llib\n-lzrvinterp\n-lzorvan\nopts\ndeps\n--\n",
            read_file(linker));
}

TEST(Win32UnicodeNames, DependencyFileUnderTheSourceName) {
  scratch_dir dir;
  const std::string log =
      install_fake_tool(dir.root, "fakecxx", 0, li + ".o: " + li + ".cc " + li + ".h\r\n");
  process_result run = run_zrvbuild({"-M", li + ".cc"}, fake_tools, dir.root);
  EXPECT_EQ(0, run.status);
  EXPECT_EQ("", run.out);
  EXPECT_EQ("", run.err);
  EXPECT_EQ("-M\n-DCPP\n-Iinc\n-x\n-O1\n" + li + ".cc\n--\n", read_file(log));
  EXPECT_EQ("pic/" + li + ".o " + li + ".o " + li + ".d: " + li + ".cc " + li + ".h\r\n\r\n",
            read_file(dir.path(li + ".d")));
}

TEST(Win32UnicodeNames, InstallationRootFromTheEnvironment) {
  const std::string root = "C:\\Zorvan " + li;
  const std::string v = built_version();
  const struct {
    const char* variable;
    std::string value;
  } cases[] = {
      {"ZORVAN_HOME", root},
      {"INCLUDEDIR", root + "\\include"},
      {"ZRVLIBDIR", root + "\\lib\\zorvan\\" + v},
      {"LFLAGS", "-L\"" + root + "\\lib\\zorvan\\" + v + "\" -L\"" + root + "\\lib\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.variable);
    process_result run = run_zrvbuild({"-p", c.variable}, {"ZORVAN_HOME=" + root});
    EXPECT_EQ(c.value + "\r\n", run.out);
    EXPECT_EQ("", run.err);
    EXPECT_EQ(0, run.status);
  }
}

// zrvbuild.exe under a name with the product word finds its own installation from its path.
TEST(Win32UnicodeNames, InstallationRootFromTheProgramsOwnPath) {
  scratch_dir dir;
  const std::string root = dir.path("Zorvan " + li);
  ASSERT_TRUE(CreateDirectoryA(root.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA((root + "\\bin").c_str(), nullptr));
  const std::string program = root + "\\bin\\zorvan-zrvbuild.exe";
  ASSERT_TRUE(CopyFileA(native_path(ZRVBUILD_EXE).c_str(), program.c_str(), FALSE));
  process_result run =
      run_program({program, "-p", "INCLUDEDIR"}, zrvbuild_environment({}), dir.root);
  EXPECT_EQ(root + "\\include\r\n", run.out);
  EXPECT_EQ("", run.err);
  EXPECT_EQ(0, run.status);
}

// Without the manifest the letters that the ANSI code page lacks arrive as "?", in the
// command line and in the environment alike.
TEST(Win32UnicodeNames, WithoutTheManifestLettersAreLost) {
  if (ansi_code_page_has_li())
    GTEST_SKIP() << "the ANSI code page here can write " << li;
  scratch_dir dir;
  const std::string log = install_fake_tool(dir.root, "fakecxx", 0);
  const std::string ansi_zrvbuild = native_path(ZRVBUILD_ANSI_EXE);
  process_result run =
      run_program({ansi_zrvbuild, "-c", li + ".cc"}, zrvbuild_environment(fake_tools), dir.root);
  EXPECT_EQ(0, run.status);
  EXPECT_EQ("-c\n-DCPP\n-Iinc\n-x\n-O1\n?.cc\n-o\n?.o\n--\n", read_file(log));

  run = run_program({ansi_zrvbuild, "-p", "ZORVAN_HOME"},
                    zrvbuild_environment({"ZORVAN_HOME=C:\\Zorvan " + li}));
  EXPECT_EQ("C:\\Zorvan ?\r\n", run.out);
  EXPECT_EQ(0, run.status);
}
