// The program of the GNU/Linux configuration with the real GNU tool chain of this machine and no
// profile: only ZORVAN_HOME names the stand-in environment that examples/ builds. A module from
// three languages loaded and called by the stand-in host, and stand-alone programs run and
// stripped.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/process.h"
#include "support/scratch.h"
#include "support/tools.h"

#ifdef ZRVBUILD_EXAMPLE_HOME

namespace {

const std::string example_home = ZRVBUILD_EXAMPLE_HOME;
const std::string extension_dir = std::string(ZRVBUILD_SOURCE_DIR) + "/examples/extension/";
const std::vector<std::string> environment = {"PATH=/usr/local/bin:/usr/bin:/bin",
                                              "ZORVAN_HOME=" + example_home};

void copy_extension_sources(const scratch_dir& dir) {
  for (const char* name : {"stats.cc", "scale.c", "sumsq.f90"}) {
    write_file(dir.path(name), read_file(extension_dir + name));
  }
}

bool has_symbol_table(const std::string& path) {
  return read_file(path).find(".symtab") != std::string::npos;
}

}  // namespace

TEST(GnuLinuxToolchain, ModuleFromCxxCAndFortranIsLoadedAndCalled) {
  ZRV_NEED_TOOLS("gcc", "g++", "gfortran", "strip");
  const struct {
    std::vector<std::string> options;
    std::string module;
    bool stripped;
  } cases[] = {
      {{}, "stats.zrv", false},
      {{"--mex", "-s", "-o", "stats"}, "stats.mex", true},
  };
  for (const auto& c : cases) {
    scratch_dir dir;
    copy_extension_sources(dir);
    std::vector<std::string> args = c.options;
    for (const char* source : {"stats.cc", "scale.c", "sumsq.f90"})
      args.push_back(source);
    const process_result build = run_zrvbuild(args, environment, dir.root);
    ASSERT_EQ(0, build.status) << build.out << build.err;
    ASSERT_TRUE(file_exists(dir.path(c.module)));
    EXPECT_EQ(!c.stripped, has_symbol_table(dir.path(c.module)));

    const process_result host = run_program(
        {example_home + "/bin/zrvhost", "./" + c.module, "3", "4"}, environment, dir.root);
    EXPECT_EQ("zorvan " + built_version() + ": loaded ./" + c.module +
                  "\n"
                  "count = 2\nmean = 3.5\nrms = 3.53553\nresult = 0.0355339 (3 values shown)\n",
              host.out);
    EXPECT_EQ("", host.err);
    EXPECT_EQ(0, host.status);
  }
}

TEST(GnuLinuxToolchain, StandAloneProgramRunsAndIsStripped) {
  ZRV_NEED_TOOLS("gcc", "g++", "strip");
  const char* const main_source =
      "#include <cstdio>\n"
      "#include <zorvan/zorvan.h>\n"
      "int main() {\n"
      "  const double values[] = {1, 2, 6};\n"
      "  std::printf(\"mean %g of zorvan %s\\n\", zorvan_mean(values, 3), zorvan_version());\n"
      "  return 0;\n"
      "}\n";
  const struct {
    std::vector<std::string> options;
    std::string program;
    bool stripped;
  } cases[] = {
      {{"--link-stand-alone", "-o", "prog"}, "prog", false},
      {{"--link-stand-alone", "-o", "prog", "-s"}, "prog", true},
      {{"-link-stand-alone", "-strip"}, "a.out", true},
  };
  // The program's run paths name the environment under the build prefix; the stand-in lives in
  // the build tree, so the loader is told where.
  std::vector<std::string> run_environment = environment;
  run_environment.push_back("LD_LIBRARY_PATH=" + example_home + "/lib/zorvan/" + built_version());
  for (const auto& c : cases) {
    scratch_dir dir;
    write_file(dir.path("main.cc"), main_source);
    std::vector<std::string> args = c.options;
    args.push_back("main.cc");
    const process_result build = run_zrvbuild(args, environment, dir.root);
    ASSERT_EQ(0, build.status) << build.out << build.err;
    const std::string program = dir.path(c.program);
    ASSERT_TRUE(file_exists(program)) << c.program;
    EXPECT_EQ(!c.stripped, has_symbol_table(program)) << c.program;
    const process_result run = run_program({program}, run_environment, dir.root);
    EXPECT_EQ("mean 3 of zorvan " + built_version() + "\n", run.out);
    EXPECT_EQ(0, run.status);
  }
}

#endif
