#!/usr/bin/env bash
# Launch to first video frame presented, median of 5 runs under Xvfb.
# Usage: bench/startup.sh FILE [PLAYER]   (PLAYER defaults to build/release/vell-player)
set -euo pipefail
file=$(readlink -f "$1")
root=$(cd "$(dirname "$0")/.." && pwd)
player=$(readlink -f "${2:-$root/build/release/vell-player}")
[ -x "$player" ] || { echo "build the player first (./run.sh builds build/release)" >&2; exit 2; }

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1920x1080x24" "$0" "$file" "$player"
fi

work=$(mktemp -d /tmp/vell-startup-XXXXXX)
trap 'rm -rf "$work"' EXIT
cp "$player" "$work/vell-player"
cp "$(dirname "$player")/streams.ini" "$work/" 2>/dev/null || true

times=()
for run in 1 2 3 4 5; do
  rm -f "$work"/*.ini "$work"/playlist.dat
  fifo="$work/log.fifo"
  rm -f "$fifo"
  mkfifo "$fifo"
  start=$(date +%s%N)
  SDL_AUDIODRIVER=dummy "$work/vell-player" "$file" 2>"$fifo" >/dev/null &
  pid=$!
  ms=""
  while IFS= read -r line; do
    if [[ $line == *"First frame presented"* ]]; then
      ms=$(( ($(date +%s%N) - start) / 1000000 ))
      break
    fi
  done <"$fifo"
  kill -TERM "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  [ -n "$ms" ] || { echo "run $run: no frame presented" >&2; exit 1; }
  echo "run $run: ${ms} ms"
  times+=("$ms")
done
median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n 3p)
echo "first_frame_ms=$median"
