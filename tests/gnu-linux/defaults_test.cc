// The program of the GNU/Linux configuration as users meet it: the defaults that differ from the
// standard configuration, the commands they make, the directories following ZORVAN_HOME with
// their forward slashes, and the root found from a copy of the program in a bin directory.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/scratch.h"

namespace {

// -mieee-fp is an x86 option; the configuration leaves it out elsewhere.
#if defined(__i386__) || defined(__x86_64__)
const std::string ieee = " -mieee-fp";
#else
const std::string ieee = "";
#endif

// The composed flags leave out /usr/include and /usr/lib, which the tools search anyway: a build
// for the prefix /usr (the Debian package's) has two items less.
std::string incflags_under(const std::string& root, const std::string& v) {
  std::string flags = "-I" + root + "/include/zorvan-" + v + "/zorvan/.. -I" + root +
                      "/include/zorvan-" + v + "/zorvan";
  if (root + "/include" != "/usr/include")
    flags += " -I" + root + "/include";
  return flags;
}

std::string lflags_under(const std::string& root, const std::string& v) {
  std::string flags = "-L" + root + "/lib/zorvan/" + v;
  if (root + "/lib" != "/usr/lib")
    flags += " -L" + root + "/lib";
  return flags;
}

struct printed {
  std::vector<std::string> env;
  std::string name;
  std::string value;
};

void expect_printed(const std::vector<printed>& cases, const std::string& program = ZRVBUILD_EXE) {
  for (const printed& c : cases) {
    std::vector<std::string> env = {"PATH=/usr/bin:/bin"};
    env.insert(env.end(), c.env.begin(), c.env.end());
    const process_result r = run_program({program, "-p", c.name}, env);
    const std::string shown = (c.env.empty() ? std::string() : c.env[0]) + " -p " + c.name;
    EXPECT_EQ(c.value + "\n", r.out) << shown;
    EXPECT_EQ("", r.err) << shown;
    EXPECT_EQ(0, r.status) << shown;
  }
}

}  // namespace

TEST(GnuLinuxDefaults, EveryVariableThatDiffersFromTheStandardConfiguration) {
  const std::string p = built_prefix();
  const std::string v = built_version();
  if (p.find(' ') != std::string::npos)
    GTEST_SKIP() << "the prefix holds a blank";
  const std::string rpath = "-Wl,-rpath," + p + "/lib/zorvan/" + v;
  const std::string xtra = " -pthread -fopenmp" + ieee;
  expect_printed({
      {{}, "ZORVAN_HOME", p},
      {{}, "ZORVAN_PREFIX", p},
      {{}, "ZRVINCLUDEDIR", p + "/include/zorvan-" + v + "/zorvan"},
      {{}, "INCLUDEDIR", p + "/include"},
      {{}, "LIBDIR", p + "/lib"},
      {{}, "ZRVLIBDIR", p + "/lib/zorvan/" + v},
      {{}, "INCFLAGS", incflags_under(p, v)},
      {{}, "LFLAGS", lflags_under(p, v)},
      {{}, "FFLAGS", "-g -O2" + ieee},
      {{}, "XTRA_CFLAGS", xtra},
      {{}, "XTRA_CXXFLAGS", xtra},
      {{}, "FPICFLAG", "-fPIC"},
      {{}, "CPICFLAG", "-fPIC"},
      {{}, "CXXPICFLAG", "-fPIC"},
      {{}, "LIBS", "-lm"},
      {{}, "FLIBS", "-lgfortran -lm"},
      {{}, "LDFLAGS", ""},
      {{}, "ZORVAN_LINK_DEPS", "-lgfortran -lm"},
      {{}, "ZORVAN_LINK_OPTS", rpath + " -Wl,-rpath," + p + "/lib"},
      {{}, "ZRV_LINK_DEPS", "-lgfortran -lm"},
      {{}, "ZRV_LINK_OPTS", rpath},
      {{}, "ALL_FFLAGS", "-g -O2" + ieee + " "},
      {{}, "ALL_CFLAGS", incflags_under(p, v) + " " + xtra + " -g -O2"},
      {{}, "ALL_CXXFLAGS", incflags_under(p, v) + " " + xtra + " -g -O2"},
      {{}, "ALL_LDFLAGS", " -fPIC "},
      // The same as in the standard configuration.
      {{}, "CC", "gcc -std=gnu11"},
      {{}, "CPPFLAGS", "-I" + p + "/include"},
      {{}, "FFTW_LIBS", "-L" + p + "/lib  -lfftw3  -L" + p + "/lib  -lfftw3f "},
      {{}, "ZORVAN_LIBS", "-lzrvinterp -lzorvan "},
      // The environment still overrides, variable by variable.
      {{"CPICFLAG=-fpic"}, "CPICFLAG", "-fpic"},
      {{"ZRV_LINK_DEPS= "}, "ZRV_LINK_DEPS", " "},
  });
}

