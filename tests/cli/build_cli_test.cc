// Builds through the real program with fake tools: every compiler, linker and strip is a small
// shell script that logs its arguments, prints that it ran, creates the file named after its
// -o and exits as told. The variables are set to short tokens so that every command can be
// compared byte for byte.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <regex>
#include <string>
#include <vector>

#include "build_constants.h"
#include "support/process.h"
#include "support/scratch.h"

namespace {

// The tools on the fake PATH and the variable values of the runs.
const char* const tool_names[] = {"gfortran", "gcc", "g++", "dl-ld", "ld-cxx", "strip"};

const std::map<std::string, std::string> token_environment = {
    {"F77", "gfortran"},
    {"CC", "gcc"},
    {"CXX", "g++"},
    {"DL_LD", "dl-ld"},
    {"LD_CXX", "ld-cxx"},
    {"CPPFLAGS", "-Icpp"},
    {"INCFLAGS", "-Iinc"},
    {"XTRA_CFLAGS", "-xc"},
    {"CFLAGS", "-O1"},
    {"XTRA_CXXFLAGS", "-xcxx"},
    {"CXXFLAGS", "-O2"},
    {"FFLAGS", "-O3"},
    {"F77_INTEGER8_FLAG", "-i8"},
    {"FPICFLAG", "-fpic-f"},
    {"CPICFLAG", "-fpic-c"},
    {"CXXPICFLAG", "-fpic-x"},
    {"DL_LDFLAGS", "-shared"},
    {"LFLAGS", "-Llib"},
    {"ZRV_LINK_OPTS", "-zo"},
    {"ZRV_LINK_DEPS", "-zd"},
    {"RDYNAMIC_FLAG", "-rdynamic"},
    {"LD_STATIC_FLAG", "-static-x"},
    {"LDFLAGS", "-ldf"},
    {"ZORVAN_LINK_OPTS", "-oo"},
    {"ZORVAN_LINK_DEPS", "-od"},
};

// The commands of the token environment for the sources used most.
const std::string compile_b_f = "gfortran -c -fpic-f -O3 -i8    b.f -o b.o";
const std::string compile_a_c = "gcc -c -Icpp -fpic-c -Iinc -xc -O1    a.c -o a.o";
const std::string compile_x_cc = "g++ -c -Icpp -fpic-x -Iinc -xcxx -O2    x.cc -o x.o";
const std::string link_tail = "   -Llib -lzrvinterp -lzorvan -zo -zd";
const std::string link_x = "dl-ld -Iinc -xcxx -O2 -shared  -o x.zrv  x.o" + link_tail;
const std::string link_all = "dl-ld -Iinc -xcxx -O2 -shared  -o x.zrv  b.o a.o x.o" + link_tail;
const std::string stand_alone_head =
    "ld-cxx -Icpp -Iinc -xcxx -O2 -rdynamic -static-x -fpic-c -ldf  ";
const std::string stand_alone_tail = "   -Llib -lzrvinterp -lzorvan  -oo -od";

// The tool logs of the same commands.
const std::string ran_b_f = "gfortran [-c] [-fpic-f] [-O3] [-i8] [b.f] [-o] [b.o]\n";
const std::string ran_a_c = "gcc [-c] [-Icpp] [-fpic-c] [-Iinc] [-xc] [-O1] [a.c] [-o] [a.o]\n";
const std::string ran_x_cc = "g++ [-c] [-Icpp] [-fpic-x] [-Iinc] [-xcxx] [-O2] [x.cc] [-o] [x.o]\n";
const std::string ran_link_tail = " [-Llib] [-lzrvinterp] [-lzorvan] [-zo] [-zd]\n";
const std::string ran_link_x =
    "dl-ld [-Iinc] [-xcxx] [-O2] [-shared] [-o] [x.zrv] [x.o]" + ran_link_tail;
const std::string ran_link_all =
    "dl-ld [-Iinc] [-xcxx] [-O2] [-shared] [-o] [x.zrv] [b.o] [a.o] [x.o]" + ran_link_tail;

// A scratch directory holding bin/ with the fake tools; runs happen in the directory itself.
struct fake_tools {
  scratch_dir dir;
  std::map<std::string, std::string> env = token_environment;

  fake_tools() {
    mkdir(dir.path("bin").c_str(), 0755);
    for (const char* tool : tool_names)
      set(tool, "exit 0");
  }

  // The tool's last line: how it ends after logging and creating its output.
  void set(const std::string& tool, const std::string& ending) {
    write_script(dir.path("bin/" + tool),
                 "log='" + dir.path("tools.log") + "'\n" + "printf '%s' '" + tool +
                     "' >> \"$log\"\n"
                     "for a in \"$@\"; do printf ' [%s]' \"$a\" >> \"$log\"; done\n"
                     "echo >> \"$log\"\n"
                     "echo '" +
                     tool +
                     " ran'\n"
                     "out=; prev=\n"
                     "for a in \"$@\"; do if [ \"$prev\" = -o ]; then out=$a; fi; prev=$a; done\n"
                     "if [ -n \"$out\" ]; then : > \"$out\" || exit 1; fi\n" +
                     ending + "\n");
  }

