#!/usr/bin/env bash
# The gnu-linux configuration: builds its preset and runs its whole suite (its real tool chain
# tests and the CMake package check, with Ninja, may not skip), then installs its Debian package
# into this machine, installs the stand-in environment under the package's prefix, builds the
# example extension and a stand-alone program with the installed zrvbuild and nothing else set,
# and again through the package's CMake files, loads the modules in the stand-in host, runs the
# programs, and removes package and stand-in again.
set -euo pipefail
cd "$(dirname "$0")/../.."

need_packages cmake g++ gcc gfortran make libgtest-dev ninja-build

# The README's quick start, one command a line: the program and the example environment only,
# then the example.
cmake --preset gnu-linux
cmake --build --preset gnu-linux --target zrvbuild example-environment
sh examples/run-example.sh
cmake --build --preset gnu-linux
ctest --preset gnu-linux
ZRVBUILD_REQUIRE_TOOLS=1 ctest --preset gnu-linux -R '^(GnuLinuxToolchain|cmake_package)\.'

build=build/gnu-linux
cmake --build --preset gnu-linux --target package
prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
version=$(sed -n 's/^ZRVBUILD_VERSION:STRING=//p' "$build/CMakeCache.txt")
debs=("$build"/zrvbuild_"$version"_*.deb)
if [ "${#debs[@]}" -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  echo "expected one Debian package in $build, found: ${debs[*]}" >&2
  exit 1
fi
deb=${debs[0]}

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Nothing of this machine is replaced, and whatever this step installs goes again however it
# ends.
if dpkg-query -W -f='${Status}' zrvbuild 2>/dev/null | grep -q "install ok installed"; then
  fail "a zrvbuild package is already installed here; not replacing it"
fi
for path in bin/zrvbuild bin/zrvhost "include/zorvan-$version" "lib/zorvan/$version"; do
  [ ! -e "$prefix/$path" ] || fail "$prefix/$path exists already; not replacing it"
done
# What the stand-in brings was not here before, so all of it goes with it.
stand_in=("$prefix/bin/zrvhost" "$prefix/include/zorvan-$version" "$prefix/lib/zorvan/$version")
[ -e "$prefix/lib/zorvan" ] || stand_in+=("$prefix/lib/zorvan")
work=$(mktemp -d)
cleanup() {
  if dpkg-query -W -f='${Status}' zrvbuild 2>/dev/null | grep -q "install ok installed"; then
    dpkg -r zrvbuild >/dev/null
  fi
  rm -rf "${stand_in[@]}" "$work"
}
trap cleanup EXIT

dpkg -i "$deb"
cmake --install "$build" --component zorvan-stand-in --prefix "$prefix"

# The installed program with no profile and no variable of its own.
run() { env -i PATH=/usr/local/bin:/usr/bin:/bin "$@"; }
got=$(run "$prefix/bin/zrvbuild" -p CC) || fail "-p CC exited with status $?"
[ "$got" = "gcc -std=gnu11" ] || fail "-p CC printed [$got]"
got=$(run "$prefix/bin/zrvbuild" -p ZRVINCLUDEDIR) || fail "-p ZRVINCLUDEDIR exited with status $?"
[ "$got" = "$prefix/include/zorvan-$version/zorvan" ] || fail "-p ZRVINCLUDEDIR printed [$got]"

cp examples/extension/* "$work"/
(cd "$work" && run "$prefix/bin/zrvbuild" stats.cc scale.c sumsq.f90) ||
  fail "the installed zrvbuild could not build the example"
got=$(cd "$work" && run "$prefix/bin/zrvhost" ./stats.zrv 1 2 3 4) ||
  fail "the installed host exited with status $? on the example"
expected="zorvan $version: loaded ./stats.zrv
count = 4
mean = 2.5
rms = 2.73861
result = 0.238613 (3 values shown)"
[ "$got" = "$expected" ] || fail "the example loaded in the installed host printed [$got]"

# A stand-alone program finds the environment's libraries through its run path alone.
cat >"$work/main.cc" <<'SOURCE'
#include <cstdio>
#include <zorvan/zorvan.h>
int main() {
  const double values[] = {1, 2, 6};
  std::printf("mean %g of zorvan %s\n", zorvan_mean(values, 3), zorvan_version());
  return 0;
}
SOURCE
(cd "$work" && run "$prefix/bin/zrvbuild" --link-stand-alone -s -o prog main.cc) ||
  fail "the installed zrvbuild could not link a stand-alone program"
got=$(run "$work/prog") || fail "the stand-alone program exited with status $?"
[ "$got" = "mean 3 of zorvan $version" ] || fail "the stand-alone program printed [$got]"

# The package's CMake files: a project finds zrvbuild under the prefix with no hint and builds
# the example and a program with Ninja; the host loads the module, the program runs.
cp tests/cmake_package/mean_prog.cc "$work"/
run cmake -G Ninja -S tests/cmake_package/project -B "$work/cmake" -DZRV_EXAMPLE_DIR="$work" \
  -DZRV_EXPECTED_VERSION="$version" >"$work/cmake.log" 2>&1 ||
  fail "a CMake project could not configure with the installed package: $(cat "$work/cmake.log")"
run cmake --build "$work/cmake" >"$work/cmake.log" 2>&1 ||
  fail "a CMake project could not build with the installed package: $(cat "$work/cmake.log")"
got=$(cd "$work/cmake" && run "$prefix/bin/zrvhost" ./stats.zrv 1 2 3 4) ||
  fail "the installed host exited with status $? on the CMake-built example"
[ "$got" = "$expected" ] || fail "the CMake-built example loaded in the installed host printed [$got]"
got=$(run "$work/cmake/mean_prog" 1 2 6) || fail "the CMake-built program exited with status $?"
[ "$got" = "mean = 3" ] || fail "the CMake-built program printed [$got]"

cleanup
trap - EXIT
for file in bin/zrvbuild bin/zrvhost "lib/zorvan/$version/libzorvan.so"; do
  [ ! -e "$prefix/$file" ] || fail "$prefix/$file is still there after the removal"
done
echo "$(basename "$deb") installed, built and loaded the example under $prefix (with zrvbuild and through its CMake package), and removed"
