#!/usr/bin/env bash
# Creates a sparse 256 MiB raw disk image laid out like a Windows machine with a logical target
# partition: 1 active FAT32 (the C: drive), 2 extended, 5 (its first logical) FAT32 (the target),
# both empty. Prints "p5_start=<sectors> p5_length=<sectors>" for the partition of the target.
set -euo pipefail
img=${1:?usage: hdd-image.sh IMG}
p1_start=2048 p1_len=245760
ext_start=$((p1_start + p1_len))
p5_start=$((ext_start + 2048))
total=524288
p5_len=$((total - p5_start))
rm -f "$img"
truncate -s $((total * 512)) "$img"
sfdisk --quiet --no-reread --no-tell-kernel "$img" >/dev/null <<SFDISK
label: dos
label-id: 0x5a45524b
start=$p1_start, size=$p1_len, type=c, bootable
start=$ext_start, type=5
start=$p5_start, size=$p5_len, type=c
SFDISK
# Hidden sectors are the partition's absolute start, as Windows writes them. mkfs.vfat warns
# that the file is larger than the file system; only its failure is worth showing.
mkfat() {
  local out
  out=$(mkfs.vfat -F 32 -n "$1" --offset "$2" -h "$2" "$img" $(($3 / 2)) 2>&1) \
    || { echo "$out" >&2; exit 1; }
}
mkfat ZERKA_C $p1_start $p1_len
mkfat ZERKA_T $p5_start $p5_len
echo "p5_start=$p5_start p5_length=$p5_len"