  std::string log() const { return read_file(dir.path("tools.log")); }

  process_result run(const std::vector<std::string>& args) const {
    std::vector<std::string> argv = {ZRVBUILD_EXE};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> environment = {"PATH=" + dir.path("bin") + ":/usr/bin:/bin"};
    for (const auto& entry : env)
      environment.push_back(entry.first + "=" + entry.second);
    return run_program(argv, environment, dir.root);
  }
};

std::string lines(const std::vector<std::string>& each) {
  std::string text;
  for (const std::string& line : each)
    text += line + "\n";
  return text;
}

}  // namespace

TEST(BuildCli, DryRunPrintsEveryCommandOnce) {
  const std::string long_name(240, 'n');
  const std::string long_dir = std::string(120, 'd') + "/" + std::string(120, 'e') + "/";
  const struct {
    std::vector<std::string> args;
    std::string out;
  } cases[] = {
      {{"-n", "x.cc", "a.c", "b.f"}, lines({compile_b_f, compile_a_c, compile_x_cc, link_all})},
      {{"-n", "-v", "x.cc"}, lines({compile_x_cc, link_x})},
      {{"--just-print", "--verbose", "x.cc"}, lines({compile_x_cc, link_x})},
      // Every kind of accumulated option, objects and libraries; the library names the module.
      {{"--dry-run", "-Iinc dir", "-idirafter", "after", "-DA=1", "-Wall", "-lm", "-L/l",
        "-Wl,-z,now", "-R/r", "-frob", "libs.a", "pre.o", "my obj.o", "x.cc"},
       lines({"g++ -c -Icpp -fpic-x -Iinc -xcxx -O2  -Wall -frob  \"-Iinc dir\" -idirafter after "
              " -DA=1 x.cc -o x.o",
              "dl-ld -Iinc -xcxx -O2 -shared  -Wall -frob -o libs.zrv  pre.o \"my obj.o\" x.o  "
              "libs.a  -lm -L/l -Wl,-z,now -R/r -Llib -lzrvinterp -lzorvan -zo -zd"})},
      // Blanks: every name is in double quotes; with a double quote of its own, in single
      // quotes.
      {{"-n", "my file.c", "my file.f", "\"q s.cc"},
       lines({"gfortran -c -fpic-f -O3 -i8    \"my file.f\" -o \"my file.o\"",
              "gcc -c -Icpp -fpic-c -Iinc -xc -O1    \"my file.c\" -o \"my file.o\"",
              "g++ -c -Icpp -fpic-x -Iinc -xcxx -O2    '\"q s.cc' -o '\"q s.o'",
              "dl-ld -Iinc -xcxx -O2 -shared  -o \"my file.zrv\"  \"my file.o\" \"my file.o\" "
              "'\"q s.o'" +
                  link_tail})},
      {{"-n", long_dir + long_name + ".c"},
       lines({"gcc -c -Icpp -fpic-c -Iinc -xc -O1    " + long_dir + long_name + ".c -o " +
                  long_name + ".o",
              "dl-ld -Iinc -xcxx -O2 -shared  -o " + long_name + ".zrv  " + long_name + ".o" +
                  link_tail})},
      // Compile only.
      {{"-n", "-c", "a.c", "x.cc"}, lines({compile_a_c, compile_x_cc})},
      {{"-n", "-c", "-o", "out.o", "a.c", "x.cc"},
       lines({"gcc -c -Icpp -fpic-c -Iinc -xc -O1    a.c -o out.o",
              "g++ -c -Icpp -fpic-x -Iinc -xcxx -O2    x.cc -o out.o"})},
      {{"-n", "-o", "out.o", "x.cc"},
       lines({compile_x_cc, "dl-ld -Iinc -xcxx -O2 -shared  -o out.o.zrv  x.o" + link_tail})},
      // -g reaches every flag set; with --mex it also defines MEX_DEBUG.
      {{"-n", "-g", "--mex", "x.cc"},
       lines({"g++ -c -Icpp -fpic-x -Iinc -xcxx -O2 -g   -I.  -DMEX_DEBUG x.cc -o x.o",
              "dl-ld -Iinc -xcxx -O2 -g -shared  -o x.mex  x.o" + link_tail})},
      // Stand-alone, with and without an output name, stripped.
      {{"-n", "--link-stand-alone", "-o", "prog", "-s", "x.cc"},
       lines({compile_x_cc, stand_alone_head + "-o prog  x.o" + stand_alone_tail, "strip prog"})},
      {{"-n", "-link-stand-alone", "-strip", "a.c", "lib.a"},
       lines({compile_a_c, stand_alone_head + "  a.o  lib.a  -Llib -lzrvinterp -lzorvan  -oo -od",
              "strip " + std::string(build_constants::default_executable_name)})},
      {{"-n", "--strip", "x.cc"}, lines({compile_x_cc, link_x, "strip x.zrv"})},
  };
  for (const auto& c : cases) {
    fake_tools tools;
    for (const char* tool : tool_names)
      tools.set(tool, "exit 9");
    const process_result result = tools.run(c.args);
    EXPECT_EQ(c.out, result.out) << c.args[1];
    EXPECT_EQ("", result.err) << c.args[1];
    EXPECT_EQ(0, result.status) << c.args[1];
    EXPECT_EQ("", tools.log()) << c.args[1];
  }
}

