#!/usr/bin/env bash
# Runs clang-tidy with the project's .clang-tidy over every source file of src, tests, bench and
# fuzz, as the compile database of a Clang build compiles them (configured, not built: only the
# window tests' moc files are made). Exits non-zero on any finding.
# usage: tools/clang-tidy.sh [build-dir]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build-tidy}"
"$root/tools/install-deps.sh" --tidy
# AUTOGEN_ORIGIN_DEPENDS off: moc runs without building the libraries the tests link.
cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_EXPORT_COMPILE_COMMANDS=ON \
  -DCMAKE_AUTOGEN_ORIGIN_DEPENDS=OFF >/dev/null
mapfile -t autogen < <(cmake --build "$build" --target help | sed -n 's/^\.\.\. \(.*_autogen\)$/\1/p')
[ ${#autogen[@]} -eq 0 ] || cmake --build "$build" --target "${autogen[@]}" >/dev/null
log="$build/clang-tidy.log"
status=0
run-clang-tidy -quiet -j "$(nproc)" -p "$build" "^$root/(src|tests|bench|fuzz)/" >"$log" 2>&1 || status=$?
# The findings, without colours, command lines and counts of what was left out.
noise='^clang-tidy(-[0-9]+)? |^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$|^Suppressed [0-9]+ warnings|^Use -header-filter|^$'
sed 's/\x1b\[[0-9;]*m//g' "$log" | grep -v -E "$noise" || true
[ "$status" -eq 0 ] || { echo "clang-tidy: findings above" >&2; exit 1; }
echo "clang-tidy: no findings"
