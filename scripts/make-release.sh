#!/usr/bin/env bash
# Makes the release in dist/, the same bytes from any checkout of one commit on any machine:
# - zerka-installer-<version>.zip: a folder zerka-installer-<version>/ with the installer (32-bit
#   Windows build in BUILD_DIR, by default build/release), the tools and boot files beside it, the
#   licence texts, and README.txt (Chinese in code page 936 and English, CR LF);
# - zerka-installer-<version>-source.tar.xz: the corresponding source, namely this project at the
#   commit (its scripts build every file that ships) and, under debian-sources/, the Debian source
#   packages those files come from.
# <version> is the FileVersion string of the installer's VERSIONINFO. Prints the zip's path.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build/release}
cd "$root"
die() { echo "make-release: $*" >&2; exit 1; }
. scripts/source-cache.sh
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

top=zerka-installer-$version
stage="$work/$top"
mkdir -p "$stage"
cp "$exe" "$stage/zerka-installer.exe"
seven=$(scripts/build-7zip.sh "$stage/7z.exe")
syslinux=$(scripts/build-syslinux.sh "$stage/syslinux.exe")
scripts/build-grub-loader.sh "$stage" >/dev/null
cp resources/syslinux.cfg "$stage/syslinux.cfg"
# UEFI firmware starts EFI\BOOT\BOOT<machine>.EFI of a stick; the installer copies them there.
mkdir -p "$stage/EFI/BOOT"
scripts/build-efi-loaders.sh "$stage/EFI/BOOT" >/dev/null
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
ship zerka-installer.exe "GPL-3.txt LGPL-2.1.txt" "$(cat "$build/gnuregex/origin")"
ship 7z.exe "7-Zip-License.txt LGPL-2.1.txt" "$(origin "$seven")"
ship syslinux.exe GPL-2.txt "$(origin "$syslinux")"
ship grldr GPL-3.txt "$(source_of grub-pc-bin)"
ship syslinux.cfg GPL-3.txt ""
ship EFI/BOOT/BOOTX64.EFI GPL-3.txt "$(source_of grub-efi-amd64-bin)"
ship EFI/BOOT/BOOTIA32.EFI GPL-3.txt "$(source_of grub-efi-ia32-bin)"
ship EFI/BOOT/grub.cfg GPL-3.txt ""
ship mbr.bin MBR-License.txt "$(source_of syslinux-common)"
mapfile -t packages < <(printf '%s\n' "${packages[@]}" | sort -u)
version_of() { local p; for p in "${packages[@]}"; do [ "${p%%=*}" != "$1" ] || echo "${p#*=}"; done; }
files=$(cd "$stage" && find . -type f | sed 's|^\./||' | sort)
known=$(printf '%s\n' "${rows[@]}" "${licences[@]}")
for f in $files; do
  grep -q -e "^- $f " -e "^$f\$" <<<"$known" || die "$f has no row"
done
# Nothing that ships may hold a folder of this build: another folder or machine would give other bytes.
for f in $files; do
  ! grep -qaF -e "$root" -e "$cache_root" -e "$work" "$stage/$f" || die "$f holds a build path"
done

sources_list=$(for p in "${packages[@]}"; do echo "  - ${p%%=*} ${p#*=}"; done)
mapping=$(printf '%s\n' "${rows[@]}")
# shellcheck disable=SC1111  # Chinese quotation marks, not shell quotes
cat >"$work/readme.txt" <<EOF
zerka U盘/硬盘安装程序 $version
==============================

本程序把 zerka 的 ISO 镜像安装到 U 盘或硬盘分区上，并使其可以启动。
选择 ISO 镜像和目标盘符，按“开始”：程序检查镜像、目标盘的文件系统和剩余空间，
把内核 vmlinuz、初始内存盘 initrd.gz 和 *.sfs 解压到目标盘的 zerka\\ 目录，
然后安装引导程序：
- U 盘（可移动盘）：U 盘必须是 FAT 格式（最好是 FAT32），否则请勾选“安装前格式化”；
  程序把 syslinux.cfg 复制到盘的根目录，把 UEFI 引导程序复制到 EFI\\BOOT\\ 目录，
  运行 syslinux；如果 U 盘有分区表，而主引导记录的引导代码为空，就写入 mbr.bin，
  没有活动分区时把目标分区设为活动分区。这样 U 盘在 BIOS 和 UEFI 电脑上都能启动。
