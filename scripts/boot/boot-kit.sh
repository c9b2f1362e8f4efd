#!/usr/bin/env bash
# Makes a test kit for boot proofs in DIR: vmlinuz (Debian's current 6.1 kernel, taken from its
# package without installing it, cached per package version), initrd.gz (a static /init that
# reports the kernel command line and this kit's token on the serial port, then tells QEMU the
# verdict through isa-debug-exit) and initrd.token (the random token inside that initrd).
# QEMU's exit code is (value << 1) | 1: 33 usbflash seen, 35 idehd seen, 37 neither.
set -euo pipefail
export LC_ALL=C  # apt-cache output is parsed below, and it is translated in other locales
dir=${1:?usage: boot-kit.sh DIR}
cache_root=${ZERKA_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/zerka}
mkdir -p "$cache_root" "$dir"
die() { echo "boot-kit: $*" >&2; exit 1; }

pkg=$(apt-cache depends linux-image-amd64 2>/dev/null \
  | sed -n 's/^ *Depends: \(linux-image-6\.1\.0-.*-amd64\)$/\1/p' | head -n 1 || true)
ver=
[ -n "$pkg" ] && ver=$(apt-cache policy "$pkg" 2>/dev/null | sed -n 's/^ *Candidate: //p' || true)
if [ -n "$ver" ] && [ "$ver" != "(none)" ]; then
  kernel="$cache_root/kernel-${pkg}_$ver/vmlinuz"
else
  # No package lists right now: a kernel fetched earlier will do.
  kernel=$(ls -1d "$cache_root"/kernel-*/vmlinuz 2>/dev/null | sort -V | tail -n 1 || true)
  [ -n "$kernel" ] || die "no linux-image-6.1.0-*-amd64 package known (apt-get update)"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ ! -s "$kernel" ]; then
  # Only the kernel is kept; the 70 MB package is dropped at once.
  (cd "$work" && apt-get download "$pkg=$ver" >fetch.log 2>&1) \
    || { cat "$work/fetch.log" >&2; die "cannot download $pkg"; }
  dpkg-deb --fsys-tarfile "$work"/*.deb | tar -x -C "$work" --wildcards './boot/vmlinuz-*'
  mkdir -p "$(dirname "$kernel")"
  cp "$work"/boot/vmlinuz-* "$kernel.tmp" && mv "$kernel.tmp" "$kernel"
fi
cp "$kernel" "$dir/vmlinuz"

gcc -static -Os -s -o "$work/init" "$(dirname "$0")/boot_init.c" 2>"$work/cc.log" \
  || { cat "$work/cc.log" >&2; die "cannot build /init"; }

root="$work/root"
mkdir -p "$root/proc" "$root/dev"
cp "$work/init" "$root/init"
token=$(od -An -N12 -tx1 /dev/urandom | tr -d ' \n')
echo "$token" >"$root/zerka-token"
(cd "$root" && find . | LC_ALL=C sort | cpio -o -H newc --quiet) | gzip -9 >"$dir/initrd.gz"
echo "$token" >"$dir/initrd.token"
