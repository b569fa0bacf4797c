#!/usr/bin/env bash
# The gnu-linux configuration: builds its preset and runs its whole suite (its real tool chain
# tests and the CMake package check, with Ninja, may not skip), makes its packages and checks
# the Debian one with lintian, then installs it into this machine, installs the stand-in
# environment under the package's prefix (/usr), builds the example extension and a stand-alone
# program with the installed zrvbuild and nothing else set, and again through the package's
# CMake files, loads the modules in the stand-in host, runs the programs, completes command
# lines in a login shell, builds a program against a copy of the environment under another root
# as docs/configurations.md says, and removes package and stand-in again: the directories they
# touched must list exactly as before.
set -euo pipefail
cd "$(dirname "$0")/../.."

need_packages cmake g++ gcc gfortran make libgtest-dev ninja-build dpkg-dev lintian \
  bash-completion

# The README's quick start, one command a line: the program and the example environment only,
# then the example.
cmake --preset gnu-linux
cmake --build --preset gnu-linux --target zrvbuild example-environment
sh examples/run-example.sh
cmake --build --preset gnu-linux
ctest --preset gnu-linux
ZRVBUILD_REQUIRE_TOOLS=1 ctest --preset gnu-linux -R '^(GnuLinuxToolchain|cmake_package)\.'

