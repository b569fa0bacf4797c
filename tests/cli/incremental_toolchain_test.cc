// Incremental builds (ZRVBUILD_INCREMENTAL=1) with the real GNU tool chain, configured by the
// GNU/Linux profile, against the stand-in environment: after each change exactly the commands
// it reaches run (-v tells which and why), the same with and without parallel jobs, and after
// a sequence of edits the module is byte for byte the module a clean build makes.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>
#include <sstream>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "build_constants.h"
#include "support/kill_loop.h"
#include "support/process.h"
#include "support/scratch.h"
#include "support/tools.h"

#ifdef ZRVBUILD_EXAMPLE_HOME

namespace {

const std::string record_name = ".zrvbuild-record";

const struct {
  const char* name;
  const char* text;
} project_sources[] = {
    {"my src/shared.h", "static inline int shared_value(void) { return 2; }\n"},
    {"my src/other.h", "#define OTHER_VALUE 3\n"},
    {"my src/alpha.c", "#include \"shared.h\"\nint alpha(void) { return shared_value(); }\n"},
    {"my src/beta.c", "#include \"other.h\"\nint beta(void) { return OTHER_VALUE; }\n"},
    {"gamma.cc",
     "extern \"C\" {\n#include \"my src/shared.h\"\n}\nint gamma_value() { return shared_value(); "
     "}\n"},
    {"consts.f90",
     "module consts\n  implicit none\n  integer, parameter :: width = 4\ncontains\n"
     "  integer function twice(x)\n    integer, intent(in) :: x\n    twice = 2 * x\n"
     "  end function\nend module\n"},
    {"user.f90",
     "subroutine user(x)\n  use consts\n  integer :: x\n  x = twice(width)\nend subroutine\n"},
    {"lone.f90", "subroutine lone(x)\n  integer :: x\n  x = 7\nend subroutine\n"},
};

const std::vector<std::string> build_arguments = {"consts.f90", "user.f90",   "lone.f90",
                                                  "my src/alpha.c", "my src/beta.c", "gamma.cc",
                                                  "-o", "my module"};
const std::vector<std::string> every_command = {"consts.f90",     "user.f90",      "lone.f90",
                                                "my src/alpha.c", "my src/beta.c", "gamma.cc",
                                                "link my module.zrv"};

long long now_seconds() { return static_cast<long long>(::time(nullptr)); }

// Sets a file's time to seconds from now, with a fraction, as most edits get.
void set_time(const std::string& path, long long seconds_from_now) {
  struct timespec times[2];
  times[0].tv_sec = static_cast<time_t>(now_seconds() + seconds_from_now);
  times[0].tv_nsec = 123456789;
  times[1] = times[0];
  ASSERT_EQ(0, utimensat(AT_FDCWD, path.c_str(), times, 0)) << path;
}

// An edit made a while ago, each at its own time: a test never waits for the clock.
void edit(const std::string& path, const std::string& text) {
  static long long age = 10000;
  write_file(path, text);
  set_time(path, -(age--));
}

struct project {
  scratch_dir dir;
  std::string jobs;
  project(const std::string& job_count) : jobs(job_count) {
    mkdir(dir.path("my src").c_str(), 0755);
    for (const auto& source : project_sources) edit(dir.path(source.name), source.text);
  }
  std::string path(const std::string& name) const { return dir.path(name); }

  // The argument vector and environment of a zrvbuild run in the project's directory.
  void command(std::vector<std::string>& argv, std::vector<std::string>& environment,
               const std::vector<std::string>& extra, bool incremental) const {
    // A program of the standard configuration takes the GNU/Linux settings from the profile.
    argv = {ZRVBUILD_EXE, "-v"};
    if (std::string(build_constants::configuration) == "standard") {
      argv = {"/bin/sh", "-c", ". \"$1\" && shift && exec \"$@\"", "sh", ZRVBUILD_PROFILE,
              ZRVBUILD_EXE, "-v"};
    }
    argv.insert(argv.end(), build_arguments.begin(), build_arguments.end());
    argv.insert(argv.end(), extra.begin(), extra.end());
    environment.push_back("PATH=/usr/local/bin:/usr/bin:/bin");
    environment.push_back(std::string("ZORVAN_HOME=") + ZRVBUILD_EXAMPLE_HOME);
    if (incremental) environment.push_back("ZRVBUILD_INCREMENTAL=1");
    environment.push_back("ZRVBUILD_JOBS=" + jobs);
  }

