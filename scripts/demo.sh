#!/usr/bin/env bash
# The installer's main job, on a fresh Debian 12 machine as root: installs what is needed, builds
# the Windows installer, starts the Wine test bed, makes a zerka-like ISO image with a real Linux
# kernel, installs it onto the test bed's removable drive D: through the installer's own windows,
# shows the log and the files, then starts the installed drive as a USB stick in QEMU, with a BIOS
# and with UEFI firmware, and prints the kernel's command line.
#   bash scripts/demo.sh [BUILD_DIR]      (default build/win, or build/win64 where 32-bit code cannot run)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export LC_ALL=C  # the shell's own messages; Wine gets its Chinese locale from the test bed

echo "== packages"
bash "$root/scripts/install-deps.sh"
. "$root/scripts/wine/windows-target.sh"
choose_windows_target
build=${1:-$root/build/$windows_build}
[ "$windows_arch" = i686 ] || echo "== $machine_note; $build_note"

echo "== Windows build in $build (7-Zip, SYSLINUX and GRUB are built from Debian's sources once, then cached)"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/$windows_toolchain" >/dev/null
build=$(cd "$build" && pwd)
cmake --build "$build" --target zerka-installer zerka-installer-testbed tool_double demo_install windows_tools \
  -j2 >/dev/null

echo "== Wine test bed (a fresh prefix; D: is a removable drive labelled ZERKA_USB)"
state="$build/demo-testbed"
trap '"$root/scripts/wine/wine-testbed.sh" stop "$state" >/dev/null 2>&1 || true' EXIT
"$root/scripts/wine/wine-testbed.sh" start "$state" "$build"
WINEPREFIX=$state/prefix

echo "== the image C:\\images\\small.iso: Debian's kernel as vmlinuz, a test initrd.gz, squashfs images"
(cd "$WINEPREFIX/drive_c/images/small" && find . -type f | sort | xargs ls -l)

echo "== installing onto D: with C:\\zerka-installer\\zerka-installer-testbed.exe and the real 7-Zip"
echo "   That is the installer linked with the test layer, which tells it that D: is partition 1 of the"
echo "   blank stick image behind \\\\.\\PhysicalDrive3: the installer writes that stick's master boot"
echo "   record. Stand-ins: Wine has no chkdsk, and its folder-backed D: has no boot sector for"
echo "   syslinux.exe to write: those two steps run tests/win/tool_double.exe, which ends with 0. The"
echo "   boot sector is written below by Debian's Linux syslinux, the same SYSLINUX version."
rm -rf "$state/drives/d/zerka" "$state/drives/d/syslinux.cfg" "$state/drives/d/EFI"
status=0
env "$(cat "$WINEPREFIX/drive_c/boot-proof/d.env")" \
  "$root/scripts/wine/wine-run.sh" "$state" "$build/demo_install.exe" 'C:\zerka-installer\zerka-installer-testbed.exe' \
  'C:\images\small.iso' D 'C:\progress.bmp' </dev/null 2>/dev/null >"$state/demo-log.gbk" || status=$?

echo "== the progress log"
iconv -f GBK -t UTF-8 "$state/demo-log.gbk" | tr -d '\r'
echo
echo "== what is on D:"
ls -l "$state/drives/d" "$state/drives/d/zerka" "$state/drives/d/EFI/BOOT"
convert "$WINEPREFIX/drive_c/progress.bmp" "$build/progress-dialog.png" 2>/dev/null \
  && echo "== a picture of the progress dialog: $build/progress-dialog.png"
[ "$status" = 0 ] || { echo "== the installation failed ($status)"; exit "$status"; }

echo "== starting D: as a USB stick in QEMU, from the master boot record the installer wrote (about 20 s)"
"$root/scripts/boot/boot-usb.sh" "$state/drives/d" fat32 "$state/disks/disk3.img"
echo "== the installed drive starts zerka's kernel with its own initrd"
printf '== starting it on a UEFI computer (64-bit OVMF in QEMU, about 30 s): '
"$root/scripts/boot/boot-uefi.sh" "$state/drives/d" x64
