// Parallel jobs through the real program with fake tools that record when each command starts
// and ends: the bound on commands at once (ZRVBUILD_JOBS, make's jobserver), the order of
// writers of one file, failures, the link after the compiles, and what -v and -n print.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/meeting_tools.h"
#include "support/process.h"
#include "support/scratch.h"
#include "support/tools.h"

namespace {

struct interval {
  std::string output;
  long long start = -1;
  long long end = -1;
};

// A scratch directory with one fake tool under the names of every compiler and linker. The tool
// logs "start OUT TIME PID" and "end OUT TIME PID" (OUT the operand of its last -o), sleeps for
// the seconds in OUT.delay (0.3 by default), writes its source operand into OUT and exits with
// the status in OUT.fail (0 by default). Commands that must run at once show it by the order of
// the log's lines, at any speed, instead of sleeping: with a file "meet" holding "GROUP TOTAL"
// the K-th command to start ends only once the (K rounded up to a multiple of GROUP)-th, or the
// TOTAL-th, has started; with OUT.await holding another output, it ends only once that one has
// started. Either waits two minutes at most.
struct timed_tools {
  scratch_dir dir;
  std::vector<std::string> env;

  timed_tools() {
    mkdir(dir.path("bin").c_str(), 0755);
    const std::string pid = "'\"$$\"'";  // awk text: the shell's process id
    const std::string body =
        "log='" + dir.path("times.log") + "'; meet='" + dir.path("meet") + "'\n" +
        "out=; src=; prev=\n"
        "for a in \"$@\"; do if [ \"$prev\" = -o ]; then out=$a; fi;"
        " case $a in -*) ;; *) [ \"$prev\" = -o ] || src=$a;; esac; prev=$a; done\n"
        "echo \"start $out $(date +%s%N) $$\" >> \"$log\"\n"
        "if [ -f \"$meet\" ]; then\n" +
        wait_for_group_lines("\"$meet\"", "\"$log\"", "NF == 4", "$4 == " + pid) +
        "elif [ -f \"$out.await\" ]; then\n" + wait_for_start_lines("\"$out.await\"", "\"$log\"") +
        "else\n"
        "  delay=0.3; [ -f \"$out.delay\" ] && delay=$(cat \"$out.delay\")\n"
        "  sleep \"$delay\"\n"
        "fi\n"
        "echo \"$src\" > \"$out\"\n"
        "status=0; [ -f \"$out.fail\" ] && status=$(cat \"$out.fail\")\n"
        "echo \"end $out $(date +%s%N) $$\" >> \"$log\"\n"
        "exit \"$status\"\n";
    for (const char* tool : {"fc", "cc", "cxx", "ld"})
      write_script(dir.path("bin/") + tool, body);
    env = {"PATH=" + dir.path("bin") + ":/usr/bin:/bin", "F77=fc", "CC=cc", "CXX=cxx", "DL_LD=ld"};
  }

  void touch(const std::vector<std::string>& names) const {
    for (const std::string& name : names) {
      const std::string::size_type slash = name.rfind('/');
      if (slash != std::string::npos)
        mkdir(dir.path(name.substr(0, slash)).c_str(), 0755);
      write_file(dir.path(name), "");
    }
  }

  process_result run(const std::vector<std::string>& args,
                     const std::vector<std::string>& extra = {}) const {
    std::vector<std::string> environment = env;
    environment.insert(environment.end(), extra.begin(), extra.end());
    return run_zrvbuild(args, environment, dir.root);
  }

  // The commands' intervals in the order they started. A start or an end is its line's number
  // in the log: every command writes its start before it waits and its end after, so the order
  // of the lines is the order of the events.
  std::vector<interval> intervals() const {
    std::map<std::string, std::vector<std::size_t>> open;
    std::vector<interval> all;
    std::istringstream log(read_file(dir.path("times.log")));
    std::string line;
    for (long long number = 0; std::getline(log, line); ++number) {
      std::istringstream fields(line);
      std::string word, output;
      fields >> word >> output;
      if (word == "start") {
        open[output].push_back(all.size());
        all.push_back({output, number, -1});
      } else if (!open[output].empty()) {
        all[open[output].front()].end = number;
        open[output].erase(open[output].begin());
      }
    }
    return all;
  }

