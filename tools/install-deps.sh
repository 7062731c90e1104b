#!/usr/bin/env bash
# Installs the Debian packages the player and its tests need; quick when all are present.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev
  libsdl2-dev libcairo2-dev libpango1.0-dev libcurl4-openssl-dev
  fonts-nanum libgtest-dev clang libclang-rt-14-dev
  ffmpeg xvfb xdotool yt-dlp zenity imagemagick
  libglib2.0-dev dbus playerctl desktop-file-utils
  xclip tesseract-ocr
  openbox x11-utils
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