TEST(BuildCli, DryRunWithTheBuiltInDefaults) {
  const std::string p = built_prefix();
  const std::string v = built_version();
  if (p.find(' ') != std::string::npos)
    GTEST_SKIP() << "the prefix holds a blank";
  std::string b = p;  // the rebased form: the same directory with backslashes
  for (char& c : b)
    c = c == '/' ? '\\' : c;
  const std::string all_cxxflags = "-I" + b + "\\include\\zorvan-" + v + "\\zorvan\\.. -I" + b +
                                   "\\include\\zorvan-" + v + "\\zorvan -I" + b +
                                   "\\include  -pthread -fopenmp -mieee-fp -g -O2";
  const std::string expected =
      lines({"g++ -std=gnu++11 -c -I" + p + "/include  " + all_cxxflags + "    foo.cc -o foo.o",
             "g++ -std=gnu++11 " + all_cxxflags + " -shared  -o foo.zrv  foo.o   -L" + b +
                 "\\lib\\zorvan\\" + v + " -L" + b + "\\lib -lzrvinterp -lzorvan " +
                 build_constants::zrv_link_opts + " " + build_constants::zrv_link_deps});
  const process_result result = run_zrvbuild({"-n", "foo.cc"});
  EXPECT_EQ(expected, result.out);
  EXPECT_EQ(0, result.status);
}

TEST(BuildCli, VerboseEchoesEachCommandBeforeItRuns) {
  fake_tools tools;
  const process_result result = tools.run({"-v", "x.cc", "a.c", "b.f"});
  EXPECT_EQ(lines({compile_b_f, "gfortran ran", compile_a_c, "gcc ran", compile_x_cc, "g++ ran",
                   link_all, "dl-ld ran"}),
            result.out);
  EXPECT_EQ("", result.err);
  EXPECT_EQ(0, result.status);
  EXPECT_EQ(ran_b_f + ran_a_c + ran_x_cc + ran_link_all, tools.log());
  for (const char* product : {"a.o", "b.o", "x.o", "x.zrv"}) {
    EXPECT_TRUE(file_exists(tools.dir.path(product))) << product;
  }
}

TEST(BuildCli, WithoutVerboseOnlyTheToolsSpeak) {
  fake_tools tools;
  const process_result result = tools.run({"x.cc", "-s"});
  EXPECT_EQ("g++ ran\ndl-ld ran\nstrip ran\n", result.out);
  EXPECT_EQ(ran_x_cc + ran_link_x + "strip [x.zrv]\n", tools.log());
  EXPECT_EQ(0, result.status);
}

TEST(BuildCli, StatusOfTheFirstFailureEndsTheRun) {
  const struct {
    std::string tool;
    std::string ending;
    int status;  // -1: any nonzero status
    std::string log;
  } cases[] = {
      {"", "", 0, ran_b_f + ran_a_c + ran_x_cc + ran_link_all + "strip [x.zrv]\n"},
      {"gfortran", "exit 2", 2, ran_b_f},
      {"gcc", "exit 255", 255, ran_b_f + ran_a_c},
      {"g++", "exit 1", 1, ran_b_f + ran_a_c + ran_x_cc},
      {"g++", "kill -TERM $$", -1, ran_b_f + ran_a_c + ran_x_cc},
      {"gcc", "kill -KILL $$", -1, ran_b_f + ran_a_c},
      {"dl-ld", "exit 3", 3, ran_b_f + ran_a_c + ran_x_cc + ran_link_all},
      {"dl-ld", "kill -TERM $$", -1, ran_b_f + ran_a_c + ran_x_cc + ran_link_all},
      {"strip", "exit 4", 4, ran_b_f + ran_a_c + ran_x_cc + ran_link_all + "strip [x.zrv]\n"},
  };
  for (const auto& c : cases) {
    fake_tools tools;
    if (!c.tool.empty())
      tools.set(c.tool, c.ending);
    const process_result result = tools.run({"x.cc", "a.c", "b.f", "-s"});
    if (c.status >= 0) {
      EXPECT_EQ(c.status, result.status) << c.tool << ": " << c.ending;
    } else {
      EXPECT_NE(0, result.status) << c.tool << ": " << c.ending;
    }
    EXPECT_EQ(c.log, tools.log()) << c.tool << ": " << c.ending;
  }
}

TEST(BuildCli, MissingCompilerIsTheShells127) {
  fake_tools tools;
  tools.env["CC"] = "no-such-compiler";
  const process_result result = tools.run({"-v", "x.cc", "a.c", "b.f"});
  EXPECT_EQ(127, result.status);
  EXPECT_EQ(lines({compile_b_f, "gfortran ran",
                   "no-such-compiler -c -Icpp -fpic-c -Iinc -xc -O1    a.c -o a.o"}),
            result.out);
  EXPECT_NE(std::string::npos, result.err.find("no-such-compiler")) << result.err;
  EXPECT_EQ(ran_b_f, tools.log());
}

