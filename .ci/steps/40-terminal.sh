#!/usr/bin/env bash
# The progress lines through a real terminal: installs tmux when missing and reruns the progress
# tests with skipping turned into failure (.ci/run installs tmux before any test run; on its own
# this step still checks that they do not skip). Run by .ci/run, which provides need_packages.
set -euo pipefail
cd "$(dirname "$0")/../.."

need_packages tmux

ZRVBUILD_REQUIRE_TOOLS=1 ctest --preset default -R '^ProgressCli\.'
