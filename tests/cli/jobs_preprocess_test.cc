// The module scan of parallel Fortran jobs through the real program, with a fake compiler: which
// sources are preprocessed (those the preprocessor can change) and with what command, the order read from the preprocessed text, the
// conservative rule after a failing preprocess or a missing include, the private capture files,
// the bound on commands at once, and the sequential and dry runs that preprocess nothing.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/meeting_tools.h"
#include "support/process.h"
#include "support/scratch.h"
#include "support/tools.h"

namespace {

struct interval {
  long long start = -1;
  long long end = -1;
};

// A scratch directory with a fake Fortran compiler "fc". With -E it logs its arguments to
// preprocess.log, where its standard output goes (and that directory's mode) to captures.log,
// "start E:SRC TIME" and "end E:SRC TIME" to times.log, sleeps 0.2 s (or the seconds in E.delay;
// or, with E.meet holding "GROUP TOTAL", waits until the (K rounded up to a multiple of GROUP)-th
// or the TOTAL-th preprocess has started, K its own place among them), prints SRC.pp (or SRC when
// there is none), complains on standard error and exits with the status in SRC.ppfail (0 by
// default). Otherwise it is a compile: "start OUT TIME" and "end OUT TIME", a sleep of 0.3 s,
// SRC written into OUT; with OUT.await naming another output, instead of the sleep a wait (two
// minutes at most) until that one has started, so that two compiles that run side by side show
// it by the order of the log's lines, at any speed.
struct fake_fortran {
  scratch_dir dir;
  std::vector<std::string> env;

  fake_fortran() {
    mkdir(dir.path("bin").c_str(), 0755);
    mkdir(dir.path("tmp").c_str(), 0700);
    const std::string body =
        "cd '" + dir.root +
        "' || exit 9\n"
        "out=; src=; prev=; mode=c\n"
        "for a in \"$@\"; do [ \"$a\" = -E ] && mode=E;"
        " if [ \"$prev\" = -o ]; then out=$a; fi;"
        " case $a in -*) ;; *) [ \"$prev\" = -o ] || src=$a;; esac; prev=$a; done\n"
        "if [ $mode = E ]; then\n"
        "  echo \"$*\" >> preprocess.log\n"
        "  capture=$(readlink /proc/$$/fd/1)\n"
        "  echo \"$capture $(stat -c %a \"${capture%/*}\")\" >> captures.log\n"
        "  echo \"start E:$src $(date +%s%N)\" >> times.log\n"
        "  echo 'fc: a warning the compile gives again' >&2\n"
        "  if [ -f E.meet ]; then\n" +
        wait_for_group_lines("E.meet", "times.log", "$2 ~ /^E:/", "$2 == \"E:'\"$src\"'\"") +
        "  else\n"
        "    delay=0.2; [ -f E.delay ] && delay=$(cat E.delay)\n"
        "    sleep \"$delay\"\n"
        "  fi\n"
        "  if [ -f \"$src.pp\" ]; then cat \"$src.pp\"; else cat \"$src\"; fi\n"
        "  status=0; [ -f \"$src.ppfail\" ] && status=$(cat \"$src.ppfail\")\n"
        "  echo \"end E:$src $(date +%s%N)\" >> times.log\n"
        "  exit \"$status\"\n"
        "fi\n"
        "echo \"start $out $(date +%s%N)\" >> times.log\n"
        "if [ -f \"$out.await\" ]; then\n" + wait_for_start_lines("\"$out.await\"", "times.log") +
        "else\n"
        "  sleep 0.3\n"
        "fi\n"
        "echo \"$src\" > \"$out\"\n"
        "echo \"end $out $(date +%s%N)\" >> times.log\n";
    write_script(dir.path("bin/fc"), body);
    env = {"PATH=" + dir.path("bin") + ":/usr/bin:/bin", "F77=fc", "TMPDIR=" + dir.path("tmp")};
  }

  void write(const std::map<std::string, std::string>& files) const {
    for (const auto& file : files) {
      const std::string::size_type slash = file.first.rfind('/');
      if (slash != std::string::npos)
        mkdir(dir.path(file.first.substr(0, slash)).c_str(), 0755);
      write_file(dir.path(file.first), file.second);
    }
  }

  process_result run(const std::vector<std::string>& args,
                     const std::vector<std::string>& extra = {}) const {
    std::vector<std::string> environment = env;
    environment.insert(environment.end(), extra.begin(), extra.end());
    return run_zrvbuild(args, environment, dir.root);
  }

