#!/usr/bin/env bash
# The environment the Windows programs run in under wine: a wine prefix made once, quietly, in the
# cache outside the work tree, and a PulseAudio server with a null sink, so WASAPI has a real
# render endpoint.
#   source tools/windows-env.sh   makes both ready and exports WINEPREFIX, PULSE_SERVER, ...
#   tools/windows-env.sh up       the same, printing the exports (eval "$(tools/windows-env.sh up)")
#   tools/windows-env.sh down     stops the sound server and the wine server
# VELL_CACHE_DIR (default /var/cache/vell-player, ~/.cache/vell-player when not root) holds the
# prefix; VELL_RUNTIME_DIR (default /tmp/vell-windows-<uid>) the server's socket and logs.
# Windows need a display: the prefix gets one Xvfb (with openbox) of its own, named in
# $VELL_CACHE_DIR/display, and every wine program of the prefix runs on it (the first one starts
# the prefix's desktop process on its display, and a later program on another display shows
# nothing). VELL_WINE_DISPLAY names an X display to use instead.

if [ "$(id -u)" -eq 0 ]; then
  : "${VELL_CACHE_DIR:=/var/cache/vell-player}"
else
  : "${VELL_CACHE_DIR:=${XDG_CACHE_HOME:-$HOME/.cache}/vell-player}"
fi
: "${VELL_RUNTIME_DIR:=/tmp/vell-windows-$(id -u)}"
export VELL_CACHE_DIR VELL_RUNTIME_DIR

export WINEPREFIX="$VELL_CACHE_DIR/wine-prefix"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no prompts to install Mono or Gecko
export PULSE_SERVER="unix:$VELL_RUNTIME_DIR/pulse/native"
# Without rewinds the sink's monitor carries exactly what was played: a sink that rewinds when a
# stream starts loses up to a second of it.
VELL_NULL_SINK_ARGS="rate=48000 format=float32le channels=2 norewinds=1"

if [ -x /usr/lib/wine/wine64 ]; then VELL_WINE=/usr/lib/wine/wine64; else VELL_WINE=wine; fi
export VELL_WINE

vell_display_alive() { xdpyinfo -display "$1" >/dev/null 2>&1; }

# One X server per prefix, kept running: the wine server of the prefix outlives the programs.
vell_display_start() {
  local file="$VELL_CACHE_DIR/display" n d
  if [ -n "${VELL_WINE_DISPLAY:-}" ]; then
    export DISPLAY="$VELL_WINE_DISPLAY"
    return 0
  fi
  if [ -f "$file" ] && d=$(cat "$file") && vell_display_alive "$d"; then
    export DISPLAY="$d"
    return 0
  fi
  mkdir -p "$VELL_CACHE_DIR"
  # A wine server still running from before holds its desktop on a display that is gone (or
  # on none): it starts again with the new one.
  wineserver -k >/dev/null 2>&1 8>&- || true
  for n in $(seq 140 199); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1920x1080x24 -nolisten tcp </dev/null >"$VELL_CACHE_DIR/xvfb.log" 2>&1 8>&- 9>&- &
    local i
    for i in $(seq 50); do
      vell_display_alive ":$n" && break
      sleep 0.1
    done
    vell_display_alive ":$n" || continue
    echo ":$n" >"$file"
    export DISPLAY=":$n"
    # A window manager gives the windows focus and activation as a desktop does.
    if command -v openbox >/dev/null; then
      openbox </dev/null >"$VELL_CACHE_DIR/openbox.log" 2>&1 8>&- 9>&- &
    fi
    return 0
  done
  echo "windows-env: no X display could be started (Xvfb)" >&2
  return 1
}

# The dialog fonts of native menus, boxes and edit controls have no Hangul under wine: mapped to
# a font that has it (DirectWrite does not read this mapping).
vell_wine_fonts() {
  [ -f "$WINEPREFIX/.vell-fonts" ] && return 0
  local reg="$VELL_CACHE_DIR/fonts.reg" name
  {
    printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]\n'
    for name in "MS Shell Dlg" "MS Shell Dlg 2" "Tahoma" "Segoe UI"; do
      printf '"%s"="NanumGothic"\n' "$name"
    done
  } >"$reg"
  "$VELL_WINE" regedit /S "$reg" </dev/null >/dev/null 2>&1 8>&- && wineserver -w 8>&- &&
    touch "$WINEPREFIX/.vell-fonts"
}

