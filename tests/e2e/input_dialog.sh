#!/usr/bin/env bash
# End to end: the URL dialog and the About window of the real program under Xvfb. An
# address typed after Ctrl+U plays; one on the X clipboard is there when the dialog opens;
# Escape closes without acting; About shows the program's name and version (OCR).
# Usage: input_dialog.sh PATH-TO-vell-player [WORK-DIR]
set -euo pipefail
player_bin=$1
work=${2:-$(mktemp -d /tmp/vell-e2e-XXXXXX)}
mkdir -p "$work"

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
fi

fail() { echo "FAIL: $*" >&2; exit 1; }
pass() { echo "ok: $*"; }

app="$work/app"
rm -rf "$app" "$work/home" "$work/www"
mkdir -p "$app" "$work/www"
cp "$player_bin" "$app/vell-player"
touch "$app/portable"  # its files stay beside it, where this script reads them
cp "$(dirname "$player_bin")/streams.ini" "$app/" 2>/dev/null || true
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config"
mkdir -p "$HOME"

# The "station": a 440 Hz MP3 served on the loopback by a server on a free port.
ffmpeg -nostdin -y -loglevel error -f lavfi -i sine=frequency=440:sample_rate=48000:duration=30 \
  -c:a libmp3lame -b:a 128k -f mp3 "$work/www/live"
cp "$work/www/live" "$work/www/again"
/usr/bin/python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$work/www" >"$work/http.txt" 2>&1 &
server=$!
player=""
cleanup() {
  kill "$server" 2>/dev/null || true
  [ -n "$player" ] && kill -KILL "$player" 2>/dev/null || true
}
trap cleanup EXIT
port=""
for _ in $(seq 1 50); do
  port=$(sed -n 's/.*port \([0-9]*\).*/\1/p' "$work/http.txt" | head -n1)
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || fail "the test server did not start"

start_player() {  # start_player AUDIO-FILE [ENV...]
  local audio=$1
  shift
  env "$@" SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$audio" "$app/vell-player" >"$work/log.txt" 2>&1 &
  player=$!
  wid=""
  for _ in $(seq 1 100); do
    wid=$(xdotool search --onlyvisible --pid "$player" 2>/dev/null | head -n1 || true)
    [ -n "$wid" ] && break
    sleep 0.1
  done
  [ -n "$wid" ] || fail "no window appeared"
  xdotool windowfocus --sync "$wid" 2>/dev/null || true
}

stop_player() {
  kill -TERM "$player"
  for _ in $(seq 1 100); do
    kill -0 "$player" 2>/dev/null || { player=""; return 0; }
    sleep 0.1
  done
  fail "the player did not exit"
}

requests() { grep -c "GET /$1 " "$work/http.txt" || true; }

# --- Ctrl+U, a typed address, Enter ----------------------------------------------------------
printf 'nothing to see' | xclip -selection clipboard
start_player "$work/audio.raw"
xdotool key --window "$wid" ctrl+u
sleep 0.5
xdotool type --delay 20 "http://127.0.0.1:$port/live"
xdotool key --window "$wid" Return
title=""
for _ in $(seq 1 100); do
  title=$(xdotool getwindowname "$wid")
  [ "$title" = "Vell Player - 127.0.0.1" ] && break
  sleep 0.1
done
[ "$title" = "Vell Player - 127.0.0.1" ] || fail "title was '$title'"
pass "typed address opened, caption '$title'"

# --- The clipboard's address is in the field: Enter opens it ---------------------------------
sleep 2
printf 'http://127.0.0.1:%s/again' "$port" | xclip -selection clipboard
xdotool key --window "$wid" ctrl+u
sleep 0.5
xdotool key --window "$wid" Return
for _ in $(seq 1 50); do
  [ "$(requests again)" -ge 1 ] && break
  sleep 0.1
done
[ "$(requests again)" -ge 1 ] || fail "the clipboard's address was not opened"
pass "Ctrl+U opened with the clipboard's address"

# --- Escape closes without acting ------------------------------------------------------------
sleep 1
before=$(requests again)
xdotool key --window "$wid" ctrl+u
sleep 0.5
xdotool key --window "$wid" Escape
sleep 0.5
xdotool key --window "$wid" m  # reaches the key table again: mute
sleep 1
[ "$(requests again)" = "$before" ] || fail "Escape still opened the address"
sleep 1
stop_player
grep -qx "muted=1" "$app/vell_player.ini" || fail "the key after Escape did not reach the player"
pass "Escape closed the dialog without opening anything"

/usr/bin/python3 - "$work/audio.raw" <<'PY' || fail "tone"
import array, sys
pcm = array.array("f")
pcm.frombytes(open(sys.argv[1], "rb").read())
left = pcm[0::2]
start = next(i for i, v in enumerate(left) if v != 0.0) + 4800
window = left[start:start + 48000]
rising = [i for i in range(1, len(window)) if window[i - 1] < 0 <= window[i]]
freq = (len(rising) - 1) / ((rising[-1] - rising[0]) / 48000)
assert abs(freq - 440) < 3, freq
PY
pass "the sound written is the station's 440 Hz tone"

# --- About -------------------------------------------------------------------------------------
start_player /dev/null VELL_TEST_ABOUT=1
about=""
for _ in $(seq 1 100); do
  for w in $(xdotool search --onlyvisible --pid "$player" 2>/dev/null || true); do
    [ "$w" != "$wid" ] && about=$w
  done
  [ -n "$about" ] && break
  sleep 0.1
done
[ -n "$about" ] || fail "no About window"
[ "$(xdotool getwindowname "$about")" = "프로그램 정보" ] || fail "About caption"
sleep 0.5
import -window "$about" "$work/about.png"
text=$(tesseract "$work/about.png" - 2>/dev/null || true)
grep -q "Vell Player" <<<"$text" || fail "About does not say Vell Player: $text"
grep -q "Version 7.8.0" <<<"$text" || fail "About does not say the version: $text"
pass "About shows the name and version"
xdotool key --window "$about" Escape 2>/dev/null || true  # the key-up finds the window gone
for _ in $(seq 1 50); do
  xdotool search --onlyvisible --pid "$player" 2>/dev/null | grep -qx "$about" || break
  sleep 0.1
done
! xdotool search --onlyvisible --pid "$player" 2>/dev/null | grep -qx "$about" || fail "Escape left About open"
stop_player
pass "Escape closed About"
echo "all passed"
