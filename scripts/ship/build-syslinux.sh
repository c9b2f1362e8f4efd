#!/usr/bin/env bash
# Builds the Windows SYSLINUX installer (syslinux.exe) with MinGW-w64 from Debian's syslinux source
# package, Debian's patches applied, and caches it with the source package it came from (origin)
# beside it. The same build makes the 64-bit program (syslinux64.exe) when MinGW-w64 for x86_64 is
# installed; ZERKA_WINDOWS_ARCH=x86_64 asks for that one, for the tests on machines that run no
# 32-bit code.
# Prints the path of the cached program; with an argument, also copies it there.
set -euo pipefail
arch=${ZERKA_WINDOWS_ARCH:-i686}
case $arch in i686) exe=win32/syslinux.exe ;; x86_64) exe=win64/syslinux64.exe ;;
  *) echo "build-syslinux: unknown target $arch" >&2; exit 1 ;; esac
. "$(dirname "$0")/source-cache.sh"
version=$(source_version syslinux)
# The BIOS side is built with the machine's own compiler and assembler and embedded in the program.
cached_build "syslinux-${version#*:}-$arch" "$(basename "$exe")" "${1:-}" "$version" "$arch" \
  "$(mingw_packages "$arch")" "$(packages_of gcc ld nasm)"
dsc=$(source_package syslinux "$version" | sed -n 1p)
(
  cd "$work"
  # The tree is always called "src" so that no random directory name can reach the binary.
  dpkg-source -x "$dsc" src >unpack.log 2>&1 || { cat unpack.log >&2; exit 1; }
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
  echo "syslinux=$version" >"$(dirname "$out")/origin"
  cp "bios/$exe" "$out.tmp" && mv "$out.tmp" "$out"
)
deliver "$out"
