// Incremental builds with fake tools: the variable's values, what a dry run and -M still do, a
// compiler that cannot say what it read, a compile that failed after writing its object, a
// record planted as a link, why the link (and its strip) runs again, another program behind the
// same name, and two runs at once in one directory.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/scratch.h"

namespace {

// The fake compiler logs its arguments, writes its -o file and, when asked with -MF and
// bin/lists exists, a make rule naming the source (its word before -o) and h.h (nothing when
// bin/lists is not empty). It exits with
// the number in bin/status (0 without it).
const char* const fake_tool_body = R"sh(bin=$(dirname "$0")
echo "$(basename "$0") $*" >> "$bin/ran.log"
out=; list=; source=; prev=
for word; do
  case $prev in -o) out=$word ;; -MF) list=$word ;; esac
  case $word in -*) ;; *) [ "$prev" = -o ] || [ "$prev" = -MF ] || source=$word ;; esac
  prev=$word
done
[ -n "$out" ] && echo "made by $*" > "$out"
if [ -n "$list" ] && [ -f "$bin/lists" ]; then
  if [ -s "$bin/lists" ]; then echo "$out:" > "$list"; else echo "$out: $source h.h" > "$list"; fi
fi
if [ -f "$bin/status" ]; then exit "$(cat "$bin/status")"; fi
exit 0
)sh";

struct fake_project {
  scratch_dir dir;
  fake_project() {
    mkdir(dir.path("bin").c_str(), 0755);
    for (const char* tool : {"gf", "cc", "ld", "strip"}) write_script(dir.path(std::string("bin/") + tool), fake_tool_body);
    write_file(dir.path("bin/lists"), "");
    write_file(dir.path("a.c"), "int a;\n");
    write_file(dir.path("h.h"), "\n");
    write_file(dir.path("f.f90"), "subroutine f\nend subroutine\n");
    // Made a while ago, so that their times are trusted.
    for (const char* name : {"a.c", "h.h", "f.f90"}) {
      const std::string path = dir.path(name);
      struct timespec times[2] = {{1000000000, 5}, {1000000000, 5}};
      utimensat(AT_FDCWD, path.c_str(), times, 0);
    }
  }
  process_result build(const std::vector<std::string>& args, const char* incremental) {
    std::vector<std::string> environment = {"PATH=" + dir.path("bin") + ":/usr/bin:/bin",
                                            "F77=gf", "CC=cc", "DL_LD=ld", "ZRVBUILD_PROGRESS=0"};
    if (incremental != nullptr) environment.push_back(std::string("ZRVBUILD_INCREMENTAL=") + incremental);
    return run_zrvbuild(args, environment, dir.root);
  }
  std::string take_log() {
    const std::string log = file_exists(dir.path("bin/ran.log")) ? read_file(dir.path("bin/ran.log")) : "";
    std::remove(dir.path("bin/ran.log").c_str());
    return log;
  }
};

std::size_t lines_with(const std::string& text, const std::string& word) {
  std::size_t count = 0;
  for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++count;
  return count;
}

// The tools a run started, in order, by the first word of each logged line: "cc ld strip".
std::string tools_in(const std::string& log) {
  std::string tools;
  for (std::size_t start = 0; start < log.size();) {
    std::size_t end = log.find('\n', start);
    if (end == std::string::npos) end = log.size();
    const std::string line = log.substr(start, end - start);
    tools += (tools.empty() ? "" : " ") + line.substr(0, line.find(' '));
    start = end + 1;
  }
  return tools;
}

}  // namespace

