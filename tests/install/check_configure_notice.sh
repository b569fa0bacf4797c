#!/bin/sh
# Configures the project afresh as a new user does, without a preset, and once for gnu-linux:
# each configure run names the configuration it builds and how to pick the other.
# Usage: check_configure_notice.sh CMAKE SOURCE_DIR
set -eu
cmake=$1 source=$2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
expect_line() {  # log line
  grep -qxF -- "$2" "$1" || fail "configure output lacks [$2]: $(cat "$1")"
}

"$cmake" -S "$source" -B "$work/plain" -DZRVBUILD_BUILD_TESTS=OFF -DZRVBUILD_BUILD_EXAMPLES=OFF \
  >"$work/plain.log" 2>&1 || fail "configure: $(cat "$work/plain.log")"
expect_line "$work/plain.log" "-- zrvbuild configuration: standard (32-bit Windows, MinGW-w64: \
backslash paths, Windows libraries); for GNU/Linux use --preset gnu-linux or \
-DZRVBUILD_CONFIGURATION=gnu-linux"

"$cmake" -S "$source" -B "$work/gnu-linux" -DZRVBUILD_BUILD_TESTS=OFF \
  -DZRVBUILD_BUILD_EXAMPLES=OFF -DZRVBUILD_CONFIGURATION=gnu-linux -DCMAKE_INSTALL_PREFIX=/usr \
  >"$work/gnu-linux.log" 2>&1 || fail "configure: $(cat "$work/gnu-linux.log")"
expect_line "$work/gnu-linux.log" "-- zrvbuild configuration: gnu-linux (the environment under \
/usr); -DZRVBUILD_CONFIGURATION=standard builds the 32-bit Windows one"
