// Reading module definitions and uses out of Fortran text, free and fixed form.
#include "phases/fortran_scan.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

struct scan_case {
  const char* name;
  std::string text;
  bool fixed_form;
  bool preprocessed;
  std::vector<std::string> defines;
  std::vector<std::string> uses;
  bool opaque;
};

}  // namespace

TEST(FortranScan, TableOfCases) {
  const std::vector<std::string> none;
  const scan_case cases[] = {
      {"module and use, any case",
       "MODULE Alpha\n  Use BETA\nend module alpha\n",
       false,
       false,
       {"alpha"},
       {"beta"},
       false},
      {"module procedure is no module",
       "module m\ninterface g\n module procedure f\nend interface\n"
       "end module\n",
       false,
       false,
       {"m"},
       none,
       false},
      {"module function and subroutine are no modules",
       "submodule (p) s\ncontains\n module function f()\n end\n module subroutine g\n end\nend\n",
       false,
       false,
       {"p:s"},
       {"p"},
       false},
      {"use, intrinsic names nothing to wait for",
       "use, intrinsic :: iso_c_binding\nuse, non_intrinsic :: mine\nuse :: other, only: x\n",
       false,
       false,
       none,
       {"mine", "other"},
       false},
      {"only and renames after the name",
       "use lib, only: a => b\nuse lib2, c => d\n",
       false,
       false,
       none,
       {"lib", "lib2"},
       false},
      {"a variable named use or module", "use = 1\nmodule = 2\nx = use\n", false, false, none, none,
       false},
      {"free-form comments and strings",
       "! module hidden\nprint *, 'use quoted' ! use gone\n"
       "x = \"module x\"; use after_string\n",
       false,
       false,
       none,
       {"after_string"},
       false},
      {"free-form continuation",
       "use &\n  & far_away, &\n  ! a comment between\n  only: z\n",
       false,
       false,
       none,
       {"far_away"},
       false},
      {"continued string",
       "s = 'a &\n  &use x'\nuse real_one\n",
       false,
       false,
       none,
       {"real_one"},
       false},
      {"statement label", "10 use labelled\n", false, false, none, {"labelled"}, false},
      {"its own module is no wait",
       "module a\nend module\nmodule b\nuse a\nend module b\n",
       false,
       false,
       {"a", "b"},
       none,
       false},
      {"each use once", "use x\nuse x, only: y\n", false, false, none, {"x"}, false},
      {"fixed-form comment columns",
       "C     use commented\n*     use starred\n!     use banged\nd     use debugging\n"
       "      USE FIXED\n",
       true,
       false,
       none,
       {"fixed"},
       false},
      {"fixed-form continuation in column 6",
       "      USE\n     &  SPLIT\n      MODULE\n     1 DEF\n",
       true,
       false,
       {"def"},
       {"split"},
       false},
      {"fixed-form zero in column 6 is no continuation", "      use\n     0a\n", true, false, none,
       none, false},
      {"fixed-form text ends at column 72",
       "      use abc" + std::string(59, ' ') + "xyz\n",
       true,
       false,
       none,
       {"abc"},
       false},
      {"fixed-form label and tab",
       "100   use labelled\n\tuse tabbed\n\t1, only: q\n",
       true,
       false,
       none,
       {"labelled", "tabbed"},
       false},
      {"submodule of a submodule",
       "submodule (top:mid) leaf\nend submodule\n",
       false,
       false,
       {"top:leaf"},
       {"top", "top:mid"},
       false},
      {"include line: followed, not opaque", "      include 'common.inc'\n      use m\n", true,
       false, none, {"m"}, false},
      {"preprocessor include: followed, not opaque", "#include \"defs.h\"\nuse m\n", false, true,
       none, {"m"}, false},
      {"include statement that is no include line", "include 'a.inc' // 'b'\nuse m\n", false,
       false, none, {"m"}, true},
      {"preprocessor conditional",
       "#ifdef HAVE_X\nuse x\n#endif\n",
       false,
       true,
       none,
       {"x"},
       true},
      {"a macro may rename any module", "#define N 3\nuse m\n", false, true, none, {"m"}, true},
      {"an undefined macro as well", "#undef m\nuse m\n", false, true, none, {"m"}, true},
      {"other directives hide nothing", "#pragma x\n#error no\n#line 3\nuse m\n#endif\n", false,
       true, none, {"m"}, false},
      {"directive lines without the preprocessor",
       "#ifdef X\nuse m\n",
       false,
       false,
       none,
       {"m"},
       false},
      {"semicolons", "module a; use b; end module a\n", false, false, {"a"}, {"b"}, false},
      {"carriage returns", "module win\r\nuse other\r\n", false, false, {"win"}, {"other"}, false},
      // Idioms of real libraries, each also built by the real compiler in
      // tests/cli/jobs_module_idioms_test.cc.
      {"use continued, with blank and comment lines inside",
       "use &\n\n  ! the module:\n\n  & cont_mod, &\n  only: x\n", false, false, none,
       {"cont_mod"}, false},
      {"endmodule and end module with or without a name",
       "module em\nendmodule em\nmodule en\nendmodule\nmodule eo\nend module\n", false, false,
       {"em", "en", "eo"}, none, false},
      {"use :: and non_intrinsic", "use :: plain_mod\nuse, non_intrinsic :: own_mod\n", false,
       false, none, {"plain_mod", "own_mod"}, false},
      {"string continued onto a line that begins module",
       "s = 'a string &\nmodule not_one'\nt = \"and &\n  &module nor_this\"\nuse real_one\n", false,
       false, none, {"real_one"}, false},
      {"use and module in comments and strings, fixed form",
       "C     module not_one\n      S = 'use nothing'\n      T = \"module none\" ! use no\n"
       "      USE FIXED_ONE\n",
       true, false, none, {"fixed_one"}, false},
      {"tabs", "module\ttabbed\n\tuse\tother\t! tab\n", false, false, {"tabbed"}, {"other"},
       false},
      {"tabs and carriage returns in fixed form",
       "\tMODULE FTAB\r\n\tUSE FOTHER\r\n", true, false, {"ftab"}, {"fother"}, false},
      {"variables named use and module",
       "integer :: use, module\nuse = 1\nmodule = use + 1\nuse(1:2) = 0\n", false, false, none,
       none, false},
      {"a module under #ifdef and #else branches, before preprocessing",
       "#ifdef WIDE\nmodule precision\ninteger, parameter :: wp = 8\nend module\n#else\n"
       "module precision\ninteger, parameter :: wp = 4\nend module\n#endif\n",
       false, true, {"precision"}, none, true},
      {"preprocessor output: line markers, blank lines",
       "# 1 \"consts.F90\"\n# 1 \"<built-in>\"\n# 1 \"<command-line>\"\n# 1 \"consts.F90\"\n\n\n"
       "module precision\ninteger, parameter :: wp = 4\nend module\n\n",
       false, false, {"precision"}, none, false},
      {"a module named by a macro, before preprocessing",
       "#define NAME macro_mod\nmodule NAME\nend module NAME\n", false, true, {"name"}, none,
       true},
      {"a module named by a macro, preprocessed",
       "# 1 \"m.F90\"\n\nmodule macro_mod\nend module macro_mod\n", false, false, {"macro_mod"},
       none, false},
      {"a fixed-form module under #ifndef, preprocessed",
       "# 1 \"fm.F\"\n\n      MODULE FIXMOD\nC     a comment\n      INTEGER K\n"
       "      END MODULE FIXMOD\n",
       true, false, {"fixmod"}, none, false},
      {"a use under #ifdef, before preprocessing", "subroutine s\n#ifdef HAVE_M\n  use m\n#endif\n",
       false, true, none, {"m"}, true},
      {"an #include, preprocessed",
       "# 1 \"second.F90\"\n# 1 \"second_body.h\" 1\nmodule second\n  use first\n"
       "end module second\n# 2 \"second.F90\" 2\n",
       false, false, {"second"}, {"first"}, false},
  };
  for (const scan_case& c : cases) {
    const fortran_scan scan = scan_fortran_text(c.text, c.fixed_form, c.preprocessed);
    EXPECT_EQ(c.defines, scan.defines) << c.name;
    EXPECT_EQ(c.uses, scan.uses) << c.name;
    EXPECT_EQ(c.opaque, scan.opaque) << c.name;
  }
}

