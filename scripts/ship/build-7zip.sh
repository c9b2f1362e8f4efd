#!/usr/bin/env bash
# Builds a Windows 7-Zip console program (7zz, all formats, ISO included) with MinGW-w64 from
# Debian's 7zip source package, Debian's patches applied, and caches it with 7-Zip's licence text
# (License.txt) and the source package it came from (origin) beside it.
# ZERKA_WINDOWS_ARCH picks the target: i686 (the default, what ships) or x86_64 (tests on
# machines that run no 32-bit code).
# Prints the path of the cached 7z.exe; with an argument, also copies it there.
set -euo pipefail
arch=${ZERKA_WINDOWS_ARCH:-i686}
case $arch in i686|x86_64) ;; *) echo "build-7zip: unknown target $arch" >&2; exit 1 ;; esac
. "$(dirname "$0")/source-cache.sh"
version=$(source_version 7zip)
cached_build "7zip-$version-$arch" 7z.exe "${1:-}" "$version" "$arch" "$(mingw_packages "$arch")"
dsc=$(source_package 7zip "$version" | sed -n 1p)
(
  cd "$work"
  dpkg-source -x "$dsc" src >unpack.log 2>&1 || { cat unpack.log >&2; exit 1; }
  cd src/CPP/7zip/Bundles/Alone2
  # Debian's source has the RAR code removed, so RAR must be disabled. Debian's first patch takes
  # the flags through DEB_7Z_*: no build path in the program, and stripped (its -s is dropped).
  # The link stamps the PE header with the date of Debian's changelog.
  flags="-ffile-prefix-map=$work=."
  SOURCE_DATE_EPOCH=$(dpkg-parsechangelog -l "$work/src/debian/changelog" -STimestamp) \
    make -j"$(nproc)" -f makefile.gcc IS_MINGW=1 DISABLE_RAR=1 \
      CC=$arch-w64-mingw32-gcc CXX=$arch-w64-mingw32-g++ \
      RC=$arch-w64-mingw32-windres CROSS_COMPILE=$arch-w64-mingw32- \
      DEB_7Z_CFLAGS="$flags" DEB_7Z_CXXFLAGS="$flags" DEB_7Z_LDFLAGS=-s >build.log 2>&1 \
      || { tail -n 40 build.log >&2; exit 1; }
  mkdir -p "$(dirname "$out")"
  cp "$work/src/DOC/License.txt" "$(dirname "$out")/License.txt"
  echo "7zip=$version" >"$(dirname "$out")/origin"
  cp _o/7zz.exe "$out.tmp" && mv "$out.tmp" "$out"
)
deliver "$out"