TEST(BuildCli, FailingSecondOfThreeCSourcesStopsEverythingAfterIt) {
  fake_tools tools;
  tools.set("gcc", "case \"$*\" in *b.c*) exit 2 ;; esac");
  const process_result result = tools.run({"x.cc", "a.c", "b.c", "c.c", "d.f"});
  EXPECT_EQ(2, result.status);
  EXPECT_EQ("gfortran [-c] [-fpic-f] [-O3] [-i8] [d.f] [-o] [d.o]\n" + ran_a_c +
                "gcc [-c] [-Icpp] [-fpic-c] [-Iinc] [-xc] [-O1] [b.c] [-o] [b.o]\n",
            tools.log());
  EXPECT_FALSE(file_exists(tools.dir.path("x.zrv")));
}

TEST(BuildCli, EmptyOrAbsentVariablesFallBackToTheDefaults) {
  // An empty value counts as unset: the default compilers and linker of the table run.
  fake_tools tools;
  tools.env["CC"] = "";
  tools.env.erase("LD_CXX");
  const process_result result = tools.run({"--link-stand-alone", "a.c"});
  EXPECT_EQ(0, result.status);
  EXPECT_EQ("", result.err);
  EXPECT_EQ(
      "gcc [-std=gnu11] [-c] [-Icpp] [-fpic-c] [-Iinc] [-xc] [-O1] [a.c] [-o] [a.o]\n"
      "g++ [-std=gnu++11] [-Icpp] [-Iinc] [-xcxx] [-O2] [-rdynamic] [-static-x] [-fpic-c] [-ldf] "
      "[a.o] [-Llib] [-lzrvinterp] [-lzorvan] [-oo] [-od]\n",
      tools.log());
}

TEST(BuildCli, NothingToLinkRunsNothing) {
  const std::vector<std::string> runs[] = {
      {"libx.a", "liby.lib"},
      {"-v", "-s", "libx.a"},
      {"--link-stand-alone", "-o", "prog", "libx.a"},
      {"-c", "x.o", "y.obj"},
      {"-c", "-s", "-v", "x.o"},
  };
  for (const auto& args : runs) {
    fake_tools tools;
    const process_result result = tools.run(args);
    EXPECT_EQ(0, result.status) << args[0];
    EXPECT_EQ("", result.out) << args[0];
    EXPECT_EQ("", result.err) << args[0];
    EXPECT_EQ("", tools.log()) << args[0];
  }
}

TEST(BuildCli, ObjectsAloneAreLinked) {
  fake_tools tools;
  const process_result result = tools.run({"lib/util.o", "x.obj", "z.a"});
  EXPECT_EQ(0, result.status);
  EXPECT_EQ("dl-ld [-Iinc] [-xcxx] [-O2] [-shared] [-o] [util.zrv] [lib/util.o] [x.obj] [z.a]" +
                ran_link_tail,
            tools.log());
}

TEST(BuildCli, EveryStripCombination) {
  const std::string a_out = build_constants::default_executable_name;
  const struct {
    std::vector<std::string> args;
    std::string link_ending;
    std::string strip_ending;
    int status;
    std::string strip_log;  // what strip logged, empty when it must not run
  } cases[] = {
      {{"x.cc"}, "exit 0", "exit 0", 0, ""},
      {{"-s", "x.cc"}, "exit 0", "exit 0", 0, "strip [x.zrv]"},
      {{"-strip", "x.cc", "-o", "bar"}, "exit 0", "exit 0", 0, "strip [bar.zrv]"},
      {{"--strip", "--mex", "x.cc"}, "exit 0", "exit 0", 0, "strip [x.mex]"},
      {{"-s", "x.cc", "-o", "my mod"}, "exit 0", "exit 0", 0, "strip [my mod.zrv]"},
      {{"-s", "x.cc", "--link-stand-alone", "-o", "my prog"},
       "exit 0",
       "exit 0",
       0,
       "strip [my prog]"},
      {{"-s", "x.cc"}, "exit 3", "exit 0", 3, ""},
      {{"-s", "x.cc"}, "exit 0", "exit 4", 4, "strip [x.zrv]"},
      {{"-s", "x.cc"}, "exit 0", "kill -TERM $$", -1, "strip [x.zrv]"},
      {{"x.cc", "--link-stand-alone"}, "exit 0", "exit 0", 0, ""},
      {{"-s", "x.cc", "--link-stand-alone", "-o", "prog"}, "exit 0", "exit 0", 0, "strip [prog]"},
      {{"-s", "x.cc", "--link-stand-alone"}, "exit 0", "exit 0", 0, "strip [" + a_out + "]"},
      {{"-s", "x.cc", "--link-stand-alone"}, "exit 5", "exit 0", 5, ""},
      {{"-s", "x.cc", "--link-stand-alone", "-o", "prog"}, "exit 0", "exit 6", 6, "strip [prog]"},
      {{"-s", "-c", "x.cc"}, "exit 0", "exit 0", 0, ""},
  };
  for (const auto& c : cases) {
    fake_tools tools;
    tools.set("dl-ld", c.link_ending);
    tools.set("ld-cxx", c.link_ending);
    tools.set("strip", c.strip_ending);
    const process_result result = tools.run(c.args);
    const std::string log = tools.log();
    const std::string::size_type strip_at = log.find("strip");
    const std::string label = c.args[0] + " " + c.args.back() + " / " + c.link_ending;
    if (c.status >= 0) {
      EXPECT_EQ(c.status, result.status) << label;
    } else {
      EXPECT_NE(0, result.status) << label;
    }
    if (c.strip_log.empty()) {
      EXPECT_EQ(std::string::npos, strip_at) << label << "\n" << log;
    } else {
      ASSERT_NE(std::string::npos, strip_at) << label << "\n" << log;
      EXPECT_EQ(c.strip_log + "\n", log.substr(strip_at)) << label;
    }
  }
}

