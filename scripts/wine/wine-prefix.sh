# shellcheck shell=bash
# Sourced by the scripts that run a Windows build under Wine: use_wine_for BUILD_DIR STATE_DIR
# exports WINEARCH and the usual quiet settings for that build's programs (win32, or win64 for an
# x86_64 build, as BUILD_DIR/wine-arch says). Debian's wine script, and every wineboot, regedit...
# through it, starts the 32-bit loader whenever wine32 is installed: for win64, small scripts in
# STATE_DIR/bin, first on PATH, start the 64-bit one.
use_wine_for() {
  local build=$1 state=$2 name
  export WINEARCH WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=zh_CN.UTF-8
  WINEARCH=$(cat "$build/wine-arch" 2>/dev/null || echo win32)
  [ "$WINEARCH" = win64 ] || return 0
  mkdir -p "$state/bin"
  for name in wine wine-stable; do
    printf '#!/bin/sh\nexport WINELOADER=/usr/lib/wine/wine64\nexec /usr/lib/wine/wine64 "$@"\n' >"$state/bin/$name"
    chmod +x "$state/bin/$name"
  done
  case ":$PATH:" in *":$state/bin:"*) ;; *) export PATH="$state/bin:$PATH" ;; esac
}
