#!/usr/bin/env bash
# End to end under a real window manager (openbox): a saved size larger than the display still
# starts; clicks on the idle picture leave the window where it is, a drag moves it, a border drag
# resizes it, a double click toggles full screen; a window closed while the file chooser is open
# ends at once and takes the chooser with it.
. "$(dirname "$0")/lib/common.sh"
e2e_begin 1280x800 "$@"
start_window_manager
fresh_app bin
printf '\xef\xbb\xbfwindowX=100\nwindowY=100\nwindowW=30000\nwindowH=720\n' >"$app/vell_player.ini"
# A stand-in chooser that starts a helper and never answers.
rm -f "$work/chooser.pids"
printf '#!/bin/sh\necho $$ >"%s"\nsleep 60 &\necho $! >>"%s"\nwait\n' "$work/chooser.pids" "$work/chooser.pids" >"$work/bin/zenity"
chmod +x "$work/bin/zenity"
start_player PATH="$work/bin:$PATH"
sleep 0.5
geometry() { eval "$(xdotool getwindowgeometry --shell "$wid")"; }  # X Y WIDTH HEIGHT
is_at() { geometry && [ "${WIDTH}x$HEIGHT+$X+$Y" = "$1" ]; }
at() { is_at "$1" || fail "$2: the window is at ${WIDTH}x$HEIGHT+$X+$Y, not $1"; }
geometry
[ "$WIDTH" -le 1280 ] || fail "window wider than the display: $WIDTH"
pass "windowW=30000 starts, ${WIDTH}x${HEIGHT}"
linux_only "under wine the window manager takes a drag or a border press over late (_NET_WM_MOVERESIZE): the drag loses its first step, a border click goes on sizing after the button is up"
start="${WIDTH}x$HEIGHT+$X+$Y" x0=$X y0=$Y size="${WIDTH}x$HEIGHT"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2 - 60)) click 1 sleep 0.4 \
  mousemove $((X + WIDTH / 2 - 107)) $((Y + HEIGHT / 2 + 74)) sleep 0.4 click 1 sleep 0.4 \
  mousemove $((X + 200)) $((Y + 150)) sleep 0.4
at "$start" "single clicks"
xdotool mousemove $((X + 300)) $((Y + 200)) mousedown 1 sleep 0.2 mousemove_relative -- -10 10 sleep 0.2 \
  mousemove_relative -- -30 20 mouseup 1 sleep 0.5
is_at "$size+$((x0 - 40))+$((y0 + 30))" || at "$size+0+$((y0 + 30))" "a drag of (-40, +30)"
pass "single clicks leave the window; a drag moves it by the pointer's way"
xdotool windowsize "$wid" 800 600 windowmove "$wid" 200 100 sleep 0.5
geometry
start="${WIDTH}x$HEIGHT+$X+$Y" resized="$((WIDTH - 30))x$HEIGHT+$((X + 30))+$Y"
xdotool mousemove $((X + 2)) $((Y + HEIGHT / 2)) click 1 sleep 0.3 mousemove $((X - 30)) $((Y + HEIGHT / 2 + 20)) sleep 0.4
at "$start" "a click on the left border"
xdotool mousemove $((X + 2)) $((Y + HEIGHT / 2)) mousedown 1 sleep 0.2 mousemove_relative -- 15 0 sleep 0.2 \
  mousemove_relative -- 15 0 mouseup 1 sleep 0.5
at "$resized" "a border drag of +30"
pass "a border click leaves the window; a border drag resizes it"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2 - 60)) click --repeat 2 --delay 80 1 sleep 0.6
at "1280x800+0+0" "a double click"
xdotool click --repeat 2 --delay 80 1 sleep 0.6
at "$resized" "a second double click"
pass "double clicks toggle full screen and back"
chooser_up() { [ "$(wc -l <"$work/chooser.pids" 2>/dev/null || echo 0)" -ge 2 ]; }
xdotool windowactivate --sync "$wid" 2>/dev/null || true
xdotool key --window "$wid" o
until_ok 50 chooser_up || fail "the chooser did not start"
sleep 0.3
before=$(date +%s%N)
xdotool mousemove $((X + WIDTH - 20)) $((Y + 16)) click 1  # the title bar's close button
until_ok 30 exited || fail "the window did not close within 3 s"
took=$((($(date +%s%N) - before) / 1000000))
[ "$took" -le 1000 ] || fail "closing took $took ms"
pid=""
while read -r p; do
  state=$(awk '{print $3}' "/proc/$p/stat" 2>/dev/null || true)
  [ -z "$state" ] || [ "$state" = Z ] || fail "chooser process $p is still running"
done <"$work/chooser.pids"
pass "closed in $took ms with the chooser open; no chooser process left"
