#!/usr/bin/env bash
# Fails when a C++ file drifts from .clang-format or clang-tidy finds something (.clang-tidy).
# Tidy reads the compile commands of the build folder given (default: build/).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
command -v clang-format run-clang-tidy >/dev/null
mapfile -t sources < <(git ls-files '*.cpp' '*.h')
clang-format --dry-run -Werror "${sources[@]}"
# Only the project's own sources, not what the build generates.
run-clang-tidy -quiet -p "$build" -j "$(nproc)" "^$PWD/src/" > "$build/clang-tidy.log" 2>&1 || true
if grep -E "(warning|error):" "$build/clang-tidy.log"; then
  echo "clang-tidy found the above (full output in $build/clang-tidy.log)" >&2
  exit 1
fi