// A sequence of runs: each says under -v why the link runs (or that it is up to date), and the
// strip request belongs to the link's record, so asking for it or no longer asking relinks.
TEST(IncrementalCli, TheLinkSaysWhyItRunsAndFollowsTheStripRequest) {
  fake_project p;
  const auto retime_header = [&p]() {
    const struct timespec times[2] = {{1000000200, 5}, {1000000200, 5}};
    utimensat(AT_FDCWD, p.dir.path("h.h").c_str(), times, 0);
  };
  const auto remove_product = [&p]() { std::remove(p.dir.path("a.zrv").c_str()); };
  const struct {
    std::vector<std::string> args;
    std::function<void()> before;
    const char* link_line;
    const char* tools;
  } runs[] = {
      {{"a.c"}, nullptr, "linking a.zrv: a.zrv is not recorded", "cc ld"},
      {{"a.c"}, nullptr, "a.zrv is up to date", ""},
      {{"a.c"}, retime_header, "linking a.zrv: a.o changed", "cc ld"},
      {{"a.c", "-s"}, nullptr, "linking a.zrv: the command changed", "ld strip"},
      {{"a.c", "-s"}, nullptr, "a.zrv is up to date", ""},
      {{"a.c", "-s"}, remove_product, "linking a.zrv: a.zrv is missing", "ld strip"},
      {{"a.c"}, nullptr, "linking a.zrv: the command changed", "ld"},
  };
  for (const auto& run : runs) {
    if (run.before) run.before();
    std::vector<std::string> args = {"-v"};
    args.insert(args.end(), run.args.begin(), run.args.end());
    const process_result result = p.build(args, "1");
    ASSERT_EQ(0, result.status) << result.err;
    EXPECT_NE(std::string::npos, result.out.find(std::string("zrvbuild: ") + run.link_line + "\n"))
        << run.link_line << "\n" << result.out;
    EXPECT_EQ(run.tools, tools_in(p.take_log())) << run.link_line << "\n" << result.out;
  }
}

// Libraries named by -l are followed through the -L directories: the first directory that holds
// the library's files, each of those it holds, and the names looked for in vain before it; a
// library of the linker's own (found in no -L directory) is not followed and does not keep the
// link from being skipped.
TEST(IncrementalCli, LibrariesNamedByDashLAreInTheLinksRecord) {
  fake_project p;
  for (const char* directory : {"first", "second"}) mkdir(p.dir.path(directory).c_str(), 0755);
  const auto library = [&p](const char* name, const char* text, long long seconds) {
    write_file(p.dir.path(name), text);
    const struct timespec times[2] = {{seconds, 5}, {seconds, 5}};
    utimensat(AT_FDCWD, p.dir.path(name).c_str(), times, 0);
  };
  library("second/libstat.a", "one\n", 1000000100);
  library("second/libstat.so", "shared\n", 1000000100);
  library("second/exact.lib", "exact\n", 1000000100);
  library("first/libexact.dll.a", "import\n", 1000000100);
  const auto changed_lib = [&]() { library("second/libstat.a", "two\n", 1000000100); };
  const auto changed_so = [&]() { library("second/libstat.so", "shared2\n", 1000000101); };
  const auto changed_import = [&]() {
    library("first/libexact.dll.a", "import2\n", 1000000102);
  };
  // exact.lib lies in a directory after the one where -lexact is found: not followed.
  const auto changed_exact = [&]() { library("second/exact.lib", "exact2\n", 1000000102); };
  const auto shadowing = [&]() { library("first/libstat.a", "earlier\n", 1000000103); };
  const struct {
    std::function<void()> before;
    const char* link_line;
  } runs[] = {
      {nullptr, "linking a.zrv: a.zrv is not recorded"},
      {nullptr, "a.zrv is up to date"},
      {changed_lib, "linking a.zrv: second/libstat.a changed"},
      {nullptr, "a.zrv is up to date"},
      {changed_so, "linking a.zrv: second/libstat.so changed"},
      {changed_import, "linking a.zrv: first/libexact.dll.a changed"},
      {changed_exact, "a.zrv is up to date"},
      // A library put into a directory searched before the one that held it.
      {shadowing, "linking a.zrv: first/libstat.a appeared"},
  };
  for (const auto& run : runs) {
    if (run.before) run.before();
    const process_result result = p.build(
        {"-v", "a.c", "-Lfirst", "-Lsecond", "-lstat", "-lexact", "-lnowhere"}, "1");
    ASSERT_EQ(0, result.status) << result.err;
    EXPECT_NE(std::string::npos, result.out.find(std::string("zrvbuild: ") + run.link_line + "\n"))
        << run.link_line << "\n" << result.out;
  }
}

