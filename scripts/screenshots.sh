#!/usr/bin/env bash
# Renders the program's windows headless into docs/images (run after ./test.sh),
# the first start among them (ProgramStartup.FirstStartScreenshot...).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build-asan}
# The compiler library beside the executables: the parameters view analyses with it.
export QT_QPA_PLATFORM=offscreen TESSEL_SCREENSHOT_DIR=$PWD/docs/images TESSEL_BIN_DIR=$PWD/$BUILD/bin
export TESSEL_CONFIG_DIR=$(mktemp -d)
trap 'rm -rf "$TESSEL_CONFIG_DIR"' EXIT
for t in "$BUILD"/bin/*widgets_tests; do
  "$t" --gtest_filter='*Screenshot*'
done
# An experiment right after a run on the virtual instrument.
TESSEL_SOURCE_DIR=$PWD "$BUILD"/bin/app_e2e_tests --gtest_filter='ProgramRun.*'
