// Interrupting parallel jobs: no command starts after the signal, the commands that run end
// (by the terminal's signal, or on their own when the signal came to zrvbuild alone), then
// zrvbuild ends by the signal; dependency files are absent or complete and no temporary stays.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/kill_loop.h"
#include "support/process.h"
#include "support/scratch.h"

namespace {

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::string::size_type start = 0;
  for (std::string::size_type end; (end = text.find('\n', start)) != std::string::npos;
       start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

struct JobsInterruptCli : ::testing::Test {
  scratch_dir scratch;
  std::string tools = scratch.path("tools");
  std::string work = scratch.path("work");

  void SetUp() override {
    mkdir(tools.c_str(), 0755);
    mkdir(work.c_str(), 0755);
  }

  // zrvbuild with two jobs, in a process group of its own as a shell's foreground job.
  started_program start(const std::vector<std::string>& args, const std::string& compiler) {
    std::vector<std::string> argv = {ZRVBUILD_EXE};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> env = {"PATH=/usr/local/bin:/usr/bin:/bin",
                                    "CC=" + compiler,
                                    "CXX=" + compiler,
                                    "DL_LD=" + compiler,
                                    "TOOLS=" + tools,
                                    "ZRVBUILD_JOBS=2"};
    for (const std::string& entry : sanitizer_environment())
      env.push_back(entry);
    return start_program(argv, env, work);
  }
};

}  // namespace

TEST_F(JobsInterruptCli, NothingStartsAfterTheSignal) {
  // Each command logs its start, takes three seconds and logs its end.
  const std::string compiler = tools + "/cc";
  write_script(compiler, R"sh(for word; do case $word in *.c) source=$word ;; esac; done
echo "start $source" >> "$TOOLS/log"
sleep 3
echo "end $source" >> "$TOOLS/log"
echo "x.o: $source"
)sh");
  const struct {
    int signal_number;
    bool to_the_group;
    std::vector<std::string> args;
    const char* log;
  } cases[] = {
      // Ctrl-C reaches the commands too: they end at once, and so does the run.
      {SIGINT, true, {"a.c", "b.c", "c.c", "d.c"}, "start a.c\nstart b.c\n"},
      {SIGINT, true, {"-M", "a.c", "b.c", "c.c", "d.c"}, "start a.c\nstart b.c\n"},
      // A signal to zrvbuild alone lets the running commands finish.
      {SIGTERM,
       false,
       {"-c", "a.c", "b.c", "c.c", "d.c"},
       "start a.c\nstart b.c\nend a.c\nend b.c\n"},
      {SIGTERM,
       false,
       {"-M", "a.c", "b.c", "c.c", "d.c"},
       "start a.c\nstart b.c\nend a.c\nend b.c\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.signal_number) + " " + c.args[0]);
    std::filesystem::remove(tools + "/log");
    for (const auto& name : entries_of(work))
      std::filesystem::remove(work + "/" + name);
    started_program program = start(c.args, compiler);
    // The signal comes once both first commands have started, however slowly they start.
    for (int waited = 0; waited < 1200; ++waited) {
      std::ifstream log(tools + "/log");
      std::string line;
      int started = 0;
      while (std::getline(log, line))
        started += line.compare(0, 6, "start ") == 0;
      if (started >= 2)
        break;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    kill(c.to_the_group ? -program.pid : program.pid, c.signal_number);
    process_result r = wait_program(program);
    EXPECT_EQ(c.signal_number, r.signal) << r.status << r.err;
    // The two commands log their starts and ends in either order, the starts first.
    const std::vector<std::string> logged = lines_of(read_file(tools + "/log"));
    std::vector<std::string> expected = lines_of(c.log);
    ASSERT_EQ(expected.size(), logged.size());
    for (std::size_t i = 0; i < logged.size(); ++i)
      EXPECT_EQ(expected[i].substr(0, 4), logged[i].substr(0, 4)) << i;
    std::vector<std::string> sorted = logged;
    std::sort(sorted.begin(), sorted.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, sorted);
    // No dependency file of an interrupted run is put in place, and nothing hidden stays.
    EXPECT_EQ(std::vector<std::string>{}, entries_of(work));
  }
}

// SIGINT to the process group, SIGTERM to zrvbuild alone and SIGKILL at random moments of a
// parallel -M run whose compiler writes long output slowly: every dependency file is absent or
// complete, and after SIGINT or SIGTERM no temporary is left.
TEST_F(JobsInterruptCli, KilledAtRandomMomentsNeverLeavesATruncatedFile) {
  const std::string compiler = tools + "/cc";
  write_script(compiler, slow_dependency_compiler);
  const std::vector<std::string> args = {"-M", "a.c", "b.c", "c.c", "d.c", "e.c", "f.c"};
  started_program whole_run = start(args, compiler);
  process_result r = wait_program(whole_run);
  ASSERT_EQ(0, r.status) << r.err;
  std::vector<std::pair<std::string, std::string>> complete;
  for (const char* name : {"a.d", "b.d", "c.d", "d.d", "e.d", "f.d"})
    complete.emplace_back(name, read_file(work + "/" + name));
  EXPECT_EQ(std::vector<std::string>{}, hidden_in(work));
  expect_killed_runs_leave_whole_files([&] { return start(args, compiler); }, work, complete, 600);
}

TEST_F(JobsInterruptCli, ParallelDependencyFilesMatchTheSequentialOnes) {
  // Sources with one base name write one file: the one the sequential run leaves (the last).
  const std::string compiler = tools + "/cc";
  write_script(compiler, R"sh(for source; do :; done
sleep 0.1
echo "x.o: $source"
case $source in *fail*) exit 3 ;; esac
)sh");
  mkdir((work + "/p").c_str(), 0755);
  mkdir((work + "/q").c_str(), 0755);
  const std::vector<std::string> args = {"-M", "p/same.c", "fail.c", "q/same.c", "other.cc"};
  started_program program = start(args, compiler);
  process_result r = wait_program(program);
  EXPECT_EQ(3, r.status) << r.err;
  EXPECT_EQ("pic/x.o x.o same.d: q/same.c\n\n", read_file(work + "/same.d"));
  EXPECT_EQ("pic/x.o x.o fail.d: fail.c\n\n", read_file(work + "/fail.d"));
  EXPECT_EQ("pic/x.o x.o other.d: other.cc\n\n", read_file(work + "/other.d"));
  EXPECT_EQ(std::vector<std::string>{}, hidden_in(work));
}

// A run killed outright cleans nothing up, so a parallel run must make nothing to clean: with
// both commands running (each waits until the other has started), SIGKILL to the whole group
// leaves TMPDIR empty, for compiles, dependency files and the preprocessing of the module scan.
TEST_F(JobsInterruptCli, KilledRunLeavesNothingInTheTemporaryDirectory) {
  const std::string compiler = tools + "/cc";
  write_script(compiler, R"sh(for word; do case $word in *.c | *.F90) source=$word ;; esac; done
echo "start $source" >> "$TOOLS/log"
tries=0
while [ "$(grep -c start "$TOOLS/log")" -lt 2 ] && [ $tries -lt 600 ]; do
  sleep 0.05; tries=$((tries + 1))
done
echo "both $source" >> "$TOOLS/log"
sleep 30
)sh");
  const std::string temporary = scratch.path("tmp");
  mkdir(temporary.c_str(), 0755);
  for (const char* source : {"a.c", "b.c", "a.F90", "b.F90"})
    write_file(work + "/" + source, "");
  const std::vector<std::vector<std::string>> runs = {
      {"-c", "a.c", "b.c"}, {"-M", "a.c", "b.c"}, {"-c", "a.F90", "b.F90"}};
  for (const std::vector<std::string>& args : runs) {
    SCOPED_TRACE(args[0] + " " + args[1]);
    std::filesystem::remove(tools + "/log");
    std::vector<std::string> argv = {ZRVBUILD_EXE};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> env = {"PATH=/usr/local/bin:/usr/bin:/bin", "CC=" + compiler,
                                    "F77=" + compiler, "TOOLS=" + tools, "TMPDIR=" + temporary,
                                    "ZRVBUILD_JOBS=2"};
    for (const std::string& entry : sanitizer_environment())
      env.push_back(entry);
    started_program program = start_program(argv, env, work);
    // Until both commands have met, with a generous limit.
    for (int tries = 0; tries < 600; ++tries) {
      const std::string log = file_exists(tools + "/log") ? read_file(tools + "/log") : "";
      if (log.find("both") != std::string::npos)
        break;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_NE(std::string::npos, read_file(tools + "/log").find("both"));
    kill(-program.pid, SIGKILL);
    process_result r = wait_program(program);
    EXPECT_EQ(SIGKILL, r.signal);
    EXPECT_EQ(std::vector<std::string>{}, entries_of(temporary));
  }
}