- 硬盘分区：把 grldr 复制为 C:\\GRLDR，在 C:\\menu.lst 中添加启动项，
  并在 C:\\boot.ini 中添加一行，开机时在 Windows 启动菜单中选择 "zerka (kestrix)"。
  第一次修改前，原来的文件会保存为 C:\\boot.ini.before-zerka、C:\\menu.lst.before-zerka、
  C:\\GRLDR.before-zerka 和 C:\\g2ldr.before-zerka（以后的安装不会覆盖这些副本）；
  把它们复制回原来的名字即可恢复。
解压之后、安装引导程序之前，程序把 zerka\\ 中的每个文件从盘上重新读出，与 7-Zip 给出的
SHA-256 校验值比较；复制到盘上的引导文件也与原文件比较。如果日志说某个文件“读回的内容与写入的不同”，
说明这个盘不能保存写入的数据（U 盘已损坏，或是虚标容量的假 U 盘）：安装没有完成，请换用其他盘。
启动时程序还会写出诊断文件 c:\\kestrix_drive.log。

文件
- zerka-installer.exe  安装程序（32 位 Windows 程序）
- 7z.exe               7-Zip 命令行程序，用来列出和解压 ISO 镜像
- syslinux.exe         SYSLINUX 安装程序，使 U 盘可以启动
- syslinux.cfg         U 盘的 SYSLINUX 配置（启动 /zerka/vmlinuz，参数 PMEDIA=usbflash PSUBDIR=zerka）
- grldr                GRUB 引导文件，由 Windows 启动菜单加载，读取 C:\\menu.lst
- EFI\\BOOT\\BOOTX64.EFI、EFI\\BOOT\\BOOTIA32.EFI  64 位和 32 位 UEFI 电脑的 GRUB 引导程序
- EFI\\BOOT\\grub.cfg    UEFI 引导程序的菜单（与 syslinux.cfg 启动同样的内核和参数）
- mbr.bin              SYSLINUX 的主引导记录代码，写入引导代码为空的 U 盘
- GPL-2.txt、GPL-3.txt、LGPL-2.1.txt、7-Zip-License.txt、MBR-License.txt  许可证全文
- README.txt           本说明
所有文件必须放在同一个目录中。

系统要求
- NT 系列的 Windows（本程序是 32 位程序），需要管理员权限。
- Windows XP SP3 或更高版本：读回校验使用系统的 SHA-256，Windows NT、2000 和 SP3 以前的 XP 没有。
- 安装到硬盘分区只适用于通过 boot.ini 启动的 Windows，即 Windows NT/2000/XP/2003。
  Windows Vista 及以后的版本没有 boot.ini：程序在写入任何文件之前就会拒绝硬盘分区，
  请改为安装到 U 盘（或 USB 硬盘），然后从它启动电脑。
- 从 U 盘以 UEFI 方式启动时，必须在电脑的固件设置中关闭安全启动（Secure Boot）：
  这里的 UEFI 引导程序没有签名，开启安全启动的固件会拒绝启动它们。

来源
- zerka-installer.exe：本项目的程序，用 MinGW-w64 构建。其中静态链接了 GNU regex
  （GNU 正则表达式库），取自 Debian 的 gnulib $(version_of gnulib)。
- 7z.exe：7-Zip 的命令行程序，用 MinGW-w64 由 Debian 源码包构建（已应用 Debian 的补丁）：
  7zip $(version_of 7zip)；不含 RAR 代码（Debian 的源码已删除这部分代码）。
- syslinux.exe：用 MinGW-w64 由 Debian 源码包构建（已应用 Debian 的补丁）：
  syslinux $(version_of syslinux)。
- grldr：用 grub-mkimage 由 Debian 的二进制包 grub-pc-bin 生成，该包由 Debian 源码包
  grub2 $(version_of grub2) 构建；内置配置和模块列表在源码的 scripts/build-grub-loader.sh 中。
