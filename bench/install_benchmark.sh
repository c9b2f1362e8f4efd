#!/usr/bin/env bash
# Install benchmark (see bench/README.md): whole installations through the installer's windows
# against (a) one direct "7z e" of the same files and (b) the installer's tool runs alone, back to
# back (from a process without a console, as the installer is, and from a console program), for
# the removable D: and the hard-disk partition E:, with a 300 MiB and a 700 MiB image, first with
# the image in the page cache, then with the cache emptied before each run. Each installation's read-back is
# timed from its log and set against one plain read of the same files and CryptoAPI's SHA-256 of as many bytes;
# one "7z e" with -scrcSHA256 against one without. Not a test.
#   bench/install_benchmark.sh [WIN_BUILD_DIR] [ROUNDS]    default build/win (win64 without 32-bit code), 5 rounds
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
. "$root/scripts/wine/windows-target.sh"
choose_windows_target  # build/win, or build/win64 where 32-bit code cannot run
build=$(mkdir -p "${1:-$root/build/$windows_build}" && cd "${1:-$root/build/$windows_build}" && pwd)
rounds=${2:-5}
state="$build/bench-testbed"
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" \
    -DCMAKE_TOOLCHAIN_FILE="$root/$windows_toolchain" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target zerka-installer zerka-installer-testbed tool_double windows_tools install_bench \
  -j2 >/dev/null

drop_cache() { sync && echo 3 >/proc/sys/vm/drop_caches; }
temps="warm cold"
drop_cache 2>/dev/null || { temps=warm; echo "the page cache cannot be emptied here (needs root): warm runs only"; }

bench=""
testbed=$root/scripts/wine/wine-testbed.sh
trap '[ -z "$bench" ] || rm -rf "$bench"; "$testbed" stop "$state" >/dev/null 2>&1 || true' EXIT
"$testbed" start "$state" "$build" >/dev/null
# shellcheck disable=SC1091
. "$state/env.sh"
c="$WINEPREFIX/drive_c"
# Run from the installer folders, so it starts the same tools the installer finds beside itself.
cp "$build/bench/install_bench.exe" "$c/zerka-installer/"
cp "$build/bench/install_bench.exe" "$c/zerka-boot/"

# Images of one shape: a 4 MiB kernel, a 6 MiB initrd and one incompressible .sfs, 300 or 700 MiB
# in all; made for this run and deleted at its end.
bench="$c/bench"
rm -rf "$bench" && mkdir -p "$bench"
for mib in 300 700; do
  tree="$bench/tree"
  mkdir -p "$tree"
  head -c $((4 << 20)) /dev/urandom >"$tree/vmlinuz"
  head -c $((6 << 20)) /dev/urandom >"$tree/initrd.gz"
  head -c $(((mib - 10) << 20)) /dev/urandom >"$tree/zerka_$((mib - 10)).sfs"
  printf 'not installed\r\n' >"$tree/README.txt"
  xorriso -as mkisofs -quiet -R -J -o "$bench/image$mib.iso" "$tree/" 2>/dev/null
  rm -rf "$tree"
done

sides="install direct direct-sha256 tools tools-console"
results="$state/install-bench.txt"
: >"$results"
# measure TEMP MIB DRIVE SIDE ROUND: one side timed by a fresh run of install_bench.exe. Every "name seconds" line
# it prints is kept; an installation adds "without", its time less its read-back's.
measure() {
  local folder='C:\zerka-installer' env=() out
  [ "$3" = E ] && folder='C:\zerka-boot' env=('C:\boot-proof\e.env')
  if [ "$1" = cold ]; then drop_cache; else sync; fi
  out=$("$root/scripts/wine/wine-run.sh" "$state" "$folder\\install_bench.exe" "$4" "C:\\bench\\image$2.iso" "$3" \
          "${env[@]}" 2>&1 | tr -d '\r')
  grep -qE "^$4 [0-9.]+$" <<<"$out" \
    || { printf '%s MiB %s: %s round %s: %s failed:\n%s\n' "$2" "$3" "$1" "$5" "$4" "$out" >&2; return 1; }
  grep -E '^[a-z0-9-]+ [0-9.]+$' <<<"$out" | awk -v k="$2 $3 $1 $5" '{ print k, $1, $2; s[$1] = $2 }
    END { if ("read-back" in s) print k, "without", s["install"] - s["read-back"] }' >>"$results"
}
# median MIB DRIVE TEMP NAME: the median of that figure over the rounds.
median() {
  awk -v m="$1" -v d="$2" -v t="$3" -v s="$4" '$1 == m && $2 == d && $3 == t && $5 == s { print $6 }' "$results" |
    sort -n | awk '{ v[NR] = $1 } END { print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

load() { cut -d' ' -f1-3 /proc/loadavg; }
echo "$(nproc) cores, Wine $(wine --version | sed 's/^wine-//'), load average $(load) at the start"
echo "seconds from Start (or the first tool) to the end, $rounds rounds"
for mib in 300 700; do
  for temp in $temps; do
    [ "$temp" = warm ] && cat "$bench/image$mib.iso" >/dev/null
    for round in $(seq "$rounds"); do
      for drive in D E; do
        for side in $sides; do measure "$temp" "$mib" "$drive" "$side" "$round"; done
        awk -v m="$mib" -v d="$drive" -v t="$temp" -v r="$round" '$1 == m && $2 == d && $3 == t && $4 == r {
          s[$5] = $6 } END { printf "%s MiB %s: %s round %s: installation %.2f (read-back %.2f, plain read %.2f," \
          " hash %.2f), direct 7z e %.2f (-scrcSHA256 %.2f), tool runs %.2f (from a console %.2f)\n", m, d, t, r,
          s["install"], s["read-back"], s["read"], s["hash"], s["direct"], s["direct-sha256"], s["tools"],
          s["tools-console"] }' "$results"
      done
    done
  done
done

echo "load average $(load) at the end; medians over the rounds, and the ratios of the installation to (a) and (b):"
printf '%-8s %-3s %-5s %8s %8s %8s %8s %15s %14s\n' image drv cache install direct tools console \
  install/direct install/tools
for mib in 300 700; do
  for drive in D E; do
    for temp in $temps; do
      line="$mib MiB $drive: $temp"
      for side in install direct tools tools-console; do line="$line $(median "$mib" "$drive" "$temp" "$side")"; done
      awk '{ printf "%-8s %-3s %-5s %8.2f %8.2f %8.2f %8.2f %15.2f %14.2f\n", $1 " " $2, $3, $4, $5, $6, $7, $8,
        $5 / $6, $5 / $7 }' <<<"$line"
    done
  done
done
echo "the read-back (medians; without: the installation less its read-back; read: one plain read of the same files;"
echo "hash: CryptoAPI's SHA-256 of as many bytes in memory) and 7z e with -scrcSHA256 against without:"
printf '%-8s %-3s %-5s %8s %9s %8s %8s %8s %14s %8s %8s %13s\n' image drv cache install read-back without read hash \
  read-back/read direct sha256 sha256/direct
for mib in 300 700; do
  for drive in D E; do
    for temp in $temps; do
      line="$mib MiB $drive: $temp"
      for name in install read-back without read hash direct direct-sha256; do
        line="$line $(median "$mib" "$drive" "$temp" "$name")"
      done
      awk '{ printf "%-8s %-3s %-5s %8.2f %9.2f %8.2f %8.2f %8.2f %14.2f %8.2f %8.2f %13.2f\n", $1 " " $2, $3, $4,
        $5, $6, $7, $8, $9, $6 / $8, $10, $11, $11 / $10 }' <<<"$line"
    done
  done
done
