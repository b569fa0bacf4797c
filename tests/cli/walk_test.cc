// The command-line walk as users meet it: the usage, version and help exits, every file and
// option rule with its corner cases, and bad input. The accumulated strings of a run are read
// off the commands that a dry run prints; short variable values from the environment keep
// those commands readable.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "config/variable_table.h"
#include "driver/help_text.h"
#include "driver/run_sequence.h"
#include "support/default_table.h"
#include "support/process.h"
#include "support/scratch.h"

namespace {

const std::vector<std::string> short_values = {
    "CC=cc",          "CXX=cxx",         "F77=f77",           "CPPFLAGS=cpp",
    "INCFLAGS=inc",   "XTRA_CFLAGS=xc",  "CFLAGS=cf",         "XTRA_CXXFLAGS=xx",
    "CXXFLAGS=cxf",   "FFLAGS=ff",       "DL_LD=ld",          "DL_LDFLAGS=dlf",
    "LFLAGS=lf",      "ZRV_LINK_OPTS=opts", "ZRV_LINK_DEPS=deps", "LD_CXX=ldx",
    "LDFLAGS=ldf",    "ZORVAN_LINK_OPTS=zopts", "ZORVAN_LINK_DEPS=zdeps",
};

// The short values with some replaced or added.
std::vector<std::string> short_values_with(const std::vector<std::string>& changes) {
  std::vector<std::string> env;
  for (const std::string& entry : short_values) {
    bool replaced = false;
    for (const std::string& change : changes) {
      replaced = replaced || change.substr(0, change.find('=')) == entry.substr(0, entry.find('='));
    }
    if (!replaced) env.push_back(entry);
  }
  env.insert(env.end(), changes.begin(), changes.end());
  return env;
}

// What the walk accumulated, as the commands show it.
struct accumulated {
  std::string pass_on;
  std::string include;
  std::string define;
  std::string obj;
  std::string lib;
  std::string linker;
};

const std::string c_flags = "inc xc cf";
const std::string cxx_flags = "inc xx cxf";
const std::string f_flags = "ff ";

std::string c_line(const std::string& source, const std::string& object, const accumulated& a,
                   const std::string& flags = c_flags) {
  return "cc -c cpp  " + flags + " " + a.pass_on + " " + a.include + " " + a.define + " " +
         source + " -o " + object + "\n";
}

std::string cxx_line(const std::string& source, const std::string& object, const accumulated& a,
                     const std::string& flags = cxx_flags) {
  return "cxx -c cpp  " + flags + " " + a.pass_on + " " + a.include + " " + a.define + " " +
         source + " -o " + object + "\n";
}

std::string f_line(const std::string& source, const std::string& object, const accumulated& a,
                   const std::string& flags = f_flags) {
  return "f77 -c  " + flags + " " + a.include + " " + a.define + " " + a.pass_on + " " + source +
         " -o " + object + "\n";
}

std::string link_line(const std::string& target, const accumulated& a,
                      const std::string& flags = cxx_flags) {
  return "ld " + flags + " dlf " + a.pass_on + " -o " + target + " " + a.obj + " " + a.lib + " " +
         a.linker + " lf -lzrvinterp -lzorvan opts deps\n";
}

std::string stand_alone_line(const std::string& output_option, const accumulated& a) {
  return "ldx cpp " + cxx_flags + "    ldf " + a.pass_on + " " + output_option + " " + a.obj +
         " " + a.lib + " " + a.linker + " lf -lzrvinterp -lzorvan  zopts zdeps\n";
}

const std::string usage = "usage: zrvbuild [options] file ...\n";
const std::string help = usage + help_text + "\n";
const std::string array_warning =
    "warning: -largeArrayDims and -compatibleArrayDims are accepted for compatibility, but "
    "ignored\n";

struct walk_case {
  const char* what;
  std::vector<std::string> args;
  std::string out;
  std::string err;
  int status;
  std::vector<std::string> env_changes = {};
};

void expect_runs(const std::vector<walk_case>& cases) {
  for (const walk_case& c : cases) {
    const process_result r = run_zrvbuild(c.args, short_values_with(c.env_changes));
    EXPECT_EQ(c.out, r.out) << c.what;
    EXPECT_EQ(c.err, r.err) << c.what;
    EXPECT_EQ(c.status, r.status) << c.what;
  }
}

std::string repeated(const std::string& text, int times) {
  std::string result;
  for (int i = 0; i < times; ++i) result += text;
  return result;
}

}  // namespace