  // The compiles meet in groups (see the tool above).
  void meet_in_groups(int group, int total) const {
    write_file(dir.path("meet"), std::to_string(group) + " " + std::to_string(total));
  }
};

// The most commands that ran at one moment.
std::size_t most_at_once(const std::vector<interval>& all) {
  std::vector<std::pair<long long, int>> events;
  for (const interval& one : all) {
    events.push_back({one.start, 1});
    events.push_back({one.end, -1});
  }
  std::sort(events.begin(), events.end());
  int now = 0, most = 0;
  for (const auto& event : events)
    most = std::max(most, now += event.second);
  return static_cast<std::size_t>(most);
}

std::vector<std::string> outputs_of(const std::vector<interval>& all) {
  std::vector<std::string> names;
  for (const interval& one : all)
    names.push_back(one.output);
  return names;
}

const std::vector<std::string> six_sources = {"a.c", "b.c", "c.c", "d.cc", "e.cc", "f.f90"};

}  // namespace

TEST(JobsCli, NeverMoreThanNAtOnce) {
  for (int jobs : {2, 3}) {
    timed_tools tools;
    tools.touch(six_sources);
    tools.meet_in_groups(jobs, 6);
    process_result r = tools.run(six_sources, {"ZRVBUILD_JOBS=" + std::to_string(jobs)});
    ASSERT_EQ(0, r.status) << r.err;
    EXPECT_EQ("", r.out);
    const std::vector<interval> all = tools.intervals();
    ASSERT_EQ(7u, all.size());
    std::vector<interval> compiles(all.begin(), all.end() - 1);
    EXPECT_EQ(static_cast<std::size_t>(jobs), most_at_once(compiles)) << jobs;
    // The link starts after every compile has ended.
    EXPECT_EQ("a.zrv", all.back().output);
    for (const interval& compile : compiles)
      EXPECT_LE(compile.end, all.back().start);
  }
}

TEST(JobsCli, UnsetEmptyOrOneIsTheSequentialRun) {
  for (const char* setting : {"", "ZRVBUILD_JOBS=", "ZRVBUILD_JOBS=1"}) {
    timed_tools tools;
    tools.touch(six_sources);
    std::vector<std::string> args = {"-v"};
    args.insert(args.end(), six_sources.begin(), six_sources.end());
    process_result r = tools.run(args, {setting});
    ASSERT_EQ(0, r.status) << r.err;
    const std::vector<interval> all = tools.intervals();
    EXPECT_EQ((std::vector<std::string>{"f.o", "a.o", "b.o", "c.o", "d.o", "e.o", "a.zrv"}),
              outputs_of(all));
    EXPECT_EQ(1u, most_at_once(all)) << setting;
  }
}

TEST(JobsCli, DryRunAndVerboseLines) {
  timed_tools tools;
  tools.touch(six_sources);
  std::vector<std::string> args = {"-n"};
  args.insert(args.end(), six_sources.begin(), six_sources.end());
  const process_result sequential = tools.run(args);
  const process_result parallel = tools.run(args, {"ZRVBUILD_JOBS=4"});
  EXPECT_EQ(sequential.out, parallel.out);
  EXPECT_EQ(sequential.err, parallel.err);
  EXPECT_EQ(0, parallel.status);
  EXPECT_FALSE(file_exists(tools.dir.path("times.log")));

  // -v: every command once, each on a line of its own, the link last.
  args[0] = "-v";
  const process_result verbose = tools.run(args, {"ZRVBUILD_JOBS=4"});
  ASSERT_EQ(0, verbose.status) << verbose.err;
  std::vector<std::string> expected, shown;
  std::istringstream dry(sequential.out), echoed(verbose.out);
  for (std::string line; std::getline(dry, line);)
    expected.push_back(line);
  for (std::string line; std::getline(echoed, line);)
    shown.push_back(line);
  ASSERT_EQ(expected.size(), shown.size()) << verbose.out;
  EXPECT_EQ(expected.back(), shown.back());
  std::sort(expected.begin(), expected.end());
  std::sort(shown.begin(), shown.end());
  EXPECT_EQ(expected, shown);
}

