#!/usr/bin/env bash
# Installs what is missing, builds the test suite under AddressSanitizer and
# UndefinedBehaviorSanitizer in build-test/ and runs it, runs the tests that use
# threads under ThreadSanitizer (build-tsan/), then fuzzes every parser briefly.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKEL_SANITIZE=ON -DKEL_BENCH=OFF
cmake --build build-test -j"$(nproc)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$(pwd)/tests/lsan.supp:print_suppressions=0
ctest --test-dir build-test --output-on-failure -j"$(nproc)"
# The tests that use threads again, under ThreadSanitizer: no report allowed.
bash scripts/tsan.sh
# Every parser of untrusted input, fuzzed for a few seconds over its seed corpus.
bash scripts/fuzz.sh
