#!/usr/bin/env bash
# Benchmarks of the disk identification code (see bench/README.md).
#   bench/disk-bench.sh drive-log [WIN_BUILD_DIR]       drive log: 10 disks x 100 logical vs none (build/win or win64)
#   bench/disk-bench.sh fuzz [SECONDS] [FUZZ_BUILD_DIR] long fuzz run of the partition walk (600 s, build/fuzz)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(dirname "$here")
. "$source_dir/scripts/wine/windows-target.sh"
choose_windows_target  # build/win, or build/win64 where 32-bit code cannot run
what=${1:-drive-log}

case "$what" in
drive-log)
  build=$(mkdir -p "${2:-$source_dir/build/$windows_build}" && cd "${2:-$source_dir/build/$windows_build}" && pwd)
  [ -f "$build/CMakeCache.txt" ] || cmake -S "$source_dir" -B "$build" \
      -DCMAKE_TOOLCHAIN_FILE="$source_dir/$windows_toolchain" -DCMAKE_BUILD_TYPE=Release >/dev/null
  # The product's code as it is, its reads counted by a link-time wrapper (bench/CMakeLists.txt).
  cmake --build "$build" --target drive_log_bench -j2 >/dev/null
  work="$build/disk-bench"
  rm -rf "$work"
  mkdir -p "$work/disks"

  # Ten disks, each an MBR with one extended partition holding a chain of 100 EBRs.
  python3 - "$work/disks" <<'PY'
import struct, sys
def table(entries):
    sector = bytearray(512)
    for slot, (kind, start, length) in enumerate(entries):
        struct.pack_into("<4xB3xII", sector, 446 + slot * 16, kind, start, length)
    sector[510:512] = b"\x55\xaa"
    return bytes(sector)
step, count = 2048, 100
for n in range(10):
    with open(f"{sys.argv[1]}/disk{n}.img", "wb") as f:
        f.truncate((step * (count + 1) + step) * 512)
        f.write(table([(0x07, 63, 1985), (0x05, step, step * count)]))
        for i in range(count):
            link = (0x05, (i + 1) * step, step) if i + 1 < count else (0, 0, 0)
            f.seek((step + i * step) * 512)
            f.write(table([(0x83, 63, step - 63), link]))
PY

  . "$source_dir/scripts/wine/wine-prefix.sh"
  use_wine_for "$build" "$work"
  export WINEPREFIX="$work/prefix"
  wineboot -i >"$work/wineboot.log" 2>&1
  cp "$build/bench/drive_log_bench.exe" "$WINEPREFIX/drive_c/"
  run() { wine 'C:\drive_log_bench.exe' "$@" 2>/dev/null </dev/null | tr -d '\r' | tee -a "$work/results.txt"; }
  status=0
  echo "no disk images linked:"
  run -1 20 || status=1
  for n in 0 1 2 3 4 5 6 7 8 9; do
    ln -sfn "$work/disks/disk$n.img" "$WINEPREFIX/dosdevices/physicaldrive$n"
  done
  echo "10 disks x (MBR + 100 EBRs): expected 1010 reads, one per table sector:"
  run 1010 20 || status=1
  wineserver -k >/dev/null 2>&1 || true
  exit $status
  ;;
fuzz)
  seconds=${2:-600}
  build=$(mkdir -p "${3:-$source_dir/build/fuzz}" && cd "${3:-$source_dir/build/fuzz}" && pwd)
  [ -f "$build/CMakeCache.txt" ] || CC=clang CXX=clang++ cmake -S "$source_dir" -B "$build" \
      -DZERKA_FUZZ=ON >/dev/null
  cmake --build "$build" --target fuzz_partition_walk -j2 >/dev/null
  # The CTest run writes the seed and starts the corpus that the long run goes on with.
  ctest --test-dir "$build" -R '^fuzz\.partition_walk$' >/dev/null \
    || { echo "the CTest run failed: $build/Testing/Temporary/LastTest.log" >&2; exit 1; }
  # Longer inputs than the CTest run's 4096 bytes: a chain up to number 254 takes the MBR's record
  # and 251 EBRs of two, 11 bytes each (about 5.5 KB).
  # libFuzzer's running log goes to a file; the summary, or on a fault the log's end, is shown.
  log="$build/fuzz-bench.log"
  status=0
  "$build/tests/fuzz/fuzz_partition_walk" -max_total_time="$seconds" -timeout=10 \
    -max_len=8192 -rss_limit_mb=2048 -print_final_stats=1 "$build/tests/fuzz/corpus/partition_walk" \
    >"$log" 2>&1 || status=$?
  if [ "$status" = 0 ]; then grep -E '^(Done|stat::)' "$log"; else tail -n 40 "$log"; fi
  exit "$status"
  ;;
*)
  echo "usage: $0 drive-log [WIN_BUILD_DIR] | fuzz [SECONDS] [FUZZ_BUILD_DIR]" >&2
  exit 2
  ;;
esac
