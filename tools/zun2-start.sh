#!/usr/bin/env bash
# Starts the window in its data folder ($XDG_DATA_HOME/zun2, else ~/.local/share/zun2), so that
# zundata.dat and the temporary files never land in the current folder. It runs as whoever
# starts it: the window needs no administrator rights.
# usage: zun2-start [path-to-zun2] [zun2 options]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
program=""
if [ $# -gt 0 ] && [ "${1#-}" = "$1" ]; then
  program="$1"
  shift
fi
if [ -z "$program" ]; then
  # Installed: beside this script; in the source tree: the build folder's program.
  for candidate in "$here/zun2" "$here/../build/bin/zun2" "$(command -v zun2 || true)"; do
    [ -n "$candidate" ] && [ -x "$candidate" ] && { program="$candidate"; break; }
  done
fi
[ -n "$program" ] && [ -x "$program" ] || { echo "zun2-start: zun2 not found; build it first" >&2; exit 1; }
program="$(cd "$(dirname "$program")" && pwd)/$(basename "$program")"
# A relative XDG_DATA_HOME counts as unset (XDG base directories), as it does for zundoc run.
data_home="${XDG_DATA_HOME:-}"
[ "${data_home#/}" != "$data_home" ] || data_home="$HOME/.local/share"
data="$data_home/zun2"
mkdir -p "$data/help"
# The help page: from the installed share folder, else from the source tree.
for help in "$(dirname "$program")/../share/zun2/help/help.htm" "$here/../help/help.htm"; do
  if [ -f "$help" ]; then
    cmp -s "$help" "$data/help/help.htm" || cp "$help" "$data/help/help.htm"
    break
  fi
done
cd "$data"
exec "$program" "$@"
