#!/usr/bin/env bash
# Descriptions no process has but a generated or hostile file may: tens of thousands of lanes in
# one pool, tens of thousands of pools chained by message flows, names tens of thousands of
# lines or words long, a BPMN file of thousands of lanes written on one line, a gateway
# with thousands of branches out of it or into it, thousands of notes, and thousands of
# boundary events hemmed in by their neighbours whose flows lead far along the row. Each is
# rendered (SVG with both exports) at two sizes, four times apart; the time must grow at most
# about linearly (under 6x for 4x the input) and stay under 10 s at the larger size: each of
# these once grew with the square of its size (an hour and more for a file of a few megabytes).
#   bench/odd_inputs_bench.sh [build-folder] [runs]
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build}
runs=${2:-3}
orvane=$build/tools/orvane
[ -x "$orvane" ] || { echo "no $orvane; build the project first" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "GNU time is missing: run scripts/install-deps" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Descriptions of each kind with n lanes, pools, lines or words.
lanes() {
  awk -v n="$1" 'BEGIN {
    print "title: Lanes\npools:\n  - name: P\n    lanes:\n      - name: First"
    print "        shapes:\n          - {id: s, name: Start, type: start}"
    for (i = 0; i < n; i++) print "      - name: Lane " i
  }'
}
pools() {
  awk -v n="$1" 'BEGIN {
    print "title: Pools\npools:"
    for (i = 0; i < n; i++)
      print "  - name: Pool " i "\n    lanes:\n      - name: L\n        shapes:\n          - {id: t" i ", name: Task, type: task}"
    print "connections:"
    for (i = 0; i + 1 < n; i++) print "  - {from: t" i ", to: t" i + 1 "}"
  }'
}
fan() {  # a gateway with n named branches, each to a task of its own ("in": from each task)
  awk -v n="$1" -v way="$2" 'BEGIN {
    print "title: Fan\npools:\n  - name: P\n    lanes:\n      - name: L\n        shapes:"
    print "          - {id: s, name: Start, type: start}\n          - {id: g, name: Split, type: exclusive}"
    for (i = 0; i < n; i++) print "          - {id: t" i ", name: Task " i ", type: task}"
    print "connections:\n  - {from: s, to: g}"
    for (i = 0; i < n; i++) {
      if (way == "in") print "  - {from: t" i ", to: g, label: b" i "}"
      else print "  - {from: g, to: t" i ", label: b" i "}"
    }
  }'
}
text() {  # a name of n lines (sep "\n") or n words (sep " ") on a task, an event and a label
  awk -v n="$1" -v sep="$2" 'BEGIN {
    s = ""
    for (i = 0; i < n; i++) s = s "word" sep
    print "title: Texts\npools:\n  - name: P\n    lanes:\n      - name: L\n        shapes:"
    print "          - {id: e, name: \"" s "\", type: start}"
    print "          - {id: t, name: \"" s "\", type: task}"
    print "connections:\n  - {from: e, to: t, label: \"" s "\"}"
  }'
}
notes() {  # n tasks in a row of ten lanes, a note on each
  awk -v n="$1" 'BEGIN {
    print "title: Notes\npools:\n  - name: P\n    lanes:"
    for (l = 0; l < 10; l++) {
      print "      - name: L" l "\n        shapes:"
      for (i = l; i < n; i += 10) print "          - {id: t" i ", name: Task " i ", type: task}"
    }
    print "connections:"
    for (i = 0; i + 10 < n; i++) print "  - {from: t" i ", to: t" i + 10 "}"
    print "annotations:"
    for (i = 0; i < n; i++) print "  - {text: Checked by two people, on: t" i "}"
  }'
}
hemmed() {  # n tasks in a row, three boundary events on each, the middle one leading n/2 tasks on
  awk -v n="$1" 'BEGIN {
    print "title: Hemmed\npools:\n  - name: P\n    lanes:\n      - name: L\n        shapes:"
    for (i = 0; i < n; i++) {
      print "          - {id: t" i ", name: Task " i ", type: task}"
      for (k = 0; k < 3; k++)
        print "          - {id: b" i "_" k ", name: E" k ", type: timer_boundary, attached_to: t" i "}"
    }
    print "connections:"
    for (i = 0; i + 1 < n; i++) print "  - {from: t" i ", to: t" i + 1 "}"
    for (i = 0; i < n; i++) print "  - {from: b" i "_1, to: t" (i + int(n / 2)) % n "}"
  }'
}
one_line_bpmn() {  # n lanes of one process, a task each, chained: all on one line
  awk -v n="$1" 'BEGIN {
    printf "<definitions xmlns=\"http://www.omg.org/spec/BPMN/20100524/MODEL\" id=\"d\"><process id=\"p\"><laneSet>"
    for (i = 0; i < n; i++) printf "<lane id=\"l%d\"><flowNodeRef>t%d</flowNodeRef></lane>", i, i
    printf "</laneSet>"
    for (i = 0; i < n; i++) printf "<task id=\"t%d\" name=\"Task\"/>", i
    for (i = 0; i + 1 < n; i++) printf "<sequenceFlow id=\"f%d\" sourceRef=\"t%d\" targetRef=\"t%d\"/>", i, i, i + 1
    print "</process></definitions>"
  }'
}
median() { printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END {print v[int((NR + 1) / 2)]}'; }
seconds() {
  local file=$1 all=()
  for _ in $(seq 1 "$runs"); do
    /usr/bin/time -f '%e' -o "$work/time.txt" "$orvane" render -q "$file" -o "$work/out.svg" \
      --bpmn "$work/out.bpmn" --drawio "$work/out.drawio" 2>"$work/stderr.txt" ||
      { cat "$work/stderr.txt" >&2; exit 2; }
    all+=("$(cat "$work/time.txt")")
  done
  median "${all[@]}"
}

status=0
check() {  # name, generator, small size, [generator argument]
  local name=$1 gen=$2 small=$3 large=$(($3 * 4))
  local ext=${5:-yaml}
  "$gen" "$small" "${4:-}" >"$work/small.$ext"
  "$gen" "$large" "${4:-}" >"$work/large.$ext"
  local a b
  a=$(seconds "$work/small.$ext")
  b=$(seconds "$work/large.$ext")
  printf '  %-22s %7d: %6.2f s   %7d: %6.2f s   ratio %s\n' "$name" "$small" "$a" "$large" "$b" \
    "$(awk -v a="$a" -v b="$b" 'BEGIN {printf "%.1f", b / (a > 0.01 ? a : 0.01)}')"
  if awk -v a="$a" -v b="$b" 'BEGIN {exit !(b >= 10 || (a >= 0.25 && b / a >= 6))}'; then
    echo "FAIL: $name grows faster than linearly or takes 10 s or more" >&2
    status=1
  fi
}

echo "== odd inputs: medians of $runs renders (svg + bpmn + drawio) =="
check "lanes in one pool" lanes 10000
check "pools, chained" pools 5000
check "lines of a name" text 10000 '\n'
check "words of a name" text 50000 ' '
check "lanes, BPMN on one line" one_line_bpmn 5000 '' bpmn
check "branches out of a gateway" fan 1000 out
check "branches into a gateway" fan 1000 in
check "notes on tasks" notes 1000
check "hemmed-in events" hemmed 250
exit $status
