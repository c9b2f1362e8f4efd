#!/usr/bin/env bash
# Runner benchmark: how fast a child's output is collected under Wine by read_all, by the
# drain thread and, for comparison, by 64 KiB reads. Not a test.
#   bench/runner-bench.sh [WIN_BUILD_DIR] [ROUNDS]      default build/win (build/win64 without 32-bit code), 5 rounds
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
. "$root/scripts/wine/windows-target.sh"
choose_windows_target  # build/win, or build/win64 where 32-bit code cannot run
build=$(mkdir -p "${1:-$root/build/$windows_build}" && cd "${1:-$root/build/$windows_build}" && pwd)
rounds=${2:-5}
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" \
    -DCMAKE_TOOLCHAIN_FILE="$root/$windows_toolchain" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target runner_bench -j2 >/dev/null

# A console program needs no test bed: a fresh prefix of its own.
work="$build/runner-bench"
rm -rf "$work" && mkdir -p "$work"
. "$root/scripts/wine/wine-prefix.sh"
use_wine_for "$build" "$work"
export WINEPREFIX="$work/prefix"
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
wineboot -i >"$work/wineboot.log" 2>&1
cp "$build/bench/runner_bench.exe" "$build/bench/runner_bench_child.exe" "$WINEPREFIX/drive_c/"
wine 'C:\runner_bench.exe' "$rounds" </dev/null 2>/dev/null | tr -d '\r'
