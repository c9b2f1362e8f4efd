# shellcheck shell=bash
# Sourced by test.sh and demo.sh: which Windows build this machine can test. Some build machines
# run no 32-bit x86 code at all (their kernel refuses i386 programs), so neither 32-bit Wine nor
# the 32-bit installer can start there; 64-bit Wine can, and runs an x86_64 build of the same
# sources. Sets windows_arch (i686 or x86_64), windows_toolchain and machine_note (one line that
# says what this machine runs) and windows_build (the build folder's name under build/: win or
# win64). ZERKA_WINDOWS_ARCH set by the caller decides instead.
choose_windows_target() {
  local probe runs32=0
  probe=$(mktemp -d)
  if printf 'int main(void) { return 0; }\n' >"$probe/p.c" &&
     gcc -m32 -static -o "$probe/p" "$probe/p.c" >/dev/null 2>&1 && "$probe/p" 2>/dev/null; then
    runs32=1
  fi
  rm -rf "$probe"
  if [ "$runs32" = 1 ]; then
    windows_arch=${ZERKA_WINDOWS_ARCH:-i686}
    machine_note="this machine runs 32-bit x86 code: the 32-bit Windows programs are tested under 32-bit Wine"
  else
    windows_arch=${ZERKA_WINDOWS_ARCH:-x86_64}
    machine_note="this machine runs no 32-bit x86 code (a static 32-bit program does not start):"
    machine_note+=" the Windows suites run an x86_64 build of the same sources under 64-bit Wine"
  fi
  windows_toolchain=cmake/mingw-$windows_arch.cmake
  windows_build=win
  [ "$windows_arch" = i686 ] || windows_build=win64
}
