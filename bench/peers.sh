#!/usr/bin/env bash
# Vell Player against ffplay and mpv on the same films, under one Xvfb, silent real-time sound
# (SDL's dummy driver; mpv's null output), software decoding, 1280x720 windows: CPU seconds and
# peak memory over a fixed time, frames that reached the screen, launch to first picture and
# seek +10 s to new picture (both seen from outside through the X server), and Vell's own idle
# CPU. Beside them: the decoding floor (ffmpeg decoding the same span to nothing, same threads)
# and each player's sound level on the 4K film against the same tone from a small film
# (recorded through SDL's disk driver). Rounds interleave the players; the table gives medians.
# Usage: bench/peers.sh [PLAYER]   (ROUNDS=5 and SECONDS_PER_RUN=15 by default; PLAYERS and
# MEDIA narrow the runs, e.g. MEDIA="h264-2160p60.mp4"; PEERS_FILMS=DIR keeps the films;
# BEFORE=PLAYER adds an earlier build as a fourth player, with a table of its own; with PEERS_KEEP=FILE the raw results
# are kept in FILE; with PEERS_RESULTS=FILE the table of such a file is printed again)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
player=$(readlink -f "${1:-$root/build/release/vell-player}")
rounds=${ROUNDS:-5}
seconds=${SECONDS_PER_RUN:-15}
[ -x "$player" ] || { echo "build the player first (./run.sh builds build/release)" >&2; exit 2; }

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1920x1080x24" "$0" "$player"
fi
command -v mpv >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq mpv >/dev/null
. "$root/bench/lib.sh"
probe="$root/bench/screen_probe.py"

work=$(mktemp -d /tmp/vell-peers-XXXXXX)
trap 'rm -rf "$work"' EXIT
films=${PEERS_FILMS:-$work}
mkdir -p "$films"
echo "load at start: $(cut -d' ' -f1-3 /proc/loadavg)"

# The films: a red square in the middle during the first ten seconds of every twenty (the
# probe's mark), a moving test picture around it, one-second GOPs.
mark="drawbox=x=iw/2-200:y=ih/2-200:w=400:h=400:color=red:t=fill:enable='lt(mod(t,20),10)'"
film() {  # film FILE SIZE RATE SECONDS VIDEO-CODEC-OPTIONS... -- AUDIO-CODEC-OPTIONS...
  local out=$1 size=$2 rate=$3 length=$4 video=() audio=()
  shift 4
  while [ "$1" != -- ]; do video+=("$1") && shift; done
  shift
  audio=("$@")
  [ -s "$out" ] && return 0
  ffmpeg -nostdin -y -loglevel error -f lavfi -i "testsrc2=size=$size:rate=$rate:duration=$length,$mark" \
    -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=$length" -g "$rate" "${video[@]}" "${audio[@]}" \
    -shortest "$out"
}
if [ -z "${PEERS_RESULTS:-}" ]; then
  film "$films/h264-1080p30.mp4" 1920x1080 30 60 -c:v libx264 -preset faster -pix_fmt yuv420p -- -c:a aac -b:a 128k
  film "$films/h264-1080p60.mp4" 1920x1080 60 30 -c:v libx264 -preset faster -pix_fmt yuv420p -- -c:a aac -b:a 128k
  film "$films/vp9-720p.webm" 1280x720 30 30 -c:v libvpx-vp9 -deadline realtime -cpu-used 8 -row-mt 1 -b:v 2M \
    -- -c:a libopus -b:a 128k
  film "$films/h264-2160p60.mp4" 3840x2160 60 20 -c:v libx264 -preset veryfast -b:v 40M -pix_fmt yuv420p \
    -- -c:a aac -b:a 128k
  film "$films/hevc10-1080p30.mp4" 1920x1080 30 20 -c:v libx265 -preset faster -pix_fmt yuv420p10le \
    -x265-params log-level=error -tag:v hvc1 -- -c:a aac -b:a 128k
  film "$films/small-360p30.mp4" 640x360 30 20 -c:v libx264 -preset faster -pix_fmt yuv420p -- -c:a aac -b:a 128k
  [ -s "$films/song.mp3" ] || ffmpeg -nostdin -y -loglevel error -f lavfi \
    -i "sine=frequency=330:sample_rate=44100:duration=40" -ac 2 -c:a libmp3lame -b:a 320k "$films/song.mp3"
fi

