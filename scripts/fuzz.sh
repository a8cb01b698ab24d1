#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each over its
# seed corpus (fuzz/corpus/<target>/) for a few seconds (FUZZ_SECONDS, default 4),
# printing its runs and runs per second. A crash leaves its input in
# build-fuzz/crashes/ and fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=${FUZZ_SECONDS:-4}
# Optimised a little (-O1, as libFuzzer advises): unoptimised code under coverage
# tracing and the sanitizers runs a few times slower, and every run counts.
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_FLAGS_DEBUG="-g -O1" -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
  -DKEL_FUZZ=ON -DKEL_TESTS=OFF -DKEL_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)"
mkdir -p build-fuzz/crashes build-fuzz/logs
status=0
for bin in build-fuzz/fuzz/fuzz_*; do
  [ -x "$bin" ] || continue
  name=$(basename "$bin")
  work="build-fuzz/corpus/$name"
  log="$root/build-fuzz/logs/$name.log"
  mkdir -p "$work"
  seeds="$root/fuzz/corpus/$name"
  [ -d "$seeds" ] || seeds=""
  # Run from data/ so that inputs naming relative files find the program's data.
  # A short run spends most of its time faulting in fresh pages while the
  # sanitizer's 256 MB quarantine of freed memory fills up; 16 MB still holds
  # every block freed in the last few dozen runs.
  if (cd data && ASAN_OPTIONS=detect_leaks=1:quarantine_size_mb=16 "$root/$bin" -max_total_time="$seconds" \
        -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 \
        -artifact_prefix="$root/build-fuzz/crashes/$name-" "$root/$work" $seeds >"$log" 2>&1); then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    printf '== %-18s %4ss %9s runs %7s runs/s\n' "$name" "$seconds" "$runs" "$rate"
  else
    echo "== $name (${seconds}s)"
    tail -n 20 "$log"
    echo "!! $name failed"
    status=1
  fi
done
exit $status
