#!/usr/bin/env bash
# Runs a Windows program of the build inside the test bed started by wine-testbed.sh.
#   wine-run.sh STATE_DIR PROGRAM [ARGS...]
# PROGRAM may be a Linux path inside the build folder (started as C:\build\...) or a
# Windows path.
set -euo pipefail
state=$1; shift
# shellcheck disable=SC1091
. "$state/env.sh"
program=$1; shift
case "$program" in
  "$ZERKA_BUILD"/*) program="C:\\build\\$(printf '%s' "${program#"$ZERKA_BUILD"/}" | tr / '\\')" ;;
esac
exec wine "$program" "$@"