# Vell runs from a folder of its own (portable: its files beside it), fresh every time.
app="$work/app"
fresh_vell() {  # fresh_vell [BINARY]
  rm -rf "$app" && mkdir -p "$app"
  cp "${1:-$player}" "$app/vell-player"
  cp "$(dirname "$player")/streams.ini" "$app/" 2>/dev/null || true
  touch "$app/portable"
}
# A plain relative seek in mpv lands on the key frame before the target; with Shift it lands
# on the frame itself, as every seek of Vell's does.
printf 'RIGHT seek 10\nShift+RIGHT seek 10 relative+exact\n' >"$work/mpv-input.conf"
export SDL_AUDIODRIVER=dummy
# cmd_PLAYER FILE: the command line that plays FILE in a 1280x720 window.
cmd_vell() { fresh_vell && echo "$app/vell-player" "$1"; }
cmd_before() { fresh_vell "$BEFORE" && echo "$app/vell-player" "$1"; }
cmd_ffplay() { echo ffplay -hide_banner -autoexit -x 1280 -y 720 "$1"; }
cmd_mpv() {
  echo mpv --no-config --really-quiet --vo=x11 --hwdec=no "--ao=${mpv_ao:-null}" --geometry=1280x720 --force-window=yes \
    "--input-conf=$work/mpv-input.conf" "--input-ipc-server=$work/mpv.sock" "$1"
}
seek_keys() { case $1 in vell | before) echo shift+Right ;; *) echo Right ;; esac; }
read -r -a players <<<"${PLAYERS:-vell ffplay mpv}${BEFORE:+ before}"
read -r -a media <<<"${MEDIA:-h264-1080p30.mp4 h264-1080p60.mp4 h264-2160p60.mp4 hevc10-1080p30.mp4 vp9-720p.webm song.mp3}"
rate_of() { case $1 in *60*) echo 60 ;; song*) echo - ;; *) echo 30 ;; esac; }

# mpv's frame counters over its IPC socket: "frames drops".
mpv_frames() {
  /usr/bin/python3 - "$work/mpv.sock" <<'PY'
import json, socket, sys
s = socket.socket(socket.AF_UNIX)
s.connect(sys.argv[1])
def get(name):
    s.sendall((json.dumps({"command": ["get_property", name], "request_id": 1}) + "\n").encode())
    buf = b""
    while True:
        buf += s.recv(65536)
        for line in buf.split(b"\n"):
            if line.strip():
                msg = json.loads(line)
                if msg.get("request_id") == 1:
                    return msg.get("data") or 0
print(get("estimated-frame-number"), get("frame-drop-count") + get("decoder-frame-drop-count"))
PY
}

# play NAME FILE: CPU seconds, peak MB and the share of frames shown (- for sound only).
play() {
  local name=$1 file=$2 log="$work/play.log"
  # shellcheck disable=SC2046
  set -- $("cmd_$name" "$file")
  rm -f "$work/mpv.sock"
  [ "$name" = ffplay ] && set -- "$@" -stats
  "$@" >"$log" 2>&1 &
  local pid=$!
  sleep "$seconds"
  local stat hwm shown=-
  stat=$(cat "/proc/$pid/stat")
  hwm=$(awk '/^VmHWM/ { print $2 }' "/proc/$pid/status")
  local rate
  rate=$(rate_of "$(basename "$file")")
  if [[ $rate != - && $name == mpv ]]; then
    shown=$(mpv_frames | awk '{ printf "%.1f", ($1 > 0 ? 100 * ($1 - $2) / $1 : 0) }')
  fi
  stop "$pid"
  if [[ $rate != - ]]; then
    case $name in
      vell | before) shown=$(sed -n 's/.*Video frames: \([0-9]*\) shown, \([0-9]*\) dropped.*/\1 \2/p' "$log" |
        awk '{ printf "%.1f", ($1 + $2 > 0 ? 100 * $1 / ($1 + $2) : 0) }') ;;
      # The status line: "  12.34 A-V: ... fd=   5 ...", rewritten in place.
      ffplay) shown=$(tr '\r' '\n' <"$log" | grep 'fd=' | tail -n1 |
        awk -v r="$rate" '{ t = $1; for (i = 1; i <= NF; i++) if ($i ~ /^fd=/) { d = substr($i, 4); if (d == "") d = $(i + 1) }
               printf "%.1f", (t > 0 ? 100 * (1 - d / (t * r)) : 0) }') ;;
    esac
  fi
  echo "${stat##*) }" | awk -v t="$ticks" -v m="$hwm" -v s="$shown" '{ printf "%.2f %.0f %s\n", ($12 + $13) / t, m / 1024, s }'
}

# floor FILE: CPU seconds of ffmpeg decoding the first SECONDS_PER_RUN of FILE (picture and
# sound, automatic threads as every player here) to nothing, as fast as it can.
floor() {
  /usr/bin/time -f "%U %S" -o "$work/time" \
    ffmpeg -nostdin -loglevel error -threads 0 -i "$1" -t "$seconds" -map 0:v -map 0:a? -f null - >/dev/null 2>&1
  awk '{ printf "%.2f\n", $1 + $2 }' "$work/time"
}

