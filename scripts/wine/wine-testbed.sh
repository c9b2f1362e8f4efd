#!/usr/bin/env bash
# The Wine test bed: one prefix per test run (32-bit, or 64-bit for an x86_64 build, as the build
# folder's wine-arch says), an Xvfb display, a persistent wineserver, drive letters of every kind
# backed by folders, and the installer folder.
#   wine-testbed.sh start STATE_DIR BUILD_DIR   # fresh prefix, display and server
#   wine-testbed.sh stop  STATE_DIR
# After start, STATE_DIR/env.sh holds the environment for wine-run.sh.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
cmd=$1
state=$(mkdir -p "$2" && cd "$2" && pwd)

export WINEPREFIX="$state/prefix"

stop_testbed() {
  if [ -d "$WINEPREFIX" ]; then wineserver -k >/dev/null 2>&1 || true; fi
  "$source_dir/scripts/boot/big-stick.sh" stop "$state" || true
  if [ -f "$state/xvfb.pid" ]; then
    kill "$(cat "$state/xvfb.pid")" >/dev/null 2>&1 || true
    rm -f "$state/xvfb.pid"
  fi
}

if [ "$cmd" = stop ]; then stop_testbed; exit 0; fi

# The caller (CTest) may leave descriptors open, such as the pipe it reads the test's output
# from; the server and Wine's services would keep them, and the caller would wait forever.
for fd in $(ls /proc/$$/fd); do
  case "$fd" in 0|1|2|255) ;; *) eval "exec $fd>&-" 2>/dev/null || true ;; esac
done
[ "$cmd" = start ] || { echo "usage: $0 start|stop STATE_DIR [BUILD_DIR]" >&2; exit 2; }
build=$(cd "$3" && pwd)
. "$here/wine-prefix.sh"
use_wine_for "$build" "$state"

stop_testbed
rm -rf "$state/prefix" "$state/drives"
mkdir -p "$state/drives"

wineboot -i >"$state/wineboot.log" 2>&1

# Drive letters, each backed by a folder: (letter type label file-system)
drives="d floppy ZERKA_USB fat32
e hd DATA -
f cdrom CDROM -
g network NETDISK -
h floppy - fat16
r floppy - -
u hd USBDISK -"
{
  echo REGEDIT4
  echo
  echo '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]'
  echo '"Managed"="N"'
  echo
  echo '[HKEY_CURRENT_USER\Software\Wine\WineBrowser]'
  echo "\"Browsers\"=\"$state/browser.sh\""
  echo
  echo '[HKEY_LOCAL_MACHINE\Software\Wine\Drives]'
  while read -r letter type _; do echo "\"$letter:\"=\"$type\""; done <<<"$drives"
} >"$state/testbed.reg"
wine regedit /S "$(winepath -w "$state/testbed.reg" 2>/dev/null)" >/dev/null 2>&1

while read -r letter type label fs; do
  mkdir -p "$state/drives/$letter"
  # A readable volume with an empty label: no label file.
  [ "$label" = - ] || printf '%s\n' "$label" >"$state/drives/$letter/.windows-label"
  ln -sfn "$state/drives/$letter" "$WINEPREFIX/dosdevices/$letter:"
  [ "$fs" != - ] || continue
  # Wine names any folder's file system NTFS; a drive whose device is a FAT image reports FAT or
  # FAT32, with the image's label and serial. The image must lie in the drive's own folder: one
  # elsewhere is not traced back to its drive. Its boot-sector label is blanked for "no label".
  image="$state/drives/$letter/.volume.img"
  mkfs.vfat -C -F "${fs#fat}" -i "$(printf '%08x' "'$letter")" "$image" $((${fs#fat} == 32 ? 40000 : 16384)) >/dev/null
  [ "$label" = - ] && label=
  printf '%-11s' "$label" | dd of="$image" bs=1 seek=$((${fs#fat} == 32 ? 71 : 43)) conv=notrunc status=none
  ln -sfn "$image" "$WINEPREFIX/dosdevices/$letter::"
done <<<"$drives"
# S: is a 64 GB exFAT stick's partition, through a loop device; Wine's mount manager must see it
# when it starts.
"$source_dir/scripts/boot/big-stick.sh" make "$state"
# A removable drive whose medium cannot be read: its device is an empty image.
: >"$state/unreadable-medium.img"
ln -sfn "$state/unreadable-medium.img" "$WINEPREFIX/dosdevices/r::"
# The host root as Z: would be one more fixed drive in every list; programs are started by C:\ paths.
rm -f "$WINEPREFIX/dosdevices/z:"
ln -sfn "$build" "$WINEPREFIX/drive_c/build"

# Wine draws the caption buttons with the Marlett font, which a new prefix lacks; Debian's
# fonts-wine has it (only that font: the package's others turn Chinese into boxes). Cached;
# without it captions show letters for buttons and everything else works.
marlett=${XDG_CACHE_HOME:-$HOME/.cache}/zerka/marlett.ttf
if [ ! -f "$marlett" ]; then
  fetch=$(mktemp -d)
  if (cd "$fetch" && apt-get download fonts-wine >/dev/null 2>&1 && dpkg-deb -x fonts-wine_*.deb x) 2>/dev/null; then
    found=$(find "$fetch/x" -name marlett.ttf | head -n 1)
    [ -n "$found" ] && mkdir -p "$(dirname "$marlett")" && cp "$found" "$marlett"
  fi
  rm -rf "$fetch"
fi
[ -f "$marlett" ] && cp "$marlett" "$WINEPREFIX/drive_c/windows/Fonts/"

# The browser the shell opens for web addresses: records the request instead.
cat >"$state/browser.sh" <<EOS
#!/bin/sh
printf '%s\n' "\$*" >>"$WINEPREFIX/drive_c/browser-requests.log"
EOS
chmod +x "$state/browser.sh"

# Drive types are read when the server starts.
wineserver -k >/dev/null 2>&1 || true

display=
for n in $(seq 91 140); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=$n; break; fi
done
[ -n "$display" ] || { echo "no free X display" >&2; exit 1; }
setsid Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >"$state/xvfb.log" 2>&1 </dev/null &
echo $! >"$state/xvfb.pid"
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.05; done
export DISPLAY=":$display"

cat >"$state/env.sh" <<EOS
export WINEARCH=$WINEARCH WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=zh_CN.UTF-8
export WINEPREFIX="$WINEPREFIX" DISPLAY="$DISPLAY" PATH="$PATH"
export ZERKA_TESTBED="$state" ZERKA_BUILD="$build" ZERKA_SOURCE="$source_dir"
EOS

# A server that knows the display, kept alive for the whole run.
setsid wineserver -p >"$state/wineserver.log" 2>&1 </dev/null &
# Wine's services (services.exe, winedevice, plugplay, rpcss) start with the first program
# and keep its standard handles for the whole run: start them here, or they hold the output
# pipe of the first test and CTest waits on it forever.
wine cmd /c exit >"$state/services.log" 2>&1 </dev/null || true

# Fixtures of the suites (installer folders, images, disk images).
export ZERKA_TESTBED="$state" ZERKA_BUILD="$build" ZERKA_SOURCE="$source_dir"
for fixture in "$source_dir"/tests/win/fixtures/*.sh; do
  [ -e "$fixture" ] || continue
  bash "$fixture" >"$state/fixture-$(basename "$fixture" .sh).log" 2>&1 \
    || { echo "fixture $fixture failed:" >&2; tail -n 20 "$state/fixture-$(basename "$fixture" .sh).log" >&2; exit 1; }
done
echo "test bed ready: $WINEPREFIX on $DISPLAY"
