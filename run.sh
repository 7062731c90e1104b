#!/usr/bin/env bash
# Installs what is missing, builds the player (Release) and starts it with the optional FILE-OR-URL.
set -euo pipefail
cd "$(dirname "$0")"
./tools/install-deps.sh
./tools/build-ffmpeg-linux.sh >/dev/null
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELL_TESTS=OFF -DVELL_BENCH=OFF >/dev/null
cmake --build build/release --target vell-player
exec ./build/release/vell-player "$@"