TEST(JobsCli, FirstFailureInSequentialOrderAndNoLink) {
  const struct {
    const char* name;
    std::map<std::string, std::string> files;
    int status;
  } cases[] = {
      {"failing middle source", {{"b.o.fail", "3"}, {"b.o.delay", "0.05"}}, 3},
      // c.o fails first in time; a.o, which comes first in sequential order, fails later.
      {"earlier source fails later",
       {{"a.o.fail", "5"}, {"a.o.delay", "0.6"}, {"c.o.fail", "4"}, {"c.o.delay", "0.05"}},
       5},
  };
  for (const auto& c : cases) {
    timed_tools tools;
    tools.touch({"a.c", "b.c", "c.c", "d.c", "e.c", "f.c"});
    for (const auto& file : c.files)
      write_file(tools.dir.path(file.first), file.second);
    process_result r = tools.run({"a.c", "b.c", "c.c", "d.c", "e.c", "f.c"}, {"ZRVBUILD_JOBS=2"});
    EXPECT_EQ(c.status, r.status) << c.name << r.err;
    const std::vector<std::string> ran = outputs_of(tools.intervals());
    EXPECT_EQ(ran.end(), std::find(ran.begin(), ran.end(), "a.zrv")) << c.name;
    // Nothing starts after the failure: the sources after the running pair stay uncompiled.
    EXPECT_EQ(ran.end(), std::find(ran.begin(), ran.end(), "e.o")) << c.name;
    EXPECT_EQ(ran.end(), std::find(ran.begin(), ran.end(), "f.o")) << c.name;
  }
}

TEST(JobsCli, WritersOfOneFileOneAfterAnother) {
  const struct {
    const char* name;
    std::vector<std::string> args;
    std::string output;
    std::string last_source;
  } cases[] = {
      {"same base name", {"x/a.c", "y/a.c", "b.c", "z/a.cc"}, "a.o", "z/a.cc"},
      {"-c -o NAME", {"-c", "-o", "all.o", "p.c", "q.c", "r.cc"}, "all.o", "r.cc"},
  };
  for (const auto& c : cases) {
    timed_tools tools;
    std::vector<std::string> sources;
    for (const std::string& arg : c.args) {
      if (arg.find('.') != std::string::npos && arg != c.output)
        sources.push_back(arg);
    }
    tools.touch(sources);
    process_result r = tools.run(c.args, {"ZRVBUILD_JOBS=4", "CPICFLAG=-c1", "CXXPICFLAG=-c2"});
    ASSERT_EQ(0, r.status) << c.name << r.err;
    std::vector<interval> writers;
    for (const interval& one : tools.intervals()) {
      if (one.output == c.output)
        writers.push_back(one);
    }
    ASSERT_GE(writers.size(), 2u) << c.name;
    EXPECT_EQ(1u, most_at_once(writers)) << c.name;
    EXPECT_EQ(c.last_source + "\n", read_file(tools.dir.path(c.output))) << c.name;
  }
}

TEST(JobsCli, NotAPositiveWholeNumber) {
  for (const char* value : {"0", "x", "-1", " 2", "2.5", "+3"}) {
    timed_tools tools;
    tools.touch({"a.c"});
    process_result r = tools.run({"a.c"}, {std::string("ZRVBUILD_JOBS=") + value});
    EXPECT_EQ(1, r.status) << value;
    EXPECT_EQ("", r.out) << value;
    EXPECT_EQ(std::string("zrvbuild: ZRVBUILD_JOBS must be a positive whole number, not \"") +
                  value + "\"\n",
              r.err);
    EXPECT_FALSE(file_exists(tools.dir.path("times.log"))) << value;
  }
}

