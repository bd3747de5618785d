#!/usr/bin/env bash
# Installs what is missing, checks the format of the sources, builds with
# AddressSanitizer and UBSan and runs every test headless through ctest;
# builds the fuzz targets with clang and runs each briefly over its seed
# corpus; then builds the optimised configuration (optimisation finds
# warnings the sanitized build does not), runs the Python module's tests
# against it and, where the packaging tools are, tests the Debian package.
# Warnings are errors in every build here.
# Prints the time of each stage.
#   TESSEL_TEST_BUILD      sanitized build folder (build-asan)
#   TESSEL_FUZZ_BUILD      fuzz build folder (build-fuzz)
#   TESSEL_RELEASE_BUILD   optimised build folder (build-release)
#   TESSEL_SKIP_FUZZ=1     no fuzz build and runs
#   TESSEL_SKIP_RELEASE=1  only the sanitized build, its tests and the fuzz runs
set -euo pipefail
cd "$(dirname "$0")"

STAGES=()
stage() {
  local name=$1 start=$SECONDS
  shift
  echo "== $name"
  "$@"
  STAGES+=("$(printf '%-28s %4d s' "$name" $((SECONDS - start)))")
  echo "== $name: $((SECONDS - start)) s"
}
summary() {
  local s
  echo "== stage times"
  for s in "${STAGES[@]}"; do echo "   $s"; done
}
trap summary EXIT

source scripts/deps.sh
stage "dependencies" tessel_ensure_deps
stage "format check" scripts/format-check.sh

# A compiler cache, where one is installed, makes rebuilds of other checkouts cheap.
LAUNCHER=()
if command -v ccache >/dev/null; then LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache); fi
JOBS=${TESSEL_JOBS:-2}

BUILD=${TESSEL_TEST_BUILD:-build-asan}
stage "sanitized configure" cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTESSEL_SANITIZE=ON \
  -DTESSEL_BUILD_BENCH=OFF -DTESSEL_WERROR=ON "${LAUNCHER[@]}"
stage "sanitized build" cmake --build "$BUILD" -j "$JOBS"

run_tests() {
  QT_QPA_PLATFORM=offscreen \
  ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:strict_string_checks=1:check_initialization_order=1} \
    ctest --test-dir "$BUILD" --output-on-failure -j "$JOBS" "$@"
}
stage "sanitized tests" run_tests "$@"

if [ "${TESSEL_SKIP_FUZZ:-0}" != 1 ]; then
  stage "fuzz build and runs (clang)" scripts/fuzz-smoke.sh "${TESSEL_FUZZ_BUILD:-build-fuzz}"
fi

[ "${TESSEL_SKIP_RELEASE:-0}" = 1 ] && exit 0

# The optimised program as it ships: no tests (the sanitized build ran them).
RELEASE=${TESSEL_RELEASE_BUILD:-build-release}
stage "optimised configure" cmake -S . -B "$RELEASE" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DTESSEL_BUILD_TESTS=OFF -DTESSEL_BUILD_BENCH=OFF -DTESSEL_WERROR=ON -DCMAKE_INSTALL_PREFIX=/usr "${LAUNCHER[@]}"
stage "optimised build (-Werror)" cmake --build "$RELEASE" -j "$JOBS"

# The Python module is built in the optimised build only (the sanitizers
# would need preloading into the interpreter); its tests use the system's
# Python, whose numpy and pandas the module is for.
PYTHON=${TESSEL_PYTHON:-/usr/bin/python3}
python_tests() {
  [ -d "$RELEASE/python/tessel" ] || { echo "no Python module in $RELEASE/python (pybind11 missing?)" >&2; return 1; }
  PYTHONPATH="$RELEASE/python" PYTHONDONTWRITEBYTECODE=1 "$PYTHON" -m pytest -q -p no:cacheprovider python/tests
}
stage "python tests" python_tests

if command -v dpkg-deb >/dev/null && command -v cpack >/dev/null; then
  stage "package test" scripts/package-test.sh "$RELEASE"
else
  echo "== package test skipped: no dpkg-deb or cpack"
fi
