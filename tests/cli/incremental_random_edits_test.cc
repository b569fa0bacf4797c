// Incremental builds against their reference, under random edits: each step edits one or two
// files of a project of C, C++ and Fortran (a chain of three modules and their user, through
// plain and preprocessed sources, a fixed-form source with an include file, headers in two -I
// directories), builds it with ZRVBUILD_INCREMENTAL=1 at 1, 2 or 4 jobs with the sources listed
// in a random order (any order but at one job, which needs each module's definer first), and
// compares the module byte for byte with a clean build of the same tree at the same path and in
// the same order; the run after it must run nothing. ZRVBUILD_RANDOM_EDIT_STEPS sets the number
// of steps (default 100) and ZRVBUILD_RANDOM_EDIT_SEED replays a seed the trace names.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "build_constants.h"
#include "support/process.h"
#include "support/scratch.h"
#include "support/tools.h"

#ifdef ZRVBUILD_EXAMPLE_HOME

namespace {

struct variant_file {
  const char* name;
  std::vector<std::string> texts;  // the first is the file as it starts
};

// Each file's variants: bodies and interfaces of modules, values in headers and include files,
// a conditional taken or not.
const std::vector<variant_file> project_files = {
    {"base.f90",
     {"module base\n  implicit none\n  integer, parameter :: width = 4\ncontains\n"
      "  integer function twice(x)\n    integer, intent(in) :: x\n    twice = 2 * x\n"
      "  end function\nend module\n",
      "module base\n  implicit none\n  integer, parameter :: width = 4\ncontains\n"
      "  integer function twice(x)\n    integer, intent(in) :: x\n    twice = x + x + 1\n"
      "  end function\nend module\n",
      "module base\n  implicit none\n  integer, parameter :: width = 6\ncontains\n"
      "  integer function twice(x)\n    integer, intent(in) :: x\n    twice = 2 * x\n"
      "  end function\nend module\n"}},
    {"middle.F90",
     {"module middle\n  use base\n  implicit none\n#ifdef NEVER\n"
      "  integer, parameter :: depth = 0\n#else\n  integer, parameter :: depth = width + 1\n"
      "#endif\nend module\n",
      "module middle\n  use base\n  implicit none\n#ifndef NEVER\n  integer, parameter :: depth = "
      "width + 2\n#endif\nend module\n",
      "module middle\n  use base\n  implicit none\n  integer, parameter :: depth = 9\n"
      "end module\n"}},
    {"top.f90",
     {"module top\n  use middle\n  implicit none\ncontains\n  integer function peak()\n"
      "    peak = twice(depth)\n  end function\nend module\n",
      "module top\n  use middle\n  implicit none\ncontains\n  integer function peak()\n"
      "    peak = depth - 1\n  end function\nend module\n",
      "module top\n  use middle\n  implicit none\n  integer, parameter :: summit = 2\n"
      "contains\n  integer function peak()\n    peak = depth - 1\n  end function\nend module\n"}},
    {"apex.f90",
     {"subroutine apex(x)\n  use top\n  integer :: x\n  x = peak()\nend subroutine\n",
      "subroutine apex(x)\n  use top\n  integer :: x\n  x = peak() + 1\nend subroutine\n"}},
    {"fixed.f",
     {"      subroutine fixed(n)\n      include 'sizes.inc'\n      integer n\n      n = n + wide\n"
      "      end\n",
      "      subroutine fixed(n)\n      include 'sizes.inc'\n      integer n\n      n = wide * 2\n"
      "      end\n"}},
    {"inc/sizes.inc",
     {"      integer, parameter :: wide = 3\n", "      integer, parameter :: wide = 30\n"}},
    {"alpha.c", {"#include \"first.h\"\nint alpha(void) { return FIRST; }\n",
                 "#include \"first.h\"\n#include \"second.h\"\nint alpha(void) { return FIRST + "
                 "SECOND; }\n"}},
    {"incA/first.h", {"#define FIRST 1\n", "#define FIRST 10\n"}},
    {"incB/second.h", {"#define SECOND 2\n", "#define SECOND 20\n"}},
    {"gamma.cc", {"#include \"second.h\"\nint gamma_value() { return SECOND; }\n",
                  "#include \"second.h\"\nint gamma_value() { return SECOND * 3; }\n"}},
};

// The sources in the order a sequential build needs: each module's definer first.
const std::vector<std::string> definers_first = {"base.f90", "middle.F90", "top.f90", "apex.f90",
                                                 "fixed.f",  "alpha.c",    "gamma.cc"};

std::vector<std::string> names_of_files() {
  std::vector<std::string> names;
  for (const variant_file& file : project_files) names.push_back(file.name);
  return names;
}

// An edit made a while ago, each at its own time, so that no run waits for the clock.
void write_at_past_time(const std::string& path, const std::string& text, long long age) {
  write_file(path, text);
  struct timespec times[2];
  times[0].tv_sec = static_cast<time_t>(::time(nullptr) - age);
  times[0].tv_nsec = 123456789;
  times[1] = times[0];
  ASSERT_EQ(0, utimensat(AT_FDCWD, path.c_str(), times, 0)) << path;
}

process_result build(const std::string& root, const std::vector<std::string>& sources,
                     int jobs, bool incremental) {
  std::vector<std::string> argv = {ZRVBUILD_EXE, "-v"};
  if (std::string(build_constants::configuration) == "standard") {
    argv = {"/bin/sh", "-c", ". \"$1\" && shift && exec \"$@\"", "sh", ZRVBUILD_PROFILE,
            ZRVBUILD_EXE, "-v"};
  }
  argv.insert(argv.end(), sources.begin(), sources.end());
  for (const char* word : {"-IincA", "-IincB", "-Iinc", "-o", "edited"}) argv.push_back(word);
  std::vector<std::string> environment = {"PATH=/usr/local/bin:/usr/bin:/bin",
                                          std::string("ZORVAN_HOME=") + ZRVBUILD_EXAMPLE_HOME,
                                          "ZRVBUILD_JOBS=" + std::to_string(jobs)};
  if (incremental) environment.push_back("ZRVBUILD_INCREMENTAL=1");
  return run_program(argv, environment, root);
}

bool ran_anything(const std::string& out) {
  return out.find("zrvbuild: compiling ") != std::string::npos ||
         out.find("zrvbuild: linking ") != std::string::npos;
}

// The module a clean build of the same files makes in the same directory (the debugging
// information names it), the incremental build's directory set aside whole meanwhile.
std::string clean_module_at_the_same_path(const std::string& root,
                                          const std::vector<std::string>& sources, int jobs) {
  const std::string kept = root + ".kept";
  EXPECT_EQ(0, std::rename(root.c_str(), kept.c_str()));
  EXPECT_EQ(0, mkdir(root.c_str(), 0755));
  for (const char* directory : {"inc", "incA", "incB"})
    mkdir((root + "/" + directory).c_str(), 0755);
  for (const std::string& name : names_of_files())
    write_file(root + "/" + name, read_file(kept + "/" + name));
  const process_result clean = build(root, sources, jobs, false);
  EXPECT_EQ(0, clean.status) << clean.out << clean.err;
  const std::string module = read_file(root + "/edited.zrv");
  EXPECT_EQ(0, std::system(("rm -rf '" + root + "'").c_str()));
  EXPECT_EQ(0, std::rename(kept.c_str(), root.c_str()));
  return module;
}

unsigned number_from_environment(const char* name, unsigned otherwise) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? static_cast<unsigned>(std::stoul(value)) : otherwise;
}

}  // namespace

