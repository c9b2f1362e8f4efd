#!/usr/bin/env bash
# Makes the release in dist/, the same bytes from any checkout of one commit on any machine:
# - zerka-installer-<version>.zip: a folder zerka-installer-<version>/ with the installer (32-bit
#   Windows build in BUILD_DIR, by default build/release), the tools and boot files beside it, the
#   licence texts, and README.txt (resources/README.txt.in filled in: Chinese in code page 936 and
#   English, CR LF);
# - zerka-installer-<version>-source.tar.xz: the corresponding source, namely this project at the
#   commit (its scripts build every file that ships) and, under debian-sources/, the Debian source
#   packages those files come from.
# <version> is the FileVersion string of the installer's VERSIONINFO. Prints the zip's path.
# In this order: build the installer, stage the folder, check it, zip it, make the source archive.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build/release}
cd "$root"
die() { echo "make-release: $*" >&2; exit 1; }
. scripts/ship/source-cache.sh
export ZERKA_WINDOWS_ARCH=i686  # what ships is the 32-bit program and its 32-bit tools

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
git rev-parse --verify -q HEAD >/dev/null || die "the source archive is made from a git checkout"
# The source archive holds what is built: the commit, or with changes not committed yet, the tracked
# files as they are now.
rev=$(git stash create)
[ -z "$rev" ] || echo "make-release: uncommitted changes go into the source archive" >&2
rev=${rev:-HEAD}
# A date that reaches a file and is not fixed otherwise is the commit's: a PE header the linker stamps
# (it takes SOURCE_DATE_EPOCH instead of the clock), the source archive.
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct HEAD)
export SOURCE_DATE_EPOCH

# Build
[ "$(cat "$build/wine-arch" 2>/dev/null || echo win32)" = win32 ] || die "$build is not a 32-bit build"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release \
    >"$work/build.log" 2>&1 || { cat "$work/build.log" >&2; die "cannot configure $build"; }
fi
cmake --build "$build" --target zerka-installer -j2 >"$work/build.log" 2>&1 \
  || { tail -n 40 "$work/build.log" >&2; die "cannot build the installer in $build"; }
exe="$build/zerka-installer.exe"
[ -s "$exe" ] || die "$exe was not built"

version=$(python3 - "$exe" <<'EOF'
import re, sys
data = open(sys.argv[1], 'rb').read()
# A VERSIONINFO String: the UTF-16 key, its NUL, padding to 4 bytes, then the UTF-16 value.
key = 'FileVersion\0'.encode('utf-16-le')
at = data.find(key)
if at < 0:
    sys.exit('no FileVersion in ' + sys.argv[1])
at += len(key)
at += (-at) % 4
end = at
while data[end:end + 2] != b'\0\0':
    end += 2
value = data[at:end].decode('utf-16-le')
if not re.fullmatch(r'[0-9A-Za-z.+-]+', value):
    sys.exit('odd FileVersion ' + repr(value))
print(value)
EOF
) || die "cannot read the version of $exe"

# Stage: the folder as it ships, the tools built from Debian's sources (cached)
top=zerka-installer-$version
stage="$work/$top"
mkdir -p "$stage"
cp "$exe" "$stage/zerka-installer.exe"
seven=$(scripts/ship/build-7zip.sh "$stage/7z.exe")
syslinux=$(scripts/ship/build-syslinux.sh "$stage/syslinux.exe")
scripts/ship/build-grub-loader.sh "$stage" >/dev/null
cp resources/syslinux.cfg "$stage/syslinux.cfg"
# UEFI firmware starts EFI\BOOT\BOOT<machine>.EFI of a stick; the installer copies them there.
mkdir -p "$stage/EFI/BOOT"
scripts/ship/build-efi-loaders.sh "$stage/EFI/BOOT" >/dev/null
cp resources/grub.cfg "$stage/EFI/BOOT/grub.cfg"
mbr_bin=/usr/lib/syslinux/mbr/mbr.bin  # the boot code the installer puts into a stick's blank MBR
cp "$mbr_bin" "$stage/mbr.bin"

# The licence texts, with CR LF line ends for Notepad. LICENSE is this project's own (GPL-3).
licences=()
licence() { sed 's/\r*$/\r/' "$2" >"$stage/$1"; licences+=("$1"); }
licence GPL-2.txt /usr/share/common-licenses/GPL-2
licence GPL-3.txt LICENSE
licence LGPL-2.1.txt /usr/share/common-licenses/LGPL-2.1
licence 7-Zip-License.txt "$(dirname "$seven")/License.txt"
# SYSLINUX's MBR code is under the Expat (MIT) licence, whose text Debian keeps in its copyright file.
{
  echo "mbr.bin: SYSLINUX's master boot record code (mbr/mbr.S)"
  echo "Copyright 2007-2009 H. Peter Anvin; 2009-2014 Intel Corporation; author: H. Peter Anvin"
  echo
  # The stand-alone paragraph "License: Expat" and its text, each line indented by one blank.
  awk -v RS= '/^License: Expat\n / { sub(/^[^\n]*\n/, ""); print; exit }' /usr/share/doc/syslinux-common/copyright |
    sed 's/^ //; s/^\.$//'
} >"$work/mbr-license"
grep -q 'Permission is hereby granted' "$work/mbr-license" || die "no Expat licence text in syslinux-common"
licence MBR-License.txt "$work/mbr-license"
# The MinGW-w64 runtime (start-up code, gdtoa behind printf...) is linked into the three programs. Its licensing
# file holds the notices a binary distribution must carry; it comes from the source package of the runtime
# installed, which built the programs (the tool caches are keyed on it).
mingw=$(dpkg-query -W -f='${source:Package}=${source:Version}' mingw-w64-i686-dev)
orig=$(source_package "${mingw%%=*}" "${mingw#*=}" | grep '\.orig\.tar\.[a-z0-9]*$') || die "no source package $mingw"
tar -xOf "$orig" --wildcards '*/COPYING.MinGW-w64-runtime/COPYING.MinGW-w64-runtime.txt' >"$work/mingw-license"
grep -q 'MinGW-w64 runtime licensing' "$work/mingw-license" || die "no runtime licensing file in $orig"
licence MinGW-w64-License.txt "$work/mingw-license"

