#!/bin/bash
# Soak of the instrument link: repeated identify / status / measure cycles
# (identification, status poll, program download, run, data fetch) against
# the virtual instrument with 1 % bad download checksums and a hang-up in
# every fifth cycle (the instrument comes back a second later on the same
# path). The instrument's turnaround is 40 ms: the program purges its input
# right after some requests, and on a loaded machine a quicker reply than any
# real instrument's would be lost. Reports cycles, failures, failures
# recovered by the next cycle, stuck commands (still running after the time
# limit) and lost measurements (a run reported as recorded whose file holds
# no measurement).
#
#   scripts/soak.sh [MINUTES] [BUILD_DIR]      (defaults: 10, build-asan)
set -u
minutes=${1:-10}
build=${2:-build-asan}
root=$(cd "$(dirname "$0")/.." && pwd)
case "$build" in /*) bin=$build/bin ;; *) bin=$root/$build/bin ;; esac
ini=$root/resources/Tessel.ini
protocol=$root/resources/protocols/FvFm.p
limit=120 # seconds a command may take before it counts as stuck
work=$(mktemp -d)
trap 'kill $sim 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen

tty=$work/instrument
sim=
start_sim() { # $1: hang-up fault or empty
    [ -n "$sim" ] && kill "$sim" 2>/dev/null && wait "$sim" 2>/dev/null
    local fault=()
    [ -n "$1" ] && fault=(--hangup-in "$1" --come-back 1)
    "$bin/tessel-sim" --device ModelT2 --baud 115200 --speed 20 --ini "$ini" --link "$tty" \
        --bad-checksum-rate 0.01 --latency 40 "${fault[@]}" --log "$work/sim-$cycles.log" > "$work/sim.out" &
    sim=$!
    for _ in $(seq 100); do [ -e "$tty" ] && return; sleep 0.05; done
}

cycles=0 commands=0 failures=0 recovered=0 stuck=0 measured=0 lost=0 hangups=0
declare -A failed_before
run() { # name, then the command line; sets last_rc
    local name=$1; shift
    commands=$((commands + 1))
    timeout $limit "$bin/tessel-cli" "$@" > "$work/out" 2> "$work/err"
    last_rc=$?
    if [ $last_rc -eq 124 ]; then
        stuck=$((stuck + 1)); echo "STUCK: $name" >&2
    fi
    if [ $last_rc -ne 0 ]; then
        failures=$((failures + 1)); failed_before[$name]=1
        echo "cycle $cycles: $name failed ($last_rc): $(cat "$work/err" "$work/out" | grep -v Searching | head -c 200 | tr '\n' ' ')" >> "$work/failures.txt"
    elif [ -n "${failed_before[$name]:-}" ]; then
        recovered=$((recovered + 1)); unset "failed_before[$name]"
    fi
}

faults=("WD" "GDA:500" "LDE:100" "WH")
end=$(( $(date +%s) + minutes * 60 ))
start_sim ""
while [ "$(date +%s)" -lt $end ]; do
    cycles=$((cycles + 1))
    if [ $((cycles % 5)) -eq 0 ]; then
        start_sim "${faults[$(( (cycles / 5) % ${#faults[@]} ))]}"
        hangups=$((hangups + 1))
    fi
    # A lost line fails one command; the instrument is back a second later.
    run identify identify --port "$tty" --ini "$ini"
    [ $last_rc -ne 0 ] && sleep 1.2
    run status status --port "$tty" --ini "$ini"
    [ $last_rc -ne 0 ] && sleep 1.2
    out=$work/m$cycles.exp
    run measure measure "$protocol" --port "$tty" --ini "$ini" --out "$out"
    if [ $last_rc -eq 0 ]; then
        n=$("$bin/tessel-cli" info "$out" --json 2>/dev/null | sed -n 's/.*"N": *\([0-9]*\).*/\1/p' | head -1)
        if [ "${n:-0}" -ge 1 ]; then measured=$((measured + 1)); else lost=$((lost + 1)); fi
    else
        sleep 1.2
    fi
    rm -f "$out"
done
echo "soak: $minutes min, $cycles cycles, $commands commands, $hangups hang-ups, $failures failures," \
     "$recovered recovered by the next cycle, $stuck stuck, $measured measurements recorded, $lost lost"
blocks=$(cat "$work"/sim-*.log | grep -c "< \(data\|rest\) block")
bad=$(cat "$work"/sim-*.log | grep -c "fault: wrong checksum")
echo "download blocks sent: $blocks, with a wrong checksum: $bad"
[ -s "$work/failures.txt" ] && { echo "failures:"; cut -c1-160 "$work/failures.txt" | sort | uniq -c | sort -rn | head -20; }
[ $stuck -eq 0 ] && [ $lost -eq 0 ]