TEST(Walk, UsageVersionAndHelpExits) {
  const std::string version = "zrvbuild, version " + built_version() + "\n";
  const struct {
    std::vector<std::string> args;
    std::string out;
    std::string err;
    int status;
  } cases[] = {
      {{}, usage, "", 1},
      {{"-v"}, version, "", 0},
      {{"-version"}, version, "", 0},
      {{"--version"}, version, "", 0},
      {{"-h"}, help, "", 0},
      {{"-?"}, help, "", 0},
      {{"-help"}, help, "", 0},
      {{"--help"}, help, "", 0},
      {{"-g", "-h", "bad.txt"}, help, "", 0},
      {{"--verbose"}, "", "", 0},
      {{"-V"}, "", "", 0},
      {{"-p"}, "", "zrvbuild: --print requires argument\n", 0},
      {{"-o"}, "", "zrvbuild: output filename missing\n", 0},
      {{"-idirafter"}, "", "zrvbuild: include directory name missing\n", 0},
      {{"foo.txt"}, "", "zrvbuild: unrecognized argument foo.txt\n", 1},
      {{""}, "", "zrvbuild: unrecognized argument \n", 1},
      {{"-p", "CC"}, "gcc -std=gnu11\n", "", 0},
      {{"-print", "CC"}, "gcc -std=gnu11\n", "", 0},
      {{"--print", "CC", "bad.txt"}, "gcc -std=gnu11\n", "", 0},
      {{"-p", "cc"}, "\n", "", 0},
      {{"-p", "NOT_A_VARIABLE"}, "\n", "", 0},
  };
  for (const auto& c : cases) {
    const process_result r = run_zrvbuild(c.args);
    const std::string shown = c.args.empty() ? "(none)" : c.args[0];
    EXPECT_EQ(c.out, r.out) << shown;
    EXPECT_EQ(c.err, r.err) << shown;
    EXPECT_EQ(c.status, r.status) << shown;
  }
}