TEST(BuildCli, CompileOnly) {
  fake_tools tools;
  EXPECT_EQ(0, tools.run({"-c", "a.c", "x.cc"}).status);
  EXPECT_EQ(ran_a_c + ran_x_cc, tools.log());
  EXPECT_TRUE(file_exists(tools.dir.path("a.o")));
  EXPECT_TRUE(file_exists(tools.dir.path("x.o")));

  fake_tools named;
  EXPECT_EQ(0, named.run({"-compile", "-o", "out.o", "sub/a.c", "x.cc"}).status);
  EXPECT_EQ(
      "gcc [-c] [-Icpp] [-fpic-c] [-Iinc] [-xc] [-O1] [sub/a.c] [-o] [out.o]\n"
      "g++ [-c] [-Icpp] [-fpic-x] [-Iinc] [-xcxx] [-O2] [x.cc] [-o] [out.o]\n",
      named.log());
  EXPECT_TRUE(file_exists(named.dir.path("out.o")));
  EXPECT_FALSE(file_exists(named.dir.path("a.o")));
}

TEST(BuildCli, ModuleNames) {
  const struct {
    std::vector<std::string> args;
    std::string module;
  } cases[] = {
      {{"x.cc"}, "x.zrv"},
      {{"x.cc", "-o", "bar"}, "bar.zrv"},
      {{"x.cc", "-o", "bar.zrv"}, "bar.zrv"},
      {{"x.cc", "-o", "bar.ZRV"}, "bar.ZRV.zrv"},
      {{"x.cc", "-o", "ab"}, "ab.zrv"},
      {{"x.cc", "-o", "first", "--output", "second"}, "second.zrv"},
      {{"x.cc", "--mex"}, "x.mex"},
      {{"-mex", "x.cc", "-o", "bar.zrv"}, "bar.zrv.mex"},
      {{"--mex", "x.cc", "-output", "bar.mex"}, "bar.mex"},
      {{"libx.a", "y.o", "x.cc"}, "libx.zrv"},
      {{"lib/util.o", "x.cc"}, "util.zrv"},
      {{"sub.d/x.cc"}, "x.zrv"},
  };
  for (const auto& c : cases) {
    fake_tools tools;
    const process_result result = tools.run(c.args);
    EXPECT_EQ(0, result.status) << c.module;
    EXPECT_NE(std::string::npos, tools.log().find("[-shared] [-o] [" + c.module + "] "))
        << c.module << "\n"
        << tools.log();
    EXPECT_TRUE(file_exists(tools.dir.path(c.module))) << c.module;
  }
}

