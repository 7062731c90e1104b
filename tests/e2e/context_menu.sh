#!/usr/bin/env bash
# End to end: the right-click menu of the real program under Xvfb with a window manager.
# A menu level is a second window of the program; choosing "재생 속도" -> "2.0x" doubles the
# pitch of the sound written by SDL's disk driver; "항상 위" sets the window's above state;
# Escape and a click outside close the menu without acting; the keyboard chooses items.
# Usage: context_menu.sh PATH-TO-vell-player [WORK-DIR]
set -euo pipefail
. "$(dirname "$0")/lib/common.sh"
# Always a display of our own: the test starts a window manager on it.
e2e_begin --own 1280x1024 "$@"
fresh_app
start_window_manager

media="$work/tone.mp4"
ffmpeg -nostdin -y -loglevel error -f lavfi -i testsrc2=size=320x180:rate=25:duration=60 \
  -f lavfi -i sine=frequency=440:sample_rate=48000:duration=60 -c:v libx264 -preset ultrafast -c:a aac "$media"

audio="$work/audio.raw"
start_player --audio "$audio" "$media"
wait_for_log "First frame presented"
xdotool windowmove --sync "$wid" 100 100
xdotool windowfocus --sync "$wid" 2>/dev/null || true
sleep 0.3

windows() { xdotool search --onlyvisible --pid "$pid" 2>/dev/null | grep -vx "$wid" || true; }
count_menus() { windows | grep -c . || true; }
wait_menus() {  # wait_menus N: until N menu levels are shown
  for _ in $(seq 1 50); do
    [ "$(count_menus)" -eq "$1" ] && return 0
    sleep 0.05
  done
  fail "expected $1 menu windows, saw $(count_menus)"
}
# Middle of item INDEX of a level, after SEPARATORS separators: 4 pixels of padding, 23 per
# item, 9 per separator.
item_y() { echo $((4 + ($1 - $2) * 23 + $2 * 9 + 11)); }
level_origin() {  # level_origin WINDOW -> "x y"
  xdotool getwindowgeometry "$1" | sed -n 's/.*Position: \([0-9-]*\),\([0-9-]*\).*/\1 \2/p'
}
tail_pitch() {  # the tone's frequency over the last half second written
  sleep 1.2
  /usr/bin/python3 - "$audio" <<'PY'
import array, os, sys
path = sys.argv[1]
size = os.path.getsize(path)
n = 48000 * 2 * 4 // 2
with open(path, "rb") as f:
    f.seek(max(0, size - n - (size % 8)))
    pcm = array.array("f")
    pcm.frombytes(f.read(n))
left = pcm[0::2]
rising = [i for i in range(1, len(left)) if left[i - 1] < 0 <= left[i]]
# The median period: a short underrun under load leaves a gap that must not count.
periods = sorted(b - a for a, b in zip(rising, rising[1:]))
print(round(48000 / periods[len(periods) // 2]) if periods else 0)
PY
}
open_menu() {  # open_menu CLIENT-X CLIENT-Y: right click on the main window
  xdotool mousemove --window "$wid" "$1" "$2"
  sleep 0.1
  xdotool click 3
  wait_menus 1
}

# --- A right click opens a second window of the program at the cursor ----------------------
p0=$(tail_pitch)
awk -v f="$p0" 'BEGIN { exit !(f > 430 && f < 450) }' || fail "tone before was $p0 Hz"
open_menu 200 100
menu=$(windows)
eval "$(xdotool getmouselocation --shell)"
read -r mx my < <(level_origin "$menu")
[ "$mx" = "$X" ] && [ "$my" = "$Y" ] || fail "menu at $mx,$my, cursor at $X,$Y"
pass "right click opens a menu window at the cursor ($mx,$my)"
# The picture beside the menu goes on moving while the menu is open.
import -window root -crop 500x400+700+300 "$work/open1.png"
sleep 0.5
import -window root -crop 500x400+700+300 "$work/open2.png"
changed=$(compare -metric AE "$work/open1.png" "$work/open2.png" null: 2>&1 || true)
[ "${changed%% *}" -gt 1000 ] 2>/dev/null || fail "the picture stood still while the menu was open ($changed)"
pass "the video keeps playing under the open menu ($changed pixels changed)"

# --- "재생 속도" -> "2.0x" with the mouse ----------------------------------------------------
xdotool mousemove $((mx + 60)) $((my + $(item_y 8 2)))
wait_menus 2
sub=$(windows | grep -vx "$menu")
read -r sx sy < <(level_origin "$sub")
read -r ww wh < <(xdotool getwindowgeometry "$wid" | sed -n 's/.*Geometry: \([0-9]*\)x\([0-9]*\).*/\1 \2/p')
xdotool mousemove $((sx + 40)) $((sy + $(item_y 6 0)))
sleep 0.1
xdotool click 1
wait_menus 0
# The toast: 200 wide, 44 high, centred, at 15 % of the client height (the window is at
# 100,100). It shows for 1.5 s: a few quick captures first, read afterwards.
for i in 1 2 3; do
  import -window root -crop "200x44+$((100 + (ww - 200) / 2))+$((100 + wh * 15 / 100))" "$work/toast$i.png"
  sleep 0.15
done
toast=""
for i in 1 2 3; do
  convert "$work/toast$i.png" -shave 12x4 -colorspace gray -threshold 60% -negate -resize 300% "$work/toast-text.png"
  toast=$(tesseract "$work/toast-text.png" - --psm 7 2>/dev/null | tr -d '[:space:]')
  [ "$toast" = "2.0x" ] && break
done
[ "$toast" = "2.0x" ] || fail "the toast read '$toast'"
p1=$(tail_pitch)
awk -v f="$p1" 'BEGIN { exit !(f > 860 && f < 900) }' || fail "tone after 2.0x was $p1 Hz"
pass "재생 속도 -> 2.0x: toast $toast, the tone went from $p0 Hz to $p1 Hz"

# --- "항상 위" sets the window's above state ------------------------------------------------
xprop -id "$wid" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE && fail "above before the command"
open_menu 200 100
read -r mx my < <(level_origin "$(windows)")
xdotool mousemove $((mx + 60)) $((my + $(item_y 16 3)))
sleep 0.1
xdotool click 1
wait_menus 0
sleep 0.3
xprop -id "$wid" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE || fail "항상 위 did not set the above state"
pass "항상 위 sets _NET_WM_STATE_ABOVE"

# --- Escape and a click outside close the menu without acting ------------------------------
open_menu 200 100
xdotool key Escape
wait_menus 0
open_menu 200 100
xdotool mousemove --window "$wid" 900 500
xdotool click 1
wait_menus 0
sleep 0.5
kill -0 "$pid" || fail "the player died"
p2=$(tail_pitch)
awk -v f="$p2" 'BEGIN { exit !(f > 860 && f < 900) }' || fail "after cancelling, the tone was $p2 Hz (paused or changed)"
pass "Escape and an outside click close the menu; playback goes on unchanged"

# --- The keyboard: Down to "재생 속도", Right, Down to "1.0x (기본)", Enter ------------------
open_menu 200 100
xdotool key Down Down Down Down Down Down Down
xdotool key Right
wait_menus 2
xdotool key Down Down Down Return
wait_menus 0
p3=$(tail_pitch)
awk -v f="$p3" 'BEGIN { exit !(f > 430 && f < 450) }' || fail "after the keyboard choice the tone was $p3 Hz"
pass "Down, Right, Enter chose 1.0x ($p3 Hz)"

stop_player
echo "all passed"
