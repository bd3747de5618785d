#!/usr/bin/env bash
# Runs the "A screening day" section of docs/user-guide.md start to end on
# the virtual instrument, so that the guide cannot go stale: its sh blocks,
# in order, with the programs of BIN_DIR first on the PATH. Then checks what
# the day left behind.
# Usage: scripts/screening-day.sh BIN_DIR
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BIN=$(cd "${1:?usage: $0 BIN_DIR}" && pwd)
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

awk '/^### A screening day/ { on = 1; next }
     on && /^##/ { on = 0 }
     on && /^```sh$/ { code = 1; next }
     on && code && /^```$/ { code = 0; next }
     on && code' "$ROOT/docs/user-guide.md" >"$WORK/day.sh"
[ -s "$WORK/day.sh" ] || { echo "no screening day in docs/user-guide.md" >&2; exit 1; }

cd "$WORK"
PATH="$BIN:$PATH" TESSEL_PROTOCOLS="$BIN/protocols" XDG_STATE_HOME="$WORK/state" \
  bash -euo pipefail day.sh >day.out 2>day.err || {
  echo "the screening day failed:" >&2
  cat day.out day.err >&2
  exit 1
}
cat day.out

fail() { echo "screening day: $*" >&2; exit 1; }
grep -q '^refused: 2$' day.out || fail "measuring onto day1.exp without --append was not refused"
grep -q '^Measurement 3$' day.out || fail "info does not list three measurements"
head -n 1 parameters.csv | grep -q '^file,measurement,measured,title,note,leaf,genotype,' ||
  fail "parameters.csv lacks the metadata columns"
[ "$(grep -c ',mutant,' parameters.csv)" -ge 2 ] || fail "the relabelled leaf is not a mutant in parameters.csv"
tr -d '\r' <samples.csv >samples.lf
grep -q '^measurement,measured,title,note,leaf,genotype,channel,t,value,mark$' samples.lf ||
  fail "samples.csv has not the long table's header"
grep -q ',A,[0-9.e-]*,[0-9.e-]*,Fm$' samples.lf || fail "samples.csv carries no marks"
[ -s day1.png ] || fail "no picture"
echo "screening day: done"
