#!/bin/sh
# Runs one client check over a folder of exported samples; exits 77 (skipped) when the npm
# clients are not installed yet (scripts/test installs them with npm ci).
#   run-check.sh schema|documents|browser SAMPLE_DIR [SCREENSHOT_DIR]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
kind=$1
shift
if [ ! -d "$here/node_modules/bpmn-moddle" ]; then
  echo "client packages not installed: run 'npm ci' in $here"
  exit 77
fi
case "$kind" in
  schema)
    exec xmllint --noout --nonet \
      --schema "$here/node_modules/bpmn-moddle/resources/bpmn/xsd/BPMN20.xsd" "$1"/*.bpmn
    ;;
  documents | browser)
    exec node "$here/check-$kind.mjs" "$@"
    ;;
  *)
    echo "unknown check: $kind" >&2
    exit 2
    ;;
esac
