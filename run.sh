#!/usr/bin/env bash
# Installs what is missing, builds, starts the virtual instrument on a
# pseudo-terminal and the program connected to it.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
tessel_ensure_deps

# A compiler cache, where one is installed, makes rebuilds of other checkouts cheap.
LAUNCHER=()
if command -v ccache >/dev/null; then LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache); fi

BUILD=${TESSEL_RUN_BUILD:-build}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSEL_BUILD_TESTS=OFF "${LAUNCHER[@]}"
cmake --build "$BUILD" -j "${TESSEL_JOBS:-2}"
BIN="$BUILD/bin"

# The demo keeps its own settings so that it never touches the user's.
export TESSEL_CONFIG_DIR=${TESSEL_CONFIG_DIR:-$PWD/$BUILD/demo-config}
mkdir -p "$TESSEL_CONFIG_DIR"

ARGS=()
if [ -x "$BIN/tessel-sim" ]; then
  SIMOUT=$(mktemp)
  "$BIN/tessel-sim" --exit-with-parent --latency 20 --log "$BUILD/tessel-sim.log" >"$SIMOUT" &
  SIMPID=$!
  trap 'kill $SIMPID 2>/dev/null || true; rm -f "$SIMOUT"' EXIT
  for _ in $(seq 50); do [ -s "$SIMOUT" ] && break; sleep 0.1; done
  PORT=$(head -n1 "$SIMOUT")
  echo "Virtual instrument on $PORT"
  ARGS+=(--port "$PORT")
  # A new experiment with a shipped protocol, so that F9 measures at once.
  [ -f "$BIN/protocols/FvFm.p" ] && ARGS+=(--protocol "$BIN/protocols/FvFm.p")
fi

if [ -x "$BIN/Tessel" ]; then
  if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display found: starting the program under Xvfb." >&2
    exec xvfb-run -a "$BIN/Tessel" "${ARGS[@]}" "$@"
  fi
  "$BIN/Tessel" "${ARGS[@]}" "$@"
else
  echo "The main window is not built yet; showing the configuration instead."
  "$BIN/tessel-cli" config
fi
