#!/usr/bin/env bash
# Builds the Windows SYSLINUX installer (syslinux.exe) from Debian's syslinux source package
# with MinGW-w64 and caches it per source version.
# Prints the path of the cached syslinux.exe; with an argument, also copies it there.
set -euo pipefail
dest=${1:-}
cache_root=${ZERKA_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/zerka}
mkdir -p "$cache_root"

deliver() {
  [ -z "$dest" ] || cp "$1" "$dest"
  echo "$1"
  exit 0
}

version=$(apt-cache showsrc syslinux 2>/dev/null | sed -n 's/^Version: //p' | sort -V | tail -n 1 || true)
if [ -z "$version" ]; then
  # The package lists may be busy or lack sources right now: a build made earlier will do.
  cached=$(ls -1d "$cache_root"/syslinux-*/syslinux.exe 2>/dev/null | sort -V | tail -n 1 || true)
  [ -n "$cached" ] && deliver "$cached"
  echo "build-syslinux: no source package syslinux (enable deb-src and apt-get update)" >&2
  exit 1
fi
out="$cache_root/syslinux-$version/syslinux.exe"
[ -s "$out" ] && deliver "$out"

work=$(mktemp -d "$cache_root/syslinux-build.XXXXXX")
trap 'rm -rf "$work"' EXIT
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
  exe=bios/win32/syslinux.exe
  [ -s "$exe" ] || { echo "build-syslinux: $exe was not built (MinGW missing?)" >&2; exit 1; }
  mkdir -p "$(dirname "$out")"
  cp "$exe" "$out.tmp" && mv "$out.tmp" "$out"
)
deliver "$out"