TEST(BuildCli, NamesWithBlanksQuotesAndLength) {
  // What each tool receives after the command interpreter has split the command: every name
  // is quoted and arrives whole.
  fake_tools tools;
  EXPECT_EQ(0, tools.run({"my file.c", "my file.f", "my file.cc"}).status);
  EXPECT_EQ(
      "gfortran [-c] [-fpic-f] [-O3] [-i8] [my file.f] [-o] [my file.o]\n"
      "gcc [-c] [-Icpp] [-fpic-c] [-Iinc] [-xc] [-O1] [my file.c] [-o] [my file.o]\n"
      "g++ [-c] [-Icpp] [-fpic-x] [-Iinc] [-xcxx] [-O2] [my file.cc] [-o] [my file.o]\n"
      "dl-ld [-Iinc] [-xcxx] [-O2] [-shared] [-o] [my file.zrv] [my file.o] [my file.o] "
      "[my file.o]" +
          ran_link_tail,
      tools.log());

  // A long name of several hundred characters, directories included.
  fake_tools long_names;
  const std::string base(200, 'b');
  const std::string source =
      std::string(150, 'd') + "/" + std::string(150, 'e') + "/" + base + ".c";
  ASSERT_GT(source.size(), 500u);
  EXPECT_EQ(0, long_names.run({source}).status);
  EXPECT_EQ("gcc [-c] [-Icpp] [-fpic-c] [-Iinc] [-xc] [-O1] [" + source + "] [-o] [" + base +
                ".o]\ndl-ld [-Iinc] [-xcxx] [-O2] [-shared] [-o] [" + base + ".zrv] [" + base +
                ".o]" + ran_link_tail,
            long_names.log());
  EXPECT_TRUE(file_exists(long_names.dir.path(base + ".zrv")));

  // Quotes in a name are part of the name: the tool receives them, in the base name and in a
  // directory alike.
  fake_tools paired;
  EXPECT_EQ(0, paired.run({"-c", "it's.c"}).status);
  EXPECT_EQ("gcc [-c] [-Icpp] [-fpic-c] [-Iinc] [-xc] [-O1] [it's.c] [-o] [it's.o]\n",
            paired.log());
  const struct {
    std::string source, ran;
  } quoted_directories[] = {
      {"it's/x.c", "gcc [-c] [-Icpp] [-fpic-c] [-Iinc] [-xc] [-O1] [it's/x.c] [-o] [x.o]\n"},
      {"q\"d/y.cc", "g++ [-c] [-Icpp] [-fpic-x] [-Iinc] [-xcxx] [-O2] [q\"d/y.cc] [-o] [y.o]\n"},
  };
  for (const auto& c : quoted_directories) {
    fake_tools quoted;
    const process_result result = quoted.run({"-c", c.source, "z.f"});
    EXPECT_EQ(0, result.status) << c.source;
    EXPECT_EQ("", result.err) << c.source;
    EXPECT_EQ("gfortran [-c] [-fpic-f] [-O3] [-i8] [z.f] [-o] [z.o]\n" + c.ran, quoted.log())
        << c.source;
  }
}

TEST(BuildCli, EveryPlacedNameIsQuotedWhenItHoldsABlank) {
  // Each placement with a plain name, a name with a blank, and a name that begins with a double
  // quote (which is part of the name); the lines given must be among the dry run's lines. Flags
  // stay as typed.
  const std::string tail = link_tail;
  const struct {
    const char* placement;
    std::vector<std::string> args;
    std::vector<std::string> some_lines;
  } cases[] = {
      {"Fortran source and object",
       {"-n", "-c", "sub/a.f90"},
       {"gfortran -c -fpic-f -O3 -i8    sub/a.f90 -o a.o"}},
      {"Fortran source and object",
       {"-n", "-c", "my sub/my a.f90"},
       {"gfortran -c -fpic-f -O3 -i8    \"my sub/my a.f90\" -o \"my a.o\""}},
      {"Fortran source and object",
       {"-n", "-c", "\"q a.f"},
       {"gfortran -c -fpic-f -O3 -i8    '\"q a.f' -o '\"q a.o'"}},
      {"Fortran object under -c -o",
       {"-n", "-c", "-o", "my out.o", "a.f"},
       {"gfortran -c -fpic-f -O3 -i8    a.f -o \"my out.o\""}},
      {"compiled objects in the link",
       {"-n", "a.c", "my b.c", "\"q c.c"},
       {"dl-ld -Iinc -xcxx -O2 -shared  -o a.zrv  a.o \"my b.o\" '\"q c.o'" + tail}},
      {"module name",
       {"-n", "-o", "m", "x.o"},
       {"dl-ld -Iinc -xcxx -O2 -shared  -o m.zrv  x.o" + tail}},
      {"module name",
       {"-n", "-o", "my m", "x.o"},
       {"dl-ld -Iinc -xcxx -O2 -shared  -o \"my m.zrv\"  x.o" + tail}},
      {"module name",
       {"-n", "-o", "\"my m", "x.o"},
       {"dl-ld -Iinc -xcxx -O2 -shared  -o '\"my m.zrv'  x.o" + tail}},
      {"module name from the first file",
       {"-n", "--mex", "my dir/my x.o"},
       {"dl-ld -Iinc -xcxx -O2 -shared  -o \"my x.mex\"  \"my dir/my x.o\"" + tail}},
      {"stand-alone output",
       {"-n", "--link-stand-alone", "-o", "p", "x.o"},
       {stand_alone_head + "-o p  x.o" + stand_alone_tail}},
      {"stand-alone output",
       {"-n", "--link-stand-alone", "-o", "my p", "x.o"},
       {stand_alone_head + "-o \"my p\"  x.o" + stand_alone_tail}},
      {"stand-alone output",
       {"-n", "--link-stand-alone", "-o", "\"my p", "x.o"},
       {stand_alone_head + "-o '\"my p'  x.o" + stand_alone_tail}},
      {"strip target", {"-n", "-s", "-o", "m", "x.o"}, {"strip m.zrv"}},
      {"strip target", {"-n", "-s", "-o", "my m", "x.o"}, {"strip \"my m.zrv\""}},
      {"strip target", {"-n", "-s", "-o", "\"my m", "x.o"}, {"strip '\"my m.zrv'"}},
      {"strip target", {"-n", "-s", "--link-stand-alone", "-o", "my p", "x.o"}, {"strip \"my p\""}},
      {"-idirafter operand",
       {"-n", "-c", "-idirafter", "d", "a.c"},
       {"gcc -c -Icpp -fpic-c -Iinc -xc -O1   -idirafter d  a.c -o a.o"}},
      {"-idirafter operand",
       {"-n", "-c", "-idirafter", "my d", "a.c"},
       {"gcc -c -Icpp -fpic-c -Iinc -xc -O1   -idirafter \"my d\"  a.c -o a.o"}},
      {"-idirafter operand",
       {"-n", "-c", "-idirafter", "\"my d", "a.f"},
       {"gfortran -c -fpic-f -O3 -i8  -idirafter '\"my d'   a.f -o a.o"}},
      {"flags as typed",
       {"-n", "-DA=x y", "-Lmy lib", "-lmy lib", "-Wl,a b", "-Rmy r", "-f a b", "a.c"},
       {"gcc -c -Icpp -fpic-c -Iinc -xc -O1  -f a b   -DA=x y a.c -o a.o",
        "dl-ld -Iinc -xcxx -O2 -shared  -f a b -o a.zrv  a.o   -Lmy lib -lmy lib -Wl,a b -Rmy r "
        "-Llib -lzrvinterp -lzorvan -zo -zd"}},
  };
  for (const auto& c : cases) {
    fake_tools tools;
    const process_result result = tools.run(c.args);
    EXPECT_EQ(0, result.status) << c.placement;
    EXPECT_EQ("", result.err) << c.placement;
    for (const std::string& line : c.some_lines) {
      EXPECT_NE(std::string::npos, ("\n" + result.out).find("\n" + line + "\n"))
          << c.placement << ": " << line << "\n"
          << result.out;
    }
    EXPECT_EQ("", tools.log()) << c.placement;
  }
}