build=build/gnu-linux
rm -f "$build"/zrvbuild_*.deb
cmake --build --preset gnu-linux --target package
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
# The program's build prefix is where the package puts it.
prefix=$(sed -n 's/^ZRVBUILD_PREFIX:STRING=//p' "$build/CMakeCache.txt")
[ "$prefix" = /usr ] || fail "the gnu-linux preset must build for /usr, not for [$prefix]"
version=$(sed -n 's/^ZRVBUILD_VERSION:STRING=//p' "$build/CMakeCache.txt")
debs=("$build"/zrvbuild_"$version"_*.deb)
if [ "${#debs[@]}" -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  fail "expected one Debian package in $build, found: ${debs[*]}"
fi
deb=${debs[0]}

# Debian's checker: no error may remain; the warnings it prints are those docs/packaging.md
# explains.
lintian --fail-on error "$deb" || fail "lintian reports errors in $(basename "$deb")"

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

# Every directory the package and the stand-in touch: the directories above each of their
# paths, up to /. A listing gives each entry's name, type (a link's target type too, N when it
# dangles), mode, owner, and for all but directories the size and link target; directory sizes
# and times change with their entries and are left out.
touched=$( (dpkg-deb -c "$deb" | awk '{print $NF}' | sed -e 's|^\.||' -e 's|/$||'
  printf '%s\n' "${stand_in[@]}") |
  while IFS= read -r path; do
    while [ -n "$path" ] && [ "$path" != / ]; do
      path=$(dirname "$path")
      echo "$path"
    done
  done | sort -u)
tree_listing() {
  local dir
  while IFS= read -r dir; do
    if [ -d "$dir" ]; then
      find "$dir" -mindepth 1 -maxdepth 1 -type d -printf '%p d %m %u:%g\n'
      find "$dir" -mindepth 1 -maxdepth 1 ! -type d -printf '%p %y%Y %m %u:%g %s %l\n'
    else
      echo "$dir: absent"
    fi
  done <<<"$touched" | LC_ALL=C sort
}
tree_listing >"$work/before.list"

cleanup() {
  if dpkg-query -W -f='${Status}' zrvbuild 2>/dev/null | grep -q "install ok installed"; then
    dpkg -r zrvbuild >/dev/null
  fi
  rm -rf "${stand_in[@]}"
}
trap 'cleanup; rm -rf "$work"' EXIT

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

# The bash completion, as an interactive login shell with bash-completion has it: loaded on
# the first completion of a zrvbuild command line (bash calls the default completion, which
# loads the package's file and asks for a retry), then offering options, variable names after
# -p and, elsewhere, the files zrvbuild takes and directories.
mkdir -p "$work/home" "$work/files/sub"
touch "$work/files/a.c" "$work/files/b.f90" "$work/files/notes.txt"
# Each line: the words of the command line, the last one being completed; then what the
# completion offers, sorted.
completions=$(cd "$work/files" && env -i HOME="$work/home" PATH=/usr/bin:/bin TERM=dumb \
  bash --login -i -c '
    complete -p zrvbuild >/dev/null 2>&1 && echo "loaded before it was needed"
    rule=$(complete -p -D) || { echo "no default completion"; exit 0; }
    loader=${rule#*-F }
    "${loader%% *}" zrvbuild "" zrvbuild
    echo "loader status $?"
    rule=$(complete -p zrvbuild) || { echo "nothing loaded"; exit 0; }
    echo "$rule"
    function=${rule#*-F }
    function=${function%% *}
    offer() {
      local COMP_WORDS=("$@") COMP_CWORD=$(($# - 1)) COMPREPLY=()
      "$function" zrvbuild "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
      echo "$*: $(printf "%s\n" "${COMPREPLY[@]}" | LC_ALL=C sort | tr "\n" " ")"
    }
    offer zrvbuild --vers
    offer zrvbuild --
    offer zrvbuild -p ZRV_
    offer zrvbuild -c ""
  ' 2>"$work/login.err") || fail "the login shell failed: $(cat "$work/login.err")"
expected_completions="loader status 124
complete -o filenames -F _zrvbuild zrvbuild
zrvbuild --vers: --version 
zrvbuild --: --compile --depend --dry-run --help --just-print --link-stand-alone --mex --output --print --strip --verbose --version 
zrvbuild -p ZRV_: ZRV_LINK_DEPS ZRV_LINK_OPTS 
zrvbuild -c : a.c b.f90 sub "
[ "$completions" = "$expected_completions" ] ||
  fail "the completion in a login shell gave:
$completions
expected:
$expected_completions"

# A relocated environment, as docs/configurations.md has it: a copy of the stand-in
# under another root, named by ZORVAN_HOME, with CPPFLAGS and the run paths set to it. The
# program runs with no other help and takes the environment's libraries from that root, though
# the same environment lies under the build prefix too; without the settings it would take those
# under the prefix.
relocated="$work/other root/zorvan"
mkdir -p "$relocated/include" "$relocated/lib/zorvan"
cp -R "$prefix/include/zorvan-$version" "$relocated/include/"
cp -R "$prefix/lib/zorvan/$version" "$relocated/lib/zorvan/"
mkdir "$work/relocated"
cp "$work/main.cc" "$work/relocated/"
(cd "$work/relocated" && run env ZORVAN_HOME="$relocated" sh -c '
  zrvbuild --link-stand-alone -o plain main.cc || exit 1
  CPPFLAGS="-I\"$ZORVAN_HOME/include\""
  ZORVAN_LINK_OPTS="-Wl,-rpath,\"$(zrvbuild -p ZRVLIBDIR)\" -Wl,-rpath,\"$(zrvbuild -p LIBDIR)\""
  ZRV_LINK_OPTS="-Wl,-rpath,\"$(zrvbuild -p ZRVLIBDIR)\""
  export CPPFLAGS ZORVAN_LINK_OPTS ZRV_LINK_OPTS
  zrvbuild --link-stand-alone -o prog main.cc
  ' >"$work/relocated.log" 2>&1) ||
  fail "building against the relocated environment failed: $(cat "$work/relocated.log")"
got=$(run "$work/relocated/prog") || fail "the program of the relocated environment exited with status $?"
[ "$got" = "mean 3 of zorvan $version" ] || fail "the program of the relocated environment printed [$got]"
loaded=$(run env LD_TRACE_LOADED_OBJECTS=1 "$work/relocated/prog" | grep libzorvan.so) ||
  fail "the relocated program loads no libzorvan"
case $loaded in
  *"=> $relocated/lib/zorvan/$version/libzorvan.so "*) ;;
  *) fail "the relocated program takes libzorvan from elsewhere: $loaded" ;;
esac
loaded=$(run env LD_TRACE_LOADED_OBJECTS=1 "$work/relocated/plain" | grep libzorvan.so) || true
case $loaded in
  *"=> $prefix/lib/zorvan/$version/libzorvan.so "*) ;;
  *) fail "without the settings, expected libzorvan from the build prefix: $loaded" ;;
esac

cleanup
trap - EXIT
if dpkg-query -W -f='${Status}' zrvbuild 2>/dev/null | grep -q "install ok installed"; then
  fail "zrvbuild is still installed"
fi
tree_listing >"$work/after.list"
if ! diff -u "$work/before.list" "$work/after.list" >"$work/tree.diff"; then
  cat "$work/tree.diff" >&2
  rm -rf "$work"
  fail "installing and removing the package changed the directories it touched"
fi
rm -rf "$work"
echo "$(basename "$deb"): lintian reports no error; installed, built and loaded the example under $prefix (with zrvbuild and through its CMake package), completed in a login shell, built against a relocated environment, and removed, leaving $(wc -l <<<"$touched") directories as they were"