TEST(Walk, FileRules) {
  const accumulated none;
  accumulated quoted;
  quoted.obj = " \"my file.o\" z.obj \"my file.o\"";
  quoted.lib = " \"my lib.a\" w.lib";
  accumulated first_library;
  first_library.obj = " foo.o";
  first_library.lib = " libx.a";
  accumulated dashed;
  dashed.obj = " ./-DNAME=x.o";
  expect_runs({
      // ... and the tools receive such a file behind "./", as a file.
      {"file rules come before option rules",
       {"-n", "-DNAME=x.c"},
       c_line("./-DNAME=x.c", "./-DNAME=x.o", none) + link_line("./-DNAME=x.zrv", dashed), "",
       0},
      {"f90 needs no dot", {"-n", "-c", "mainf90"}, f_line("mainf90", "mainf90.o", none), "", 0},
      {"Fortran suffixes",
       {"-n", "-c", "a.f", "b.F", "c.f90", "d.F90"},
       f_line("a.f", "a.o", none) + f_line("b.F", "b.o", none) + f_line("c.f90", "c.o", none) +
           f_line("d.F90", "d.o", none),
       "", 0},
      {"C++ suffixes",
       {"-n", "-c", "a.cc", "b.cp", "c.cpp", "d.CPP", "e.cxx", "f.c++", "g.C"},
       cxx_line("a.cc", "a.o", none) + cxx_line("b.cp", "b.o", none) +
           cxx_line("c.cpp", "c.o", none) + cxx_line("d.CPP", "d.o", none) +
           cxx_line("e.cxx", "e.o", none) + cxx_line("f.c++", "f.o", none) +
           cxx_line("g.C", "g.o", none),
       "", 0},
      {"sources are taken by language, then in order",
       {"-n", "-c", "x.cc", "a.c", "b.f", "y.a.c"},
       f_line("b.f", "b.o", none) + c_line("a.c", "a.o", none) + c_line("y.a.c", "y.a.o", none) +
           cxx_line("x.cc", "x.o", none),
       "", 0},
      {"objects, libraries, sources and the module name are quoted",
       {"-n", "my file.o", "my lib.a", "my file.c", "z.obj", "w.lib"},
       "cc -c cpp  inc xc cf    \"my file.c\" -o \"my file.o\"\n" +
           link_line("\"my file.zrv\"", quoted),
       "", 0},
      {"the first file argument names the module",
       {"-n", "libx.a", "foo.cc"},
       cxx_line("foo.cc", "foo.o", none) + link_line("libx.zrv", first_library), "", 0},
      {"libraries alone are not linked", {"-n", "libx.a", "y.lib"}, "", "", 0},
      {"main.Cpp is unrecognised", {"-n", "main.Cpp"}, "",
       "zrvbuild: unrecognized argument main.Cpp\n", 1},
      {"suffix case matters",
       {"-n", "a.C++"}, "", "zrvbuild: unrecognized argument a.C++\n", 1},
      {"an unrecognised argument ends the run before any command",
       {"-n", "foo.c", "foo.txt", "bar.c"}, "", "zrvbuild: unrecognized argument foo.txt\n", 1},
      {"the empty argument is unrecognised",
       {"-n", "foo.c", ""}, "", "zrvbuild: unrecognized argument \n", 1},
  });
}

