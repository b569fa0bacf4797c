// Parallel jobs with the real GNU Fortran compiler: sources that use modules of other listed
// sources, one of them listed before the source of the module it uses, compile 50 times in a
// row with four jobs at once. A source that started before the module file it needs was written
// would fail.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "support/process.h"
#include "support/scratch.h"
#include "support/tools.h"

namespace {

const struct {
  const char* name;
  const char* text;
} fortran_sources[] = {
    {"early.f90",
     "subroutine early(x)\n  use late_mod, only: late_value\n  real :: x\n"
     "  x = late_value()\nend subroutine\n"},
    {"consts.f90",
     "module consts\n  implicit none\n  real, parameter :: pi = 3.14159\nend module\n"},
    {"shapes.f90",
     "module shapes\n  use consts\n  implicit none\n  interface\n"
     "    module function area(r) result(a)\n      real, intent(in) :: r\n      real :: a\n"
     "    end function\n  end interface\nend module shapes\n"},
    {"shapes_impl.f90",
     "submodule (shapes) shapes_impl\ncontains\n  module function area(r) result(a)\n"
     "    real, intent(in) :: r\n    real :: a\n    a = pi * r * r\n  end function\n"
     "end submodule\n"},
    {"fixed_user.f",
     "C     A fixed-form user of both modules.\n"
     "      SUBROUTINE FIXED(R, A)\n      USE SHAPES\n      USE\n     &  CONSTS\n"
     "      REAL R, A\n      A = AREA(R) + PI\n      END\n"},
    {"free_user.f90",
     "subroutine free_user(r, a)\n  use, intrinsic :: iso_fortran_env, only: real32\n"
     "  use shapes, only: area ! the area of a circle\n  real(real32) :: r, a\n"
     "  a = area(r)\nend subroutine\n"},
    {"late.f90",
     "module late_mod\n  implicit none\ncontains\n  real function late_value()\n"
     "    late_value = 2.0\n  end function\nend module late_mod\n"},
    {"plain.f", "      SUBROUTINE PLAIN(X)\n      REAL X\n      X = 1.0\n      END\n"},
};

}  // namespace

TEST(JobsToolchain, FortranModulesFiftyTimesWithFourJobs) {
  ZRV_NEED_TOOLS("gfortran");
  scratch_dir dir;
  std::vector<std::string> args = {"-c"};
  for (const auto& source : fortran_sources) {
    write_file(dir.path(source.name), source.text);
    args.push_back(source.name);
  }
  const std::vector<std::string> env = {std::string("PATH=") + tool_search_path(), "FFLAGS=-O0",
                                        "ZRVBUILD_JOBS=4"};
  for (int round = 1; round <= 50; ++round) {
    for (const char* product : {"consts.mod", "shapes.mod", "shapes@shapes_impl.smod",
                                "late_mod.mod", "early.o", "consts.o", "shapes.o", "shapes_impl.o",
                                "fixed_user.o", "free_user.o", "late.o", "plain.o"}) {
      std::remove(dir.path(product).c_str());
    }
    process_result r = run_zrvbuild(args, env, dir.root);
    ASSERT_EQ(0, r.status) << "round " << round << "\n" << r.out << r.err;
    ASSERT_TRUE(file_exists(dir.path("early.o"))) << "round " << round;
  }
}
