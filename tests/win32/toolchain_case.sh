#!/bin/sh
# One case of the standard configuration end to end (tests/win32_toolchain.cmake): zrvbuild.exe
# of a Windows build, under Wine, builds with the real MinGW-w64 tools (through the stand-ins)
# against the Windows layout of the example environment, and the Windows host loads the result.
#   sh toolchain_case.sh CASE
# The environment names the build (ZRV_BUILD, ZRV_SOURCE, ZRV_VERSION), Wine (ZRV_WINE), the
# target (ZRV_TARGET), the stand-ins' directory (ZRV_STAND_INS) and the libraries of the link
# lists that the tool chain lacks (ZRV_MISSING_LIBS). Any difference fails the case.
set -eu
case_name=$1
target=$ZRV_TARGET
home=$ZRV_BUILD/examples/zorvan-home
extension=$ZRV_SOURCE/examples/extension
work=$(mktemp -d "${TMPDIR:-/tmp}/zrvbuild-wine-case.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

fail() {
  echo "FAIL ($case_name): $*" >&2
  exit 1
}

# A Unix path as Wine shows it on drive Z:.
windows_path() {
  printf 'Z:%s' "$1" | tr / '\\'
}

# Runs a Windows program; its standard output and error, without the carriage returns of
# Windows text lines, go to out and err; its status to status.
run_windows() {
  set +e
  "$ZRV_WINE" "$@" < /dev/null > out.raw 2> err.raw
  status=$?
  set -e
  tr -d '\r' < out.raw > out
  tr -d '\r' < err.raw > err
}

zrvbuild() {
  run_windows "$ZRV_BUILD/zrvbuild.exe" "$@"
}

expect_status() {
  [ "$status" = "$1" ] || {
    cat out err >&2
    fail "status $status, expected $1"
  }
}

# The file holds exactly these lines (nothing at all for "").
expect_file() {
  if [ -z "$2" ]; then
    : > expected
  else
    printf '%s\n' "$2" > expected
  fi
  cmp -s expected "$1" || {
    echo "--- expected" >&2
    cat expected >&2
    echo "--- $1" >&2
    cat "$1" >&2
    fail "$1 differs"
  }
}

# The Linux example's lines, for a module loaded as NAME.
host_lines() {
  printf 'zorvan %s: loaded %s\n%s' "$ZRV_VERSION" "$1" "count = 4
mean = 2.5
rms = 2.73861
result = 0.238613 (3 values shown)"
}

# The host loads the module and calls it with 1 2 3 4. It is a program of the ANSI code page,
# which is what its output is in.
expect_host_loads() {
  run_windows "$home/bin/zrvhost.exe" "$1" 1 2 3 4
  expect_status 0
  iconv -f WINDOWS-1252 -t UTF-8 out > out.utf8
  mv out.utf8 out
  expect_file out "$(host_lines "$1")"
  expect_file err ""
}

# The built-in link lists without the libraries nobody here has; nothing else is overridden
# but ZORVAN_HOME.
without_missing() {
  kept=
  set -f
  for item in $1; do
    case " $ZRV_MISSING_LIBS " in
      *" $item "*) ;;
      *) kept="$kept $item" ;;
    esac
  done
  set +f
  printf '%s' "$kept"
}

WINEPATH="$(windows_path "$ZRV_STAND_INS");$(windows_path "$home/bin")"
ZORVAN_HOME=$(windows_path "$home")
export WINEPATH ZORVAN_HOME
zrvbuild -p ZRV_LINK_DEPS
ZRV_LINK_DEPS=$(without_missing "$(cat out)")
zrvbuild -p ZORVAN_LINK_DEPS
ZORVAN_LINK_DEPS=$(without_missing "$(cat out)")
export ZRV_LINK_DEPS ZORVAN_LINK_DEPS

