# shellcheck shell=bash
# Shared by the end-to-end scripts (sourced, not run): a display, a fresh copy of the program
# with folders of its own, the player started and found by its window, a clean close, and the
# helpers several scripts judge by. It sits below tests/e2e so that the test glob skips it.
#
#   set -euo pipefail
#   . "$(dirname "$0")/lib/common.sh"
#   e2e_begin 1280x800 "$@"           # may re-run the script under Xvfb; player_bin, work
#   fresh_app --portable www           # $app/vell-player, HOME and XDG folders under $work
#   start_player --focus --audio "$work/audio.raw" ARGS...   # pid, wid
#   stop_player

fail() {
  echo "FAIL: $*" >&2
  [ -n "${work:-}" ] && [ -f "$work/log.txt" ] && tail -n 20 "$work/log.txt" >&2
  exit 1
}
pass() { echo "ok: $*"; }

# e2e_display [--own] WxH "$@": with no display, the script runs again under xvfb-run on a free
# one of that size. --own: always on a display of its own (for a script that starts a window
# manager, or that counts every window on the screen).
e2e_display() {
  local own=""
  if [ "$1" = --own ]; then
    own=1
    shift
  fi
  local size=$1
  shift
  if [ -n "$own" ]; then
    [ -n "${VELL_OWN_DISPLAY:-}" ] && return 0
    VELL_OWN_DISPLAY=1 exec xvfb-run -a -s "-screen 0 ${size}x24" "$0" "$@"
  fi
  [ -n "${DISPLAY:-}" ] && return 0
  exec xvfb-run -a -s "-screen 0 ${size}x24" "$0" "$@"
}

# e2e_begin [--own] WxH "$@": e2e_display, then e2e_work with the script's arguments.
e2e_begin() {
  local own=()
  if [ "$1" = --own ]; then
    own=(--own)
    shift
  fi
  e2e_display "${own[@]}" "$@"
  shift
  e2e_work "$@"
}

# e2e_work PLAYER [WORK-DIR]: the script's two arguments.
e2e_work() {
  player_bin=$1
  work=${2:-$(mktemp -d /tmp/vell-e2e-XXXXXX)}
  mkdir -p "$work"
}

# Processes to end when the script does, whatever way it ends; the player (pid) is killed too.
e2e_pids=()
pid=""
on_exit_kill() { e2e_pids+=("$@"); }
e2e_cleanup() {
  [ "$BASHPID" = "$$" ] || return 0  # not in a subshell that inherited the trap
  [ -z "$pid" ] || { kill -KILL "$pid" && wait "$pid"; } 2>/dev/null || true
  [ "${#e2e_pids[@]}" -eq 0 ] || kill "${e2e_pids[@]}" 2>/dev/null || true
  return 0
}
trap e2e_cleanup EXIT

# fresh_app [--portable] [--streams] [FOLDER...]: a fresh copy of the program in $work/app, an
# empty HOME with the XDG folders under it, and empty FOLDERs under $work. --portable keeps the
# program's files beside it (where the script reads them); --streams copies the built-in
# catalogue beside it.
fresh_app() {
  local portable="" streams=""
  while [ $# -gt 0 ]; do
    case $1 in
      --portable) portable=1 ;;
      --streams) streams=1 ;;
      *) break ;;
    esac
    shift
  done
  app="$work/app"
  local folder
  rm -rf "${work:?}/app" "${work:?}/home"
  mkdir -p "$app"
  for folder in "$@"; do
    rm -rf "${work:?}/$folder"
    mkdir -p "$work/$folder"
  done
  cp "$player_bin" "$app/vell-player"
  [ -z "$portable" ] || touch "$app/portable"
  [ -z "$streams" ] || cp "$(dirname "$player_bin")/streams.ini" "$app/" 2>/dev/null || true
  export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
  mkdir -p "$HOME"
}

# start_window_manager: openbox on the display, once it has taken the screen.
start_window_manager() {
  openbox --sm-disable >"$work/openbox.log" 2>&1 &
  on_exit_kill $!
  for _ in $(seq 1 50); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
  done
  sleep 0.3
}