TEST(Walk, OptionRules) {
  const accumulated none;
  accumulated includes;
  includes.include = " \"-Ia b\" -I. -idirafter \"my dir\" -idirafter x.c";
  accumulated mixed;
  mixed.define = " -DA -DB=1";
  mixed.pass_on = " -Wall -frobnicate -W -version -V --help=x";
  mixed.linker = " -lm -L/x -Wl,-s -Rr";
  mixed.obj = " foo.o";
  accumulated stand_alone;
  stand_alone.obj = " foo.o";
  stand_alone.linker = " -lm";
  accumulated linked;
  linked.obj = " foo.o";
  accumulated mex;
  mex.include = " -I.";
  mex.obj = " foo.o";
  accumulated mex_debug;
  mex_debug.include = " -I. -I.";
  mex_debug.define = " -DX -DMEX_DEBUG";
  mex_debug.obj = " foo.o";
  accumulated mex_define_only;
  mex_define_only.include = " -I.";
  mex_define_only.define = " -DMEX_DEBUG";
  accumulated version_passed;
  version_passed.pass_on = " -version --version";
  const std::string strip_line = "strip foo.zrv\n";
  expect_runs({
      {"-I and the -idirafter operand are quoted when they hold a blank",
       {"-n", "-c", "-Ia b", "-I.", "-idirafter", "my dir", "-idirafter", "x.c", "foo.c"},
       c_line("foo.c", "foo.o", includes), "", 0},
      {"defines, pass-on and linker options accumulate in order",
       {"-n", "-DA", "-Wall", "-DB=1", "-frobnicate", "-lm", "-L/x", "-Wl,-s", "-Rr", "-W",
        "-version", "-V", "--help=x", "foo.c"},
       c_line("foo.c", "foo.o", mixed) + link_line("foo.zrv", mixed), "", 0},
      {"-version among other arguments is passed on",
       {"-n", "-c", "-version", "foo.c", "--version"}, c_line("foo.c", "foo.o", version_passed),
       "", 0},
      {"-link-stand-alone is not a library option",
       {"-n", "-link-stand-alone", "-lm", "foo.c"},
       c_line("foo.c", "foo.o", none) + stand_alone_line("", stand_alone), "", 0},
      {"--link-stand-alone with -o",
       {"-n", "--link-stand-alone", "-o", "prog", "-lm", "foo.c"},
       c_line("foo.c", "foo.o", none) + stand_alone_line("-o prog", stand_alone), "", 0},
      {"the last -o wins and its operand is not a file argument",
       {"-n", "-o", "a", "-output", "out.c", "foo.c"},
       c_line("foo.c", "foo.o", none) + link_line("out.c.zrv", linked), "", 0},
      {"--output", {"-n", "--output", "b.zrv", "foo.c"},
       c_line("foo.c", "foo.o", none) + link_line("b.zrv", linked), "", 0},
      {"-o without its operand", {"-n", "foo.c", "-o"},
       c_line("foo.c", "foo.o", none) + link_line("foo.zrv", linked),
       "zrvbuild: output filename missing\n", 0},
      {"-idirafter without its operand", {"-n", "-c", "foo.c", "-idirafter"},
       c_line("foo.c", "foo.o", none), "zrvbuild: include directory name missing\n", 0},
      {"-p without its operand", {"-n", "-c", "foo.c", "-p"}, c_line("foo.c", "foo.o", none),
       "zrvbuild: --print requires argument\n", 0},
      {"-p ends the run before any command", {"-n", "foo.c", "-p", "CC", "bad.txt"}, "cc\n", "",
       0},
      {"a help request ends the run before any command", {"-n", "foo.c", "-h", "bad.txt"}, help,
       "", 0},
      {"-g appends to the three flag sets each time",
       {"-n", "-g", "-c", "a.f", "b.c", "-g", "c.cc"},
       f_line("a.f", "a.o", none, "ff  -g -g") + c_line("b.c", "b.o", none, c_flags + " -g -g") +
           cxx_line("c.cc", "c.o", none, cxx_flags + " -g -g"),
       "", 0},
      {"-mex adds -I. and names a .mex module",
       {"-n", "-mex", "foo.c"},
       c_line("foo.c", "foo.o", mex) + link_line("foo.mex", mex), "", 0},
      {"-mex with -g defines MEX_DEBUG after the user's defines",
       {"-n", "--mex", "-DX", "-g", "-mex", "foo.c"},
       c_line("foo.c", "foo.o", mex_debug, c_flags + " -g") +
           link_line("foo.mex", mex_debug, cxx_flags + " -g"),
       "", 0},
      {"any -g inside the C flags counts for MEX_DEBUG",
       {"-n", "-mex", "-c", "foo.c"},
       c_line("foo.c", "foo.o", mex_define_only, "inc xc -ggdb"), "", 0, {"CFLAGS=-ggdb"}},
      {"-s strips the module", {"-n", "-s", "foo.c"},
       c_line("foo.c", "foo.o", none) + link_line("foo.zrv", linked) + strip_line, "", 0},
      {"-strip", {"-n", "-strip", "foo.c"},
       c_line("foo.c", "foo.o", none) + link_line("foo.zrv", linked) + strip_line, "", 0},
      {"--strip", {"-n", "--strip", "foo.c"},
       c_line("foo.c", "foo.o", none) + link_line("foo.zrv", linked) + strip_line, "", 0},
      {"-compile", {"-n", "-compile", "foo.c"}, c_line("foo.c", "foo.o", none), "", 0},
      {"--compile", {"-n", "--compile", "foo.c"}, c_line("foo.c", "foo.o", none), "", 0},
      {"--dry-run", {"--dry-run", "-c", "foo.c"}, c_line("foo.c", "foo.o", none), "", 0},
      {"--just-print", {"--just-print", "-c", "foo.c"}, c_line("foo.c", "foo.o", none), "", 0},
      {"a dry run prints once even when verbose", {"-v", "-n", "-c", "foo.c"},
       c_line("foo.c", "foo.o", none), "", 0},
      {"-M leaves Fortran sources alone", {"-n", "-M", "x.f"}, "", "", 0},
      {"-depend", {"-n", "-depend", "x.f"}, "", "", 0},
      {"--depend", {"-n", "--depend", "x.f"}, "", "", 0},
      {"the array-dimension options only warn, on standard output",
       {"-n", "-c", "-largeArrayDims", "foo.c", "-compatibleArrayDims"},
       array_warning + array_warning + c_line("foo.c", "foo.o", none), "", 0},
  });
}

