#!/usr/bin/env bash
# Opens and cancels the right-click menu 200 times (Escape, a click outside, a submenu
# opened on the way) and checks that resident memory and open descriptors stay flat and
# that no menu window is left behind. Run by hand: about a minute.
# Usage: context_menu_soak.sh PATH-TO-vell-player [ROUNDS]
set -euo pipefail
. "$(dirname "$0")/../tests/e2e/lib/common.sh"
# Always a display of our own, whatever DISPLAY says.
e2e_display --own 1280x1024 "$@"
e2e_work "$1" "$(mktemp -d /tmp/vell-soak-XXXXXX)"
rounds=${2:-200}
trap 'e2e_cleanup; [ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
fresh_app

start_player
xdotool windowmove --sync "$wid" 100 100
sleep 0.5

menus() { xdotool search --onlyvisible --pid "$pid" 2>/dev/null | grep -cvx "$wid" || true; }
wait_menus() {
  for _ in $(seq 1 100); do
    [ "$(menus)" -eq "$1" ] && return 0
    sleep 0.02
  done
  fail "round $round: expected $1 menu windows, saw $(menus)"
}
rss() { awk '/^VmRSS/ {print $2}' "/proc/$pid/status"; }
fds() { ls "/proc/$pid/fd" | wc -l; }

for round in $(seq 1 "$rounds"); do
  xdotool mousemove --window "$wid" 200 100 click 3
  wait_menus 1
  case $((round % 3)) in
    0) xdotool key Escape ;;
    1) xdotool mousemove --window "$wid" 900 600 click 1 ;;
    2) xdotool key Down Down Down Down Down Down Down Right Escape Escape ;;  # a submenu on the way
  esac
  wait_menus 0
  if [ "$round" -eq 20 ]; then rss0=$(rss); fds0=$(fds); fi
done
rss1=$(rss)
fds1=$(fds)
kill -0 "$pid" || fail "the player died"
echo "after 20 rounds: RSS ${rss0} kB, $fds0 fds; after $rounds: RSS ${rss1} kB, $fds1 fds"
[ "$fds1" -le "$fds0" ] || fail "descriptors grew from $fds0 to $fds1"
[ $((rss1 - rss0)) -lt 3072 ] || fail "resident memory grew by $((rss1 - rss0)) kB"
[ "$(xdotool search --pid "$pid" 2>/dev/null | grep -cvx "$wid" || true)" -eq 0 ] || fail "a menu window was left"
echo "ok: $rounds menus opened and cancelled; memory and descriptors flat, no window left"
