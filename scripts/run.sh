#!/usr/bin/env bash
# Installs what is missing, makes the optimised build in build/ and runs the
# synthesizer from data/ (its working directory) on the default patch
# (KSY/ZZZ.ksy), or on the patch and options given as arguments:
#   bash scripts/run.sh [--headless] [--record] [KSY/brio3.ksy]
# The console asks for the sound output and its driver; ESC quits. Keys can be
# piped: printf '31' | bash scripts/run.sh   (ALSA, its first driver).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
# The build steps must not eat keys piped in for the menus.
bash scripts/setup.sh </dev/null >&2
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DKEL_TESTS=OFF </dev/null >&2
cmake --build build -j"$(nproc)" </dev/null >&2
cd data
exec "$root/build/z_ozodive" "$@"