TEST(BuildCli, UnwritableOutputReportsTheToolsError) {
  const struct {
    std::vector<std::string> args;
    std::string output;
  } cases[] = {
      {{"-c", "-o", "nodir/x.o", "x.cc"}, "nodir/x.o"},
      {{"x.cc", "-o", "nodir/m"}, "nodir/m.zrv"},
      {{"x.cc", "-o", "plain/m.zrv"}, "plain/m.zrv"},  // plain is a file
      {{"x.cc", "--link-stand-alone", "-o", "nodir/prog", "-s"}, "nodir/prog"},
  };
  for (const auto& c : cases) {
    fake_tools tools;
    write_file(tools.dir.path("plain"), "");
    const process_result result = tools.run(c.args);
    EXPECT_NE(0, result.status) << c.output;
    EXPECT_NE(std::string::npos, result.err.find(c.output)) << c.output << ": " << result.err;
    EXPECT_EQ(std::string::npos, tools.log().find("strip")) << c.output;
  }
}

namespace {

// The names in a directory, "." and ".." left out.
std::vector<std::string> directory_entries(const std::string& path) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(path.c_str())) {
    while (const dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..")
        names.push_back(name);
    }
    closedir(dir);
  }
  return names;
}

// The longest command the shell takes with the usual stack limit: one argument of 32 pages.
std::size_t one_argument_limit() {
  return 32 * static_cast<std::size_t>(sysconf(_SC_PAGESIZE)) - 1;
}

// Fake tools with a private temporary directory; the linkers copy any response file they are
// given to rsp.copy before they end.
struct long_link_tools : fake_tools {
  std::string tmp = dir.path("tmp");

  long_link_tools() {
    mkdir(tmp.c_str(), 0700);
    env["TMPDIR"] = tmp;
    link_ending("exit 0");
  }

  void link_ending(const std::string& ending) {
    const std::string copy = "for a in \"$@\"; do case $a in @*) cp \"${a#@}\" '" +
                             dir.path("rsp.copy") + "' || exit 1 ;; esac; done\n";
    set("dl-ld", copy + ending);
    set("ld-cxx", copy + ending);
  }
};

// Ten thousand objects with long names, one with a blank, and a library with a blank: a link
// command several times longer than the shell takes.
struct long_lists {
  std::vector<std::string> args;
  std::string obj_files;  // as composed into the command
  std::string response;   // as the response file must hold them

  long_lists() {
    for (int i = 0; i < 10000; ++i) {
      const std::string name =
          "objects/an-object-with-a-rather-long-name-" + std::to_string(i) + ".o";
      args.push_back(name);
      obj_files += " " + name;
      response += name + "\n";
    }
    args.push_back("my obj.o");
    args.push_back("my lib.a");
    obj_files += " \"my obj.o\"";
    response += "my\\ obj.o\nmy\\ lib.a\n";
  }
};

}  // namespace

