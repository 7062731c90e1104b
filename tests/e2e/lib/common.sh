# shellcheck shell=bash
# Shared by the end-to-end scripts (sourced; below tests/e2e so that the test glob skips it): a
# display, a fresh copy of the program with folders of its own, the player started and found by
# its window, waits, clicks, and the sound checks several scripts judge by. Every script is run
# as SCRIPT PATH-TO-vell-player [WORK-DIR]; sourcing this sets strict mode. A player ending in
# .exe is the Windows build, run under wine (tools/windows-env.sh) on the same display.
set -euo pipefail
e2e_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
windows=""
[[ ${1:-} != *.exe ]] || windows=1  # the script's arguments
fail() { echo "FAIL: $*" >&2; [ ! -f "${work:-}/log.txt" ] || tail -n 20 "$work/log.txt" >&2; exit 1; }
pass() { echo "ok: $*"; }
# e2e_begin WxH PLAYER [WORK-DIR]: the script runs again under xvfb-run, on a display of its own
# (a window manager, windows counted; searched from a random number, for runs side by side); sets
# player_bin and work.
e2e_begin() {
  [ -n "${VELL_OWN_DISPLAY:-}" ] ||
    VELL_OWN_DISPLAY=1 exec xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 ${1}x24" "$0" "${@:2}"
  player_bin=$(readlink -f "$2")
  work=${3:-$(mktemp -d /tmp/vell-e2e-XXXXXX)}
  mkdir -p "$work"
  [ -n "$windows" ] || return 0
  export VELL_WINE_DISPLAY=$DISPLAY  # the wine server restarts on this display
  # shellcheck source=/dev/null
  . "$e2e_root/tools/windows-env.sh" || fail "no wine environment"
  # shellcheck disable=SC2086  # the sink's options, one word each
  pactl list short sinks | grep -q "	vell_e2e	" ||
    pactl load-module module-null-sink sink_name=vell_e2e $VELL_NULL_SINK_ARGS >/dev/null
  export PULSE_SINK=vell_e2e
}
# Processes to end with the script, however it ends; the player (pid) is killed too.
e2e_pids=()
pid=""
on_exit_kill() { e2e_pids+=("$@"); }
e2e_cleanup() {
  local status=$?
  [ "$BASHPID" = "$$" ] || return 0  # not in a subshell that inherited the trap
  [ "$status" -ne 0 ] || echo "all passed"
  [ -z "$pid" ] || { kill -KILL "$pid" && wait "$pid"; } 2>/dev/null || true
  stop_recording
  [ "${#e2e_pids[@]}" -eq 0 ] || kill "${e2e_pids[@]}" 2>/dev/null || true
  [ -z "$windows" ] || wineserver -k 2>/dev/null || true  # its desktop lives on this display
  return 0
}
trap e2e_cleanup EXIT
# until_ok TENTHS COMMAND...: COMMAND every tenth of a second until it succeeds.
until_ok() {
  for _ in $(seq 1 "$1"); do
    "${@:2}" && return 0
    sleep 0.1
  done
  return 1
}
# fresh_app [--portable] [--streams] [FOLDER...]: the program copied to $app (--portable: its
# files beside it; --streams: the built-in catalogue too), an empty HOME with the XDG folders
# under it, and empty FOLDERs under $work. Sets config and data (the folders of settings and
# history) and pictures (where screenshots go; the ones newer than $work/fresh are this run's).
# Windows copies are always portable: the profile folders belong to the shared wine prefix.
# shellcheck disable=SC2034  # for the scripts
fresh_app() {
  app="$work/app"
  rm -rf "${work:?}/app" "${work:?}/home"
  export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
  mkdir -p "$HOME"
  config="$XDG_CONFIG_HOME/vell-player" data="$XDG_DATA_HOME/vell-player" pictures="$HOME/Pictures"
  if [ -n "$windows" ]; then
    install -D "$player_bin" "$app/vell-player.exe"
    cp "$(dirname "$player_bin")"/*.dll "$app/"
    touch "$app/portable"
    pictures=$(readlink -f "$WINEPREFIX/drive_c/users/$(id -un)/Pictures")
  else
    install -D "$player_bin" "$app/vell-player"
  fi
  [ "${1:-}" != --portable ] || { touch "$app/portable" && shift; }
  [ ! -f "$app/portable" ] || config=$app data=$app
  [ "${1:-}" != --streams ] || { cp "$(dirname "$player_bin")/streams.ini" "$app/" && shift; }
  for folder in "$@"; do rm -rf "${work:?}/$folder" && mkdir -p "$work/$folder"; done
  touch "$work/fresh"
}
start_window_manager() {  # openbox, once it has taken the screen
  openbox --sm-disable >"$work/openbox.log" 2>&1 &
  on_exit_kill $!
  until_ok 50 eval "xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'" || true
  sleep 0.3
}
# start_player [--focus] [--audio FILE] [NAME=VALUE...] [ARGS...]: $app/vell-player in the
# background (log in $work/log.txt, pid) and its first visible window (wid). --audio: SDL's disk
# driver writes the sound to FILE (Windows: a recording of the sink's monitor, in the same
# format, from before the start to the end); otherwise the dummy driver.
start_player() {
  local focus="" audio="" vars=(SDL_AUDIODRIVER=dummy)
  while [ $# -gt 0 ]; do
    case $1 in
      --focus) focus=1 ;;
      --audio) audio=$2 && vars+=(SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$2") && shift ;;  # the later one wins
      [A-Za-z_]*=*) vars+=("$1") ;;
      *) break ;;
    esac
    shift
  done
  if [ -n "$windows" ]; then
    [ -z "$audio" ] || [ "$audio" = /dev/null ] || start_recording "$audio"
    env "${vars[@]}" "$VELL_WINE" "$app/vell-player.exe" "$@" >"$work/log.txt" 2>&1 &
  else
    env "${vars[@]}" "$app/vell-player" "$@" >"$work/log.txt" 2>&1 &
  fi
  pid=$!
  until_ok 100 player_window || fail "no window appeared"
  [ -n "$wid" ] || fail "the player ended at start"
  [ -z "$focus" ] || xdotool windowfocus --sync "$wid" 2>/dev/null || true
}
recorder=""
monitor=(-d vell_e2e.monitor --format=float32le --rate=48000 --channels=2 --raw --latency-msec=20)
start_recording() {  # start_recording FILE: what the player's sink plays, into FILE
  parec "${monitor[@]}" >"$1" &
  recorder=$!
}
# cut_recording FILE COPY: the sound so far kept as COPY, and FILE holds what the next medium
# plays: SDL's disk driver starts the file again when the next medium opens the device; under
# wine the recording starts again when the log says so.
opened_since() { [ "$(grep -c "AudioOutput:" "$work/log.txt")" -gt "$1" ]; }  # COUNT: the device opened again
cut_recording() {
  if [ -z "$windows" ]; then cp "$1" "$2" && return 0; fi
  local opened
  opened=$(grep -c "AudioOutput:" "$work/log.txt" || true)
  stop_recording
  mv "$1" "$2"
  : >"$1"
  (
    until_ok 300 opened_since "$opened" || exit 0
    exec parec "${monitor[@]}" >"$1"
  ) &
  recorder=$!
}
stop_recording() { [ -z "$recorder" ] || { kill "$recorder" && wait "$recorder"; } 2>/dev/null || true; recorder=""; }
# The player's visible windows (under wine the pid is the loader's, and the
# program's windows carry its name as their class).
windows_of_player() {
  if [ -n "$windows" ]; then
    xdotool search --onlyvisible --class vell-player 2>/dev/null || true
  else
    xdotool search --onlyvisible --pid "$pid" 2>/dev/null || true
  fi
}
# The player's first visible window (wid), or an end to the wait when it has ended.
player_window() {
  wid=$(windows_of_player | head -n1)
  [ -n "$wid" ] || ! kill -0 "$pid" 2>/dev/null
}
exited() { ! kill -0 "$pid" 2>/dev/null; }
wait_exit() {  # until the player ends by itself; returns its exit status
  until_ok 100 exited || { kill -KILL "$pid" 2>/dev/null; fail "the player did not exit"; }
  local status=0
  wait "$pid" 2>/dev/null || status=$?
  pid=""
  stop_recording
  return "$status"
}
stop_player() {  # a clean close: SIGTERM (Windows: the close key, WM_CLOSE) takes the shutdown path
  if [ -n "$windows" ]; then xdotool key --window "$wid" alt+F4 2>/dev/null; else kill -TERM "$pid"; fi
  wait_exit || true
}
wait_for_log() { until_ok 100 grep -q "$1" "$work/log.txt" || fail "log never said: $1"; }
title_is() { [ "$(xdotool getwindowname "$wid")" = "$1" ]; }
wait_title() { until_ok 100 title_is "$1" || fail "caption was '$(xdotool getwindowname "$wid")', not '$1'"; }
click() { xdotool mousemove --window "$wid" "$1" "$2" click 1; }  # client coordinates
# player_version: what the program answers to --version (under wine through a file, since
# wine's own processes may hold a pipe open after the program ends).
player_version() {
  if [ -z "$windows" ]; then "$player_bin" --version && return; fi
  "$VELL_WINE" "$player_bin" --version </dev/null >"$work/version.txt" 2>/dev/null
  tr -d '\r' <"$work/version.txt"
}
# window_shot WID FILE: the window's pixels as the screen shows them (a wine window's own
# contents read back black).
window_shot() {
  eval "$(xdotool getwindowgeometry --shell "$1")"
  import -window root -crop "${WIDTH}x$HEIGHT+$X+$Y" +repage "$2"
}
# lit X Y [W H]: whether something bright or coloured (text, an icon) is drawn in the W x H (3 x 3) pixels
# around client point X Y, as the screen shows the window now.
lit() {
  local w=${3:-3} h=${4:-3} level
  window_shot "$wid" "$work/probe.png" 2>/dev/null || return 1
  level=$(convert "$work/probe.png" -crop "${w}x$h+$(($1 - w / 2))+$(($2 - h / 2))" +repage -separate \
    -evaluate-sequence Max -format "%[fx:int(255*maxima)]" info: 2>/dev/null) || return 1
  [ "${level:-0}" -gt 100 ]
}
wait_lit() { until_ok 100 lit "$@" || fail "nothing drawn at $1,$2"; }  # X Y [W H]: once it is
# chooser_answers FILE...: the file chooser's answers, in turn, one for each answer_chooser after
# the player asked: on Linux a stand-in zenity (first on PATH through chooser_env, for
# start_player) prints them; under wine the system's dialog gets each as a pasted Windows path.
# $work/answers holds those not yet given.
chooser_answers() {
  printf '%s\n' "$@" >"$work/answers"
  chooser_env=()
  [ -z "$windows" ] || return 0
  mkdir -p "$work/bin"
  printf '#!/bin/sh\nhead -n1 "%s"\nsed -i 1d "%s"\n' "$work/answers" "$work/answers" >"$work/bin/zenity"
  chmod +x "$work/bin/zenity"
  # shellcheck disable=SC2034  # for the scripts
  chooser_env=(PATH="$work/bin:$PATH")
}
dialog_shown() { dialog=$(others | head -n1) && [ -n "$dialog" ]; }
answer_chooser() {
  if [ -z "$windows" ]; then sleep 0.4 && return 0; fi
  local answer
  until_ok 100 dialog_shown || fail "no file dialog"
  answer=$(head -n1 "$work/answers") && sed -i 1d "$work/answers"
  sleep 0.3
  printf 'Z:%s' "${answer//\//\\}" | xclip -selection clipboard  # typed, a backslash came out wrong
  xdotool key --window "$dialog" ctrl+a ctrl+v sleep 0.3 key --window "$dialog" Return
  until_ok 100 eval '! others | grep -q .' || fail "the file dialog stayed open"
}
# menu_item_y N S: the middle of item N of a menu level after S separators, from the level's
# top: the program's own menus have 4 pixels of padding, 23 an item, 9 a separator; the native
# ones under wine 3, 17 and 9.
menu_item_y() {
  if [ -n "$windows" ]; then echo $((3 + ($1 - $2) * 17 + $2 * 9 + 8)); else echo $((4 + ($1 - $2) * 23 + $2 * 9 + 11)); fi
}
others() { windows_of_player | grep -vx "$wid" || true; }  # menus, About
# tone FILE HZ SECONDS [OUTPUT-OPTION...]: a sine tone. film FILE WxH SECONDS: a moving test
# picture with a 440 Hz tone.
tone() { ffmpeg -nostdin -y -loglevel error -f lavfi -i "sine=frequency=$2:sample_rate=48000:duration=$3" "${@:4}" "$1"; }
film() { ffmpeg -nostdin -y -loglevel error -f lavfi -i "testsrc2=size=$2:rate=25:duration=$3" -f lavfi \
  -i "sine=frequency=440:sample_rate=48000:duration=$3" -c:v libx264 -preset ultrafast -c:a aac "$1"; }
# serve_folder FOLDER: a loopback HTTP server on a free port (port); its log is $work/http.txt.
serve_folder() {
  /usr/bin/python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$1" >"$work/http.txt" 2>&1 &
  on_exit_kill $!
  until_ok 50 grep -q ' port ' "$work/http.txt" || fail "the test server did not start"
  # shellcheck disable=SC2034  # for the scripts
  port=$(sed -n 's/.* port \([0-9]*\) .*/\1/p' "$work/http.txt" | head -n1)
}
# pcm FILE tone [SAMPLES] | pitch | peak, of the sound SDL's disk driver wrote (48 kHz stereo
# float): the frequency over SAMPLES (48000) from a tenth of a second after the sound begins;
# the frequency or the peak level of the last half second. Periods far from the median (an
# underrun's gap) do not count.
pcm() {
  /usr/bin/python3 - "$@" <<'PY'
import array, sys
data = open(sys.argv[1], "rb").read()
pcm = array.array("f", data[:len(data) // 8 * 8])
left = pcm[0::2]
if sys.argv[2] == "tone":
    start = next(i for i, v in enumerate(left) if v != 0.0) + 4800
    left = left[start:start + int(sys.argv[3] if len(sys.argv) > 3 else 48000)]
else:
    left = left[-24000:]
if sys.argv[2] == "peak":
    sys.exit(print(round(max((abs(v) for v in left), default=0.0), 3)))
rising = [i for i in range(1, len(left)) if left[i - 1] < 0 <= left[i]]
periods = sorted(b - a for a, b in zip(rising, rising[1:])) or [0]
good = [p for p in periods if abs(p - periods[len(periods) // 2]) * 5 <= periods[len(periods) // 2]]
print(round(48000 * len(good) / sum(good), 2) if sum(good) else 0)
PY
}
between() { awk -v v="$1" -v lo="$2" -v hi="$3" 'BEGIN { exit !(v > lo && v < hi) }'; }  # VALUE LOW HIGH
is_tone() {  # is_tone FILE HZ [SAMPLES]: the file holds HZ within 3 Hz
  local f
  f=$(pcm "$1" tone "${3:-48000}") || f=none
  between "$f" $(($2 - 3)) $(($2 + 3)) || { echo "$1: $f Hz" >&2 && return 1; }
}
