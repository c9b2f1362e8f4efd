#!/usr/bin/env bash
# Builds grldr, the file the installer copies to C:\GRLDR and boot.ini starts as a boot sector,
# from Debian's grub-pc-bin, and caches it per package version, this script and grub-mkimage.
# Prints the path of the cached grldr and copies it into DESTDIR.
#
# One file is enough: NTLDR reads the whole file named in boot.ini to 0000:7C00 and jumps there
# (GRUB for DOS's GRLDR relies on the same), which is how GRUB's own i386-pc-pxe image expects
# to be started: pxeboot.img (ljmp to 0000:8200), diskboot.img, then the core image at 0x8200.
# The core image finds the partition holding /menu.lst and reads that GRUB-legacy file.
set -euo pipefail
destdir=${1:?usage: build-grub-loader.sh DESTDIR}
mkdir -p "$destdir"
. "$(dirname "$0")/source-cache.sh"

version=$(dpkg-query -W -f='${Version}' grub-pc-bin 2>/dev/null || true)
[ -n "$version" ] && [ -d /usr/lib/grub/i386-pc ] \
  || { echo "build-grub-loader: grub-pc-bin is not installed" >&2; exit 1; }

# The built-in configuration: short menu timeout; the installer writes menu.lst with CR LF line
# ends, which GRUB's line reader drops.
config='search --no-floppy --file --set=root /menu.lst
set timeout=3
export timeout
legacy_configfile /menu.lst
'
# ntfscomp reads the files of a compressed folder on NTFS (what XP's "compress drive" leaves).
modules="biosdisk part_msdos fat ntfs ntfscomp search search_fs_file legacycfg linux16 normal echo test"
cached_build "grub-loader-$version" grldr "$destdir/grldr" \
  "$(packages_of grub-mkimage /usr/lib/grub/i386-pc/kernel.img)"
printf '%s' "$config" >"$work/embed.cfg"
# The output depends only on the package's modules and these arguments: no dates or paths.
# shellcheck disable=SC2086
grub-mkimage -O i386-pc-pxe -p /boot/grub -c "$work/embed.cfg" -o "$work/grldr" $modules \
  2>"$work/mkimage.log" || { cat "$work/mkimage.log" >&2; exit 1; }
mkdir -p "$(dirname "$out")"
cp "$work/grldr" "$out.tmp" && mv "$out.tmp" "$out"
deliver "$out"
