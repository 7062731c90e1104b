#!/usr/bin/env bash
# End to end: the URL dialog and the About window of the real program under Xvfb. An
# address typed after Ctrl+U plays; one on the X clipboard is there when the dialog opens;
# Escape closes without acting; About shows the program's name and version (OCR).
# Usage: input_dialog.sh PATH-TO-vell-player [WORK-DIR]
set -euo pipefail
. "$(dirname "$0")/lib/common.sh"
e2e_begin 1280x800 "$@"
fresh_app --portable --streams www

# The "station": a 440 Hz MP3 served on the loopback by a server on a free port.
ffmpeg -nostdin -y -loglevel error -f lavfi -i sine=frequency=440:sample_rate=48000:duration=30 \
  -c:a libmp3lame -b:a 128k -f mp3 "$work/www/live"
cp "$work/www/live" "$work/www/again"
serve_folder "$work/www"

requests() { grep -c "GET /$1 " "$work/http.txt" || true; }

# --- Ctrl+U, a typed address, Enter ----------------------------------------------------------
printf 'nothing to see' | xclip -selection clipboard
start_player --focus --audio "$work/audio.raw"
xdotool key --window "$wid" ctrl+u
sleep 0.5
xdotool type --delay 20 "http://127.0.0.1:$port/live"
xdotool key --window "$wid" Return
wait_title "Vell Player - 127.0.0.1"
pass "typed address opened, caption 'Vell Player - 127.0.0.1'"

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

is_tone "$work/audio.raw" 440 || fail "tone"
pass "the sound written is the station's 440 Hz tone"

# --- About -------------------------------------------------------------------------------------
start_player --focus --audio /dev/null VELL_TEST_ABOUT=1
about=""
for _ in $(seq 1 100); do
  for w in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null || true); do
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
  xdotool search --onlyvisible --pid "$pid" 2>/dev/null | grep -qx "$about" || break
  sleep 0.1
done
! xdotool search --onlyvisible --pid "$pid" 2>/dev/null | grep -qx "$about" || fail "Escape left About open"
stop_player
pass "Escape closed About"
echo "all passed"
