// Parallel jobs of the Windows zrvbuild.exe with fake tools that record when they start and end:
// never more than ZRVBUILD_JOBS at once, the link after every compile, and a dry run that prints
// what the sequential one prints.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/scratch.h"
#include "win32/win32_support.h"

namespace {

const std::vector<std::string> settings = {"CC=fakecc", "CXX=fakecc", "DL_LD=fakeld"};

// The most commands at once in a times log, counted in the order of its lines (each tool appends
// its start before it waits and its end after), and the ticks of the last end.
std::size_t most_at_once(const std::string& times, long long& last_end) {
  std::istringstream log(times);
  std::string line;
  int now = 0, most = 0;
  last_end = 0;
  while (std::getline(log, line)) {
    std::istringstream fields(line);
    std::string word, output;
    long long ticks = 0;
    fields >> word >> output >> ticks;
    if (word == "start") {
      most = std::max(most, ++now);
    } else if (word == "end") {
      --now;
      last_end = std::max(last_end, ticks);
    }
  }
  return static_cast<std::size_t>(most);
}

// The fake compiler's commands meet in groups of N: they show N at once by order, at any speed.
void meet_in_groups(const std::string& dir, int group, int total) {
  write_file(dir + "\\fakecc.meet", std::to_string(group) + " " + std::to_string(total));
}

}  // namespace

TEST(Win32Jobs, NeverMoreThanNAtOnceAndTheLinkLast) {
  scratch_dir dir;
  install_fake_tool(dir.root, "fakecc", 0);
  install_fake_tool(dir.root, "fakeld", 0);
  meet_in_groups(dir.root, 2, 5);
  write_file(dir.root + "\\fakeld.delay", "0");
  std::vector<std::string> env = settings;
  env.push_back("ZRVBUILD_JOBS=2");
  process_result run = run_zrvbuild({"a.c", "b.c", "c.cc", "d.cc", "e.c"}, env, dir.root);
  EXPECT_EQ(0, run.status) << run.err;
  EXPECT_EQ("", run.err);
  long long last_compile_end = 0, link_end = 0;
  EXPECT_EQ(2u, most_at_once(read_file(dir.root + "\\fakecc.times"), last_compile_end));
  const std::string link_times = read_file(dir.root + "\\fakeld.times");
  ASSERT_EQ(1u, most_at_once(link_times, link_end)) << link_times;
  std::istringstream link_start_line(link_times);
  std::string word, output;
  long long link_start = 0;
  link_start_line >> word >> output >> link_start;
  EXPECT_LE(last_compile_end, link_start);
  const std::string compiled = read_file(dir.root + "\\fakecc.log");
  std::size_t commands = 0;
  for (std::size_t at = compiled.find("--\n"); at != std::string::npos;
       at = compiled.find("--\n", at + 1)) {
    ++commands;
  }
  EXPECT_EQ(5u, commands);
}

TEST(Win32Jobs, FailureAndDryRun) {
  scratch_dir dir;
  install_fake_tool(dir.root, "fakecc", 4);
  const std::string linker_log = install_fake_tool(dir.root, "fakeld", 0);
  std::vector<std::string> env = settings;
  env.push_back("ZRVBUILD_JOBS=3");
  process_result failed = run_zrvbuild({"a.c", "b.c"}, env, dir.root);
  EXPECT_EQ(4, failed.status);
  EXPECT_EQ("", read_file(linker_log));

  const process_result sequential = run_zrvbuild({"-n", "a.c", "b.cc", "c.c"}, settings, dir.root);
  const process_result parallel = run_zrvbuild({"-n", "a.c", "b.cc", "c.c"}, env, dir.root);
  EXPECT_EQ(sequential.out, parallel.out);
  EXPECT_EQ(0, parallel.status);

  std::vector<std::string> bad = settings;
  bad.push_back("ZRVBUILD_JOBS=many");
  const process_result refused = run_zrvbuild({"a.c"}, bad, dir.root);
  EXPECT_EQ(1, refused.status);
  EXPECT_EQ("zrvbuild: ZRVBUILD_JOBS must be a positive whole number, not \"many\"\r\n",
            refused.err);
}

TEST(Win32Jobs, DependencyFilesAsInSequence) {
  std::string sequential[2];
  for (const char* jobs : {"ZRVBUILD_JOBS=1", "ZRVBUILD_JOBS=2"}) {
    scratch_dir dir;
    install_fake_tool(dir.root, "fakecc", 0, "obj/x.o: x.c \\\r\n  x.h\r\n");
    if (jobs[14] == '2') meet_in_groups(dir.root, 2, 2);
    std::vector<std::string> env = settings;
    env.push_back(jobs);
    process_result run = run_zrvbuild({"-M", "a.c", "b.cc"}, env, dir.root);
    EXPECT_EQ(0, run.status) << run.err;
    const std::string a = read_file(dir.root + "\\a.d"), b = read_file(dir.root + "\\b.d");
    EXPECT_EQ("pic/x.o x.o a.d: x.c \\\r\n  x.h\r\n\r\n", a);
    if (jobs[14] == '1') {
      sequential[0] = a;
      sequential[1] = b;
    } else {
      EXPECT_EQ(sequential[0], a);
      EXPECT_EQ(sequential[1], b);
      long long last_end = 0;
      EXPECT_EQ(2u, most_at_once(read_file(dir.root + "\\fakecc.times"), last_end));
    }
  }
}

TEST(Win32Jobs, SemaphoreJobserverBoundsTheJobs) {
  // make on Windows hands its recipes a named semaphore; one free token here.
  const std::string name = "zrvbuild_test_jobserver_" + std::to_string(GetCurrentProcessId());
  HANDLE semaphore = CreateSemaphoreA(nullptr, 1, 1, name.c_str());
  ASSERT_NE(nullptr, semaphore);
  scratch_dir dir;
  install_fake_tool(dir.root, "fakecc", 0);
  meet_in_groups(dir.root, 2, 4);
  std::vector<std::string> env = settings;
  env.push_back("ZRVBUILD_JOBS=4");
  env.push_back("MAKEFLAGS=-j2 --jobserver-auth=" + name);
  process_result run = run_zrvbuild({"-c", "a.c", "b.c", "c.c", "d.c"}, env, dir.root);
  EXPECT_EQ(0, run.status) << run.err;
  long long last_end = 0;
  EXPECT_EQ(2u, most_at_once(read_file(dir.root + "\\fakecc.times"), last_end));
  // The token came back.
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(semaphore, 0));
  CloseHandle(semaphore);
}
