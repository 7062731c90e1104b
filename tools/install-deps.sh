#!/usr/bin/env bash
# Installs the Debian packages a build leg needs; quick when all are present.
#   tools/install-deps.sh           the Linux build and its tests
#   tools/install-deps.sh windows   the Windows cross build and its tests under wine
set -euo pipefail

case "${1:-linux}" in
  linux)
    PACKAGES=(
      build-essential cmake ninja-build pkg-config
      # the player's FFmpeg, built from Debian's source (tools/build-ffmpeg-linux.sh)
      nasm libdav1d-dev libva-dev libvdpau-dev libdrm-dev libssl-dev libbz2-dev zlib1g-dev libx11-dev
      libsdl2-dev libcairo2-dev libpango1.0-dev libcurl4-openssl-dev libass-dev
      fonts-nanum libgtest-dev clang libclang-rt-14-dev
      ffmpeg xvfb xdotool yt-dlp zenity imagemagick
      libglib2.0-dev dbus playerctl desktop-file-utils
      xclip tesseract-ocr tesseract-ocr-kor
      openbox x11-utils
      lintian appstream librsvg2-bin dpkg-dev
    )
    ;;
  windows)
    # mingw-w64 (posix threads), the cross builds of FFmpeg, dav1d and libass with its libraries
    # from their Debian sources (dpkg-dev, nasm, meson, zlib), GoogleTest's source, wine with a
    # PulseAudio server for WASAPI and an X server (with a window manager and a Hangul font) for
    # its windows, the host's ffmpeg for the test media, what makes and checks the zip, the
    # installer (NSIS) and the icon, what the end-to-end scenarios drive and read the program
    # with, and the real yt-dlp the video-site tests run.
    PACKAGES=(
      cmake ninja-build ccache pkg-config make
      g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools
      libz-mingw-w64-dev nasm meson dpkg-dev libgtest-dev
      wine wine64 pulseaudio pulseaudio-utils
      xvfb openbox x11-utils fonts-nanum
      ffmpeg xdotool xclip imagemagick tesseract-ocr tesseract-ocr-kor
      zip unzip nsis librsvg2-bin icoutils xauth yt-dlp
    )
    ;;
  *)
    echo "usage: $0 [linux|windows]" >&2
    exit 2
    ;;
esac

# One dpkg-query for the whole list keeps the common case (nothing missing) fast. It fails when
# any package is unknown to dpkg, which is exactly the case that must go on to install.
installed=" $({ dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' "${PACKAGES[@]}" 2>/dev/null || true; } |
  awk '$1 == "ii" { printf "%s ", $2 }') "
missing=()
for p in "${PACKAGES[@]}"; do
  [[ "$installed" == *" $p "* ]] || missing+=("$p")
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