  std::vector<std::string> lines_of(const std::string& name) const {
    std::vector<std::string> lines;
    if (!file_exists(dir.path(name)))
      return lines;
    std::istringstream text(read_file(dir.path(name)));
    for (std::string line; std::getline(text, line);)
      lines.push_back(line);
    return lines;
  }

  // A start or an end is its line's number in the log: each command writes its start before it
  // waits and its end after, so the order of the lines is the order of the events.
  std::map<std::string, interval> intervals() const {
    std::map<std::string, interval> all;
    std::istringstream log(read_file(dir.path("times.log")));
    std::string word, name, time;
    for (long long number = 0; log >> word >> name >> time; ++number)
      (word == "start" ? all[name].start : all[name].end) = number;
    return all;
  }
};

// A text with a directive, so that the module scan runs the preprocessor on it.
const char* const directive_text = "#define ONE 1\n      X = ONE\n";

std::vector<std::string> words_of(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string word; in >> word;)
    words.push_back(word);
  return words;
}

// The preprocessor command expected for a compile command that zrvbuild -n prints: -E in place
// of -c, no -o OBJECT, as the fake compiler logs its arguments.
std::string preprocess_arguments(const std::string& compile) {
  std::string command = compile;
  command.replace(command.find(" -c "), 4, " -E ");
  command.erase(command.rfind(" -o "));
  std::vector<std::string> words = words_of(command);
  words.erase(words.begin());
  std::string joined;
  for (const std::string& word : words)
    joined += (joined.empty() ? "" : " ") + word;
  return joined;
}

bool overlap(const interval& a, const interval& b) {
  return a.start < b.end && b.start < a.end;
}

bool directory_is_empty(const std::string& path) {
  DIR* dir = opendir(path.c_str());
  if (dir == nullptr)
    return false;
  std::size_t entries = 0;
  while (readdir(dir) != nullptr)
    ++entries;
  closedir(dir);
  return entries == 2;
}

}  // namespace

TEST(JobsPreprocess, TheCompileCommandWithMinusEForPreprocessedSourcesOnly) {
  const struct {
    const char* name;
    std::vector<std::string> flags;
    std::vector<std::string> preprocessed;
  } cases[] = {
      // b.F90 and c.f90 name no macro (x is not X) and hold no directive: the preprocessor
      // cannot change them, so they are read as they stand.
      {"by the name", {}, {"a.F", "sub/e.F"}},
      {"-cpp", {"-cpp"}, {"a.F", "d.f", "sub/e.F"}},
      {"-nocpp after -cpp", {"-cpp", "-nocpp"}, {}},
  };
  for (const auto& c : cases) {
    fake_fortran fortran;
    fortran.write({{"a.F", "      X = 1\n"},
                   {"b.F90", "x = 1\n"},
                   {"c.f90", "x = 1\n"},
                   {"d.f", "      X = 1\n"},
                   {"sub/e.F", "      X = 1\n"}});
    std::vector<std::string> args = {"-c", "-Iinc", "-idirafter", "late", "-DX=1", "-O1"};
    args.insert(args.end(), c.flags.begin(), c.flags.end());
    for (const char* source : {"a.F", "b.F90", "c.f90", "d.f", "sub/e.F"})
      args.push_back(source);
    const std::vector<std::string> flags = {"FPICFLAG=-fpic", "FFLAGS=-ffoo"};
    std::vector<std::string> dry_args = args;
    dry_args.insert(dry_args.begin(), "-n");
    const process_result dry = fortran.run(dry_args, flags);
    ASSERT_EQ(0, dry.status) << dry.err;
    std::map<std::string, std::string> expected_by_source;
    std::istringstream lines(dry.out);
    for (std::string line; std::getline(lines, line);) {
      for (const std::string& source : c.preprocessed) {
        if (line.find(" " + source + " -o ") != std::string::npos)
          expected_by_source[source] = preprocess_arguments(line);
      }
    }
    std::vector<std::string> expected;
    for (const std::string& source : c.preprocessed)
      expected.push_back(expected_by_source[source]);

    std::vector<std::string> parallel_flags = flags;
    parallel_flags.push_back("ZRVBUILD_JOBS=2");
    const process_result r = fortran.run(args, parallel_flags);
    ASSERT_EQ(0, r.status) << c.name << r.err;
    EXPECT_EQ("", r.out) << c.name;
    EXPECT_EQ("", r.err) << c.name;
    std::vector<std::string> logged = fortran.lines_of("preprocess.log");
    std::sort(logged.begin(), logged.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, logged) << c.name;
  }
}

