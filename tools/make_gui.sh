#!/usr/bin/env bash
# Redraws the interface pictures (data/Kel_Engine/: PNG pictures and masks,
# the splash SnapShot.jpg, the image library GUI.KIM, the font list
# FONTS.LST) and the panels' front resource files (data/RC/*.RC,
# data/FOND_GLOBAL.RC) with tools/make_gui.cpp. The results are kept in the
# repository; run this only to change them. "make_gui.sh --preview DIR"
# also writes each panel as the engine shows it into DIR, to check by eye.
#
# Debian packages: g++ pkg-config libpng-dev libjpeg-dev libfreetype-dev
# fonts-dejavu-core; tools/check_gui.sh also needs imagemagick (identify).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
g++ -std=c++17 -O2 -Wall -Wextra -I"$root" $(pkg-config --cflags freetype2 libpng) \
    tools/make_gui.cpp tools/gui_raster.cpp tools/gui_widgets.cpp tools/gui_faces.cpp tools/gui_preview.cpp tools/gui_rc.cpp \
    -o "$out/make_gui" $(pkg-config --libs freetype2 libpng) -ljpeg
rm -rf data/Kel_Engine
mkdir -p data/Kel_Engine data/RC
cd data
"$out/make_gui" "$@"