TEST(FortranScan, IncludeLinesAndDirectives) {
  const struct {
    const char* text;
    bool fixed_form;
    bool preprocessed;
    std::vector<std::string> names;
    bool directive;  // of every name
    bool opaque;
  } cases[] = {
      {"  include 'a.inc'\n", false, false, {"a.inc"}, false, false},
      {"INCLUDE \"b.inc\" ! a comment\n", false, false, {"b.inc"}, false, false},
      {"      Include 'it''s.inc'\n", true, false, {"it's.inc"}, false, false},
      {"\tinclude 'tab.inc'\r\n", true, false, {"tab.inc"}, false, false},
      {"C     include 'commented.inc'\n! include 'gone.inc'\n", true, false, {}, false, false},
      {"x = 'a &\ninclude \"in_string.inc\"'\n", false, false, {}, false, false},
      {"#include \"q.h\"\n#  include <a.h>\n", false, true, {"q.h", "a.h"}, true, false},
      {"#include \"q.h\"\n", false, false, {}, false, false},
      {"#include MACRO_NAME\n", false, true, {}, true, true},
      {"#include \"unclosed\n", false, true, {}, true, true},
  };
  for (const auto& c : cases) {
    const fortran_scan scan = scan_fortran_text(c.text, c.fixed_form, c.preprocessed);
    std::vector<std::string> names;
    for (const fortran_include& include : scan.includes) {
      names.push_back(include.name);
      EXPECT_EQ(c.directive, include.directive) << c.text;
    }
    EXPECT_EQ(c.names, names) << c.text;
    EXPECT_EQ(c.opaque, scan.opaque) << c.text;
  }
}

