# shellcheck shell=bash
# Shared by boot-usb.sh and boot-hdd.sh (sourced, not run): partition offsets, the token of a
# test initrd (scripts/boot/boot-kit.sh) and one QEMU boot judged by what that initrd's /init reports.
export MTOOLS_SKIP_CHECK=1

die() { echo "$(basename "$0"): $*" >&2; exit 1; }

# Start sector of partition N of a partitioned image.
part_start() {
  sfdisk -d "$1" | sed -n "s|^$1$2 : start= *\([0-9]*\),.*|\1|p"
}

# installed_token TREE FILE...: fails unless each FILE lies in TREE, then prints the token of the
# tree's zerka/initrd.gz.
installed_token() {
  local tree=$1 f
  shift
  for f in zerka/vmlinuz zerka/initrd.gz "$@"; do
    [ -s "$tree/$f" ] || die "$tree/$f missing"
  done
  initrd_token "$tree/zerka/initrd.gz"
}

# The token that boot-kit.sh put into an initrd.
initrd_token() {
  gzip -dc "$1" | cpio -i --quiet --to-stdout zerka-token 2>/dev/null | grep . \
    || die "$1 holds no zerka-token (not made by scripts/boot/boot-kit.sh?)"
}

# boot_check LOG WANT_ARGS WANT_EXIT TOKEN QEMU_ARGS...: boots headless under TCG, prints the
# command line that /init reported and fails unless it carries WANT_ARGS, the exit value says
# the same and the token is the one expected.
boot_check() {
  local log=$1 want=$2 want_exit=$3 token=$4 rc=0 seen got
  shift 4
  timeout 120 qemu-system-x86_64 -accel tcg -m 512 -display none -no-reboot -monitor none \
    -serial "file:$log" -device isa-debug-exit,iobase=0xf4,iosize=0x04 "$@" || rc=$?
  seen=$(sed -n 's/^zerka-cmdline: //p' "$log" | tr -d '\r')
  got=$(sed -n 's/^zerka-token: //p' "$log" | tr -d '\r')
  echo "kernel command line: ${seen:-(none reported)}"
  [ "$rc" != 124 ] || die "no verdict within 120 s"
  case " $seen " in *" $want "*) ;; *) die "command line lacks '$want' (qemu exit $rc)" ;; esac
  [ "$rc" = "$want_exit" ] || die "init reported exit $rc, expected $want_exit"
  [ "$got" = "$token" ] || die "token '$got' is not the installed initrd's '$token'"
}
