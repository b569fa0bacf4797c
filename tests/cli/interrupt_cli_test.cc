// Dependency files that are never seen half written, and runs that end promptly, by the signal
// that interrupted them, when a command is interrupted or a signal arrives: fake compilers that
// look at the directory while they run, interrupt themselves, or are interrupted by the test at
// random moments of a long -M run.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/kill_loop.h"
#include "support/process.h"
#include "support/scratch.h"

namespace {

struct InterruptCli : ::testing::Test {
  scratch_dir scratch;
  std::string tools = scratch.path("tools");
  std::string work = scratch.path("work");
  std::string tmp = scratch.path("tmp");

  void SetUp() override {
    mkdir(tools.c_str(), 0755);
    mkdir(work.c_str(), 0755);
    mkdir(tmp.c_str(), 0700);
  }

  // The compiler variables all name the one fake compiler; its last word is the source.
  std::vector<std::string> environment(const std::string& compiler) const {
    return {"PATH=/usr/local/bin:/usr/bin:/bin",
            "CC=" + compiler,
            "CXX=" + compiler,
            "F77=" + compiler,
            "DL_LD=" + compiler,
            "TOOLS=" + tools,
            "TMPDIR=" + tmp};
  }

  // zrvbuild in a process group of its own, as a shell's foreground job.
  started_program start(const std::vector<std::string>& args, const std::string& compiler) {
    std::vector<std::string> argv = {ZRVBUILD_EXE};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> env = environment(compiler);
    for (const std::string& entry : sanitizer_environment())
      env.push_back(entry);
    return start_program(argv, env, work);
  }
};

TEST_F(InterruptCli, DependencyFileAppearsOnlyWhenComplete) {
  // While its output is being written, the compiler records what the directory holds: the old
  // file is gone, and the new content is in a hidden temporary, not in foo.d.
  const std::string compiler = tools + "/cc";
  write_script(compiler, R"sh(for source; do :; done
echo "foo.o: $source first.h"
for i in 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20; do
  for t in .foo.d.tmp*; do [ -s "$t" ] && break 2; done
  sleep 0.1
done
ls -A > "$TOOLS/listing"
echo " second.h"
)sh");
  write_file(work + "/foo.d", "stale\n");
  process_result r = run_zrvbuild({"-M", "foo.c"}, environment(compiler), work);
  ASSERT_EQ(0, r.status) << r.err;
  const std::string listing = read_file(tools + "/listing");
  EXPECT_EQ(0u, listing.find(".foo.d.tmp")) << listing;
  EXPECT_EQ(std::string::npos, listing.find("\nfoo.d\n")) << listing;
  EXPECT_EQ("pic/foo.o foo.o foo.d: foo.c first.h\n second.h\n\n", read_file(work + "/foo.d"));
  EXPECT_EQ(std::vector<std::string>{"foo.d"}, entries_of(work));
}

TEST_F(InterruptCli, DependencyFileHasTheModeOfAPlainNewFile) {
  const std::string compiler = tools + "/cc";
  write_script(compiler, "echo 'foo.o: foo.c'\n");
  process_result r =
      run_program({"/bin/sh", "-c", "umask 022 && exec \"$0\" -M foo.c", ZRVBUILD_EXE},
                  environment(compiler), work);
  ASSERT_EQ(0, r.status) << r.err;
  struct stat info = {};
  ASSERT_EQ(0, stat((work + "/foo.d").c_str(), &info));
  EXPECT_EQ(0644u, info.st_mode & 07777);
}

// A command ended by SIGINT or SIGQUIT (a Ctrl-C or Ctrl-\ at the terminal reaches the whole
// process group) ends zrvbuild by the same signal: nothing after it starts, no dependency file
// of the interrupted command is put in place, no temporary is left.
TEST_F(InterruptCli, CommandEndedBySignalEndsTheRunBySignal) {
  const std::string compiler = tools + "/cc";
  write_script(compiler, R"sh(for word; do case $word in *.c) source=$word ;; esac; done
echo "$source" >> "$TOOLS/log"
echo "x.o: $source"
if [ -f "$TOOLS/signal.$source" ]; then kill -"$(cat "$TOOLS/signal.$source")" 0; sleep 5; fi
exit 0
)sh");
  const struct {
    const char* signal_name;
    int signal_number;
    std::vector<std::string> args;
  } cases[] = {
      {"INT", SIGINT, {"-c", "a.c", "b.c", "c.c"}},
      {"QUIT", SIGQUIT, {"-c", "a.c", "b.c", "c.c"}},
      {"INT", SIGINT, {"a.c", "b.c", "c.c"}},
      {"INT", SIGINT, {"-M", "a.c", "b.c", "c.c"}},
      {"QUIT", SIGQUIT, {"-M", "a.c", "b.c", "c.c"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.signal_name) + " " + c.args[0]);
    std::filesystem::remove(tools + "/log");
    for (const auto& name : entries_of(work))
      std::filesystem::remove(work + "/" + name);
    write_file(tools + "/signal.b.c", c.signal_name);
    started_program program = start(c.args, compiler);
    process_result r = wait_program(program);
    EXPECT_EQ(c.signal_number, r.signal) << r.status << r.err;
    EXPECT_EQ("a.c\nb.c\n", read_file(tools + "/log"));  // c.c never started, nothing linked
    const bool depend = c.args[0] == "-M";
    EXPECT_EQ(depend ? std::vector<std::string>{"a.d"} : std::vector<std::string>{},
              entries_of(work));
  }
}

TEST_F(InterruptCli, InterruptedLinkLeavesNoResponseFile) {
  // A link too long for the shell reads its objects from a response file in TMPDIR.
  const std::string linker = tools + "/ld";
  write_script(linker, "ls \"$TMPDIR\" >> \"$TOOLS/log\"\nkill -INT 0\nsleep 5\n");
  std::vector<std::string> objects;
  for (int i = 0; i < 4000; ++i)
    objects.push_back("an-object-whose-name-makes-the-link-long-" + std::to_string(i) + ".o");
  started_program program = start(objects, linker);
  process_result r = wait_program(program);
  EXPECT_EQ(SIGINT, r.signal) << r.status << r.err;
  EXPECT_EQ(0u, read_file(tools + "/log").find("zrvbuild-"));
  EXPECT_EQ(std::vector<std::string>{}, entries_of(tmp));
}

TEST_F(InterruptCli, CommandEndedByOtherSignalKeepsItsStatus) {
  // Only an interruption ends the run by a signal; a compiler that crashes fails as before.
  const std::string compiler = tools + "/cc";
  write_script(compiler, "echo ran >> \"$TOOLS/log\"\nkill -TERM $$\n");
  started_program program = start({"-c", "a.c", "b.c"}, compiler);
  process_result r = wait_program(program);
  EXPECT_EQ(0, r.signal);
  EXPECT_NE(0, r.status);
  EXPECT_EQ("ran\n", read_file(tools + "/log"));
}

// SIGINT to the process group, SIGTERM to zrvbuild alone and SIGKILL at random moments of a
// -M run whose compiler writes long output slowly: every dependency file is absent or
// complete, and after SIGINT or SIGTERM no temporary is left.
TEST_F(InterruptCli, KilledAtRandomMomentsNeverLeavesATruncatedFile) {
  const std::string compiler = tools + "/cc";
  write_script(compiler, slow_dependency_compiler);
  const std::vector<std::string> args = {"-M", "a.c", "b.c", "c.c", "d.c"};
  started_program whole_run = start(args, compiler);
  process_result r = wait_program(whole_run);
  ASSERT_EQ(0, r.status) << r.err;
  std::vector<std::pair<std::string, std::string>> complete;
  for (const char* name : {"a.d", "b.d", "c.d", "d.d"})
    complete.emplace_back(name, read_file(work + "/" + name));
  expect_killed_runs_leave_whole_files([&] { return start(args, compiler); }, work, complete, 700);
}

}  // namespace
