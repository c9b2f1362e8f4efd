#!/usr/bin/env bash
# The release zip, unpacked into an empty folder of a fresh Wine prefix, installs onto a removable
# drive from there. Wine has no chkdsk (the test bed puts its stand-in in the system folder) and
# cannot write a boot sector: only the syslinux stand-in is put beside what the zip holds.
set -euo pipefail
build=$(cd "$1" && pwd) source=$(cd "$(dirname "$0")/../.." && pwd)
state=$build/release-testbed
zip=$source/$("$source/scripts/make-release.sh" "$build")
trap '"$source/scripts/wine-testbed.sh" stop "$state"' EXIT
"$source/scripts/wine-testbed.sh" start "$state" "$build"
unzip -q "$zip" -d "$state/prefix/drive_c/release"
folder=$(cd "$state/prefix/drive_c/release" && echo zerka-installer-*)
cp "$build/tests/win/tool_double.exe" "$state/prefix/drive_c/release/$folder/syslinux.exe"
"$source/scripts/wine-run.sh" "$state" "$build/demo_install.exe" "C:\\release\\$folder\\zerka-installer.exe" 'C:\images\small.iso' D
cmp "$state/drives/d/zerka/vmlinuz" "$state/prefix/drive_c/images/small/vmlinuz"
