#!/usr/bin/env bash
# Renders the main screens to PNG files so they can be looked at: empty, failed, video with
# controls, full screen with a scrolling title, audio-only radio (LIVE, level meter), podcast
# with cover, help sheet, connecting, toast with the quick-open bar, input dialog.
# Usage: tools/gallery.sh [OUTPUT_DIR]   (default: build/gallery)
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-build/gallery}"
cmake -S . -B build/test -G Ninja >/dev/null
cmake --build build/test -j2 --target vell_gallery
mkdir -p "$out"
out="$(cd "$out" && pwd)"
SDL_VIDEODRIVER=offscreen build/test/tools/gallery/vell_gallery "$out"
ls -1 "$out"/*.png
