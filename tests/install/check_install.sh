#!/bin/sh
# Installs the build into a fresh prefix and uses what landed there: the program (-v, -p, a dry
# run), its manual page and its bash completion.
# Usage: check_install.sh CMAKE BUILD_DIR SOURCE_DIR VERSION [CONFIGURATION]
set -eu
cmake=$1 build=$2 source=$3 version=$4 configuration=${5:-standard}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
expect_equal() {  # what expected actual
  [ "$2" = "$3" ] || fail "$1: expected [$2], got [$3]"
}

"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" ||
  fail "cmake --install: $(cat "$work/install.log")"

for file in bin/zrvbuild share/man/man1/zrvbuild.1 share/bash-completion/completions/zrvbuild \
  share/doc/zrvbuild/README.md share/doc/zrvbuild/LICENSE lib/cmake/zrvbuild/zrvbuild-config.cmake \
  lib/cmake/zrvbuild/zrvbuild-config-version.cmake lib/cmake/zrvbuild/zrvbuild-functions.cmake; do
  [ -f "$prefix/$file" ] || fail "not installed: $file"
done
[ -x "$prefix/bin/zrvbuild" ] || fail "bin/zrvbuild is not executable"
# Only a standard-configuration program needs the GNU/Linux profile.
if [ "$configuration" = standard ] && [ -f "$source/profiles/gnu-linux.sh" ]; then
  cmp -s "$source/profiles/gnu-linux.sh" "$prefix/share/doc/zrvbuild/gnu-linux.sh" ||
    fail "the GNU/Linux profile is not installed under share/doc/zrvbuild"
elif [ "$configuration" != standard ] && [ -e "$prefix/share/doc/zrvbuild/gnu-linux.sh" ]; then
  fail "a $configuration build installed the profile for standard-configuration programs"
fi

# The installed program, run from an empty directory with a bare environment.
mkdir "$work/run"
cd "$work/run"
run() { env -i PATH=/usr/bin:/bin "$prefix/bin/zrvbuild" "$@"; }
expect_equal "-v" "zrvbuild, version $version" "$(run -v)"
expect_equal "-p CC" "gcc -std=gnu11" "$(run -p CC)"
run -n hello.cc >"$work/dry.out" || fail "dry run exited with status $?"
expect_equal "dry-run command count" 2 "$(wc -l <"$work/dry.out" | tr -d ' ')"
case $(sed -n 1p "$work/dry.out") in
  "g++ -std=gnu++11 -c "*" hello.cc -o hello.o") ;;
  *) fail "dry-run compile command: $(sed -n 1p "$work/dry.out")" ;;
esac
case $(sed -n 2p "$work/dry.out") in
  "g++ -std=gnu++11 "*" -o hello.zrv  hello.o "*) ;;
  *) fail "dry-run link command: $(sed -n 2p "$work/dry.out")" ;;
esac
[ -z "$(ls -A "$work/run")" ] || fail "the dry run left files behind: $(ls -A "$work/run")"

# The installed manual page renders cleanly.
if command -v groff >/dev/null 2>&1; then
  warnings=$(groff -man -ww -z "$prefix/share/man/man1/zrvbuild.1" 2>&1) ||
    fail "groff failed on the installed page"
  expect_equal "groff warnings" "" "$warnings"
fi

# The installed completion registers itself and completes variable names.
if command -v bash >/dev/null 2>&1; then
  completion=$prefix/share/bash-completion/completions/zrvbuild
  expect_equal "complete -p" "complete -o filenames -F _zrvbuild zrvbuild" \
    "$(bash -c '. "$1" && complete -p zrvbuild' bash "$completion")"
  expect_equal "completion of -p ZRV_" "ZRV_LINK_DEPS ZRV_LINK_OPTS" \
    "$(bash -c '. "$1"; COMP_WORDS=(zrvbuild -p ZRV_); COMP_CWORD=2; _zrvbuild
                echo "${COMPREPLY[*]}"' bash "$completion")"
fi

echo "installed layout under $prefix checked"
