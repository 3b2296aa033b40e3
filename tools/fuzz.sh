#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (address and undefined-behaviour sanitizers) and runs
# each for SECONDS seconds (default 60) on a copy of its seed corpus. Exits non-zero on a finding.
# usage: tools/fuzz.sh [SECONDS]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
"$root/tools/install-deps.sh" --clang
build="$root/build-fuzz"
cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=undefined" \
  -DZUN2_BUILD_TESTS=OFF -DZUN2_BUILD_UI=OFF -DZUN2_FUZZ=ON >/dev/null
cmake --build "$build" -j2 --target decompress_fuzzer roundtrip_fuzzer document_fuzzer jpilot_settings_fuzzer data_file_fuzzer >/dev/null
mkdir -p "$root/fuzz/artifacts"
for target in decompress roundtrip document jpilot_settings data_file; do
  work="$(mktemp -d)"
  cp "$root/fuzz/corpus/$target/"* "$work/"
  echo "fuzzing $target for $seconds s"
  "$build/bin/${target}_fuzzer" "$work" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$root/fuzz/artifacts/$target-" -print_final_stats=1 2>&1 |
    grep -E '^(stat::number_of_executed_units|stat::new_units_added|==[0-9]+==ERROR|SUMMARY|INFO: Running|Done)' || true
  status=${PIPESTATUS[0]}
  rm -rf "$work"
  [ "$status" -eq 0 ] || { echo "fuzzer $target found a problem (exit $status)"; exit 1; }
done
echo "fuzzing: no findings"
