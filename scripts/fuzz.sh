#!/usr/bin/env bash
# Builds the preferences decoder's libFuzzer target with clang (build-fuzz/, the "fuzz"
# preset) and runs it for SECONDS (default 60). The committed seeds stay untouched: new
# inputs go to build-fuzz/corpus/preferences, and a crashing input to build-fuzz/crashes/.
# Exits non-zero when the fuzzer finds a fault.
set -euo pipefail
seconds=${1:-60}
case $seconds in '' | *[!0-9]*) echo "usage: $0 [SECONDS]" >&2; exit 2 ;; esac
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target preferences_fuzzer -j "$(nproc)"
corpus=build-fuzz/corpus/preferences
crashes=build-fuzz/crashes
mkdir -p "$corpus" "$crashes"
log=build-fuzz/preferences_fuzzer.log
# Leaks and timeouts count as faults too; -rss_limit_mb bounds what one input may take.
status=0
build-fuzz/fuzz/preferences_fuzzer "$corpus" fuzz/corpus/preferences \
  -dict=fuzz/preferences.dict -max_len=65536 -max_total_time="$seconds" -timeout=10 \
  -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$crashes/" 2>"$log" || status=$?
grep -E '^#[0-9]+[[:space:]]+INITED|^Done |^stat::|ERROR|SUMMARY|Test unit written' "$log" || true
echo "last progress line: $(grep -E '^#[0-9]+[[:space:]].*cov:' "$log" | tail -n 1)"
echo "corpus: $(find "$corpus" -type f | wc -l) inputs; full log: $log"
if [ "$status" -ne 0 ]; then
  echo "the fuzzer found a fault (exit $status): see $crashes/" >&2
fi
exit "$status"
