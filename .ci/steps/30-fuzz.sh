#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time (FUZZ_SECONDS, 60 by
# default) from its seed corpus. A crash, a sanitizer report or a failed check fails the run;
# the input that caused it is kept under build/fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/../.."

need_packages clang
if ! command -v clang++ >/dev/null; then
  echo "clang++ is still missing after installing clang: the fuzz targets cannot run" >&2
  exit 1
fi
clang_major=$(clang++ --version | sed -n 's/.*clang version \([0-9]*\).*/\1/p' | head -n 1)
if [ -z "$clang_major" ]; then
  echo "no clang version in: $(clang++ --version)" >&2
  exit 1
fi
need_packages "libclang-rt-${clang_major}-dev"

cmake --preset fuzz
cmake --build --preset fuzz

seconds=${FUZZ_SECONDS:-60}
mkdir -p build/fuzz/artifacts
for target in command_line_fuzzer depend_lines_fuzzer argv_quote_fuzzer; do
  work_corpus=build/fuzz/corpus-work/$target
  log=build/fuzz/$target.log
  mkdir -p "$work_corpus"
  echo "== fuzzing $target for ${seconds}s"
  # New inputs go to the work corpus; the committed seeds are only read.
  if ! "build/fuzz/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 \
      -timeout=20 -rss_limit_mb=4096 -artifact_prefix="build/fuzz/artifacts/$target-" \
      "$work_corpus" "fuzz/corpus/$target" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "$target: failure; the input is in build/fuzz/artifacts/"
    exit 1
  fi
  grep -E '^Done|stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb)' "$log"
done
