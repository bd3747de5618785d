#!/usr/bin/env bash
# Measures every shipped protocol on the virtual instrument with
# "tessel-cli measure" and keeps the experiment files in resources/examples.
# Usage: scripts/make-examples.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
BIN=$BUILD/bin
DEVICE=${TESSEL_EXAMPLE_DEVICE:-ModelT2}
for tool in tessel-sim tessel-cli; do
  if [ ! -x "$BIN/$tool" ]; then
    echo "$BIN/$tool is missing: cmake --build $BUILD --target tessel-sim tessel-cli Compiler" >&2
    exit 2
  fi
done
mkdir -p resources/examples

SIMPID=
SIMOUT=$(mktemp)
stop_sim() { if [ -n "$SIMPID" ]; then kill "$SIMPID" 2>/dev/null || true; wait "$SIMPID" 2>/dev/null || true; SIMPID=; fi; }
trap 'stop_sim; rm -f "$SIMOUT"' EXIT

for protocol in resources/protocols/*.p; do
  name=$(basename "$protocol" .p)
  # A fresh instrument for each protocol: the leaf starts dark-adapted, and
  # the fixed seed gives the same noise every time.
  "$BIN/tessel-sim" --device "$DEVICE" --speed 50 --seed 1 --latency 20 --exit-with-parent \
    --ini resources/Tessel.ini --log "$BUILD/make-examples-sim.log" >"$SIMOUT" &
  SIMPID=$!
  for _ in $(seq 50); do [ -s "$SIMOUT" ] && break; sleep 0.1; done
  PORT=$(head -n1 "$SIMOUT")
  echo "$name:"
  "$BIN/tessel-cli" measure "$protocol" --out "resources/examples/$name.exp" --port "$PORT" \
    --device "$DEVICE" --ini resources/Tessel.ini --include resources/include/
  stop_sim
  : >"$SIMOUT"
done
ls -l resources/examples
