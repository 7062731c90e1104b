#!/usr/bin/env bash
# CPU seconds spent playing the same file for the same time: vell-player against ffplay,
# both under one Xvfb with the dummy sound driver.
# Usage: bench/playback_cpu.sh FILE [SECONDS] [PLAYER]
set -euo pipefail
file=$(readlink -f "$1")
seconds=${2:-15}
root=$(cd "$(dirname "$0")/.." && pwd)
player=$(readlink -f "${3:-$root/build/release/vell-player}")
[ -x "$player" ] || { echo "build the player first (./run.sh builds build/release)" >&2; exit 2; }

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1920x1080x24" "$0" "$file" "$seconds" "$player"
fi

work=$(mktemp -d /tmp/vell-cpu-XXXXXX)
trap 'rm -rf "$work"' EXIT
cp "$player" "$work/vell-player"
cp "$(dirname "$player")/streams.ini" "$work/" 2>/dev/null || true
. "$root/bench/lib.sh"
cpu_of() { run_for "$seconds" "$@" | cut -d' ' -f1; }

export SDL_AUDIODRIVER=dummy
vell=$(cpu_of "$work/vell-player" "$file")
ref=$(cpu_of ffplay -hide_banner -loglevel error -autoexit -x 1280 -y 720 "$file")
echo "vell-player: $vell cpu seconds in $seconds s"
echo "ffplay: $ref cpu seconds in $seconds s"
awk -v a="$vell" -v b="$ref" 'BEGIN { printf "cpu_ratio=%.3f\n", (b > 0 ? a / b : 0) }'
