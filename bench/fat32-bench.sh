#!/usr/bin/env bash
# The installer's own FAT32 format against mkfs.fat -F 32 (dosfstools) on the same sparse images, in
# the same run (see bench/README.md).
#   bench/fat32-bench.sh [WORK_DIR] [ROUNDS]      default build/fat32-bench, 5 rounds
# WORK_DIR must lie on a disk, not in memory: the images are written there.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(dirname "$here")
work=$(mkdir -p "${1:-$source_dir/build/fat32-bench}" && cd "${1:-$source_dir/build/fat32-bench}" && pwd)
rounds=${2:-5}
g++ -O2 -std=c++17 -I"$source_dir" "$here/fat32_bench.cpp" "$source_dir/disk/fat32_format.cpp" -o "$work/fat32_bench"
img=$work/stick.img
trap 'rm -f "$img"' EXIT
start=1048576  # the partition of a stick as sold, 1 MiB into its disk

ms() { echo $((($(date +%s%N) - $1) / 1000000)); }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# run NAME SIZE COMMAND...: ROUNDS fresh images, each formatted, synced to the disk and judged by fsck.fat
run() {
  local name=$1 size=$2 t times=() bytes out
  shift 2
  for _ in $(seq "$rounds"); do
    rm -f "$img" && truncate -s "$size" "$img" && sync "$img"
    t=$(date +%s%N)
    out=$("$@" 2>&1) || { echo "$name: $out" >&2; exit 1; }
    sync "$img"
    times+=("$(ms "$t")")
    fsck.fat -n "$img" >/dev/null || { echo "$name: fsck.fat finds faults" >&2; exit 1; }
  done
  bytes=$(($(stat -c %b "$img") * 512))
  last_median=$(printf '%s\n' "${times[@]}" | median)
  written=$(sed -n 's/.*written=\([0-9]*\).*/\1/p' <<<"$out")
  awk -v n="$name" -v g=$((size / 1000000000)) -v med="$last_median" -v min="$(printf '%s\n' "${times[@]}" | sort -n |
    head -n 1)" -v a="$bytes" -v w="${written:--1}" 'BEGIN { printf "%-20s %4d GB  median_ms=%6d  min_ms=%6d  " \
    "allocated_MiB=%6.1f  written_MiB=%s\n", n, g, med, min, a / 1048576, w < 0 ? "-" : sprintf("%.1f", w / 1048576) }' 
}

echo "rounds=$rounds work=$work ($(df -T "$work" | awk 'NR == 2 { print $2 }'))"
for size in 64000000000 256000000000; do
  run installer_aligned "$size" "$work/fat32_bench" "$img" "$size" $start 1048576
  ours=$last_median
  run installer_unaligned "$size" "$work/fat32_bench" "$img" "$size" $start 512
  run mkfs.fat "$size" mkfs.fat -F 32 -n ZERKA "$img"
  awk -v a="$ours" -v b="$last_median" \
    'BEGIN { printf "time installer_aligned / mkfs.fat: %.2f\n", a / (b > 0 ? b : 1) }' 
done
