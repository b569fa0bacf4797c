#!/bin/sh
# Makes the packages with CPack into a scratch directory and looks inside them: the .tar.gz
# holds the relative install layout; the Debian package, when the build makes one, the same
# layout under /usr with what Debian asks of a package (a copyright file in place of LICENSE, a
# changelog, the manual page compressed) and its control fields, and the program unpacked from
# it runs. DEBIAN is "yes" when the build must make a Debian package, "no" when it must not.
# Installing the package into the machine is left to CI (.ci/steps/15-gnu-linux.sh,
# .ci/steps/70-ecosystem.sh).
# Usage: check_packages.sh CPACK BUILD_DIR VERSION DEBIAN
set -eu
cpack=$1 build=$2 version=$3 debian=$4

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
layout="bin/zrvbuild share/bash-completion/completions/zrvbuild share/doc/zrvbuild/README.md
  lib/cmake/zrvbuild/zrvbuild-config.cmake lib/cmake/zrvbuild/zrvbuild-config-version.cmake
  lib/cmake/zrvbuild/zrvbuild-functions.cmake"
archive_only="share/man/man1/zrvbuild.1 share/doc/zrvbuild/LICENSE"
debian_only="share/man/man1/zrvbuild.1.gz share/doc/zrvbuild/copyright share/doc/zrvbuild/changelog.gz"

"$cpack" --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  fail "cpack: $(cat "$work/cpack.log")"

archive=$(ls "$work"/out/zrvbuild-"$version"-*.tar.gz)
tar tzf "$archive" >"$work/archive.list"
top=$(basename "$archive" .tar.gz)
for file in $layout $archive_only; do
  grep -qx "$top/$file" "$work/archive.list" || fail "$file missing from $(basename "$archive")"
done
for file in $debian_only; do
  ! grep -qx "$top/$file" "$work/archive.list" || fail "$file is in $(basename "$archive")"
done

debs=$(cd "$work/out" && ls -- *.deb 2>/dev/null || true)
if [ "$debian" = no ]; then
  [ -z "$debs" ] || fail "this build must make no Debian package, but made $debs"
  echo "package $(basename "$archive") checked; no Debian package, as this build's prefix asks"
  exit 0
fi
case $debs in
  zrvbuild_"$version"_*.deb) [ "$(echo "$debs" | wc -l)" -eq 1 ] ||
    fail "expected one Debian package, found: $debs" ;;
  *) fail "expected one Debian package, found [$debs]" ;;
esac
deb=$work/out/$debs
if ! command -v dpkg-deb >/dev/null 2>&1; then
  [ -z "${ZRVBUILD_REQUIRE_TOOLS:-}" ] ||
    fail "dpkg-deb is not installed, and ZRVBUILD_REQUIRE_TOOLS is set"
  echo "SKIP: dpkg-deb is not installed; the .tar.gz was checked, the Debian package was not"
  exit 77
fi
[ "$(dpkg-deb -f "$deb" Package)" = zrvbuild ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version"
dpkg-deb -c "$deb" | awk '{print $NF}' >"$work/deb.list"
for file in $layout $debian_only; do
  grep -qx "./usr/$file" "$work/deb.list" || fail "/usr/$file missing from $(basename "$deb")"
done
for file in $archive_only; do
  ! grep -qx "./usr/$file" "$work/deb.list" || fail "/usr/$file is in $(basename "$deb")"
done
# Nothing outside /usr.
outside=$(grep -v -e '^\./$' -e '^\./usr/' "$work/deb.list" || true)
[ -z "$outside" ] || fail "$(basename "$deb") holds files outside /usr: $outside"
dpkg-deb -x "$deb" "$work/root"
gzip -dc "$work/root/usr/share/doc/zrvbuild/changelog.gz" | head -n 1 >"$work/changelog.head"
[ "$(cat "$work/changelog.head")" = "zrvbuild ($version) unstable; urgency=medium" ] ||
  fail "changelog begins [$(cat "$work/changelog.head")]"
grep -q "^License: Expat" "$work/root/usr/share/doc/zrvbuild/copyright" ||
  fail "the copyright file names no licence"
got=$(env -i PATH=/usr/bin:/bin "$work/root/usr/bin/zrvbuild" -v)
[ "$got" = "zrvbuild, version $version" ] || fail "unpacked zrvbuild -v printed [$got]"

echo "packages $(basename "$archive") and $(basename "$deb") checked"
