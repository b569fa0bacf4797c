// Fortran texts that several tests read.
#include "support/fortran_texts.h"

namespace {

// A free-form subroutine that uses the module and reads the integer named there.
std::string user_of(const std::string& routine, const std::string& module,
                    const std::string& value) {
  return "subroutine " + routine + "(i)\n  use " + module + "\n  implicit none\n" +
         "  integer :: i\n  i = " + value + "\nend subroutine\n";
}

std::string module_with(const std::string& module, const std::string& value) {
  return "module " + module + "\n  implicit none\n  integer, parameter :: " + value +
         " = 3\nend module " + module + "\n";
}

}  // namespace

std::vector<scan_case> fortran_scan_cases() {
  const std::vector<std::string> none;
  return {
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
}

std::vector<idiom_set> module_idiom_sets() {
  std::vector<idiom_set> sets = {
      {"ModuleInIfdefAndElseBranches",
       {{"a_check.f90",
         "subroutine a_check(x, bad)\n  use precision\n  use nan_test\n  real(wp) :: x\n"
         "  logical :: bad\n  bad = is_nan(x)\nend subroutine\n"},
        {"b_scale.f90",
         "subroutine b_scale(x)\n  use precision\n  real(wp) :: x\n  x = 2 * x\nend subroutine\n"},
        {"nan_test.F90",
         "module nan_test\n  use precision\n  implicit none\ncontains\n"
         "  logical function is_nan(x)\n    real(wp), intent(in) :: x\n#ifdef HAVE_IEEE\n"
         "    is_nan = x /= x\n#else\n    is_nan = .not. (x == x)\n#endif\n  end function\n"
         "end module nan_test\n"},
        {"precision.F90",
         "#ifdef WIDE\nmodule precision\n  integer, parameter :: wp = kind(1.0d0)\n"
         "end module precision\n#else\nmodule precision\n  integer, parameter :: wp = kind(1.0)\n"
         "end module precision\n#endif\n"}},
       {"a_check.f90", "b_scale.f90", "nan_test.F90", "precision.F90"},
       {}},
      {"IncludedFileHoldsTheUse",
       {{"inc/uses_inc_mod.inc", "  use inc_mod\n"},
        {"sub/beside.inc", "      USE INC_MOD\n"},
        {"a_user.f90",
         "subroutine a_user(i)\n  include 'uses_inc_mod.inc'\n  implicit none\n  integer :: i\n"
         "  i = inc_value\nend subroutine\n"},
        {"sub/fixed_user.f",
         "      SUBROUTINE FUSER(I)\n      INCLUDE 'beside.inc'\n      INTEGER I\n"
         "      I = INC_VALUE\n      END\n"},
        {"inc_mod.f90", module_with("inc_mod", "inc_value")}},
       {"-Iinc", "a_user.f90", "sub/fixed_user.f", "inc_mod.f90"},
       {}},
      {"ModuleDefinedByTwoFiles",
       {{"a_user.f90", user_of("a_user", "dup", "k")},
        {"dup_fast.f90", module_with("dup", "k")},
        {"dup_slow.f90", module_with("dup", "k")}},
       {"a_user.f90", "dup_fast.f90", "dup_slow.f90"},
       {}},
      {"HashIncludeWhoseModuleUsesAnother",
       {{"a_user.f90", user_of("a_user", "second", "two")},
        {"second_body.h",
         "module second\n  use first\n  integer, parameter :: two = one + 1\nend module second\n"},
        {"second.F90", "#include \"second_body.h\"\n"},
        {"first.f90", module_with("first", "one")}},
       {"a_user.f90", "second.F90", "first.f90"},
       {}},
      {"ModuleNameFromAMacro",
       {{"a_user.f90", user_of("a_user", "macro_mod", "mv")},
        {"b_user.f90", user_of("b_user", "real_kinds", "rk")},
        {"macro_mod.F90",
         "#define NAME macro_mod\nmodule NAME\n  integer, parameter :: mv = 1\nend module NAME\n"},
        {"kinds.F90", "module KIND_MOD\n  integer, parameter :: rk = 8\nend module\n"}},
       {"-DKIND_MOD=real_kinds", "a_user.f90", "b_user.f90", "macro_mod.F90", "kinds.F90"},
       {}},
      {"FixedFormModuleInIfndef",
       {{"a_fixed.f",
         "      SUBROUTINE AFIX(I)\n      USE FIXMOD\n      INTEGER I\n      I = KF\n      END\n"},
        {"fixmod.F",
         "#ifndef SKIP_IT\n      MODULE FIXMOD\n      INTEGER, PARAMETER :: KF = 3\n"
         "      END MODULE FIXMOD\n#endif\n"}},
       {"a_fixed.f", "fixmod.F"},
       {}},
      {"IfdefAroundTheUse",
       {{"a_user.F90",
         "subroutine a_user(i)\n#ifdef HAVE_OPT\n  use opt_mod\n#endif\n  integer :: i\n"
         "#ifdef HAVE_OPT\n  i = ov\n#else\n  i = 0\n#endif\nend subroutine\n"},
        {"opt_mod.f90", module_with("opt_mod", "ov")}},
       {"-DHAVE_OPT", "a_user.F90", "opt_mod.f90"},
       {}},
      {"UseContinuedWithCommentsAndBlankLines",
       {{"a_user.f90",
         "subroutine a_user(i)\n  use &\n\n  ! the module, after a blank line\n\n"
         "  & cont_mod, &\n  only: cv\n  integer :: i\n  i = cv\nend subroutine\n"},
        {"cont_mod.f90", module_with("cont_mod", "cv")}},
       {"a_user.f90", "cont_mod.f90"},
       {}},
      {"AnyCase",
       {{"a_user.f90", "SUBROUTINE A_USER(I)\n  USE MixedCase_Mod\n  I = Q\nEND SUBROUTINE\n"},
        {"mixed.f90", "Module MIXEDCASE_MOD\n  Integer, Parameter :: q = 1\nEnd Module\n"}},
       {"a_user.f90", "mixed.f90"},
       {}},
      {"UseIntrinsicColonsAndNonIntrinsic",
       {{"a_user.f90",
         "subroutine a_user(i)\n  use, intrinsic :: iso_fortran_env, only: int32\n"
         "  use :: plain_mod\n  use, non_intrinsic :: own_mod\n  integer(int32) :: i\n"
         "  i = pv + ov\nend subroutine\n"},
        {"own.f90", module_with("own_mod", "ov")},
        {"plain.f90", module_with("plain_mod", "pv")}},
       {"a_user.f90", "own.f90", "plain.f90"},
       {}},
      {"ModuleProcedureInAnInterface",
       {{"a_user.f90", "subroutine a_user(i)\n  use gen_mod\n  integer :: i\n  i = twice(i)\n"
                       "end subroutine\n"},
        {"gen_mod.f90",
         "module gen_mod\n  interface twice\n    module procedure twice_i, twice_r\n"
         "  end interface\ncontains\n  integer function twice_i(i)\n    integer :: i\n"
         "    twice_i = 2 * i\n  end function\n  real function twice_r(r)\n    real :: r\n"
         "    twice_r = 2 * r\n  end function\nend module gen_mod\n"}},
       {"a_user.f90", "gen_mod.f90"},
       {}},
      {"Endmodule",
       {{"a_user.f90", user_of("a_user", "em_mod", "ev")},
        {"em.f90", "module em_mod\n  integer, parameter :: ev = 5\nendmodule em_mod\n"}},
       {"a_user.f90", "em.f90"},
       {}},
      {"SemicolonSeparatedStatements",
       {{"a_user.f90", "subroutine a_user(i); use semi_mod; implicit none; integer :: i; "
                       "i = sv; end subroutine\n"},
        {"semi.f90", "module semi_mod; integer, parameter :: sv = 1; end module semi_mod\n"}},
       {"a_user.f90", "semi.f90"},
       {}},
      {"SubmodulesWithParentAndChild",
       {{"a_user.f90", "subroutine a_user(r)\n  use shape_mod\n  real :: r\n  r = area(r)\n"
                       "  call describe()\nend subroutine\n"},
        {"shape_more.f90",
         "submodule (shape_mod:shape_impl) shape_more\ncontains\n  module subroutine describe()\n"
         "    print *, area(1.0)\n  end subroutine\nend submodule shape_more\n"},
        {"shape_impl.f90",
         "submodule (shape_mod) shape_impl\ncontains\n  module function area(r) result(a)\n"
         "    real, intent(in) :: r\n    real :: a\n    a = 3.0 * r * r\n  end function\n"
         "end submodule\n"},
        {"shape_mod.f90",
         "module shape_mod\n  interface\n    module function area(r) result(a)\n"
         "      real, intent(in) :: r\n      real :: a\n    end function\n"
         "    module subroutine describe()\n    end subroutine\n  end interface\n"
         "end module shape_mod\n"}},
       {"a_user.f90", "shape_more.f90", "shape_impl.f90", "shape_mod.f90"},
       {}},
      {"FixedFormWithCAndStarComments",
       {{"a_user.f", "      SUBROUTINE FCU(I)\nC     USE NOWHERE\n*     MODULE NOTHING\n"
                     "      USE FCMOD\n      INTEGER I\n      I = FC\n      END\n"},
        {"fcmod.f", "C     A fixed-form module\n*     with star comments\n      MODULE FCMOD\n"
                    "      INTEGER, PARAMETER :: FC = 1\n      END MODULE FCMOD\n"}},
       {"a_user.f", "fcmod.f"},
       {}},
      {"UseAndModuleInCommentsAndStrings",
       {{"a_user.f90",
         "subroutine a_user(s)\n  ! use nowhere\n  use str_mod ! module nothing\n"
         "  character(len=60) :: s\n  s = 'use nothing; module none' // sx\n"
         "  s = 'a string &\nmodule not_one'\nend subroutine\n"},
        {"str.f90", "module str_mod\n  character(len=2), parameter :: sx = 'ab'\nend module\n"}},
       {"a_user.f90", "str.f90"},
       {}},
      {"CarriageReturnLineEnds",
       {{"a_user.f90",
         "subroutine a_user(i)\r\n  use crlf_mod\r\n  integer :: i\r\n  i = cr\r\nend subroutine\r\n"},
        {"crlf.f90", "module crlf_mod\r\n  integer, parameter :: cr = 1\r\nend module\r\n"}},
       {"a_user.f90", "crlf.f90"},
       {}},
      {"Tabs",
       {{"a_user.f90", "subroutine a_user(i)\n\tuse\ttab_mod\n\tinteger :: i\n\ti = tv\n"
                       "end subroutine\n"},
        {"tab.f90", "module\ttab_mod\n\tinteger, parameter ::\ttv = 1\nend module\n"}},
       {"a_user.f90", "tab.f90"},
       {}},
      {"TwoModulesInOneFile",
       {{"a_user.f90", user_of("a_user", "second_of_two", "s2")},
        {"b_user.f90", user_of("b_user", "first_of_two", "s1")},
        {"pair.f90",
         "module first_of_two\n  integer, parameter :: s1 = 1\nend module\n"
         "module second_of_two\n  use first_of_two\n  integer, parameter :: s2 = s1 + 1\n"
         "end module\n"}},
       {"a_user.f90", "b_user.f90", "pair.f90"},
       {}},
      {"VariablesNamedUseAndModule",
       {{"a_user.f90",
         "subroutine a_user(x)\n  use vm_mod\n  integer :: use, module, x\n  use = 1\n"
         "  module = use + vm\n  x = module\nend subroutine\n"},
        {"vm.f90", module_with("vm_mod", "vm")}},
       {"a_user.f90", "vm.f90"},
       {}},
  };
  idiom_set forty{"ModuleUsedByFortySources", {}, {}, {}};
  for (int n = 1; n <= 40; ++n) {
    const std::string routine = "user" + std::to_string(n);
    forty.files.push_back({routine + ".f90", user_of(routine, "shared_mod", "sv")});
    forty.args.push_back(routine + ".f90");
  }
  forty.files.push_back({"shared.f90", module_with("shared_mod", "sv")});
  forty.args.push_back("shared.f90");
  sets.push_back(forty);
  idiom_set chain{"ChainOfFiveModules", {{"a_user.f90", user_of("a_user", "link5", "v5")}},
                  {"a_user.f90"}, {}};
  for (int n = 5; n >= 1; --n) {
    const std::string module = "link" + std::to_string(n);
    const std::string value = "v" + std::to_string(n);
    const std::string below = n > 1 ? "  use link" + std::to_string(n - 1) + "\n" : "";
    const std::string from = n > 1 ? "v" + std::to_string(n - 1) + " + 1" : "1";
    chain.files.push_back({module + ".f90", "module " + module + "\n" + below +
                                                "  integer, parameter :: " + value + " = " +
                                                from + "\nend module\n"});
    chain.args.push_back(module + ".f90");
  }
  sets.push_back(chain);
  for (idiom_set& set : sets) {
    for (const std::string& arg : set.args) {
      if (arg[0] == '-')
        continue;
      std::string base = arg.substr(arg.find_last_of('/') + 1);
      set.objects.push_back(base.substr(0, base.rfind('.')) + ".o");
    }
  }
  return sets;
}

void PrintTo(const idiom_set& set, std::ostream* out) {
  *out << set.name;
}
