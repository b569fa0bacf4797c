// What a run says at its end, as users meet it with fake tools (and gfortran): the closing line
// of a run that failed, was up to date or built part of its commands; the progress count of an
// incremental rerun; the line that names the variable of a program the interpreter could not
// find; and the line that explains a sequential Fortran failure by the order of the sources.
// Without progress lines the output of every run that does not fail that way stays as it was.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/scratch.h"
#include "support/text_lines.h"
#include "support/tools.h"

namespace {

// The fake tool writes its -o file and, when asked with -MF, a make rule naming its source (its
// last word that is no option and no option's value); it exits with 3 when that source is
// $FAIL_SOURCE.
const char* const fake_tool_body = R"sh(out=; list=; source=; prev=
for word; do
  case $prev in -o) out=$word ;; -MF) list=$word ;; esac
  case $word in -*) ;; *) [ "$prev" = -o ] || [ "$prev" = -MF ] || source=$word ;; esac
  prev=$word
done
[ -n "$out" ] && echo "made by $*" > "$out"
[ -n "$list" ] && echo "$out: $source" > "$list"
if [ -n "$FAIL_SOURCE" ] && [ "$source" = "$FAIL_SOURCE" ]; then exit 3; fi
exit 0
)sh";

// Sources made a while ago, so that an incremental run trusts their times.
void write_old_file(const std::string& path, const std::string& text) {
  write_file(path, text);
  struct timespec times[2] = {{1000000000, 5}, {1000000000, 5}};
  utimensat(AT_FDCWD, path.c_str(), times, 0);
}

struct fake_project {
  scratch_dir dir;
  fake_project() {
    mkdir(dir.path("bin").c_str(), 0755);
    for (const char* tool : {"gf", "cc", "cx", "ld", "ldx", "strip"})
      write_script(dir.path(std::string("bin/") + tool), fake_tool_body);
    for (const char* name : {"a.c", "b.c", "c.c"}) write_old_file(dir.path(name), "int x;\n");
  }
  process_result run(const std::vector<std::string>& args,
                     const std::vector<std::string>& extra = {}) const {
    std::vector<std::string> env = {"PATH=" + dir.path("bin") + ":" + tool_search_path(),
                                    "F77=gf", "CC=cc", "CXX=cx", "DL_LD=ld", "LD_CXX=ldx"};
    // An entry of extra takes the place of the same variable's.
    for (const std::string& entry : extra) {
      const std::string name = entry.substr(0, entry.find('=') + 1);
      env.erase(std::remove_if(env.begin(), env.end(),
                               [&](const std::string& e) { return e.compare(0, name.size(), name) == 0; }),
                env.end());
      env.push_back(entry);
    }
    return run_zrvbuild(args, env, dir.root);
  }
};

}  // namespace

// An incremental rerun counts the commands that run, and one that runs none says so.
TEST(ClosingLines, IncrementalRerunsCountWhatRuns) {
  for (const char* jobs : {"1", "2"}) {
    SCOPED_TRACE(std::string("ZRVBUILD_JOBS=") + jobs);
    fake_project p;
    const std::vector<std::string> shown = {"ZRVBUILD_INCREMENTAL=1", "ZRVBUILD_PROGRESS=1",
                                            std::string("ZRVBUILD_JOBS=") + jobs};
    process_result first = p.run({"-s", "a.c", "b.c", "c.c"}, shown);
    ASSERT_EQ(0, first.status) << first.err;
    EXPECT_EQ("built a.zrv: 3 compiled, 1 linked in T s\n", last_line(without_times(first.err)));

    process_result none = p.run({"-s", "a.c", "b.c", "c.c"}, shown);
    EXPECT_EQ(0, none.status);
    EXPECT_EQ("a.zrv is up to date\n", none.err);
    process_result objects = p.run({"-c", "a.c", "b.c"}, shown);
    EXPECT_EQ(0, objects.status);
    EXPECT_EQ("every object is up to date\n", objects.err);

    // The last source changed: every skip is decided before the first line. A source in the
    // middle: a skip decided after its line lowers N from the next line on, and the count
    // ends at what ran.
    for (const auto& change : {std::make_pair("c.c", "[1/3] compiling c.c"),
                               std::make_pair("b.c", "[1/4] compiling b.c")}) {
      write_old_file(p.dir.path(change.first), std::string("int ") + change.first[0] + "2;\n");
      process_result one = p.run({"-s", "a.c", "b.c", "c.c"}, shown);
      EXPECT_EQ(0, one.status);
      EXPECT_EQ(lines({change.second, "[2/3] linking a.zrv", "[3/3] stripping a.zrv",
                       "built a.zrv: 1 compiled, 1 linked in T s"}),
                without_times(one.err));
    }

    // Without progress lines a rerun prints nothing at all, as before.
    process_result quiet = p.run({"-s", "a.c", "b.c", "c.c"}, {"ZRVBUILD_INCREMENTAL=1"});
    EXPECT_EQ("", quiet.err);
    EXPECT_EQ("", quiet.out);
  }
}

