#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each over its
# seed corpus (fuzz/corpus/<target>/) for a few seconds (FUZZ_SECONDS, default 10).
# A crash leaves its input in build-fuzz/crashes/ and fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=${FUZZ_SECONDS:-10}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DKEL_FUZZ=ON -DKEL_TESTS=OFF -DKEL_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)"
mkdir -p build-fuzz/crashes
status=0
for bin in build-fuzz/fuzz/fuzz_*; do
  [ -x "$bin" ] || continue
  name=$(basename "$bin")
  work="build-fuzz/corpus/$name"
  mkdir -p "$work"
  seeds="$root/fuzz/corpus/$name"
  [ -d "$seeds" ] || seeds=""
  echo "== $name (${seconds}s)"
  # Run from data/ so that inputs naming relative files find the program's data.
  if ! (cd data && ASAN_OPTIONS=detect_leaks=1 "$root/$bin" -max_total_time="$seconds" \
        -timeout=10 -rss_limit_mb=4096 -print_final_stats=0 \
        -artifact_prefix="$root/build-fuzz/crashes/$name-" "$root/$work" $seeds 2>&1 | tail -n 3); then
    echo "!! $name failed"
    status=1
  fi
done
exit $status
