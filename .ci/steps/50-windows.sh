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
# 64-bit loader for the 64-bit build, and the 32-bit suites, the standard configuration's own
# program first, run in an emulated machine that can (.ci/win32-vm/machine.sh).
# ZRVBUILD_CI_EMULATED_WIN32=yes turns the emulated machine on; without it such a machine builds
# the 32-bit suites and says loudly that it did not run them.
. .ci/win32-vm/machine.sh
emulated=${ZRVBUILD_CI_EMULATED_WIN32:-no}
runs_32_bit=yes
if ! vm_host_runs_32_bit; then
  runs_32_bit=no
else
  echo "windows step: this machine runs 32-bit programs; the i686 suites run here under Wine"
fi
system_wine=$(command -v wine)

# Every case of a suite must have run and passed: none may be missing, failed or skipped.
#   check_counts NAME LISTED LOG
check_counts() {
  local passed
  passed=$(grep -c 'Test *#.* Passed' "$3" || true)
  if [ "$2" -eq 0 ] || [ "$passed" -ne "$2" ]; then
    echo "$1: $passed of $2 cases passed" >&2
    exit 1
  fi
  echo "$1: $passed of $2 cases passed"
}

# The real module of the standard configuration's flags prints this in the Windows host.
expected_module_output() {
  local version
  version=$(build/default/zrvbuild --version)
  version=${version##* }
  printf '%s\n' "zorvan $version: loaded .\\stats.zrv" "count = 4" "mean = 2.5" \
    "rms = 2.73861" "result = 0.238613 (3 values shown)"
}

#   check_module TARGET
check_module() {
  local actual expected
  actual=$(tr -d '\r' < "build/default/examples/$1/host-output.txt")
  expected=$(expected_module_output)
  if [ "$actual" != "$expected" ]; then
    echo "$1: the host printed" >&2
    printf '%s\n' "$actual" >&2
    echo "instead of" >&2
    printf '%s\n' "$expected" >&2
    exit 1
  fi
}

if [ "$runs_32_bit" = no ] && [ "$emulated" = yes ]; then
  echo "windows step: this machine cannot run 32-bit programs; the i686 suites run in an emulated machine"
  # Made once per machine (.ci/run starts it early); made on while the builds below run.
  need_packages qemu-system-x86 debootstrap e2fsprogs
  vm_make_image_in_background
elif [ "$runs_32_bit" = no ]; then
  echo "windows step: THIS MACHINE CANNOT RUN 32-BIT PROGRAMS; the i686 builds are built, not run"
fi
if [ "$runs_32_bit" = no ]; then
  wine64_only=$(mktemp -d /tmp/zrvbuild-wine64-only.XXXXXX)
  for name in wine wine-stable; do
    printf '#!/bin/sh
WINELOADER=/usr/lib/wine/wine64; export WINELOADER
exec /usr/lib/wine/wine64 "$@"
' \
      >"$wine64_only/$name"
    chmod +x "$wine64_only/$name"
  done
fi

export WINEPREFIX
WINEPREFIX="$(mktemp -d /tmp/zrvbuild-wine.XXXXXX)"
export WINEDEBUG=-all
# No Mono or Gecko: nothing here needs them, and their installers would wait for a display.
export WINEDLLOVERRIDES="mscoree,mshtml="

stop_all() {
  wineserver -k </dev/null >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
  if [ "$runs_32_bit" = no ]; then
    vm_stop_making_image
    vm_stop
    rm -rf "$wine64_only"
  fi
}
trap stop_all EXIT

if [ "$runs_32_bit" = no ]; then
  # Only the 64-bit Windows build runs here; its Wine takes the 64-bit loader.
  PATH="$wine64_only:$PATH"
fi

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
    # Built here, tested in the emulated machine below, with the guest's Wine at the same path;
    # the tests' discovery runs the test program, so it waits for ctest there.
    cmake --preset "$preset" -DZRVBUILD_WINE="$system_wine" \
      -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST
    cmake --build --preset "$preset"
    if [ "$emulated" = yes ]; then
      echo "$preset: built in $((SECONDS - preset_start)) s; tested in the emulated machine"
    else
      echo "$preset: built in $((SECONDS - preset_start)) s; NOT RUN: no 32-bit programs here"
    fi
    continue
  fi
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  listed=$(ctest --preset "$preset" -N -E '^win32_toolchain\.' | grep -c 'Test *#' || true)
  # Under Wine a process now and then fails to start ("cannot start ..."): a failed case runs
  # once more before it counts.
  ctest --preset "$preset" -E '^win32_toolchain\.' --repeat until-pass:2 | tee "build/$preset/suite.log" || true
  check_counts "$preset: the suite under Wine" "$listed" "build/$preset/suite.log"
  echo "$preset: built and tested in $((SECONDS - preset_start)) s"
  suite_start=$SECONDS
  listed=$(ctest --preset "$preset" -N -R '^win32_toolchain\.' | grep -c 'Test *#' || true)
  ctest --preset "$preset" -R '^win32_toolchain\.' | tee "build/$preset/win32_toolchain.log" || true
  check_counts "$preset: the real tool chain under Wine" "$listed" \
    "build/$preset/win32_toolchain.log"
  echo "$preset: the real tool chain under Wine in $((SECONDS - suite_start)) s"
done
# A real module from the standard configuration's flags: the GNU/Linux zrvbuild drives the
# MinGW-w64 cross compilers with its built-in Windows flags and link options, and a Windows
# host loads the module under this Wine; the 64-bit module the same way.
cmake --preset default
cmake --build --preset default --target zrvbuild
for target in i686-w64-mingw32 x86_64-w64-mingw32; do
  if [ "$target" = i686-w64-mingw32 ] && [ "$runs_32_bit" = no ]; then
    [ "$emulated" = yes ] || echo "$target: real module NOT BUILT AND LOADED: no 32-bit programs here"
    continue
  fi
  module_start=$SECONDS
  sh examples/run-example-mingw.sh build/default "$target"
  check_module "$target"
  echo "$target: real module built and loaded in $((SECONDS - module_start)) s"
done

if [ "$runs_32_bit" = no ] && [ "$emulated" = yes ]; then
  # The makers started early say how long they took; one that failed is tried once more here.
  wait_start=$SECONDS
  [ -z "$vm_maker_pid" ] || wait "$vm_maker_pid" || true
  vm_maker_pid=
  [ ! -e "$vm_cache/background.log" ] || tail -n 4 "$vm_cache/background.log"
  if ! vm_ensure_image; then
    echo "windows step: the emulated machine could not be made" >&2
    exit 1
  fi
  echo "win32 machine: image ready; waited $((SECONDS - wait_start)) s for it"
  vm_start "$PWD"
  # Every job starts from the Wine prefix made with the image, in this tree at the same path.
  guest_env="$vm_wine_env
export ZRVBUILD_REQUIRE_TOOLS=${ZRVBUILD_REQUIRE_TOOLS:-}
cd '$PWD'
wineserver -p </dev/null >/dev/null 2>&1
# The first Windows program after a boot can take over a minute, longer than the tests'
# discovery waits for the test program: one start here first.
wine build/mingw32/zrvbuild.exe --version </dev/null >/dev/null 2>&1 || true"
  # The standard configuration's own program: its suite, then the real tool chain under it.
  suite_start=$SECONDS
  vm_run 5400 "$guest_env
ctest --preset mingw32 -N -E '^win32_toolchain\.' | grep -c 'Test *#' > build/mingw32/suite.listed
ctest --preset mingw32 -E '^win32_toolchain\.'" | tee build/mingw32/suite.log || true
  check_counts "mingw32 (emulated): the suite" "$(cat build/mingw32/suite.listed)" \
    build/mingw32/suite.log
  echo "mingw32 (emulated): the suite in $((SECONDS - suite_start)) s"
  suite_start=$SECONDS
  vm_run 5400 "$guest_env
ctest --preset mingw32 -N -R '^win32_toolchain\.' | grep -c 'Test *#' > build/mingw32/win32_toolchain.listed
ctest --preset mingw32 -R '^win32_toolchain\.'" | tee build/mingw32/win32_toolchain.log || true
  check_counts "mingw32 (emulated): the real tool chain" \
    "$(cat build/mingw32/win32_toolchain.listed)" build/mingw32/win32_toolchain.log
  echo "mingw32 (emulated): the real tool chain in $((SECONDS - suite_start)) s"
  module_start=$SECONDS
  vm_run 1800 "$guest_env
sh examples/run-example-mingw.sh build/default i686-w64-mingw32" || true
  check_module i686-w64-mingw32
  echo "i686-w64-mingw32 (emulated): real module built and loaded in $((SECONDS - module_start)) s"
fi
echo "windows step: $((SECONDS - step_start)) s"
