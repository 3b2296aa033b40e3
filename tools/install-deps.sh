#!/usr/bin/env bash
# Installs what building and testing ZUN2 needs on Debian 12 (run as root).
set -euo pipefail
# txt2pdbdoc and calibre (ebook-convert) are peers in the tests; their tests skip without them.
packages=(cmake g++ make libgtest-dev txt2pdbdoc calibre qt6-base-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}" >/dev/null
fi
