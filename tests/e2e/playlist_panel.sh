#!/usr/bin/env bash
# End to end: the playlist panel of the real program under Xvfb. A stand-in file chooser
# (first on PATH) answers the panel's add button; the queue, the played item and the panel
# state are judged by the caption and the files a clean close leaves behind.
# Usage: playlist_panel.sh PATH-TO-vell-player [WORK-DIR]
set -euo pipefail
. "$(dirname "$0")/lib/common.sh"
e2e_begin 1280x800 "$@"
fresh_app bin
# A 1000 x 700 window in the screen's top-left corner: the panel spans x 680..1000, y 32..632.
printf '\xEF\xBB\xBFwindowX=0\nwindowY=0\nwindowW=1000\nwindowH=700\n' >"$app/vell_player.ini"

rm -f "$work/chooser-answers"
for name in one two three; do
  ffmpeg -nostdin -y -loglevel error -f lavfi -i "sine=frequency=440:sample_rate=8000:duration=30" \
    "$work/$name.wav"
  echo "$work/$name.wav" >>"$work/chooser-answers"
done

# The stand-in chooser prints the next queued answer, like zenity --file-selection.
cat >"$work/bin/zenity" <<EOF
#!/bin/sh
answer=\$(head -n1 "$work/chooser-answers")
sed -i 1d "$work/chooser-answers"
echo "\$answer"
EOF
chmod +x "$work/bin/zenity"
export PATH="$work/bin:$PATH"

start_player --focus

click() { xdotool mousemove --window "$wid" "$1" "$2" click 1; sleep 0.4; }

xdotool key --window "$wid" p
sleep 0.3
for _ in 1 2 3; do click 920 50; done  # the add button
[ ! -s "$work/chooser-answers" ] || fail "the add button did not ask for every file"
pass "three files added through the add button"

click 800 158  # row 3
wait_title "Vell Player - three.wav"
pass "a click on row 3 plays it"

xdotool key --window "$wid" p  # the click closed the panel (not pinned): open it again
sleep 0.3
xdotool mousemove --window "$wid" 800 86
sleep 0.2
click 990 86  # the delete cross of row 1

stop_player

grep -qx "showPlaylist=1" "$app/vell_player.ini" || fail "settings: $(grep showPlaylist "$app/vell_player.ini")"
pass "the open panel is kept in the settings"
items=$(grep -c '^ITEM:' "$app/playlist.dat" || true)
[ "$items" = 2 ] || fail "playlist.dat holds $items items"
! grep -q 'one.wav' "$app/playlist.dat" || fail "row 1 was not removed"
pass "the delete cross removed row 1"
echo "all passed"
