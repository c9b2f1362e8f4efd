#!/usr/bin/env bash
# Builds GNU regex from Debian's gnulib as a static library for MinGW-w64 (MinGW has no
# <regex.h>) and caches it per gnulib version and target (ZERKA_WINDOWS_ARCH: i686, the
# default, or x86_64).
# Usage: build-gnu-regex.sh OUTDIR   -> OUTDIR/lib/libgnuregex.a, OUTDIR/include/regex.h
set -euo pipefail
out=$1
arch=${ZERKA_WINDOWS_ARCH:-i686}
case $arch in i686|x86_64) ;; *) echo "build-gnu-regex: unknown target $arch" >&2; exit 1 ;; esac
cache_root=${ZERKA_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/zerka}
version=$(dpkg-query -W -f='${Version}' gnulib)
cached="$cache_root/gnuregex-$version-$arch"
if [ ! -s "$cached/lib/libgnuregex.a" ]; then
  work=$(mktemp -d "${TMPDIR:-/tmp}/gnuregex.XXXXXX")
  trap 'rm -rf "$work"' EXIT
  gnulib-tool --create-testdir --dir="$work/src" --without-tests regex >"$work/tool.log" 2>&1 \
    || { tail -n 30 "$work/tool.log" >&2; exit 1; }
  mkdir -p "$work/bld"
  # Windows threads, so the library does not pull in winpthreads.
  (cd "$work/bld" && "$work/src/configure" --host=$arch-w64-mingw32 --enable-threads=windows \
      --with-included-regex --disable-dependency-tracking CFLAGS=-O2 >"$work/configure.log" 2>&1 \
      && make -j"$(nproc)" >"$work/make.log" 2>&1) \
    || { tail -n 30 "$work"/*.log >&2; exit 1; }
  mkdir -p "$cached.tmp/lib" "$cached.tmp/include"
  cp "$work/bld/gllib/libgnu.a" "$cached.tmp/lib/libgnuregex.a"
  # regex.h alone: the build's other headers replace the C library's.
  cp "$work/src/gllib/regex.h" "$cached.tmp/include/regex.h"
  rm -rf "$cached"; mv "$cached.tmp" "$cached"
fi
mkdir -p "$out/lib" "$out/include"
cp "$cached/lib/libgnuregex.a" "$out/lib/"
cp "$cached/include/regex.h" "$out/include/"
