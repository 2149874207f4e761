#!/usr/bin/env bash
# Large diagrams through the command, in one run:
#  1. a generated 5,000-shape process (four lanes, gateways, loops, lane hand-overs) rendered to
#     SVG + BPMN + drawio, and the same model exported as BPMN without diagram interchange read
#     by orvane, laid out, drawn to SVG and written back, alternating with bpmn-auto-layout (the
#     pinned test clients) laying out that BPMN file; target for both: at most half its time;
#  2. `orvane layout` on 1,000 to 100,000 shapes: wall time and peak memory, and the growth
#     t = a * n^b fitted over the sizes (n log n has b a little above 1); target for 100,000
#     shapes: under 10 s and 2 GB. The time judged is CPU time (user + system): the command
#     works on one thread there, so on an idle machine it is the wall time, and it does not
#     grow when other work shares the machine;
#  3. a 300-shape process (four lanes; and over three pools) to PNG, SVG and PDF: wall time, peak
#     memory, file size and the PNG's size in pixels.
# Prints medians and ratios; exits 1 when a target is missed.
#   bench/scale_bench.sh [build-folder] [runs]
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build}
runs=${2:-5}
orvane=$build/tools/orvane
gen=$build/bench/process_gen
for tool in "$orvane" "$gen"; do
  [ -x "$tool" ] || { echo "no $tool; build the orvane and process_gen targets first" >&2; exit 2; }
done
[ -x /usr/bin/time ] || { echo "GNU time is missing: run scripts/install-deps" >&2; exit 2; }
[ -d tests/clients/node_modules/bpmn-auto-layout ] ||
  { echo "bpmn-auto-layout is missing: run npm ci in tests/clients" >&2; exit 2; }

if [ -n "${BENCH_DIR:-}" ]; then
  work=$BENCH_DIR
  mkdir -p "$work"
else
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi

