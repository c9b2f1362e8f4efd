#!/usr/bin/env bash
# Install benchmark: a ~300 MB image (one large incompressible .sfs, a few MB of kernel and
# initrd), and in one test-bed run under Wine the whole installation through the GUI
# against a direct "7z e" of the same three files by the same 7z.exe. Not a test.
#   bench/install_benchmark.sh [BUILD_DIR] [ROUNDS]
# BUILD_DIR is a Windows build (default build/win); it must hold 7z.exe.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=$(cd "${1:-$root/build/win}" && pwd)
rounds=${2:-2}
state="$build/bench-testbed"

cmake --build "$build" --target zerka-installer zerka-installer-testbed tool_double install_bench -j2 >/dev/null
[ -s "$build/7z.exe" ] || cp "$("$root/scripts/build-7zip.sh")" "$build/7z.exe"

trap '"$root/scripts/wine-testbed.sh" stop "$state" >/dev/null 2>&1 || true' EXIT
"$root/scripts/wine-testbed.sh" start "$state" "$build" >/dev/null
. "$state/env.sh"

bench="$WINEPREFIX/drive_c/bench"
rm -rf "$bench" && mkdir -p "$bench/root"
head -c 4194304 /dev/urandom >"$bench/root/vmlinuz"
head -c 6291456 /dev/urandom >"$bench/root/initrd.gz"
head -c 304087040 /dev/urandom >"$bench/root/zerka_290.sfs"
printf 'not installed\r\n' >"$bench/root/README.txt"
xorriso -as mkisofs -quiet -R -J -o "$bench/bench.iso" "$bench/root/" 2>/dev/null
rm -rf "$bench/root"

status=0
"$root/scripts/wine-run.sh" "$state" "$build/tests/win/install_bench.exe" 'C:\bench\bench.iso' "$rounds" \
  </dev/null >"$state/bench.out" 2>&1 || status=$?
grep -v '^wine: ' "$state/bench.out" | tr -d '\r'

# The same with an empty page cache before each side, as a real installation reads its image
# from disk (needs root and a writable /proc/sys/vm/drop_caches; skipped otherwise).
drop_cache() { sync && echo 3 >/proc/sys/vm/drop_caches; }
if [ "$status" = 0 ] && drop_cache 2>/dev/null; then
  echo "cold page cache before each side:"
  for round in $(seq "$rounds"); do
    line=""
    for side in install direct; do
      drop_cache
      out=$("$root/scripts/wine-run.sh" "$state" "$build/tests/win/install_bench.exe" 'C:\bench\bench.iso' 1 "$side" \
              </dev/null 2>&1 | tr -d '\r' | grep -E '^(installation|direct) ') || { status=1; break 2; }
      line="$line ${out#* }"
    done
    awk -v r="$round" '{ printf "cold round %d: installation %.2f s, direct 7z e %.2f s, ratio %.2f\n", r, $1, $2, $1 / $2 }' <<<"$line"
  done
fi
rm -rf "$bench"
exit "$status"