# What ships, one row a file: its path in the folder, the licence texts that cover it, and the Debian
# source packages it comes from (PACKAGE=VERSION, none for this project's own files). README.txt maps
# each file to its licence texts from these rows, and the source archive takes these packages.
rows=() packages=()
ship() {
  local lic
  [ -s "$stage/$1" ] || die "$1 was not made"
  for lic in $2; do [ -s "$stage/$lic" ] || die "$1: no licence text $lic"; done
  rows+=("$(printf -- '- %-20s %s' "$1" "${2// /, }")")
  # shellcheck disable=SC2206  # one word a package
  packages+=($3)
}
origin() { cat "$(dirname "$1")/origin"; }  # the package a cached tool was built from
source_of() { dpkg-query -W -f='${source:Package}=${source:Version}' "$1"; }  # of an installed package
ship zerka-installer.exe "GPL-3.txt LGPL-2.1.txt MinGW-w64-License.txt" "$(cat "$build/gnuregex/origin") $mingw"
ship 7z.exe "7-Zip-License.txt LGPL-2.1.txt MinGW-w64-License.txt" "$(origin "$seven") $mingw"
ship syslinux.exe "GPL-2.txt MinGW-w64-License.txt" "$(origin "$syslinux") $mingw"
ship grldr GPL-3.txt "$(source_of grub-pc-bin)"
ship syslinux.cfg GPL-3.txt ""
ship EFI/BOOT/BOOTX64.EFI GPL-3.txt "$(source_of grub-efi-amd64-bin)"
ship EFI/BOOT/BOOTIA32.EFI GPL-3.txt "$(source_of grub-efi-ia32-bin)"
ship EFI/BOOT/grub.cfg GPL-3.txt ""
ship mbr.bin MBR-License.txt "$(source_of syslinux-common)"
mapfile -t packages < <(printf '%s\n' "${packages[@]}" | sort -u)

# README.txt: its text with the version, the file-to-licence rows, the source packages and each one's
# version filled in. Notepad on a Chinese Windows reads code page 936 with CR LF.
readme=$(<resources/README.txt.in)
readme=${readme//@version@/"$version"}
readme=${readme//@licences@/"$(printf '%s\n' "${rows[@]}")"}
readme=${readme//@sources@/"$(for p in "${packages[@]}"; do echo "  - ${p%%=*} ${p#*=}"; done)"}
for p in "${packages[@]}"; do readme=${readme//@${p%%=*}@/"${p#*=}"}; done
! grep -o '@[a-z0-9.+-]*@' <<<"$readme" >&2 || die "README.txt.in names these, and nothing fills them in"
printf '%s\n' "$readme" | iconv -f UTF-8 -t CP936 | sed 's/$/\r/' >"$stage/README.txt"

# Check: every file has its row, and none holds a path of this build
files=$(cd "$stage" && find . -type f | sed 's|^\./||' | sort)
known=$(printf '%s\n' "${rows[@]}" "${licences[@]}" README.txt)
for f in $files; do
  grep -q -e "^- $f " -e "^$f\$" <<<"$known" || die "$f has no row"
done
# Nothing that ships may hold a folder of this build: another folder or machine would give other bytes.
for f in $files; do
  ! grep -qaF -e "$root" -e "$cache_root" -e "$work" "$stage/$f" || die "$f holds a build path"
done

# Zip: sorted entries, one fixed date, the archive attribute alone
mkdir -p dist
zip="dist/$top.zip"
python3 - "$work" "$top" "$zip.tmp" <<'EOF'
import os, sys, zipfile
base, top, out = sys.argv[1:4]
names = sorted(os.path.relpath(os.path.join(d, f), base)
               for d, _, files in os.walk(os.path.join(base, top)) for f in files)
with zipfile.ZipFile(out, 'w', zipfile.ZIP_DEFLATED, compresslevel=9) as z:
    for name in names:
        info = zipfile.ZipInfo(name, date_time=(2000, 1, 1, 0, 0, 0))
        info.compress_type = zipfile.ZIP_DEFLATED
        info.create_system = 0
        info.external_attr = 0x20  # FILE_ATTRIBUTE_ARCHIVE only
        with open(os.path.join(base, name), 'rb') as f:
            z.writestr(info, f.read(), compresslevel=9)
EOF
mv "$zip.tmp" "$zip"

# Source archive: the project as git holds it, and the source packages as Debian signed them.
src="$work/$top-source"
mkdir -p "$src/debian-sources"
git archive "$rev" | tar -x -C "$src"
for p in "${packages[@]}"; do
  list=$(source_package "${p%%=*}" "${p#*=}") || die "no source package $p"
  while read -r f; do cp "$f" "$src/debian-sources/"; done <<<"$list"
done
tarball="dist/$top-source.tar.xz"
tar -C "$work" --sort=name --mtime="@$SOURCE_DATE_EPOCH" --owner=0 --group=0 --numeric-owner \
  --mode=u=rwX,go=rX --format=gnu -cf - "$top-source" | xz -T1 >"$tarball.tmp"
mv "$tarball.tmp" "$tarball"
echo "$zip"
