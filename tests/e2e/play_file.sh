#!/usr/bin/env bash
# End to end: a video file played and driven with keys, judged by what the program leaves
# behind (caption, sound written by SDL's disk driver, settings, history, screenshot).
. "$(dirname "$0")/lib/common.sh"
e2e_begin 1280x800 "$@"
fresh_app --streams  # user files in the XDG folders under the work folder
media="$work/film.mp4"
film "$media" 640x360 20
position() { awk -F'|' -v key="$media" '$1 == key {print $2}' "$data/podcast_history.ini"; }
start_player --audio "$work/audio1.raw" "$media"
wait_for_log "First frame presented"
# A machine without a decoding device decodes in software without a word about the device.
probe=$(grep -E "VDPAU|AVHW|hwaccel|Failed setup for format" "$work/log.txt" || true)
[ -z "$probe" ] || fail "the hardware probe wrote: $probe"
title_is "Vell Player - film.mp4" || fail "title was '$(xdotool getwindowname "$wid")'"
xdotool windowfocus --sync "$wid" 2>/dev/null || true
xdotool key --window "$wid" Up Up
# The volume toast, a pill centred 15 % down the window, read back in Hangul: a few shots while
# it shows (keys can take a moment under load), read afterwards. Light text on a colourful
# picture: the darkest channel, thresholded, leaves just the text.
eval "$(xdotool getwindowgeometry --shell "$wid")"
for n in 1 2 3 4 5; do
  import -window root -crop "240x44+$((X + WIDTH / 2 - 120))+$((Y + HEIGHT * 15 / 100))" +repage "$work/toast$n.png"
  sleep 0.1
done
xdotool key --window "$wid" ctrl+p sleep 0.5
toast=""
for n in 1 2 3 4 5; do
  convert "$work/toast$n.png" -separate -evaluate-sequence Min -threshold 50% -negate -resize 200% "$work/toast-ocr.png"
  toast=$(tesseract "$work/toast-ocr.png" - -l kor --psm 7 2>/dev/null || true)
  grep -Eq "볼.*84%" <<<"$toast" && break
done
grep -Eq "볼.*84%" <<<"$toast" || fail "the volume toast reads '$toast'"
shot=$(find "$pictures" -maxdepth 1 -name 'VellPlayer_*.bmp' -newer "$work/fresh" 2>/dev/null | head -n1)
[ -n "$shot" ] || fail "no screenshot"
# 640 x 360, rows top-down (height -360), 32 bits, nothing but the header before the pixels.
[ "$(stat -c %s "$shot")" = $((54 + 640 * 360 * 4)) ] || fail "screenshot size"
[ "$(od -An -tx1 -j18 -N12 "$shot" | tr -d ' \n')" = 8002000098feffff01002000 ] || fail "screenshot header"
xdotool key --window "$wid" f sleep 0.5
[ "$(xdotool getwindowgeometry "$wid" | sed -n 's/.*Geometry: //p')" = 1280x800 ] || fail "F did not fill the display"
xdotool key --window "$wid" f sleep 0.5
pass "caption names the file; the toast reads '$toast'; Ctrl+P writes a 640x360 top-down 32-bit BMP; F fills the display"
sleep 4  # the history keeps a place past the first seconds
stop_player
grep -qx "volume=0.84" "$config/vell_player.ini" || fail "settings: $(grep volume "$config/vell_player.ini")"
is_tone "$work/audio1.raw" 440 || fail "tone"
pos1=$(position)
between "${pos1:-0}" 3 20 || fail "history position '$pos1'"
pass "two Up presses saved volume=0.84; the file's 440 Hz tone was heard; history recorded $pos1 s"
start_player --audio /dev/null "$media"  # the file resumes where it was left
wait_for_log "First frame presented"
sleep 1.5
stop_player
between "$(position)" "$(awk -v p="$pos1" 'BEGIN { print p + 0.5 }')" 20 || fail "no resume: $pos1 then $(position)"
pass "reopened at the saved position ($pos1 -> $(position))"
