#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a short while over its
# seed corpus in fuzz/corpus/<target>/, two at a time, so that the fuzz build
# never rots and a reader that crashes on a near-valid input is caught.
#   scripts/fuzz-smoke.sh [BUILD_DIR]   (default build-fuzz)
#   TESSEL_FUZZ_SECONDS   run time of each target (20)
#   TESSEL_JOBS           parallel compiles and runs (2)
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD=${1:-build-fuzz}
SECONDS_EACH=${TESSEL_FUZZ_SECONDS:-20}
JOBS=${TESSEL_JOBS:-2}
LAUNCHER=()
if command -v ccache >/dev/null; then LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache); fi

CC=clang CXX=clang++ cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTESSEL_BUILD_FUZZ=ON \
  -DTESSEL_SANITIZE=ON -DTESSEL_BUILD_TESTS=OFF -DTESSEL_BUILD_BENCH=OFF -DTESSEL_WERROR=ON "${LAUNCHER[@]}" >/dev/null
cmake --build "$BUILD" -j "$JOBS" --target tessel_fuzzers

# New inputs go to a scratch folder, never into the kept corpus.
WORK="$BUILD/fuzz-work"
rm -rf "$WORK"
mkdir -p "$WORK"
run_one() {
  local name=$1 build=$2 work=$3 seconds=$4
  mkdir -p "$work/$name/new"
  if LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp "$build/bin/$name" -max_total_time="$seconds" \
      -artifact_prefix="$work/$name/" -print_final_stats=1 "$work/$name/new" "fuzz/corpus/$name" \
      >"$work/$name/log" 2>&1; then
    echo "$name: $(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$work/$name/log" | grep -o '[0-9]*$') runs, no finding"
  else
    echo "$name FAILED; its log:" >&2
    tail -n 40 "$work/$name/log" >&2
    return 1
  fi
}
export -f run_one
fail=0
for src in fuzz/*_fuzz.cpp; do basename "$src" .cpp; done |
  xargs -P "$JOBS" -I{} bash -c 'run_one "$@"' _ {} "$BUILD" "$WORK" "$SECONDS_EACH" || fail=1
exit $fail
