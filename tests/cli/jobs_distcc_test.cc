// Parallel jobs spread over two distccd daemons of the test's own on loopback ports: with
// ZRVBUILD_JOBS=4 and eight sources, both daemons compile, and the module that comes out loads.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "support/distcc_daemon.h"
#include "support/process.h"
#include "support/scratch.h"
#include "support/tools.h"

namespace {

// Four C and four C++ sources; part_N returns N, and sum() adds them up.
void write_sources(const scratch_dir& dir, std::vector<std::string>& sources) {
  mkdir(dir.path("module").c_str(), 0755);
  for (int n = 1; n <= 7; ++n) {
    const bool is_c = n <= 4;
    const std::string name = "part" + std::to_string(n) + (is_c ? ".c" : ".cc");
    write_file(dir.path("module/" + name), std::string(is_c ? "" : "extern \"C\" ") + "int part" +
                                               std::to_string(n) + "(void) { return " +
                                               std::to_string(n) + "; }\n");
    sources.push_back(name);
  }
  std::string sum = "extern \"C\" {\n";
  for (int n = 1; n <= 7; ++n)
    sum += "int part" + std::to_string(n) + "(void);\n";
  sum +=
      "int zrv_sum(void) { return part1() + part2() + part3() + part4() + part5() + part6() + "
      "part7(); }\n}\n";
  write_file(dir.path("module/sum.cc"), sum);
  sources.push_back("sum.cc");
}

}  // namespace

TEST(JobsDistcc, TwoDaemonsShareTheCompiles) {
  ZRV_NEED_TOOLS("distcc", "distccd", "gcc", "g++");
  scratch_dir dir;
  // A distccd started as root serves as an unprivileged user, which has to reach its log.
  chmod(dir.root.c_str(), 0755);
  mkdir(dir.path("distcc-client").c_str(), 0755);
  mkdir(dir.path("stubs").c_str(), 0755);

  const std::string logs[] = {dir.path("distccd-1.log"), dir.path("distccd-2.log")};
  int ports[2];
  std::string hosts;
  std::vector<std::unique_ptr<distcc_daemon>> daemons;
  for (int i = 0; i < 2; ++i) {
    write_file(logs[i], "");
    chmod(logs[i].c_str(), 0666);
    ports[i] = free_loopback_port();
    ASSERT_GT(ports[i], 0);
    daemons.emplace_back(new distcc_daemon(find_tool("distccd"), ports[i], logs[i]));
    ASSERT_TRUE(daemons.back()->wait_until_listening(ports[i], logs[i]))
        << "distccd did not come up:\n"
        << read_file(logs[i]);
    // Two compiles at a time on each, so that four at once need both.
    hosts += "127.0.0.1:" + std::to_string(ports[i]) + "/2 ";
  }

  for (const char* stub : {"libzrvinterp.so", "libzorvan.so"}) {
    process_result r = run_program(
        {find_tool("gcc"), "-shared", "-x", "c", "/dev/null", "-o", dir.path("stubs/") + stub},
        {std::string("PATH=") + tool_search_path()});
    ASSERT_EQ(0, r.status) << r.err;
  }
  std::vector<std::string> sources;
  write_sources(dir, sources);
  const std::vector<std::string> env = {
      std::string("PATH=") + tool_search_path(),
      "CC=distcc gcc",
      "CXX=distcc g++",
      "CPICFLAG=-fPIC",
      "CXXPICFLAG=-fPIC",
      "DL_LDFLAGS=-shared",
      "LFLAGS=-L" + dir.path("stubs") + " -Wl,-rpath," + dir.path("stubs"),
      "ZRV_LINK_OPTS= ",
      "ZRV_LINK_DEPS= ",
      "ZRVBUILD_JOBS=4",
      "DISTCC_HOSTS=" + hosts,
      "DISTCC_DIR=" + dir.path("distcc-client"),
      "DISTCC_FALLBACK=0",  // fail rather than quietly compile here
      "HOME=" + dir.root,
  };
  std::vector<std::string> args = {"-o", "sum"};
  args.insert(args.end(), sources.begin(), sources.end());
  process_result r = run_zrvbuild(args, env, dir.path("module"));
  ASSERT_EQ(0, r.status) << r.out << r.err;

  std::size_t compiled = 0;
  for (const std::string& log : logs) {
    const std::string served = read_file(log);
    std::size_t count = 0;
    for (std::size_t at = served.find("COMPILE_OK exit:0 "); at != std::string::npos;
         at = served.find("COMPILE_OK exit:0 ", at + 1)) {
      ++count;
    }
    EXPECT_GT(count, 0u) << "no compile on " << log << ":\n" << served;
    compiled += count;
  }
  EXPECT_EQ(sources.size(), compiled);

  void* module = dlopen(dir.path("module/sum.zrv").c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(nullptr, module) << dlerror();
  auto sum = reinterpret_cast<int (*)()>(dlsym(module, "zrv_sum"));
  ASSERT_NE(nullptr, sum);
  EXPECT_EQ(28, sum());
  dlclose(module);
}
