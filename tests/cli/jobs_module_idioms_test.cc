// Fortran module order with the real GNU Fortran compiler, as real libraries write their sources:
// each set is listed in its worst order (every user before the sources it needs) and compiled
// 20 times with two jobs and 20 times with four. A source that started before a module file it
// needs was written fails with "Cannot open module file". The first seven sets are the idioms
// a text-only scan got wrong (preprocessor conditionals and macros, included files, a module
// defined twice); the others are the idioms it already handled.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/scratch.h"
#include "support/tools.h"

namespace {

struct source_file {
  std::string name;
  std::string text;
};

struct idiom_set {
  std::string name;
  std::vector<source_file> files;  // sources and included files, directories made as needed
  std::vector<std::string> args;   // after -c: flags, then the sources in their worst order
  std::vector<std::string> objects;
};

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

std::vector<idiom_set> idiom_sets() {
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

void make_parent_directories(const std::string& root, const std::string& name) {
  for (std::string::size_type slash = name.find('/'); slash != std::string::npos;
       slash = name.find('/', slash + 1)) {
    mkdir((root + "/" + name.substr(0, slash)).c_str(), 0755);
  }
}

bool ends_with_any(const std::string& name, std::initializer_list<const char*> suffixes) {
  for (const char* suffix : suffixes) {
    const std::string end(suffix);
    if (name.size() >= end.size() && name.compare(name.size() - end.size(), end.size(), end) == 0)
      return true;
  }
  return false;
}

// Objects and module files go before every build.
void remove_products(const std::string& root) {
  DIR* dir = opendir(root.c_str());
  ASSERT_NE(nullptr, dir);
  std::vector<std::string> products;
  while (const dirent* entry = readdir(dir)) {
    if (ends_with_any(entry->d_name, {".o", ".mod", ".smod"}))
      products.push_back(root + "/" + entry->d_name);
  }
  closedir(dir);
  for (const std::string& product : products)
    std::remove(product.c_str());
}

// A failure names the set, not its bytes.
void PrintTo(const idiom_set& set, std::ostream* out) {
  *out << set.name;
}

class ModuleIdiom : public ::testing::TestWithParam<idiom_set> {};

}  // namespace

TEST_P(ModuleIdiom, WorstOrderTwentyTimesWithTwoAndFourJobs) {
  ZRV_NEED_TOOLS("gfortran");
  const idiom_set& set = GetParam();
  scratch_dir dir;
  for (const source_file& file : set.files) {
    make_parent_directories(dir.root, file.name);
    write_file(dir.path(file.name), file.text);
  }
  std::vector<std::string> args = {"-c"};
  args.insert(args.end(), set.args.begin(), set.args.end());
  for (const char* jobs : {"2", "4"}) {
    const std::vector<std::string> env = {std::string("PATH=") + tool_search_path(),
                                          "FFLAGS=-O0", std::string("ZRVBUILD_JOBS=") + jobs};
    for (int round = 1; round <= 20; ++round) {
      remove_products(dir.root);
      const process_result r = run_zrvbuild(args, env, dir.root);
      ASSERT_EQ(0, r.status) << jobs << " jobs, round " << round << "\n" << r.out << r.err;
      for (const std::string& object : set.objects)
        ASSERT_TRUE(file_exists(dir.path(object))) << object << ", " << jobs << " jobs";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(JobsModuleIdioms, ModuleIdiom, ::testing::ValuesIn(idiom_sets()),
                         [](const ::testing::TestParamInfo<idiom_set>& info) {
                           return info.param.name;
                         });
