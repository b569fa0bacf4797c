#!/usr/bin/env bash
# The whole test suite again with AddressSanitizer (leak checking on) and
# UndefinedBehaviorSanitizer: the asan test preset passes the sanitizers' options to every test
# and, through the test support, to every zrvbuild the tests start; any report fails the run.
set -euo pipefail
cd "$(dirname "$0")/../.."

need_packages g++ libgtest-dev
cmake --preset asan
cmake --build --preset asan
ctest --preset asan
