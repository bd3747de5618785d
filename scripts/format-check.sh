#!/usr/bin/env bash
# Checks that the project's own C++ sources follow .clang-format; with --fix,
# formats them in place instead. Only files under git are looked at, so build
# folders and generated sources never are.
#   scripts/format-check.sh [--fix]
set -euo pipefail
cd "$(dirname "$0")/.."

FOLDERS=(src tools tests compiler-lib bench fuzz)
mapfile -t FILES < <(git ls-files -- "${FOLDERS[@]/%//*.cpp}" "${FOLDERS[@]/%//*.h}")
[ ${#FILES[@]} -gt 0 ] || { echo "format check: no sources found" >&2; exit 1; }

if [ "${1:-}" = --fix ]; then
  printf '%s\0' "${FILES[@]}" | xargs -0 -n 50 -P 2 clang-format -i
  exit 0
fi
# -P 2: the two cores; each clang-format prints its own findings.
if printf '%s\0' "${FILES[@]}" | xargs -0 -n 50 -P 2 clang-format --dry-run -Werror; then
  echo "format check: ${#FILES[@]} files follow .clang-format"
else
  echo "format check failed: run scripts/format-check.sh --fix" >&2
  exit 1
fi
