#!/usr/bin/env bash
# The window against zundoc on the same 21 MB text (the Bible five times), in one run, and the
# window's start with 100,000 tasks. Offscreen: no X server needed.
# usage: bench/window.sh [build-dir]   (RUNS=5 by default)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../build}"
bench="$build/bin/window_bench"
[ -x "$bench" ] || { echo "build first: $bench" >&2; exit 1; }
[ -f "$here/corpus/bible.txt" ] || "$here/corpus.sh" >/dev/null
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
for _ in 1 2 3 4 5; do cat "$here/corpus/bible.txt"; done > "$work/bible5.txt"
"$bench" convert "$work/bible5.txt" "${RUNS:-5}" 2>/dev/null
"$bench" open 0 2>/dev/null
"$bench" open 100000 2>/dev/null
