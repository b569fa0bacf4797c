#!/usr/bin/env bash
# Incremental builds (ZRVBUILD_INCREMENTAL=1) on generated sources: 150 Fortran sources with
# modules (each of most using the one before it) and 8 C++ sources, built into a module. Times
# a clean build; a rerun with nothing changed, against ninja's rerun of the same sources built
# through the CMake package; and a rerun after a change to the body of one Fortran source,
# against that file's compile and the link run on their own (and ninja's rebuild); and a rerun of
# 30 preprocessed Fortran modules with nothing changed at two jobs against one, and of a
# BLAS-like library of fixed-form sources (.f and .F) at one and two jobs against ninja. Prints a
# Markdown table (medians of hyperfine runs) and the ratios next to their goals; nothing is
# asserted.
#
# Usage: bench/incremental.sh [ZRVBUILD] [ZORVAN_HOME]
#   ZRVBUILD     the program to measure (default: build/bench/zrvbuild); its build tree is
#                installed into a scratch prefix for the CMake package
#   ZORVAN_HOME  the stand-in installation (default: examples/zorvan-home beside ZRVBUILD)
# ZRVBUILD_JOBS is passed on as it is set; ZRVBUILD_INCREMENTAL_BENCH_RUNS sets the runs per
# command (default 10).
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
zrvbuild=$(realpath "${1:-build/bench/zrvbuild}")
ZORVAN_HOME=$(realpath "${2:-$(dirname "$zrvbuild")/examples/zorvan-home}")
export ZORVAN_HOME
runs=${ZRVBUILD_INCREMENTAL_BENCH_RUNS:-10}
for tool in gcc g++ gfortran cmake ninja hyperfine jq bc; do
  command -v "$tool" >/dev/null || { echo "incremental.sh: please install $tool" >&2; exit 1; }
done
configuration=$(sed -n 's/^ZRVBUILD_CONFIGURATION:[A-Z]*=//p' \
  "$(dirname "$zrvbuild")/CMakeCache.txt" 2>/dev/null || true)
if [ "${configuration:-standard}" = standard ]; then
  # shellcheck source=../profiles/gnu-linux.sh
  . "$source_dir/profiles/gnu-linux.sh"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

sources=()
for i in $(seq 1 150); do
  {
    echo "module m$i"
    if [ $((i % 10)) -ne 1 ]; then echo "  use m$((i - 1))"; fi
    echo "  implicit none"
    echo "contains"
    echo "  real function f$i(x)"
    echo "    real, intent(in) :: x"
    echo "    f$i = x * $i.0 + sin(x)"
    echo "  end function"
    echo "end module"
  } >"m$i.f90"
  sources+=("m$i.f90")
done
for i in $(seq 1 8); do
  {
    echo "#include <map>"
    echo "#include <string>"
    echo "#include <vector>"
    echo "double c$i(const std::vector<double>& v) {"
    echo "  std::map<std::string, double> m; for (double x : v) m[std::to_string(x)] += x;"
    echo "  return m.size() + $i; }"
  } >"c$i.cc"
  sources+=("c$i.cc")
