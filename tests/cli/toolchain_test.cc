// Builds with the real GNU tool chain of this machine (gcc, g++, gfortran, strip), configured
// by the GNU/Linux profile, against the stand-in environment that examples/ builds: a module
// from three languages loaded and called by the stand-in host, a stand-alone program run and
// stripped, compile-only runs, and the tools' own errors.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/scratch.h"

#ifdef ZRVBUILD_EXAMPLE_HOME

namespace {

const std::string example_home = ZRVBUILD_EXAMPLE_HOME;
const std::string extension_dir = std::string(ZRVBUILD_SOURCE_DIR) + "/examples/extension/";
const std::vector<std::string> base_environment = {"PATH=/usr/local/bin:/usr/bin:/bin",
                                                   "ZORVAN_HOME=" + example_home};

// zrvbuild with these arguments, in a shell that has sourced the profile.
process_result zrvbuild_with_profile(const std::vector<std::string>& args, const std::string& cwd,
                                     std::vector<std::string> environment = base_environment) {
  std::vector<std::string> argv = {
      "/bin/sh", "-c", ". \"$1\" && shift && exec \"$@\"", "sh", ZRVBUILD_PROFILE, ZRVBUILD_EXE};
  argv.insert(argv.end(), args.begin(), args.end());
#ifdef ZRVBUILD_SANITIZER_FLAGS
  // A program linked against the sanitized stand-in libraries needs the sanitizers' run-time
  // first in its load order, so stand-alone programs are linked with it. Modules are loaded by
  // the sanitized host and stay as they are.
  environment.push_back(std::string("LD_CXX=g++ -std=gnu++11 ") + ZRVBUILD_SANITIZER_FLAGS);
#endif
  for (const std::string& entry : sanitizer_environment()) environment.push_back(entry);
  return run_program(argv, environment, cwd);
}

void copy_extension_source(const std::string& name, const std::string& to) {
  write_file(to, read_file(extension_dir + name));
}

// A linked file still carries its symbol table until it is stripped.
bool has_symbol_table(const std::string& path) {
  return read_file(path).find(".symtab") != std::string::npos;
}

const char* const stand_alone_main =
    "#include <cstdio>\n"
    "#include <zorvan/zorvan.h>\n"
    "int main() {\n"
    "  const double values[] = {1, 2, 6};\n"
    "  std::printf(\"mean %g of zorvan %s\\n\", zorvan_mean(values, 3), zorvan_version());\n"
    "  return 0;\n"
    "}\n";

}  // namespace

TEST(Toolchain, ModuleFromCxxCAndFortranIsLoadedAndCalled) {
  scratch_dir dir;
  // C and C++ sources in a directory whose name holds a blank; their names are quoted.
  mkdir(dir.path("my src").c_str(), 0755);
  copy_extension_source("stats.cc", dir.path("my src/stats.cc"));
  copy_extension_source("scale.c", dir.path("my src/scale.c"));
  copy_extension_source("sumsq.f90", dir.path("sumsq.f90"));

  const process_result build =
      zrvbuild_with_profile({"my src/stats.cc", "my src/scale.c", "sumsq.f90"}, dir.root);
  ASSERT_EQ(0, build.status) << build.out << build.err;
  for (const char* product : {"stats.o", "scale.o", "sumsq.o", "stats.zrv"}) {
    EXPECT_TRUE(file_exists(dir.path(product))) << product;
  }

  const process_result host = run_program({example_home + "/bin/zrvhost", "./stats.zrv", "3", "4"},
                                          base_environment, dir.root);
  EXPECT_EQ("zorvan " + built_version() +
                ": loaded ./stats.zrv\n"
                "count = 2\nmean = 3.5\nrms = 3.53553\nresult = 0.0355339 (3 values shown)\n",
            host.out);
  EXPECT_EQ("", host.err);
  EXPECT_EQ(0, host.status);
}

