#!/bin/sh
# Makes the packages with CPack into a scratch directory and looks inside them: the .tar.gz
# holds the relative install layout, the Debian package the same layout under the configured
# install prefix with its control fields, and the program unpacked from it runs.
# Installing the package into the machine is left to CI (.ci/steps/70-ecosystem.sh).
# Usage: check_packages.sh CPACK BUILD_DIR VERSION INSTALL_PREFIX
set -eu
cpack=$1 build=$2 version=$3 install_prefix=$4

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
layout="bin/zrvbuild share/man/man1/zrvbuild.1 share/bash-completion/completions/zrvbuild
  share/doc/zrvbuild/README.md share/doc/zrvbuild/LICENSE lib/cmake/zrvbuild/zrvbuild-config.cmake
  lib/cmake/zrvbuild/zrvbuild-config-version.cmake lib/cmake/zrvbuild/zrvbuild-functions.cmake"

"$cpack" --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  fail "cpack: $(cat "$work/cpack.log")"

archive=$(ls "$work"/out/zrvbuild-"$version"-*.tar.gz)
tar tzf "$archive" >"$work/archive.list"
top=$(basename "$archive" .tar.gz)
for file in $layout; do
  grep -qx "$top/$file" "$work/archive.list" || fail "$file missing from $(basename "$archive")"
done

deb=$(ls "$work"/out/zrvbuild_"$version"_*.deb)
if ! command -v dpkg-deb >/dev/null 2>&1; then
  [ -z "${ZRVBUILD_REQUIRE_TOOLS:-}" ] ||
    fail "dpkg-deb is not installed, and ZRVBUILD_REQUIRE_TOOLS is set"
  echo "SKIP: dpkg-deb is not installed; the .tar.gz was checked, the Debian package was not"
  exit 77
fi
[ "$(dpkg-deb -f "$deb" Package)" = zrvbuild ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version"
dpkg-deb -c "$deb" | awk '{print $NF}' >"$work/deb.list"
for file in $layout; do
  grep -qx ".$install_prefix/$file" "$work/deb.list" ||
    fail "$install_prefix/$file missing from $(basename "$deb")"
done
dpkg-deb -x "$deb" "$work/root"
got=$(env -i PATH=/usr/bin:/bin "$work/root$install_prefix/bin/zrvbuild" -v)
[ "$got" = "zrvbuild, version $version" ] || fail "unpacked zrvbuild -v printed [$got]"

echo "packages $(basename "$archive") and $(basename "$deb") checked"
