#!/usr/bin/env bash
# End to end: the program installed into a prefix, on a private session bus, driven by playerctl
# as a desktop's media controls would drive it; its files land in the XDG folders. With the
# Windows build: the program installed by its installer, driven by the keyboard's media keys
# (also while another program's window is in front), and the session's end with the file dialog
# open; its files land in %APPDATA%\Vell Player.
. "$(dirname "$0")/lib/common.sh"
e2e_begin 1280x800 "$@"
rm -rf "$work" && mkdir -p "$work"
tone "$work/tone.mp3" 440 30 -b:a 128k
tone "$work/other tune.mp3" 660 30 -b:a 128k
audio="$work/audio.raw"
peak_between() { sleep 0.8 && between "$(pcm "$audio" peak)" "$1" "$2" || fail "$3: peak $(pcm "$audio" peak)"; }

windows_session() {
  local setup n
  run() { "$VELL_WINE" "$@" </dev/null 2>/dev/null | tr -d '\r'; }
  "$e2e_root/tools/package.sh" windows "$(dirname "$player_bin")" "$work/dist" >/dev/null 2>&1 || fail "packaging"
  setup=$(ls "$work"/dist/*-setup.exe)
  appdata=$(winepath -u "$(run cmd /c echo %APPDATA%)")
  programs=$(winepath -u "$(run cmd /c echo %LOCALAPPDATA%)")/Programs
  settings="$appdata/Vell Player"
  rm -rf "$settings"
  run "$setup" /S
  installed="$programs/Vell Player"
  # The uninstaller cannot remove a program that still runs: the player goes first.
  on_exit() {
    [ -z "$pid" ] || { kill -KILL "$pid" && wait "$pid"; } 2>/dev/null || true
    pid=""
    if [ -f "$installed/uninstall.exe" ]; then
      timeout 60 "$VELL_WINE" "$installed/uninstall.exe" /S </dev/null >/dev/null 2>&1 || true
      until_ok 300 eval '[ ! -e "$installed" ]' || echo "the uninstaller left $installed" >&2  # it goes on from a copy
    fi
    rm -rf "$settings"
  }
  trap 'status=$?; on_exit; (exit $status); e2e_cleanup' EXIT
  # The silent installer may hand its work to a copy of itself and return first.
  installed_all() { for f in vell-player.exe streams.ini uninstall.exe; do [ -f "$installed/$f" ] || return 1; done; }
  until_ok 300 installed_all || fail "not installed: $(ls "$installed" 2>&1)"
  [ ! -e "$installed/portable" ] || fail "the installed copy is portable"
  pass "installed by the installer: program, catalogue, uninstaller"

  app="$installed"
  start_player --focus --audio "$audio" "$(winepath -w "$work/tone.mp3")" "$(winepath -w "$work/other tune.mp3")"
  wait_title "Vell Player - tone.mp3"
  peak_between 0.02 2 "no sound at the start"
  xdotool key XF86AudioPlay
  peak_between -1 0.0001 "sound after the play key"
  xdotool key XF86AudioPlay
  peak_between 0.02 2 "no sound after the play key again"
  xdotool key XF86AudioNext
  wait_title "Vell Player - other tune.mp3"
  xdotool key XF86AudioPrev
  wait_title "Vell Player - tone.mp3"
  pass "the media keys pause and resume the sound and go to the next and the previous file"
  # Another program's window in front: the keys reach the player as the system's hot keys.
  "$VELL_WINE" notepad >/dev/null 2>&1 &
  on_exit_kill $!
  until_ok 100 eval 'n=$(xdotool search --onlyvisible --class notepad | head -n1) && [ -n "$n" ]' || fail "no notepad"
  xdotool windowfocus "$n"
  until_ok 50 eval '[ "$(xdotool getwindowfocus)" = "$n" ]' || fail "notepad did not take the focus"
  xdotool key XF86AudioPlay
  peak_between -1 0.0001 "sound after the play key with another window in front"
  xdotool key XF86AudioPlay
  peak_between 0.02 2 "no sound after the play key again with another window in front"
  pass "with another program's window in front the play key still pauses and resumes"
  "$VELL_WINE" taskkill /im notepad.exe >/dev/null 2>&1 || true
  until_ok 100 eval '[ -z "$(xdotool search --onlyvisible --class notepad)" ]' || fail "notepad did not close"
  echo "not checked with the Windows build: the system media transport controls (unavailable under wine, 0x80040154)"

  # The session ends while the file dialog is open: the program saves before it is ended.
  xdotool windowfocus "$wid"
  until_ok 50 eval '[ "$(xdotool getwindowfocus)" = "$wid" ]' || fail "the player did not take the focus back"
  for _ in 1 2 3 4 5; do xdotool key Up; done  # 0.80 -> 0.90
  xdotool key o
  until_ok 100 dialog_shown || fail "no file dialog"
  local before took
  before=$(date +%s%N)
  "$VELL_WINE" wineboot --end-session >/dev/null 2>&1 &
  until_ok 100 exited || fail "the program did not end with the session"
  took=$((($(date +%s%N) - before) / 1000000))
  wait "$pid" 2>/dev/null || true  # ended by wineboot once the session's end was answered
  pid=""
  stop_recording
  grep -q "^volume=0.90*$" "$settings/vell_player.ini" || fail "settings: $(grep volume "$settings/vell_player.ini" 2>&1)"
  [ "$(grep -c '^ITEM:' "$settings/playlist.dat" 2>/dev/null)" = 2 ] || fail "queue: $(cat "$settings/playlist.dat" 2>&1)"
  [ -f "$settings/podcast_history.ini" ] || fail "no history"
  pass "the session's end with the file dialog open: ended in $took ms, settings, queue and history in %APPDATA%\\Vell Player"
}
if [ -n "$windows" ]; then
  windows_session
  exit 0
fi
prefix="$work/prefix"
cmake --install "$(dirname "$player_bin")" --prefix "$prefix" >/dev/null
for f in bin/vell-player share/vell-player/streams.ini share/icons/hicolor/scalable/apps/vell-player.svg; do
  [ -f "$prefix/$f" ] || fail "not installed: $f"
done
desktop-file-validate "$prefix/share/applications/vell-player.desktop" || fail "desktop entry"
pass "installed: program, catalogue, desktop entry (valid), icon"
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
eval "$(dbus-daemon --session --fork --print-address=1 --print-pid=1 | {
  read -r address; read -r pid; echo "export DBUS_SESSION_BUS_ADDRESS='$address'; bus_pid=$pid"; })"
on_exit_kill "$bus_pid"
app="$prefix/bin"  # the installed program
start_player --audio "$audio" "$work/tone.mp3"
ctl() { playerctl -p vell_player "$@" 2>/dev/null || true; }
# shellcheck disable=SC2053  # the wanted value is a pattern
ctl_is() { [[ "$(ctl "${@:2}")" == $1 ]]; }
wait_for() { until_ok 50 ctl_is "$@" || fail "waited for '$1' from playerctl ${*:2}, got '$(ctl "${@:2}")'"; }
wait_for Playing status
wait_for tone metadata title
ctl play-pause
wait_for Paused status
peak_between -1 0.0001 "sound while paused"
ctl play-pause
wait_for Playing status
peak_between 0.02 2 "no sound after play"
ctl position 10
wait_for "1[01].*" position
ctl volume 0.3
wait_for "0.3*" volume
pass "the bus names the playing file; play-pause pauses the sound and resumes it; position and volume set"
ctl open "file://$(/usr/bin/python3 -c 'import sys, urllib.parse; print(urllib.parse.quote(sys.argv[1]))' "$work/other tune.mp3")"
wait_for "other tune" metadata title
pass "open with a file URI plays that file"
# A loopback station that sends its song title in the stream, at the pace of real time: a 2 s
# burst, then 16000 bytes and a title a second; the title changes after 4 s.
/usr/bin/python3 - "$work/tone.mp3" "$work/port" 2>/dev/null <<'PY' &
import socket, sys, threading, time
data = open(sys.argv[1], "rb").read()
srv = socket.create_server(("127.0.0.1", 0))
open(sys.argv[2], "w").write(str(srv.getsockname()[1]))
def serve(c):
    c.recv(4096)
    c.sendall(b"ICY 200 OK\r\nicy-name: Loopback FM\r\ncontent-type: audio/mpeg\r\nicy-metaint: 16000\r\n\r\n")
    start = time.time()
    for n in range(len(data) // 16000):
        meta = b"StreamTitle='Song %s';" % (b"A" if time.time() - start < 4 else b"B")
        meta += b"\0" * (-len(meta) % 16)
        c.sendall(data[n * 16000:(n + 1) * 16000] + bytes([len(meta) // 16]) + meta)
        time.sleep(max(0, n - 1 - (time.time() - start)))
while True:
    threading.Thread(target=serve, args=(srv.accept()[0],), daemon=True).start()
PY
on_exit_kill $!
until_ok 50 test -s "$work/port" || fail "the station did not start"
ctl open "http://127.0.0.1:$(cat "$work/port")/live.mp3"
wait_for "Song A" metadata title
wait_for "Loopback FM" metadata artist
until_ok 80 ctl_is "Song B" metadata title || fail "the song title did not follow: $(ctl metadata title)"
pass "a station's song title follows the stream"
stop_player
grep -q "^volume=0.30*$" "$XDG_CONFIG_HOME/vell-player/vell_player.ini" || fail "settings not in the XDG folder"
[ -f "$XDG_DATA_HOME/vell-player/podcast_history.ini" ] || fail "history not in the XDG folder"
pass "settings and history are in the XDG folders"