TEST(FortranScan, IncludesFollowed) {
  const std::map<std::string, std::string> files = {
      {"src/uses.inc", "  use from_source_dir\n  include 'nested.inc'\n"},
      {"inc/nested.inc", "  use from_include_dir\n"},
      {"inc/uses.inc", "  use never_read\n"},
      {"inc/loop.inc", "  use looped\n  include 'loop.inc'\n"},
      {"inc/defs.inc", "module from_include\nend module\n"},
      {"inc/own.inc", "  use from_include\n"},
      {"hdr/a.h", "#include \"b.h\"\nuse from_a\n"},
      {"hdr/b.h", "use beside_a\n#ifdef X\n#endif\n"},
      {"inc/b.h", "use wrong_b\n"},
      {"/abs/x.inc", "use absolute\n"},
      {"inc/fixed.inc", "C     use commented\n      USE FIXED_INC\n"},
  };
  const fortran_file_reader read = [&files](const std::string& path, std::string& text) {
    const auto found = files.find(path);
    if (found == files.end())
      return false;
    text = found->second;
    return true;
  };
  const struct {
    const char* name;
    const char* text;
    bool preprocessed;
    std::vector<std::string> defines;
    std::vector<std::string> uses;
    bool opaque;
  } cases[] = {
      {"the source's directory first, then -I", "include 'uses.inc'\n", false, {},
       {"from_source_dir", "from_include_dir"}, false},
      {"a file including itself is read once", "include 'loop.inc'\n", false, {}, {"looped"},
       false},
      {"a module of an included file is the source's own", "include 'defs.inc'\ninclude 'own.inc'\n",
       false, {"from_include"}, {}, false},
      {"a missing file makes the source opaque", "include 'missing.inc'\nuse m\n", false, {},
       {"m"}, true},
      {"#include beside the header that names it; its conditionals count",
       "#include \"a.h\"\n", true, {}, {"from_a", "beside_a"}, true},
      {"an absolute name", "include '/abs/x.inc'\n", false, {}, {"absolute"}, false},
  };
  fortran_reading reading;
  reading.include_directories = {"src", "inc", "hdr"};
  for (const auto& c : cases) {
    fortran_scan scan = scan_fortran_text(c.text, false, c.preprocessed);
    follow_includes(scan, "src/s.F90", reading, read);
    EXPECT_EQ(c.defines, scan.defines) << c.name;
    EXPECT_EQ(c.uses, scan.uses) << c.name;
    EXPECT_EQ(c.opaque, scan.opaque) << c.name;
    EXPECT_TRUE(scan.includes.empty()) << c.name;
  }
  // Included files are read in the source's form.
  fortran_reading fixed = reading;
  fixed.fixed_form = true;
  fortran_scan scan = scan_fortran_text("      INCLUDE 'fixed.inc'\n", true, false);
  follow_includes(scan, "s.f", fixed, read);
  EXPECT_EQ(std::vector<std::string>{"fixed_inc"}, scan.uses);
}

