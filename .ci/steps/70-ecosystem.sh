#!/usr/bin/env bash
# Installs what the launcher, distributed-jobs, manual page and completion tests drive (ccache,
# distcc, groff) when missing and reruns those tests with skipping turned into failure, then
# installs the Debian package into this machine, uses it and removes it again.
set -euo pipefail
cd "$(dirname "$0")/../.."

need_packages ccache distcc groff-base

# .ci/run installs these before any test run and requires them; run on its own this step
# still checks that those tests do not skip.
ZRVBUILD_REQUIRE_TOOLS=1 ctest --preset default -R '^(Launchers|JobsDistcc|ManPage|Completion)\.|^install\.'

cmake --build --preset default --target package
# The Debian package installs under /usr, whatever the build's prefix.
prefix=/usr
version=$(sed -n 's/^ZRVBUILD_VERSION:STRING=//p' build/default/CMakeCache.txt)
deb=$(ls build/default/zrvbuild_"$version"_*.deb)

if dpkg-query -W -f='${Status}' zrvbuild 2>/dev/null | grep -q "install ok installed"; then
  echo "a zrvbuild package is already installed here; not replacing it" >&2
  exit 1
fi
dpkg -i "$deb"
installed_files=$(dpkg -L zrvbuild)
got=$("$prefix/bin/zrvbuild" -v) || got="exit status $?"
dpkg -r zrvbuild
[ "$got" = "zrvbuild, version $version" ] || {
  echo "installed zrvbuild -v printed [$got]" >&2
  exit 1
}
for file in bin/zrvbuild share/man/man1/zrvbuild.1.gz share/bash-completion/completions/zrvbuild; do
  grep -qx "$prefix/$file" <<<"$installed_files" || {
    echo "the package did not install $prefix/$file" >&2
    exit 1
  }
  [ ! -e "$prefix/$file" ] || {
    echo "dpkg -r left $prefix/$file behind" >&2
    exit 1
  }
done
echo "$(basename "$deb") installed, ran ($got) and removed"
