#!/usr/bin/env bash
# Opens and closes the About window and a message box many times while a tone plays and
# media-key requests arrive from the session bus (other threads posting events), and checks
# that the program survives and leaves no window behind. Run by hand: a minute or two.
# Usage: modal_soak.sh PATH-TO-vell-player [ROUNDS]
set -euo pipefail
player_bin=$(readlink -f "$1")
rounds=${2:-100}

# Always a display and a session bus of our own.
if [ -z "${VELL_OWN_DISPLAY:-}" ]; then
  VELL_OWN_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" dbus-run-session -- "$0" "$@"
fi

fail() { echo "FAIL: $*" >&2; tail -n 5 "$work/log.txt" >&2 || true; exit 1; }
work=$(mktemp -d /tmp/vell-modal-soak-XXXXXX)
mkdir -p "$work/home"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" SDL_AUDIODRIVER=dummy
ffmpeg -nostdin -y -loglevel error -f lavfi -i sine=frequency=440:sample_rate=48000:duration=600 -b:a 64k \
  "$work/tone.mp3"

"$player_bin" "$work/tone.mp3" >"$work/log.txt" 2>&1 &
pid=$!
spammer=""
trap 'kill -KILL $pid $spammer 2>/dev/null || true; [ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
wid=""
for _ in $(seq 1 100); do
  wid=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -n1 || true)
  [ -n "$wid" ] && break
  sleep 0.1
done
[ -n "$wid" ] || fail "no window appeared"
xdotool windowmove --sync "$wid" 100 100
eval "$(xdotool getwindowgeometry --shell "$wid")"  # WIDTH, HEIGHT
sleep 0.5
xdotool key --window "$wid" r  # the stream browser: its panel gives the stream menu
sleep 0.3

# Requests from the bus thread, each posted to the window thread.
(while kill -0 "$pid" 2>/dev/null; do
  playerctl -p vell_player volume 0.5 >/dev/null 2>&1 || true
  playerctl -p vell_player play >/dev/null 2>&1 || true
done) &
spammer=$!

others() { xdotool search --onlyvisible --pid "$pid" 2>/dev/null | grep -cvx "$wid" || true; }
wait_others() {
  for _ in $(seq 1 200); do
    kill -0 "$pid" 2>/dev/null || fail "round $round: the player died"
    [ "$(others)" -eq "$1" ] && return 0
    sleep 0.02
  done
  fail "round $round: expected $1 other windows, saw $(others)"
}

wait_named() {
  for _ in $(seq 1 200); do
    kill -0 "$pid" 2>/dev/null || fail "round $round: the player died"
    xdotool search --onlyvisible --pid "$pid" --name "^$1\$" >/dev/null 2>&1 && [ "$(others)" -eq 1 ] && return 0
    sleep 0.02
  done
  fail "round $round: no window \"$1\""
}

for round in $(seq 1 "$rounds"); do
  if [ $((round % 2)) -eq 0 ]; then
    title="프로그램 정보"
    xdotool mousemove --window "$wid" 200 100 click 3  # the main menu; its last item is About
  else
    title="초기화 확인"
    xdotool mousemove --window "$wid" $((WIDTH - 100)) $((HEIGHT / 2)) click 3  # the stream menu; last: reset all
  fi
  wait_others 1
  xdotool key Up Return
  wait_named "$title"
  sleep 0.$((RANDOM % 10))
  xdotool key Escape
  wait_others 0
done
sleep 0.5
kill -0 "$pid" || fail "the player died"
kill "$spammer" 2>/dev/null || true
wait "$spammer" 2>/dev/null || true
echo "ok: $rounds modal windows opened and closed; the player lives"
