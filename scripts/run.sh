#!/usr/bin/env bash
# Installs what is missing, makes the optimised build in build/ and runs the
# program from data/ (its working directory) on the default patch.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DKEL_TESTS=OFF
cmake --build build -j"$(nproc)"
cd data
exec "$root/build/z_ozodive" "$@"
