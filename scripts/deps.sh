#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those that are missing.
# Sourced by run.sh and test.sh; idempotent and silent when all is there.

TESSEL_PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-serialport-dev qt6-svg-dev qt6-qpa-plugins libqt6printsupport6
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  fonts-dejavu-core xvfb xauth poppler-utils
  python3 python3-jsonschema dpkg-dev file locales
  libeigen3-dev
  python3-dev pybind11-dev python3-numpy python3-pandas python3-xarray python3-pytest python3-matplotlib
  clang libclang-rt-dev clang-format
)
# Benchmarks only (the graph benchmark's peer); it brings Qt 5's development
# files along, so the test run does not install it.
TESSEL_BENCH_PACKAGES=(libqcustomplot-dev)
# The coverage report only (scripts/coverage.sh).
TESSEL_COVERAGE_PACKAGES=(gcovr)

tessel_missing_packages() {
  local missing=()
  for p in "${TESSEL_PACKAGES[@]}" "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  echo "${missing[@]}"
}

# tessel_ensure_deps [bench|coverage]: the build's packages, with "bench" also
# the benchmarks' own, with "coverage" the coverage report's.
tessel_ensure_deps() {
  local missing extra=()
  [ "${1:-}" = bench ] && extra=("${TESSEL_BENCH_PACKAGES[@]}")
  [ "${1:-}" = coverage ] && extra=("${TESSEL_COVERAGE_PACKAGES[@]}")
  missing=$(tessel_missing_packages "${extra[@]}")
  [ -z "$missing" ] && return 0
  echo "Installing missing packages: $missing"
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null; then sudo="sudo -n"; else
      echo "error: need root to install: $missing" >&2; return 1; fi
  fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  # shellcheck disable=SC2086
  $sudo apt-get install -y -qq --no-install-recommends $missing
}
