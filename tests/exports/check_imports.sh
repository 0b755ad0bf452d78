#!/bin/sh
# Fails unless the library file and its soname are both named LorrinBootWindow and it
# imports nothing: no needed library, no text relocation, no undefined dynamic symbol.
# (That it exports exactly the names its folders list is the link's own doing: a
# version script made from those lists.) Usage: check_imports.sh READELF LIBRARY
set -eu
[ "$(basename "$2")" = LorrinBootWindow ] || { echo "named $(basename "$2")"; exit 1; }
"$1" -dW --dyn-syms "$2" | awk '
/\(SONAME\)/ { soname = $NF }
/\(NEEDED\)|TEXTREL/ { print; bad = 1 }
$1 ~ /^[0-9]+:$/ && $7 == "UND" && $8 != "" { print "imports " $8; bad = 1 }
$1 ~ /^[0-9]+:$/ && $7 != "UND" { defined++ }
END { if (soname != "[LorrinBootWindow]" || defined < 300) { print "soname " soname ", " defined " symbols"; bad = 1 }
      exit bad }'
