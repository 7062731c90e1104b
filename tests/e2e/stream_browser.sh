#!/usr/bin/env bash
# End to end: a loopback radio station and podcast in streams_user.ini, reached through the
# stream browser (keys, clicks, the close cell), judged by caption, sound, history and the
# pixels of the panel.
. "$(dirname "$0")/lib/common.sh"
e2e_begin 1280x800 "$@"
# Only the user's catalogue, so the rows sit at known places: window 1280 x 720, panel from x 960,
# genre header at y 102..138, first entry 138..174, its first episode 174..204.
fresh_app --portable www
tone "$work/www/radio.mp3" 440 30 -ar 44100 -c:a libmp3lame -b:a 64k
tone "$work/www/ep1.mp3" 660 20 -ar 44100 -c:a libmp3lame -b:a 64k
serve_folder "$work/www"
base="http://127.0.0.1:$port"
cat >"$work/www/feed.xml" <<XML
<?xml version="1.0"?><rss version="2.0"><channel><title>Loop Cast</title>
<item><title>First Episode</title><pubDate>Mon, 01 Jan 2024 00:00:00 GMT</pubDate>
<enclosure url="$base/ep1.mp3" type="audio/mpeg" length="1"/></item></channel></rss>
XML
printf 'RADIO_MP3|e2e_radio|Loop Radio|Test|tone|%s\nPODCAST_RSS|e2e_cast|Loop Cast|Test|feed|%s\n' \
  "$base/radio.mp3" "$base/feed.xml" >"$app/streams_user.ini"
start_at_origin() {  # start_at_origin AUDIO-FILE: all of the window on the 1280-wide screen
  start_player --focus --audio "$1"
  xdotool windowmove --sync "$wid" 0 0 sleep 0.5
}
not_accent() { ! is_accent "$@" 2>/dev/null; }
# Ctrl+R, then Loop Cast: its episodes load.
podcast_episodes() { xdotool key --window "$wid" ctrl+r sleep 0.3 && click 1100 156 && sleep 1.5; }
# Whether the pixel at X Y, or one beside it, is the accent 6366F1, or a thin accent line's
# antialiased pixel (a one-pixel line falls on either side of a half pixel).
is_accent() {
  window_shot "$wid" "$work/shot.png" 2>/dev/null
  local x r g b
  for x in $1 $(($1 - 1)) $(($1 + 1)); do
    IFS=, read -r r g b < <(convert "$work/shot.png" -format "%[fx:int(255*p{$x,$2}.r)],%[fx:int(255*p{$x,$2}.g)],%[fx:int(255*p{$x,$2}.b)]" info:)
    [ "$b" -gt 120 ] && [ "$b" -gt $((r + 50)) ] && return 0
  done
  echo "pixel ($1,$2) = $r,$g,$b" >&2 && return 1
}
start_at_origin "$work/audio1.raw"
xdotool key --window "$wid" r
until_ok 50 is_accent 980 98 || fail "R did not open the radio tab"
click 1100 156
wait_title "Vell Player - Loop Radio"
sleep 3
cut_recording "$work/audio1.raw" "$work/radio.raw"  # the next medium's sound goes to audio1.raw
podcast_episodes
click 1100 189  # the first episode
wait_title "Vell Player - First Episode"
pass "R, a click on the station, Ctrl+R, the podcast's episodes and a click on one play them"
sleep 5
xdotool key --window "$wid" space  # with the search empty, Space is still the pause key
sleep 0.8
peak=$(pcm "$work/audio1.raw" peak)
between "$peak" -1 0.0001 || fail "Space in the open browser did not pause: peak $peak"
xdotool key --window "$wid" space
pass "Space pauses the sound while the browser is open"
# A search that leaves nothing but the add button; I has no command, so it starts the search.
xdotool type --window "$wid" --delay 50 iii
until_ok 50 is_accent 1070 151 || fail "typed search text did not filter the rows"
xdotool key --window "$wid" Escape
until_ok 50 not_accent 1070 151 || fail "Escape did not bring the rows back"
click 1257 16  # the close cell
wait_exit || fail "exit status $?"
grep -q "^$base/ep1.mp3|" "$app/podcast_history.ini" || fail "no history for the episode"
is_tone "$work/radio.raw" 440 24000 && is_tone "$work/audio1.raw" 660 24000 || fail "tones"
pass "typed search filters the rows; the close cell closes cleanly (history saved); the sound followed"
start_at_origin /dev/null  # the episode's listening progress, after a restart
podcast_episodes
until_ok 50 is_accent 976 198 || fail "no progress fill at the bottom of the bar"
! is_accent 976 180 2>/dev/null || fail "the progress bar is filled too far"
stop_player
pass "the reopened browser draws the episode's progress bar"
