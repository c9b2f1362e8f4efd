# shellcheck shell=bash
# Sourced by the scripts that build what ships beside the installer.
#
# Debian source packages are downloaded once into $cache_root/sources; the release's source archive
# takes the same files from there. A build is cached under a key made of everything that goes into
# it: the source version, the target, the build script and this file, and the Debian packages (with
# their versions) of the compilers and libraries it uses. A changed script or compiler therefore
# makes a new build instead of handing out an old one.
export LC_ALL=C  # apt-cache output is parsed, and it is translated in other locales
cache_root=${ZERKA_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/zerka}
sources=$cache_root/sources
# A copy of this tree unpacked from the release's source archive carries the packages it was built from.
bundled=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/debian-sources
mkdir -p "$sources"

deliver() {
  [ -z "$dest" ] || cp "$1" "$dest"
  echo "$1"
  exit 0
}

# dsc_versions DIR PACKAGE: the versions of PACKAGE whose .dsc lies in DIR.
dsc_versions() {
  local dsc
  for dsc in "$1/$2"_*.dsc; do [ ! -f "$dsc" ] || sed -n 's/^Version: //p' "$dsc"; done
}

# source_version PACKAGE: the version to build. The bundled packages come first; then the newest the
# source lists know; when the lists are busy or lack sources, the newest already downloaded.
source_version() {
  local version
  version=$(dsc_versions "$bundled" "$1" | sort -V | tail -n 1)
  [ -n "$version" ] \
    || version=$(apt-cache showsrc "$1" 2>/dev/null | sed -n 's/^Version: //p' | sort -V | tail -n 1)
  [ -n "$version" ] || version=$(dsc_versions "$sources" "$1" | sort -V | tail -n 1)
  [ -n "$version" ] \
    || { echo "$(basename "$0"): no source package $1 (enable deb-src and apt-get update)" >&2; return 1; }
  echo "$version"
}

# dsc_files DSC: the files a .dsc lists, with their SHA-256 in sha256sum's format.
dsc_files() {
  sed -n '/^Checksums-Sha256:/,/^[^ ]/s/^ \([0-9a-f]\{64\}\) [0-9]* \(.*\)/\1  \2/p' "$1"
}

# source_package PACKAGE VERSION: makes sure the .dsc and its files are in the cache, whole, and
# prints their paths, the .dsc first.
source_package() {
  local dsc="$sources/$1_${2#*:}.dsc" fetch
  if ! (cd "$sources" && [ -f "$dsc" ] && dsc_files "$dsc" | sha256sum -c --quiet >/dev/null 2>&1); then
    fetch=$(mktemp -d "$sources/.fetch.XXXXXX")
    if [ -f "$bundled/${dsc##*/}" ]; then
      # shellcheck disable=SC2046  # Debian's file names hold no blanks
      (cd "$bundled" && cp "${dsc##*/}" $(dsc_files "${dsc##*/}" | cut -c67-) "$fetch/")
    else
      # apt-get checks each file against the signed source lists.
      (cd "$fetch" && apt-get source --download-only "$1=$2" >fetch.log 2>&1 && rm fetch.log) \
        || { cat "$fetch/fetch.log" >&2; rm -rf "$fetch"; return 1; }
    fi
    (cd "$fetch" && dsc_files "${dsc##*/}" | sha256sum -c --quiet) || { rm -rf "$fetch"; return 1; }
    mv "$fetch"/* "$sources/" && rmdir "$fetch"
  fi
  echo "$dsc"
  dsc_files "$dsc" | sed "s|^[0-9a-f]*  |$sources/|"
}

# packages_of PROGRAM|FILE...: "package version" of the Debian packages that own them, one a line
# (a file no package owns: its path and SHA-256). One dpkg query for all: each takes a second.
packages_of() {
  local f owners paths=()
  for f; do
    case $f in /*) ;; *) f=$(command -v "$f") || { echo "no $f"; continue; } ;; esac
    paths+=("$(readlink -f "$f")")
  done
  owners=$(dpkg-query -S "${paths[@]}" 2>/dev/null || true)
  for f in "${paths[@]}"; do
    sed 's/^[^:]*: //' <<<"$owners" | grep -qxF "$f" || echo "$f $(sha256sum <"$f")"
  done
  sed 's/: .*//; s/, /\n/g' <<<"$owners" | sort -u | xargs -r dpkg-query -W -f='${Package} ${Version}\n'
}

# mingw_packages ARCH: what a MinGW-w64 build for ARCH links in: compilers, binutils, headers, C runtime.
mingw_packages() {
  packages_of "$1-w64-mingw32-gcc" "$1-w64-mingw32-g++" "$1-w64-mingw32-ld" "$1-w64-mingw32-windres" \
    "/usr/$1-w64-mingw32/lib/libmsvcrt.a" "/usr/$1-w64-mingw32/include/windows.h"
}

# cached_build NAME FILE DEST INPUT...: sets $out, the cache path of FILE for NAME built from these
# inputs (with the calling script and this file), and $work, a scratch folder removed on exit. A
# build made already is delivered at once: copied to DEST when given, its path printed, and the
# script ends.
cached_build() {
  local name=$1 file=$2 key
  dest=$3
  shift 3
  key=$({ cat "$0" "${BASH_SOURCE[0]}"; printf '%s\n' "$@"; } | sha256sum | cut -c1-12)
  out="$cache_root/$name-$key/$file"
  [ -s "$out" ] && deliver "$out"
  work=$(mktemp -d "$cache_root/$name-build.XXXXXX")
  trap 'rm -rf "$work"' EXIT
}
