#!/usr/bin/env bash
# The 64 GB stick of the FAT32 format proof, as such sticks are sold: a sparse image whose MBR holds one
# exFAT partition (type 7) at 1 MiB. In the Wine test bed it lies behind \\.\PhysicalDrive2, and its
# partition is the removable drive S:, whose volume device is a loop device over that partition.
#   big-stick.sh make STATE    the image, the loop device and S:'s links (run by the test bed when it starts)
#   big-stick.sh stop STATE    detaches the loop devices of the image (run when the test bed stops)
#   big-stick.sh judge STATE   after the installation formatted S:, judges what is on the stick by
#                              fsck.fat, mtools and its bytes, before anything else is added to it
set -euo pipefail
cmd=${1:?usage: big-stick.sh make|stop|judge STATE}
state=${2:?usage: big-stick.sh make|stop|judge STATE}
img=$state/disks/disk2.img
size=64000000000 start=2048
export MTOOLS_SKIP_CHECK=1
die() { echo "big-stick.sh: $*" >&2; exit 1; }
# Only loop devices backed by this image are ours to detach.
detach() { [ ! -e "$img" ] || losetup -j "$img" -n -O NAME | while read -r loop; do losetup -d "$loop"; done; }

case $cmd in
make)
  detach
  mkdir -p "$state/disks" "$state/drives/s"
  rm -f "$img"
  truncate -s $size "$img"
  printf 'label: dos\nlabel-id: 0x5a45524b\nstart=%s, type=7\n' $start | sfdisk -q "$img"
  loop=$(losetup -f --show -o $((start * 512)) --sizelimit $((size - start * 512)) "$img")
  out=$(mkfs.exfat -L BIG64 "$loop" 2>&1) || die "mkfs.exfat: $out"
  head -c 512 "$img" >"$state/disks/disk2.sector0"
  ln -sfn "$img" "$WINEPREFIX/dosdevices/physicaldrive2"
  ln -sfn "$state/drives/s" "$WINEPREFIX/dosdevices/s:"
  # Wine reads a volume's FAT boot sector only from a device that lies in the drive's own folder.
  ln -sfn "$loop" "$state/drives/s/.volume.img"
  ln -sfn "$state/drives/s/.volume.img" "$WINEPREFIX/dosdevices/s::"
  ;;
stop)
  detach
  ;;
judge)
  # What the installation wrote through the loop device may still lie in its cache.
  [ ! -e "$img" ] || losetup -j "$img" -n -O NAME | while read -r loop; do blockdev --flushbufs "$loop"; done
  loop=$(losetup -f --show -r -o $((start * 512)) --sizelimit $((size - start * 512)) "$img")
  trap 'losetup -d "$loop"' EXIT
  out=$(fsck.fat -n "$loop" 2>&1) || die "fsck.fat -n found faults: $out"
  echo "$out"
  [ "$(echo "$out" | grep -c .)" = 2 ] || die "fsck.fat -n had more to say"
  info=$(minfo -i "$img@@$((start * 512))" ::) || die "minfo cannot read the file system"
  listing=$(mdir -i "$img@@$((start * 512))" ::/ 2>&1) || die "mdir cannot read the root: $listing"
  echo "$info" | grep -q "^disk type=\"FAT32   \"" || die "minfo: no FAT32: $info"
  echo "$info" | grep -q "^cluster size: 64 sectors$" || die "minfo: clusters are not 32 KiB: $info"
  # Wine reads no label from exFAT, so the installer gives its own.
  echo "$info" | grep -q "^disk label=\"ZERKA      \"$" || die "minfo: the label is not ZERKA: $info"
  echo "$listing" | grep -q "Volume in drive : is ZERKA" || die "mdir: the label is not ZERKA: $listing"
  echo "$listing" | grep -q "^No files" || die "mdir: the root is not empty: $listing"
  echo "minfo and mdir: FAT32, 32 KiB clusters, label ZERKA, empty root"
  python3 - "$img" "$state/disks/disk2.sector0" $start <<'PY'
import struct, sys
img, before, start = sys.argv[1], open(sys.argv[2], "rb").read(), int(sys.argv[3])
with open(img, "rb") as f:
    sector0 = f.read(512)
    f.seek(start * 512)
    volume = f.read(8 * 512)
boot, backup = volume[:512], volume[6 * 512:7 * 512]
reserved, fats = struct.unpack_from("<H", boot, 14)[0], boot[16]
hidden, fat_size = struct.unpack_from("<I", boot, 28)[0], struct.unpack_from("<I", boot, 36)[0]
data = (hidden + reserved + fats * fat_size) * 512
faults = []
if boot != backup: faults.append("the backup boot sector differs from the boot sector")
if hidden != start: faults.append(f"hidden sectors {hidden}, the partition starts at {start}")
if data % (1 << 20): faults.append(f"the data area starts at byte {data} of the disk, not on a MiB")
# The format changes the type byte alone; the boot code and the active flag are the boot record step's.
changed = [i for i in range(440, 512) if sector0[i] != before[i]]
if changed != [446, 450] or (before[450], sector0[450]) != (7, 0x0C) or sector0[446] != 0x80:
    faults.append(f"sector 0 changed at {changed} beyond the type byte (7 -> 0x0C) and the active flag")
if any(before[:440]) or not any(sector0[:440]): faults.append("the blank boot code was not filled")
print(f"data area at byte {data} (MiB {data >> 20}); backup boot sector equal; sector 0: type 7 -> 0x0C,"
      " signature, other entries and 0x55AA unchanged")
sys.exit("\n".join(faults) if faults else 0)
PY
  ;;
*) die "unknown command $cmd" ;;
esac
