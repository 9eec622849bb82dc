#!/usr/bin/env bash
# Installs what is missing, builds, checks the style (clang-format, clang-tidy), and runs
# every test: the unit, UI and end-to-end tests of the default build, then the unit tests
# again under ASan+UBSan, then the threaded tests under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)
cmake --preset default
cmake --build --preset default -j "$jobs"
scripts/check-style.sh build
ctest --preset default -j "$jobs"
cmake --preset sanitize
cmake --build --preset sanitize -j "$jobs"
ctest --preset sanitize -j "$jobs"
cmake --preset tsan
cmake --build --preset tsan -j "$jobs"
ctest --preset tsan -j "$jobs"