# level NAME FILE: the sound as the player sends it to the device, recorded for SECONDS_PER_RUN
# (sound_level.py: median dB and tenths more than 3 dB under it).
level() {
  local raw="$work/sound.raw"
  rm -f "$raw"
  # shellcheck disable=SC2046
  set -- $(mpv_ao=sdl && "cmd_$1" "$2")
  SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$raw" "$@" >/dev/null 2>&1 &
  local pid=$!
  sleep "$seconds"
  stop "$pid"
  [ -s "$raw" ] && /usr/bin/python3 "$root/bench/sound_level.py" "$raw" || echo "- -"
}

# first NAME: ms from launch until the film's first picture is on screen.
# The probe starts the player itself once it is ready to look, and ends it.
first() {
  # shellcheck disable=SC2046
  /usr/bin/python3 "$probe" first $("cmd_$1" "$films/h264-1080p30.mp4") || echo -
}

# seeks NAME [KEYS]: three seeks +10 s, ms from the key to the new picture, one a line.
seeks() {
  local keys
  keys=${2:-$(seek_keys "$1")}
  # shellcheck disable=SC2046
  set -- $("cmd_$1" "$films/h264-1080p30.mp4")
  "$@" >/dev/null 2>&1 &
  local pid=$!
  # shellcheck disable=SC2086
  /usr/bin/python3 "$probe" seek "$pid" 3 $keys || true
  stop "$pid"
}

# idle STATE: Vell's CPU in % of a core over 10 s once it has settled, with nothing open
# (empty), a 2,003-entry queue panel open (queue) or the podcast browser open (podcasts).
idle() {
  fresh_vell
  if [ "$1" = queue ]; then
    for i in $(seq 1 2003); do printf 'ITEM:0|||Track %04d|%s/track-%04d.mp3\n' "$i" "$work" "$i"; done >"$app/playlist.dat"
    printf '\xEF\xBB\xBFshowPlaylist=1\n' >"$app/vell_player.ini"
  fi
  "$app/vell-player" >/dev/null 2>&1 &
  local pid=$! wid=""
  until_found() {
    for _ in $(seq 1 100); do
      wid=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -n1 || true)
      [ -z "$wid" ] || return 0
      sleep 0.1
    done
  }
  until_found
  [ -n "$wid" ] && xdotool windowfocus --sync "$wid" 2>/dev/null || true
  case $1 in
    # The panel's menu on its empty part: the fifth item loads the saved queue.
    queue) xdotool mousemove --window "$wid" 1200 600 click 3 sleep 0.5 key Down Down Down Down Down Return ;;
    podcasts) xdotool key ctrl+r ;;
  esac
  sleep 3
  local a b
  a=$(cpu_ticks "$pid")
  sleep 10
  b=$(cpu_ticks "$pid")
  stop "$pid"
  awk -v a="$a" -v b="$b" -v t="$ticks" 'BEGIN { printf "%.1f\n", 100 * (b - a) / t / 10 }'
}

