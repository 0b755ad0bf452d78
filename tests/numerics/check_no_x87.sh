#!/bin/sh
# Disassembles the built library and fails when any function listed in the given export
# lists, or any internal math helper (lm::math), uses an x87 instruction (every x87
# mnemonic starts with "f"; no SSE or integer one does). Also fails when a listed
# function is missing from the disassembly, so the check cannot pass vacuously.
# Usage: check_no_x87.sh OBJDUMP LIBRARY EXPORT_LIST...
set -eu
objdump=$1
library=$2
shift 2
names=$(grep -hv '^#' "$@" | tr -d ' \r' | grep .)
"$objdump" -d --no-show-raw-insn "$library" | awk -v names="$names" '
BEGIN { count = split(names, list, "\n"); for (i = 1; i <= count; i++) mine[list[i]] = 1 }
/^[0-9a-f]+ <.*>:$/ {
    name = $2
    gsub(/[<>:]/, "", name)
    check = (name in mine) || name ~ /^_ZN2lm4math/
    if (name in mine) found[name] = 1
    next
}
check && /^ *[0-9a-f]+:/ {
    line = $0
    sub(/^ *[0-9a-f]+:[ \t]*/, "", line)
    split(line, words, /[ \t]+/)
    if (words[1] ~ /^f/) { print name ": " line; bad = 1 }
}
END {
    for (i = 1; i <= count; i++)
        if (!(list[i] in found)) { print "not found in the disassembly: " list[i]; bad = 1 }
    exit bad
}'
