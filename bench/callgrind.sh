#!/usr/bin/env bash
# Instructions per input byte of one parse and one compact write of each
# corpus document, counted by callgrind: unlike wall-clock time on a shared
# machine, these counts do not move with the load, so they show what a change
# of the hot paths gains.  Only the library's entry points are counted
# (parseString, createXMLString), not the benchmark around them.
#
# Usage: bench/callgrind.sh <xml_bench binary> <corpus directory>
set -euo pipefail
bench=${1:?xml_bench binary}
corpus=${2:?corpus directory}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

count() {  # <function> <output file> <xml_bench arguments...>
  local fn=$1 file=$2
  shift 2
  valgrind --tool=callgrind --callgrind-out-file="$file" --toggle-collect="$fn" \
    "$bench" --runs 1 --lib ours "$@" >/dev/null 2>&1
  callgrind_annotate "$file" 2>/dev/null | awk '/PROGRAM TOTALS/ { gsub(",", "", $1); print $1 }'
}

printf '| document | parse: instructions per byte | write: instructions per byte |\n'
printf '|---|---:|---:|\n'
for doc in records attrs prose escaped mixed; do
  size=$(stat -c %s "$corpus/$doc.xml")
  # --times-only with one run parses once and writes once (after an
  # untimed parse), and measures nothing else.
  p=$(count 'XMLNode::parseString*' "$out/p.$doc" --parse-only --times-only --doc "$doc" "$corpus")
  w=$(count 'XMLNode::createXMLString*' "$out/w.$doc" --write-only --times-only --doc "$doc" "$corpus")
  awk -v d="$doc" -v p="$p" -v w="$w" -v s="$size" \
    'BEGIN { printf "| %s.xml | %.1f | %.1f |\n", d, p / s, w / s }'
done
