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
# ZRVBUILD_COMPARE_RUNS sets the number of rounds (default 5).
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

# The machine is shared and its load changes from minute to minute, so the commands take turns:
# each round runs each command once, the order alternating, and every round gives a ratio of
# its own. The third row is zrvbuild's own part: the same run with the linker replaced by true.
rounds=${ZRVBUILD_COMPARE_RUNS:-5}
direct_name="sh -c 'g++ ... @objects.rsp ...'"
zrvbuild_name="zrvbuild, 10,000 objects"
alone_name="zrvbuild, linker replaced by true"
for round in $(seq 1 "$rounds"); do
  pair=(--command-name "$direct_name" "sh -c '$direct'"
    --command-name "$zrvbuild_name" "$through_xargs")
  if [ $((round % 2)) -eq 0 ]; then
    pair=("${pair[@]:3:3}" "${pair[@]:0:3}")
  fi
  hyperfine -N --runs 1 --export-json "round-$round.json" "${pair[@]}" \
    --command-name "$alone_name" "env DL_LD=true $through_xargs" >&2
done
jq -s '[.[].results[]]' round-*.json >results.json

{
  echo "| Command | Median | Mean ± σ | Min | User + system (mean) |"
  echo "|:---|---:|---:|---:|---:|"
  jq -r --arg d "$direct_name" --arg z "$zrvbuild_name" --arg a "$alone_name" '
    def ms: . * 1000 | round | tostring + " ms";
    def median: sort | if length % 2 == 1 then .[length / 2 | floor]
      else (.[length / 2 - 1] + .[length / 2]) / 2 end;
    . as $all | [$d, $z, $a][] as $name | [$all[] | select(.command == $name)] as $runs |
    [$runs[].times[]] as $t | ($t | add / length) as $mean |
    "| `\($name)` | \($t | median | ms) | \($mean | ms) ± " +
    "\(($t | map((. - $mean) * (. - $mean)) | add / length | sqrt) | ms) | \($t | min | ms) | " +
    "\([$runs[] | .user + .system] | add / length | ms) |"' results.json
  echo
  jq -r --arg d "$direct_name" --arg z "$zrvbuild_name" '
    def median: sort | if length % 2 == 1 then .[length / 2 | floor]
      else (.[length / 2 - 1] + .[length / 2]) / 2 end;
    def r: . * 1000 | round / 1000 | tostring;
    [.[] | select(.command == $d) | .mean] as $direct |
    [.[] | select(.command == $z) | .mean] as $zrv |
    [range(0; $direct | length) | $zrv[.] / $direct[.]] as $ratios |
    "Ratio zrvbuild / direct, median of \($ratios | length) rounds: \($ratios | median | r) " +
    "(at most 1.1; rounds from \($ratios | min | r) to \($ratios | max | r))"' results.json
} >&3