results=${PEERS_RESULTS:-$work/results}
[ -n "${PEERS_RESULTS:-}" ] || : >"$results"
[ -n "${PEERS_RESULTS:-}" ] || for round in $(seq 1 "$rounds"); do
  # Each round starts with another player, so none always runs first.
  shift_by=$(((round - 1) % ${#players[@]}))
  order=("${players[@]:$shift_by}" "${players[@]:0:$shift_by}")
  for m in "${media[@]}"; do
    for p in "${order[@]}"; do
      read -r cpu mb shown < <(play "$p" "$films/$m")
      echo "$p $m cpu $cpu" >>"$results"
      echo "$p $m rss $mb" >>"$results"
      [ "$shown" = - ] || echo "$p $m shown $shown" >>"$results"
    done
    [ "$(rate_of "$m")" = - ] || echo "floor $m cpu $(floor "$films/$m")" >>"$results"
  done
  [[ " ${media[*]} " == *" h264-2160p60.mp4 "* ]] && for m in small-360p30.mp4 h264-2160p60.mp4; do
    for p in "${order[@]}"; do
      read -r db low < <(level "$p" "$films/$m")
      echo "$p $m level $db" >>"$results"
      echo "$p $m low $low" >>"$results"
    done
  done
  # The launch, seek and idle figures only in a full run.
  [ -z "${MEDIA:-}" ] && for p in "${order[@]}"; do
    echo "$p - first $(first "$p")" >>"$results"
    seeks "$p" | while read -r ms; do
      echo "$p - seek $ms" >>"$results"
      case $p in vell | before) echo "$p - exactseek $ms" >>"$results" ;; esac
    done
  done
  [ -z "${MEDIA:-}" ] && seeks mpv shift+Right | while read -r ms; do echo "mpv - exactseek $ms" >>"$results"; done
  [ -z "${MEDIA:-}" ] && for state in empty queue podcasts; do echo "vell $state idle $(idle "$state")" >>"$results"; done
  echo "round $round done (load $(cut -d' ' -f1 /proc/loadavg))" >&2
  cp "$results" "${PEERS_KEEP:-/dev/null}" 2>/dev/null || true
done

value() { awk -v p="$1" -v m="$2" -v k="$3" '$1 == p && $2 == m && $3 == k && $4 != "-" { print $4 }' "$results" | median; }
row() {  # row LABEL MEDIUM KEY: Vell, ffplay, mpv and the ratios to Vell
  local v f m
  v=$(value "$who" "$2" "$3")
  f=$(value ffplay "$2" "$3")
  m=$(value mpv "$2" "$3")
  [ -n "$v$f$m" ] || return 0
  awk -v l="$1" -v v="$v" -v f="$f" -v m="$m" 'BEGIN {
    printf "| %-34s | %8s | %8s | %8s | %6s | %6s |\n", l, v, f, m,
      (f > 0 ? sprintf("%.2f", v / f) : "-"), (m > 0 ? sprintf("%.2f", v / m) : "-") }'
}
# table WHO LABEL: the medians with WHO (vell or before) in the first column.
table() {
  local who=$1
  echo
  echo "Medians of $rounds rounds, $seconds s runs:"
  printf '| %-34s | %8s | %8s | %8s | %6s | %6s |\n' Figure "$2" ffplay mpv V/ff V/mpv
  row "CPU s, 1080p30 H.264 + AAC" h264-1080p30.mp4 cpu
  row "CPU s, 1080p60 H.264 + AAC" h264-1080p60.mp4 cpu
  row "CPU s, 720p VP9 + Opus" vp9-720p.webm cpu
  row "CPU s, 2160p60 H.264 + AAC" h264-2160p60.mp4 cpu
  row "CPU s, 1080p30 HEVC 10-bit + AAC" hevc10-1080p30.mp4 cpu
  row "CPU s, MP3 320 kbit/s, window open" song.mp3 cpu
  row "peak RSS MB, 1080p30" h264-1080p30.mp4 rss
  row "peak RSS MB, 2160p60" h264-2160p60.mp4 rss
  row "peak RSS MB, MP3" song.mp3 rss
  row "frames on screen %, 1080p60" h264-1080p60.mp4 shown
  row "frames on screen %, 2160p60" h264-2160p60.mp4 shown
  row "frames on screen %, HEVC 10-bit" hevc10-1080p30.mp4 shown
  row "sound dB, 360p30 film" small-360p30.mp4 level
  row "sound dB, 2160p60 film" h264-2160p60.mp4 level
  row "tenths 3 dB low, 2160p60 film" h264-2160p60.mp4 low
  # Each player's level on the 4K film less its own on the small film: 0 when no gain is lost.
  drop() { awk -v a="$(value "$1" h264-2160p60.mp4 level)" -v b="$(value "$1" small-360p30.mp4 level)" \
    'BEGIN { if (a != "" && b != "") printf "%.1f", a - b }'; }
  [ -z "$(value "$who" h264-2160p60.mp4 level)" ] ||
    printf '| %-34s | %8s | %8s | %8s |\n' "sound dB, 2160p60 less 360p30" "$(drop "$who")" "$(drop ffplay)" "$(drop mpv)"
  row "launch to first picture ms" - first
  row "seek +10 s to new picture ms" - seek
  row "seek +10 s to the exact frame ms" - exactseek
  echo
  echo "The decoding floor (ffmpeg -f null, the same span and threads) and Vell's CPU over it:"
  for m in "${media[@]}"; do
    [ "$(rate_of "$m")" != - ] && [ -n "$(value floor "$m" cpu)" ] || continue
    awk -v m="$m" -v f="$(value floor "$m" cpu)" -v v="$(value "$who" "$m" cpu)" \
      'BEGIN { printf "| %-34s | %8s | %8s | %6s |\n", m, f, v, (f > 0 ? sprintf("%.2f", v / f) : "-") }'
  done
  for state in empty queue podcasts; do
    printf '| %-34s | %8s |\n' "$2 idle % of a core, $state" "$(value "$who" "$state" idle)"
  done
}
table vell Vell
[ -z "${BEFORE:-}" ] || { echo; echo "The earlier build (BEFORE):"; table before Before; }
echo "load at end: $(cut -d' ' -f1-3 /proc/loadavg)"
