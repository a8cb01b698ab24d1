#!/usr/bin/env bash
# Rebuilds the program's sounds (data/Sounds/) and pattern files
# (data/PARTITIONS/) with tools/make_data.cpp. The results are kept in the
# repository; run this only to change them.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
g++ -std=c++17 -O2 -Wall -Wextra -pthread -I"$root" tools/make_data.cpp synth/*.cpp \
    shell/fsound.cpp shell/wav_save.cpp -o "$out/make_data"
mkdir -p data/Sounds data/PARTITIONS
cd data
"$out/make_data"
"$root/tools/make_gui.sh"
