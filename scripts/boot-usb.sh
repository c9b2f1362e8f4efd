#!/usr/bin/env bash
# Boots what the installer left on a removable drive (TREE: syslinux.cfg, zerka/vmlinuz,
# zerka/initrd.gz, zerka/*.sfs) as a USB stick in QEMU: builds a stick image with one active
# FAT32 or FAT16 partition without mounting anything, installs Debian's SYSLINUX (the same
# version as the Windows syslinux.exe) on it, boots it, prints the kernel command line and
# exits 0 only when it carries PMEDIA=usbflash PSUBDIR=zerka from the installed initrd.
set -euo pipefail
. "$(dirname "$0")/boot-lib.sh"
tree=${1:?usage: boot-usb.sh TREE fat32|fat16}
fat=${2:?usage: boot-usb.sh TREE fat32|fat16}
case $fat in
  fat32) bits=32 type=c ;;
  fat16) bits=16 type=6 ;;
  *) die "file system must be fat32 or fat16, not '$fat'" ;;
esac
for f in syslinux.cfg zerka/vmlinuz zerka/initrd.gz; do
  [ -s "$tree/$f" ] || die "$tree/$f missing"
done
token=$(initrd_token "$tree/zerka/initrd.gz")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
img="$work/stick.img"
start=2048 sectors=524288  # 256 MiB: small enough for FAT16, large enough for FAT32
truncate -s $((sectors * 512)) "$img"
echo "start=$start, type=$type, bootable" | sfdisk --quiet --no-reread --no-tell-kernel "$img" >/dev/null
dd if=/usr/lib/syslinux/mbr/mbr.bin of="$img" bs=440 count=1 conv=notrunc status=none
out=$(mkfs.vfat -F "$bits" -n ZERKA --offset $start -h $start "$img" $(((sectors - start) / 2)) 2>&1) \
  || die "mkfs.vfat: $out"
mcopy -s -i "$img@@$((start * 512))" "$tree"/* ::/
syslinux --offset $((start * 512)) --install "$img"

boot_check "$work/serial.log" "PMEDIA=usbflash PSUBDIR=zerka" 33 "$token" \
  -device usb-ehci,id=ehci -drive "if=none,id=stick,file=$img,format=raw,snapshot=on" \
  -device usb-storage,bus=ehci.0,drive=stick,bootindex=1