TEST(GnuLinuxDefaults, DryRunsWithTheBuiltInDefaults) {
  const std::string p = built_prefix();
  const std::string v = built_version();
  if (p.find(' ') != std::string::npos)
    GTEST_SKIP() << "the prefix holds a blank";
  const std::string cxxflags = incflags_under(p, v) + "  -pthread -fopenmp" + ieee + " -g -O2";
  const std::string libs = lflags_under(p, v) + " -lzrvinterp -lzorvan ";
  const std::string rpath = "-Wl,-rpath," + p + "/lib/zorvan/" + v;
  const struct {
    std::vector<std::string> args;
    std::string out;
  } cases[] = {
      {{"-n", "foo.cc"},
       "g++ -std=gnu++11 -c -I" + p + "/include -fPIC " + cxxflags + "    foo.cc -o foo.o\n" +
           "g++ -std=gnu++11 " + cxxflags + " -shared  -o foo.zrv  foo.o   " + libs + rpath +
           " -lgfortran -lm\n"},
      {{"-n", "-c", "bar.f90"}, "gfortran -c -fPIC -g -O2" + ieee + "     bar.f90 -o bar.o\n"},
      {{"-n", "--link-stand-alone", "main.cc"},
       "g++ -std=gnu++11 -c -I" + p + "/include -fPIC " + cxxflags + "    main.cc -o main.o\n" +
           "g++ -std=gnu++11 -I" + p + "/include " + cxxflags + "   -fPIC     main.o   " + libs +
           " " + rpath + " -Wl,-rpath," + p + "/lib -lgfortran -lm\n"},
  };
  for (const auto& c : cases) {
    const process_result r = run_zrvbuild(c.args);
    EXPECT_EQ(c.out, r.out) << c.args[1];
    EXPECT_EQ("", r.err);
    EXPECT_EQ(0, r.status);
  }
}

TEST(GnuLinuxRoot, DirectoriesFollowZorvanHomeWithTheirSlashes) {
  const std::string p = built_prefix();
  const std::string v = built_version();
  const std::string blank = "/opt/my zorvan";
  expect_printed({
      {{"ZORVAN_HOME=/srv/z"}, "ZORVAN_HOME", "/srv/z"},
      {{"ZORVAN_HOME=/srv/z"}, "ZRVINCLUDEDIR", "/srv/z/include/zorvan-" + v + "/zorvan"},
      {{"ZORVAN_HOME=/srv/z"}, "INCFLAGS", incflags_under("/srv/z", v)},
      {{"ZORVAN_HOME=/srv/z"}, "LFLAGS", lflags_under("/srv/z", v)},
      {{"ZORVAN_HOME=/srv/z"}, "ZORVAN_PREFIX", p},
      {{"ZORVAN_HOME=/srv/z/"}, "LIBDIR", "/srv/z//lib"},
      {{"ZORVAN_HOME=" + blank}, "INCLUDEDIR", blank + "/include"},
      {{"ZORVAN_HOME=" + blank},
       "INCFLAGS",
       "-I\"" + blank + "/include/zorvan-" + v + "/zorvan/..\" -I\"" + blank + "/include/zorvan-" +
           v + "/zorvan\" -I\"" + blank + "/include\""},
      {{"ZORVAN_HOME=" + blank},
       "LFLAGS",
       "-L\"" + blank + "/lib/zorvan/" + v + "\" -L\"" + blank + "/lib\""},
      {{"ZORVAN_HOME=/usr"}, "LFLAGS", "-L/usr/lib/zorvan/" + v},
      {{"ZORVAN_HOME="}, "ZRVLIBDIR", p + "/lib/zorvan/" + v},
      {{"LIBDIR=/x/lib"}, "LFLAGS", "-L" + p + "/lib/zorvan/" + v + " -L/x/lib"},
  });
}

TEST(GnuLinuxRoot, ACopyOfTheProgramInABinDirectoryGivesTheRoot) {
  scratch_dir dir;
  const std::string v = built_version();
  const std::string root = dir.path("inst");
  std::filesystem::create_directories(root + "/bin");
  const std::string copy = root + "/bin/zorvan-build";
  std::filesystem::copy_file(ZRVBUILD_EXE, copy);
  chmod(copy.c_str(), 0755);
  expect_printed({{{}, "ZORVAN_HOME", root},
                  {{}, "ZRVINCLUDEDIR", root + "/include/zorvan-" + v + "/zorvan"},
                  {{}, "LFLAGS", lflags_under(root, v)},
                  {{}, "ZORVAN_PREFIX", built_prefix()},
                  {{"ZORVAN_HOME="}, "ZORVAN_HOME", root},
                  {{"ZORVAN_HOME=/srv/z"}, "ZORVAN_HOME", "/srv/z"}},
                 copy);

  // Outside a bin directory, or without the product word, the build prefix is the root.
  const std::string plain = dir.path("zorvan-build");
  const std::string unnamed = root + "/bin/zrvbuild";
  for (const std::string& other : {plain, unnamed}) {
    std::filesystem::copy_file(ZRVBUILD_EXE, other);
    chmod(other.c_str(), 0755);
    expect_printed({{{}, "ZORVAN_HOME", built_prefix()}}, other);
  }
}