TEST(Walk, DebugOptionsMarkAnMsvcWrapperOnce) {
  expect_runs({
      {"-v -d -p CC", {"-v", "-d", "-p", "CC"}, "cc-msvc -d\n", "", 0, {"CC=cc-msvc"}},
      {"-debug -p CXX", {"-debug", "-p", "CXX"}, "cc-msvc -d\n", "", 0, {"CXX=cc-msvc"}},
      {"--debug -p DL_LD", {"--debug", "-p", "DL_LD"}, "cc-msvc -d\n", "", 0, {"DL_LD=cc-msvc"}},
      {"-verbose marks all three",
       {"-verbose", "--verbose", "-p", "DL_LD"}, "cc-msvc -d\n", "", 0,
       {"CC=cc-msvc", "CXX=cc-msvc", "DL_LD=cc-msvc"}},
      {"without a debug option", {"-p", "CC"}, "cc-msvc\n", "", 0, {"CC=cc-msvc"}},
      {"only the exact value", {"-d", "-p", "CC"}, "cc-msvc -x\n", "", 0, {"CC=cc-msvc -x"}},
      {"only CC, CXX and DL_LD", {"-d", "-p", "F77"}, "cc-msvc\n", "", 0, {"F77=cc-msvc"}},
  });
}

TEST(Walk, DebugFlagsBeforeAndAfterPrint) {
  const table_constants built = built_table_constants();
  std::string all_cxxflags;
  std::string all_fflags;
  for (const auto& row : default_table(built)) {
    if (row.first == "ALL_CXXFLAGS") all_cxxflags = row.second;
    if (row.first == "ALL_FFLAGS") all_fflags = row.second;
  }
  const struct {
    std::vector<std::string> args;
    std::string out;
  } cases[] = {
      {{"-g", "-p", "ALL_CXXFLAGS"}, all_cxxflags + " -g\n"},
      {{"-p", "ALL_CXXFLAGS", "-g"}, all_cxxflags + "\n"},
      {{"-g", "-g", "-p", "ALL_FFLAGS"}, all_fflags + " -g -g\n"},
      {{"-g", "-p", "CFLAGS"}, "-g -O2\n"},
  };
  for (const auto& c : cases) {
    const process_result r = run_zrvbuild(c.args);
    EXPECT_EQ(c.out, r.out) << c.args[0] << " " << c.args[1];
    EXPECT_EQ("", r.err);
    EXPECT_EQ(0, r.status);
  }
}

