#!/usr/bin/env bash
# Runner benchmark: how fast a child's output is collected under Wine by read_all, by the
# drain thread and, for comparison, by 64 KiB reads. Not a test.
#   bench/runner-bench.sh [BUILD_DIR] [ROUNDS]
# BUILD_DIR is a Windows build (default build/win).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=$(cd "${1:-$root/build/win}" && pwd)
rounds=${2:-5}
state="$build/bench-runner-testbed"

cmake --build "$build" --target runner_bench runner_child zerka-installer zerka-installer-testbed tool_double -j2 >/dev/null

trap '"$root/scripts/wine-testbed.sh" stop "$state" >/dev/null 2>&1 || true' EXIT
"$root/scripts/wine-testbed.sh" start "$state" "$build" >/dev/null

status=0
"$root/scripts/wine-run.sh" "$state" "$build/tests/win/runner_bench.exe" "$rounds" \
  </dev/null >"$state/bench.out" 2>&1 || status=$?
grep -v '^wine: ' "$state/bench.out" | tr -d '\r'
exit "$status"
