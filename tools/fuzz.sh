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
targets="decompress roundtrip document chained_lists jpilot_settings data_file"
cmake --build "$build" -j2 --target $(for t in $targets; do echo "${t}_fuzzer"; done) >/dev/null
mkdir -p "$root/fuzz/artifacts"
for target in $targets; do
  work="$(mktemp -d)"
  # The files the target writes: in memory where possible, since conversions flush them.
  scratch="$(mktemp -d /dev/shm/zun2-fuzz-XXXXXX 2>/dev/null || mktemp -d)"
  cp "$root/fuzz/corpus/$target/"* "$work/"
  echo "fuzzing $target for $seconds s"
  limits="-max_len=65536 -timeout=10 -rss_limit_mb=2048"
  # A few bytes describe megabytes of record lists: each must be read in a second or two, and no
  # allocation may follow what the lists promise.
  if [ "$target" = chained_lists ]; then limits="-max_len=512 -timeout=5 -rss_limit_mb=1024 -malloc_limit_mb=32"; fi
  ZUN2_FUZZ_FOLDER="$scratch" "$build/bin/${target}_fuzzer" "$work" -max_total_time="$seconds" $limits \
    -artifact_prefix="$root/fuzz/artifacts/$target-" -print_final_stats=1 2>&1 |
    grep -E '^(stat::number_of_executed_units|stat::new_units_added|==[0-9]+==ERROR|SUMMARY|INFO: Running|Done)' || true
  status=${PIPESTATUS[0]}
  rm -rf "$work" "$scratch"
  [ "$status" -eq 0 ] || { echo "fuzzer $target found a problem (exit $status)"; exit 1; }
done
echo "fuzzing: no findings"