- BOOTX64.EFI、BOOTIA32.EFI：用 grub-mkimage 由 Debian 的二进制包 grub-efi-amd64-bin 和
  grub-efi-ia32-bin 生成，这两个包由 Debian 源码包 grub2 $(version_of grub2) 构建；
  模块列表在源码的 scripts/build-efi-loaders.sh 中。
- mbr.bin：取自 Debian 的二进制包 syslinux-common，该包由 Debian 源码包
  syslinux $(version_of syslinux) 构建。
- syslinux.cfg、grub.cfg：本项目的文件。

许可证
- 本项目（zerka-installer.exe、syslinux.cfg 和 grub.cfg）是自由软件：\
你可以按照 GNU 通用公共许可证
  第 3 版或（由你选择）任何更高版本再发布和修改它（GPL-3.0-or-later），不提供任何担保。
  源码中的 LICENSE 文件就是 GPL-3.txt 的全文。
- GNU regex（在 zerka-installer.exe 中）：GNU LGPL 2.1 或更高版本。
- 7-Zip（7z.exe）：GNU LGPL 2.1 或更高版本，部分代码为 BSD 许可证，见 7-Zip-License.txt。
- SYSLINUX（syslinux.exe）：GNU GPL 第 2 版或更高版本。
- GRUB（grldr、BOOTX64.EFI、BOOTIA32.EFI）：GNU GPL 第 3 版或更高版本。
- SYSLINUX 的主引导记录代码（mbr.bin）：MIT（Expat）许可证，见 MBR-License.txt。
各文件对应的许可证文本：
$mapping

源码
对应的源码是 $top-source.tar.xz，与本 zip 文件一起发布。其中包括：
- 本项目在此版本的全部源码，包括构建上述每个文件的脚本（scripts/）及其配置；
  构建方法见其中 README.md 的 "The release" 一节；
- debian-sources/ 目录中上述文件所用的 Debian 源码包（.dsc 文件和 tar 包）：
$sources_list


zerka USB/hard-disk installer $version
======================================

This program installs the zerka live system from its ISO image onto a USB drive or a hard-disk
partition and makes it bootable. Choose the ISO image and the target drive letter and press
Start: the program checks the image, the target's file system and free space, extracts the
kernel vmlinuz, the initial RAM disk initrd.gz and the *.sfs images into zerka\\ on the target,
then installs a boot loader:
- USB (removable) drive: the drive must hold FAT (best FAT32); if it does not, tick "format
  before installing". The program copies syslinux.cfg to the drive's root and the UEFI loaders to
  EFI\\BOOT\\, runs syslinux, and on a partitioned stick whose master boot record has no boot
  code writes mbr.bin there and, when no partition is active, marks the target's one active. The
  stick then starts on BIOS and UEFI computers alike.
- hard-disk partition: copies grldr to C:\\GRLDR, adds an entry to C:\\menu.lst and a line to
  C:\\boot.ini; at start-up choose "zerka (kestrix)" in the Windows boot menu. Before it first
  changes them, the originals are kept as C:\\boot.ini.before-zerka, C:\\menu.lst.before-zerka,
  C:\\GRLDR.before-zerka and C:\\g2ldr.before-zerka (a later installation never overwrites
  these copies); copy them back to undo the change.
After extracting, and before installing the boot loader, the program reads every file in zerka\\
back from the drive and compares it with the SHA-256 that 7-Zip reported for it; the boot files it
copies onto the drive are compared with their originals too. If the log says that what was read
back from a file differs from what was written, the drive does not keep what is written to it (a
failing stick, or a counterfeit one that claims more space than it has): the installation has not
been completed; use another drive.
At start-up the program also writes the diagnostic file c:\\kestrix_drive.log.

Files
- zerka-installer.exe  the installer (32-bit Windows program)
- 7z.exe               7-Zip console program, lists and extracts the ISO image
- syslinux.exe         the SYSLINUX installer, makes the USB drive bootable
- syslinux.cfg         SYSLINUX configuration for the USB drive (boots /zerka/vmlinuz with
                       PMEDIA=usbflash PSUBDIR=zerka)
