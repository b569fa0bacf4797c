#!/usr/bin/env bash
# Parallel jobs measured, all in one hyperfine run:
#   (a) 8 C++ sources of realistic size, with ZRVBUILD_JOBS=2, sequentially, and through make -j2
#       running the very same commands (taken from zrvbuild -n);
#   (b) 150 generated Fortran sources, fixed and free form, 3 of them modules that 40 others use,
#       with ZRVBUILD_JOBS=2 and sequentially, and with ZRVBUILD_JOBS=2 writing a trace (the
#       capture of each command's output is in every parallel run); the same sources as
#       preprocessed ones (.F, .F90), with ZRVBUILD_JOBS=2 and sequentially, which a parallel run
#       preprocesses once each to read their module order;
#   (c) one C++ source with ZRVBUILD_JOBS=2 and sequentially.
# Every run starts without objects or module files. Writes a Markdown table (medians, CPU time)
# and the ratios that have a goal next to that goal.
#
# Usage: bench/jobs.sh [ZRVBUILD] [OUTPUT.md]
#   ZRVBUILD   the program to measure (default: build/bench/zrvbuild)
#   OUTPUT.md  where the table goes (default: standard output)
# ZRVBUILD_JOBS_BENCH_RUNS sets the runs per command (default 5).
set -euo pipefail

zrvbuild=$(realpath "${1:-build/bench/zrvbuild}")
if [ -n "${2:-}" ]; then
  exec 3>"$2"
else
  exec 3>&1
fi
runs=${ZRVBUILD_JOBS_BENCH_RUNS:-5}

for tool in hyperfine jq make g++ gfortran; do
  command -v "$tool" >/dev/null || {
    echo "jobs.sh: please install $tool" >&2
    exit 1
  }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir cxx fortran fortran_cpp single

# A C++ source of the usual kind: a class template over standard containers, a few of its
# members instantiated.
cxx_source() {
  cat <<CPP
#include <algorithm>
#include <map>
#include <numeric>
#include <string>
#include <vector>

namespace unit$1 {
template <typename T>
struct table {
  std::map<std::string, std::vector<T>> rows;
  void add(const std::string& key, T value) { rows[key].push_back(value); }
  T total() const {
    T sum{};
    for (const auto& row : rows) sum = std::accumulate(row.second.begin(), row.second.end(), sum);
    return sum;
  }
  std::string report() const {
    std::string out;
    for (const auto& row : rows) {
      std::vector<T> sorted = row.second;
      std::sort(sorted.begin(), sorted.end());
      out += row.first + ':' + std::to_string(sorted.size()) + '\n';
    }
    return out;
  }
};
}  // namespace unit$1

std::string report_$1(int count) {
  unit$1::table<int> t;
  for (int i = 0; i < count; ++i) t.add(std::to_string(i % 7), i);
  return t.report() + std::to_string(t.total());
}
CPP
}

for n in 1 2 3 4 5 6 7 8; do cxx_source "$n" >"cxx/unit$n.cc"; done
cxx_source 0 >single/unit0.cc

