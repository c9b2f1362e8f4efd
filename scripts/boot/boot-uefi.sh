#!/usr/bin/env bash
# Starts what the installer left on a removable drive (TREE: zerka/vmlinuz, zerka/initrd.gz and
# EFI/BOOT/ with BOOTX64.EFI, BOOTIA32.EFI and grub.cfg) as a USB stick on a UEFI computer:
# Debian's OVMF in QEMU, 64-bit (x64) or 32-bit firmware on a 64-bit CPU (ia32). The stick is
# one FAT32 partition made without mounting anything; its boot code stays blank and no partition
# is active, which UEFI never looks at. Given a STICK, a copy of it is started instead, its
# partition 1 keeping the file system the installer made there. Exits 0 only when the installed kernel reports
# PMEDIA=usbflash PSUBDIR=zerka from the installed initrd. Secure Boot stays off: the variables
# start empty, and an unsigned loader would be refused.
set -euo pipefail
. "$(dirname "$0")/boot-lib.sh"
tree=${1:?usage: boot-uefi.sh TREE x64|ia32 [STICK]}
firmware=${2:?usage: boot-uefi.sh TREE x64|ia32 [STICK]}
stick=${3:-}
ovmf=/usr/share/OVMF
# shellcheck disable=SC2054  # the commas belong to QEMU's options
case $firmware in
  x64) loader=BOOTX64.EFI code=$ovmf/OVMF_CODE_4M.fd vars=$ovmf/OVMF_VARS_4M.fd machine=() ;;
  # Debian builds 32-bit OVMF only with SMM; Secure Boot is still off with empty variables.
  ia32) loader=BOOTIA32.EFI code=$ovmf/OVMF32_CODE_4M.secboot.fd vars=$ovmf/OVMF32_VARS_4M.fd
    machine=(-machine q35,smm=on -global driver=cfi.pflash01,property=secure,value=on) ;;
  *) die "firmware must be x64 or ia32, not '$firmware'" ;;
esac
for f in "$code" "$vars"; do [ -s "$f" ] || die "$f missing (packages ovmf, ovmf-ia32)"; done
token=$(installed_token "$tree" "EFI/BOOT/$loader" EFI/BOOT/grub.cfg)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
img="$work/stick.img"
start=2048 sectors=262144  # 128 MiB, enough clusters for FAT32
if [ -n "$stick" ]; then
  cp --sparse=always "$stick" "$img"
  start=$(part_start "$img" 1)
else
  truncate -s $((sectors * 512)) "$img"
  echo "start=$start, type=c" | sfdisk --quiet --no-reread --no-tell-kernel "$img" >/dev/null
  out=$(mkfs.vfat -F 32 -n ZERKA --offset $start -h $start "$img" $(((sectors - start) / 2)) 2>&1) \
    || die "mkfs.vfat: $out"
fi
mcopy -s -i "$img@@$((start * 512))" "$tree"/* ::/
# The firmware writes its variables: each run starts from a fresh copy.
cp "$vars" "$work/vars.fd"

boot_check "$work/serial.log" "PMEDIA=usbflash PSUBDIR=zerka" 33 "$token" "${machine[@]}" \
  -drive "if=pflash,format=raw,unit=0,readonly=on,file=$code" -drive "if=pflash,format=raw,unit=1,file=$work/vars.fd" \
  -device qemu-xhci,id=usbc -drive "if=none,id=stick,file=$img,format=raw,snapshot=on" \
  -device usb-storage,bus=usbc.0,drive=stick,bootindex=1
