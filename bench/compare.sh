#!/usr/bin/env bash
# Whole-process comparison of zrvbuild with the system's smallest programs and with the compiler
# commands it stands in front of. All timed commands run side by side in one hyperfine run, in
# one fixed environment (PATH, and XTRA_CFLAGS as below), so the ratios come from the same
# conditions. Writes a Markdown table (medians, ratios to the first row), the peak resident
# memory of two runs, and each ratio that has a goal next to that goal.
#
# Usage: bench/compare.sh [ZRVBUILD] [OUTPUT.md]
#   ZRVBUILD   the program to measure (default: build/bench/zrvbuild)
#   OUTPUT.md  where the table goes (default: standard output)
# ZRVBUILD_COMPARE_RUNS sets a fixed number of runs per command (default: hyperfine's own
# choice, at least three seconds per command).
set -euo pipefail

zrvbuild=$(realpath "${1:-build/bench/zrvbuild}")
# The tables go to descriptor 3: the named file, or standard output as it is (reopening
# /dev/stdout would truncate a log file that standard output appends to).
if [ -n "${2:-}" ]; then
  exec 3>"$2"
else
  exec 3>&1
fi

needed=()
command -v hyperfine >/dev/null || needed+=(hyperfine)
command -v pkg-config >/dev/null || needed+=(pkg-config)
[ -x /usr/bin/time ] || needed+=(time)
command -v jq >/dev/null || needed+=(jq)
command -v gcc >/dev/null || needed+=(gcc)
dpkg-query -W -f='${Status}' zlib1g-dev 2>/dev/null | grep -q "install ok installed" ||
  needed+=(zlib1g-dev)
if [ "${#needed[@]}" -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "compare.sh: please install: ${needed[*]}" >&2
    exit 1
  fi
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${needed[@]}" >/dev/null
fi

# In memory where possible: zrvbuild -M removes the old dependency file before it writes a new
# one, while the shell truncates it, and ext4 flushes a truncated-and-rewritten file on close;
# on disk that costs the direct command milliseconds which say nothing about zrvbuild.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  work=$(mktemp -d -p /dev/shm)
else
  work=$(mktemp -d)
fi
trap 'rm -rf "$work"' EXIT
cd "$work"

# Generated source names only: a dry run reads no file.
for count in 1000 10000 100000; do
  seq -f 'f%05g.c' 0 $((count - 1)) >"sources-$count.txt"
done

cat >x.c <<'EOF'
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

double norm(const double* v, size_t n) {
  double sum = 0.0;
  for (size_t i = 0; i < n; ++i) sum += v[i] * v[i];
  return sqrt(sum);
}

int main(int argc, char** argv) {
  double v[3] = {1.0, 2.0, (double)argc};
  printf("%g %s\n", norm(v, 3), strchr(argv[0], '/') ? "path" : "name");
  return EXIT_SUCCESS;
}
EOF

# The standard configuration's extra flags (-mieee-fp among them) are for the MinGW target;
# one blank in their place leaves commands that gcc accepts on any Linux host.
clean_env=(env -i "PATH=$PATH" "XTRA_CFLAGS= ")

# The same commands that zrvbuild hands to the command interpreter. The dependency command is
# the one zrvbuild pipes from: compiler, DEPEND_FLAGS, CPPFLAGS and ALL_CFLAGS, the (empty)
# include and define options and the source, one blank apart.
compile_command=$("${clean_env[@]}" "$zrvbuild" -n -c x.c)
value() { "${clean_env[@]}" "$zrvbuild" -p "$1"; }
depend_command="$(value CC) $(value DEPEND_FLAGS) $(value CPPFLAGS) $(value ALL_CFLAGS)   x.c"
case "$compile_command$depend_command" in
  *"'"*) echo "compare.sh: a command holds a single quote; cannot wrap it" >&2; exit 1 ;;
esac

# A command line of 100,000 sources is longer than one argument may be, so hyperfine cannot
# take it whole; xargs reads the names and starts the program once (-x: never split).
dry_run() {
  echo "xargs -a sources-$1.txt -d '\\n' -x -s 2000000 $2"
}

