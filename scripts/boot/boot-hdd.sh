#!/usr/bin/env bash
# Boots a disk image made by scripts/boot/hdd-image.sh after an installation onto a fixed disk, as an
# IDE disk in QEMU: CDIR holds what the installer left on C: (GRLDR, g2ldr if the loader has
# one, menu.lst), TARGETDIR the target drive's folder (zerka/). Prints the kernel command line
# and exits 0 only when the menu.lst entry booted the installed kernel and initrd with
# PMEDIA=idehd PSUBDIR=zerka.
set -euo pipefail
. "$(dirname "$0")/boot-lib.sh"
img=${1:?usage: boot-hdd.sh IMG CDIR TARGETDIR}
cdir=${2:?usage: boot-hdd.sh IMG CDIR TARGETDIR}
target=${3:?usage: boot-hdd.sh IMG CDIR TARGETDIR}
for f in "$cdir/GRLDR" "$cdir/menu.lst" "$target/zerka/initrd.gz" "$target/zerka/vmlinuz"; do
  [ -s "$f" ] || die "$f missing"
done
token=$(initrd_token "$target/zerka/initrd.gz")
p1=$(part_start "$img" 1)
p5=$(part_start "$img" 5)
[ -n "$p1" ] && [ -n "$p5" ] || die "$img lacks partition 1 or 5 (make it with scripts/boot/hdd-image.sh)"
c="$img@@$((p1 * 512))"
t="$img@@$((p5 * 512))"

mcopy -o -i "$c" "$cdir/GRLDR" "$cdir/menu.lst" ::/
[ ! -e "$cdir/g2ldr" ] || mcopy -o -i "$c" "$cdir/g2ldr" ::/
mcopy -o -s -i "$t" "$target/zerka" ::/

# The Windows boot menu cannot be used here (no Windows files), so a stand-in does what it does
# with the boot.ini line C:\GRLDR="...": SYSLINUX in the MBR and on partition 1 loads the whole
# file C:\GRLDR as a boot sector, with the drive in DL, as NTLDR does.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'default grldr\nprompt 0\ntimeout 0\nlabel grldr\n  com32 chain.c32\n  append hd0 1 file=/GRLDR\n' \
  >"$work/syslinux.cfg"
bios=/usr/lib/syslinux/modules/bios
mcopy -o -i "$c" "$work/syslinux.cfg" "$bios/chain.c32" "$bios/libcom32.c32" "$bios/libutil.c32" ::/
syslinux --offset $((p1 * 512)) --install "$img"
dd if=/usr/lib/syslinux/mbr/mbr.bin of="$img" bs=440 count=1 conv=notrunc status=none

boot_check "$work/serial.log" "PMEDIA=idehd PSUBDIR=zerka" 35 "$token" \
  -drive "file=$img,format=raw,if=ide,snapshot=on"