  process_result build(std::vector<std::string> environment = {},
                       const std::vector<std::string>& extra = {}, bool incremental = true) const {
    std::vector<std::string> argv;
    command(argv, environment, extra, incremental);
    return run_program(argv, environment, dir.root);
  }

  // An incremental build left running in a process group of its own.
  started_program start(const std::vector<std::string>& extra) const {
    std::vector<std::string> argv;
    std::vector<std::string> environment;
    command(argv, environment, extra, true);
    return start_program(argv, environment, dir.root);
  }
};

// The commands a -v run says it runs, in the order it says so: sources, and "link PRODUCT".
std::vector<std::string> commands_run(const std::string& out) {
  std::vector<std::string> run;
  std::size_t start = 0;
  while (start < out.size()) {
    std::size_t end = out.find('\n', start);
    if (end == std::string::npos) end = out.size();
    const std::string line = out.substr(start, end - start);
    start = end + 1;
    for (const char* verb : {"compiling ", "linking "}) {
      const std::string prefix = std::string("zrvbuild: ") + verb;
      if (line.compare(0, prefix.size(), prefix) != 0) continue;
      const std::string name = line.substr(prefix.size(), line.find(": ", prefix.size()) -
                                                              prefix.size());
      run.push_back(verb[0] == 'l' ? "link " + name : name);
    }
  }
  return run;
}

std::set<std::string> as_set(const std::vector<std::string>& names) {
  return std::set<std::string>(names.begin(), names.end());
}

// Builds and checks the status and exactly which commands ran.
void expect_built(const project& p, const std::vector<std::string>& expected,
                  std::vector<std::string> environment = {},
                  const std::vector<std::string>& extra = {}) {
  const process_result result = p.build(environment, extra);
  ASSERT_EQ(0, result.status) << result.out << result.err;
  EXPECT_EQ(as_set(expected), as_set(commands_run(result.out))) << result.out;
  EXPECT_TRUE(file_exists(p.path("my module.zrv")));
}

std::string text_of(const char* name) {
  for (const auto& source : project_sources) {
    if (std::string(source.name) == name) return source.text;
  }
  return "";
}

class IncrementalToolchain : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override { ZRV_NEED_TOOLS("gcc", "g++", "gfortran"); }
};

}  // namespace

TEST_P(IncrementalToolchain, EachChangeRebuildsExactlyWhatItReaches) {
  project p(GetParam());
  expect_built(p, every_command);
  {
    const process_result again = p.build();
    ASSERT_EQ(0, again.status) << again.err;
    EXPECT_TRUE(commands_run(again.out).empty()) << again.out;
    for (const char* output : {"consts.o", "user.o", "lone.o", "alpha.o", "beta.o", "gamma.o",
                               "my module.zrv"}) {
      EXPECT_NE(std::string::npos,
                again.out.find(std::string("zrvbuild: ") + output + " is up to date\n"))
          << again.out;
    }
  }
  // A header: exactly the sources that include it, and the link.
  edit(p.path("my src/shared.h"), "static inline int shared_value(void) { return 5; }\n");
  expect_built(p, {"my src/alpha.c", "gamma.cc", "link my module.zrv"});
  expect_built(p, {});
  // A module's body alone: gfortran leaves its module file as it was, so its users stay.
  edit(p.path("consts.f90"), std::string(text_of("consts.f90")).replace(
                                 text_of("consts.f90").find("2 * x"), 5, "3 * x"));
  expect_built(p, {"consts.f90", "link my module.zrv"});
  // Its interface: its users follow.
  edit(p.path("consts.f90"), std::string(text_of("consts.f90")).replace(
                                 text_of("consts.f90").find("width = 4"), 9, "width = 5"));
  expect_built(p, {"consts.f90", "user.f90", "link my module.zrv"});
  expect_built(p, {});
  // A deleted object.
  ASSERT_EQ(0, std::remove(p.path("beta.o").c_str()));
  expect_built(p, {"my src/beta.c", "link my module.zrv"});
  // A flag on the command line changes every command; an override of the C flags the C ones.
  expect_built(p, every_command, {}, {"-DEXTRA=1"});
  expect_built(p, {}, {}, {"-DEXTRA=1"});
  expect_built(p, every_command);
  expect_built(p, {"my src/alpha.c", "my src/beta.c", "link my module.zrv"},
               {"XTRA_CFLAGS=-Wall"});
  expect_built(p, {"my src/alpha.c", "my src/beta.c", "link my module.zrv"});
  // Without the mode nothing is read, every command runs, and the record stays as it was.
  const std::string record = read_file(p.path(record_name));
  const process_result plain = p.build({}, {}, false);
  ASSERT_EQ(0, plain.status) << plain.err;
  EXPECT_EQ(std::string::npos, plain.out.find("zrvbuild: ")) << plain.out;
  EXPECT_EQ(record, read_file(p.path(record_name)));
  expect_built(p, every_command);
}