# start_player [--focus] [--audio FILE] [--bin PROGRAM] [NAME=VALUE...] [ARGS...]: the player in
# the background (log in $work/log.txt, pid in pid) and its first visible window (wid).
# --audio: SDL's disk driver writes the sound to FILE; otherwise the dummy driver.
start_player() {
  local audio="" bin="${app:-}/vell-player" focus=""
  local -a vars=()
  while [ $# -gt 0 ]; do
    case $1 in
      --focus) focus=1 ;;
      --audio) audio=$2; shift ;;
      --bin) bin=$2; shift ;;
      [A-Za-z_]*=*) vars+=("$1") ;;
      *) break ;;
    esac
    shift
  done
  if [ -n "$audio" ]; then
    vars+=(SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$audio")
  else
    vars+=(SDL_AUDIODRIVER=dummy)
  fi
  env "${vars[@]}" "$bin" "$@" >"$work/log.txt" 2>&1 &
  pid=$!
  wid=""
  for _ in $(seq 1 100); do
    wid=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -n1 || true)
    [ -n "$wid" ] && break
    kill -0 "$pid" 2>/dev/null || fail "the player ended at start"
    sleep 0.1
  done
  [ -n "$wid" ] || fail "no window appeared"
  [ -z "$focus" ] || xdotool windowfocus --sync "$wid" 2>/dev/null || true
}

# wait_exit: until the player ends by itself; returns its exit status.
wait_exit() {
  local status=0
  for _ in $(seq 1 100); do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid" 2>/dev/null || status=$?
      pid=""
      return "$status"
    fi
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null || true
  fail "the player did not exit"
}

# stop_player: a clean close (SIGTERM takes the window's shutdown path).
stop_player() {
  kill -TERM "$pid"
  wait_exit || true
}

wait_for_log() {
  for _ in $(seq 1 100); do
    grep -q "$1" "$work/log.txt" && return 0
    sleep 0.1
  done
  fail "log never said: $1"
}

wait_title() {  # wait_title CAPTION: the main window's caption
  for _ in $(seq 1 100); do
    [ "$(xdotool getwindowname "$wid")" = "$1" ] && return 0
    sleep 0.1
  done
  fail "caption was '$(xdotool getwindowname "$wid")', not '$1'"
}

# serve_folder FOLDER: a loopback HTTP server for FOLDER on a free port (port); its request log
# is $work/http.txt.
serve_folder() {
  /usr/bin/python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$1" >"$work/http.txt" 2>&1 &
  on_exit_kill $!
  port=""
  for _ in $(seq 1 50); do
    port=$(sed -n 's/.* port \([0-9]*\) .*/\1/p' "$work/http.txt" | head -n1)
    [ -n "$port" ] && break
    sleep 0.1
  done
  [ -n "$port" ] || fail "the test server did not start"
}

# tone_hz FILE [SAMPLES]: the frequency of the tone SDL's disk driver wrote (48 kHz stereo
# float), over SAMPLES (48000) samples from a tenth of a second after the sound begins.
tone_hz() {
  /usr/bin/python3 - "$1" "${2:-48000}" <<'PY'
import array, sys
pcm = array.array("f")
pcm.frombytes(open(sys.argv[1], "rb").read())
left = pcm[0::2]
start = next(i for i, v in enumerate(left) if v != 0.0) + 4800
window = left[start:start + int(sys.argv[2])]
rising = [i for i in range(1, len(window)) if window[i - 1] < 0 <= window[i]]
print(round((len(rising) - 1) / ((rising[-1] - rising[0]) / 48000), 2))
PY
}

# is_tone FILE HZ [SAMPLES]: the file holds HZ within 3 Hz.
is_tone() {
  local f
  f=$(tone_hz "$1" "${3:-48000}") || { echo "no tone in $1" >&2; return 1; }
  awk -v f="$f" -v want="$2" 'BEGIN { exit !(f - want < 3 && want - f < 3) }' || { echo "$1: $f Hz" >&2; return 1; }
}
