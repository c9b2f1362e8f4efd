#!/usr/bin/env bash
# The release from the 32-bit build folder $1 (or its release-i686), without Wine: files, licences, README.txt,
# source archive. "installs": unpacked in a fresh Wine prefix, it installs (a stand-in for syslinux).
set -euo pipefail
w=$(cd "$1" && pwd) s=$(cd "$(dirname "$0")/../.." && pwd) t=$(mktemp -d) && b=$w state=$w/release-testbed
trap '"$s/scripts/wine/wine-testbed.sh" stop "$state"; rm -rf "$t"' EXIT
[ "$(cat "$b/wine-arch")" = win32 ] || b=$b/release-i686
zip=$s/$("$s/scripts/make-release.sh" "$b")
unzip -q "$zip" -d "$t"; tar -xJf "${zip%.zip}-source.tar.xz" -C "$t"; top=$t/$(basename "${zip%.zip}"); cd "$top"
readme=$(iconv -f CP936 README.txt | tr -d '\r')
while read -r f l; do
  ls $f $l >/dev/null && grep -qE "^- $f +${l// /, }$" <<<"$readme" || { echo "README.txt: $f $l"; exit 1; }
done <<<'zerka-installer.exe GPL-3.txt LGPL-2.1.txt MinGW-w64-License.txt
7z.exe 7-Zip-License.txt LGPL-2.1.txt MinGW-w64-License.txt
syslinux.exe GPL-2.txt MinGW-w64-License.txt
grldr GPL-3.txt
syslinux.cfg GPL-3.txt
EFI/BOOT/BOOTX64.EFI GPL-3.txt
EFI/BOOT/BOOTIA32.EFI GPL-3.txt
EFI/BOOT/grub.cfg GPL-3.txt
mbr.bin MBR-License.txt'
grep -q 'GNU regex' <<<"$readme"; cd "$top-source/debian-sources"; cmp ../LICENSE /usr/share/common-licenses/GPL-3
for p in 7zip syslinux grub2 gnulib mingw-w64; do
  v=$(sed -n "s/^  - $p //p" <<<"$readme" | sort -u)
  dpkg-source -x "${p}_${v#*:}.dsc" "$t/$p" &>/dev/null || { echo "debian-sources: no $p $v"; exit 1; }
done
[ "${2:-}" = installs ] || exit 0
"$s/scripts/wine/wine-testbed.sh" start "$state" "$w"
c=$state/prefix/drive_c && mv "$top" "$c/release"
cp "$w/tests/win/tool_double.exe" "$c/release/syslinux.exe"  # chkdsk: the test bed has it in the system folder
"$s/scripts/wine/wine-run.sh" "$state" "$w/demo_install.exe" 'C:\release\zerka-installer.exe' 'C:\images\small.iso' D
cmp "$state/drives/d/zerka/vmlinuz" "$c/images/small/vmlinuz"