# Wall seconds, CPU seconds and peak resident kilobytes of one command.
measure() {
  /usr/bin/time -f '%e %U %S %M' -o "$work/time.txt" "$@" >/dev/null 2>"$work/stderr.txt" ||
    { cat "$work/stderr.txt" >&2; exit 2; }
  awk '{print $1, $2 + $3, $4}' "$work/time.txt"
}
median() { printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END {print v[int((NR + 1) / 2)]}'; }
status=0

echo "== 5,000 shapes: orvane render (svg + bpmn + drawio), orvane on BPMN vs bpmn-auto-layout =="
"$gen" 5000 >"$work/p5000.yaml"
"$orvane" render "$work/p5000.yaml" -o "$work/o.svg" --bpmn "$work/o.bpmn" >/dev/null 2>&1
node -e '
const fs = require("fs");
const xml = fs.readFileSync(process.argv[1], "utf8");
fs.writeFileSync(process.argv[2], xml.replace(/<bpmndi:BPMNDiagram[\s\S]*<\/bpmndi:BPMNDiagram>\s*/, ""));
' "$work/o.bpmn" "$work/no-di.bpmn"
ours=() bpmn=() theirs=() ours_cpu=() bpmn_cpu=() theirs_cpu=()
for _ in $(seq 1 "$runs"); do
  read -r s c _ < <(measure "$orvane" render "$work/p5000.yaml" -o "$work/o.svg" \
    --bpmn "$work/o.bpmn" --drawio "$work/o.drawio")
  ours+=("$s") ours_cpu+=("$c")
  # The BPMN file read, laid out, drawn to SVG and written back with its new diagram.
  read -r s c _ < <(measure "$orvane" render "$work/no-di.bpmn" -o "$work/b.svg" \
    --bpmn "$work/written-back.bpmn")
  bpmn+=("$s") bpmn_cpu+=("$c")
  read -r s c _ < <(measure node bench/auto_layout.mjs "$work/no-di.bpmn" "$work/laid-out.bpmn")
  theirs+=("$s") theirs_cpu+=("$c")
done
o=$(median "${ours[@]}")
b=$(median "${bpmn[@]}")
t=$(median "${theirs[@]}")
ratio=$(awk -v a="$o" -v b="$t" 'BEGIN {printf "%.2f", a / b}')
bpmn_ratio=$(awk -v a="$b" -v b="$t" 'BEGIN {printf "%.2f", a / b}')
echo "  medians over $runs alternate runs (wall, cpu):"
echo "    orvane, description  ${o} s, $(median "${ours_cpu[@]}") s"
echo "    orvane, BPMN file    ${b} s, $(median "${bpmn_cpu[@]}") s"
echo "    bpmn-auto-layout     ${t} s, $(median "${theirs_cpu[@]}") s"
echo "    ratio (wall)         $ratio (description), $bpmn_ratio (BPMN file)"
for r in "$ratio" "$bpmn_ratio"; do
  if awk -v r="$r" 'BEGIN {exit !(r > 0.5)}'; then
    echo "FAIL: orvane takes more than half of bpmn-auto-layout's time" >&2
    status=1
  fi
done

echo "== orvane layout, 1,000 to 100,000 shapes =="
sizes=(1000 3000 10000 30000 100000)
for n in "${sizes[@]}"; do "$gen" "$n" >"$work/p$n.yaml"; done
fit=()
for n in "${sizes[@]}"; do
  secs=() cpus=() kbs=()
  for _ in $(seq 1 "$runs"); do
    read -r s c kb < <(measure "$orvane" layout "$work/p$n.yaml")
    secs+=("$s") cpus+=("$c") kbs+=("$kb")
  done
  s=$(median "${secs[@]}")
  c=$(median "${cpus[@]}")
  kb=$(median "${kbs[@]}")
  printf '  %7d shapes: %6.2f s wall, %6.2f s cpu, %5.0f MB peak\n' "$n" "$s" "$c" \
    "$(awk -v k="$kb" 'BEGIN {print k / 1024}')"
  fit+=("$n $c")
  if [ "$n" -eq 100000 ]; then
    if awk -v s="$c" -v k="$kb" 'BEGIN {exit !(s >= 10 || k >= 2 * 1024 * 1024)}'; then
      echo "FAIL: 100,000 shapes take 10 s or more, or 2 GB or more" >&2
      status=1
    fi
  fi
done
# Least squares on log t = log a + b log n, t the CPU seconds.
printf '%s\n' "${fit[@]}" | awk '
  { x = log($1); y = log($2 > 0 ? $2 : 0.001); n++; sx += x; sy += y; sxx += x * x; sxy += x * y }
  END {
    b = (n * sxy - sx * sy) / (n * sxx - sx * sx); a = exp((sy - b * sx) / n)
    printf "  fitted growth: t = %.3g * n^%.2f s (n log n over this range fits n^1.1 to n^1.2)\n", a, b
  }'
echo "== 300 shapes to PNG, SVG and PDF: one pool of four lanes, three pools =="
"$gen" 300 >"$work/p300.yaml"
"$gen" 300 3 >"$work/p300x3.yaml"
for model in p300 p300x3; do
  for kind in png svg pdf; do
    secs=() kbs=()
    for _ in $(seq 1 "$runs"); do
      read -r s _ kb < <(measure "$orvane" render "$work/$model.yaml" -o "$work/$model.$kind")
      secs+=("$s") kbs+=("$kb")
    done
    size=$(wc -c <"$work/$model.$kind")
    printf '  %-7s %s: %5.2f s wall, %4.0f MB peak, %6.0f kB file' "$model" "$kind" \
      "$(median "${secs[@]}")" "$(awk -v k="$(median "${kbs[@]}")" 'BEGIN {print k / 1024}')" \
      "$(awk -v b="$size" 'BEGIN {print b / 1024}')"
    if [ "$kind" = png ]; then
      od -An -tu1 -j16 -N8 "$work/$model.png" |
        awk '{printf ", %d x %d px", (($1 * 256 + $2) * 256 + $3) * 256 + $4, (($5 * 256 + $6) * 256 + $7) * 256 + $8}'
    fi
    echo
  done
done

echo "  load average: $(cut -d' ' -f1-3 /proc/loadavg)"
exit $status