TEST_P(IncrementalToolchain, AClockSetAheadIsNeverTrusted) {
  project p(GetParam());
  expect_built(p, every_command);
  set_time(p.path("my src/other.h"), 3600);
  // Every run rebuilds its user while its time lies ahead, and no other source.
  expect_built(p, {"my src/beta.c", "link my module.zrv"});
  expect_built(p, {"my src/beta.c", "link my module.zrv"});
  set_time(p.path("my src/other.h"), -20000);
  expect_built(p, {"my src/beta.c", "link my module.zrv"});
  expect_built(p, {});
}

TEST_P(IncrementalToolchain, ACompileErrorLeavesNothingThatWouldSkipIt) {
  project p(GetParam());
  expect_built(p, every_command);
  edit(p.path("my src/alpha.c"), "int alpha(void) { return }\n");
  for (int run = 0; run < 2; ++run) {
    const process_result broken = p.build();
    EXPECT_NE(0, broken.status);
    EXPECT_NE(std::string::npos, broken.out.find("zrvbuild: compiling my src/alpha.c: ")) << run;
    EXPECT_EQ(std::string::npos, broken.out.find("linking ")) << broken.out;
  }
  // The source back as it was, at a new time: compiled again, and the module follows.
  edit(p.path("my src/alpha.c"), text_of("my src/alpha.c"));
  const process_result fixed = p.build();
  ASSERT_EQ(0, fixed.status) << fixed.err;
  EXPECT_NE(std::string::npos, fixed.out.find("zrvbuild: compiling my src/alpha.c: ")) << fixed.out;
}

// A record that is not whole, or not ours, is no record: everything is rebuilt.
TEST_P(IncrementalToolchain, ADamagedRecordRebuildsEverything) {
  project p(GetParam());
  expect_built(p, every_command);
  const std::string whole = read_file(p.path(record_name));
  const std::vector<std::string> damaged = {
      whole.substr(0, whole.size() / 2), whole.substr(0, whole.size() - 1), "",
      "zrvbuild build record 0\nend 0\n", "all:\n\ttrue\n",
      std::string(whole).replace(whole.find("\nmade ") + 6, 1, "x")};
  for (const std::string& text : damaged) {
    write_file(p.path(record_name), text);
    const process_result result = p.build();
    ASSERT_EQ(0, result.status) << result.err;
    EXPECT_EQ(as_set(every_command), as_set(commands_run(result.out))) << text;
    EXPECT_NE(std::string::npos, result.out.find("zrvbuild: .zrvbuild-record cannot be read"));
  }
  expect_built(p, {});
}

// The module is the one a clean build makes, byte for byte. The clean build runs in the same
// directory (the debugging information names it), made afresh with the sources alone while the
// incremental build's directory is set aside whole, so that none of its files is touched.
void expect_clean_build_at_the_same_path(const std::string& root,
                                         const std::vector<std::string>& sources,
                                         const std::string& product,
                                         const std::function<process_result()>& clean_build,
                                         const std::string& after) {
  const std::string module = read_file(root + "/" + product);
  const std::string kept = root + ".kept";
  ASSERT_EQ(0, std::rename(root.c_str(), kept.c_str()));
  ASSERT_EQ(0, mkdir(root.c_str(), 0755));
  for (const std::string& name : sources) {
    const std::string::size_type slash = name.rfind('/');
    if (slash != std::string::npos) mkdir((root + "/" + name.substr(0, slash)).c_str(), 0755);
    write_file(root + "/" + name, read_file(kept + "/" + name));
  }
  const process_result clean = clean_build();
  EXPECT_EQ(0, clean.status) << clean.err;
  EXPECT_TRUE(module == read_file(root + "/" + product)) << after;
  ASSERT_EQ(0, std::system(("rm -rf '" + root + "'").c_str()));
  ASSERT_EQ(0, std::rename(kept.c_str(), root.c_str()));
}

void expect_module_of_a_clean_build(const project& p, const std::string& after) {
  std::vector<std::string> sources;
  for (const auto& source : project_sources) sources.push_back(source.name);
  expect_clean_build_at_the_same_path(
      p.dir.root, sources, "my module.zrv", [&p]() { return p.build({}, {}, false); }, after);
}