TEST(Walk, VerboseEchoesEachCommandBeforeItRuns) {
  scratch_dir dir;
  write_script(dir.path("fakecc"), "echo \"cc ran $*\"\n");
  write_script(dir.path("fakeld"), "echo \"ld ran\"\n");
  const std::vector<std::string> env =
      short_values_with({"CC=" + dir.path("fakecc"), "DL_LD=" + dir.path("fakeld")});
  const std::string compile = dir.path("fakecc") + " -c cpp  inc xc cf    foo.c -o foo.o\n";
  const std::string ran = "cc ran -c cpp inc xc cf foo.c -o foo.o\n";
  for (const char* form : {"-d", "-debug", "--debug", "-v", "-verbose", "--verbose"}) {
    const process_result r = run_zrvbuild({form, "-c", "foo.c"}, env, dir.root);
    EXPECT_EQ(compile + ran, r.out) << form;
    EXPECT_EQ("", r.err) << form;
    EXPECT_EQ(0, r.status) << form;
  }
  // Without a verbose option the commands run silently.
  const process_result quiet = run_zrvbuild({"-c", "foo.c"}, env, dir.root);
  EXPECT_EQ(ran, quiet.out);

  // -v before a source is the verbose option: the run compiles and links, echoing both.
  const process_result both = run_zrvbuild({"-v", "foo.c"}, env, dir.root);
  const std::string link = dir.path("fakeld") + " " + cxx_flags +
                           " dlf  -o foo.zrv  foo.o   lf -lzrvinterp -lzorvan opts deps\n";
  EXPECT_EQ(compile + ran + link + "ld ran\n", both.out);
  EXPECT_EQ(0, both.status);
}

TEST(Walk, BadInputNeverCrashesNorMisleads) {
  const accumulated none;
  // The kernel takes single arguments up to 128 KiB; larger ones are tested in-process below.
  const std::string long_define = "-D" + std::string(131000, 'x');
  const std::string long_word(131000, 'y');
  accumulated long_defined;
  long_defined.define = " " + long_define;

  std::vector<std::string> many = {"-n", "-c"};
  for (int i = 0; i < 100000; ++i) many.push_back("-DA");
  many.push_back("foo.c");
  accumulated many_defined;
  many_defined.define = repeated(" -DA", 100000);

  accumulated odd_bytes;
  odd_bytes.define = " -D\xc3\x28";
  odd_bytes.include = " \"-I\x80 \x81\"";

  expect_runs({
      {"a long argument", {"-n", "-c", long_define, "foo.c"},
       c_line("foo.c", "foo.o", long_defined), "", 0},
      {"a long unrecognised argument", {long_word}, "",
       "zrvbuild: unrecognized argument " + long_word + "\n", 1},
      {"100,000 arguments", many, c_line("foo.c", "foo.o", many_defined), "", 0},
      {"bytes that are not UTF-8 pass through unchanged",
       {"-n", "-c", "\xff\xfe.c", "-D\xc3\x28", "-I\x80 \x81"},
       c_line("\xff\xfe.c", "\xff\xfe.o", odd_bytes), "", 0},
      {"an unrecognised argument that is not UTF-8", {"\xff"}, "",
       "zrvbuild: unrecognized argument \xff\n", 1},
      {"a variable name that is not UTF-8", {"-p", "\xff\xfe"}, "\n", "", 0},
  });
}

TEST(Walk, ArgumentVectorWithoutProgramName) {
  // The in-process run sees exactly no arguments: nothing is printed or run, status 0.
  fill_variable_table();
  const char* const no_arguments[] = {nullptr};
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const int status = run_zrvbuild(0, no_arguments);
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(0, status);
  EXPECT_EQ("", out);
  EXPECT_EQ("", err);

  // Started with an empty vector, the program may still be handed one empty name: Linux has
  // done so since 5.18. Either way it must not crash, and nothing runs.
  scratch_dir dir;
  write_file(dir.path("foo.c"), "int x;\n");
  const process_result r = run_program_at(ZRVBUILD_EXE, {}, {"PATH=/usr/bin:/bin"}, dir.root);
  EXPECT_EQ("", r.err);
  if (r.out.empty()) {
    EXPECT_EQ(0, r.status);
  } else {
    EXPECT_EQ(usage, r.out);
    EXPECT_EQ(1, r.status);
  }
}

