// Reading module definitions and uses out of Fortran text, free and fixed form.
#include "phases/fortran_scan.h"

#include <gtest/gtest.h>

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
      {"include line", "      include 'common.inc'\n      use m\n", true, false, none, {"m"}, true},
      {"preprocessor include", "#include \"defs.h\"\nuse m\n", false, true, none, {"m"}, true},
      {"preprocessor conditional",
       "#ifdef HAVE_X\nuse x\n#endif\n",
       false,
       true,
       none,
       {"x"},
       true},
      {"plain define is fine", "#define N 3\nuse m\n", false, true, none, {"m"}, false},
      {"directive lines without the preprocessor",
       "#ifdef X\nuse m\n",
       false,
       false,
       none,
       {"m"},
       false},
      {"semicolons", "module a; use b; end module a\n", false, false, {"a"}, {"b"}, false},
      {"carriage returns", "module win\r\nuse other\r\n", false, false, {"win"}, {"other"}, false},
  };
  for (const scan_case& c : cases) {
    const fortran_scan scan = scan_fortran_text(c.text, c.fixed_form, c.preprocessed);
    EXPECT_EQ(c.defines, scan.defines) << c.name;
    EXPECT_EQ(c.uses, scan.uses) << c.name;
    EXPECT_EQ(c.opaque, scan.opaque) << c.name;
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
