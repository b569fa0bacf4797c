#!/usr/bin/env bash
# The CMake package: installs Ninja and gfortran when missing and reruns the check that builds
# the example extension through the installed package, with skipping turned into failure.
set -euo pipefail
cd "$(dirname "$0")/../.."

need_packages ninja-build gfortran

ZRVBUILD_REQUIRE_TOOLS=1 ctest --preset default -R '^cmake_package\.'