# Made once: `wineboot -i` takes tens of seconds, so the prefix is kept across runs.
vell_wine_prefix() {
  [ -f "$WINEPREFIX/.vell-ready" ] && return 0
  local log="$VELL_CACHE_DIR/wine-prefix.log" start=$SECONDS
  rm -rf "$WINEPREFIX"
  mkdir -p "$VELL_CACHE_DIR"
  if ! { wineboot -i && wineserver -w; } >"$log" 2>&1 8>&-; then
    echo "windows-env: wineboot failed, see $log" >&2
    return 1
  fi
  touch "$WINEPREFIX/.vell-ready"
  echo "windows-env: wine prefix made in $((SECONDS - start)) s: $WINEPREFIX" >&2
}

vell_pulse_alive() { pactl info >/dev/null 2>&1; }

# PulseAudio refuses to run as root outside system mode, so root starts it as the unprivileged
# user "pulse" (which the package creates) with an anonymous socket any local user may reach.
# It leaves by itself after a minute without clients.
vell_pulse_start() {
  vell_pulse_alive && return 0
  local dir="$VELL_RUNTIME_DIR/pulse" as=()
  rm -rf "$dir"
  mkdir -p "$dir"
  if [ "$(id -u)" -eq 0 ]; then
    local user=pulse
    id "$user" >/dev/null 2>&1 || user=nobody
    chown "$user:" "$dir"
    as=(setpriv --reuid="$user" --regid="$(id -g "$user")" --init-groups)
  fi
  "${as[@]}" env -i HOME="$dir" XDG_RUNTIME_DIR="$dir" PATH=/usr/bin:/bin \
    pulseaudio --daemonize=yes -n --exit-idle-time=60 --use-pid-file=yes \
      --log-target="file:$dir/log" \
      --load="module-native-protocol-unix auth-anonymous=1 socket=$dir/native" \
      --load="module-null-sink sink_name=vell_null $VELL_NULL_SINK_ARGS" \
      </dev/null >/dev/null 2>&1 8>&- ||
    {
      echo "windows-env: pulseaudio did not start, see $dir/log" >&2
      # It cannot start when something running as root has replaced /dev/null with a file.
      [ -c /dev/null ] || echo "windows-env: /dev/null is not a device; as root:" \
        "rm /dev/null && mknod -m 666 /dev/null c 1 3" >&2
      return 1
    }
  local i
  for i in $(seq 50); do
    vell_pulse_alive && return 0
    sleep 0.1
  done
  echo "windows-env: pulseaudio does not answer on $PULSE_SERVER" >&2
  return 1
}

vell_windows_env_up() {
  mkdir -p "$VELL_RUNTIME_DIR"
  (
    flock 8  # parallel test programs wait for the first one to finish the set-up
    vell_display_start || exit 1
    # The wine server keeps its desktop on the display it started with: another display (an
    # end-to-end test's own, or the shared one after it) needs a new server.
    if [ "$(cat "$VELL_CACHE_DIR/wine-display" 2>/dev/null)" != "$DISPLAY" ]; then
      { wineserver -k && wineserver -w; } >/dev/null 2>&1 8>&- || true
      mkdir -p "$VELL_CACHE_DIR" && echo "$DISPLAY" >"$VELL_CACHE_DIR/wine-display"
    fi
    vell_wine_prefix && vell_wine_fonts && vell_pulse_start || exit 1
    # Wine's server and its services take seconds to start; kept for a minute after the last
    # program, a test run pays that once. They are started here, away from the test's output:
    # CTest waits for every process holding that pipe, and they live as long as the server.
    # Nor may they inherit the lock's descriptor (they would hold the lock for their lifetime).
    # (wineserver's exit status 2: one is running already.)
    if wineserver -p60 </dev/null >/dev/null 2>&1 8>&-; then
      "$VELL_WINE" cmd /c exit 0 </dev/null >/dev/null 2>&1 8>&- || true
    fi
  ) 8>"$VELL_RUNTIME_DIR/env.lock" || return 1
  # The subshell's export is lost: read the display it chose.
  if [ -n "${VELL_WINE_DISPLAY:-}" ]; then
    export DISPLAY="$VELL_WINE_DISPLAY"
  else
    DISPLAY=$(cat "$VELL_CACHE_DIR/display") && export DISPLAY
  fi
}

vell_windows_env_down() {
  pactl exit >/dev/null 2>&1 || true
  wineserver -k >/dev/null 2>&1 || true
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -euo pipefail
  case "${1:-up}" in
    up)
      vell_windows_env_up
      for v in DISPLAY VELL_CACHE_DIR VELL_RUNTIME_DIR WINEPREFIX WINEARCH WINEDEBUG WINEDLLOVERRIDES PULSE_SERVER VELL_WINE; do
        printf 'export %s=%q\n' "$v" "${!v}"
      done
      ;;
    down) vell_windows_env_down ;;
    *) echo "usage: $0 [up|down]" >&2; exit 2 ;;
  esac
else
  vell_windows_env_up
fi