// The programs behind the command's words, found through PATH as the shell finds them: a rerun
// with the same ones skips; the name found in a directory searched earlier, a program file
// replaced or a launcher in front of it replaced reruns the command and -v names the file.
TEST(IncrementalCli, AnotherProgramBehindTheSameNameReruns) {
  fake_project p;
  mkdir(p.dir.path("early").c_str(), 0755);
  write_script(p.dir.path("bin/ccache"), "exec \"$@\"\n");
  // Written beside and renamed over, as an upgrade replaces a program.
  const auto replace = [&p](const std::string& name, const std::string& body) {
    write_script(p.dir.path(name + ".new"), body);
    std::rename(p.dir.path(name + ".new").c_str(), p.dir.path(name).c_str());
  };
  const std::string early_cc = p.dir.path("early/cc");
  // The earlier cc hands over to the fake one, which logs and lists in bin.
  const std::string hand_over = "exec \"$(dirname \"$0\")/../bin/cc\" \"$@\"\n";
  const struct {
    std::function<void()> before;
    std::string line;
    const char* tools;
  } runs[] = {
      {nullptr, "compiling a.c: a.o is not recorded", "cc ld"},
      {nullptr, "a.o is up to date", ""},
      {[&] { write_script(early_cc, hand_over); },
       "compiling a.c: the compiler " + early_cc + " changed", "cc ld"},
      {nullptr, "a.o is up to date", ""},
      {[&] { replace("early/cc", "# the next version\n" + hand_over); },
       "compiling a.c: the compiler " + early_cc + " changed", "cc ld"},
      {nullptr, "a.o is up to date", ""},
      {[&] { replace("bin/ccache", "# the next version\nexec \"$@\"\n"); },
       "compiling a.c: the compiler " + p.dir.path("bin/ccache") + " changed", "cc ld"},
      {[&] { replace("bin/ld", std::string(fake_tool_body) + "# the next version\n"); },
       "linking a.zrv: the compiler " + p.dir.path("bin/ld") + " changed", "ld"},
      {[&] { std::remove(early_cc.c_str()); },
       "compiling a.c: the compiler " + p.dir.path("bin/cc") + " changed", "cc ld"},
      {nullptr, "a.zrv is up to date", ""},
  };
  for (const auto& run : runs) {
    if (run.before) run.before();
    const process_result result = run_zrvbuild(
        {"-v", "a.c"},
        {"PATH=" + p.dir.path("early") + ":" + p.dir.path("bin") + ":/usr/bin:/bin", "F77=gf",
         "CC=ccache cc", "DL_LD=ld", "ZRVBUILD_PROGRESS=0", "ZRVBUILD_INCREMENTAL=1"},
        p.dir.root);
    ASSERT_EQ(0, result.status) << result.err;
    EXPECT_NE(std::string::npos, result.out.find("zrvbuild: " + run.line + "\n"))
        << run.line << "\n" << result.out;
    EXPECT_EQ(run.tools, tools_in(p.take_log())) << run.line << "\n" << result.out;
  }
}

TEST(IncrementalCli, OnlyZeroOrOneIsAValue) {
  for (const char* value : {"2", "yes", "true", " 1", "01", "1 "}) {
    fake_project p;
    const process_result result = p.build({"a.c"}, value);
    EXPECT_EQ(1, result.status) << value;
    EXPECT_EQ("", result.out);
    EXPECT_EQ(std::string("zrvbuild: ZRVBUILD_INCREMENTAL must be 0 or 1, not \"") + value + "\"\n",
              result.err);
    EXPECT_EQ("", p.take_log()) << value;
  }
  // Off: every byte printed and every argument as without the variable, and no record.
  fake_project p;
  const process_result unset = p.build({"-v", "a.c", "f.f90"}, nullptr);
  const std::string unset_log = p.take_log();
  for (const char* value : {"", "0"}) {
    const process_result off = p.build({"-v", "a.c", "f.f90"}, value);
    EXPECT_EQ(unset.status, off.status);
    EXPECT_EQ(unset.out, off.out);
    EXPECT_EQ(unset.err, off.err);
    EXPECT_EQ(unset_log, p.take_log()) << value;
  }
  EXPECT_FALSE(file_exists(p.dir.path(".zrvbuild-record")));
  EXPECT_FALSE(file_exists(p.dir.path(".zrvbuild-record.lock")));
}

