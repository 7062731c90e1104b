#!/usr/bin/env bash
# End to end: the playlist panel. The file chooser answers the panel's add button (a stand-in
# on Linux); the queue, the played item and the panel state are judged by the caption and the files
# a clean close leaves behind.
. "$(dirname "$0")/lib/common.sh"
e2e_begin 1280x800 "$@"
fresh_app --portable
# A 1000 x 700 window in the top-left corner: the panel spans x 680..1000, y 32..632.
printf '\xEF\xBB\xBFwindowX=0\nwindowY=0\nwindowW=1000\nwindowH=700\n' >"$app/vell_player.ini"
for name in one two three; do tone "$work/$name.wav" 440 30 -ar 8000; done
chooser_answers "$work/one.wav" "$work/two.wav" "$work/three.wav"
start_player --focus "${chooser_env[@]}"
# Each step waits for what it needs on the screen: the panel's add button, then each added row.
xdotool key --window "$wid" p
wait_lit 920 50  # the add button
for row in 1 2 3; do
  click 920 50 && answer_chooser
  wait_lit 760 $((86 + (row - 1) * 36)) 120 12  # the row's name
done
[ ! -s "$work/answers" ] || fail "the add button did not ask for every file"
click 800 158  # row 3
wait_title "Vell Player - three.wav"
pass "three files added through the add button; a click on row 3 plays it"
until_ok 50 eval '! lit 920 50' || fail "the click did not close the panel"
xdotool key --window "$wid" p  # the click closed the panel (not pinned): open it again
wait_lit 920 50
xdotool mousemove --window "$wid" 800 86
wait_lit 979 86 9 9  # the delete cross of row 1, shown under the pointer
click 979 86
# Two rows left, in the open panel.
until_ok 50 eval 'lit 920 50 && ! lit 760 158 120 12' || { window_shot "$wid" "$work/fail.png"; fail "the delete cross left three rows"; }
stop_player
grep -qx "showPlaylist=1" "$app/vell_player.ini" || fail "settings: $(grep showPlaylist "$app/vell_player.ini")"
[ "$(grep -c '^ITEM:' "$app/playlist.dat")" = 2 ] && ! grep -q one.wav "$app/playlist.dat" ||
  fail "playlist.dat: $(cat "$app/playlist.dat")"
pass "the open panel is kept in the settings; the delete cross removed row 1"
