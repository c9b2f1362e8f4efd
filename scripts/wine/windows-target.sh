# shellcheck shell=bash
# Sourced by test.sh and demo.sh: which Windows build this machine can test. Some build machines
# run no 32-bit x86 code at all (their kernel refuses i386 programs), so neither 32-bit Wine nor
# the 32-bit installer can start there; 64-bit Wine can, and runs an x86_64 build of the same
# sources. ZERKA_WINDOWS_ARCH set by the caller (i686 or x86_64) decides instead. Sets
# windows_arch, windows_toolchain, windows_build (the build folder's name under build/: win or
# win64), machine_note (what this machine runs), build_note (which build is tested, and why) and
# i386_note (why the tests that start the shipped 32-bit programs do not run, when they do not).
choose_windows_target() {
  local probe runs32=0 why
  probe=$(mktemp -d)
  if printf 'int main(void) { return 0; }\n' >"$probe/p.c" &&
     gcc -m32 -static -o "$probe/p" "$probe/p.c" >/dev/null 2>&1 && "$probe/p" 2>/dev/null; then
    runs32=1
  fi
  rm -rf "$probe"
  if [ "$runs32" = 1 ]; then
    machine_note="this machine runs 32-bit x86 code"
    windows_arch=${ZERKA_WINDOWS_ARCH:-i686}
    why="what ships"
  else
    machine_note="this machine runs no 32-bit x86 code (a static 32-bit program does not start)"
    windows_arch=${ZERKA_WINDOWS_ARCH:-x86_64}
    why="this machine cannot run the 32-bit one"
  fi
  [ -z "${ZERKA_WINDOWS_ARCH:-}" ] || why="ZERKA_WINDOWS_ARCH=$ZERKA_WINDOWS_ARCH asks for it"
  windows_toolchain=cmake/mingw-$windows_arch.cmake
  windows_build=win
  [ "$windows_arch" = i686 ] || windows_build=win64
  i386_note=
  if [ "$windows_arch" = i686 ]; then
    build_note="Windows build: the 32-bit one, under 32-bit Wine ($why)"
  else
    build_note="Windows build: x86_64, from the same sources, under 64-bit Wine ($why)"
    i386_note="this machine runs no 32-bit code"
    [ "$runs32" = 0 ] || i386_note="this run tests the x86_64 build: $why"
  fi
}
