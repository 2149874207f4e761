#!/bin/sh
# Runs one client check over a folder of exported samples; exits 77 (skipped) when the npm
# clients are not installed yet (scripts/test installs them with npm ci).
#   run-check.sh schema|documents|browser|svg SAMPLE_DIR [SCREENSHOT_DIR]
#   run-check.sh repeat SAMPLE_DIR GENERATOR [GENERATOR ARGS...]
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
  *)
    echo "unknown check: $kind" >&2
    exit 2
    ;;
esac
