#!/usr/bin/env bash
# End to end: the program installed into a prefix, on a private session bus, driven by playerctl
# as a desktop's media controls would drive it; its files land in the XDG folders.
. "$(dirname "$0")/lib/common.sh"
linux_only "the install into a prefix and the desktop bus's media controls (MPRIS) are Linux's"
e2e_begin 1280x800 "$@"
rm -rf "$work" && mkdir -p "$work"
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
tone "$work/tone.mp3" 440 30 -b:a 128k
tone "$work/other tune.mp3" 660 30 -b:a 128k
audio="$work/audio.raw"
app="$prefix/bin"  # the installed program
start_player --audio "$audio" "$work/tone.mp3"
ctl() { playerctl -p vell_player "$@" 2>/dev/null || true; }
# shellcheck disable=SC2053  # the wanted value is a pattern
ctl_is() { [[ "$(ctl "${@:2}")" == $1 ]]; }
wait_for() { until_ok 50 ctl_is "$@" || fail "waited for '$1' from playerctl ${*:2}, got '$(ctl "${@:2}")'"; }
peak_between() { sleep 0.8 && between "$(pcm "$audio" peak)" "$1" "$2" || fail "$3: peak $(pcm "$audio" peak)"; }
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