TEST(BuildCli, LinkOverTheLimitReadsItsListsFromAResponseFile) {
  const long_lists lists;
  const std::string module_head =
      "dl-ld -Iinc -xcxx -O2 -shared  -o an-object-with-a-rather-long-name-0.zrv ";
  const std::string module_tail = "  -Llib -lzrvinterp -lzorvan -zo -zd";
  const std::string program_head = stand_alone_head + "-o \"my prog\" ";
  const std::string program_tail = "  -Llib -lzrvinterp -lzorvan  -oo -od";
  const struct {
    std::vector<std::string> options;
    std::string head, tail;
    std::string link_ending;
    int status;
  } cases[] = {
      {{"-v"}, module_head, module_tail, "exit 0", 0},
      {{"-v"}, module_head, module_tail, "exit 3", 3},
      {{"-v", "--link-stand-alone", "-o", "my prog"}, program_head, program_tail, "exit 0", 0},
      {{"-v", "--link-stand-alone", "-o", "my prog"}, program_head, program_tail, "exit 5", 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options.back() + " / " + c.link_ending);
    long_link_tools tools;
    tools.link_ending(c.link_ending);
    std::vector<std::string> args = c.options;
    args.insert(args.end(), lists.args.begin(), lists.args.end());
    const process_result result = tools.run(args);
    EXPECT_EQ(c.status, result.status);
    EXPECT_EQ("", result.err);
    ASSERT_GT(c.head.size() + lists.obj_files.size(), one_argument_limit());

    // What runs, and is echoed, names the response file in place of the lists.
    const std::regex echoed(
        std::regex_replace(c.head, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)") + "@(" +
        tools.tmp + "/zrvbuild-[A-Za-z0-9]{6})" +
        std::regex_replace(c.tail, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)") +
        "\n(dl-ld|ld-cxx) ran\n$");
    std::smatch match;
    EXPECT_TRUE(std::regex_search(result.out, match, echoed)) << result.out.substr(0, 2000);
    EXPECT_EQ(lists.response, read_file(tools.dir.path("rsp.copy")));
    // The file is gone once the link has ended, whatever its status.
    EXPECT_EQ(std::vector<std::string>{}, directory_entries(tools.tmp));
  }
}

TEST(BuildCli, DryRunOfALinkOverTheLimitPrintsTheComposedCommand) {
  const long_lists lists;
  long_link_tools tools;
  std::vector<std::string> args = {"-n"};
  args.insert(args.end(), lists.args.begin(), lists.args.end());
  const process_result result = tools.run(args);
  EXPECT_EQ("dl-ld -Iinc -xcxx -O2 -shared  -o an-object-with-a-rather-long-name-0.zrv " +
                lists.obj_files + "  \"my lib.a\"  -Llib -lzrvinterp -lzorvan -zo -zd\n",
            result.out);
  EXPECT_EQ(0, result.status);
  EXPECT_EQ("", tools.log());
  EXPECT_EQ(std::vector<std::string>{}, directory_entries(tools.tmp));
}

TEST(BuildCli, OtherCommandsOverTheLimitAreNotStarted) {
  // Two halves, each short enough to reach zrvbuild as an argument or a variable.
  const std::string half_1(one_argument_limit() / 2, 'b');
  const std::string half_2(one_argument_limit() / 2, 'c');
  const std::string defines = "-DB=" + half_1 + " -DC=" + half_2;
  const std::string c_flags = "-Iinc " + half_1 + " " + half_2;
  const struct {
    const char* name;
    std::vector<std::string> args;
    std::map<std::string, std::string> env;
    std::string refused;  // the command refused
    std::string out;
    std::string log;
  } cases[] = {
      {"defines: the first compile",
       {"-v", "-DB=" + half_1, "-DC=" + half_2, "a.c", "x.cc", "b.f"},
       {},
       "gfortran -c -fpic-f -O3 -i8   " + defines + "  b.f -o b.o",
       "",
       ""},
      {"C flags: the C compile after Fortran",
       {"-v", "a.c", "x.cc", "b.f"},
       {{"XTRA_CFLAGS", half_1}, {"CFLAGS", half_2}},
       "gcc -c -Icpp -fpic-c " + c_flags + "    a.c -o a.o",
       compile_b_f + "\ngfortran ran\n",
       ran_b_f},
      {"C flags: the dependency command",
       {"-M", "a.c", "x.cc"},
       {{"XTRA_CFLAGS", half_1}, {"CFLAGS", half_2}, {"DEPEND_FLAGS", "-M"}},
       "gcc -M -Icpp " + c_flags + "   a.c",
       "",  // x.cc still gets its dependency file, as after any failure there
       "g++ [-M] [-Icpp] [-Iinc] [-xcxx] [-O2] [x.cc]\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fake_tools tools;
    for (const auto& entry : c.env)
      tools.env[entry.first] = entry.second;
    const process_result result = tools.run(c.args);
    EXPECT_EQ(1, result.status);
    EXPECT_EQ("zrvbuild: command too long for the command interpreter (" +
                  std::to_string(c.refused.size()) + " characters, limit " +
                  std::to_string(one_argument_limit()) + ")\n",
              result.err);
    EXPECT_EQ(c.out, result.out);
    EXPECT_EQ(c.log, tools.log());
    EXPECT_FALSE(file_exists(tools.dir.path("a.o")));
    EXPECT_FALSE(file_exists(tools.dir.path("x.o")));
  }
}