done
touch -d '1 hour ago' ./*.f90 ./*.cc

seconds() {
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null
  end=$(date +%s%N)
  echo "scale=3; ($end - $start) / 1000000000" | bc
}

# The same sources through the installed CMake package, built by ninja in ninja/.
cmake --install "$(dirname "$zrvbuild")" --prefix "$work/prefix" >/dev/null
{
  echo "cmake_minimum_required(VERSION 3.22)"
  echo "project(incremental_bench C CXX Fortran)"
  echo "find_package(zrvbuild REQUIRED)"
  echo "zrvbuild_add_module(bench SOURCES ${sources[*]})"
} >CMakeLists.txt
cmake -G Ninja -S . -B ninja "-DCMAKE_PREFIX_PATH=$work/prefix" >/dev/null
ninja -C ninja >/dev/null

export ZRVBUILD_INCREMENTAL=1
clean=$(seconds "$zrvbuild" "${sources[@]}" -o bench)
# The same compile and link on their own, as -n shows them.
commands=$(env -u ZRVBUILD_INCREMENTAL "$zrvbuild" -n "${sources[@]}" -o bench |
  grep -e ' m75\.f90 ' -e ' -o bench\.zrv ')
printf '%s\n' "$commands" >direct.sh
{
  printf exec
  printf ' %s' "$zrvbuild" "${sources[@]}" -o bench
  echo
} >rerun.sh
# One body edit per run: sin and cos take turns, so m75's module file stays as it was.
cat >edit.sh <<'EDIT'
if grep -q 'sin(x)' m75.f90; then sed -i 's/sin(x)/cos(x)/' m75.f90; else sed -i 's/cos(x)/sin(x)/' m75.f90; fi
sleep 0.02
EDIT

hyperfine --style none --warmup 2 --runs "$runs" --export-json noop.json \
  -n "zrvbuild no-op" "sh rerun.sh" \
  -n "ninja no-op" "ninja -C ninja" >/dev/null
hyperfine --style none --runs "$runs" --export-json change.json --prepare "sh edit.sh" \
  -n "zrvbuild, one body changed" "sh rerun.sh" \
  -n "ninja, one body changed" "ninja -C ninja" \
  -n "that compile and the link run directly" "sh direct.sh" >/dev/null

# 30 preprocessed modules (.F90 with a conditional), each using the one before it: a no-op rerun
# at 2 jobs, whose module scan could preprocess every source, against one job, which scans none.
mkdir f90
f90_sources=()
for i in $(seq 1 30); do
  {
    echo "module p$i"
    if [ "$i" -gt 1 ]; then echo "  use p$((i - 1))"; fi
    echo "  implicit none"
    echo "#ifdef WIDE"
    echo "  integer, parameter :: k$i = 8"
    echo "#else"
    echo "  integer, parameter :: k$i = 4"
    echo "#endif"
    echo "end module"
  } >"f90/p$i.F90"
  f90_sources+=("p$i.F90")
done
touch -d '1 hour ago' f90/*.F90
(cd f90 && ZRVBUILD_JOBS=2 "$zrvbuild" "${f90_sources[@]}" -o f90 >/dev/null)
{
  printf 'cd f90 && exec'
  printf ' %s' "$zrvbuild" "${f90_sources[@]}" -o f90
  echo
} >f90_rerun.sh
hyperfine --style none --warmup 2 --runs "$runs" --export-json f90.json \
  -n "30 .F90, one job" "ZRVBUILD_JOBS=1 sh f90_rerun.sh" \
  -n "30 .F90, two jobs" "ZRVBUILD_JOBS=2 sh f90_rerun.sh" >/dev/null

# A library like the reference BLAS: 160 fixed-form sources without modules, one of them with
# __func__ in a comment line, as .f and as .F; the no-op rerun at one and two jobs against
# ninja's no-op of the same sources through the CMake package.
for suffix in f F; do
  mkdir "blas_$suffix"
  blas_sources=()
  for i in $(seq 1 160); do
    {
      echo "      subroutine b$i(n, x)"
      if [ "$i" -eq 1 ]; then echo "*     __func__ names the caller in C"; fi
      echo "      integer n, i"
      echo "      double precision x(n)"
      echo "      do 10 i = 1, n"
      echo "         x(i) = x(i) * $i.0d0"
      echo "   10 continue"
      echo "      end"
    } >"blas_$suffix/b$i.$suffix"
    blas_sources+=("b$i.$suffix")
  done
  touch -d '1 hour ago' "blas_$suffix"/*."$suffix"
  {
    echo "cmake_minimum_required(VERSION 3.22)"
    echo "project(blas_bench C CXX Fortran)"
    echo "find_package(zrvbuild REQUIRED)"
    echo "zrvbuild_add_module(blas SOURCES ${blas_sources[*]})"
  } >"blas_$suffix/CMakeLists.txt"
  cmake -G Ninja -S "blas_$suffix" -B "blas_$suffix/ninja" "-DCMAKE_PREFIX_PATH=$work/prefix" >/dev/null
  ninja -C "blas_$suffix/ninja" >/dev/null
  (cd "blas_$suffix" && ZRVBUILD_JOBS=2 "$zrvbuild" "${blas_sources[@]}" -o blas >/dev/null)
  {
    printf 'cd blas_%s && exec' "$suffix"
    printf ' %s' "$zrvbuild" "${blas_sources[@]}" -o blas
    echo
  } >"blas_${suffix}_rerun.sh"
  hyperfine --style none --warmup 2 --runs "$runs" --export-json "blas_$suffix.json" \
    -n "one job" "ZRVBUILD_JOBS=1 sh blas_${suffix}_rerun.sh" \
    -n "two jobs" "ZRVBUILD_JOBS=2 sh blas_${suffix}_rerun.sh" \
    -n "ninja" "ninja -C blas_$suffix/ninja" >/dev/null
done

median() { jq -r --arg name "$2" '.results[] | select(.command == $name) | .median' "$1"; }
zrv_noop=$(median noop.json "zrvbuild no-op")
ninja_noop=$(median noop.json "ninja no-op")
zrv_change=$(median change.json "zrvbuild, one body changed")
ninja_change=$(median change.json "ninja, one body changed")
direct=$(median change.json "that compile and the link run directly")
blas_f_one=$(median blas_f.json "one job")
blas_f_two=$(median blas_f.json "two jobs")
blas_f_ninja=$(median blas_f.json "ninja")
blas_F_one=$(median blas_F.json "one job")
blas_F_two=$(median blas_F.json "two jobs")
blas_F_ninja=$(median blas_F.json "ninja")
f90_one=$(median f90.json "30 .F90, one job")
f90_two=$(median f90.json "30 .F90, two jobs")
ms() { echo "scale=1; 1000 * $1 / 1" | bc; }
ratio() { echo "scale=2; $1 / $2" | bc; }

cat <<TABLE
| run | milliseconds (median of $runs) |
|---|---|
| zrvbuild clean build (once) | $(ms "$clean") |
| zrvbuild no-op rerun | $(ms "$zrv_noop") |
| ninja no-op rerun | $(ms "$ninja_noop") |
| zrvbuild, one Fortran body changed | $(ms "$zrv_change") |
| ninja, one Fortran body changed | $(ms "$ninja_change") |
| that compile and the link run directly | $(ms "$direct") |
| no-op of 30 .F90 modules, one job | $(ms "$f90_one") |
| no-op of 30 .F90 modules, two jobs | $(ms "$f90_two") |
| no-op of 160 .f (BLAS-like), one job / two jobs / ninja | $(ms "$blas_f_one") / $(ms "$blas_f_two") / $(ms "$blas_f_ninja") |
| no-op of 160 .F (BLAS-like), one job / two jobs / ninja | $(ms "$blas_F_one") / $(ms "$blas_F_two") / $(ms "$blas_F_ninja") |

| ratio | figure | goal |
|---|---|---|
| no-op / clean build | $(echo "scale=2; 100 * $zrv_noop / $clean" | bc)% | at most 2% |
| no-op / ninja no-op | $(ratio "$zrv_noop" "$ninja_noop") | at most 1.2 |
| one change / its compile and link | $(ratio "$zrv_change" "$direct") | at most 1.1 |
| 30 .F90 no-op, two jobs / one job | $(ratio "$f90_two" "$f90_one") | at most 1.2 |
| 160 .f no-op / ninja's, one job; two jobs | $(ratio "$blas_f_one" "$blas_f_ninja"); $(ratio "$blas_f_two" "$blas_f_ninja") | at most 1.2 |
| 160 .F no-op / ninja's, one job; two jobs | $(ratio "$blas_F_one" "$blas_F_ninja"); $(ratio "$blas_F_two" "$blas_F_ninja") | at most 1.2 |
TABLE
