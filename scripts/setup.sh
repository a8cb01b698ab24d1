#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need (only those missing).
set -euo pipefail

PACKAGES=(
  cmake g++ make ninja-build pkg-config
  libgtest-dev libbenchmark-dev
  clang libclang-rt-14-dev
  portaudio19-dev libasound2-dev libasound2-plugins libsdl1.2-dev libsdl-net1.2-dev
  pulseaudio pulseaudio-utils
  libjack-jackd2-dev jackd2 librtmidi-dev
  libsdl-image1.2-dev libsdl-gfx1.2-dev libgl-dev libglu1-mesa-dev libgl1-mesa-dri libfreetype-dev
  fonts-dejavu-core fonts-dejavu-extra xvfb xauth xdotool imagemagick libx11-dev
  libpng-dev libjpeg-dev
  libsndfile1-dev libsamplerate0-dev
  desktop-file-utils dpkg-dev file
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
