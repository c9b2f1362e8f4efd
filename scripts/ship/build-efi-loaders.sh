#!/usr/bin/env bash
# Builds BOOTX64.EFI and BOOTIA32.EFI, the loaders a UEFI computer starts from \EFI\BOOT\ of a
# stick, from Debian's grub-efi-amd64-bin and grub-efi-ia32-bin, and caches them per package
# versions, arguments and this script. Prints the cache folder.
#   build-efi-loaders.sh DESTDIR     # DESTDIR/BOOTX64.EFI, DESTDIR/BOOTIA32.EFI
#
# No configuration is built in: GRUB's root is then the device the firmware started it from,
# and it reads grub.cfg beside itself (the prefix). A search for the kernel instead could pick
# an internal disk that has one too. part_msdos and part_gpt let it name a partitioned stick
# (without them it stops at "grub rescue>"); efi_gop gives the kernel a screen; "linux", not
# "linuxefi", also starts a 32-bit kernel from 64-bit firmware.
set -euo pipefail
destdir=${1:?usage: build-efi-loaders.sh DESTDIR}
cache_root=${ZERKA_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/zerka}
mkdir -p "$cache_root" "$destdir"

versions=
for package in grub-common grub-efi-amd64-bin grub-efi-ia32-bin; do
  version=$(dpkg-query -W -f='${Version}' "$package" 2>/dev/null || true)
  [ -n "$version" ] || { echo "build-efi-loaders: $package is not installed" >&2; exit 1; }
  versions="$versions $package=$version"
done

prefix=/EFI/BOOT
modules="fat part_msdos part_gpt normal linux efi_gop"
# A changed recipe must not reuse the old images of a warm cache: one commit, one zip.
key=$({ cat "$0"; printf '%s\n%s\n%s\n' "$versions" "$prefix" "$modules"; } | sha256sum | cut -c1-12)
out="$cache_root/efi-loaders-$version-$key"
if [ ! -s "$out/BOOTX64.EFI" ] || [ ! -s "$out/BOOTIA32.EFI" ]; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  # The images hold only the modules and these arguments: no dates or paths, the same bytes each time.
  for target in x86_64-efi:BOOTX64.EFI i386-efi:BOOTIA32.EFI; do
    # shellcheck disable=SC2086
    grub-mkimage -O "${target%%:*}" -p "$prefix" -o "$work/${target#*:}" $modules 2>"$work/mkimage.log" \
      || { cat "$work/mkimage.log" >&2; exit 1; }
  done
  mkdir -p "$out"
  for name in BOOTX64.EFI BOOTIA32.EFI; do cp "$work/$name" "$out/$name.tmp" && mv "$out/$name.tmp" "$out/$name"; done
fi
cp "$out/BOOTX64.EFI" "$out/BOOTIA32.EFI" "$destdir/"
echo "$out"
