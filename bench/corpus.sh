#!/usr/bin/env bash
# Builds the benchmark corpus from Debian packages into bench/corpus/:
#   bible.txt     the King James Bible (bible-kjv)
#   fortunes.txt  every file of /usr/share/games/fortunes (fortunes; bytes 1-8 and >= 0x80 included)
#   licenses.txt  /usr/share/common-licenses concatenated
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
out="$here/corpus"
need=()
command -v bible >/dev/null || need+=(bible-kjv)
[ -d /usr/share/games/fortunes ] || need+=(fortunes)
command -v txt2pdbdoc >/dev/null || need+=(txt2pdbdoc)
if [ ${#need[@]} -gt 0 ]; then
  [ "$(id -u)" = 0 ] || { echo "needs: apt-get install ${need[*]}" >&2; exit 1; }
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null
fi
mkdir -p "$out"
bible Gen1:1-Rev22:21 > "$out/bible.txt"
find /usr/share/games/fortunes -type f | LC_ALL=C sort | xargs cat > "$out/fortunes.txt"
find /usr/share/common-licenses -type f | LC_ALL=C sort | xargs cat > "$out/licenses.txt"
ls -l "$out"