const std::vector<std::pair<std::string, std::string>> edit_sequence = {
    {"my src/shared.h", "static inline int shared_value(void) { return 11; }\n"},
    {"consts.f90", "module consts\n  implicit none\n  integer, parameter :: width = 9\n"
                   "contains\n  integer function twice(x)\n    integer, intent(in) :: x\n"
                   "    twice = x + x\n  end function\nend module\n"},
    {"lone.f90", "subroutine lone(x)\n  integer :: x\n  x = 8\nend subroutine\n"},
    {"my src/other.h", "#define OTHER_VALUE (4 + 1)\n"},
    {"gamma.cc", "extern \"C\" {\n#include \"my src/other.h\"\n}\n"
                 "int gamma_value() { return OTHER_VALUE; }\n"},
    {"my src/shared.h", "static inline int shared_value(void) { return 12; }\n"},
};

// After any sequence of edits the module is the one a clean build makes, byte for byte.
TEST_P(IncrementalToolchain, ModuleIsTheCleanBuildsAfterEveryEdit) {
  project p(GetParam());
  expect_built(p, every_command);
  for (const auto& [name, text] : edit_sequence) {
    edit(p.path(name), text);
    const process_result incremental = p.build();
    ASSERT_EQ(0, incremental.status) << incremental.err;
    expect_module_of_a_clean_build(p, "after editing " + name);
  }
}

// Runs ended at random moments (a Ctrl-C to the process group, SIGTERM to zrvbuild alone,
// whose compiler then runs to its end, or SIGKILL to the group), each after an edit and with
// other flags, so that what they leave half made would be wrong if it were kept: the next run
// rebuilds whatever they had not finished, its module is a clean build's, and the run after
// it is a no-op.
TEST_P(IncrementalToolchain, InterruptedRunsLeaveNothingThatWouldBeSkipped) {
  project p(GetParam());
  const auto began = std::chrono::steady_clock::now();
  expect_built(p, every_command);
  const int whole_build_ms = static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                            began)
          .count());
  kill_at_random_moments(
      9, whole_build_ms,
      [&](int round) {
        const auto& [name, text] = edit_sequence[round % edit_sequence.size()];
        edit(p.path(name), text + "\n");
        return p.start({"-g"});
      },
      [&](int signal_number) {
        expect_no_temporaries_left(p.dir.root, signal_number, {record_name, record_name + ".lock"});
        const process_result next = p.build();
        ASSERT_EQ(0, next.status) << next.out << next.err;
        expect_module_of_a_clean_build(p, "after the next run");
        const process_result again = p.build();
        ASSERT_EQ(0, again.status) << again.err;
        EXPECT_TRUE(commands_run(again.out).empty()) << again.out;
      });
}

// Edits that leave a file's size and modification time as they were: the content changed and
// the time set back, and a header that is a link pointed at another file of the same size and
// time. Each rebuilds what reads it, and the module is the clean build's.
TEST_P(IncrementalToolchain, RestoredTimesAndRetargetedLinksShow) {
  project p(GetParam());
  write_file(p.path("my src/other one.h"), "#define OTHER_VALUE 5\n");
  write_file(p.path("my src/other two.h"), "#define OTHER_VALUE 6\n");
  struct timespec times[2] = {{1600000000, 123}, {1600000000, 123}};
  for (const char* name : {"my src/other one.h", "my src/other two.h"})
    ASSERT_EQ(0, utimensat(AT_FDCWD, p.path(name).c_str(), times, 0));
  ASSERT_EQ(0, std::remove(p.path("my src/other.h").c_str()));
  ASSERT_EQ(0, symlink("other one.h", p.path("my src/other.h").c_str()));
  expect_built(p, every_command);
  ASSERT_EQ(0, std::remove(p.path("my src/other.h").c_str()));
  ASSERT_EQ(0, symlink("other two.h", p.path("my src/other.h").c_str()));
  expect_built(p, {"my src/beta.c", "link my module.zrv"});
  expect_module_of_a_clean_build(p, "after the link was pointed elsewhere");
  // Same size, the old time put back.
  struct stat before {};
  ASSERT_EQ(0, stat(p.path("my src/alpha.c").c_str(), &before));
  const std::string same_size =
      "#include \"shared.h\"\nint alpha(void){return shared_value()+1;} \n";
  ASSERT_EQ(static_cast<std::size_t>(before.st_size), same_size.size());
  write_file(p.path("my src/alpha.c"), same_size);
  struct timespec old_times[2] = {before.st_mtim, before.st_mtim};
  ASSERT_EQ(0, utimensat(AT_FDCWD, p.path("my src/alpha.c").c_str(), old_times, 0));
  expect_built(p, {"my src/alpha.c", "link my module.zrv"});
  expect_built(p, {});
}

