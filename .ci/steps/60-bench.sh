#!/usr/bin/env bash
# Builds the benchmark preset and runs every micro-benchmark once, briefly, and the whole-process
# comparison, the 10,000-object link and the parallel-jobs comparison with a few runs per command,
# so that all keep building and running. Timings are printed, never asserted: CI machines vary
# too much.
set -euo pipefail
cd "$(dirname "$0")/../.."

need_packages libbenchmark-dev hyperfine pkg-config zlib1g-dev time jq make g++ gfortran bc \
  cmake ninja-build

cmake --preset bench
cmake --build --preset bench
build/bench/bench/zrvbuild_bench --benchmark_min_time=0.01
ZRVBUILD_COMPARE_RUNS=3 bench/compare.sh build/bench/zrvbuild
ZRVBUILD_COMPARE_RUNS=2 bench/long_link.sh build/bench/zrvbuild
# Parallel jobs against sequential runs and make -j2: two runs per command, about a minute.
ZRVBUILD_JOBS_BENCH_RUNS=2 bench/jobs.sh build/bench/zrvbuild
# Incremental builds: a clean build, a no-op rerun and a one-file change of 158 sources, beside
# ninja's through the CMake package; three runs per command.
ZRVBUILD_INCREMENTAL_BENCH_RUNS=3 bench/incremental.sh build/bench/zrvbuild
