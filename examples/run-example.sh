#!/bin/sh
# Builds the example extension in extension/ into stats.zrv with the zrvbuild of a build tree,
# against the stand-in environment that the same build made, then loads it in the stand-in
# host and calls it.
#   sh examples/run-example.sh [BUILD_DIR]        (default: build/gnu-linux)
# A zrvbuild of the gnu-linux configuration needs nothing but ZORVAN_HOME, which names the
# stand-in here; one of the standard configuration (build/default) is given the GNU/Linux
# settings by profiles/gnu-linux.sh first.
set -eu
examples=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$examples/../build/gnu-linux}" && pwd)

ZORVAN_HOME=$build/examples/zorvan-home
export ZORVAN_HOME
configuration=$(sed -n 's/^ZRVBUILD_CONFIGURATION:[A-Z]*=//p' "$build/CMakeCache.txt")
if [ "${configuration:-standard}" = standard ]; then
  . "$examples/../profiles/gnu-linux.sh"
fi

# The module, its objects and copies of the sources go into a work directory of their own.
work=$build/examples/run
rm -rf "$work"
mkdir -p "$work"
cp "$examples"/extension/* "$work"/
cd "$work"

"$build/zrvbuild" -v stats.cc scale.c sumsq.f90
"$ZORVAN_HOME/bin/zrvhost" ./stats.zrv 1 2 3 4