# The Fortran set: modules shared_1..3 (free form) at positions 5, 50 and 100; 40 sources after
# them use one each (a sequential run needs every module before its users); the users and the
# other sources alternate between fixed and free form.
fortran_module() {
  cat <<F90
module shared_$1
  implicit none
  integer, parameter :: width_$1 = $((8 * $1))
contains
  pure function scaled_$1(x) result(y)
    real, intent(in) :: x(:)
    real :: y(size(x))
    y = x * width_$1
  end function
end module shared_$1
F90
}
fortran_free() {
  local use=""
  [ -n "$2" ] && use="  use shared_$2"
  cat <<F90
subroutine free_$1(x, n)
$use
  implicit none
  integer, intent(in) :: n
  real, intent(inout) :: x(n)
  integer :: i
  do i = 2, n
    x(i) = x(i - 1) * 0.5 + real(i) / ($1.0 + i)
  end do
end subroutine
F90
}
fortran_fixed() {
  local use=""
  [ -n "$2" ] && use="      USE SHARED_$2"
  cat <<F77
      SUBROUTINE FIXED$1(X, N)
$use
      INTEGER N, I
      REAL X(N)
C     A running average, continued over two lines.
      DO 10 I = 2, N
        X(I) = X(I - 1) * 0.5
     &       + REAL(I) / ($1.0 + I)
   10 CONTINUE
      END
F77
}
fortran_list=()
users=0
modules=0
for n in $(seq 1 150); do
  case $n in
    5 | 50 | 100)
      modules=$((modules + 1))
      fortran_module "$modules" >"fortran/shared_$modules.f90"
      fortran_list+=("shared_$modules.f90")
      continue
      ;;
  esac
  uses=""
  if [ $((n % 3)) -eq 0 ] && [ "$modules" -gt 0 ] && [ "$users" -lt 40 ]; then
    uses=$((users % modules + 1))
    users=$((users + 1))
  fi
  if [ $((n % 2)) -eq 0 ]; then
    fortran_free "$n" "$uses" >"fortran/free_$n.f90"
    fortran_list+=("free_$n.f90")
  else
    fortran_fixed "$n" "$uses" >"fortran/fixed_$n.f"
    fortran_list+=("fixed_$n.f")
  fi
done

# The same set as preprocessed sources: .F and .F90, each with a conditional as real ones have.
fortran_cpp_list=()
for source in "${fortran_list[@]}"; do
  case $source in
    *.f) renamed=${source%.f}.F ;;
    *) renamed=${source%.f90}.F90 ;;
  esac
  {
    echo '#ifdef BENCH_UNUSED'
    echo '#endif'
    cat "fortran/$source"
  } >"fortran_cpp/$renamed"
  fortran_cpp_list+=("$renamed")
done

# The standard configuration's extra flags are for the MinGW target; position-independent code
# as a module needs it on Linux.
export_env=(env -i "PATH=$PATH" "XTRA_CXXFLAGS= " "CXXPICFLAG=-fPIC" "FPICFLAG=-fPIC"
  "FFLAGS=-O2")
cxx_sources=(unit1.cc unit2.cc unit3.cc unit4.cc unit5.cc unit6.cc unit7.cc unit8.cc)

