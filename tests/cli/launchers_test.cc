// Compiler launchers in front of the configured compilers, for real: a module built twice
// through ccache is a cache hit the second time, and a module built through distcc is compiled
// by a distccd that the test runs on 127.0.0.1.
//
// The module is a C and a C++ source linked on this host: the environment turns on
// position-independent code, empties the configured Windows link lists, and points LFLAGS at
// two empty stub libraries standing in for -lzrvinterp and -lzorvan.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <chrono>
#include <regex>
#include <sstream>
#include <thread>

#include "support/distcc_daemon.h"
#include "support/process.h"
#include "support/scratch.h"
#include "support/tools.h"

namespace {

const char* const module_sources[] = {"greet.c", "answer.cc"};

// Writes the sources and the stub libraries; returns the environment that builds the module
// with `launcher` in front of gcc and g++.
std::vector<std::string> prepare_module(const scratch_dir& dir, const std::string& launcher) {
  mkdir(dir.path("module").c_str(), 0755);
  mkdir(dir.path("stubs").c_str(), 0755);
  write_file(dir.path("module/greet.c"), "int zrv_greet(void) { return 7; }\n");
  write_file(dir.path("module/answer.cc"),
             "extern \"C\" int zrv_greet(void);\n"
             "extern \"C\" int zrv_answer(void) { return 35 + zrv_greet(); }\n");
  for (const char* stub : {"libzrvinterp.so", "libzorvan.so"}) {
    process_result r = run_program(
        {find_tool("gcc"), "-shared", "-x", "c", "/dev/null", "-o", dir.path("stubs/") + stub},
        {std::string("PATH=") + tool_search_path()});
    EXPECT_EQ(0, r.status) << r.err;
  }
  return {"CC=" + launcher + " gcc", "CXX=" + launcher + " g++", "CPICFLAG=-fPIC",
          "CXXPICFLAG=-fPIC",        "DL_LDFLAGS=-shared",       "LFLAGS=-L" + dir.path("stubs"),
          "ZRV_LINK_OPTS= ",         "ZRV_LINK_DEPS= "};
}

// Builds greet.zrv from scratch (removing earlier products) and checks that both compile
// commands went through the launcher.
void build_module(const scratch_dir& dir, const std::vector<std::string>& env,
                  const std::string& launcher) {
  for (const char* product : {"greet.o", "answer.o", "greet.zrv"})
    std::remove(dir.path(std::string("module/") + product).c_str());
  process_result r =
      run_zrvbuild({"-v", module_sources[0], module_sources[1]}, env, dir.path("module"));
  ASSERT_EQ(0, r.status) << r.out << r.err;
  EXPECT_EQ(0u, r.out.find(launcher + " gcc -c ")) << r.out;
  EXPECT_NE(std::string::npos, r.out.find("\n" + launcher + " g++ -c ")) << r.out;
  EXPECT_TRUE(file_exists(dir.path("module/greet.zrv")));
}

// The "Hits: N / M" count of `ccache -s`.
int ccache_hits(const std::string& ccache_dir) {
  process_result r =
      run_program({find_tool("ccache"), "-s"},
                  {std::string("PATH=") + tool_search_path(), "CCACHE_DIR=" + ccache_dir});
  std::smatch hits;
  std::regex pattern(R"(\n\s*Hits:\s+(\d+)\s*/)");
  if (!std::regex_search(r.out, hits, pattern)) {
    ADD_FAILURE() << "no hit count in ccache -s:\n" << r.out << r.err;
    return -1;
  }
  return std::stoi(hits[1]);
}

}  // namespace

TEST(Launchers, CcacheSecondBuildIsACacheHit) {
  ZRV_NEED_TOOLS("ccache", "gcc", "g++");
  scratch_dir dir;
  std::vector<std::string> env = prepare_module(dir, "ccache");
  env.push_back("CCACHE_DIR=" + dir.path("ccache"));
  env.push_back("HOME=" + dir.root);

  build_module(dir, env, "ccache");
  EXPECT_EQ(0, ccache_hits(dir.path("ccache")));
  build_module(dir, env, "ccache");
  EXPECT_EQ(2, ccache_hits(dir.path("ccache")));
}

TEST(Launchers, DistccCompilesOnTheTestsDaemon) {
  ZRV_NEED_TOOLS("distcc", "distccd", "gcc", "g++");
  scratch_dir dir;
  // A distccd started as root serves as an unprivileged user, which has to reach its log.
  chmod(dir.root.c_str(), 0755);
  const std::string log = dir.path("distccd.log");
  write_file(log, "");
  chmod(log.c_str(), 0666);
  mkdir(dir.path("distcc-client").c_str(), 0755);

  int port = free_loopback_port();
  ASSERT_GT(port, 0);
  distcc_daemon daemon(find_tool("distccd"), port, log);
  ASSERT_TRUE(daemon.wait_until_listening(port, log)) << "distccd did not come up:\n"
                                                      << read_file(log);

  std::vector<std::string> env = prepare_module(dir, "distcc");
  env.push_back("DISTCC_HOSTS=127.0.0.1:" + std::to_string(port));
  env.push_back("DISTCC_DIR=" + dir.path("distcc-client"));
  env.push_back("DISTCC_FALLBACK=0");  // fail rather than quietly compile here
  env.push_back("HOME=" + dir.root);
  build_module(dir, env, "distcc");

  std::string served = read_file(log);
  for (const char* source : module_sources) {
    std::string name = std::regex_replace(source, std::regex("[.+]"), "\\$&");
    std::regex done("COMPILE_OK exit:0 .* " + name + "\n");
    EXPECT_TRUE(std::regex_search(served, done)) << source << " not compiled by distccd:\n"
                                                 << served;
  }
}