TEST(Toolchain, MexModuleAndStrippedModule) {
  scratch_dir dir;
  for (const char* name : {"stats.cc", "scale.c", "sumsq.f90"}) {
    copy_extension_source(name, dir.path(name));
  }
  const process_result build = zrvbuild_with_profile(
      {"--mex", "-s", "-o", "stats", "stats.cc", "scale.c", "sumsq.f90"}, dir.root);
  ASSERT_EQ(0, build.status) << build.out << build.err;
  ASSERT_TRUE(file_exists(dir.path("stats.mex")));
  EXPECT_FALSE(has_symbol_table(dir.path("stats.mex")));
  const process_result host =
      run_program({example_home + "/bin/zrvhost", "./stats.mex", "2"}, base_environment, dir.root);
  EXPECT_EQ(0, host.status) << host.err;
  EXPECT_NE(std::string::npos, host.out.find("result = 0 (3 values shown)\n")) << host.out;
}

TEST(Toolchain, StandAloneProgramRunsAndIsStripped) {
  const struct {
    std::vector<std::string> options;
    std::string program;
    bool stripped;
  } cases[] = {
      {{"--link-stand-alone", "-o", "prog"}, "prog", false},
      {{"--link-stand-alone", "-o", "prog", "-s"}, "prog", true},
      {{"-link-stand-alone", "-strip"}, "a.out", true},
  };
  for (const auto& c : cases) {
    scratch_dir dir;
    write_file(dir.path("main.cc"), stand_alone_main);
    std::vector<std::string> args = c.options;
    args.push_back("main.cc");
    const process_result build = zrvbuild_with_profile(args, dir.root);
    ASSERT_EQ(0, build.status) << build.out << build.err;
    const std::string program = dir.path(c.program);
    ASSERT_TRUE(file_exists(program)) << c.program;
    EXPECT_EQ(!c.stripped, has_symbol_table(program)) << c.program;
    EXPECT_TRUE(file_exists(dir.path("main.cc")));  // the strip never names an input
    const process_result run = run_program({program}, base_environment, dir.root);
    EXPECT_EQ("mean 3 of zorvan " + built_version() + "\n", run.out);
    EXPECT_EQ(0, run.status);
  }
}

TEST(Toolchain, NamesWithBlanksFromSourcesToModuleAndProgram) {
  scratch_dir dir;
  // Each source's object is named after its base name in the current directory, so the three
  // base names differ.
  mkdir(dir.path("my dir").c_str(), 0755);
  copy_extension_source("scale.c", dir.path("my dir/my scale.c"));
  copy_extension_source("stats.cc", dir.path("my stats.cc"));
  copy_extension_source("sumsq.f90", dir.path("my sumsq.f90"));
  const process_result build = zrvbuild_with_profile(
      {"my dir/my scale.c", "my stats.cc", "my sumsq.f90", "-o", "my module"}, dir.root);
  ASSERT_EQ(0, build.status) << build.out << build.err;
  for (const char* product : {"my scale.o", "my stats.o", "my sumsq.o", "my module.zrv"}) {
    EXPECT_TRUE(file_exists(dir.path(product))) << product;
  }
  const process_result host = run_program(
      {example_home + "/bin/zrvhost", "./my module.zrv", "3", "4"}, base_environment, dir.root);
  EXPECT_EQ("zorvan " + built_version() +
                ": loaded ./my module.zrv\n"
                "count = 2\nmean = 3.5\nrms = 3.53553\nresult = 0.0355339 (3 values shown)\n",
            host.out);
  EXPECT_EQ(0, host.status) << host.err;

  write_file(dir.path("my main.cc"), stand_alone_main);
  const process_result program =
      zrvbuild_with_profile({"--link-stand-alone", "-o", "my prog", "-s", "my main.cc"}, dir.root);
  ASSERT_EQ(0, program.status) << program.out << program.err;
  ASSERT_TRUE(file_exists(dir.path("my prog")));
  EXPECT_FALSE(has_symbol_table(dir.path("my prog")));
  const process_result run = run_program({dir.path("my prog")}, base_environment, dir.root);
  EXPECT_EQ("mean 3 of zorvan " + built_version() + "\n", run.out);
  EXPECT_EQ(0, run.status);
}