# make -j2 runs the commands zrvbuild would run, one rule per object.
{
  printf 'all:'
  for source in "${cxx_sources[@]}"; do printf ' %s' "${source%.cc}.o"; done
  printf '\n'
  (cd cxx && "${export_env[@]}" "$zrvbuild" -n -c "${cxx_sources[@]}") |
    while IFS= read -r command; do
      object=${command##* -o }
      printf '%s:\n\t%s\n' "$object" "${command//\$/\$\$}"
    done
} >cxx/Makefile

names=(
  "C++, 8 sources, sequential"
  "C++, 8 sources, ZRVBUILD_JOBS=2"
  "C++, 8 sources, make -j2"
  "Fortran, 150 sources, sequential"
  "Fortran, 150 sources, ZRVBUILD_JOBS=2"
  "Fortran, 150 sources, ZRVBUILD_JOBS=2, traced"
  "Fortran, 150 preprocessed sources, sequential"
  "Fortran, 150 preprocessed sources, ZRVBUILD_JOBS=2"
  "C++, 1 source, sequential"
  "C++, 1 source, ZRVBUILD_JOBS=2"
)
commands=(
  "cd cxx && $zrvbuild -c ${cxx_sources[*]}"
  "cd cxx && ZRVBUILD_JOBS=2 $zrvbuild -c ${cxx_sources[*]}"
  "make -s -j2 -C cxx"
  "cd fortran && $zrvbuild -c ${fortran_list[*]}"
  "cd fortran && ZRVBUILD_JOBS=2 $zrvbuild -c ${fortran_list[*]}"
  "cd fortran && ZRVBUILD_JOBS=2 ZRVBUILD_TRACE=$work/trace.json $zrvbuild -c ${fortran_list[*]}"
  "cd fortran_cpp && $zrvbuild -c ${fortran_cpp_list[*]}"
  "cd fortran_cpp && ZRVBUILD_JOBS=2 $zrvbuild -c ${fortran_cpp_list[*]}"
  "cd single && $zrvbuild -c unit0.cc"
  "cd single && ZRVBUILD_JOBS=2 $zrvbuild -c unit0.cc"
)
hyperfine_args=(--runs "$runs" --export-json results.json
  --prepare "rm -f cxx/*.o fortran/*.o fortran/*.mod fortran_cpp/*.o fortran_cpp/*.mod single/*.o")
for i in "${!commands[@]}"; do
  hyperfine_args+=(--command-name "${names[$i]}" "${commands[$i]}")
done
"${export_env[@]}" hyperfine "${hyperfine_args[@]}" >&2

{
  echo "| Build | Median [s] | Mean ± σ [s] | CPU [s] |"
  echo "|:---|---:|---:|---:|"
  jq -r 'def s: . * 100 | round / 100; .results[] |
    "| \(.command) | \(.median | s) | \(.mean | s) ± \(.stddev | s) | \(.user + .system | s) |"' \
    results.json
  echo
  echo "Median ratios against the targets:"
  echo
  jq -r '[.results[] | {(.command): .median}] | add as $m |
    def r(a; b): (a / b * 100 | round / 100 | tostring);
    "- C++ speed-up, sequential / ZRVBUILD_JOBS=2: " +
      r($m["C++, 8 sources, sequential"]; $m["C++, 8 sources, ZRVBUILD_JOBS=2"]) +
      " (at least 1.8)",
    "- C++, ZRVBUILD_JOBS=2 / make -j2: " +
      r($m["C++, 8 sources, ZRVBUILD_JOBS=2"]; $m["C++, 8 sources, make -j2"]) +
      " (at most 1.05)",
    "- Fortran speed-up, sequential / ZRVBUILD_JOBS=2: " +
      r($m["Fortran, 150 sources, sequential"]; $m["Fortran, 150 sources, ZRVBUILD_JOBS=2"]) +
      " (at least 1.8)",
    "- Fortran, the trace / none (ZRVBUILD_JOBS=2): " +
      r($m["Fortran, 150 sources, ZRVBUILD_JOBS=2, traced"];
        $m["Fortran, 150 sources, ZRVBUILD_JOBS=2"]) + " (at most 1.01)",
    "- preprocessed Fortran speed-up, sequential / ZRVBUILD_JOBS=2: " +
      r($m["Fortran, 150 preprocessed sources, sequential"];
        $m["Fortran, 150 preprocessed sources, ZRVBUILD_JOBS=2"]),
    "- preprocessed / plain Fortran, both ZRVBUILD_JOBS=2: " +
      r($m["Fortran, 150 preprocessed sources, ZRVBUILD_JOBS=2"];
        $m["Fortran, 150 sources, ZRVBUILD_JOBS=2"]),
    "- one source, ZRVBUILD_JOBS=2 / sequential: " +
      r($m["C++, 1 source, ZRVBUILD_JOBS=2"]; $m["C++, 1 source, sequential"]) +
      " (at most 1.02)"' results.json
  echo
  echo "What the module scan's preprocessing adds (CPU time of the parallel run beyond the"
  echo "sequential one, which preprocesses nothing; plain sources for comparison):"
  echo
  jq -r '[.results[] | {(.command): (.user + .system)}] | add as $c |
    def d(a; b): ((a - b) * 100 | round / 100 | tostring);
    "- preprocessed sources: " + d($c["Fortran, 150 preprocessed sources, ZRVBUILD_JOBS=2"];
      $c["Fortran, 150 preprocessed sources, sequential"]) + " s",
    "- plain sources: " + d($c["Fortran, 150 sources, ZRVBUILD_JOBS=2"];
      $c["Fortran, 150 sources, sequential"]) + " s"' results.json
} >&3
