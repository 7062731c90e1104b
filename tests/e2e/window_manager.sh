#!/usr/bin/env bash
# End to end under a real window manager (openbox): clicks on the idle picture leave the
# window where it is, a double click toggles full screen, a drag moves it; a window closed
# while the file chooser is open ends at once and takes the chooser with it; a saved size
# larger than the display still starts.
# Usage: window_manager.sh PATH-TO-vell-player [WORK-DIR]
set -euo pipefail
. "$(dirname "$0")/lib/common.sh"
e2e_begin 1280x800 "$@"
start_window_manager
fresh_app bin
# A saved size far larger than the display.
printf '\xef\xbb\xbfwindowX=100\nwindowY=100\nwindowW=30000\nwindowH=720\n' >"$app/vell_player.ini"
# A stand-in chooser that starts a helper and never answers.
rm -f "$work/chooser.pids"
cat >"$work/bin/zenity" <<SH
#!/bin/sh
echo \$\$ >"$work/chooser.pids"
sleep 60 &
echo \$! >>"$work/chooser.pids"
wait
SH
chmod +x "$work/bin/zenity"

start_player PATH="$work/bin:$PATH"
sleep 0.5
geometry() { eval "$(xdotool getwindowgeometry --shell "$wid")"; }
geometry
[ "$WIDTH" -le 1280 ] || fail "window wider than the display: $WIDTH"
pass "windowW=30000 starts, ${WIDTH}x${HEIGHT}"

# --- Single clicks on the idle picture do not move the window -------------------------------
geometry
x0=$X y0=$Y
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2 - 60)) click 1
sleep 0.4
xdotool mousemove $((X + WIDTH / 2 - 107)) $((Y + HEIGHT / 2 + 74))
sleep 0.4
xdotool click 1
sleep 0.4
xdotool mousemove $((X + 200)) $((Y + 150))
sleep 0.4
geometry
[ "$X,$Y" = "$x0,$y0" ] || fail "single clicks moved the window from $x0,$y0 to $X,$Y"
pass "single clicks leave the window at $X,$Y"

# --- A drag of the idle picture moves it by the pointer's way ------------------------------
xdotool mousemove $((X + 300)) $((Y + 200)) mousedown 1
sleep 0.2
xdotool mousemove_relative -- -10 10
sleep 0.2
xdotool mousemove_relative -- -30 20 mouseup 1
sleep 0.5
geometry
[ "$X,$Y" = "$((x0 - 40)),$((y0 + 30))" ] || [ "$X,$Y" = "0,$((y0 + 30))" ] ||
  fail "a drag of (-40, +30) moved the window from $x0,$y0 to $X,$Y"
pass "a drag moves the window to $X,$Y"

# --- The left border: a click leaves it, a drag resizes from it ----------------------------
xdotool windowsize "$wid" 800 600 windowmove "$wid" 200 100
sleep 0.5
geometry
x2=$X w2=$WIDTH
xdotool mousemove $((X + 2)) $((Y + HEIGHT / 2)) click 1
sleep 0.3
xdotool mousemove $((X - 30)) $((Y + HEIGHT / 2 + 20))
sleep 0.4
geometry
[ "$X,$WIDTH" = "$x2,$w2" ] || fail "a click on the border changed the window to $X, width $WIDTH"
xdotool mousemove $((X + 2)) $((Y + HEIGHT / 2)) mousedown 1
sleep 0.2
xdotool mousemove_relative -- 15 0
sleep 0.2
xdotool mousemove_relative -- 15 0 mouseup 1
sleep 0.5
geometry
[ "$X,$WIDTH" = "$((x2 + 30)),$((w2 - 30))" ] || fail "a border drag of +30 gave x $X, width $WIDTH (from $x2, $w2)"
pass "a border click leaves the window; a border drag resizes it"

# --- A double click toggles full screen, and back ------------------------------------------
x1=$X y1=$Y w1=$WIDTH h1=$HEIGHT
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2 - 60)) click --repeat 2 --delay 80 1
sleep 0.6
geometry
[ "${WIDTH}x${HEIGHT}+$X+$Y" = "1280x800+0+0" ] || fail "double click: ${WIDTH}x${HEIGHT}+$X+$Y"
xdotool click --repeat 2 --delay 80 1
sleep 0.6
geometry
[ "${WIDTH}x${HEIGHT}+$X+$Y" = "${w1}x${h1}+$x1+$y1" ] || fail "second double click: ${WIDTH}x${HEIGHT}+$X+$Y"
pass "double clicks toggle full screen and back"

# --- Closing the window while the chooser is open ------------------------------------------
xdotool windowactivate --sync "$wid" 2>/dev/null || true
xdotool key --window "$wid" o
for _ in $(seq 1 50); do
  [ "$(wc -l <"$work/chooser.pids" 2>/dev/null || echo 0)" -ge 2 ] && break
  sleep 0.1
done
[ "$(wc -l <"$work/chooser.pids" 2>/dev/null || echo 0)" -ge 2 ] || fail "the chooser did not start"
sleep 0.3
geometry
before=$(date +%s%N)
xdotool mousemove $((X + WIDTH - 20)) $((Y + 16)) click 1  # the title bar's close button
while kill -0 "$pid" 2>/dev/null; do
  [ $(( ($(date +%s%N) - before) / 1000000 )) -lt 3000 ] || fail "the window did not close within 3 s"
  sleep 0.02
done
took=$(( ($(date +%s%N) - before) / 1000000 ))
[ "$took" -le 1000 ] || fail "closing took $took ms"
pid=""
while read -r p; do
  state=$(awk '{print $3}' "/proc/$p/stat" 2>/dev/null || true)
  [ -z "$state" ] || [ "$state" = Z ] || fail "chooser process $p is still running"
done <"$work/chooser.pids"
pass "closed in $took ms with the chooser open; no chooser process left"
echo "all passed"