TEST(IncrementalCli, CompilesAskWhatTheyReadAndDryRunsPrintEveryCommand) {
  fake_project p;
  ASSERT_EQ(0, p.build({"a.c", "f.f90"}, "1").status);
  const std::string log = p.take_log();
  EXPECT_NE(std::string::npos, log.find(" a.c -o a.o -MD -MF ")) << log;
  // A plain Fortran source is compiled as without the mode: zrvbuild reads what it reads.
  EXPECT_NE(std::string::npos, log.find(" f.f90 -o f.o\n")) << log;
  ASSERT_EQ(0, p.build({"a.c", "f.f90"}, "1").status);
  EXPECT_EQ("", p.take_log());
  const std::string record = read_file(p.dir.path(".zrvbuild-record"));
  // -n prints what it prints without the mode and touches nothing.
  const process_result dry = p.build({"-n", "a.c", "f.f90"}, "1");
  const process_result plain_dry = p.build({"-n", "a.c", "f.f90"}, nullptr);
  EXPECT_EQ(plain_dry.out, dry.out);
  EXPECT_EQ(3u, lines_with(dry.out, "\n"));
  EXPECT_EQ(record, read_file(p.dir.path(".zrvbuild-record")));
  EXPECT_EQ("", p.take_log());
}

TEST(IncrementalCli, ACompilerThatListsNothingIsNeverSkipped) {
  fake_project p;
  std::remove(p.dir.path("bin/lists").c_str());
  for (int run = 0; run < 3; ++run) {
    const process_result result = p.build({"-v", "a.c"}, "1");
    ASSERT_EQ(0, result.status) << result.err;
    EXPECT_EQ(2u, lines_with(p.take_log(), "\n")) << run;  // the compile and the link
  }
}

// A compile that failed after writing its object leaves no entry: the same command runs again.
TEST(IncrementalCli, AFailedCompileIsNotSkippedNextTime) {
  fake_project p;
  ASSERT_EQ(0, p.build({"a.c"}, "1").status);
  p.take_log();
  write_file(p.dir.path("bin/status"), "1");
  const struct timespec times[2] = {{1000000100, 5}, {1000000100, 5}};
  utimensat(AT_FDCWD, p.dir.path("h.h").c_str(), times, 0);
  EXPECT_EQ(1, p.build({"a.c"}, "1").status);
  std::remove(p.dir.path("bin/status").c_str());
  p.take_log();
  const process_result again = p.build({"-v", "a.c"}, "1");
  ASSERT_EQ(0, again.status);
  EXPECT_NE(std::string::npos, again.out.find("zrvbuild: compiling a.c: a.o is not recorded\n"))
      << again.out;
}

// A record planted as a link to another file is replaced, never written through.
TEST(IncrementalCli, ARecordPlantedAsALinkIsReplaced) {
  fake_project p;
  write_file(p.dir.path("victim"), "keep\n");
  ASSERT_EQ(0, symlink("victim", p.dir.path(".zrvbuild-record").c_str()));
  ASSERT_EQ(0, p.build({"a.c"}, "1").status);
  EXPECT_EQ("keep\n", read_file(p.dir.path("victim")));
  struct stat status {};
  ASSERT_EQ(0, lstat(p.dir.path(".zrvbuild-record").c_str(), &status));
  EXPECT_TRUE(S_ISREG(status.st_mode));
}

// A lock file planted as a link is never opened through it, nor its target made: the run goes
// on without the lock.
TEST(IncrementalCli, ALockFilePlantedAsALinkIsNotFollowed) {
  fake_project p;
  ASSERT_EQ(0, symlink("elsewhere", p.dir.path(".zrvbuild-record.lock").c_str()));
  const process_result result = p.build({"a.c"}, "1");
  ASSERT_EQ(0, result.status) << result.err;
  EXPECT_EQ("", result.err);
  EXPECT_FALSE(file_exists(p.dir.path("elsewhere")));
  EXPECT_EQ("cc ld", tools_in(p.take_log()));
  // The record is kept as without the lock.
  ASSERT_EQ(0, p.build({"a.c"}, "1").status);
  EXPECT_EQ("", tools_in(p.take_log()));
}

