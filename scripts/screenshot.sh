#!/usr/bin/env bash
# Takes a picture of the main dialog as it runs under Wine, for the documentation.
#   screenshot.sh BUILD_DIR [OUTPUT_PNG]
# BUILD_DIR is a Windows build folder holding zerka-installer.exe; OUTPUT_PNG defaults to
# docs/screenshots/main-dialog.png. A fresh test bed is started in BUILD_DIR/screenshot-testbed
# and stopped again; with ZERKA_TESTBED_STATE set to the state folder of a test bed that is
# already running, that one is used and left running.
# Needs imagemagick (import) and x11-utils (xwininfo).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(dirname "$here")
[ $# -ge 1 ] || { echo "usage: $0 BUILD_DIR [OUTPUT_PNG]" >&2; exit 2; }
build=$(cd "$1" && pwd)
output=${2:-$source_dir/docs/screenshots/main-dialog.png}
program=$build/zerka-installer.exe
[ -f "$program" ] || { echo "no $program: build the zerka-installer target first" >&2; exit 1; }

if [ -n "${ZERKA_TESTBED_STATE:-}" ]; then
  state=$ZERKA_TESTBED_STATE
  own_testbed=0
else
  state=$build/screenshot-testbed
  own_testbed=1
  "$here/wine/wine-testbed.sh" start "$state" "$build" >/dev/null
fi
installer_pid=
finish() {
  if [ -n "$installer_pid" ]; then
    kill "$installer_pid" 2>/dev/null || true; wait "$installer_pid" 2>/dev/null || true
  fi
  if [ "$own_testbed" = 1 ]; then "$here/wine/wine-testbed.sh" stop "$state" || true; fi
}
trap finish EXIT

"$here/wine/wine-run.sh" "$state" "$program" >"$state/screenshot-run.log" 2>&1 &
installer_pid=$!

# shellcheck disable=SC1091
DISPLAY=$(. "$state/env.sh" 2>/dev/null && echo "$DISPLAY")
export DISPLAY

# The dialog is the installer's one large top-level window; its X class is the program name.
geometry=
for _ in $(seq 200); do
  geometry=$(LC_ALL=C xwininfo -root -children 2>/dev/null |
    awk '/"zerka-installer.exe"/ { for (i = 1; i <= NF; i++) if ($i ~ /^[0-9]+x[0-9]+[+-][0-9]+[+-][0-9]+$/) {
           split($i, s, /[x+-]/); if (s[1] > 100 && s[2] > 100) { print $i; exit } } }')
  [ -n "$geometry" ] && break
  kill -0 "$installer_pid" 2>/dev/null \
    || { echo "the installer ended early:" >&2; cat "$state/screenshot-run.log" >&2; exit 1; }
  sleep 0.1
done
[ -n "$geometry" ] || { echo "no installer window appeared" >&2; exit 1; }
# let the dialog finish painting (drive list, picture)
sleep 1

mkdir -p "$(dirname "$output")"
import -window root -crop "$geometry" +repage "$output"
echo "$output: $geometry"
