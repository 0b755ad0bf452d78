#!/bin/sh
# Boots a program for LorrinBootWindow in QEMU on the boot host.
#   run-qemu.sh [--nographic] BOOT_IMAGE LIBRARY PROGRAM [FILES.cpio] [-- QEMU options...]
# The console is the serial port: this terminal. With --nographic there is no window
# either (leave QEMU with Ctrl-A X). Exits with the value main returned (mod 64), 129
# when the host could not start the program or stopped it on a processor exception.
set -eu
qemu=${LBW_QEMU:-qemu-system-x86_64}
display="-serial stdio"
if [ "${1:-}" = "--nographic" ]; then
    display="-nographic"
    shift
fi
[ $# -ge 3 ] || { echo "usage: $0 [--nographic] BOOT_IMAGE LIBRARY PROGRAM [FILES.cpio] [-- QEMU options]" >&2; exit 2; }
kernel=$1 library=$2 program=$3
shift 3
modules="$library,$program"
if [ $# -ge 1 ] && [ "$1" != "--" ]; then
    modules="$modules,$1"
    shift
fi
[ "${1:-}" = "--" ] && shift
status=0
# shellcheck disable=SC2086
"$qemu" -kernel "$kernel" -initrd "$modules" -m 256M -vga std -nic none -no-reboot \
    -device isa-debug-exit,iobase=0xf4,iosize=0x04 $display "$@" || status=$?
# isa-debug-exit ends QEMU with 2 * value + 1 (the host's own failures give 129); 0
# means QEMU was closed by hand.
if [ $((status % 2)) -eq 1 ] && [ $status -ne 129 ]; then
    status=$(((status - 1) / 2))
fi
exit $status
