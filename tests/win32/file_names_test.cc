// File names are data on Windows too: names that hold what cmd.exe reads as syntax reach the
// fake tool, split by the run-time as every MinGW program splits its command line, as one
// argument each, unchanged; names that cmd.exe cannot carry unchanged are refused before any
// command runs.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/scratch.h"
#include "win32/win32_support.h"

namespace {

const std::vector<std::string> short_settings = {
    "CC=fakecc",          "CXX=fakecxx",  "F77=fakef",          "CPPFLAGS=-DCPP",
    "XTRA_CXXFLAGS=-x",   "CXXFLAGS=-O1", "INCFLAGS=-Iinc",     "XTRA_CFLAGS=-x",
    "CFLAGS=-O1",         "FFLAGS=-O1",   "FPICFLAG=-fp",       "DL_LD=fakeld",
    "DL_LDFLAGS=-shared", "LFLAGS=-Llib", "ZRV_LINK_OPTS=opts", "ZRV_LINK_DEPS=deps"};

std::vector<std::string> directory_names(const std::string& path) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path))
    names.push_back(entry.path().filename().u8string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

// Each name as a C source, placed as the dry run prints it and received whole by the compiler
// and the linker; no other file appears.
TEST(Win32FileNames, EachNameReachesTheToolWhole) {
  const struct {
    std::string source, placed_source, object, placed_object;
  } cases[] = {
      {"a;>PWNED;.c", "\"a;>PWNED;.c\"", "a;>PWNED;.o", "\"a;>PWNED;.o\""},
      {"my $(>PWNED2).c", "\"my $(>PWNED2).c\"", "my $(>PWNED2).o", "\"my $(>PWNED2).o\""},
      {"x&y.c", "\"x&y.c\"", "x&y.o", "\"x&y.o\""},
      {"a|b.c", "\"a|b.c\"", "a|b.o", "\"a|b.o\""},
      {"p(q).c", "\"p(q).c\"", "p(q).o", "\"p(q).o\""},
      {"lt<gt>.c", "\"lt<gt>.c\"", "lt<gt>.o", "\"lt<gt>.o\""},
      {"caret^.c", "\"caret^.c\"", "caret^.o", "\"caret^.o\""},
      {"star*.c", "\"star*.c\"", "star*.o", "\"star*.o\""},
      {"tab\tt.c", "\"tab\tt.c\"", "tab\tt.o", "\"tab\tt.o\""},
      {"a & b (c).c", "\"a & b (c).c\"", "a & b (c).o", "\"a & b (c).o\""},
      // Nothing special to cmd.exe or the run-time: the bytes stay.
      {"semi;colon.c", "semi;colon.c", "semi;colon.o", "semi;colon.o"},
      {"a$b.c", "a$b.c", "a$b.o", "a$b.o"},
      {"it's.c", "it's.c", "it's.o", "it's.o"},
      {"bang!.c", "bang!.c", "bang!.o", "bang!.o"},
      {"-lead.c", "-lead.c", "-lead.o", "-lead.o"},
      {"sub\\back.c", "sub\\back.c", "back.o", "back.o"},
      {"na\xc3\xafve-\xe6\x9d\x8e.c", "na\xc3\xafve-\xe6\x9d\x8e.c", "na\xc3\xafve-\xe6\x9d\x8e.o",
       "na\xc3\xafve-\xe6\x9d\x8e.o"},
      {".c", ".c", ".o", ".o"},
      {"my file.c", "\"my file.c\"", "my file.o", "\"my file.o\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source);
    const std::string module = c.object.substr(0, c.object.size() - 2) + ".zrv";
    const std::string placed_module =
        c.placed_object.back() == '"'
            ? c.placed_object.substr(0, c.placed_object.size() - 3) + ".zrv\""
            : module;
    process_result dry = run_zrvbuild({"-n", c.source}, short_settings);
    EXPECT_EQ("fakecc -c -DCPP  -Iinc -x -O1    " + c.placed_source + " -o " + c.placed_object +
                  "\r\nfakeld -Iinc -x -O1 -shared  -o " + placed_module + "  " + c.placed_object +
                  "   -Llib -lzrvinterp -lzorvan opts deps\r\n",
              dry.out);
    EXPECT_EQ(0, dry.status);

    scratch_dir dir;
    const std::string compiler = install_fake_tool(dir.root, "fakecc", 0);
    const std::string linker = install_fake_tool(dir.root, "fakeld", 0);
    const std::vector<std::string> tools = directory_names(dir.root);
    process_result run = run_zrvbuild({c.source}, short_settings, dir.root);
    EXPECT_EQ(0, run.status);
    EXPECT_EQ("", run.err);
    EXPECT_EQ("-c\n-DCPP\n-Iinc\n-x\n-O1\n" + c.source + "\n-o\n" + c.object + "\n--\n",
              read_file(compiler));
    EXPECT_EQ("-Iinc\n-x\n-O1\n-shared\n-o\n" + module + "\n" + c.object +
                  "\n-Llib\n-lzrvinterp\n-lzorvan\nopts\ndeps\n--\n",
              read_file(linker));
    std::vector<std::string> after = tools;
    for (const char* log : {"fakecc.log", "fakeld.log"})
      after.push_back(log);
    std::sort(after.begin(), after.end());
    EXPECT_EQ(after, directory_names(dir.root));
  }
}

// Every other place a name stands, and a directory whose name ends in a backslash: the run-time
// reads a backslash before a closing quote as a quote unless it is doubled.
TEST(Win32FileNames, EveryPlacement) {
  scratch_dir dir;
  const std::string compiler = install_fake_tool(dir.root, "fakef", 0);
  const std::string linker = install_fake_tool(dir.root, "fakeld", 0);
  const std::string strip = install_fake_tool(dir.root, "strip", 0);
  process_result run = run_zrvbuild({"-s", "-idirafter", "C:\\Jane Doe (x86)\\inc\\", "-o", "m&(n)",
                                     "f^x.f90", "o|o.o", "l<l>.a"},
                                    short_settings, dir.root);
  EXPECT_EQ(0, run.status);
  EXPECT_EQ("", run.err);
  EXPECT_EQ("-c\n-fp\n-O1\n-idirafter\nC:\\Jane Doe (x86)\\inc\\\nf^x.f90\n-o\nf^x.o\n--\n",
            read_file(compiler));
  EXPECT_EQ(
      "-Iinc\n-x\n-O1\n-shared\n-o\nm&(n).zrv\no|o.o\nf^x.o\nl<l>.a\n-Llib\n-lzrvinterp\n"
      "-lzorvan\nopts\ndeps\n--\n",
      read_file(linker));
  EXPECT_EQ("m&(n).zrv\n--\n", read_file(strip));
}

// A name that cmd.exe cannot carry unchanged ends the run before anything runs, dry or not.
TEST(Win32FileNames, NamesTheInterpreterCannotCarryAreRefused) {
  const struct {
    std::vector<std::string> args;
    std::string name;
  } cases[] = {
      {{"100%.c"}, "100%.c"},
      {{"%PATH%.c"}, "%PATH%.c"},
      {{"q\"uote.c"}, "q\"uote.c"},
      {{"\"q a.f"}, "\"q a.f"},
      {{"new\nline.c"}, "new\nline.c"},
      {{"cr\r.cc"}, "cr\r.cc"},
      {{"a.c", "x%y.o"}, "x%y.o"},
      {{"a.c", "lib%.a"}, "lib%.a"},
      {{"-idirafter", "in\"c", "a.c"}, "in\"c"},
      {{"a.c", "-o", "m%"}, "m%"},
      {{"-c", "-o", "o%.o", "a.c"}, "o%.o"},
      {{"-n", "-v", "ok.c", "b%.c"}, "b%.c"},
      {{"-M", "d%.c"}, "d%.c"},
      // Pre-quoted names that cmd.exe cannot carry: % inside, a backslash before the closing
      // quote (the run-time would read it as an escape), or not one closed span followed by
      // plain text.
      {{"\"100%\".c"}, "\"100%\".c"},
      {{"\"my dir\\\"x.c"}, "\"my dir\\\"x.c"},
      {{"\"my file.c"}, "\"my file.c"},
      {{"\"my file\"x y.c"}, "\"my file\"x y.c"},
      // A name made from a pre-quoted one: the object is named after what follows the
      // backslash, a quote left open.
      {{"\"sub\\my file\".c"}, "my file\".o"},
      {{"-c", "\"sub\\x\".c"}, "x\".o"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    scratch_dir dir;
    const std::vector<std::string> logs = {
        install_fake_tool(dir.root, "fakecc", 0), install_fake_tool(dir.root, "fakecxx", 0),
        install_fake_tool(dir.root, "fakef", 0), install_fake_tool(dir.root, "fakeld", 0)};
    const std::vector<std::string> before = directory_names(dir.root);
    process_result run = run_zrvbuild(c.args, short_settings, dir.root);
    EXPECT_EQ(1, run.status);
    EXPECT_EQ("", run.out);
    // Standard error is a text stream: a line feed in the name is written as "\r\n".
    std::string name_written;
    for (const char ch : c.name)
      name_written += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
    EXPECT_EQ(
        "zrvbuild: cannot pass the file name " + name_written + " to the command interpreter\r\n",
        run.err);
    EXPECT_EQ(before, directory_names(dir.root));
  }
  // Nothing is placed in a command when the run only prints a value.
  process_result print = run_zrvbuild({"100%.c", "-p", "CC"}, short_settings);
  EXPECT_EQ("fakecc\r\n", print.out);
  EXPECT_EQ(0, print.status);
}

// Names that their caller quoted stand as they are and reach the file the caller meant; names
// that begin with '-' or '@' reach the tool behind ".\".
TEST(Win32FileNames, PreQuotedNamesAndNamesThatLookLikeOptions) {
  const struct {
    std::string source, placed_source, placed_object, placed_module;
    std::string reached_source, reached_object, reached_module;
  } cases[] = {
      {"\"my file\".c", "\"my file\".c", "\"my file\".o", "\"my file\".zrv", "my file.c",
       "my file.o", "my file.zrv"},
      {"\"na\xc3\xafve \xe6\x9d\x8e\".c", "\"na\xc3\xafve \xe6\x9d\x8e\".c",
       "\"na\xc3\xafve \xe6\x9d\x8e\".o", "\"na\xc3\xafve \xe6\x9d\x8e\".zrv",
       "na\xc3\xafve \xe6\x9d\x8e.c", "na\xc3\xafve \xe6\x9d\x8e.o", "na\xc3\xafve \xe6\x9d\x8e.zrv"},
      // cmd.exe expands none of this inside quotes.
      {"\"my $(x) `y`\".c", "\"my $(x) `y`\".c", "\"my $(x) `y`\".o", "\"my $(x) `y`\".zrv",
       "my $(x) `y`.c", "my $(x) `y`.o", "my $(x) `y`.zrv"},
      {"-x.c", ".\\-x.c", ".\\-x.o", ".\\-x.zrv", ".\\-x.c", ".\\-x.o", ".\\-x.zrv"},
      {"@x.c", ".\\@x.c", ".\\@x.o", ".\\@x.zrv", ".\\@x.c", ".\\@x.o", ".\\@x.zrv"},
      {"-a b.c", "\".\\-a b.c\"", "\".\\-a b.o\"", "\".\\-a b.zrv\"", ".\\-a b.c", ".\\-a b.o",
       ".\\-a b.zrv"},
      {"\"-x y\".c", "\".\\-x y.c\"", "\".\\-x y.o\"", "\".\\-x y.zrv\"", ".\\-x y.c", ".\\-x y.o",
       ".\\-x y.zrv"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source);
    process_result dry = run_zrvbuild({"-n", c.source}, short_settings);
    EXPECT_EQ("fakecc -c -DCPP  -Iinc -x -O1    " + c.placed_source + " -o " + c.placed_object +
                  "\r\nfakeld -Iinc -x -O1 -shared  -o " + c.placed_module + "  " +
                  c.placed_object + "   -Llib -lzrvinterp -lzorvan opts deps\r\n",
              dry.out);
    EXPECT_EQ(0, dry.status);

    scratch_dir dir;
    const std::string compiler = install_fake_tool(dir.root, "fakecc", 0);
    const std::string linker = install_fake_tool(dir.root, "fakeld", 0);
    process_result run = run_zrvbuild({c.source}, short_settings, dir.root);
    EXPECT_EQ(0, run.status);
    EXPECT_EQ("", run.err);
    EXPECT_EQ("-c\n-DCPP\n-Iinc\n-x\n-O1\n" + c.reached_source + "\n-o\n" + c.reached_object +
                  "\n--\n",
              read_file(compiler));
    EXPECT_EQ("-Iinc\n-x\n-O1\n-shared\n-o\n" + c.reached_module + "\n" + c.reached_object +
                  "\n-Llib\n-lzrvinterp\n-lzorvan\nopts\ndeps\n--\n",
              read_file(linker));
  }
}