TEST(JobsPreprocess, OnlyWhereThePreprocessorCanChangeTheScan) {
  fake_fortran fortran;
  const struct {
    const char* source;
    const char* text;
    bool preprocessed;
  } cases[] = {
      {"plain.F", "      SUBROUTINE P\n      USE M\n      END\n", false},
      {"comment.F", "*>  e.g. __func__\n      SUBROUTINE Q\n      END\n", false},
      {"free.F90", "module m\n! _LP64 in a comment\nend module\n", false},
      {"directive.F90", "#ifdef Y\nuse m\n#endif\n", true},
      {"predefined.F90", "use m\nx = _LP64\n", true},
      {"defined.F", "      USE DEF\n", true},
      {"c_comment.F90", "! reads data/*.txt\nuse m\n", true},
      {"splice.F90", "x = 1 \\\nuse m\n", true},
  };
  std::vector<std::string> args = {"-c", "-DDEF=m"};
  std::vector<std::string> expected;
  for (const auto& c : cases) {
    fortran.write({{c.source, c.text}});
    args.push_back(c.source);
    if (c.preprocessed)
      expected.push_back(c.source);
  }
  const process_result r = fortran.run(args, {"ZRVBUILD_JOBS=2"});
  ASSERT_EQ(0, r.status) << r.err;
  std::vector<std::string> logged;
  for (const std::string& line : fortran.lines_of("preprocess.log"))
    logged.push_back(words_of(line).back());
  std::sort(logged.begin(), logged.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(expected, logged);
}

TEST(JobsPreprocess, SequentialAndDryRunsPreprocessNothing) {
  fake_fortran fortran;
  fortran.write({{"u.F90", "#ifdef X\nuse m\n#endif\n"}, {"m.F", "      MODULE M\n      END\n"}});
  const std::vector<std::string> args = {"-c", "u.F90", "m.F"};
  const process_result sequential = fortran.run(args);
  ASSERT_EQ(0, sequential.status) << sequential.err;
  std::vector<std::string> dry_args = args;
  dry_args.insert(dry_args.begin(), "-n");
  const process_result dry = fortran.run(dry_args);
  const process_result parallel_dry = fortran.run(dry_args, {"ZRVBUILD_JOBS=4"});
  EXPECT_EQ(dry.out, parallel_dry.out);
  EXPECT_EQ(dry.err, parallel_dry.err);
  EXPECT_EQ(0, parallel_dry.status);
  EXPECT_FALSE(file_exists(fortran.dir.path("preprocess.log")));
  EXPECT_EQ((std::vector<std::string>{"u.o", "m.o"}), [&fortran] {
    std::vector<std::string> started;
    for (const std::string& line : fortran.lines_of("times.log")) {
      if (line.compare(0, 6, "start ") == 0)
        started.push_back(words_of(line)[1]);
    }
    return started;
  }());
}

TEST(JobsPreprocess, OrderFromThePreprocessedText) {
  fake_fortran fortran;
  // Before preprocessing each source hides what it uses or defines; the preprocessed text says.
  fortran.write({{"u.F90", "#ifdef HAVE_M\n  use m\n#endif\n"},
                 {"u.F90.pp", "# 1 \"u.F90\"\n\n  use m\n\n"},
                 {"p.F90", "#ifdef Z\n#endif\nsubroutine p\nend\n"},
                 {"p.F90.pp", "# 1 \"p.F90\"\n\n\nsubroutine p\nend\n"},
                 {"m.F90", "#define NAME m\nmodule NAME\nend module\n"},
                 {"m.F90.pp", "# 1 \"m.F90\"\n\nmodule m\nend module\n"},
                 {"m.o.await", "p.o"}});
  const process_result r = fortran.run({"-c", "u.F90", "p.F90", "m.F90"}, {"ZRVBUILD_JOBS=3"});
  ASSERT_EQ(0, r.status) << r.err;
  std::map<std::string, interval> all = fortran.intervals();
  ASSERT_EQ(6u, all.size());
  EXPECT_GE(all["u.o"].start, all["m.o"].end);
  // Nothing else waits: p.o runs beside m.o.
  EXPECT_TRUE(overlap(all["p.o"], all["m.o"]));
  // Every preprocess ran before any compile.
  for (const char* source : {"u.F90", "p.F90", "m.F90"}) {
    const interval& preprocess = all[std::string("E:") + source];
    EXPECT_LE(preprocess.end, all["u.o"].start) << source;
    EXPECT_LE(preprocess.end, all["p.o"].start) << source;
    EXPECT_LE(preprocess.end, all["m.o"].start) << source;
  }
}

TEST(JobsPreprocess, ConservativeWhereTheTextSaysTooLittle) {
  const struct {
    const char* name;
    std::map<std::string, std::string> files;
    std::vector<std::string> args;
    std::string waiting;
    std::string awaited;
    std::string free;  // runs beside awaited
  } cases[] = {
      {"a failing preprocess: a user of an unknown module waits for it",
       {{"u.f90", "  use m\n"},
        {"p.f90", "subroutine p\nend\n"},
        {"m.F90", "#define NAME m\nmodule NAME\nend module\n"},
        {"m.F90.ppfail", "1"}},
       {"-c", "u.f90", "p.f90", "m.F90"},
       "u.o",
       "m.o",
       "p.o"},
      {"a failing preprocess of a source without directives: the same",
       {{"u.f90", "  use m\n"},
        {"p.f90", "subroutine p\nend\n"},
        {"m.F90", "module NAME\nend module\n"},
        {"m.F90.ppfail", "1"}},
       {"-c", "-DNAME=m", "u.f90", "p.f90", "m.F90"},
       "u.o",
       "m.o",
       "p.o"},
      {"a failing preprocess: it waits for every module's definer",
       {{"u.F90", "#ifdef X\n#endif\n  call q\n"},
        {"u.F90.ppfail", "2"},
        {"p.f90", "subroutine p\nend\n"},
        {"m.f90", "module m\nend module\n"}},
       {"-c", "u.F90", "p.f90", "m.f90"},
       "u.o",
       "m.o",
       "p.o"},
      {"an include followed through -I",
       {{"u.f90", "  include 'uses_m.inc'\n"},
        {"inc/uses_m.inc", "  use m\n"},
        {"p.f90", "subroutine p\nend\n"},
        {"m.f90", "module m\nend module\n"}},
       {"-c", "-Iinc", "u.f90", "p.f90", "m.f90"},
       "u.o",
       "m.o",
       "p.o"},
      {"a missing include: it waits for every module's definer",
       {{"u.f90", "  include 'missing.inc'\n"},
        {"p.f90", "subroutine p\nend\n"},
        {"m.f90", "module m\nend module\n"}},
       {"-c", "u.f90", "p.f90", "m.f90"},
       "u.o",
       "m.o",
       "p.o"},
      {"an include that is a fifo counts as missing",
       {{"u.f90", "  include 'fifo.inc'\n"},
        {"p.f90", "subroutine p\nend\n"},
        {"m.f90", "module m\nend module\n"}},
       {"-c", "u.f90", "p.f90", "m.f90"},
       "u.o",
       "m.o",
       "p.o"},
  };
  for (const auto& c : cases) {
    fake_fortran fortran;
    fortran.write(c.files);
    fortran.write({{c.awaited + ".await", c.free}});
    ASSERT_EQ(0, mkfifo(fortran.dir.path("fifo.inc").c_str(), 0600));
    const process_result r = fortran.run(c.args, {"ZRVBUILD_JOBS=3"});
    ASSERT_EQ(0, r.status) << c.name << r.err;
    std::map<std::string, interval> all = fortran.intervals();
    EXPECT_GE(all[c.waiting].start, all[c.awaited].end) << c.name;
    EXPECT_TRUE(overlap(all[c.free], all[c.awaited])) << c.name;
  }
}

TEST(JobsPreprocess, OutputReadThroughPipesWithoutTemporaries) {
  fake_fortran fortran;
  fortran.write({{"a.F", directive_text}, {"b.F90", directive_text}, {"c.F90", directive_text}});
  const process_result r = fortran.run({"-c", "a.F", "b.F90", "c.F90"}, {"ZRVBUILD_JOBS=2"});
  ASSERT_EQ(0, r.status) << r.err;
  const std::vector<std::string> captures = fortran.lines_of("captures.log");
  ASSERT_EQ(3u, captures.size());
  for (const std::string& capture : captures)
    EXPECT_EQ(0u, capture.find("pipe:")) << capture;
  EXPECT_TRUE(directory_is_empty(fortran.dir.path("tmp")));
  // And so no TMPDIR is needed: the scan reads the same text from a directory that is not there.
  for (std::string& entry : fortran.env) {
    if (entry.rfind("TMPDIR=", 0) == 0)
      entry = "TMPDIR=/nonexistent";
  }
  const process_result without = fortran.run({"-c", "a.F", "b.F90", "c.F90"}, {"ZRVBUILD_JOBS=2"});
  EXPECT_EQ(0, without.status) << without.err;
  EXPECT_EQ(6u, fortran.lines_of("captures.log").size());
}

TEST(JobsPreprocess, JobserverAndJobCountBoundThePreprocesses) {
  fake_fortran fortran;
  std::vector<std::string> args = {"-c"};
  for (const char* source : {"a.F", "b.F", "c.F", "d.F", "e.F", "f.F"}) {
    fortran.write({{source, directive_text}});
    args.push_back(source);
  }
  fortran.write({{"E.meet", "2 6"}});
  const std::string fifo = fortran.dir.path("jobserver");
  ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
  const int fd = open(fifo.c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(1, write(fd, "+", 1));
  const process_result r =
      fortran.run(args, {"ZRVBUILD_JOBS=4", "MAKEFLAGS=-j2 --jobserver-auth=fifo:" + fifo});
  ASSERT_EQ(0, r.status) << r.err;
  std::vector<std::pair<long long, int>> events;
  for (const auto& one : fortran.intervals()) {
    if (one.first.compare(0, 2, "E:") == 0) {
      events.push_back({one.second.start, 1});
      events.push_back({one.second.end, -1});
    }
  }
  ASSERT_EQ(12u, events.size());
  std::sort(events.begin(), events.end());
  int now = 0, most = 0;
  for (const auto& event : events)
    most = std::max(most, now += event.second);
  EXPECT_EQ(2, most);
  char tokens[4];
  EXPECT_EQ(1, read(fd, tokens, sizeof tokens));
  close(fd);
}

TEST(JobsPreprocess, InterruptedWhilePreprocessing) {
  const struct {
    int signal_number;
    bool to_the_group;
    std::size_t ended;  // preprocesses that ended before the run did
  } cases[] = {
      // Ctrl-C reaches the preprocessors too: they end at once, and so does the run.
      {SIGINT, true, 0},
      // A signal to zrvbuild alone lets the running ones finish; nothing more starts.
      {SIGTERM, false, 2},
  };
  for (const auto& c : cases) {
    fake_fortran fortran;
    fortran.write({{"E.delay", "3"},
                   {"a.F", directive_text},
                   {"b.F", directive_text},
                   {"c.F", directive_text},
                   {"d.F", directive_text}});
    std::vector<std::string> env = fortran.env;
    env.push_back("ZRVBUILD_JOBS=2");
    for (const std::string& entry : sanitizer_environment())
      env.push_back(entry);
    started_program program =
        start_program({ZRVBUILD_EXE, "-c", "a.F", "b.F", "c.F", "d.F"}, env, fortran.dir.root);
    // The signal comes once the first two preprocesses have started, however slowly they start.
    const auto preprocesses_started = [&fortran] {
      std::size_t count = 0;
      for (const std::string& line : fortran.lines_of("times.log"))
        count += line.compare(0, 8, "start E:") == 0;
      return count;
    };
    for (int waited = 0; waited < 1200 && preprocesses_started() < 2; ++waited)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    kill(c.to_the_group ? -program.pid : program.pid, c.signal_number);
    const process_result r = wait_program(program);
    EXPECT_EQ(c.signal_number, r.signal) << r.status << r.err;
    std::size_t started = 0, ended = 0;
    for (const std::string& line : fortran.lines_of("times.log")) {
      started += line.compare(0, 8, "start E:") == 0;
      ended += line.compare(0, 6, "end E:") == 0;
      EXPECT_NE(std::string::npos, line.find(" E:")) << "a compile started: " << line;
    }
    EXPECT_EQ(2u, started) << c.signal_number;
    EXPECT_EQ(c.ended, ended) << c.signal_number;
    EXPECT_TRUE(directory_is_empty(fortran.dir.path("tmp"))) << c.signal_number;
  }
}
