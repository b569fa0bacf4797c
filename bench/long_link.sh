#!/usr/bin/env bash
# A link of 10,000 objects through zrvbuild, whose command is too long for the shell and goes
# through a response file, against the same link run directly with a response file of its own.
# Both run side by side in one hyperfine run, in the environment of the GNU/Linux profile and
# the stand-in Zorvan installation that examples/ builds. Writes a Markdown table and the ratio.
#
# Usage: bench/long_link.sh [ZRVBUILD] [ZORVAN_HOME] [OUTPUT.md]
#   ZRVBUILD     the program to measure (default: build/bench/zrvbuild)
#   ZORVAN_HOME  the stand-in installation (default: examples/zorvan-home beside ZRVBUILD)
#   OUTPUT.md    where the table goes (default: standard output)
# ZRVBUILD_COMPARE_RUNS sets the number of runs per command (default 5).
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
zrvbuild=$(realpath "${1:-build/bench/zrvbuild}")
ZORVAN_HOME=$(realpath "${2:-$(dirname "$zrvbuild")/examples/zorvan-home}")
export ZORVAN_HOME
if [ -n "${3:-}" ]; then
  exec 3>"$3"
else
  exec 3>&1
fi
for tool in hyperfine jq gcc g++ perl; do
  command -v "$tool" >/dev/null || { echo "long_link.sh: please install $tool" >&2; exit 1; }
done
# shellcheck source=../profiles/gnu-linux.sh
. "$source_dir/profiles/gnu-linux.sh"

# In memory where possible, so that the file system's writes do not dominate both rows.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  work=$(mktemp -d -p /dev/shm)
else
  work=$(mktemp -d)
fi
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir tmp
export TMPDIR=$work/tmp

# One object with the module's entry point and 10,000 copies of one that defines nothing, under
# long names: about 600,000 characters of objects.
printf 'double zrv_entry(int n, const double* v) { return n + v[0]; }\n' >entry.c
printf 'typedef int tiny_object;\n' >tiny.c
"$zrvbuild" -c entry.c tiny.c
mkdir objects
seq -f 'objects/tiny-object-with-a-rather-long-file-name-for-the-link-%05g.o' 0 9999 >objects.txt
perl -ne 'chomp; link("tiny.o", $_) or die "$_: $!\n"' objects.txt

# The link zrvbuild runs, echoed with its own response file's name; the direct command names a
# response file of the same text that stays in place. The object names are one argument list
# too long for hyperfine to pass as one string, so xargs hands them to zrvbuild (-x: never
# split); its cost counts against zrvbuild.
{ echo entry.o; cat objects.txt; } >objects.rsp
through_xargs="xargs -a objects.txt -d '\\n' -x -s 2000000 $zrvbuild -o many entry.o"
echoed=$(xargs -a objects.txt -d '\n' -x -s 2000000 "$zrvbuild" -v -o many entry.o)
direct=$(printf '%s\n' "$echoed" | sed "s|@$TMPDIR/zrvbuild-[A-Za-z0-9]*|@objects.rsp|")
case "$direct" in
  *"'"*) echo "long_link.sh: the link command holds a single quote; cannot wrap it" >&2; exit 1 ;;
  *@objects.rsp*) ;;
  *) echo "long_link.sh: zrvbuild did not link through a response file: $echoed" >&2; exit 1 ;;
esac
if [ -n "$(ls tmp)" ]; then
  echo "long_link.sh: zrvbuild left its response file behind" >&2
  exit 1
fi

hyperfine -N --warmup 1 --runs "${ZRVBUILD_COMPARE_RUNS:-5}" --export-json results.json \
  --command-name "sh -c 'g++ ... @objects.rsp ...'" "sh -c '$direct'" \
  --command-name "zrvbuild, 10,000 objects" "$through_xargs" >&2

{
  echo "| Command | Median | Mean ± σ | Min | User + system | Ratio |"
  echo "|:---|---:|---:|---:|---:|---:|"
  jq -r 'def ms: . * 1000 | round | tostring + " ms";
    .results as $r | $r[0].median as $base | $r[] |
    "| `\(.command)` | \(.median | ms) | \(.mean | ms) ± \(.stddev | ms) | \(.min | ms) | " +
    "\(.user + .system | ms) | \(.median / $base * 1000 | round / 1000) |"' results.json
  echo
  jq -r '.results as $r | def r(f): ($r[1] | f) / ($r[0] | f) * 1000 | round / 1000 | tostring;
    "Ratios, zrvbuild / direct: median " + r(.median) + " (at most 1.1), user + system " +
    r(.user + .system)' results.json
} >&3
