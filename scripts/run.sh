#!/usr/bin/env bash
# Installs what is missing, makes the optimised build in build/ and runs the
# program from data/ (its working directory) on the default patch.
#
# The live sound output is not built yet: the program renders the default
# patch (KSY/ZZZ.ksy, or the patch given as argument) for 30 seconds through
# the same callback the sound card will hear, into build/ZZZ.wav.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DKEL_TESTS=OFF
cmake --build build -j"$(nproc)"
cd data
"$root/build/z_ozodive" --render "$root/build/ZZZ.wav" --seconds 30 "$@"
echo "Listen with: aplay $root/build/ZZZ.wav"