TEST(Toolchain, ModuleOfTenThousandObjectsLinksThroughAResponseFile) {
  scratch_dir dir;
  write_file(dir.path("entry.c"),
             "double zrv_entry(int count, const double* values) {\n"
             "  return count * 10.0 + values[0];\n"
             "}\n");
  write_file(dir.path("tiny.c"), "typedef int tiny_object;\n");
  const process_result compiled = zrvbuild_with_profile({"-c", "entry.c", "tiny.c"}, dir.root);
  ASSERT_EQ(0, compiled.status) << compiled.err;

  // Copies of one object that defines nothing, under long names in a directory with a blank.
  const std::string copies = "copies of an object that defines nothing";
  std::filesystem::create_directory(dir.path(copies));
  std::vector<std::string> args = {"-v", "-o", "many", "entry.o"};
  for (int i = 0; i < 10000; ++i) {
    const std::string name =
        copies + "/tiny-object-with-a-rather-long-file-name-" + std::to_string(100000 + i) + ".o";
    std::filesystem::create_hard_link(dir.path("tiny.o"), dir.path(name));
    args.push_back(name);
  }
  mkdir(dir.path("tmp").c_str(), 0700);
  std::vector<std::string> environment = base_environment;
  environment.push_back("TMPDIR=" + dir.path("tmp"));
  const process_result linked = zrvbuild_with_profile(args, dir.root, environment);
  ASSERT_EQ(0, linked.status) << linked.err;
  // The echoed link command names the response file instead of the objects.
  EXPECT_NE(std::string::npos, linked.out.find(" -o many.zrv @" + dir.path("tmp/zrvbuild-")))
      << linked.out;
  EXPECT_LT(linked.out.size(), 4096u);
  EXPECT_TRUE(std::filesystem::is_empty(dir.path("tmp")));

  const process_result host =
      run_program({example_home + "/bin/zrvhost", "./many.zrv", "2.5"}, base_environment, dir.root);
  EXPECT_EQ("zorvan " + built_version() + ": loaded ./many.zrv\nresult = 12.5 (0 values shown)\n",
            host.out);
  EXPECT_EQ(0, host.status) << host.err;
}

TEST(Toolchain, EnvironmentInADirectoryWithABlank) {
  scratch_dir dir;
  const std::string home = dir.path("env home/zorvan");
  std::filesystem::create_directories(home);
  std::filesystem::copy(example_home, home, std::filesystem::copy_options::recursive);
  write_file(dir.path("main.cc"), stand_alone_main);
  const std::vector<std::string> environment = {"PATH=/usr/local/bin:/usr/bin:/bin",
                                                "ZORVAN_HOME=" + home};
  const process_result build =
      zrvbuild_with_profile({"--link-stand-alone", "-o", "prog", "main.cc"}, dir.root, environment);
  ASSERT_EQ(0, build.status) << build.err;
  // The program finds the copy's libraries through its run path, quoted in the link command.
  const process_result run = run_program({dir.path("prog")}, environment, dir.root);
  EXPECT_EQ("mean 3 of zorvan " + built_version() + "\n", run.out);
  EXPECT_NE(std::string::npos, read_file(dir.path("prog")).find(home + "/lib/zorvan/"));
}

