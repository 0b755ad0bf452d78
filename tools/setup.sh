#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests, the simulator and the benchmarks
# need, when any is missing. Uses sudo unless already root.
set -euo pipefail
cd "$(dirname "$0")"
mapfile -t packages < <(grep -v '^\s*#' packages.txt | grep -v '^\s*$')
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(sudo)
  "${as_root[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
