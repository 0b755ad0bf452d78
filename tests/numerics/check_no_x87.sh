#!/bin/sh
# Fails when a function of the given export lists, or an internal math helper (lm::math),
# uses an x87 instruction (every x87 mnemonic starts with "f", no SSE or integer one
# does), or is missing from the disassembly, so that the check cannot pass vacuously.
# Usage: check_no_x87.sh OBJDUMP LIBRARY EXPORT_LIST...
set -eu
objdump=$1
library=$2
shift 2
"$objdump" -d --no-show-raw-insn "$library" | awk -v names="$(grep -hv '^#' "$@" | tr -d ' \r' | grep .)" '
BEGIN { count = split(names, list, "\n"); for (i = 1; i <= count; i++) mine[list[i]] = 1 }
/^[0-9a-f]+ <.*>:$/ { name = substr($2, 2, length($2) - 3); check = (name in mine) || name ~ /^_ZN2lm4math/; found[name] = 1; next }
check && $1 ~ /^[0-9a-f]+:$/ && $2 ~ /^f/ { print name ": " $0; bad = 1 }
END { for (i = 1; i <= count; i++) if (!(list[i] in found)) { print "not found in the disassembly: " list[i]; bad = 1 }; exit bad }'