// The environment that changes what the compilers read is part of each command's record.
TEST_P(IncrementalToolchain, TheToolEnvironmentIsRecorded) {
  project p(GetParam());
  mkdir(p.path("inc1").c_str(), 0755);
  edit(p.path("inc1/extra.h"), "#define EXTRA_VALUE 1\n");
  expect_built(p, every_command);
  const process_result set = p.build({"CPATH=" + p.path("inc1")});
  ASSERT_EQ(0, set.status) << set.err;
  EXPECT_EQ(as_set(every_command), as_set(commands_run(set.out))) << set.out;
  EXPECT_NE(std::string::npos, set.out.find("zrvbuild: compiling my src/alpha.c: CPATH changed\n"))
      << set.out;
  expect_built(p, {}, {"CPATH=" + p.path("inc1")});
  expect_built(p, every_command, {"CPATH=" + p.path("inc1"), "SOURCE_DATE_EPOCH=1"});
  expect_built(p, every_command);
  expect_built(p, {});
}

// A -v run of zrvbuild with these words in root, with the GNU/Linux settings where the standard
// configuration needs them.
process_result build_in(const std::string& root, const std::vector<std::string>& words,
                        const std::string& jobs, bool incremental) {
  std::vector<std::string> argv = {ZRVBUILD_EXE, "-v"};
  if (std::string(build_constants::configuration) == "standard") {
    argv = {"/bin/sh", "-c", ". \"$1\" && shift && exec \"$@\"", "sh", ZRVBUILD_PROFILE,
            ZRVBUILD_EXE, "-v"};
  }
  argv.insert(argv.end(), words.begin(), words.end());
  std::vector<std::string> environment = {"PATH=/usr/local/bin:/usr/bin:/bin",
                                          std::string("ZORVAN_HOME=") + ZRVBUILD_EXAMPLE_HOME,
                                          "ZRVBUILD_JOBS=" + jobs};
  if (incremental) environment.push_back("ZRVBUILD_INCREMENTAL=1");
  return run_program(argv, environment, root);
}

// Plain Fortran is compiled as a clean build compiles it, never preprocessed: a comment
// holding "/*", a continued string holding a predefined macro's name and a comment line holding
// "__" keep their meaning, and zrvbuild's own scan says what such a source reads (the files of
// its include lines, found beside it or in each -I directory, and the module files it uses).
TEST_P(IncrementalToolchain, PlainFortranKeepsItsMeaning) {
  scratch_dir dir;
  mkdir(dir.path("inc").c_str(), 0755);
  const std::vector<std::pair<std::string, std::string>> sources = {
      {"inc/sizes.inc", "      integer, parameter :: width = 3\n"},
      {"comments.f90",
       "subroutine comments(x)\n  ! reads data/*.txt\n  character(len=40) :: x\n"
       "  x = 'word _LP64 &\n      &more __LINE__'\nend subroutine\n"},
      {"xerbla.f",
       "      subroutine xerbla(n)\n*     __func__ names the caller in C\n"
       "      include 'sizes.inc'\n      integer n\n      n = n + width\n      end\n"},
      {"shapes.f90", "module shapes\n  integer, parameter :: corners = 4\nend module\n"},
      {"shape_user.f90",
       "subroutine shape_user(x)\n  use shapes\n  integer :: x\n  x = corners\nend subroutine\n"},
  };
  for (const auto& [name, text] : sources) edit(dir.path(name), text);
  const auto build = [&](const std::vector<std::string>& extra, bool incremental) {
    std::vector<std::string> words = {"shapes.f90", "shape_user.f90", "comments.f90", "xerbla.f",
                                      "-Iinc",      "-o",             "plain"};
    words.insert(words.end(), extra.begin(), extra.end());
    return build_in(dir.root, words, GetParam(), incremental);
  };
  const auto expect_run = [&](const std::vector<std::string>& expected,
                              const std::vector<std::string>& extra) {
    const process_result result = build(extra, true);
    ASSERT_EQ(0, result.status) << result.out << result.err;
    EXPECT_EQ(as_set(expected), as_set(commands_run(result.out))) << result.out;
    EXPECT_EQ(std::string::npos, result.out.find("-cpp")) << result.out;
    std::vector<std::string> names;
    for (const auto& source : sources) names.push_back(source.first);
    expect_clean_build_at_the_same_path(
        dir.root, names, "plain.zrv", [&]() { return build(extra, false); }, result.out);
  };
  const std::vector<std::string> all = {"shape_user.f90", "comments.f90", "xerbla.f",
                                        "shapes.f90", "link plain.zrv"};
  expect_run(all, {});
  expect_run({}, {});
  edit(dir.path("inc/sizes.inc"), "      integer, parameter :: width = 5\n");
  expect_run({"xerbla.f", "link plain.zrv"}, {});
  edit(dir.path("shapes.f90"), "module shapes\n  integer, parameter :: corners = 6\nend module\n");
  expect_run({"shapes.f90", "shape_user.f90", "link plain.zrv"}, {});
  // A definition on the command line no longer keeps plain Fortran from being skipped.
  expect_run(all, {"-DEXTRA=1"});
  expect_run({}, {"-DEXTRA=1"});
}

