#!/bin/bash
# Runs the fuzz target for a million executions (the test command lives a fixed set of 2,500 inputs).
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 1
"$root/tools/setup.sh" || exit 1
cmake --preset fuzz >/dev/null && cmake --build --preset fuzz >/dev/null || exit 1
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
build/fuzz/fuzz_reminder -runs="${1:-1000000}" -print_final_stats=1 "$corpus" 2>&1 |
    grep -E '^(Done|stat::number_of_executed_units|stat::average_exec_per_sec|stat::peak_rss_mb)|ERROR|SUMMARY'
exit "${PIPESTATUS[0]}"
