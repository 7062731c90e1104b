#!/usr/bin/env bash
# End to end: a loopback radio station and podcast in streams_user.ini, reached through the
# stream browser of the real program under Xvfb (keys, clicks, typed search, title bar).
# Usage: stream_browser.sh PATH-TO-vell-player [WORK-DIR]
set -euo pipefail
player_bin=$1
work=${2:-$(mktemp -d /tmp/vell-e2e-XXXXXX)}
mkdir -p "$work"

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
fi

fail() { echo "FAIL: $*" >&2; exit 1; }
pass() { echo "ok: $*"; }

# A fresh copy of the program with only the user's catalogue (no built-in stations), so the
# rows sit at known places: window 1280 x 720, panel from x 960, genre header at y 102..138,
# first entry 138..174, its first episode 174..204.
app="$work/app"
rm -rf "$app" "$work/home" "$work/www"
mkdir -p "$app" "$work/www"
cp "$player_bin" "$app/vell-player"
touch "$app/portable"  # its files stay beside it, where this script reads them
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config"
mkdir -p "$HOME"

ffmpeg -nostdin -y -loglevel error -f lavfi -i sine=frequency=440:sample_rate=44100:duration=30 -c:a libmp3lame -b:a 64k "$work/www/radio.mp3"
ffmpeg -nostdin -y -loglevel error -f lavfi -i sine=frequency=660:sample_rate=44100:duration=20 -c:a libmp3lame -b:a 64k "$work/www/ep1.mp3"

server_pid=""
cleanup() {
  [ -n "${pid:-}" ] && kill -KILL "$pid" 2>/dev/null || true
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
}
trap cleanup EXIT
/usr/bin/python3 -u -m http.server --bind 127.0.0.1 --directory "$work/www" 0 >"$work/server.txt" 2>&1 &
server_pid=$!
port=""
for _ in $(seq 1 50); do
  port=$(sed -n 's/.* port \([0-9]*\) .*/\1/p' "$work/server.txt" | head -n1)
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || fail "the test server did not start"
base="http://127.0.0.1:$port"
episode_url="$base/ep1.mp3"
cat >"$work/www/feed.xml" <<XML
<?xml version="1.0"?><rss version="2.0"><channel><title>Loop Cast</title>
<item><title>First Episode</title><pubDate>Mon, 01 Jan 2024 00:00:00 GMT</pubDate>
<enclosure url="$episode_url" type="audio/mpeg" length="1"/></item></channel></rss>
XML
printf 'RADIO_MP3|e2e_radio|Loop Radio|Test|tone|%s\nPODCAST_RSS|e2e_cast|Loop Cast|Test|feed|%s\n' \
  "$base/radio.mp3" "$base/feed.xml" >"$app/streams_user.ini"

start_player() {  # start_player AUDIO-FILE
  SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$1" "$app/vell-player" >>"$work/log.txt" 2>&1 &
  pid=$!
  wid=""
  for _ in $(seq 1 100); do
    wid=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -n1 || true)
    [ -n "$wid" ] && break
    sleep 0.1
  done
  [ -n "$wid" ] || fail "no window appeared"
  xdotool windowmove --sync "$wid" 0 0 2>/dev/null || true  # all of it on the 1280-wide screen
  xdotool windowfocus --sync "$wid" 2>/dev/null || true
  sleep 0.5
}

click() { xdotool mousemove --window "$wid" "$1" "$2" click 1; }

wait_title() {
  for _ in $(seq 1 100); do
    [ "$(xdotool getwindowname "$wid")" = "$1" ] && return 0
    sleep 0.1
  done
  fail "caption was '$(xdotool getwindowname "$wid")', not '$1'"
}

# The window's pixel as "R,G,B".
pixel() {
  import -window "$wid" "$work/shot.png" 2>/dev/null
  convert "$work/shot.png" -format "%[fx:int(255*p{$1,$2}.r)],%[fx:int(255*p{$1,$2}.g)],%[fx:int(255*p{$1,$2}.b)]" info:
}
is_accent() {  # 6366F1, or a thin accent line's antialiased pixel over the dark panel
  local rgb
  rgb=$(pixel "$1" "$2")
  IFS=, read -r r g b <<<"$rgb"
  [ "$b" -gt 120 ] && [ "$b" -gt $((r + 50)) ] || { echo "pixel ($1,$2) = $rgb" >&2; return 1; }
}

wait_exit() {
  for _ in $(seq 1 100); do
    kill -0 "$pid" 2>/dev/null || { wait "$pid"; return $?; }
    sleep 0.1
  done
  fail "the player did not exit"
}

# --- First run ------------------------------------------------------------------------------
start_player "$work/audio1.raw"
xdotool key --window "$wid" r
sleep 0.5
is_accent 980 98 || fail "R did not open the radio tab"
click 1100 156
wait_title "Vell Player - Loop Radio"
pass "R, then a click on the station plays it (caption names it)"
sleep 3
cp "$work/audio1.raw" "$work/radio.raw"  # the next medium reopens the device, which restarts the file

xdotool key --window "$wid" ctrl+r
sleep 0.3
click 1100 156  # Loop Cast: its episodes load
sleep 1.5
click 1100 189  # the first episode
wait_title "Vell Player - First Episode"
pass "Ctrl+R, the podcast's episodes, a click on one plays it"
sleep 5

xdotool type --window "$wid" --delay 50 zzz
sleep 0.5
is_accent 1070 151 || fail "the search did not leave only the add button"
xdotool key --window "$wid" Escape
sleep 0.5
! is_accent 1070 151 2>/dev/null || fail "Escape did not bring the rows back"
pass "typed search text filters the rows"

click 1119 16  # the pin cell
sleep 0.4
is_accent 1119 14 || fail "the pin is not drawn in accent"
click 1119 16
sleep 0.4
! is_accent 1119 14 2>/dev/null || fail "the pin did not toggle back"
pass "the pin cell toggles always-on-top"

click 1257 16  # the close cell
wait_exit || fail "exit status $?"
grep -q "^$episode_url|" "$app/podcast_history.ini" || fail "no history for the episode"
pass "the close cell closes cleanly (history saved)"

/usr/bin/python3 - "$work/radio.raw" "$work/audio1.raw" <<'PY' || fail "tones"
import array, sys
def tone(path):
    pcm = array.array("f")
    pcm.frombytes(open(path, "rb").read())
    left = pcm[0::2]
    start = next(i for i, v in enumerate(left) if v != 0.0) + 4800
    w = left[start:start + 24000]
    rising = [i for i in range(1, len(w)) if w[i - 1] < 0 <= w[i]]
    return (len(rising) - 1) / ((rising[-1] - rising[0]) / 48000)
f1, f2 = tone(sys.argv[1]), tone(sys.argv[2])
assert abs(f1 - 440) < 3, f1
assert abs(f2 - 660) < 3, f2
PY
pass "disk audio holds the station's 440 Hz, then the episode's 660 Hz"

# --- Second run: the episode's listening progress in the browser ----------------------------
start_player /dev/null
xdotool key --window "$wid" ctrl+r
sleep 0.3
click 1100 156
sleep 1.5
is_accent 976 198 || fail "no progress fill at the bottom of the bar"
! is_accent 976 180 2>/dev/null || fail "the progress bar is filled too far"
kill -TERM "$pid"
wait_exit || true
pass "the reopened browser draws the episode's progress bar"
echo "all passed"