// A module chain listed users first, which only parallel jobs build: a uses b's module, b uses
// c's. After an edit of b alone, c is up to date and ends as soon as it is considered, after b
// and a were passed over as not ready; b must still start, and a after it when b's interface
// changed. The module is then a clean build's.
TEST(IncrementalToolchainJobs, ASkippedModuleStartsTheJobsWaitingForIt) {
  ZRV_NEED_TOOLS("gfortran");
  scratch_dir dir;
  const auto b_text = [](const char* constant, const char* value) {
    return std::string("module bmod\n  use cmod\n  implicit none\n  integer, parameter :: ") +
           constant + " = 7\ncontains\n  integer function b_value()\n    b_value = base + " +
           value + "\n  end function\nend module\n";
  };
  const std::vector<std::pair<std::string, std::string>> sources = {
      {"a.f90", "subroutine a_user(x)\n  use bmod\n  integer :: x\n  x = b_value()\n"
                "end subroutine\n"},
      {"b.f90", b_text("seven", "10")},
      {"c.f90", "module cmod\n  integer, parameter :: base = 3\nend module\n"},
  };
  for (const auto& [name, text] : sources) edit(dir.path(name), text);
  std::vector<std::string> names;
  for (const auto& source : sources) names.push_back(source.first);
  const std::vector<std::string> words = {"a.f90", "b.f90", "c.f90", "-o", "chain"};
  const struct {
    std::string b;
    std::vector<std::string> expected;
  } steps[] = {
      {b_text("seven", "10"), {"a.f90", "b.f90", "c.f90", "link chain.zrv"}},
      {b_text("seven", "20"), {"b.f90", "link chain.zrv"}},
      {b_text("sept", "20"), {"b.f90", "a.f90", "link chain.zrv"}},
  };
  for (const auto& step : steps) {
    edit(dir.path("b.f90"), step.b);
    const process_result result = build_in(dir.root, words, "4", true);
    ASSERT_EQ(0, result.status) << result.out << result.err;
    EXPECT_EQ(as_set(step.expected), as_set(commands_run(result.out))) << result.out;
    expect_clean_build_at_the_same_path(
        dir.root, names, "chain.zrv",
        [&]() { return build_in(dir.root, words, "4", false); }, result.out);
  }
}

// Preprocessed Fortran at 2 and 4 jobs, listed users first (a uses b's module, b uses c's; d
// stands alone): a rerun runs the module scan's preprocessor only for the sources that may
// compile, none at all when nothing changed, and still orders a chain whose far end changed.
// The compiler is reached through a wrapper on PATH that logs each command.
// A chain of four listed users first (a uses b's module, b c's, c d's), at 4 jobs. d is compiled
// again with its module file as it was, and b's body is edited: c and b may have to follow d, so
// b waits for c; c is up to date once d has ended and ends as soon as it is considered, after b
// was passed over; b must still start.
TEST(IncrementalToolchainJobs, AJobPassedOverStartsOnceTheOneItWaitsForIsSkipped) {
  ZRV_NEED_TOOLS("gfortran");
  scratch_dir dir;
  const auto module = [](const char* name, const char* used, const char* body) {
    return std::string("module ") + name + "\n  use " + used + "\n  implicit none\ncontains\n" +
           "  integer function " + name + "_value()\n    " + name + "_value = " + body +
           "\n  end function\nend module\n";
  };
  const std::vector<std::pair<std::string, std::string>> sources = {
      {"a.f90", "subroutine a_user(x)\n  use bmod\n  integer :: x\n  x = bmod_value()\n"
                "end subroutine\n"},
      {"b.f90", module("bmod", "cmod", "cmod_value() + 1")},
      {"c.f90", module("cmod", "dmod", "dmod_value() + 2")},
      {"d.f90", "module dmod\n  implicit none\ncontains\n  integer function dmod_value()\n"
                "    dmod_value = 3\n  end function\nend module\n"},
  };
  std::vector<std::string> names;
  for (const auto& [name, text] : sources) {
    edit(dir.path(name), text);
    names.push_back(name);
  }
  const std::vector<std::string> words = {"a.f90", "b.f90", "c.f90", "d.f90", "-o", "chain"};
  const process_result first = build_in(dir.root, words, "4", true);
  ASSERT_EQ(0, first.status) << first.out << first.err;
  edit(dir.path("d.f90"), sources[3].second + "! the module file stays as it is\n");
  edit(dir.path("b.f90"), module("bmod", "cmod", "cmod_value() + 10"));
  const process_result result = build_in(dir.root, words, "4", true);
  ASSERT_EQ(0, result.status) << result.out << result.err;
  EXPECT_EQ(as_set({"d.f90", "b.f90", "link chain.zrv"}), as_set(commands_run(result.out)))
      << result.out;
  expect_clean_build_at_the_same_path(
      dir.root, names, "chain.zrv", [&]() { return build_in(dir.root, words, "4", false); },
      result.out);
}

