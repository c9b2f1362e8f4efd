# shellcheck shell=bash
# Sourced by the scripts that build a Windows tool from a Debian source package and cache it per
# source version: cached_build PACKAGE FILE [DEST] sets $version, $out (the cache path of FILE for
# that version) and $work (a scratch folder removed on exit). A build made already is delivered at
# once: copied to DEST when given, its path printed, and the script ends.
export LC_ALL=C  # apt-cache output is parsed, and it is translated in other locales
cache_root=${ZERKA_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/zerka}
mkdir -p "$cache_root"

deliver() {
  [ -z "$dest" ] || cp "$1" "$dest"
  echo "$1"
  exit 0
}

cached_build() {
  local package=$1 file=$2 cached
  dest=${3:-}
  version=$(apt-cache showsrc "$package" 2>/dev/null | sed -n 's/^Version: //p' | sort -V | tail -n 1 || true)
  if [ -z "$version" ]; then
    # The package lists may be busy or lack sources right now: a build made earlier will do.
    cached=$(ls -1d "$cache_root/$package"-*/"$file" 2>/dev/null | sort -V | tail -n 1 || true)
    [ -n "$cached" ] && deliver "$cached"
    echo "$(basename "$0"): no source package $package (enable deb-src and apt-get update)" >&2
    exit 1
  fi
  out="$cache_root/$package-$version/$file"
  [ -s "$out" ] && deliver "$out"
  work=$(mktemp -d "$cache_root/$package-build.XXXXXX")
  trap 'rm -rf "$work"' EXIT
}
