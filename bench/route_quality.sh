#!/usr/bin/env bash
# The route-quality report over the generated corpus, the same diagrams (the first half of the
# seeds) with the notation real models carry round the flow (boundary events and their handling,
# text annotations, groups, default flows), the examples and a few hand-written
# processes of the kind people keep (bench/processes, ten of them: collaborations with black-box pools,
# loops, event-based gateways, boundary events, data): writes the corpus's
# descriptions, draws each with the command (SVG, which has no size limit, plus BPMN export) and measures the routes in
# the BPMN exports' diagram interchange (bench/route_quality.cpp tells the figures).
#   bench/route_quality.sh [build-dir] [seeds]
# BENCH_DIR keeps the descriptions, pictures and exports for a look; --per-file lines come with
# PER_FILE=1, the corpus's bends by kind of connection (--bends) with BENDS=1, the breakdown of
# its crossings (--crossings) with CROSSINGS=1.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build}
seeds=${2:-300}
for tool in "$build/tools/orvane" "$build/bench/route_corpus" "$build/bench/route_quality"; do
  if [ ! -x "$tool" ]; then
    echo "no $tool; build the project first" >&2
    exit 2
  fi
done

if [ -n "${BENCH_DIR:-}" ]; then
  work=$BENCH_DIR
  mkdir -p "$work"
else
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work/corpus" "$work/notation" "$work/examples" "$work/processes"

"$build/bench/route_corpus" "$work/corpus" --seeds "$seeds"
notation_seeds=$(((seeds + 1) / 2))
"$build/bench/route_corpus" "$work/notation" --seeds "$notation_seeds" --notation
draw() {
  local yaml=$1 out=$2
  local name
  name=$(basename "$yaml" .yaml)
  if ! "$build/tools/orvane" render "$yaml" -o "$out/$name.svg" --bpmn "$out/$name.bpmn" \
    >/dev/null 2>"$out/$name.log"; then
    echo "failed to draw $yaml:" >&2
    cat "$out/$name.log" >&2
    exit 1
  fi
}
# Two at a time: the machine is shared.
export -f draw
export build
ls "$work"/corpus/*.yaml | xargs -P 2 -I{} bash -c 'draw "$1" "$2"' _ {} "$work/corpus"
ls "$work"/notation/*.yaml | xargs -P 2 -I{} bash -c 'draw "$1" "$2"' _ {} "$work/notation"
for yaml in examples/*.yaml; do draw "$yaml" "$work/examples"; done
for yaml in bench/processes/*.yaml; do draw "$yaml" "$work/processes"; done

flags=()
[ "${PER_FILE:-0}" = 1 ] && flags+=(--per-file)
corpus_flags=("${flags[@]}")
[ "${BENDS:-0}" = 1 ] && corpus_flags+=(--bends)
[ "${CROSSINGS:-0}" = 1 ] && corpus_flags+=(--crossings)
"$build/bench/route_quality" "${corpus_flags[@]}" --name "corpus ($seeds seeds)" "$work/corpus"
"$build/bench/route_quality" "${flags[@]}" --name "notation ($notation_seeds seeds)" "$work/notation" |
  tail -n 1
"$build/bench/route_quality" "${flags[@]}" --name examples "$work/examples" | tail -n 1
"$build/bench/route_quality" "${flags[@]}" --name processes "$work/processes" | tail -n 1
