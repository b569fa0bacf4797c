#!/usr/bin/env bash
# The Windows builds: the standard configuration (32-bit, MinGW-w64) and the 64-bit one, cross
# compiled with Debian's MinGW-w64 compilers and tested under a private Wine. Run by .ci/run,
# which provides need_packages.
set -euo pipefail
cd "$(dirname "$0")/../.."
step_start=$SECONDS

# wine32 comes from the i386 architecture, which must be known before the package lists are
# read.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  apt-get update -qq
fi
need_packages mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix \
  gfortran-mingw-w64-i686 gfortran-mingw-w64-x86-64 googletest wine wine64 wine32:i386

# Some machines cannot execute 32-bit programs at all (a kernel without 32-bit emulation): there
# Debian's wine, which prefers its 32-bit loader, starts nothing. Wine then runs through its
# 64-bit loader, the 64-bit builds are tested as usual, and the 32-bit builds are built but not
# run, which the step says loudly.
runs_32_bit=yes
if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  runs_32_bit=no
  wine64_only=$(mktemp -d /tmp/zrvbuild-wine64-only.XXXXXX)
  for name in wine wine-stable; do
    printf '#!/bin/sh
WINELOADER=/usr/lib/wine/wine64; export WINELOADER
exec /usr/lib/wine/wine64 "$@"
' \
      >"$wine64_only/$name"
    chmod +x "$wine64_only/$name"
  done
  export PATH="$wine64_only:$PATH"
  echo "windows step: THIS MACHINE CANNOT RUN 32-BIT PROGRAMS; the i686 builds are built, not run"
fi

export WINEPREFIX
WINEPREFIX="$(mktemp -d /tmp/zrvbuild-wine.XXXXXX)"
export WINEDEBUG=-all
# No Mono or Gecko: nothing here needs them, and their installers would wait for a display.
export WINEDLLOVERRIDES="mscoree,mshtml="

stop_wine() {
  wineserver -k </dev/null >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
}
trap stop_wine EXIT

# One server for the whole step, started with its streams on /dev/null: a server that a test
# started would inherit the test's output pipe and keep it open for ever.
wineserver -p </dev/null >/dev/null 2>&1
wineboot -i </dev/null >/dev/null 2>&1
echo "wine prefix ready after $((SECONDS - step_start)) s"

# Each preset's suite, then apart, and timed, the standard configuration end to end: zrvbuild.exe
# driving the real MinGW-w64 tools of the preset's target (tests/win32_toolchain.cmake). Every
# one of its cases must have run and passed; none may be missing or skipped.
for preset in mingw32 mingw64; do
  preset_start=$SECONDS
  if [ "$preset" = mingw32 ] && [ "$runs_32_bit" = no ]; then
    # The tests' discovery runs the test program: here it waits for ctest, which does not run.
    cmake --preset "$preset" -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST
    cmake --build --preset "$preset"
    echo "$preset: built in $((SECONDS - preset_start)) s; NOT RUN: no 32-bit programs here"
    continue
  fi
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  ctest --preset "$preset" -E '^win32_toolchain\.'
  echo "$preset: built and tested in $((SECONDS - preset_start)) s"
  suite_start=$SECONDS
  listed=$(ctest --preset "$preset" -N -R '^win32_toolchain\.' | grep -c 'Test *#' || true)
  ctest --preset "$preset" -R '^win32_toolchain\.' | tee "build/$preset/win32_toolchain.log"
  passed=$(grep -c 'Test *#.* Passed' "build/$preset/win32_toolchain.log" || true)
  if [ "$listed" -eq 0 ] || [ "$passed" -ne "$listed" ]; then
    echo "$preset: $passed of $listed cases of the real tool chain under Wine passed" >&2
    exit 1
  fi
  echo "$preset: the real tool chain under Wine, $passed cases, in $((SECONDS - suite_start)) s"
done
# A real module from the standard configuration's flags: the GNU/Linux zrvbuild drives the
# MinGW-w64 cross compilers with its built-in Windows flags and link options, and a Windows
# host loads the module under this Wine; the 64-bit module the same way.
cmake --preset default
cmake --build --preset default --target zrvbuild
version=$(build/default/zrvbuild --version)
version=${version##* }
expected="zorvan $version: loaded .\\stats.zrv
count = 4
mean = 2.5
rms = 2.73861
result = 0.238613 (3 values shown)"
for target in i686-w64-mingw32 x86_64-w64-mingw32; do
  if [ "$target" = i686-w64-mingw32 ] && [ "$runs_32_bit" = no ]; then
    echo "$target: real module NOT BUILT AND LOADED: no 32-bit programs here"
    continue
  fi
  module_start=$SECONDS
  sh examples/run-example-mingw.sh build/default "$target"
  actual=$(tr -d '\r' < "build/default/examples/$target/host-output.txt")
  if [ "$actual" != "$expected" ]; then
    echo "$target: the host printed" >&2
    printf '%s\n' "$actual" >&2
    echo "instead of" >&2
    printf '%s\n' "$expected" >&2
    exit 1
  fi
  echo "$target: real module built and loaded in $((SECONDS - module_start)) s"
done
echo "windows step: $((SECONDS - step_start)) s"
