#!/bin/sh
# Runs one client check over a folder of exported samples; exits 77 (skipped) when the npm
# clients are not installed yet (scripts/test installs them with npm ci).
#   run-check.sh schema|documents|browser|svg SAMPLE_DIR [SCREENSHOT_DIR]
#   run-check.sh repeat SAMPLE_DIR GENERATOR [GENERATOR ARGS...]
#   run-check.sh write-back ORVANE SAMPLE_DIR BPMN_FILES...
#   run-check.sh imports|imports-browser SAMPLE_DIR
set -eu
here=$(cd "$(dirname "$0")" && pwd)
kind=$1
shift
if [ "$kind" = repeat ]; then
  # A fresh process must write byte-identical documents.
  samples=$1
  shift
  again=$(mktemp -d)
  trap 'rm -rf "$again"' EXIT
  "$@" "$again" >/dev/null
  status=0
  for file in "$again"/*; do
    cmp "$file" "$samples/$(basename "$file")" || status=1
  done
  exit $status
fi
if [ "$kind" = write-back ]; then
  # Reads every BPMN file given and writes it back with a picture and a drawio file beside it,
  # twice, as a user would (orvane render FILE --bpmn --drawio); the two runs must agree byte
  # for byte. The input goes beside the output as NAME.input.bpmn, a manifest names them all.
  orvane=$1
  out=$2
  shift 2
  rm -rf "$out"
  mkdir -p "$out/again"
  names=""
  for file in "$@"; do
    name=$(basename "$file" .bpmn)
    cp "$file" "$out/$name.input.bpmn"
    for place in "$out" "$out/again"; do
      "$orvane" -q render "$file" -o "$place/$name.svg" --bpmn "$place/$name.bpmn" \
        --drawio "$place/$name.drawio"
    done
    cmp "$out/$name.bpmn" "$out/again/$name.bpmn"
    cmp "$out/$name.drawio" "$out/again/$name.drawio"
    names="$names${names:+,}{\"name\": \"$name\"}"
  done
  echo "[$names]" >"$out/manifest.json"
  exit 0
fi
if [ ! -d "$here/node_modules/bpmn-moddle" ]; then
  echo "client packages not installed: run 'npm ci' in $here"
  exit 77
fi
case "$kind" in
  schema)
    exec xmllint --noout --nonet \
      --schema "$here/node_modules/bpmn-moddle/resources/bpmn/xsd/BPMN20.xsd" "$1"/*.bpmn
    ;;
  documents | browser | svg)
    exec node "$here/check-$kind.mjs" "$@"
    ;;
  imports | imports-browser)
    exec node "$here/check-imports.mjs" "$([ "$kind" = imports ] && echo documents || echo browser)" "$@"
    ;;
  *)
    echo "unknown check: $kind" >&2
    exit 2
    ;;
esac
