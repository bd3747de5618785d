#!/usr/bin/env bash
# Builds an instrumented tree (gcov), runs every test and prints the share of
# product lines (src, tools, compiler-lib) the run executes. Not part of
# ./test.sh: a full extra build. The figure should stay at 90.5 % or above.
#   TESSEL_COVERAGE_BUILD  build folder (build-coverage)
#   extra arguments go to ctest (e.g. -R data_ for one subsystem)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
tessel_ensure_deps coverage

BUILD=${TESSEL_COVERAGE_BUILD:-build-coverage}
LAUNCHER=()
if command -v ccache >/dev/null; then LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTESSEL_SANITIZE=OFF -DTESSEL_BUILD_BENCH=OFF \
  -DCMAKE_C_FLAGS=--coverage -DCMAKE_CXX_FLAGS=--coverage -DCMAKE_EXE_LINKER_FLAGS=--coverage \
  -DCMAKE_SHARED_LINKER_FLAGS=--coverage "${LAUNCHER[@]}" >/dev/null
cmake --build "$BUILD" -j "${TESSEL_JOBS:-2}"
# Counts of an earlier run would add to this one.
find "$BUILD" -name '*.gcda' -delete
QT_QPA_PLATFORM=offscreen ctest --test-dir "$BUILD" -j "${TESSEL_JOBS:-2}" --output-on-failure "$@" || true
# Product lines only: the tests, the benchmarks and Qt's generated files are not counted.
# Counts are read from this build alone: other build folders may hold counts of their own.
gcovr --root . --object-directory "$BUILD" --filter 'src/' --filter 'tools/' --filter 'compiler-lib/' \
  --exclude '.*_autogen/.*' --gcov-ignore-parse-errors --print-summary -o "$BUILD/coverage.txt" "$BUILD"
