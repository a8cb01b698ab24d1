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
# The sample-exact tests again, held to the plain x86-64 builds of the
# kernels: a machine without AVX2 or AVX-512 must hear the same samples.
Z_OZODIVE_SIMD=plain ctest --test-dir build-test --output-on-failure -j"$(nproc)" \
    -R '^(Patches/RenderChecksum|BlockRender|PatchBlocks|LinkedBlocks|Stages/EnvelopeBlock|FreeSineBlock|FilterBlock|Responses/FilterBlock|FastSine|FastCosine|Gates/SteadySteps)[./]'
# The tests that use threads again, under ThreadSanitizer: no report allowed.
bash scripts/tsan.sh
# Every parser of untrusted input, fuzzed for a few seconds over its seed corpus.
bash scripts/fuzz.sh
