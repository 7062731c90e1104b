#!/usr/bin/env bash
# End to end: the program installed into a prefix, on a private session bus, driven by playerctl
# as a desktop's media controls would drive it; its files land in the XDG folders.
# Usage: desktop_session.sh PATH-TO-vell-player [WORK-DIR]
set -euo pipefail
. "$(dirname "$0")/lib/common.sh"
e2e_display 1280x800 "$@"
e2e_work "$(readlink -f "$1")" "${2:-}"

rm -rf "$work"
mkdir -p "$work"
prefix="$work/prefix"
cmake --install "$(dirname "$player_bin")" --prefix "$prefix" >/dev/null
for f in bin/vell-player share/vell-player/streams.ini share/icons/hicolor/scalable/apps/vell-player.svg; do
  [ -f "$prefix/$f" ] || fail "not installed: $f"
done
desktop-file-validate "$prefix/share/applications/vell-player.desktop" || fail "desktop entry"
pass "installed: program, catalogue, desktop entry (valid), icon"

export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw"
eval "$(dbus-daemon --session --fork --print-address=1 --print-pid=1 | {
  read -r address; read -r pid; echo "export DBUS_SESSION_BUS_ADDRESS='$address'; bus_pid=$pid"; })"
on_exit_kill "$bus_pid"

tone="$work/tone.mp3"
other="$work/other tune.mp3"
ffmpeg -nostdin -y -loglevel error -f lavfi -i sine=frequency=440:sample_rate=48000:duration=30 -b:a 128k "$tone"
ffmpeg -nostdin -y -loglevel error -f lavfi -i sine=frequency=660:sample_rate=48000:duration=30 -b:a 128k "$other"

start_player --bin "$prefix/bin/vell-player" --audio "$SDL_DISKAUDIOFILE" "$tone"

ctl() { playerctl -p vell_player "$@" 2>/dev/null || true; }
wait_for() {  # wait_for WHAT COMMAND... : until the command's output matches WHAT
  local want=$1
  shift
  for _ in $(seq 1 50); do
    [[ "$("$@")" == $want ]] && return 0
    sleep 0.1
  done
  fail "waited for '$want' from '$*', got '$("$@")'"
}
# Peak level of the last half second the disk driver wrote (48 kHz stereo float).
level() {
  /usr/bin/python3 - "$SDL_DISKAUDIOFILE" <<'PY'
import array, os, sys
size = os.path.getsize(sys.argv[1])
span = 48000 * 2 * 4 // 2
with open(sys.argv[1], "rb") as f:
    f.seek(max(0, (size - span) // 8 * 8))
    pcm = array.array("f")
    pcm.frombytes(f.read())
print(round(max((abs(v) for v in pcm), default=0.0), 3))
PY
}

wait_for Playing ctl status
wait_for "tone" ctl metadata title
pass "the bus names the playing file"

ctl play-pause
wait_for Paused ctl status
sleep 0.8
[ "$(level)" = "0.0" ] || fail "sound while paused: $(level)"
ctl play-pause
wait_for Playing ctl status
sleep 0.8
awk -v l="$(level)" 'BEGIN { exit !(l > 0.02) }' || fail "no sound after play: $(level)"
pass "play-pause pauses the sound and resumes it"

ctl position 10
wait_for "1[01].*" ctl position
pass "position 10 seeks"

ctl volume 0.3
wait_for "0.3*" ctl volume
pass "volume 0.3 sets the volume"

ctl open "file://$(/usr/bin/python3 -c 'import sys, urllib.parse; print(urllib.parse.quote(sys.argv[1]))' "$other")"
wait_for "other tune" ctl metadata title
pass "open with a file URI plays that file"

# A loopback station that sends its song title in the stream, at the pace of real time.
/usr/bin/python3 - "$tone" "$work/port" <<'PY' &
import socket, sys, threading, time
data = open(sys.argv[1], "rb").read()
srv = socket.socket()
srv.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
srv.bind(("127.0.0.1", 0))
srv.listen(4)
open(sys.argv[2], "w").write(str(srv.getsockname()[1]))
metaint = 16000
def meta(title):
    body = ("StreamTitle='%s';" % title).encode()
    body += b"\0" * (-len(body) % 16)
    return bytes([len(body) // 16]) + body
def serve(c):
    try:
        c.recv(4096)
        c.sendall(b"ICY 200 OK\r\nicy-name: Loopback FM\r\ncontent-type: audio/mpeg\r\nicy-metaint: 16000\r\n\r\n")
        start, pos, n = time.time(), 0, 0
        while time.time() - start < 25:
            chunk = data[pos:pos + metaint]
            pos = (pos + metaint) % (len(data) - metaint)
            title = "Song A" if time.time() - start < 4 else "Song B"
            c.sendall(chunk + meta(title))
            n += 1
            ahead = n - 2 - (time.time() - start)  # a 2 s burst, then 16000 bytes a second
            if ahead > 0:
                time.sleep(ahead)
    except OSError:
        pass
    c.close()
srv.settimeout(30)
while True:
    try:
        c, _ = srv.accept()
    except OSError:
        break
    threading.Thread(target=serve, args=(c,), daemon=True).start()
PY
on_exit_kill $!
for _ in $(seq 1 50); do [ -s "$work/port" ] && break; sleep 0.1; done
ctl open "http://127.0.0.1:$(cat "$work/port")/live.mp3"
wait_for "Song A" ctl metadata title
wait_for "Loopback FM" ctl metadata artist
for _ in $(seq 1 80); do [ "$(ctl metadata title)" = "Song B" ] && break; sleep 0.1; done
[ "$(ctl metadata title)" = "Song B" ] || fail "the song title did not follow: $(ctl metadata title)"
pass "a station's song title follows the stream"

stop_player
grep -q "^volume=0.30*$" "$XDG_CONFIG_HOME/vell-player/vell_player.ini" || fail "settings not in the XDG folder"
[ -f "$XDG_DATA_HOME/vell-player/podcast_history.ini" ] || fail "history not in the XDG folder"
pass "settings and history are in the XDG folders"
echo "all passed"
