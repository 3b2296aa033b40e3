#!/usr/bin/env bash
# Starts the window in its data folder ($XDG_DATA_HOME/zun2, else ~/.local/share/zun2), so that
# zundata.dat and the temporary files never land in the current folder.
# usage: zun2-start.sh [path-to-zun2]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
program="${1:-}"
if [ -z "$program" ]; then
  for candidate in "$here/../build/bin/zun2" "$here/zun2" "$(command -v zun2 || true)"; do
    [ -n "$candidate" ] && [ -x "$candidate" ] && { program="$candidate"; break; }
  done
fi
[ -n "$program" ] && [ -x "$program" ] || { echo "zun2 not found; build it first" >&2; exit 1; }
program="$(cd "$(dirname "$program")" && pwd)/$(basename "$program")"
data="${XDG_DATA_HOME:-$HOME/.local/share}/zun2"
mkdir -p "$data/help"
# The help page lies below the program folder: from the source tree or the installed share folder.
for help in "$here/../help/help.htm" "$(dirname "$program")/../share/zun2/help/help.htm"; do
  if [ -f "$help" ]; then
    cmp -s "$help" "$data/help/help.htm" || cp "$help" "$data/help/help.htm"
    break
  fi
done
cd "$data"
exec "$program"