TEST(JobsCli, FifoJobserverBoundsTheJobs) {
  timed_tools tools;
  tools.touch(six_sources);
  const std::string fifo = tools.dir.path("jobserver");
  ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
  // Held open for reading and writing here, as make holds it; two tokens in it.
  const int fd = open(fifo.c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(2, write(fd, "++", 2));
  tools.meet_in_groups(3, 6);
  process_result r =
      tools.run(six_sources, {"ZRVBUILD_JOBS=6", "MAKEFLAGS=-j3 --jobserver-auth=fifo:" + fifo});
  ASSERT_EQ(0, r.status) << r.err;
  std::vector<interval> all = tools.intervals();
  all.pop_back();
  EXPECT_EQ(3u, most_at_once(all));
  // Every token came back.
  char tokens[8];
  EXPECT_EQ(2, read(fd, tokens, sizeof tokens));
  close(fd);
}

TEST(JobsCli, OneTokenKeepsTwoJobsRunning) {
  // make's own token and one from the fifo: when the first job ends while the second still
  // runs, the third starts at once, whichever job had taken the token.
  timed_tools tools;
  tools.touch({"a.c", "b.c", "c.c"});
  write_file(tools.dir.path("a.o.delay"), "0.1");
  write_file(tools.dir.path("b.o.await"), "c.o");
  write_file(tools.dir.path("c.o.delay"), "0.1");
  const std::string fifo = tools.dir.path("jobserver");
  ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
  const int fd = open(fifo.c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(1, write(fd, "+", 1));
  process_result r = tools.run({"-c", "a.c", "b.c", "c.c"},
                               {"ZRVBUILD_JOBS=3", "MAKEFLAGS=-j2 --jobserver-auth=fifo:" + fifo});
  ASSERT_EQ(0, r.status) << r.err;
  std::map<std::string, interval> by_output;
  for (const interval& one : tools.intervals())
    by_output[one.output] = one;
  ASSERT_EQ(3u, by_output.size());
  EXPECT_GE(by_output["c.o"].start, by_output["a.o"].end);
  EXPECT_LT(by_output["c.o"].start, by_output["b.o"].end);
  char tokens[4];
  EXPECT_EQ(1, read(fd, tokens, sizeof tokens));
  close(fd);
}

TEST(JobsCli, UnusableJobserverIsIgnored) {
  for (const char* makeflags : {"-j4 --jobserver-auth=fifo:/nonexistent/fifo",
                                "-j4 --jobserver-auth=57,58", "-j4 --jobserver-auth=0,1"}) {
    timed_tools tools;
    tools.touch(six_sources);
    tools.meet_in_groups(2, 6);
    process_result r =
        tools.run(six_sources, {"ZRVBUILD_JOBS=2", std::string("MAKEFLAGS=") + makeflags});
    ASSERT_EQ(0, r.status) << makeflags << r.err;
    EXPECT_EQ("", r.err) << makeflags;
    std::vector<interval> all = tools.intervals();
    all.pop_back();
    EXPECT_EQ(2u, most_at_once(all)) << makeflags;
  }
}

TEST(JobsCli, MakeJobserverBoundsTheJobs) {
  ZRV_NEED_TOOLS("make");
  timed_tools tools;
  tools.touch(six_sources);
  std::string sources;
  for (const std::string& source : six_sources)
    sources += " " + source;
  // Two other recipes keep make's -j3 busy beside zrvbuild for a while; zrvbuild's compiles
  // meet in threes, which they can only once those have ended and given their tokens back.
  tools.meet_in_groups(3, 6);
  write_file(tools.dir.path("Makefile"),
             "all: build side1 side2\n"
             "build:\n"
             "\t+ZRVBUILD_JOBS=8 " ZRVBUILD_EXE +
                 sources +
                 "\n"
                 "side1 side2:\n"
                 "\tsleep 0.2; echo \"start $@ $$(date +%s%N)\" >> times.log; sleep 1;"
                 " echo \"end $@ $$(date +%s%N)\" >> times.log\n");
  std::vector<std::string> env = tools.env;
  process_result r = run_program({find_tool("make"), "-j3", "-s"}, env, tools.dir.root);
  ASSERT_EQ(0, r.status) << r.out << r.err;
  std::vector<interval> all;
  for (const interval& one : tools.intervals()) {
    if (one.output != "a.zrv")
      all.push_back(one);
  }
  EXPECT_EQ(3u, most_at_once(all));
  EXPECT_EQ(8u, all.size());
}
