#!/usr/bin/env bash
# End to end: the URL dialog and the About window. An address typed after Ctrl+U plays; one on
# the X clipboard is there when the dialog opens; Escape closes without acting; About shows the
# program's name, version and Korean line (OCR).
. "$(dirname "$0")/lib/common.sh"
e2e_begin 1280x800 "$@"
fresh_app --portable --streams www
tone "$work/www/live" 440 30 -c:a libmp3lame -b:a 128k -f mp3  # the station, on the loopback
cp "$work/www/live" "$work/www/again"
serve_folder "$work/www"
requests() { grep -c "GET /again " "$work/http.txt" || true; }
keys() { for k in "$@"; do xdotool key --window "$wid" "$k" sleep 0.5; done; }
printf 'nothing to see' | xclip -selection clipboard
start_player --focus --audio "$work/audio.raw"
keys ctrl+u
xdotool type --delay 20 "http://127.0.0.1:$port/live"
keys Return
wait_title "Vell Player - 127.0.0.1"
pass "typed address opened, caption 'Vell Player - 127.0.0.1'"
sleep 2
printf 'http://127.0.0.1:%s/again' "$port" | xclip -selection clipboard
keys ctrl+u Return
until_ok 50 eval '[ "$(requests)" -ge 1 ]' || fail "the clipboard's address was not opened"
pass "Ctrl+U opened with the clipboard's address"
sleep 1
before=$(requests)
keys ctrl+u Escape m  # m reaches the key table again: mute
sleep 0.5
[ "$(requests)" = "$before" ] || fail "Escape still opened the address"
stop_player
grep -qx "muted=1" "$app/vell_player.ini" || fail "the key after Escape did not reach the player"
is_tone "$work/audio.raw" 440 || fail "tone"
pass "Escape closed the dialog without opening anything; the station's 440 Hz tone was heard"
start_player --focus --audio /dev/null VELL_TEST_ABOUT=1
about_shown() { about=$(others | head -n1) && [ -n "$about" ]; }
until_ok 100 about_shown || fail "no About window"
[ "$(xdotool getwindowname "$about")" = "프로그램 정보" ] || fail "About caption"
# The caption can be there before the first paint: read until the text is there.
text=""
readable() {
  window_shot "$about" "$work/about.png" &&
    convert "$work/about.png" -colorspace gray -negate "$work/about-ocr.png" && # dark on light reads best
    text=$(tesseract "$work/about-ocr.png" - -l kor+eng --psm 6 2>/dev/null) && grep -q "Vell Player" <<<"$text"
}
until_ok 20 readable || fail "About says: $text"
version=$(player_version) && grep -q "Version ${version#Vell Player }" <<<"$text" || fail "About says: $text"
# Hangul drawn as boxes or not at all reads as nothing here.
grep -Eq "라디오|팟캐스트|플레이어" <<<"$text" || fail "About's Korean line is not readable: $text"
xdotool key --window "$about" Escape 2>/dev/null || true  # the key-up finds the window gone
until_ok 50 eval '! others | grep -qx "$about"' || fail "Escape left About open"
stop_player
pass "About shows the name, version and its Korean line; Escape closes it"
