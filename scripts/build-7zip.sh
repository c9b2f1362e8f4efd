#!/usr/bin/env bash
# Builds a Windows 7-Zip console program (7zz, all formats, ISO included) from Debian's
# 7zip source package with MinGW-w64 and caches it per source version.
# Prints the path of the cached 7z.exe; with an argument, also copies it there.
set -euo pipefail
dest=${1:-}
cache_root=${ZERKA_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/zerka}
mkdir -p "$cache_root"

deliver() {
  [ -z "$dest" ] || cp "$1" "$dest"
  echo "$1"
  exit 0
}

version=$(apt-cache showsrc 7zip 2>/dev/null | sed -n 's/^Version: //p' | sort -V | tail -n 1 || true)
if [ -z "$version" ]; then
  # The package lists may be busy or lack sources right now: a build made earlier will do.
  cached=$(ls -1d "$cache_root"/7zip-*/7z.exe 2>/dev/null | sort -V | tail -n 1 || true)
  [ -n "$cached" ] && deliver "$cached"
  echo "build-7zip: no source package 7zip (enable deb-src and apt-get update)" >&2
  exit 1
fi
out="$cache_root/7zip-$version/7z.exe"
[ -s "$out" ] && deliver "$out"

work=$(mktemp -d "$cache_root/7zip-build.XXXXXX")
trap 'rm -rf "$work"' EXIT
(
  cd "$work"
  apt-get source --download-only "7zip=$version" >/dev/null 2>&1
  tar xf 7zip_*.orig.tar.*
  cd */CPP/7zip/Bundles/Alone2
  # Debian's source has the RAR code removed, so RAR must be disabled.
  make -j"$(nproc)" -f makefile.gcc IS_MINGW=1 DISABLE_RAR=1 \
      CC=i686-w64-mingw32-gcc CXX=i686-w64-mingw32-g++ \
      RC=i686-w64-mingw32-windres CROSS_COMPILE=i686-w64-mingw32- >build.log 2>&1 \
      || { tail -n 40 build.log >&2; exit 1; }
  mkdir -p "$(dirname "$out")"
  cp _o/7zz.exe "$out.tmp" && mv "$out.tmp" "$out"
)
deliver "$out"