// A header or Fortran include of the same name put into a directory searched before the one
// that held it rebuilds what read it, which then reads the new one; removed again, the old one.
TEST(IncrementalToolchainJobs, AFileInADirectorySearchedEarlierRebuilds) {
  ZRV_NEED_TOOLS("gcc", "gfortran");
  scratch_dir dir;
  for (const char* directory : {"inc1", "inc2"}) mkdir(dir.path(directory).c_str(), 0755);
  const std::vector<std::pair<std::string, std::string>> sources = {
      {"inc2/cfg.h", "#define WIDTH 2\n"},
      {"inc2/sizes.inc", "      integer, parameter :: wide = 3\n"},
      {"a.c", "#include \"cfg.h\"\nint a_width(void) { return WIDTH; }\n"},
      {"fixed.f", "      subroutine fixed(n)\n      include 'sizes.inc'\n      integer n\n"
                  "      n = wide\n      end\n"},
  };
  for (const auto& [name, text] : sources) edit(dir.path(name), text);
  const std::vector<std::string> words = {"a.c", "fixed.f", "-Iinc1", "-Iinc2", "-o", "shadow"};
  std::vector<std::string> names;
  for (const auto& source : sources) names.push_back(source.first);
  const struct {
    const char* name;
    const char* text;  // nullptr: removed
    std::vector<std::string> expected;
    const char* reason;
  } steps[] = {
      {"", "", {"a.c", "fixed.f", "link shadow.zrv"}, ""},
      {"inc1/cfg.h", "#define WIDTH 7\n", {"a.c", "link shadow.zrv"},
       "zrvbuild: compiling a.c: inc1/cfg.h appeared"},
      {"inc1/sizes.inc", "      integer, parameter :: wide = 30\n",
       {"fixed.f", "link shadow.zrv"}, "zrvbuild: compiling fixed.f: inc1/sizes.inc appeared"},
      {"inc1/cfg.h", nullptr, {"a.c", "link shadow.zrv"},
       "zrvbuild: compiling a.c: inc1/cfg.h is missing"},
      {"", "", {}, ""},
  };
  for (const auto& step : steps) {
    std::vector<std::string> present = names;
    if (step.text == nullptr)
      ASSERT_EQ(0, std::remove(dir.path(step.name).c_str()));
    else if (std::string(step.name) != "")
      edit(dir.path(step.name), step.text);
    for (const char* extra : {"inc1/cfg.h", "inc1/sizes.inc"}) {
      if (file_exists(dir.path(extra))) present.push_back(extra);
    }
    // The run that rebuilds, then one at 2 jobs that finds everything up to date.
    for (const char* jobs : {"1", "2"}) {
      const process_result result = build_in(dir.root, words, jobs, true);
      ASSERT_EQ(0, result.status) << result.out << result.err;
      if (std::string(jobs) == "1") {
        EXPECT_EQ(as_set(step.expected), as_set(commands_run(result.out))) << result.out;
        EXPECT_NE(std::string::npos, result.out.find(step.reason)) << result.out;
      } else {
        EXPECT_TRUE(commands_run(result.out).empty()) << result.out;
      }
    }
    expect_clean_build_at_the_same_path(
        dir.root, present, "shadow.zrv", [&]() { return build_in(dir.root, words, "1", false); },
        step.name);
  }
}

class IncrementalPreprocessedScan : public ::testing::TestWithParam<const char*> {};

