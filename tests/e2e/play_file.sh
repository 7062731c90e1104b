#!/usr/bin/env bash
# End to end: the real program under Xvfb, driven with xdotool, judged by what it leaves
# behind (window title, sound written by SDL's disk driver, settings, history, screenshot).
# Usage: play_file.sh PATH-TO-vell-player [WORK-DIR]
set -euo pipefail
. "$(dirname "$0")/lib/common.sh"
e2e_begin 1280x800 "$@"

# A fresh copy of the program; its user files go to the XDG folders under the work folder.
fresh_app --streams
config="$XDG_CONFIG_HOME/vell-player" data="$XDG_DATA_HOME/vell-player"

media="$work/film.mp4"
ffmpeg -nostdin -y -loglevel error -f lavfi -i testsrc2=size=640x360:rate=25:duration=20 \
  -f lavfi -i sine=frequency=440:sample_rate=48000:duration=20 -c:v libx264 -preset ultrafast -c:a aac "$media"

# --- First run: title, keys, screenshot, full screen ---------------------------------------
start_player --audio "$work/audio1.raw" "$media"
wait_for_log "First frame presented"
title=$(xdotool getwindowname "$wid")
[ "$title" = "Vell Player - film.mp4" ] || fail "title was '$title'"
pass "window title"

xdotool windowfocus --sync "$wid" 2>/dev/null || true
xdotool key --window "$wid" Up Up
xdotool key --window "$wid" ctrl+p
sleep 0.5
shot=$(ls "$HOME/Pictures"/VellPlayer_*.bmp 2>/dev/null | head -n1 || true)
[ -n "$shot" ] || fail "no screenshot"
/usr/bin/python3 - "$shot" <<'PY' || fail "screenshot header"
import struct, sys
data = open(sys.argv[1], "rb").read()
assert data[:2] == b"BM", "magic"
size, = struct.unpack_from("<I", data, 2)
w, h = struct.unpack_from("<ii", data, 18)
bpp, = struct.unpack_from("<H", data, 28)
assert (w, h, bpp) == (640, -360, 32), (w, h, bpp)
assert size == len(data) == 54 + 640 * 360 * 4, (size, len(data))
PY
pass "screenshot is a 640x360 top-down 32-bit BMP"

xdotool key --window "$wid" f
sleep 0.5
geometry=$(xdotool getwindowgeometry "$wid" | sed -n 's/.*Geometry: //p')
[ "$geometry" = "1280x800" ] || fail "full-screen geometry was $geometry"
xdotool key --window "$wid" f
sleep 0.5
geometry=$(xdotool getwindowgeometry "$wid" | sed -n 's/.*Geometry: //p')
[ "$geometry" != "1280x800" ] || fail "full screen did not end"
pass "F toggles full screen over the display"

sleep 3
stop_player
grep -qx "volume=0.84" "$config/vell_player.ini" || fail "settings: $(grep volume "$config/vell_player.ini")"
pass "two Up presses saved volume=0.84"

is_tone "$work/audio1.raw" 440 || fail "tone"
pass "the sound written is the file's 440 Hz tone"

pos1=$(awk -F'|' -v key="$media" '$1 == key {print $2}' "$data/podcast_history.ini")
[ -n "$pos1" ] || fail "no history record"
awk -v p="$pos1" 'BEGIN { exit !(p >= 3) }' || fail "history position $pos1"
pass "history recorded $pos1 s"

# --- Second run: the file resumes where it was left ----------------------------------------
start_player --audio /dev/null "$media"
wait_for_log "First frame presented"
sleep 1.5
stop_player
pos2=$(awk -F'|' -v key="$media" '$1 == key {print $2}' "$data/podcast_history.ini")
awk -v a="$pos1" -v b="$pos2" 'BEGIN { exit !(b > a + 0.5) }' || fail "no resume: $pos1 then $pos2"
pass "reopened at the saved position ($pos1 -> $pos2)"
echo "all passed"