TEST(FortranScan, ReadingFromTheCommand) {
  const struct {
    const char* source;
    std::vector<std::string> words;
    bool fixed_form;
    bool preprocessed;
    std::vector<std::string> directories;
  } cases[] = {
      {"a.f90", {"gfortran", "-E", "-O2", "a.f90"}, false, false, {""}},
      {"sub/a.F", {"gfortran", "-E", "sub/a.F"}, true, true, {"sub"}},
      {"a.f90", {"gfortran", "-E", "-cpp", "a.f90"}, false, true, {""}},
      {"a.F90", {"gfortran", "-E", "-cpp", "-nocpp", "a.F90"}, false, false, {""}},
      {"a.f", {"gfortran", "-E", "-ffree-form", "a.f"}, false, false, {""}},
      {"a.f90", {"gfortran", "-ffree-form", "-ffixed-form", "a.f90"}, true, false, {""}},
      {"/x/a.f90",
       {"gfortran", "-idirafter", "late", "-Ione", "-I", "two", "-idirafterlater", "-I.",
        "/x/a.f90"},
       false,
       false,
       {"/x", "one", "two", ".", "late", "later"}},
      {"a.f90", {"gfortran", "-Imy dir", "a.f90", "-I"}, false, false, {"", "my dir"}},
      {"c:\\src\\a.F90", {"gfortran"}, false, true, {"c:\\src"}},
  };
  for (const auto& c : cases) {
    const fortran_reading reading = read_fortran_command(c.source, c.words);
    EXPECT_EQ(c.fixed_form, reading.fixed_form) << c.source;
    EXPECT_EQ(c.preprocessed, reading.preprocessed) << c.source;
    EXPECT_EQ(c.directories, reading.include_directories) << c.source;
  }
}

TEST(FortranScan, FormFromTheName) {
  EXPECT_TRUE(is_fixed_form_fortran("a.f"));
  EXPECT_TRUE(is_fixed_form_fortran("a.F"));
  EXPECT_FALSE(is_fixed_form_fortran("a.f90"));
  EXPECT_FALSE(is_fixed_form_fortran("solverf90"));
  EXPECT_TRUE(is_preprocessed_fortran("a.F"));
  EXPECT_TRUE(is_preprocessed_fortran("a.F90"));
  EXPECT_FALSE(is_preprocessed_fortran("a.f90"));
  EXPECT_FALSE(is_preprocessed_fortran("a.f"));
}
