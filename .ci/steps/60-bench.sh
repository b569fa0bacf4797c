#!/usr/bin/env bash
# Builds the benchmark preset and runs every micro-benchmark once, briefly, so that they keep
# compiling and running. Timings are printed, never asserted: CI machines vary too much.
set -euo pipefail
cd "$(dirname "$0")/../.."

need_packages libbenchmark-dev hyperfine

cmake --preset bench
cmake --build --preset bench
build/bench/bench/zrvbuild_bench --benchmark_min_time=0.01
