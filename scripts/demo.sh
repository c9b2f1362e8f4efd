#!/usr/bin/env bash
# Demo on a fresh Debian 12 machine, as root: installs what is needed, builds the Windows
# installer, starts the Wine test bed, makes a small zerka ISO image and installs it onto
# the test bed's removable drive D: through the installer's own windows, then shows the
# progress log and the files written to D:\zerka.
#   bash scripts/demo.sh [BUILD_DIR]      (default build/win)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/win}

echo "== packages"
bash "$root/scripts/install-deps.sh"

echo "== Windows build in $build"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
build=$(cd "$build" && pwd)
# 7-Zip for Windows, built once from Debian's source and cached.
[ -s "$build/7z.exe" ] || cp "$("$root/scripts/build-7zip.sh")" "$build/7z.exe"
cmake --build "$build" --target zerka-installer zerka-installer-testbed tool_double demo_install -j2 >/dev/null

echo "== Wine test bed"
state="$build/demo-testbed"
trap '"$root/scripts/wine-testbed.sh" stop "$state" >/dev/null 2>&1 || true' EXIT
"$root/scripts/wine-testbed.sh" start "$state" "$build"
. "$state/env.sh"

echo "== demo image C:\\demo\\zerka-demo.iso"
demo="$WINEPREFIX/drive_c/demo"
rm -rf "$demo" && mkdir -p "$demo/root/boot" "$demo/fs/etc"
head -c 2097152 /dev/urandom >"$demo/root/vmlinuz"
head -c 1048576 /dev/urandom >"$demo/root/initrd.gz"
printf 'zerka demo\n' >"$demo/fs/etc/zerka-release"
head -c 4194304 /dev/urandom >"$demo/fs/etc/payload.bin"
mksquashfs "$demo/fs" "$demo/root/zerka_demo.sfs" -noappend -quiet >/dev/null
printf 'not installed\r\n' >"$demo/root/README.txt"
head -c 2048 /dev/urandom >"$demo/root/boot/isolinux.bin"
xorriso -as mkisofs -quiet -R -J -o "$demo/zerka-demo.iso" "$demo/root/" 2>/dev/null
LC_ALL=C ls -l "$demo/root"

echo "== installing onto D: (the test bed's removable drive ZERKA_USB)"
rm -rf "$state/drives/d/zerka" "$state/drives/d/syslinux.cfg"
status=0
"$root/scripts/wine-run.sh" "$state" "$build/tests/win/demo_install.exe" 'C:\demo\zerka-demo.iso' D \
  'C:\demo\progress.bmp' </dev/null 2>/dev/null >"$state/demo-log.gbk" || status=$?

echo "== progress log"
iconv -f GBK -t UTF-8 "$state/demo-log.gbk" | tr -d '\r'
echo
echo "== files on D:"
LC_ALL=C ls -l "$state/drives/d" "$state/drives/d/zerka" 2>/dev/null || true
for f in vmlinuz initrd.gz zerka_demo.sfs; do
  if cmp -s "$demo/root/$f" "$state/drives/d/zerka/$f"; then echo "D:\\zerka\\$f equals the image's $f"; fi
done
echo "== D:\\syslinux.cfg"
tr -d '\r' <"$state/drives/d/syslinux.cfg" 2>/dev/null || true
if [ -f "$demo/progress.bmp" ] && command -v convert >/dev/null; then
  convert "$demo/progress.bmp" "$build/progress-dialog.png" && echo "== picture of the progress dialog: $build/progress-dialog.png"
fi
[ "$status" = 0 ] && echo "== demo installation succeeded" || echo "== demo installation failed ($status)"
exit "$status"
