#!/usr/bin/env bash
# End to end: a loopback radio station and podcast in streams_user.ini, reached through the
# stream browser of the real program under Xvfb (keys, clicks, typed search, title bar).
# Usage: stream_browser.sh PATH-TO-vell-player [WORK-DIR]
set -euo pipefail
. "$(dirname "$0")/lib/common.sh"
e2e_begin 1280x800 "$@"

# A fresh copy of the program with only the user's catalogue (no built-in stations), so the
# rows sit at known places: window 1280 x 720, panel from x 960, genre header at y 102..138,
# first entry 138..174, its first episode 174..204.
fresh_app --portable www

ffmpeg -nostdin -y -loglevel error -f lavfi -i sine=frequency=440:sample_rate=44100:duration=30 -c:a libmp3lame -b:a 64k "$work/www/radio.mp3"
ffmpeg -nostdin -y -loglevel error -f lavfi -i sine=frequency=660:sample_rate=44100:duration=20 -c:a libmp3lame -b:a 64k "$work/www/ep1.mp3"

serve_folder "$work/www"
base="http://127.0.0.1:$port"
episode_url="$base/ep1.mp3"
cat >"$work/www/feed.xml" <<XML
<?xml version="1.0"?><rss version="2.0"><channel><title>Loop Cast</title>
<item><title>First Episode</title><pubDate>Mon, 01 Jan 2024 00:00:00 GMT</pubDate>
<enclosure url="$episode_url" type="audio/mpeg" length="1"/></item></channel></rss>
XML
printf 'RADIO_MP3|e2e_radio|Loop Radio|Test|tone|%s\nPODCAST_RSS|e2e_cast|Loop Cast|Test|feed|%s\n' \
  "$base/radio.mp3" "$base/feed.xml" >"$app/streams_user.ini"

start_player_at_origin() {  # start_player_at_origin AUDIO-FILE
  start_player --audio "$1"
  xdotool windowmove --sync "$wid" 0 0 2>/dev/null || true  # all of it on the 1280-wide screen
  xdotool windowfocus --sync "$wid" 2>/dev/null || true
  sleep 0.5
}

click() { xdotool mousemove --window "$wid" "$1" "$2" click 1; }

# The window's pixel as "R,G,B".
pixel() {
  import -window "$wid" "$work/shot.png" 2>/dev/null
  convert "$work/shot.png" -format "%[fx:int(255*p{$1,$2}.r)],%[fx:int(255*p{$1,$2}.g)],%[fx:int(255*p{$1,$2}.b)]" info:
}
is_accent() {  # 6366F1, or a thin accent line's antialiased pixel over the dark panel
  local rgb
  rgb=$(pixel "$1" "$2")
  IFS=, read -r r g b <<<"$rgb"
  [ "$b" -gt 120 ] && [ "$b" -gt $((r + 50)) ] || { echo "pixel ($1,$2) = $rgb" >&2; return 1; }
}

# --- First run ------------------------------------------------------------------------------
start_player_at_origin "$work/audio1.raw"
xdotool key --window "$wid" r
sleep 0.5
is_accent 980 98 || fail "R did not open the radio tab"
click 1100 156
wait_title "Vell Player - Loop Radio"
pass "R, then a click on the station plays it (caption names it)"
sleep 3
cp "$work/audio1.raw" "$work/radio.raw"  # the next medium reopens the device, which restarts the file

xdotool key --window "$wid" ctrl+r
sleep 0.3
click 1100 156  # Loop Cast: its episodes load
sleep 1.5
click 1100 189  # the first episode
wait_title "Vell Player - First Episode"
pass "Ctrl+R, the podcast's episodes, a click on one plays it"
sleep 5

xdotool type --window "$wid" --delay 50 zzz
sleep 0.5
is_accent 1070 151 || fail "the search did not leave only the add button"
xdotool key --window "$wid" Escape
sleep 0.5
! is_accent 1070 151 2>/dev/null || fail "Escape did not bring the rows back"
pass "typed search text filters the rows"

click 1119 16  # the pin cell
sleep 0.4
is_accent 1119 14 || fail "the pin is not drawn in accent"
click 1119 16
sleep 0.4
! is_accent 1119 14 2>/dev/null || fail "the pin did not toggle back"
pass "the pin cell toggles always-on-top"

click 1257 16  # the close cell
wait_exit || fail "exit status $?"
grep -q "^$episode_url|" "$app/podcast_history.ini" || fail "no history for the episode"
pass "the close cell closes cleanly (history saved)"

is_tone "$work/radio.raw" 440 24000 || fail "tones"
is_tone "$work/audio1.raw" 660 24000 || fail "tones"
pass "disk audio holds the station's 440 Hz, then the episode's 660 Hz"

# --- Second run: the episode's listening progress in the browser ----------------------------
start_player_at_origin /dev/null
xdotool key --window "$wid" ctrl+r
sleep 0.3
click 1100 156
sleep 1.5
is_accent 976 198 || fail "no progress fill at the bottom of the bar"
! is_accent 976 180 2>/dev/null || fail "the progress bar is filled too far"
stop_player
pass "the reopened browser draws the episode's progress bar"
echo "all passed"