TEST(Walk, ArgumentOfOneMegabyteInProcess) {
  // Larger than any single argument the kernel passes, so the run is started in-process.
  fill_variable_table();
  const std::string big(1 << 20, 'z');
  const std::string big_define = "-D" + big;
  const char* const unrecognised[] = {"zrvbuild", big.c_str(), nullptr};
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  int status = run_zrvbuild(2, unrecognised);
  std::string out = testing::internal::GetCapturedStdout();
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(1, status);
  EXPECT_EQ("", out);
  EXPECT_TRUE(err == "zrvbuild: unrecognized argument " + big + "\n");

  const char* const printed[] = {"zrvbuild", "-n", "-c", big_define.c_str(), "foo.c", nullptr};
  testing::internal::CaptureStdout();
  status = run_zrvbuild(5, printed);
  out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(0, status);
  const std::string tail = " " + big_define + " foo.c -o foo.o\n";
  EXPECT_TRUE(out.size() > tail.size() &&
              out.compare(out.size() - tail.size(), tail.size(), tail) == 0);
  EXPECT_EQ(1u, std::count(out.begin(), out.end(), '\n'));
}

TEST(Walk, ArgumentFiles) {
  // Each case writes its files into a fresh working directory; an argument "@FILE" that no
  // rule takes brings in FILE's arguments where it stood.
  const accumulated none;
  accumulated around;
  around.define = " -DA -DB -DC";
  accumulated linked;
  linked.obj = " a.o";
  accumulated quoted;
  quoted.obj = " \"my file.o\"";
  accumulated at_names;
  at_names.obj = " ./@x.o";
  at_names.lib = " ./@y.a";
  const struct {
    const char* what;
    std::vector<std::pair<std::string, std::string>> files;
    std::vector<std::string> args;
    std::string out;
    std::string err;
    int status;
  } cases[] = {
      {"the file's arguments stand where the file was named",
       {{"args", "-DB\n"}},
       {"-n", "-c", "-DA", "@args", "-DC", "a.c"},
       c_line("a.c", "a.o", around), "", 0},
      {"sources and options, quoted and escaped",
       {{"args", "-c 'my file.c' b\\ c.f90\r\n\"-DB\"\n"}},
       {"-n", "-DA", "@args", "-DC"},
       f_line("\"b c.f90\"", "\"b c.o\"", around) + c_line("\"my file.c\"", "\"my file.o\"", around),
       "", 0},
      {"files named in a file are read in turn",
       {{"outer", "@inner b.c"}, {"inner", "a.c"}},
       {"-n", "-c", "@outer"},
       c_line("a.c", "a.o", none) + c_line("b.c", "b.o", none), "", 0},
      {"an empty file adds nothing", {{"empty", ""}}, {"-n", "-c", "@empty", "a.c"},
       c_line("a.c", "a.o", none), "", 0},
      {"an option in the file takes its operand from the command line",
       {{"args", "a.c -o"}}, {"-n", "@args", "out"},
       c_line("a.c", "a.o", none) + link_line("out.zrv", linked), "", 0},
      {"an operand is never read as a file",
       {{"args", "-DNOT_READ"}}, {"-n", "-o", "@args", "a.c"},
       c_line("a.c", "a.o", none) + link_line("./@args.zrv", linked), "", 0},
      {"a name with a file suffix stays a file",
       {{"x.c", "-DNOT_READ"}, {"y.a", "-DNOT_READ"}}, {"-n", "@x.c", "@y.a"},
       c_line("./@x.c", "./@x.o", none) + link_line("./@x.zrv", at_names), "", 0},
      {"-p reads its name from the file", {{"args", "-p CC"}}, {"@args", "a.txt"}, "cc\n", "",
       0},
      {"-p takes @FILE as a variable's name", {{"args", "CC"}}, {"-p", "@args"}, "\n", "", 0},
      {"a name with blanks", {{"my args", "my\\ file.c"}}, {"-n", "@my args"},
       "cc -c cpp  inc xc cf    \"my file.c\" -o \"my file.o\"\n" +
           link_line("\"my file.zrv\"", quoted),
       "", 0},
      {"an unrecognised argument from the file",
       {{"args", "a.c notes.txt"}}, {"-n", "@args"}, "",
       "zrvbuild: unrecognized argument notes.txt\n", 1},
      {"a missing file ends the run before any command",
       {}, {"-n", "a.c", "@missing", "b.c"}, "",
       "zrvbuild: unable to read arguments from missing\n", 1},
      {"a missing file named in a file", {{"args", "a.c @gone/x"}}, {"-n", "@args"}, "",
       "zrvbuild: unable to read arguments from gone/x\n", 1},
      {"a directory cannot be read", {{"dir/x", ""}}, {"-n", "a.c", "@dir"}, "",
       "zrvbuild: unable to read arguments from dir\n", 1},
      {"@ alone names no file", {}, {"-n", "a.c", "@"}, "",
       "zrvbuild: unrecognized argument @\n", 1},
      {"a file that names itself", {{"loop", "-DX @loop"}}, {"-n", "a.c", "@loop"}, "",
       "zrvbuild: more than 1000 argument files, stopped at loop\n", 1},
      {"files that name each other twice", {{"twice", "@twice @twice"}}, {"@twice"}, "",
       "zrvbuild: more than 1000 argument files, stopped at twice\n", 1},
  };
  for (const auto& c : cases) {
    scratch_dir dir;
    for (const auto& file : c.files) {
      std::filesystem::create_directories(
          std::filesystem::path(dir.path(file.first)).parent_path());
      write_file(dir.path(file.first), file.second);
    }
    const process_result r = run_zrvbuild(c.args, short_values, dir.root);
    EXPECT_EQ(c.out, r.out) << c.what;
    EXPECT_EQ(c.err, r.err) << c.what;
    EXPECT_EQ(c.status, r.status) << c.what;
  }
}

