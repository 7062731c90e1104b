#!/usr/bin/env bash
# End to end: the right-click menu under a window manager. A menu level is a second window of
# the program; "재생 속도" -> "2.0x" doubles the pitch SDL's disk driver writes; "항상 위" sets
# the above state; Escape and a click outside close the menu without acting; keys choose too.
. "$(dirname "$0")/lib/common.sh"
e2e_begin 1280x1024 "$@"
fresh_app
start_window_manager
film "$work/tone.mp4" 320x180 60
audio="$work/audio.raw"
start_player --audio "$audio" "$work/tone.mp4"
wait_for_log "First frame presented"
xdotool windowmove --sync "$wid" 100 100
xdotool windowfocus --sync "$wid" 2>/dev/null || true
menus_are() { [ "$(others | grep -c .)" -eq "$1" ]; }
wait_menus() { until_ok 50 menus_are "$1" || fail "expected $1 menu windows, saw $(others | grep -c .)"; }
origin() { xdotool getwindowgeometry "$1" | sed -n 's/.*Position: \([0-9-]*\),\([0-9-]*\).*/\1 \2/p'; }
open_menu() {
  xdotool mousemove --window "$wid" 200 100 sleep 0.1 click 3
  wait_menus 1
  menu=$(others)
  read -r mx my < <(origin "$menu")
}
pitch_between() {  # pitch_between LOW HIGH WHAT: the tone of the last half second written
  sleep 1.2
  between "$(pcm "$audio" pitch)" "$1" "$2" || fail "$3: the tone was $(pcm "$audio" pitch) Hz"
}
shot() { import -window root -crop 500x400+700+300 "$work/$1.png"; }
pitch_between 430 450 "before the menu"
open_menu
eval "$(xdotool getmouselocation --shell)"
[ "$mx,$my" = "$X,$Y" ] || fail "menu at $mx,$my, cursor at $X,$Y"
shot open1 && sleep 0.5 && shot open2
changed=$(compare -metric AE "$work/open1.png" "$work/open2.png" null: 2>&1 || true)
[ "${changed%% *}" -gt 1000 ] 2>/dev/null || fail "the picture stood still while the menu was open ($changed)"
pass "right click opens a menu window at the cursor; the video goes on under it"
xdotool mousemove $((mx + 60)) $((my + $(menu_item_y 8 2)))  # "재생 속도" -> "2.0x" with the mouse
wait_menus 2
read -r sx sy < <(origin "$(others | grep -vx "$menu")")
xdotool mousemove $((sx + 40)) $((sy + $(menu_item_y 6 0))) sleep 0.1 click 1
wait_menus 0
pitch_between 860 900 "after 2.0x"
pass "재생 속도 -> 2.0x doubled the tone"
above() { xprop -id "$wid" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE; }
! above || fail "above before the command"
open_menu
xdotool mousemove $((mx + 60)) $((my + $(menu_item_y 17 3))) sleep 0.1 click 1  # below "오디오 트랙"
wait_menus 0
until_ok 20 above || fail "항상 위 did not set the above state"
pass "항상 위 sets _NET_WM_STATE_ABOVE"
open_menu
xdotool key Escape
wait_menus 0
open_menu
xdotool mousemove --window "$wid" 900 500 click 1  # on the picture: it only closes the menu (no pause)
wait_menus 0
sleep 0.5
kill -0 "$pid" || fail "the player died"
pitch_between 860 900 "after cancelling"
pass "Escape and an outside click close the menu; playback goes on unchanged"
open_menu  # Down to "재생 속도", Right, Down to "1.0x (기본)", Enter
xdotool key Down Down Down Down Down Down Down Right
wait_menus 2
xdotool key Down Down Down Return
wait_menus 0
pitch_between 430 450 "after the keyboard's 1.0x"
pass "Down, Right, Enter chose 1.0x"
stop_player
