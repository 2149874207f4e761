#!/usr/bin/env bash
# Times the command on a 50-shape, 4-lane diagram (PNG plus BPMN and drawio exports, process
# start included) against Graphviz dot drawing the same process as PNG. The two run
# alternately; prints the medians and their ratios and fails when orvane takes 100 ms or more,
# or more than a quarter of dot's time.
#   bench/cli_bench.sh [path/to/orvane] [runs]
set -euo pipefail
cd "$(dirname "$0")/.."

orvane=${1:-build/tools/orvane}
runs=${2:-21}
if [ ! -x "$orvane" ]; then
  echo "no orvane binary at $orvane; build the orvane target first" >&2
  exit 2
fi
command -v dot >/dev/null || { echo "Graphviz dot is missing: run scripts/install-deps" >&2; exit 2; }

# BENCH_DIR keeps the generated diagram and pictures for a look; otherwise a temporary folder.
if [ -n "${BENCH_DIR:-}" ]; then
  work=$BENCH_DIR
  mkdir -p "$work"
else
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi
yaml=$work/bench.yaml
gv=$work/bench.dot

# Shape i goes into lane (i-1)*4/50; every fifth is a gateway that also skips three ahead.
lanes=("Intake" "Review" "Fulfilment" "Billing")
kind() {
  if [ "$1" -eq 1 ]; then echo start
  elif [ "$1" -eq 50 ]; then echo end
  elif [ $(($1 % 5)) -eq 0 ]; then echo exclusive
  else echo task; fi
}
{
  echo "title: Fifty shapes in four lanes"
  echo "pools:"
  echo "  - name: Bench"
  echo "    lanes:"
  for lane in 0 1 2 3; do
    echo "      - name: ${lanes[$lane]}"
    echo "        shapes:"
    for i in $(seq 1 50); do
      if [ $(((i - 1) * 4 / 50)) -eq "$lane" ]; then
        echo "          - {id: s$i, name: Step $i, type: $(kind "$i")}"
      fi
    done
  done
  echo "connections:"
  for i in $(seq 1 49); do
    echo "  - {from: s$i, to: s$((i + 1))}"
    if [ "$(kind "$i")" = exclusive ] && [ $((i + 3)) -le 50 ]; then
      echo "  - {from: s$i, to: s$((i + 3)), label: skip}"
    fi
  done
} >"$yaml"
{
  echo "digraph bench {"
  echo "  rankdir=LR; label=\"Fifty shapes in four lanes\"; node [fontname=\"DejaVu Sans\"];"
  for lane in 0 1 2 3; do
    echo "  subgraph cluster_$lane { label=\"${lanes[$lane]}\";"
    for i in $(seq 1 50); do
      if [ $(((i - 1) * 4 / 50)) -eq "$lane" ]; then
        case $(kind "$i") in
          start | end) shape=circle ;;
          exclusive) shape=diamond ;;
          *) shape=box ;;
        esac
        echo "    s$i [label=\"Step $i\", shape=$shape, style=rounded];"
      fi
    done
    echo "  }"
  done
  for i in $(seq 1 49); do
    echo "  s$i -> s$((i + 1));"
    if [ "$(kind "$i")" = exclusive ] && [ $((i + 3)) -le 50 ]; then
      echo "  s$i -> s$((i + 3)) [label=\"skip\"];"
    fi
  done
  echo "}"
} >"$gv"

# Wall and CPU (user + system) seconds of one command, as "wall cpu".
timed() {
  local TIMEFORMAT='%R %U %S'
  { time "$@" >/dev/null 2>&1; } 2>&1 | awk '{printf "%d %d\n", $1 * 1000000, ($2 + $3) * 1000000}'
}
orvane_wall=() orvane_cpu=() dot_wall=() dot_cpu=()
for _ in $(seq 1 "$runs"); do
  read -r wall cpu < <(timed "$orvane" render "$yaml" -o "$work/o.png" --bpmn "$work/o.bpmn" \
    --drawio "$work/o.drawio")
  orvane_wall+=("$wall") orvane_cpu+=("$cpu")
  read -r wall cpu < <(timed dot -Tpng "$gv" -o "$work/d.png")
  dot_wall+=("$wall") dot_cpu+=("$cpu")
done

median() { printf '%s\n' "$@" | sort -n | awk '{v[NR]=$1} END {print v[int((NR + 1) / 2)]}'; }
ms() { awk -v a="$1" 'BEGIN {printf "%.1f", a / 1000}'; }
orvane_us=$(median "${orvane_wall[@]}")
dot_us=$(median "${dot_wall[@]}")
ratio=$(awk -v a="$orvane_us" -v b="$dot_us" 'BEGIN {printf "%.2f", a / b}')
echo "medians over $runs alternate runs (wall, cpu = user + system):"
echo "  orvane render (png + bpmn + drawio): $(ms "$orvane_us") ms wall, $(ms "$(median "${orvane_cpu[@]}")") ms cpu"
echo "  dot -Tpng:                           $(ms "$dot_us") ms wall, $(ms "$(median "${dot_cpu[@]}")") ms cpu"
echo "  ratio orvane / dot (wall): $ratio"
echo "  ratio orvane / dot (cpu):  $(awk -v a="$(median "${orvane_cpu[@]}")" \
  -v b="$(median "${dot_cpu[@]}")" 'BEGIN {printf "%.2f", a / b}')"
echo "  load average: $(cut -d' ' -f1-3 /proc/loadavg)"

status=0
if [ "$orvane_us" -ge 100000 ]; then
  echo "FAIL: orvane takes 100 ms or more" >&2
  status=1
fi
if awk -v r="$ratio" 'BEGIN {exit !(r > 0.25)}'; then
  echo "FAIL: orvane takes more than a quarter of dot's time" >&2
  status=1
fi
exit $status