TEST(Walk, ArgumentFileBeyondTheKernelsArgumentSpace) {
  // More than the kernel lets a program receive (a quarter of the stack limit, 2 MiB for the
  // usual 8 MiB): 30,000 objects of 70 characters reach the link only through a file.
  scratch_dir dir;
  std::vector<std::string> objects;
  std::string text;
  accumulated many;
  for (int i = 0; i < 30000; ++i) {
    objects.push_back("objects/" + std::string(54, 'o') + std::to_string(100000 + i) + ".o");
    text += objects.back() + "\n";
    many.obj += " " + objects.back();
  }
  write_file(dir.path("objects.rsp"), text);
  child_setup setup;
  setup.stack_limit = 8ul << 20;
  const process_result r =
      run_zrvbuild({"-n", "@objects.rsp"}, short_values, dir.root, setup);
  // The module is named in the working directory after the first object.
  const std::string expected = link_line(objects.front().substr(8, 60) + ".zrv", many);
  EXPECT_EQ(expected.size(), r.out.size());
  EXPECT_TRUE(expected == r.out) << r.out.substr(0, 200);
  EXPECT_EQ("", r.err);
  EXPECT_EQ(0, r.status);
  // The same names as arguments do not reach zrvbuild at all.
  std::vector<std::string> direct = {"-n"};
  direct.insert(direct.end(), objects.begin(), objects.end());
  EXPECT_NE(0, run_zrvbuild(direct, short_values, dir.root, setup).status);
}

TEST(Walk, ArgumentFileNamesReachTheToolsWhole) {
  scratch_dir dir;
  write_script(dir.path("fakecc"), "for a; do printf '[%s]' \"$a\"; done; echo\n");
  // Flags reach the command as typed, so quotes meant for the shell are kept in single quotes.
  write_file(dir.path("args"), "-c 'my file.c' '-D\"A B\"'\n");
  const process_result r = run_zrvbuild(
      {"@args"}, short_values_with({"CC=" + dir.path("fakecc")}), dir.root);
  EXPECT_EQ("[-c][cpp][inc][xc][cf][-DA B][my file.c][-o][my file.o]\n", r.out);
  EXPECT_EQ("", r.err);
  EXPECT_EQ(0, r.status);
}