// A failing run closes with the command whose status it ends with, also when other commands of
// a parallel run wrote their lines after it.
TEST(ClosingLines, AFailedRunSaysSo) {
  const struct {
    const char* name;
    std::vector<std::string> args;
    std::vector<std::string> extra;
    std::string closing;
    int status;
  } cases[] = {
      {"sequential compile", {"a.c", "b.c", "c.c"}, {"FAIL_SOURCE=b.c"},
       "build failed: compiling b.c failed (status 3)", 3},
      {"parallel compile", {"a.c", "b.c", "c.c"}, {"FAIL_SOURCE=a.c", "ZRVBUILD_JOBS=2"},
       "build failed: compiling a.c failed (status 3)", 3},
      {"dependency files", {"-M", "a.c", "b.c"}, {"FAIL_SOURCE=a.c", "ZRVBUILD_JOBS=2"},
       "build failed: dependencies of a.c failed (status 3)", 3},
      {"link", {"a.c", "b.c"}, {"DL_LD=false"}, "build failed: linking a.zrv failed (status 1)", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fake_project p;
    std::vector<std::string> extra = c.extra;
    extra.push_back("ZRVBUILD_PROGRESS=1");
    process_result shown = p.run(c.args, extra);
    EXPECT_EQ(c.status, shown.status);
    EXPECT_EQ(c.closing + "\n", last_line(shown.err)) << shown.err;
    extra.pop_back();
    process_result plain = p.run(c.args, extra);
    EXPECT_EQ(c.status, plain.status);
    EXPECT_EQ(std::string::npos, plain.err.find("build failed")) << plain.err;
  }
}

// After status 127, the interpreter's "not found", one line names the variable that chose the
// program, in sequence and in parallel; the status stays 127.
TEST(ClosingLines, AProgramNotFoundNamesItsVariable) {
  const struct {
    const char* name;
    std::vector<std::string> args;
    std::vector<std::string> extra;
    std::string line;
  } cases[] = {
      {"C compiler", {"a.c"}, {"CC=no-such-cc -O2"}, "no-such-cc was not found; the configuration variable CC chose it"},
      {"C++ compiler in parallel", {"a.c", "x.cc"}, {"CXX=no-such-cxx", "ZRVBUILD_JOBS=2"},
       "no-such-cxx was not found; the configuration variable CXX chose it"},
      {"Fortran compiler", {"f.f90"}, {"F77=no-such-f77"},
       "no-such-f77 was not found; the configuration variable F77 chose it"},
      {"a launcher", {"a.c"}, {"CC=no-such-launcher cc"},
       "no-such-launcher was not found; the configuration variable CC chose it"},
      {"a quoted name", {"a.c"}, {"CC=\"/no such/cc\""},
       "/no such/cc was not found; the configuration variable CC chose it"},
      {"dependency command", {"-M", "x.cc"}, {"CXX=no-such-cxx"},
       "no-such-cxx was not found; the configuration variable CXX chose it"},
      {"module link", {"a.c"}, {"DL_LD=no-such-ld"},
       "no-such-ld was not found; the configuration variable DL_LD chose it"},
      {"stand-alone link", {"--link-stand-alone", "a.c"}, {"LD_CXX=no-such-ldx"},
       "no-such-ldx was not found; the configuration variable LD_CXX chose it"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fake_project p;
    write_file(p.dir.path("x.cc"), "int y;\n");
    write_file(p.dir.path("f.f90"), "subroutine f\nend subroutine\n");
    process_result r = p.run(c.args, c.extra);
    EXPECT_EQ(127, r.status);
    EXPECT_EQ("zrvbuild: " + c.line + "\n", last_line(r.err)) << r.err;
    // The interpreter's own message comes first, as before.
    EXPECT_NE(std::string::npos, r.err.find("not found")) << r.err;
  }
  // Another failure names nothing.
  fake_project p;
  process_result failed = p.run({"a.c"}, {"FAIL_SOURCE=a.c"});
  EXPECT_EQ(3, failed.status);
  EXPECT_EQ("", failed.err);
}

// After a sequential Fortran compile failed, a line names a module the source uses that only a
// source listed after it defines.
TEST(ClosingLines, AFortranFailureNamesAModuleDefinedLater) {
  const std::string dotmod = "module dotmod\ncontains\n  subroutine d\n  end subroutine\nend module\n";
  const std::string uses_dotmod = "subroutine dot_impl\n  use dotmod\nend subroutine\n";
  const std::string explained =
      "zrvbuild: dot_impl.f90 uses module dotmod, which dotmod.f90 (listed later) defines; "
      "list dotmod.f90 first or set ZRVBUILD_JOBS\n";
  const struct {
    const char* name;
    std::vector<std::pair<std::string, std::string>> files;
    std::vector<std::string> args;
    std::vector<std::string> extra;
    std::string line;  // the last line of standard error, "" for none at all
  } cases[] = {
      {"the definer listed later",
       {{"dot_impl.f90", uses_dotmod}, {"dotmod.f90", dotmod}},
       {"dot_impl.f90", "dotmod.f90"}, {}, explained},
      {"the definer listed first",
       {{"dot_impl.f90", uses_dotmod}, {"dotmod.f90", dotmod}},
       {"dotmod.f90", "dot_impl.f90"}, {}, ""},
      {"a parallel run",
       {{"dot_impl.f90", uses_dotmod}, {"dotmod.f90", dotmod}},
       {"dot_impl.f90", "dotmod.f90"}, {"ZRVBUILD_JOBS=2"}, ""},
      {"two modules defined later: the first one used",
       {{"dot_impl.f90", "subroutine dot_impl\n  use other\n  USE DotMod, only: d\nend subroutine\n"},
        {"dotmod.f90", dotmod},
        {"other.f90", "module other\nend module\n"}},
       {"dot_impl.f90", "dotmod.f90", "other.f90"}, {},
       "zrvbuild: dot_impl.f90 uses module other, which other.f90 (listed later) defines; "
       "list other.f90 first or set ZRVBUILD_JOBS\n"},
      {"two definers listed later: the first",
       {{"dot_impl.f90", uses_dotmod}, {"dotmod.f90", dotmod}, {"again.f90", dotmod}},
       {"dot_impl.f90", "dotmod.f90", "again.f90"}, {}, explained},
      {"a module no source defines", {{"dot_impl.f90", uses_dotmod}}, {"dot_impl.f90"}, {}, ""},
      {"a module the failed source defines itself",
       {{"dot_impl.f90", dotmod + uses_dotmod}, {"again.f90", dotmod}},
       {"dot_impl.f90", "again.f90"}, {}, ""},
      {"an intrinsic module",
       {{"dot_impl.f90", "subroutine dot_impl\n  use, intrinsic :: iso_c_binding\nend subroutine\n"},
        {"iso.f90", "module iso_c_binding\nend module\n"}},
       {"dot_impl.f90", "iso.f90"}, {}, ""},
      {"a source whose conditionals could change what it uses",
       {{"dot_impl.F90", "subroutine dot_impl\n#ifdef X\n  use dotmod\n#endif\nend subroutine\n"},
        {"dotmod.f90", dotmod}},
       {"dot_impl.F90", "dotmod.f90"}, {}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fake_project p;
    for (const auto& file : c.files) write_file(p.dir.path(file.first), file.second);
    std::vector<std::string> extra = c.extra;
    extra.push_back("FAIL_SOURCE=" + c.args.front());
    process_result r = p.run(c.args, extra);
    EXPECT_EQ(3, r.status);
    EXPECT_EQ(c.line, r.err);
  }
}

// The case as a user meets it, with gfortran's own message first.
TEST(ClosingLines, GfortranInTheWrongOrder) {
  ZRV_NEED_TOOLS("gfortran");
  scratch_dir dir;
  write_file(dir.path("dotmod.f90"),
             "module dotmod\ncontains\n  real function dot(a, b)\n    real :: a(:), b(:)\n"
             "    dot = sum(a * b)\n  end function\nend module\n");
  write_file(dir.path("dot_impl.f90"),
             "subroutine dot_impl(x)\n  use dotmod\n  real :: x(3)\n  print *, dot(x, x)\n"
             "end subroutine\n");
  const std::vector<std::string> env = {std::string("PATH=") + tool_search_path(), "F77=gfortran",
                                        "FFLAGS=-O0", "FPICFLAG=-fPIC"};
  process_result r = run_zrvbuild({"-c", "dot_impl.f90", "dotmod.f90"}, env, dir.root);
  EXPECT_NE(0, r.status);
  EXPECT_NE(std::string::npos, r.err.find("dotmod.mod")) << r.err;
  EXPECT_EQ("zrvbuild: dot_impl.f90 uses module dotmod, which dotmod.f90 (listed later) defines; "
            "list dotmod.f90 first or set ZRVBUILD_JOBS\n",
            last_line(r.err));
  process_result in_order = run_zrvbuild({"-c", "dotmod.f90", "dot_impl.f90"}, env, dir.root);
  EXPECT_EQ(0, in_order.status) << in_order.err;
  EXPECT_EQ("", in_order.err);
}