TEST(Toolchain, ProfileNeedsToKnowTheEnvironment) {
  scratch_dir dir;
  const struct {
    std::vector<std::string> environment;
    std::string message;
  } cases[] = {
      {{"PATH=/usr/bin:/bin"},
       "gnu-linux.sh: set ZORVAN_HOME to the Zorvan installation directory\n"},
      {{"PATH=/usr/bin:/bin", "ZORVAN_HOME=" + dir.root},
       "gnu-linux.sh: no include/zorvan-VERSION directory under " + dir.root + "\n"},
      {{"PATH=/usr/bin:/bin", "ZORVAN_HOME=" + dir.path("two")},
       "gnu-linux.sh: several versions under " + dir.path("two") +
           "/include; set ZORVAN_VERSION\n"},
  };
  std::filesystem::create_directories(dir.path("two/include/zorvan-1/zorvan"));
  std::filesystem::create_directories(dir.path("two/include/zorvan-2/zorvan"));
  for (const auto& c : cases) {
    const process_result result =
        run_program({"/bin/sh", "-c", ". \"$1\" && echo sourced", "sh", ZRVBUILD_PROFILE},
                    c.environment, dir.root);
    EXPECT_EQ(c.message, result.err);
    EXPECT_EQ("", result.out);
    EXPECT_NE(0, result.status);
  }
  // With ZORVAN_VERSION the choice is the user's.
  const process_result chosen = run_program(
      {"/bin/sh", "-c", ". \"$1\" && echo \"$ZRVLIBDIR\"", "sh", ZRVBUILD_PROFILE},
      {"PATH=/usr/bin:/bin", "ZORVAN_HOME=" + dir.path("two"), "ZORVAN_VERSION=2"}, dir.root);
  EXPECT_EQ(dir.path("two") + "/lib/zorvan/2\n", chosen.out);
  EXPECT_EQ(0, chosen.status);
}

TEST(Toolchain, CompileOnly) {
  scratch_dir dir;
  for (const char* name : {"stats.cc", "scale.c", "sumsq.f90"}) {
    copy_extension_source(name, dir.path(name));
  }
  process_result plain =
      zrvbuild_with_profile({"-c", "scale.c", "sumsq.f90", "stats.cc"}, dir.root);
  ASSERT_EQ(0, plain.status) << plain.err;
  for (const char* object : {"scale.o", "sumsq.o", "stats.o"}) {
    EXPECT_EQ(0u, read_file(dir.path(object))
                      .find("\x7f"
                            "ELF"))
        << object;
  }
  EXPECT_FALSE(file_exists(dir.path("scale.zrv")));

  process_result named = zrvbuild_with_profile({"-c", "-o", "named.o", "scale.c"}, dir.root);
  ASSERT_EQ(0, named.status) << named.err;
  EXPECT_EQ(0u, read_file(dir.path("named.o"))
                    .find("\x7f"
                          "ELF"));
  EXPECT_FALSE(file_exists(dir.path("named.zrv")));
}

TEST(Toolchain, ToolErrorsReachTheUser) {
  scratch_dir dir;
  copy_extension_source("scale.c", dir.path("scale.c"));
  write_file(dir.path("plain"), "");
  write_file(dir.path("broken.c"), "int broken(void) { return }\n");
  write_file(dir.path("main.cc"), stand_alone_main);
  const struct {
    std::vector<std::string> args;
    std::string in_message;
  } cases[] = {
      {{"-c", "-o", "nodir/scale.o", "scale.c"}, "nodir/scale.o"},
      {{"-o", "nodir/mod", "scale.c"}, "nodir/mod.zrv"},
      {{"-o", "plain/mod", "scale.c"}, "plain/mod.zrv"},
      {{"--link-stand-alone", "-o", "nodir/prog", "-s", "main.cc"}, "nodir/prog"},
      {{"scale.c", "broken.c"}, "broken.c:1"},
  };
  for (const auto& c : cases) {
    const process_result result = zrvbuild_with_profile(c.args, dir.root);
    EXPECT_NE(0, result.status) << c.in_message;
    EXPECT_NE(std::string::npos, result.err.find(c.in_message)) << result.err;
  }
  EXPECT_FALSE(file_exists(dir.path("scale.zrv")));  // the broken source stopped the run
}

#endif