names=(
  "/bin/true"
  "zrvbuild -p CC"
  "pkg-config --cflags zlib"
  "xargs (100,000 names) /bin/true"
  "zrvbuild -n, 1,000 sources"
  "zrvbuild -n, 10,000 sources"
  "zrvbuild -n, 100,000 sources"
  "sh -c 'gcc ... -c x.c -o x.o'"
  "zrvbuild -c x.c"
  "sh -c 'gcc ... -M x.c > x.d'"
  "zrvbuild -M x.c"
)
commands=(
  "/bin/true"
  "$zrvbuild -p CC"
  "pkg-config --cflags zlib"
  "$(dry_run 100000 /bin/true)"
  "$(dry_run 1000 "$zrvbuild -n")"
  "$(dry_run 10000 "$zrvbuild -n")"
  "$(dry_run 100000 "$zrvbuild -n")"
  "sh -c '$compile_command'"
  "$zrvbuild -c x.c"
  "sh -c '$depend_command > x.d'"
  "$zrvbuild -M x.c"
)

hyperfine_args=(-N --warmup 10 --export-json results.json)
[ -n "${ZRVBUILD_COMPARE_RUNS:-}" ] && hyperfine_args+=(--runs "$ZRVBUILD_COMPARE_RUNS")
for i in "${!commands[@]}"; do
  hyperfine_args+=(--command-name "${names[$i]}" "${commands[$i]}")
done
"${clean_env[@]}" hyperfine "${hyperfine_args[@]}" >&2

# Peak resident memory: the median of five runs of each.
peak_kb() {
  local samples=()
  for _ in 1 2 3 4 5; do
    "${clean_env[@]}" "$@" >/dev/null
    samples+=("$(sed -n 's/^\s*Maximum resident set size (kbytes): //p' rss.txt)")
  done
  printf '%s\n' "${samples[@]}" | sort -n | sed -n 3p
}
rss_true=$(peak_kb /usr/bin/time -v -o rss.txt /bin/true)
rss_print=$(peak_kb /usr/bin/time -v -o rss.txt "$zrvbuild" -p CC)
rss_dry=$(peak_kb xargs -a sources-100000.txt -d '\n' -x -s 2000000 \
  /usr/bin/time -v -o rss.txt "$zrvbuild" -n)

{
  # CPU time (user + system, mean) is shown too: it barely moves when other work shares the
  # machine, while wall-clock times do.
  echo "| Command | Median [ms] | Mean ± σ [ms] | Min [ms] | CPU [ms] | Ratio to first row |"
  echo "|:---|---:|---:|---:|---:|---:|"
  jq -r 'def ms: . * 1000 * 100 | round / 100;
    .results as $r | $r[0].median as $base | $r[] |
    "| `\(.command)` | \(.median | ms) | \(.mean | ms) ± \(.stddev | ms) | \(.min | ms) | " +
    "\(.user + .system | ms) | \(.median / $base * 100 | round / 100) |"' results.json
  echo
  echo "| Peak resident memory | kB | Ratio to /bin/true |"
  echo "|:---|---:|---:|"
  for row in "/bin/true:$rss_true" "zrvbuild -p CC:$rss_print" \
    "zrvbuild -n, 100,000 sources:$rss_dry"; do
    kb=${row##*:}
    echo "| \`${row%:*}\` | $kb | $(awk -v a="$kb" -v b="$rss_true" 'BEGIN { printf "%.2f", a / b }') |"
  done
  echo
  echo "Median ratios against the targets:"
  echo
  jq -r '[.results[] | {(.command): .median}] | add as $m |
    def r(a; b): (a / b * 1000 | round / 1000 | tostring);
    "- -p CC / /bin/true: " + r($m["zrvbuild -p CC"]; $m["/bin/true"]) + " (at most 1.0)",
    "- -p CC / pkg-config: " + r($m["zrvbuild -p CC"]; $m["pkg-config --cflags zlib"]) +
      " (below 1)",
    "- dry run of 10,000 sources: " + ($m["zrvbuild -n, 10,000 sources"] * 1000 * 100 |
      round / 100 | tostring) + " ms (under 25 ms)",
    "- 100,000 / 10,000 sources: " + r($m["zrvbuild -n, 100,000 sources"];
      $m["zrvbuild -n, 10,000 sources"]) + " (at most 11)",
    "- -c x.c / gcc through sh: " + r($m["zrvbuild -c x.c"];
      $m["sh -c '\''gcc ... -c x.c -o x.o'\''"]) + " (at most 1.05)",
    "- -M x.c / gcc -M through sh: " + r($m["zrvbuild -M x.c"];
      $m["sh -c '\''gcc ... -M x.c > x.d'\''"]) + " (at most 1.05)"' results.json
  echo "- peak memory of -p CC / /bin/true: $(awk -v a="$rss_print" -v b="$rss_true" \
    'BEGIN { printf "%.2f", a / b }') (at most 1.5)"
  echo "- peak memory of the 100,000-source dry run: $((rss_dry / 1024)) MB (under 64 MB)"
} >&3
