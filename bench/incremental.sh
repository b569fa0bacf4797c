#!/usr/bin/env bash
# Incremental builds (ZRVBUILD_INCREMENTAL=1) on generated sources: 150 Fortran sources with
# modules (each of most using the one before it) and 8 C++ sources, built into a module. Times a
# clean build, a rerun with nothing changed, and a rerun after a change to the body of one
# Fortran source, against that file's compile and the link run on their own. Prints a Markdown
# table; nothing is asserted.
#
# Usage: bench/incremental.sh [ZRVBUILD] [ZORVAN_HOME]
#   ZRVBUILD     the program to measure (default: build/bench/zrvbuild)
#   ZORVAN_HOME  the stand-in installation (default: examples/zorvan-home beside ZRVBUILD)
# ZRVBUILD_JOBS is passed on as it is set.
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
zrvbuild=$(realpath "${1:-build/bench/zrvbuild}")
ZORVAN_HOME=$(realpath "${2:-$(dirname "$zrvbuild")/examples/zorvan-home}")
export ZORVAN_HOME
for tool in gcc g++ gfortran; do
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

export ZRVBUILD_INCREMENTAL=1
clean=$(seconds "$zrvbuild" "${sources[@]}" -o bench)
sleep 0.1
noop=$(seconds "$zrvbuild" "${sources[@]}" -o bench)
sed -i 's/sin(x)/cos(x)/' m75.f90
touch -d '30 minutes ago' m75.f90
change=$(seconds "$zrvbuild" "${sources[@]}" -o bench)
# The same compile and link on their own, as -v shows them.
unset ZRVBUILD_INCREMENTAL
commands=$("$zrvbuild" -n "${sources[@]}" -o bench | grep -e ' m75\.f90 ' -e ' -o bench\.zrv ')
direct=$(seconds sh -c "$commands")

cat <<TABLE
| run | seconds |
|---|---|
| clean build | $clean |
| no-op rerun | $noop ($(echo "scale=1; 100 * $noop / $clean" | bc)% of the clean build) |
| one Fortran body changed | $change |
| that compile and the link run directly | $direct |
TABLE
