#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and UBSan and runs
# every test headless through ctest.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
tessel_ensure_deps

# A compiler cache, where one is installed, makes rebuilds of other checkouts cheap.
LAUNCHER=()
if command -v ccache >/dev/null; then LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache); fi

BUILD=${TESSEL_TEST_BUILD:-build-asan}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTESSEL_SANITIZE=ON -DTESSEL_BUILD_BENCH=OFF "${LAUNCHER[@]}"
cmake --build "$BUILD" -j "${TESSEL_JOBS:-2}"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:strict_string_checks=1:check_initialization_order=1}
cd "$BUILD"
ctest --output-on-failure -j "${TESSEL_JOBS:-2}" "$@"
