// The example Makefile of examples/make with GNU make and the real tool chain, against a copy of
// the stand-in environment: make -j2 builds a module that loads, a touched header remakes
// exactly the objects that include it, and a make -j2 interrupted by SIGINT at the terminal
// and run again ends with a correct module.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/process.h"
#include "support/scratch.h"
#include "support/tools.h"

#ifdef ZRVBUILD_EXAMPLE_HOME

namespace {

namespace fs = std::filesystem;

const std::string example_makefile = std::string(ZRVBUILD_SOURCE_DIR) + "/examples/make/Makefile";

// What the stand-in host prints for the module called with 1 2 3 4.
std::string expected_host_output() {
  return "zorvan " + built_version() +
         ": loaded ./stats.zrv\n"
         "count = 4\nmean = 2.5\nrms = 2.73861\nresult = 0.238613 (3 values shown)\n";
}

// The lines of a text that contain a word.
std::vector<std::string> lines_with(const std::string& text, const std::string& word) {
  std::vector<std::string> found;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);)
    if (line.find(word) != std::string::npos)
      found.push_back(line);
  return found;
}

struct MakeExample : ::testing::Test {
  scratch_dir scratch;
  // A home of the test's own, so its headers can be touched: the headers copied, the libraries
  // and the host linked.
  std::string home = scratch.path("home");
  std::string build = scratch.path("build");
  std::string tools = scratch.path("tools");
  std::string include_dir;
  std::vector<std::string> env;

  void SetUp() override {
    const std::string example_home = ZRVBUILD_EXAMPLE_HOME;
    fs::create_directories(home);
    fs::create_directories(build);
    fs::create_directories(tools);
    fs::copy(example_home + "/include", home + "/include", fs::copy_options::recursive);
    fs::create_directory_symlink(example_home + "/lib", home + "/lib");
    fs::create_directory_symlink(example_home + "/bin", home + "/bin");
    include_dir = home + "/include/zorvan-" + built_version() + "/zorvan";
    env = {"PATH=/usr/local/bin:/usr/bin:/bin", "ZORVAN_HOME=" + home, "TOOLS=" + tools};
    for (const std::string& entry : sanitizer_environment())
      env.push_back(entry);
  }

  // make -j2 with the example Makefile in the build directory, the profile sourced.
  std::vector<std::string> make_command() const {
    return {"/bin/sh",
            "-c",
            ". \"$1\" && exec make -f \"$2\" -j2 ZRVBUILD=\"$3\"",
            "sh",
            ZRVBUILD_PROFILE,
            example_makefile,
            ZRVBUILD_EXE};
  }

  process_result make() { return run_program(make_command(), env, build); }

  process_result host() {
    return run_program({home + "/bin/zrvhost", "./stats.zrv", "1", "2", "3", "4"}, env, build);
  }

  // Every file the build made, ten seconds older, so that a header touched now is newer.
  void age_build_products() {
    const auto earlier = fs::file_time_type::clock::now() - std::chrono::seconds(10);
    for (const auto& entry : fs::directory_iterator(build))
      fs::last_write_time(entry.path(), earlier);
  }
};

TEST_F(MakeExample, ParallelMakeBuildsAModuleThatLoads) {
  ZRV_NEED_TOOLS("make", "gcc", "g++", "gfortran");
  process_result r = make();
  ASSERT_EQ(0, r.status) << r.out << r.err;
  EXPECT_EQ(2u, lines_with(r.out, " -M ").size()) << r.out;
  EXPECT_EQ(3u, lines_with(r.out, " -c ").size()) << r.out;
  EXPECT_EQ(1u, lines_with(r.out, " -o stats ").size()) << r.out;
  process_result loaded = host();
  EXPECT_EQ(expected_host_output(), loaded.out) << loaded.err;

  // Nothing is out of date afterwards.
  r = make();
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_EQ(std::vector<std::string>{}, lines_with(r.out, ZRVBUILD_EXE)) << r.out;
}

TEST_F(MakeExample, TouchedHeaderRemakesExactlyTheObjectsThatIncludeIt) {
  ZRV_NEED_TOOLS("make", "gcc", "g++", "gfortran");
  ASSERT_EQ(0, make().status);
  age_build_products();
  // stats.cc alone includes the interpreter's header.
  fs::last_write_time(include_dir + "/zrvinterp.h", fs::file_time_type::clock::now());
  process_result r = make();
  ASSERT_EQ(0, r.status) << r.out << r.err;
  const std::vector<std::string> runs = lines_with(r.out, ZRVBUILD_EXE);
  ASSERT_EQ(3u, runs.size()) << r.out;
  EXPECT_NE(std::string::npos, runs[0].find(" -M ")) << runs[0];
  EXPECT_NE(std::string::npos, runs[0].find("/stats.cc")) << runs[0];
  EXPECT_NE(std::string::npos, runs[1].find(" -c ")) << runs[1];
  EXPECT_NE(std::string::npos, runs[1].find("/stats.cc")) << runs[1];
  EXPECT_NE(std::string::npos, runs[2].find(" -o stats stats.o scale.o sumsq.o")) << runs[2];
  EXPECT_EQ(expected_host_output(), host().out);
}

TEST_F(MakeExample, InterruptedParallelMakeRunAgainEndsWithALoadableModule) {
  ZRV_NEED_TOOLS("make", "gcc", "g++", "gfortran");
  // The C++ compiler announces the kind of its command, then is slow while TOOLS/go-slowly exists,
  // so the SIGINT of the test finds that command running.
  write_script(tools + "/slow", R"sh(for word; do
  case $word in -M | -c) touch "$TOOLS/started$word" ;; esac
done
if [ -f "$TOOLS/go-slowly" ]; then sleep 3; fi
exec "$@"
)sh");
  env.push_back("CXX=" + tools + "/slow g++ -std=gnu++11");
  for (const char* moment : {"-M", "-c"}) {
    SCOPED_TRACE(std::string("interrupted during ") + moment);
    for (const auto& entry : fs::directory_iterator(build))
      fs::remove(entry.path());
    fs::remove(tools + "/started" + moment);
    write_file(tools + "/go-slowly", "");
    started_program program = start_program(make_command(), env, build);
    for (int wait = 0; wait < 300 && !file_exists(tools + "/started" + moment); ++wait)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const bool started = file_exists(tools + "/started" + moment);
    if (started)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    kill(-program.pid, SIGINT);  // the terminal's Ctrl-C
    process_result interrupted = wait_program(program);
    ASSERT_TRUE(started) << interrupted.out << interrupted.err;
    // make ends by the signal or, when it loses the race for its children's statuses, with
    // "wait: No child processes": never as a success.
    EXPECT_NE(0, interrupted.status) << interrupted.err;
    EXPECT_FALSE(file_exists(build + "/stats.zrv"));
    for (const auto& entry : fs::directory_iterator(build)) {
      const std::string name = entry.path().filename().string();
      EXPECT_NE('.', name[0]) << name;  // no temporary left
    }

    fs::remove(tools + "/go-slowly");
    process_result again = make();
    ASSERT_EQ(0, again.status) << again.out << again.err;
    EXPECT_EQ(expected_host_output(), host().out);
  }
}

}  // namespace

#endif
