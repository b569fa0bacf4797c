#!/bin/sh
# Builds the example extension in extension/ into a Windows stats.zrv with the zrvbuild of a
# GNU/Linux build tree and the MinGW-w64 cross compilers, keeping zrvbuild's built-in Windows
# flags and link options, then loads it in a Windows stand-in host under Wine and calls it.
#   sh examples/run-example-mingw.sh [BUILD_DIR [TARGET]]
# BUILD_DIR defaults to build/default, TARGET to i686-w64-mingw32 (the standard configuration);
# x86_64-w64-mingw32 builds the 64-bit module. Wine runs in WINEPREFIX when that is set, else
# in a temporary prefix of its own.
#
# Only these settings replace built-in defaults: the compiler names, the directories of the
# stand-in environment, and the link-list items that name libraries it does not have.
set -eu
examples=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$examples/../build/default}" && pwd)
target=${2:-i686-w64-mingw32}

cc=$target-gcc-posix
cxx=$target-g++-posix
fc=$target-gfortran-posix
for tool in "$cc" "$cxx" "$fc" wine; do
  if ! command -v "$tool" > /dev/null 2>&1; then
    echo "run-example-mingw.sh: $tool not found" >&2
    exit 1
  fi
done

version=$("$build/zrvbuild" --version)
version=${version##* }

# The stand-in environment laid out as a Windows installation: DLLs and the host in bin/,
# import libraries in lib/zorvan/VERSION/, with the tool chain's run-time DLLs beside the host.
out=$build/examples/$target
home=$out/zorvan-home
include_dir=$home/include/zorvan-$version/zorvan
lib_dir=$home/lib/zorvan/$version
rm -rf "$out"
mkdir -p "$include_dir" "$lib_dir" "$home/bin" "$out/run"
cp "$examples"/environment/include/zorvan/*.h "$include_dir"/
for lib in zorvan zrvinterp; do
  "$cxx" -Wall -Wextra -O2 -shared -I"$include_dir/.." -DZORVAN_VERSION="\"$version\"" \
    -o "$home/bin/lib$lib.dll" "$examples/environment/$lib.cc" \
    -Wl,--out-implib,"$lib_dir/lib$lib.dll.a"
done
"$cxx" -Wall -Wextra -O2 -I"$include_dir/.." -o "$home/bin/zrvhost.exe" \
  "$examples/environment/zrvhost.cc" -L"$lib_dir" -lzorvan -lzrvinterp
cp "$(dirname "$("$cxx" -print-libgcc-file-name)")"/*.dll "$home/bin"/
cp "$("$cxx" -print-file-name=libwinpthread-1.dll)" "$home/bin"/

# The link dependencies the environment's own libraries would bring, without the libraries
# that neither the stand-in environment nor the tool chain has.
link_deps=
set -f
for item in $("$build/zrvbuild" -p ZRV_LINK_DEPS); do
  case $item in
    -l*)
      found=no
      for file in "lib${item#-l}.a" "lib${item#-l}.dll.a"; do
        case $("$cxx" -print-file-name="$file") in
          */*) found=yes ;;
        esac
      done
      if [ "$found" = no ]; then
        echo "not available, left out of ZRV_LINK_DEPS: $item"
        continue
      fi
      ;;
  esac
  link_deps="$link_deps $item"
done
set +f

ZORVAN_HOME=$home
ZRVINCLUDEDIR=$include_dir
INCLUDEDIR=$home/include
LIBDIR=$home/lib
ZRVLIBDIR=$lib_dir
# The built-in INCFLAGS joins "\.." to ZRVINCLUDEDIR, which only a Windows path can take.
INCFLAGS="-I$ZRVINCLUDEDIR/.. -I$ZRVINCLUDEDIR -I$INCLUDEDIR"
CPPFLAGS="-I$INCLUDEDIR"
F77=$fc
CC="$cc -std=gnu11"
CXX="$cxx -std=gnu++11"
DL_LD="$cxx -std=gnu++11"
ZRV_LINK_DEPS=$link_deps
export ZORVAN_HOME ZRVINCLUDEDIR INCLUDEDIR LIBDIR ZRVLIBDIR INCFLAGS CPPFLAGS F77 CC CXX DL_LD \
  ZRV_LINK_DEPS

cp "$examples"/extension/* "$out/run"/
cd "$out/run"
"$build/zrvbuild" -v stats.cc scale.c sumsq.f90

if [ -z "${WINEPREFIX:-}" ]; then
  WINEPREFIX=$(mktemp -d)
  export WINEPREFIX
  trap 'wineserver -k < /dev/null > /dev/null 2>&1 || true; rm -rf "$WINEPREFIX"' EXIT
  # A server started here keeps no pipe of the caller open.
  wineserver -p < /dev/null > /dev/null 2>&1
fi
WINEDEBUG=${WINEDEBUG:--all}
export WINEDEBUG
wine "$home/bin/zrvhost.exe" '.\stats.zrv' 1 2 3 4 < /dev/null > "$out/host-output.txt"
# Windows programs end their lines with a carriage return.
tr -d '\r' < "$out/host-output.txt"