case $case_name in
  example | example_two_jobs)
    cp "$extension"/* .
    [ "$case_name" = example ] || { ZRVBUILD_JOBS=2; export ZRVBUILD_JOBS; }
    zrvbuild stats.cc scale.c sumsq.f90
    expect_status 0
    expect_file out ""
    expect_file err ""
    expect_host_loads '.\stats.zrv'
    ;;

  depend_make)
    # A copy of the environment whose header the test may touch.
    cp -R "$home" home
    ZORVAN_HOME=$(windows_path "$work/home")
    cp "$extension"/* .
    zrvbuild -M stats.cc scale.c
    expect_status 0
    expect_file out ""
    expect_file err ""
    grep -q '^pic/stats.o stats.o stats.d: stats.cc' stats.d || fail "stats.d: $(cat stats.d)"
    grep -q "$work/home/include/zorvan-$ZRV_VERSION/zorvan/.*zorvan\.h" stats.d ||
      fail "stats.d names no header of the environment: $(cat stats.d)"
    printf '%s\n' 'all: stats.o scale.o' 'include stats.d scale.d' 'stats.o scale.o:' \
      '	@echo $@ >> remade' > Makefile
    touch stats.o scale.o
    make -s > make.out 2>&1 || fail "make: $(cat make.out)"
    [ ! -e remade ] || fail "remade with nothing changed: $(cat remade)"
    sleep 1
    touch "home/include/zorvan-$ZRV_VERSION/zorvan/zrvinterp.h"
    make -s > make.out 2>&1 || fail "make: $(cat make.out)"
    expect_file remade "stats.o"
    ;;

  stand_alone)
    printf '%s\n' '#include <cstdio>' '#include <zorvan/zorvan.h>' 'int main() {' \
      '  const double values[] = {1, 2, 3, 4};' \
      '  std::printf("zorvan %s: mean %g\n", zorvan_version(), zorvan_mean(values, 4));' \
      '}' > prog.cc
    # The tool chain names the program prog.exe; the strip must name that file too.
    zrvbuild --link-stand-alone -s prog.cc -o prog
    expect_status 0
    expect_file out ""
    expect_file err ""
    [ ! -e prog ] || fail "a file named prog was written"
    "$target-objdump" -h prog.exe > sections
    ! grep -q '\.debug_' sections || fail "prog.exe was not stripped"
    run_windows prog.exe
    expect_status 0
    expect_file out "zorvan $ZRV_VERSION: mean 2.5"
    ;;

  thousand_objects)
    # 1,000 more objects, each a function returning its number, passed in an argument file;
    # the link is far over cmd.exe's 8,191 characters and goes through zrvbuild's response
    # file. The assembler makes them here, in a fraction of the compiler's time.
    cp "$extension"/* .
    case $target in
      i686-*) symbol_prefix=_ ;;
      *) symbol_prefix= ;;
    esac
    i=1000
    : > objects.rsp
    while [ $i -lt 2000 ]; do
      printf '\t.globl %szrv_f%s\n%szrv_f%s:\n\tmovl $%s, %%eax\n\tret\n' \
        "$symbol_prefix" $i "$symbol_prefix" $i $i > "obj-$i.s"
      echo "obj-$i.o" >> objects.rsp
      i=$((i + 1))
    done
    ls obj-*.s | xargs -P 2 -n 50 sh -c 'for f; do "$0" "$f" -o "${f%.s}.o" || exit 255; done' \
      "$target-as"
    zrvbuild -v stats.cc scale.c sumsq.f90 @objects.rsp
    expect_status 0
    expect_file err ""
    link_line=$(grep -- ' -o stats.zrv ' out) || fail "no link line: $(cat out)"
    case $link_line in
      *' @C:\'*) ;;
      *) fail "the link did not go through a response file: $link_line" ;;
    esac
    [ "${#link_line}" -lt 8191 ] || fail "a link line of ${#link_line} characters"
    exported=$("$target-objdump" -p stats.zrv | grep -c ' zrv_f[0-9]')
    [ "$exported" = 1000 ] || fail "stats.zrv exports $exported of the 1,000 functions"
    expect_host_loads '.\stats.zrv'
    ;;

  names)
    # Blanks and letters beyond ASCII in the sources, the objects, the module and the
    # environment's directory.
    cp -R "$home" "zorvan home 李"
    ZORVAN_HOME=$(windows_path "$work/zorvan home 李")
    cp "$extension/stats.cc" "李 名.cc"
    cp "$extension/scale.c" "Zoë.c"
    cp "$extension/sumsq.f90" "sum sq.f90"
    zrvbuild "李 名.cc" "Zoë.c" "sum sq.f90" -o "módulo x"
    expect_status 0
    expect_file out ""
    expect_file err ""
    for object in "李 名.o" "Zoë.o" "sum sq.o" "módulo x.zrv"; do
      [ -f "$object" ] || fail "$object is missing: $(ls)"
    done
    home="$work/zorvan home 李"
    expect_host_loads '.\módulo x.zrv'
    ;;

  compile_error)
    printf '%s\n' '/* a mistake on line 3 */' 'int good(void) { return 0; }' \
      'int bad(void) { return undefined_name; }' > broken.c
    cp "$extension/scale.c" .
    zrvbuild broken.c scale.c
    expect_status 1
    expect_file out ""
    grep -q "^broken.c:3:.*error.*undefined_name" err || fail "standard error: $(cat err)"
    [ ! -e broken.zrv ] && [ ! -e scale.o ] || fail "built after the failure: $(ls)"
    ;;

  *)
    fail "no such case"
    ;;
esac
echo "$case_name: passed"
