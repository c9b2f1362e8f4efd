#!/usr/bin/env bash
# Builds both targets and runs every test: the portable logic natively with ASan/UBSan,
# the libFuzzer targets for a bounded time, and the Windows program under Wine.
# Installs what is missing first (Debian 12, as root).
set -uo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=${ZERKA_BUILD_DIR:-$source_dir/build}
jobs=${ZERKA_JOBS:-$(nproc)}

bash "$source_dir/scripts/install-deps.sh" || { echo "installing the build dependencies failed" >&2; exit 1; }
. "$source_dir/scripts/wine/windows-target.sh"
choose_windows_target
echo "=== $machine_note"
echo "=== $build_note"

passed=0
failed=0
status=0
summary=$(mktemp)
trap 'rm -f "$summary"' EXIT

# configure + build + ctest of one build folder; counts what CTest reports. ctest_args (set by
# the caller) go to CTest.
ctest_args=()
run_suite() {
  local name=$1 dir=$2; shift 2
  echo "=== $name: configure and build"
  if ! cmake -S "$source_dir" -B "$dir" "$@" >"$dir.configure.log" 2>&1; then
    tail -n 40 "$dir.configure.log"; echo "$name: configure failed"; status=1; return
  fi
  if ! cmake --build "$dir" -j "$jobs" >"$dir.build.log" 2>&1; then
    grep -E 'error|Error' "$dir.build.log" | head -n 40; echo "$name: build failed"; status=1; return
  fi
  echo "=== $name: tests"
  ctest --test-dir "$dir" --output-on-failure --timeout 900 "${ctest_args[@]}" 2>&1 | tee "$summary"
  [ "${PIPESTATUS[0]}" = 0 ] || status=1
  local line
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$summary" | tail -n 1)
  if [ -n "$line" ]; then
    local total fail
    fail=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
    total=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$line")
    passed=$((passed + total - fail)); failed=$((failed + fail))
  else
    status=1
  fi
}

mkdir -p "$build"
run_suite native "$build/native" -DZERKA_SANITIZE=ON
run_suite fuzz "$build/fuzz" -DZERKA_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
# Tests labelled needs_i386 start the shipped 32-bit programs themselves: without 32-bit code they
# are named below, never counted.
[ "$windows_arch" = i686 ] || ctest_args=(-LE needs_i386)
run_suite windows "$build/$windows_build" -DCMAKE_TOOLCHAIN_FILE="$source_dir/$windows_toolchain"
not_run=
[ "$windows_arch" = i686 ] ||
  not_run=$(ctest --test-dir "$build/$windows_build" -N -L needs_i386 2>/dev/null | sed -n 's/^ *Test *#[0-9]*: //p')

echo
echo "=== $machine_note"
echo "=== $build_note"
for test in $not_run; do
  echo "not run: $test (it starts the shipped 32-bit programs, and $i386_note)"
done
if [ "$windows_arch" != i686 ]; then
  echo "run with the 64-bit build instead of the shipped 32-bit program: the Install row"
  echo "  real_syslinux_on_a_folder_drive (syslinux64.exe, made by the same SYSLINUX build as syslinux.exe)"
fi
# The real syslinux.exe maps ldlinux.sys's clusters through the file system, which FUSE does not answer.
vfat="this kernel has no vfat (/proc/filesystems)"
! grep -qw vfat /proc/filesystems || vfat="the test bed's drives are folders, not a FAT the kernel mounted"
echo "boot proofs: the stick's boot sector comes from Linux's syslinux, the same SYSLINUX version. The real"
echo "  syslinux.exe needs a FAT the kernel mounted (so it worked in a QEMU guest running Debian's kernel):"
echo "  $vfat; through FUSE (fusefat) it fails with \"Cannot read sector 8388624\""
echo "all suites: $passed passed, $failed failed"
[ "$failed" = 0 ] || status=1
exit "$status"
