#!/usr/bin/env bash
# Runs a Windows program of the build inside the test bed started by wine-testbed.sh.
#   wine-run.sh STATE_DIR PROGRAM [ARGS...]
# PROGRAM may be a Linux path inside the build folder (started as C:\build\...) or a
# Windows path. Output goes through a file: processes the program leaves behind (Wine's
# desktop, a browser) must not hold the caller's pipe open.
set -uo pipefail
state=$1; shift
# shellcheck disable=SC1091
. "$state/env.sh"
program=$1; shift
case "$program" in
  "$ZERKA_BUILD"/*) program="C:\\build\\$(printf '%s' "${program#"$ZERKA_BUILD"/}" | tr / '\\')" ;;
esac
for fd in $(ls /proc/$$/fd); do
  case "$fd" in 0|1|2|255) ;; *) eval "exec $fd>&-" 2>/dev/null || true ;; esac
done
cd "$WINEPREFIX/drive_c"  # a working folder Wine can name
output=$(mktemp "${TMPDIR:-/tmp}/wine-run.XXXXXX")
wine "$program" "$@" >"$output" 2>&1 </dev/null
status=$?
cat "$output"
rm -f "$output"
exit "$status"
