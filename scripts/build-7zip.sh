#!/usr/bin/env bash
# Builds a Windows 7-Zip console program (7zz, all formats, ISO included) from Debian's
# 7zip source package with MinGW-w64 and caches it per source version and target.
# ZERKA_WINDOWS_ARCH picks the target: i686 (the default, what ships) or x86_64 (tests on
# machines that run no 32-bit code).
# Prints the path of the cached 7z.exe; with an argument, also copies it there.
set -euo pipefail
arch=${ZERKA_WINDOWS_ARCH:-i686}
case $arch in i686|x86_64) ;; *) echo "build-7zip: unknown target $arch" >&2; exit 1 ;; esac
. "$(dirname "$0")/source-cache.sh"
cached_build 7zip "$arch/7z.exe" "${1:-}"
(
  cd "$work"
  apt-get source --download-only "7zip=$version" >/dev/null 2>&1
  tar xf 7zip_*.orig.tar.*
  cd */CPP/7zip/Bundles/Alone2
  # Debian's source has the RAR code removed, so RAR must be disabled.
  make -j"$(nproc)" -f makefile.gcc IS_MINGW=1 DISABLE_RAR=1 \
      CC=$arch-w64-mingw32-gcc CXX=$arch-w64-mingw32-g++ \
      RC=$arch-w64-mingw32-windres CROSS_COMPILE=$arch-w64-mingw32- >build.log 2>&1 \
      || { tail -n 40 build.log >&2; exit 1; }
  mkdir -p "$(dirname "$out")"
  cp _o/7zz.exe "$out.tmp" && mv "$out.tmp" "$out"
)
deliver "$out"