TEST(IncrementalRandomEdits, EveryRunMakesTheCleanBuildsModule) {
  ZRV_NEED_TOOLS("gcc", "g++", "gfortran");
  const unsigned seed =
      number_from_environment("ZRVBUILD_RANDOM_EDIT_SEED", std::random_device()());
  const unsigned steps = number_from_environment("ZRVBUILD_RANDOM_EDIT_STEPS", 100);
  SCOPED_TRACE("ZRVBUILD_RANDOM_EDIT_SEED=" + std::to_string(seed));
  std::mt19937 random(seed);
  scratch_dir dir;
  for (const char* directory : {"inc", "incA", "incB"}) mkdir(dir.path(directory).c_str(), 0755);
  long long age = 100000;
  for (const variant_file& file : project_files)
    write_at_past_time(dir.path(file.name), file.texts[0], age--);
  const int job_counts[] = {1, 2, 4};
  for (unsigned step = 0; step < steps; ++step) {
    // One or two files, each given one of its texts (perhaps the one it has, at a new time).
    std::string edited;
    const unsigned edits = 1 + random() % 2;
    for (unsigned count = 0; count < edits; ++count) {
      const variant_file& file = project_files[random() % project_files.size()];
      write_at_past_time(dir.path(file.name), file.texts[random() % file.texts.size()], age--);
      edited += std::string(count == 0 ? "" : " and ") + file.name;
    }
    const int jobs = job_counts[random() % 3];
    std::vector<std::string> sources = definers_first;
    if (jobs > 1) std::shuffle(sources.begin(), sources.end(), random);
    std::string listed;
    for (const std::string& source : sources) listed += " " + source;
    SCOPED_TRACE("step " + std::to_string(step) + ": " + edited + " edited, " +
                 std::to_string(jobs) + " jobs," + listed);
    const process_result incremental = build(dir.root, sources, jobs, true);
    ASSERT_EQ(0, incremental.status) << incremental.out << incremental.err;
    const process_result again = build(dir.root, sources, jobs, true);
    ASSERT_EQ(0, again.status) << again.out << again.err;
    EXPECT_FALSE(ran_anything(again.out)) << again.out;
    const std::string module = read_file(dir.path("edited.zrv"));
    ASSERT_TRUE(module == clean_module_at_the_same_path(dir.root, sources, jobs))
        << incremental.out;
  }
}

#endif
