#!/usr/bin/env bash
# Makes dist/zerka-installer-<version>.zip: the installer (Windows build in BUILD_DIR, by default
# build/release), 7z.exe, syslinux.exe, syslinux.cfg, grldr and README.txt (Chinese in code page
# 936 and English, CR LF). <version> is the FileVersion string of the installer's VERSIONINFO.
# The same inputs give the same zip bytes: fixed dates, sorted entries, no extra fields.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build/release}
cd "$root"
die() { echo "make-release: $*" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# MinGW's linker stamps the PE header with SOURCE_DATE_EPOCH instead of the clock, so two clean
# builds of one commit in the same folder give the same bytes.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 946684800)}
export SOURCE_DATE_EPOCH
# What ships is the 32-bit program; an x86_64 build folder exists only for tests.
[ "$(cat "$build/wine-arch" 2>/dev/null || echo win32)" = win32 ] || die "$build is not a 32-bit build"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >"$work/build.log" 2>&1 \
    || { cat "$work/build.log" >&2; die "cannot configure $build"; }
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

stage="$work/zerka-installer-$version"
mkdir -p "$stage"
cp "$exe" "$stage/zerka-installer.exe"
seven=$(scripts/build-7zip.sh "$stage/7z.exe")
syslinux=$(scripts/build-syslinux.sh "$stage/syslinux.exe")
scripts/build-grub-loader.sh "$stage"
cp resources/syslinux.cfg "$stage/syslinux.cfg"
# The caches are named after the Debian source versions they were built from.
seven_ver=$(basename "$(dirname "$(dirname "$seven")")"); seven_ver=${seven_ver#7zip-}
syslinux_ver=$(basename "$(dirname "$syslinux")"); syslinux_ver=${syslinux_ver#syslinux-}
grub_ver=$(dpkg-query -W -f='${source:Version}' grub-pc-bin)

# shellcheck disable=SC1111  # Chinese quotation marks, not shell quotes
cat >"$work/readme.txt" <<EOF
zerka U盘/硬盘安装程序 $version
==============================

本程序把 zerka 的 ISO 镜像安装到 U 盘或硬盘分区上，并使其可以启动。
选择 ISO 镜像和目标盘符，按“开始”：程序检查镜像、目标盘的文件系统和剩余空间，
把内核 vmlinuz、初始内存盘 initrd.gz 和 *.sfs 解压到目标盘的 zerka\\ 目录，
然后安装引导程序：
- U 盘（可移动盘）：把 syslinux.cfg 复制到盘的根目录并运行 syslinux；
- 硬盘分区：把 grldr 复制为 C:\\GRLDR，在 C:\\menu.lst 中添加启动项，
  并在 C:\\boot.ini 中添加一行，开机时在 Windows 启动菜单中选择 "zerka (kestrix)"。
启动时程序还会写出诊断文件 c:\\kestrix_drive.log。

文件
- zerka-installer.exe  安装程序（32 位 Windows 程序）
- 7z.exe               7-Zip 命令行程序，用来列出和解压 ISO 镜像
- syslinux.exe         SYSLINUX 安装程序，使 U 盘可以启动
- syslinux.cfg         U 盘的 SYSLINUX 配置（启动 /zerka/vmlinuz，参数 PMEDIA=usbflash PSUBDIR=zerka）
- grldr                GRUB 引导文件，由 Windows 启动菜单加载，读取 C:\\menu.lst
- README.txt           本说明
所有文件必须放在同一个目录中。

系统要求
- NT 系列的 Windows（本程序是 32 位程序），需要管理员权限。
- 安装到硬盘分区只适用于通过 boot.ini 启动的 Windows，即 Windows NT/2000/XP/2003。

来源和许可证（源码见 Debian 12：apt-get source 7zip syslinux grub2）
- 7z.exe：由 Debian 源码包 7zip $seven_ver 用 MinGW-w64 构建，不含 RAR 代码；
  GNU LGPL，部分代码为 BSD 许可证。
- syslinux.exe：由 Debian 源码包 syslinux $syslinux_ver 用 MinGW-w64 构建；GNU GPL 第 2 版。
- grldr：用 grub-mkimage 由 Debian 的 grub-pc-bin 生成，源码包 grub2 $grub_ver；
  GNU GPL 第 3 版。
- 安装程序本身：见本项目。


zerka USB/hard-disk installer $version
======================================

This program installs the zerka live system from its ISO image onto a USB drive or a hard-disk
partition and makes it bootable. Choose the ISO image and the target drive letter and press
Start: the program checks the image, the target's file system and free space, extracts the
kernel vmlinuz, the initial RAM disk initrd.gz and the *.sfs images into zerka\\ on the target,
then installs a boot loader:
- USB (removable) drive: copies syslinux.cfg to the drive's root and runs syslinux on it;
- hard-disk partition: copies grldr to C:\\GRLDR, adds an entry to C:\\menu.lst and a line to
  C:\\boot.ini; at start-up choose "zerka (kestrix)" in the Windows boot menu.
At start-up the program also writes the diagnostic file c:\\kestrix_drive.log.

Files
- zerka-installer.exe  the installer (32-bit Windows program)
- 7z.exe               7-Zip console program, lists and extracts the ISO image
- syslinux.exe         the SYSLINUX installer, makes the USB drive bootable
- syslinux.cfg         SYSLINUX configuration for the USB drive (boots /zerka/vmlinuz with
                       PMEDIA=usbflash PSUBDIR=zerka)
- grldr                GRUB boot file, started from the Windows boot menu, reads C:\\menu.lst
- README.txt           this file
Keep all files together in one folder.

Requirements
- Windows of the NT family (this is a 32-bit program), run with administrator rights.
- Installing onto a hard-disk partition works only where the computer starts Windows through
  boot.ini: Windows NT/2000/XP/2003.

Sources and licences (sources in Debian 12: apt-get source 7zip syslinux grub2)
- 7z.exe: built with MinGW-w64 from Debian's source package 7zip $seven_ver, without the
  RAR code; GNU LGPL, some parts under the BSD licence.
- syslinux.exe: built with MinGW-w64 from Debian's source package syslinux $syslinux_ver;
  GNU GPL version 2.
- grldr: made with grub-mkimage from Debian's grub-pc-bin, source package grub2 $grub_ver;
  GNU GPL version 3.
- The installer itself: see the project.
EOF
iconv -f UTF-8 -t CP936 "$work/readme.txt" | sed 's/$/\r/' >"$stage/README.txt"

mkdir -p dist
zip="dist/zerka-installer-$version.zip"
python3 - "$work" "zerka-installer-$version" "$zip.tmp" <<'EOF'
import os, sys, zipfile
base, top, out = sys.argv[1:4]
with zipfile.ZipFile(out, 'w', zipfile.ZIP_DEFLATED, compresslevel=9) as z:
    for name in sorted(os.listdir(os.path.join(base, top))):
        info = zipfile.ZipInfo(top + '/' + name, date_time=(2000, 1, 1, 0, 0, 0))
        info.compress_type = zipfile.ZIP_DEFLATED
        info.create_system = 0
        info.external_attr = 0x20  # FILE_ATTRIBUTE_ARCHIVE only
        with open(os.path.join(base, top, name), 'rb') as f:
            z.writestr(info, f.read(), compresslevel=9)
EOF
mv "$zip.tmp" "$zip"
echo "$zip"
