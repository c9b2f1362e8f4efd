#!/usr/bin/env bash
# Builds the Windows SYSLINUX installer (syslinux.exe) from Debian's syslinux source package
# with MinGW-w64 and caches it per source version. The same build makes the 64-bit program
# (syslinux64.exe) when MinGW-w64 for x86_64 is installed; ZERKA_WINDOWS_ARCH=x86_64 asks for
# that one, for the tests on machines that run no 32-bit code.
# Prints the path of the cached program; with an argument, also copies it there.
set -euo pipefail
arch=${ZERKA_WINDOWS_ARCH:-i686}
case $arch in i686) exe=win32/syslinux.exe ;; x86_64) exe=win64/syslinux64.exe ;;
  *) echo "build-syslinux: unknown target $arch" >&2; exit 1 ;; esac
. "$(dirname "$0")/source-cache.sh"
cached_build syslinux "$(basename "$exe")" "${1:-}"
(
  cd "$work"
  # apt-get source unpacks and applies Debian's patches; the tree is always called "src" so
  # that no random directory name can reach the binary.
  apt-get source "syslinux=$version" >fetch.log 2>&1 || { cat fetch.log >&2; exit 1; }
  mv "$(find . -maxdepth 1 -type d -name 'syslinux-*')" src
  cd src
  # Dates fixed from the changelog, as Debian's rules do, so two builds give the same bytes.
  epoch=$(dpkg-parsechangelog -STimestamp)
  date=$(TZ=UTC0 date -d "@$epoch" +%Y%m%d)
  hexdate=$(printf '0x%08x' "$epoch")
  # The BIOS side comes first in the same make: the Windows installer embeds ldlinux.sys,
  # ldlinux.bss, ldlinux.c32 and mbr.bin from it.
  SOURCE_DATE_EPOCH=$epoch make -j2 bios DATE="$date" HEXDATE="$hexdate" PYTHON=python3 \
      >build.log 2>&1 || { tail -n 40 build.log >&2; exit 1; }
  [ -s "bios/$exe" ] || { echo "build-syslinux: bios/$exe was not built (MinGW missing?)" >&2; exit 1; }
  mkdir -p "$(dirname "$out")"
  # Both programs of this build go into the cache, the one asked for last.
  for made in bios/win32/syslinux.exe bios/win64/syslinux64.exe; do
    [ "$made" = "bios/$exe" ] || [ ! -s "$made" ] || cp "$made" "$(dirname "$out")/"
  done
  cp "bios/$exe" "$out.tmp" && mv "$out.tmp" "$out"
)
deliver "$out"
