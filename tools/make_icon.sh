#!/usr/bin/env bash
# Draws the program's icon (a knob with its pointer on a brushed panel, an LED
# and a patch cable) with ImageMagick, in the sizes the hicolor theme uses.
# Writes desktop/icons/<N>x<N>/z_ozodive.png; run by hand after a restyle.
set -euo pipefail
cd "$(dirname "$0")/.."
for n in 48 128 256; do
  out=desktop/icons/${n}x${n}
  mkdir -p "$out"
  convert -size 256x256 xc:none \
    -fill '#2b2f36' -stroke '#15181c' -strokewidth 6 -draw 'roundrectangle 10,10 246,246 36,36' \
    -fill '#c9ccd1' -stroke '#8a8f97' -strokewidth 4 -draw 'circle 128,140 128,62' \
    -fill '#3a3f47' -stroke none -draw 'circle 128,140 128,82' \
    -stroke '#f2b33d' -strokewidth 14 -draw 'line 128,140 172,96' \
    -fill '#ff4a3d' -stroke '#7a1c16' -strokewidth 3 -draw 'circle 50,50 50,36' \
    -fill none -stroke '#d8443a' -strokewidth 10 -draw 'bezier 206,44 236,110 150,230 206,236' \
    -resize "${n}x${n}" "$out/z_ozodive.png"
done
