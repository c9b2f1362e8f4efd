#!/usr/bin/env bash
# Builds GNU regex from Debian's gnulib as a static library for MinGW-w64 (MinGW has no
# <regex.h>) and caches it per gnulib version, target (ZERKA_WINDOWS_ARCH: i686, the default, or
# x86_64), this script and the compilers.
# Usage: build-gnu-regex.sh OUTDIR   -> OUTDIR/lib/libgnuregex.a, OUTDIR/include/regex.h, and
# OUTDIR/origin naming the source package (gnulib=VERSION)
set -euo pipefail
outdir=$1
arch=${ZERKA_WINDOWS_ARCH:-i686}
case $arch in i686|x86_64) ;; *) echo "build-gnu-regex: unknown target $arch" >&2; exit 1 ;; esac
. "$(dirname "$0")/source-cache.sh"
version=$(dpkg-query -W -f='${source:Version}' gnulib)
shopt -s inherit_errexit
cached=$(
  cached_build "gnuregex-$version-$arch" lib/libgnuregex.a "" "$version" "$arch" "$(mingw_packages "$arch")" \
    "$(packages_of gnulib-tool autoconf automake)"
  gnulib-tool --create-testdir --dir="$work/src" --without-tests regex >"$work/tool.log" 2>&1 \
    || { tail -n 30 "$work/tool.log" >&2; exit 1; }
  mkdir -p "$work/bld" "$(dirname "$out")/../include"
  # Windows threads, so the library does not pull in winpthreads; no build path in the objects.
  (cd "$work/bld" && "$work/src/configure" --host="$arch-w64-mingw32" --enable-threads=windows \
      --with-included-regex --disable-dependency-tracking CFLAGS="-O2 -ffile-prefix-map=$work=." \
      >"$work/configure.log" 2>&1 && make -j"$(nproc)" >"$work/make.log" 2>&1) \
    || { tail -n 30 "$work"/*.log >&2; exit 1; }
  # regex.h alone: the build's other headers replace the C library's.
  cp "$work/src/gllib/regex.h" "$(dirname "$out")/../include/regex.h"
  cp "$work/bld/gllib/libgnu.a" "$out.tmp" && mv "$out.tmp" "$out"
  deliver "$out"
)
mkdir -p "$outdir/lib" "$outdir/include"
cp "$cached" "$outdir/lib/libgnuregex.a"
cp "$(dirname "$cached")/../include/regex.h" "$outdir/include/regex.h"
echo "gnulib=$version" >"$outdir/origin"
