#!/usr/bin/env bash
# ZUN2 against txt2pdbdoc on the corpus, in one run: document size / text size, whole-process
# encode and decode time (median of RUNS runs), and the ratios between them. Both keep the text
# unchanged (zundoc --raw, txt2pdbdoc -b); both decoders read the same document (ours).
# usage: bench/run.sh [build-dir]   (RUNS=11 by default)
set -euo pipefail
export LC_ALL=C  # a dot in EPOCHREALTIME
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../build}"
zundoc="$build/bin/zundoc"
runs="${RUNS:-11}"
[ -x "$zundoc" ] || { echo "build first: $zundoc" >&2; exit 1; }
[ -f "$here/corpus/bible.txt" ] || "$here/corpus.sh" >/dev/null
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Median wall time in seconds of running "$@" $runs times. The clock is bash's own
# (EPOCHREALTIME), so no helper process is started inside the measured time.
median() {
  local times=()
  for _ in $(seq "$runs"); do
    local start=$EPOCHREALTIME
    "$@" >/dev/null 2>&1
    local end=$EPOCHREALTIME
    times+=($(( ${end/./} - ${start/./} )))
  done
  printf '%s\n' "${times[@]}" | sort -n | awk -v n="$runs" 'NR == int((n + 1) / 2) { printf "%.4f", $1 / 1e6 }'
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.4f", a / b }'; }
times() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1fx", a / b }'; }

printf '| corpus | text bytes | ZUN2 size | txt2pdbdoc size | ZUN2 encode s | txt2pdbdoc encode s | encode speed-up | ZUN2 decode s | txt2pdbdoc decode s | decode speed-up |\n'
printf '|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n'
for text in "$here"/corpus/*.txt; do
  name="$(basename "$text" .txt)"
  bytes=$(stat -c %s "$text")
  "$zundoc" encode --raw "$text" "$work/ours.pdb" >/dev/null
  txt2pdbdoc -b "$name" "$text" "$work/peer.pdb" >/dev/null
  "$zundoc" decode "$work/ours.pdb" "$work/ours.txt" >/dev/null
  cmp -s "$text" "$work/ours.txt" || { echo "round trip failed: $name" >&2; exit 1; }
  ours_size=$(ratio "$(stat -c %s "$work/ours.pdb")" "$bytes")
  peer_size=$(ratio "$(stat -c %s "$work/peer.pdb")" "$bytes")
  ours_enc=$(median "$zundoc" encode --raw "$text" "$work/e.pdb")
  peer_enc=$(median txt2pdbdoc -b "$name" "$text" "$work/p.pdb")
  ours_dec=$(median "$zundoc" decode "$work/ours.pdb" "$work/d.txt")
  peer_dec=$(median txt2pdbdoc -d "$work/ours.pdb" "$work/q.txt")
  printf '| %s | %d | %s | %s | %s | %s | %s | %s | %s | %s |\n' "$name" "$bytes" "$ours_size" "$peer_size" \
    "$ours_enc" "$peer_enc" "$(times "$peer_enc" "$ours_enc")" "$ours_dec" "$peer_dec" "$(times "$peer_dec" "$ours_dec")"
done