TEST_P(IncrementalPreprocessedScan, ARerunScansOnlyWhatMayCompile) {
  ZRV_NEED_TOOLS("gfortran");
  scratch_dir dir;
  mkdir(dir.path("bin").c_str(), 0755);
  const std::string log = dir.path("gfortran.log");
  write_file(dir.path("bin/gfortran"),
             "#!/bin/sh\necho \"$*\" >> '" + log +
                 "'\nPATH=/usr/local/bin:/usr/bin:/bin exec gfortran \"$@\"\n");
  chmod(dir.path("bin/gfortran").c_str(), 0755);
  const auto module = [](const char* name, const char* uses, const char* constant,
                         const char* value) {
    const std::string use = uses[0] != '\0' ? std::string("  use ") + uses + "\n" : "";
    return std::string("module ") + name + "\n" + use +
           "  implicit none\n#ifdef WIDE\n  integer, parameter :: " + constant +
           " = 99\n#else\n  integer, parameter :: " + constant + " = " + value +
           "\n#endif\nend module\n";
  };
  const std::map<std::string, std::string> first = {
      {"a.F90", "subroutine a_user(x)\n  use bmod\n  integer :: x\n#ifdef WIDE\n  x = 0\n#else\n"
                "  x = seven + base\n#endif\nend subroutine\n"},
      {"b.F90", module("bmod", "cmod", "seven", "7")},
      {"c.F90", module("cmod", "", "base", "3")},
      {"d.F90", module("dmod", "", "alone", "5")},
  };
  for (const auto& [name, text] : first) edit(dir.path(name), text);
  std::vector<std::string> names;
  for (const auto& source : first) names.push_back(source.first);
  const std::vector<std::string> words = {"a.F90", "b.F90", "c.F90", "d.F90", "-o", "chain"};
  const auto build = [&](bool incremental) {
    std::vector<std::string> argv = {ZRVBUILD_EXE, "-v"};
    if (std::string(build_constants::configuration) == "standard") {
      argv = {"/bin/sh", "-c", ". \"$1\" && shift && exec \"$@\"", "sh", ZRVBUILD_PROFILE,
              ZRVBUILD_EXE, "-v"};
    }
    argv.insert(argv.end(), words.begin(), words.end());
    std::vector<std::string> environment = {
        "PATH=" + dir.path("bin") + ":/usr/local/bin:/usr/bin:/bin",
        std::string("ZORVAN_HOME=") + ZRVBUILD_EXAMPLE_HOME,
        std::string("ZRVBUILD_JOBS=") + GetParam()};
    if (incremental) environment.push_back("ZRVBUILD_INCREMENTAL=1");
    return run_program(argv, environment, dir.root);
  };
  const struct {
    std::string name;
    std::string text;
    std::vector<std::string> compiled;
    std::vector<std::string> scanned;
  } steps[] = {
      {"",
       "",
       {"a.F90", "b.F90", "c.F90", "d.F90", "link chain.zrv"},
       {"a.F90", "b.F90", "c.F90", "d.F90"}},
      {"", "", {}, {}},
      {"d.F90", module("dmod", "", "alone", "6"), {"d.F90", "link chain.zrv"}, {"d.F90"}},
      {"c.F90", module("cmod", "", "base", "4"),
       {"c.F90", "b.F90", "a.F90", "link chain.zrv"}, {"a.F90", "b.F90", "c.F90"}},
      {"", "", {}, {}},
  };
  for (const auto& step : steps) {
    if (!step.name.empty()) edit(dir.path(step.name), step.text);
    std::remove(log.c_str());
    const process_result result = build(true);
    ASSERT_EQ(0, result.status) << result.out << result.err;
    EXPECT_EQ(as_set(step.compiled), as_set(commands_run(result.out))) << result.out;
    std::set<std::string> scanned;
    std::istringstream lines(read_file(log));
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("-E ", 0) != 0) continue;
      for (const std::string& name : names) {
        if (line.find(name) != std::string::npos) scanned.insert(name);
      }
    }
    EXPECT_EQ(as_set(step.scanned), scanned) << step.name << "\n" << read_file(log);
    expect_clean_build_at_the_same_path(
        dir.root, names, "chain.zrv", [&]() { return build(false); }, result.out);
  }
}

INSTANTIATE_TEST_SUITE_P(Jobs, IncrementalPreprocessedScan, ::testing::Values("2", "4"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           return std::string("jobs") + info.param;
                         });

INSTANTIATE_TEST_SUITE_P(Jobs, IncrementalToolchain, ::testing::Values("1", "4"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           return std::string("jobs") + info.param;
                         });

#endif
