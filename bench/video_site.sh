#!/usr/bin/env bash
# A video-site page played from separate 1080p video and audio streams against the same page's
# 360p combined stream: the picture and codec played, launch to first picture (median of 3)
# and CPU seconds for SECONDS of playing. The page is answered by a stand-in yt-dlp beside the
# program, the streams by a local HTTP server; under Xvfb with the dummy sound driver.
# Usage: bench/video_site.sh [SECONDS] [PLAYER]   (SECONDS defaults to 60)
set -euo pipefail
seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
player=$(readlink -f "${2:-$root/build/release/vell-player}")
[ -x "$player" ] || { echo "build the player first (./run.sh builds build/release)" >&2; exit 2; }

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1920x1080x24" "$0" "$seconds" "$player"
fi
. "$root/bench/lib.sh"

media=${VELL_BENCH_MEDIA:-/tmp/vell-bench-media}/video-site-$seconds
mkdir -p "$media"
length=$((seconds + 10))
make() {  # make NAME FFMPEG-ARGS...: once
  local name=$1
  shift
  [ -f "$media/$name" ] || { ffmpeg -nostdin -y -loglevel error "$@" -movflags +faststart "$media/$name.part.mp4" &&
    mv "$media/$name.part.mp4" "$media/$name"; }
}
picture="testsrc2=size=1920x1080:rate=30:duration=$length"
sound="sine=frequency=440:sample_rate=48000:duration=$length"
make video-1080.mp4 -f lavfi -i "$picture" -c:v libx264 -preset veryfast -b:v 4M -pix_fmt yuv420p -g 60
make audio.m4a -f lavfi -i "$sound" -c:a aac -b:a 128k -f mp4
make combined-360.mp4 -f lavfi -i "testsrc2=size=640x360:rate=30:duration=$length" -f lavfi -i "$sound" \
  -c:v libx264 -preset veryfast -b:v 700k -pix_fmt yuv420p -g 60 -c:a aac -b:a 128k

work=$(mktemp -d /tmp/vell-video-site-XXXXXX)
port=$((20000 + RANDOM % 20000))
python3 -m http.server "$port" --bind 127.0.0.1 --directory "$media" >/dev/null 2>&1 &
server=$!
trap 'kill $server 2>/dev/null; rm -rf "$work"' EXIT
cp "$player" "$work/vell-player"
fresh_data() {  # each run starts without the last one's settings, playlist and history
  rm -f "$work"/*.ini "$work"/playlist.dat
  cp "$(dirname "$player")/streams.ini" "$work/" 2>/dev/null || true
}
base="http://127.0.0.1:$port"
sleep 0.5

# launch_ms: launch to the first picture, and the log line naming the picture decoded.
launch_ms() {
  local fifo="$work/log.fifo" start pid ms="" line video=""
  rm -f "$fifo"
  fresh_data
  mkfifo "$fifo"
  start=$(date +%s%N)
  SDL_AUDIODRIVER=dummy "$work/vell-player" https://youtu.be/bench 2>"$fifo" >/dev/null &
  pid=$!
  while IFS= read -r line; do
    [[ $line == *"] Video: "* ]] && video=${line#*Video: }
    if [[ $line == *"First frame presented"* ]]; then
      ms=$(( ($(date +%s%N) - start) / 1000000 ))
      break
    fi
  done <"$fifo"
  stop "$pid"
  [ -n "$ms" ] || { echo "no picture presented" >&2; exit 1; }
  echo "$ms $video"
}

for page in "separate 1080p" "combined 360p"; do
  if [ "$page" = "separate 1080p" ]; then
    urls="$base/video-1080.mp4\n$base/audio.m4a"
  else
    urls="$base/combined-360.mp4"
  fi
  printf '#!/bin/sh\nprintf "Bench page\\n%s\\n"\n' "$urls" >"$work/yt-dlp"
  chmod +x "$work/yt-dlp"
  runs=()
  for _ in 1 2 3; do
    result=$(launch_ms)
    runs+=("${result%% *}")
    video=${result#* }
  done
  first=$(printf '%s\n' "${runs[@]}" | median)
  fresh_data
  read -r cpu rss < <(SDL_AUDIODRIVER=dummy run_for "$seconds" "$work/vell-player" https://youtu.be/bench)
  echo "$page: $video, first picture ${first} ms, ${cpu} cpu s in ${seconds} s, peak ${rss} MB"
done
