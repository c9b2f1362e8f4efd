#!/usr/bin/env bash
# Boots what the installer left on a removable drive (TREE: syslinux.cfg, zerka/vmlinuz,
# zerka/initrd.gz, zerka/*.sfs) as a USB stick in QEMU. STICK is the partitioned disk image that
# lay behind the drive during the installation: its sector 0 (boot code, active flag) is the
# installer's work and stays as it is. On a copy of it, partition 1 gets a FAT32 or FAT16 file
# system (made without mounting anything), the tree and the SYSLINUX boot sector of Debian's Linux
# syslinux, the same version as the Windows syslinux.exe, which cannot write a Wine folder drive's
# boot sector. With "kept", the file system that the installer made there stays and takes the tree.
# Then it boots the copy, prints the kernel command line and exits 0 only when it carries
# PMEDIA=usbflash PSUBDIR=zerka from the installed initrd.
#   boot-usb.sh TREE fat32|fat16|kept STICK
set -euo pipefail
. "$(dirname "$0")/boot-lib.sh"
usage="usage: boot-usb.sh TREE fat32|fat16|kept STICK"
tree=${1:?$usage}
fat=${2:?$usage}
stick=${3:?$usage}
case $fat in
  fat32) bits=32 ;;
  fat16) bits=16 ;;
  kept) bits= ;;
  *) die "file system must be fat32, fat16 or kept, not '$fat'" ;;
esac
token=$(installed_token "$tree" syslinux.cfg)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
img="$work/stick.img"
cp --sparse=always "$stick" "$img"
start=$(part_start "$img" 1)
sectors=$(sfdisk -d "$img" | sed -n "s|^$img""1 : start= *[0-9]*, size= *\([0-9]*\),.*|\1|p")
[ -n "$start" ] && [ -n "$sectors" ] || die "$stick has no partition 1"
[ -z "$bits" ] || out=$(mkfs.vfat -F "$bits" -n ZERKA --offset "$start" -h "$start" "$img" $((sectors / 2)) 2>&1) \
  || die "mkfs.vfat: $out"
mcopy -s -i "$img@@$((start * 512))" "$tree"/* ::/
syslinux --offset $((start * 512)) --install "$img"
cmp -s -n 512 "$stick" "$img" || die "sector 0 changed while the stick was made: it must be the installer's alone"

boot_check "$work/serial.log" "PMEDIA=usbflash PSUBDIR=zerka" 33 "$token" \
  -device usb-ehci,id=ehci -drive "if=none,id=stick,file=$img,format=raw,snapshot=on" \
  -device usb-storage,bus=ehci.0,drive=stick,bootindex=1
