// zrvbuild -M as users meet it: a fake compiler prints chosen rules, and the dependency files,
// the output, the status and the commands the compiler received are compared.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/scratch.h"
#include "support/tools.h"

namespace {

using namespace std::string_literals;

// The fake compiler logs its words as [word] on one line, then prints out/NAME (NAME the base
// name of its last word, the source), copies out/NAME.err to standard error and exits with
// the number in out/NAME.status. A print that fails (the reader went away) is logged.
const char* const fake_compiler_body = R"sh(dir=$(dirname "$0")
for word; do printf '[%s]' "$word" >> "$dir/log"; done
echo >> "$dir/log"
for source; do :; done
out="$dir/out/$(basename "$source")"
if [ -f "$out" ]; then cat "$out" || { echo "broken pipe" >> "$dir/log"; exit 99; }; fi
if [ -f "$out.err" ]; then cat "$out.err" >&2; fi
if [ -f "$out.status" ]; then exit "$(cat "$out.status")"; fi
exit 0
)sh";

std::vector<std::string> directory_entries(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

struct DependCli : ::testing::Test {
  scratch_dir scratch;
  std::string tools = scratch.path("tools");  // the fake compiler, its log and its outputs
  std::string work = scratch.path("work");    // where zrvbuild runs
  std::string fake = tools + "/fake";

  void SetUp() override {
    mkdir(tools.c_str(), 0755);
    mkdir((tools + "/out").c_str(), 0755);
    mkdir(work.c_str(), 0755);
    write_script(fake, fake_compiler_body);
  }

  // What the compiler prints for a source with this base name, its status and diagnostics.
  void compiler_prints(const std::string& name, const std::string& output, int status = 0,
                       const std::string& diagnostics = "") {
    write_file(tools + "/out/" + name, output);
    if (status != 0)
      write_file(tools + "/out/" + name + ".status", std::to_string(status));
    if (!diagnostics.empty())
      write_file(tools + "/out/" + name + ".err", diagnostics);
  }

  std::string compiler_log() const { return read_file(tools + "/log"); }

  // Every compiler and flag variable a dependency command may read, set to recognisable words.
  std::vector<std::string> fake_environment() const {
    return {"CC=" + fake + " cc",
            "CXX=" + fake + " cxx",
            "F77=" + fake + " f77",
            "DL_LD=" + fake + " ld",
            "LD_CXX=" + fake + " ldcxx",
            "CPPFLAGS=-Dcpp",
            "INCFLAGS=-Iinc",
            "XTRA_CFLAGS=-xc",
            "XTRA_CXXFLAGS=-xcxx",
            "CFLAGS=-Oc",
            "CXXFLAGS=-Ocxx"};
  }

  process_result depend(const std::vector<std::string>& args) {
    return run_zrvbuild(args, fake_environment(), work);
  }

  // Runs zrvbuild as a user without special rights, so that file permissions hold even when
  // the tests run as root. Returns false when that is impossible here.
  bool depend_unprivileged(const std::vector<std::string>& args, process_result& result) {
    std::vector<std::string> argv;
    std::string program = ZRVBUILD_EXE;
    if (geteuid() == 0) {
      argv = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
      std::vector<std::string> probe = argv;
      probe.push_back("/bin/true");
      if (access(argv[0].c_str(), X_OK) != 0 || run_program(probe, {}).status != 0)
        return false;
      // The build tree may lie where that user cannot go.
      program = tools + "/zrvbuild";
      std::filesystem::copy_file(ZRVBUILD_EXE, program,
                                 std::filesystem::copy_options::overwrite_existing);
      chmod(scratch.root.c_str(), 0755);
      if (!file_exists(tools + "/log"))
        write_file(tools + "/log", "");
      chmod((tools + "/log").c_str(), 0666);
    }
    argv.push_back(program);
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> env = fake_environment();
    env.push_back("PATH=/usr/local/bin:/usr/bin:/bin");
    result = run_program(argv, env, work);
    return true;
  }
};

// The line a C source's command is logged as, given its extra words.
std::string c_command(const std::string& source, const std::string& extra = "") {
  return "[cc][-M][-Dcpp][-Iinc][-xc][-Oc]" + extra + "[" + source + "]\n";
}

std::string cxx_command(const std::string& source, const std::string& extra = "") {
  return "[cxx][-M][-Dcpp][-Iinc][-xcxx][-Ocxx]" + extra + "[" + source + "]\n";
}

// Many rule lines, more than a pipe holds, so that a reader that stops early is noticed.
std::string long_output(const std::string& object) {
  std::string output = object + ": \\\n";
  for (int i = 0; i < 5000; ++i) {
    output += "  include/some/rather/long/header_" + std::to_string(i) + ".h \\\n";
  }
  return output + "  end.h\n";
}

TEST_F(DependCli, WorkedExample) {
  // The defaults throughout, with a g++ of our own first on the search path.
  mkdir((tools + "/bin").c_str(), 0755);
  write_script(tools + "/bin/g++", "exec " + fake + " \"$@\"\n");
  compiler_prints("foo.cc", "foo.o: src/foo.cc foo.h\n");
  const std::string path = "PATH=" + tools + "/bin:/usr/local/bin:/usr/bin:/bin";
  process_result r = run_program({ZRVBUILD_EXE, "-M", "src/foo.cc"}, {path}, work);

  EXPECT_EQ("", r.out);
  EXPECT_EQ("", r.err);
  EXPECT_EQ(0, r.status);
  EXPECT_EQ("pic/foo.o foo.o foo.d: src/foo.cc foo.h\n\n", read_file(work + "/foo.d"));
  EXPECT_EQ(std::vector<std::string>{"foo.d"}, directory_entries(work));
  const std::string log = compiler_log();
  EXPECT_EQ(0u, log.find("[-std=gnu++11][-M][-I" + built_prefix() + "/include][")) << log;
  const std::string last_word = "[src/foo.cc]\n";
  EXPECT_EQ(last_word, log.substr(log.size() - std::min(log.size(), last_word.size())));
  EXPECT_EQ(1, std::count(log.begin(), log.end(), '\n')) << log;
}

TEST_F(DependCli, CompilerOutputShapes) {
  const std::string pad100(100 - 7, 'h'), pad101(101 - 7, 'h'), pad500(500 - 7, 'h');
  const std::string pad150k(150000 - 7, 'h');
  const std::string rule = "foo.o: ", rewritten = "pic/foo.o foo.o foo.d: ";
  const struct {
    const char* name;
    std::string output;
    std::string file;
  } cases[] = {
      {"empty", "", "\n"},
      {"one rule", "foo.o: foo.c foo.h\n", "pic/foo.o foo.o foo.d: foo.c foo.h\n\n"},
      {"no final line end", "foo.o: foo.c", "pic/foo.o foo.o foo.d: foo.c\n"},
      {"continuation lines", "obj/foo.o: foo.c \\\n  inc/a.o.h \\\n  inc/b.h\n",
       "pic/foo.o foo.o foo.d: foo.c \\\n  inc/a.o.h \\\n  inc/b.h\n\n"},
      {"several .o:", "x.o: y.o: foo.c\n", "pic/x.o: y.o x.o: y.o foo.d: foo.c\n\n"},
      {"backslash before the object", "obj\\foo.o: foo.c\n",
       "pic/obj\\foo.o obj\\foo.o foo.d: foo.c\n\n"},
      {"carriage returns and NUL", "foo.o: foo.c\r\n\0\r\n\0"s,
       "pic/foo.o foo.o foo.d: foo.c\r\n\0\r\n\0\n"s},
      {"100 bytes", rule + pad100 + "\n", rewritten + pad100 + "\n\n"},
      {"101 bytes", rule + pad101 + "\n", rewritten + pad101 + "\n\n"},
      {"500 bytes, then a short line", rule + pad500 + "\nx\n", rewritten + pad500 + "\nx\n\n"},
      {"150,000 bytes", rule + pad150k + "\n" + pad101, rewritten + pad150k + "\n" + pad101 + "\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    compiler_prints("foo.c", c.output);
    process_result r = depend({"-M", "foo.c"});
    EXPECT_EQ("", r.out);
    EXPECT_EQ("", r.err);
    EXPECT_EQ(0, r.status);
    EXPECT_TRUE(c.file == read_file(work + "/foo.d"));  // no dump of 150,000 bytes
    EXPECT_EQ(c.file.size(), read_file(work + "/foo.d").size());
  }
}

TEST_F(DependCli, SameBaseNameTheLaterSourceWins) {
  compiler_prints("x.cc", "x.o: b/x.cc\n");
  compiler_prints("x.c", "x.o: a/x.c\n");
  process_result r = depend({"-M", "b/x.cc", "a/x.c"});
  EXPECT_EQ(0, r.status);
  EXPECT_EQ("pic/x.o x.o x.d: b/x.cc\n\n", read_file(work + "/x.d"));
  EXPECT_EQ(c_command("a/x.c") + cxx_command("b/x.cc"), compiler_log());
}

TEST_F(DependCli, CSourcesBeforeCxxSourcesWithTheFlagsOfTheRun) {
  // Include and define options and the MEX define enter the command; pass-on and linker
  // options do not; -g counts wherever it stands.
  const std::vector<std::string> options = {
      "-mex",  "-Iextra", "-idirafter", "after",           "-DX=1",
      "-Wall", "-frob",   "-lm",        "-Wl,--as-needed", "-g"};
  const std::string extra = "[-g][-I.][-Iextra][-idirafter][after][-DX=1][-DMEX_DEBUG]";
  const struct {
    std::vector<std::string> sources;
    std::string log;
  } cases[] = {
      {{"b.cc", "a.c", "c.cpp", "d.c", "e.C"},
       c_command("a.c", extra) + c_command("d.c", extra) + cxx_command("b.cc", extra) +
           cxx_command("c.cpp", extra) + cxx_command("e.C", extra)},
      {{"x.cxx", "y.c++", "z.c"},
       c_command("z.c", extra) + cxx_command("x.cxx", extra) + cxx_command("y.c++", extra)},
  };
  for (const auto& c : cases) {
    std::remove((tools + "/log").c_str());
    std::vector<std::string> args = {"-M"};
    args.insert(args.end(), c.sources.begin(), c.sources.end());
    args.insert(args.end(), options.begin(), options.end());
    process_result r = depend(args);
    EXPECT_EQ("", r.out);
    EXPECT_EQ("", r.err);
    EXPECT_EQ(0, r.status);
    EXPECT_EQ(c.log, compiler_log());
  }
  EXPECT_EQ((std::vector<std::string>{"a.d", "b.d", "c.d", "d.d", "e.d", "x.d", "y.d", "z.d"}),
            directory_entries(work));
}

TEST_F(DependCli, NoCOrCxxSourcesNoFiles) {
  const std::vector<std::vector<std::string>> cases = {
      {"-M"},
      {"-M", "a.f"},
      {"--depend", "a.F90", "solverf90", "b.F"},
      {"-depend", "a.o", "b.obj", "my file.o"},
      {"-M", "liba.a", "b.lib"},
      {"-M", "-c", "a.f", "x.o", "y.a", "-o", "out", "-lm"},
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(args.back());
    process_result r = depend(args);
    EXPECT_EQ("", r.out);
    EXPECT_EQ("", r.err);
    EXPECT_EQ(0, r.status);
    EXPECT_EQ(std::vector<std::string>{}, directory_entries(work));
    EXPECT_FALSE(file_exists(tools + "/log"));  // nothing compiled or linked
  }
}

TEST_F(DependCli, FortranBesideCIsPassedOver) {
  compiler_prints("b.c", "b.o: b.c\n");
  process_result r = depend({"-M", "a.f", "b.c", "c.o"});
  EXPECT_EQ(0, r.status);
  EXPECT_EQ(std::vector<std::string>{"b.d"}, directory_entries(work));
  EXPECT_EQ(c_command("b.c"), compiler_log());
}

TEST_F(DependCli, DryRunAndVerbosePrintNothingAndStillWrite) {
  compiler_prints("foo.c", "foo.o: foo.c\n");
  const std::vector<std::vector<std::string>> cases = {
      {"-n"}, {"--dry-run", "--just-print"}, {"-v"}, {"--verbose"}, {"-d"}, {"-n", "-debug"}};
  for (const auto& options : cases) {
    SCOPED_TRACE(options.front());
    std::remove((work + "/foo.d").c_str());
    std::remove((tools + "/log").c_str());
    std::vector<std::string> args = options;
    args.insert(args.end(), {"-M", "foo.c"});
    process_result r = depend(args);
    EXPECT_EQ("", r.out);
    EXPECT_EQ("", r.err);
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("pic/foo.o foo.o foo.d: foo.c\n\n", read_file(work + "/foo.d"));
    EXPECT_EQ(c_command("foo.c"), compiler_log());
  }
}

TEST_F(DependCli, SourceWithABlank) {
  compiler_prints("foo.c", "foo.o: my\\ dir/foo.c\n");
  process_result r = depend({"-M", "my dir/foo.c"});
  EXPECT_EQ(0, r.status);
  EXPECT_EQ(c_command("my dir/foo.c"), compiler_log());  // one word: quoted in the command
  EXPECT_EQ("pic/foo.o foo.o foo.d: my\\ dir/foo.c\n\n", read_file(work + "/foo.d"));
}

TEST_F(DependCli, OldFileReplaced) {
  write_file(work + "/foo.d", "stale content that is longer than the new one\n");
  compiler_prints("foo.c", "foo.o: foo.c\n");
  EXPECT_EQ(0, depend({"-M", "foo.c"}).status);
  EXPECT_EQ("pic/foo.o foo.o foo.d: foo.c\n\n", read_file(work + "/foo.d"));
}

TEST_F(DependCli, LinkReplacedNotFollowed) {
  // An old dependency file that is a symbolic link is replaced by a file of its own; what the
  // link pointed to is left as it was. A name of 252 characters leaves no room for the usual
  // temporary name beside it; a shorter one is taken.
  const struct {
    const char* name;
    std::string base;
  } cases[] = {{"short name", "foo"}, {"no room for a temporary name", std::string(250, 'n')}};
  const std::string target = scratch.path("elsewhere.d");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string dep_file = c.base + ".d";
    write_file(target, "someone else's rules\n");
    ASSERT_EQ(0, symlink(target.c_str(), (work + "/" + dep_file).c_str()));
    compiler_prints(c.base + ".c", c.base + ".o: " + c.base + ".c\n");
    process_result r = depend({"-M", c.base + ".c"});
    EXPECT_EQ("", r.out);
    EXPECT_EQ("", r.err);
    EXPECT_EQ(0, r.status);
    struct stat written {};
    ASSERT_EQ(0, lstat((work + "/" + dep_file).c_str(), &written));
    EXPECT_TRUE(S_ISREG(written.st_mode)) << "the dependency file is still a link";
    EXPECT_EQ("pic/" + c.base + ".o " + c.base + ".o " + dep_file + ": " + c.base + ".c\n\n",
              read_file(work + "/" + dep_file));
    EXPECT_EQ("someone else's rules\n", read_file(target));
    EXPECT_EQ(std::vector<std::string>{dep_file}, directory_entries(work));
    std::remove((work + "/" + dep_file).c_str());
  }
}

TEST_F(DependCli, FailingCompilerEndsTheRunWithTheFirstStatus) {
  compiler_prints("a.c", "a.o: a.c\n", 3, "a.c:1: error: something\n");
  compiler_prints("b.c", "b.o: b.c\n");
  compiler_prints("c.cc", "c.o: c.cc\n", 5);
  process_result r = depend({"-M", "c.cc", "b.c", "a.c"});
  EXPECT_EQ(3, r.status);
  EXPECT_EQ("", r.out);
  EXPECT_EQ("a.c:1: error: something\n", r.err);  // the compiler's own, passed through
  EXPECT_EQ(c_command("b.c") + c_command("a.c") + cxx_command("c.cc"), compiler_log());
  EXPECT_EQ("pic/a.o a.o a.d: a.c\n\n", read_file(work + "/a.d"));
  EXPECT_EQ("pic/b.o b.o b.d: b.c\n\n", read_file(work + "/b.d"));
  EXPECT_EQ("pic/c.o c.o c.d: c.cc\n\n", read_file(work + "/c.d"));
}

TEST_F(DependCli, MissingCompiler) {
  compiler_prints("b.c", "b.o: b.c\n");
  std::vector<std::string> env = fake_environment();
  env[0] = "CC=/nonexistent/compiler";
  process_result r = run_zrvbuild({"-M", "a.c", "b.c"}, env, work);
  EXPECT_EQ(127, r.status);
  EXPECT_NE("", r.err);
  EXPECT_EQ("\n", read_file(work + "/a.d"));
  EXPECT_EQ("\n", read_file(work + "/b.d"));
}

TEST_F(DependCli, FileInTheWay) {
  // A directory cannot be replaced by a dependency file; the pipe is still read to its end
  // and the next source is written.
  mkdir((work + "/a.d").c_str(), 0755);
  compiler_prints("a.c", long_output("a.o"));
  compiler_prints("b.c", "b.o: b.c\n");
  process_result r = depend({"-M", "a.c", "b.c"});
  EXPECT_EQ("zrvbuild: unable to write dependency file a.d: Is a directory\n", r.err);
  EXPECT_EQ("", r.out);
  EXPECT_EQ(1, r.status);
  EXPECT_EQ(c_command("a.c") + c_command("b.c"), compiler_log());
  EXPECT_EQ("pic/b.o b.o b.d: b.c\n\n", read_file(work + "/b.d"));
}

TEST_F(DependCli, ReadOnlyDirectory) {
  // b.d exists and may be written; a.d and c.d cannot be created.
  write_file(work + "/b.d", "stale\n");
  chmod((work + "/b.d").c_str(), 0666);
  chmod(work.c_str(), 0555);
  compiler_prints("a.c", long_output("a.o"));
  compiler_prints("b.c", "b.o: b.c\n");
  compiler_prints("c.cc", "c.o: c.cc\n");
  process_result r;
  if (!depend_unprivileged({"-M", "c.cc", "a.c", "b.c"}, r))
    ZRV_SKIP_UNLESS_REQUIRED("no unprivileged run (root without a working setpriv)");
  EXPECT_EQ(
      "zrvbuild: unable to write dependency file a.d: Permission denied\n"
      "zrvbuild: unable to write dependency file c.d: Permission denied\n",
      r.err);
  EXPECT_EQ("", r.out);
  EXPECT_EQ(1, r.status);
  EXPECT_EQ(c_command("a.c") + c_command("b.c") + cxx_command("c.cc"), compiler_log());
  EXPECT_EQ("pic/b.o b.o b.d: b.c\n\n", read_file(work + "/b.d"));
  EXPECT_EQ((std::vector<std::string>{"b.d"}), directory_entries(work));
}

TEST_F(DependCli, FirstFailureDecidesTheStatus) {
  chmod(work.c_str(), 0555);
  const struct {
    int a_status;
    int b_status;
    int run_status;
  } cases[] = {{0, 6, 1}, {6, 0, 6}, {7, 6, 7}};
  for (const auto& c : cases) {
    compiler_prints("a.c", "a.o: a.c\n", c.a_status);
    compiler_prints("b.c", "b.o: b.c\n", c.b_status);
    if (c.a_status == 0)
      std::remove((tools + "/out/a.c.status").c_str());
    if (c.b_status == 0)
      std::remove((tools + "/out/b.c.status").c_str());
    process_result r;
    if (!depend_unprivileged({"-M", "a.c", "b.c"}, r))
      ZRV_SKIP_UNLESS_REQUIRED("no unprivileged run (root without a working setpriv)");
    EXPECT_EQ(c.run_status, r.status) << c.a_status << " " << c.b_status;
  }
}

TEST_F(DependCli, FileThatCannotBeWrittenInFull) {
  if (!file_exists("/dev/full"))
    ZRV_SKIP_UNLESS_REQUIRED("no /dev/full");
  ASSERT_EQ(0, symlink("/dev/full", (work + "/a.d").c_str()));
  chmod(work.c_str(), 0555);  // keeps the link from being removed
  compiler_prints("a.c", long_output("a.o"));
  process_result r;
  if (!depend_unprivileged({"-M", "a.c"}, r))
    ZRV_SKIP_UNLESS_REQUIRED("no unprivileged run (root without a working setpriv)");
  EXPECT_EQ("zrvbuild: unable to write dependency file a.d: No space left on device\n", r.err);
  EXPECT_EQ(1, r.status);
  EXPECT_EQ(c_command("a.c"), compiler_log());  // read to its end: no broken pipe
}

TEST_F(DependCli, PipeThatCannotBeStarted) {
  // With room for only one more descriptor the program still loads, but no pipe can be made.
  compiler_prints("a.c", "a.o: a.c\n");
  std::vector<std::string> env = fake_environment();
  env.push_back("PATH=/usr/bin:/bin");
  process_result r = run_program(
      {"/bin/sh", "-c",
       "exec 3>&- 4>&- 5>&- 6>&- 7>&- 8>&- 9>&-; ulimit -n 4 && exec \"$0\" -M a.c b.cc",
       ZRVBUILD_EXE},
      env, work);
  EXPECT_EQ(
      "zrvbuild: unable to start dependency command for a.c\n"
      "zrvbuild: unable to start dependency command for b.cc\n",
      r.err);
  EXPECT_EQ(1, r.status);
  EXPECT_FALSE(file_exists(tools + "/log"));
  EXPECT_EQ(std::vector<std::string>{}, directory_entries(work));
}

}  // namespace