// Two incremental runs at once in one directory, each making its own module: the second waits
// for the first (and says so), then reads what the first recorded, so that every entry of both
// is kept and the next runs compile nothing. The compilers wait at their start until the test
// lets them go: the first run's compile ends only once the second run waits or compiles.
TEST(IncrementalCli, TwoRunsAtOnceKeepEveryEntry) {
  fake_project p;
  write_file(p.dir.path("b.c"), "int b;\n");
  const struct timespec times[2] = {{1000000000, 5}, {1000000000, 5}};
  utimensat(AT_FDCWD, p.dir.path("b.c").c_str(), times, 0);
  write_script(p.dir.path("bin/fake-cc"), fake_tool_body);
  write_script(p.dir.path("bin/cc"), R"sh(bin=$(dirname "$0")
prev=
for word; do [ "$prev" = -o ] && out=$word; prev=$word; done
: > "$bin/started.$out"
while [ ! -f "$bin/go.$out" ]; do sleep 0.01; done
exec "$bin/fake-cc" "$@"
)sh");
  std::vector<std::string> environment = {"PATH=" + p.dir.path("bin") + ":/usr/bin:/bin", "CC=cc",
                                          "DL_LD=ld", "ZRVBUILD_PROGRESS=0",
                                          "ZRVBUILD_INCREMENTAL=1"};
  for (const std::string& entry : sanitizer_environment()) environment.push_back(entry);
  const auto start = [&](const char* source, const char* product) {
    return start_program({ZRVBUILD_EXE, source, "-o", product}, environment, p.dir.root);
  };
  // Looks every few milliseconds until ready holds; two minutes at most.
  const auto wait_until = [](const std::function<bool()>& ready) {
    for (int tries = 0; tries < 12000 && !ready(); ++tries) usleep(10000);
    return ready();
  };
  const std::string waiting = "zrvbuild: waiting for another run in this directory\n";
  started_program first = start("a.c", "first");
  ASSERT_TRUE(wait_until([&]() { return file_exists(p.dir.path("bin/started.a.o")); }));
  started_program second = start("b.c", "second");
  ASSERT_TRUE(wait_until([&]() {
    return file_exists(p.dir.path("bin/started.b.o")) ||
           read_file(second.err_path).find(waiting) != std::string::npos;
  }));
  write_file(p.dir.path("bin/go.a.o"), "");
  const process_result first_result = wait_program(first);
  write_file(p.dir.path("bin/go.b.o"), "");
  const process_result second_result = wait_program(second);
  ASSERT_EQ(0, first_result.status) << first_result.err;
  ASSERT_EQ(0, second_result.status) << second_result.err;
  EXPECT_EQ("", first_result.err);
  EXPECT_EQ(waiting, second_result.err);
  EXPECT_EQ("fake-cc ld fake-cc ld", tools_in(p.take_log()));
  for (const char* product : {"first", "second"}) {
    const process_result again =
        run_zrvbuild({"-v", product[0] == 'f' ? "a.c" : "b.c", "-o", product}, environment,
                     p.dir.root);
    ASSERT_EQ(0, again.status) << again.err;
    EXPECT_NE(std::string::npos, again.out.find(std::string(product) + ".zrv is up to date"))
        << again.out;
  }
  EXPECT_EQ("", tools_in(p.take_log()));
}

// A list that names no file read is no list: the compile runs every time.
TEST(IncrementalCli, AListNamingNoInputIsNeverRecorded) {
  fake_project p;
  write_file(p.dir.path("bin/lists"), "empty\n");
  for (int run = 0; run < 2; ++run) {
    const process_result result = p.build({"-v", "a.c"}, "1");
    ASSERT_EQ(0, result.status) << result.err;
    EXPECT_NE(std::string::npos, result.out.find("zrvbuild: compiling a.c: a.o is not recorded\n"))
        << run << result.out;
  }
}

// The list's name is one word to the interpreter, in a TMPDIR holding a blank too.
TEST(IncrementalCli, TheListLiesInATemporaryDirectoryWithABlank) {
  fake_project p;
  mkdir(p.dir.path("tmp dir").c_str(), 0755);
  std::vector<std::string> environment = {"PATH=" + p.dir.path("bin") + ":/usr/bin:/bin", "CC=cc",
                                          "DL_LD=ld", "ZRVBUILD_INCREMENTAL=1",
                                          "TMPDIR=" + p.dir.path("tmp dir")};
  for (int run = 0; run < 2; ++run) {
    const process_result result = run_zrvbuild({"-v", "a.c"}, environment, p.dir.root);
    ASSERT_EQ(0, result.status) << result.err;
    EXPECT_EQ(run == 0 ? 2u : 0u, lines_with(p.take_log(), "\n")) << run << result.out;
  }
}