- grldr                GRUB boot file, started from the Windows boot menu, reads C:\\menu.lst
- EFI\\BOOT\\BOOTX64.EFI, EFI\\BOOT\\BOOTIA32.EFI  GRUB loaders for 64-bit and 32-bit UEFI computers
- EFI\\BOOT\\grub.cfg    their menu (the same kernel and parameters as syslinux.cfg)
- mbr.bin              SYSLINUX's master boot record code, for a stick whose boot code is blank
- GPL-2.txt, GPL-3.txt, LGPL-2.1.txt, 7-Zip-License.txt, MBR-License.txt  licence texts
- README.txt           this file
Keep all files together in one folder.

Requirements
- Windows of the NT family (this is a 32-bit program), run with administrator rights.
- Windows XP SP3 or later: the read-back uses the system's SHA-256, which Windows NT, 2000 and XP
  before SP3 lack.
- Installing onto a hard-disk partition works only where the computer starts Windows through
  boot.ini: Windows NT/2000/XP/2003. Windows Vista and later have no boot.ini: there a hard-disk
  partition is refused before anything is written; install to a USB stick (or a USB hard disk)
  instead and start the computer from it.
- To start the stick on a UEFI computer, Secure Boot must be off in the firmware settings: these
  UEFI loaders are not signed, and a firmware with Secure Boot on refuses them.

Where each file comes from
- zerka-installer.exe: this project's program, built with MinGW-w64. GNU regex (the GNU regular
  expression library) is linked into it, taken from Debian's gnulib $(version_of gnulib).
- 7z.exe: 7-Zip's console program, built with MinGW-w64 from Debian's source package, Debian's
  patches applied: 7zip $(version_of 7zip). Without the RAR code, which Debian's source
  leaves out.
- syslinux.exe: built with MinGW-w64 from Debian's source package, Debian's patches applied:
  syslinux $(version_of syslinux).
- grldr: made with grub-mkimage from Debian's binary package grub-pc-bin, which Debian built from
  its source package grub2 $(version_of grub2); its built-in configuration and module list are in
  scripts/build-grub-loader.sh of the source.
- BOOTX64.EFI, BOOTIA32.EFI: made with grub-mkimage from Debian's binary packages
  grub-efi-amd64-bin and grub-efi-ia32-bin, which Debian built from its source package
  grub2 $(version_of grub2); their module list is in scripts/build-efi-loaders.sh of the source.
- mbr.bin: taken from Debian's binary package syslinux-common, which Debian built from its source
  package syslinux $(version_of syslinux).
- syslinux.cfg, grub.cfg: this project's files.

Licences
- This project (zerka-installer.exe, syslinux.cfg and grub.cfg) is free software: you can redistribute it
  and/or modify it under the terms of the GNU General Public License as published by the Free
  Software Foundation, either version 3 of the License, or (at your option) any later version
  (GPL-3.0-or-later), without any warranty. Its LICENSE file in the source is GPL-3.txt.
- GNU regex (in zerka-installer.exe): GNU LGPL version 2.1 or later.
- 7-Zip (7z.exe): GNU LGPL version 2.1 or later, some parts under BSD licences; see
  7-Zip-License.txt.
- SYSLINUX (syslinux.exe): GNU GPL version 2 or later.
- GRUB (grldr, BOOTX64.EFI, BOOTIA32.EFI): GNU GPL version 3 or later.
- SYSLINUX's master boot record code (mbr.bin): the MIT (Expat) licence; see MBR-License.txt.
The licence texts that cover each file:
$mapping

Source
The corresponding source is $top-source.tar.xz, published together with this zip.
It holds:
- this project's whole source at this version, with the scripts (scripts/) and configuration that
  build each file above; its README.md, section "The release", says how;
- in debian-sources/, the Debian source packages (.dsc files and tarballs) of these files:
$sources_list
EOF
iconv -f UTF-8 -t CP936 "$work/readme.txt" | sed 's/$/\r/' >"$stage/README.txt"

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

# The source archive: the project as git holds it, and the source packages as Debian signed them.
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
