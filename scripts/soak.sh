#!/bin/bash
# Soak of the instrument link: repeated identify / status / measure cycles
# (identification, status poll, program download, run, data fetch) against
# the virtual instrument with 1 % bad download checksums and a hang-up in
# every fifth cycle (the instrument comes back a second later on the same
# path). The instrument answers at once, with no turnaround: a reply that
# comes before the program's write has returned must not be lost. Meanwhile
# the program itself (offscreen) runs against a second instrument whose line
# is pulled and plugged in again every fifth cycle. Reports cycles, failures,
# failures recovered by the next cycle, identifications that failed outside a
# hang-up, stuck commands (still running after the time limit), lost
# measurements (a run reported as recorded whose file holds no measurement)
# and program exits.
#
#   scripts/soak.sh [--busy] [MINUTES] [BUILD_DIR]      (defaults: 10, build-asan)
#   --busy  keeps every core loaded meanwhile
set -u
busy=0
[ "${1:-}" = --busy ] && { busy=1; shift; }
minutes=${1:-10}
build=${2:-build-asan}
root=$(cd "$(dirname "$0")/.." && pwd)
case "$build" in /*) bin=$build/bin ;; *) bin=$root/$build/bin ;; esac
ini=$root/resources/Tessel.ini
protocol=$root/resources/protocols/FvFm.p
limit=120 # seconds a command may take before it counts as stuck
work=$(mktemp -d)
burners=()
trap 'kill $sim $psim $program "${burners[@]}" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen
if [ $busy = 1 ]; then
    for _ in $(seq "$(nproc)"); do (while :; do :; done) & burners+=($!); done
fi

tty=$work/instrument
sim=
start_sim() { # $1: hang-up fault or empty
    [ -n "$sim" ] && kill "$sim" 2>/dev/null && wait "$sim" 2>/dev/null
    local fault=()
    [ -n "$1" ] && fault=(--hangup-in "$1" --come-back 1)
    "$bin/tessel-sim" --device ModelT2 --baud 115200 --speed 20 --ini "$ini" --link "$tty" \
        --bad-checksum-rate 0.01 --latency 0 "${fault[@]}" --log "$work/sim-$cycles.log" > "$work/sim.out" &
    sim=$!
    for _ in $(seq 100); do [ -e "$tty" ] && return; sleep 0.05; done
}

# The program's own instrument; pulling its line is ending the process.
ptty=$work/program-instrument
psim=
start_psim() {
    [ -n "$psim" ] && kill "$psim" 2>/dev/null && wait "$psim" 2>/dev/null
    rm -f "$ptty"
    "$bin/tessel-sim" --device ModelT2 --ini "$ini" --link "$ptty" --latency 0 --log "$work/psim.log" > /dev/null &
    psim=$!
    for _ in $(seq 100); do [ -e "$ptty" ] && return; sleep 0.05; done
}
start_psim
mkdir -p "$work/config"
printf '[AppSettings]\nAutoReconnect=true\nShowWizard=false\nCreateExp=true\n' > "$work/config/Tessel.conf"
"$bin/Tessel" --port "$ptty" --config-dir "$work/config" > "$work/program.out" 2>&1 &
program=$!

cycles=0 commands=0 failures=0 recovered=0 stuck=0 measured=0 lost=0 hangups=0 notfound=0 exits=0
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
    hangup=0
    if [ $((cycles % 5)) -eq 0 ]; then
        fault=${faults[$(( (cycles / 5) % ${#faults[@]} ))]}
        start_sim "$fault"
        hangups=$((hangups + 1))
        [ "$fault" = WH ] && hangup=1
        start_psim
    fi
    kill -0 "$program" 2>/dev/null || exits=$((exits + 1))
    # A lost line fails one command; the instrument is back a second later.
    run identify identify --port "$tty" --ini "$ini"
    [ $last_rc -ne 0 ] && [ $hangup = 0 ] && notfound=$((notfound + 1))
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
kill -0 "$program" 2>/dev/null || exits=$((exits + 1))
kill -TERM "$program" 2>/dev/null
for _ in $(seq 100); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
kill -0 "$program" 2>/dev/null && { echo "program did not end on SIGTERM"; exits=$((exits + 1)); }
echo "soak: $minutes min$([ $busy = 1 ] && echo ', all cores busy'), $cycles cycles, $commands commands," \
     "$hangups hang-ups, $failures failures, $recovered recovered by the next cycle," \
     "$notfound identifications failed outside a hang-up, $stuck stuck, $measured measurements recorded," \
     "$lost lost, $exits program exits"
blocks=$(cat "$work"/sim-*.log | grep -c "< \(data\|rest\) block")
bad=$(cat "$work"/sim-*.log | grep -c "fault: wrong checksum")
echo "download blocks sent: $blocks, with a wrong checksum: $bad"
[ -s "$work/failures.txt" ] && { echo "failures:"; cut -c1-160 "$work/failures.txt" | sort | uniq -c | sort -rn | head -20; }
[ $stuck -eq 0 ] && [ $lost -eq 0 ] && [ $notfound -eq 0 ] && [ $exits -eq 0 ]
