#!/usr/bin/env bash
# Makes an ISO image shaped like the zerka live ISO's root from a boot kit (scripts/boot-kit.sh):
# vmlinuz, initrd.gz and a small squashfs image zerka_test.sfs.
set -euo pipefail
kit=${1:?usage: make-boot-iso.sh KITDIR OUT.iso}
out=${2:?usage: make-boot-iso.sh KITDIR OUT.iso}
for f in vmlinuz initrd.gz; do
  [ -s "$kit/$f" ] || { echo "make-boot-iso: $kit/$f missing (run scripts/boot-kit.sh)" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/root" "$work/sfs"
cp "$kit/vmlinuz" "$kit/initrd.gz" "$work/root/"
echo "zerka test root" >"$work/sfs/README"
head -c 65536 /dev/urandom >"$work/sfs/data"
mksquashfs "$work/sfs" "$work/root/zerka_test.sfs" -noappend -quiet >/dev/null
xorriso -as mkisofs -quiet -R -J -o "$out" "$work/root" 2>"$work/iso.log" \
  || { cat "$work/iso.log" >&2; exit 1; }
