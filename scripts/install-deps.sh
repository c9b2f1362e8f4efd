#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the demo and the tests need, only when some are missing.
set -euo pipefail

need_i386=0
dpkg --print-foreign-architectures | grep -qx i386 || need_i386=1

pkgs=(cmake make g++ clang libclang-rt-14-dev googletest
      g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
      gnulib autoconf automake
      wine wine32:i386 wine64 xvfb xauth fonts-wqy-microhei imagemagick
      xorriso squashfs-tools dpkg-dev xz-utils python3 ca-certificates
      fdisk locales
      x11-utils
      nasm gcc-multilib libc6-dev-i386 uuid-dev libext2fs-dev
      grub-pc-bin grub-common grub-efi-amd64-bin grub-efi-ia32-bin ovmf ovmf-ia32
      syslinux syslinux-common mtools dosfstools exfatprogs cpio qemu-system-x86 unzip)

missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

# 7-Zip for Windows is built from Debian's source package, so source lists must be on.
need_src=0
if ! grep -Rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ /etc/apt/sources.list 2>/dev/null \
   && ! grep -Rqs '^deb-src' /etc/apt/sources.list.d/ /etc/apt/sources.list 2>/dev/null; then
  need_src=1
fi

# Wine runs in the Chinese locale (ANSI code page 936); generate it so shells accept it.
ensure_locale() {
  locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$' && return 0
  sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen >/dev/null
}

if [ "$need_i386" = 0 ] && [ "$need_src" = 0 ] && [ ${#missing[@]} = 0 ]; then
  ensure_locale
  exit 0
fi

# On a fresh machine this takes minutes with nothing else on the screen: say what is happening.
if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${#missing[@]} Debian packages, which takes several minutes: ${missing[*]}"
else
  echo "install-deps: adding the i386 architecture or the source lists and updating the package lists"
fi
export DEBIAN_FRONTEND=noninteractive
[ "$need_i386" = 1 ] && dpkg --add-architecture i386
if [ "$need_src" = 1 ]; then
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed -i 's/^Types: deb$/Types: deb deb-src/' /etc/apt/sources.list.d/debian.sources
  elif [ -f /etc/apt/sources.list ]; then
    sed -n 's/^deb \(.*\)/deb-src \1/p' /etc/apt/sources.list >/etc/apt/sources.list.d/zerka-src.list
  fi
fi
# Quiet unless something fails: apt and debconf talk on standard error even when all goes well.
log=$(mktemp)
trap 'rm -f "$log"' EXIT
apt-get update -qq >"$log" 2>&1 || { cat "$log" >&2; exit 1; }
if [ ${#missing[@]} -gt 0 ]; then
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >"$log" 2>&1 || { cat "$log" >&2; exit 1; }
fi
ensure_locale
echo "install-deps: done (${#missing[@]} packages installed)"
exit 0
