#!/usr/bin/env bash
# The Windows packages of this build (tools/package.sh windows) under wine, in a prefix of
# their own: the portable zip, unpacked into a folder with a Hangul name, answers --version;
# the installer installs silently for the user, the installed program answers --version, an
# upgrade over it keeps the user's settings, and the uninstaller removes the program and every
# registry key the installer wrote, but not the settings.
#   windows.sh BUILD-DIR VERSION
set -euo pipefail
# Every wine program must start with a display: the first one starts the prefix's desktop.
[ -n "${VELL_OWN_DISPLAY:-}" ] || VELL_OWN_DISPLAY=1 exec xvfb-run -a -n $((100 + RANDOM % 800)) "$0" "$@"
build=$(readlink -f "$1") version=$2
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d /tmp/vell-package-XXXXXX)
# No Mono or Gecko prompts, and no menu entries for the host's desktop from the shortcut.
export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export XDG_DATA_HOME=$work/xdg-data XDG_CONFIG_HOME=$work/xdg-config
if [ -x /usr/lib/wine/wine64 ]; then wine=/usr/lib/wine/wine64; else wine=wine; fi
cleanup() { wineserver -k 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
step() { echo "[$SECONDS s] $*"; }
run() { "$wine" "$@" </dev/null 2>/dev/null | tr -d '\r'; }
unix_path() { winepath -u "$1" 2>/dev/null; }
expect_version() { [ "$(run "$1" --version)" = "Vell Player $version" ] || fail "$1 --version: '$(run "$1" --version)'"; }
reg_value() { run reg query "$1" /v "$2" | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"; }
# Every key and value under both hives that names the program, its ProgID or its folder.
traces() {
  local hive
  for hive in HKCU HKLM; do
    run reg export "$hive" "$work/$hive.reg" /y >/dev/null
    iconv -f UTF-16 -t UTF-8 "$work/$hive.reg" | grep -i -E "vell" || true
  done
}

"$source_dir/tools/package.sh" windows "$build" "$work/dist"
zip=$work/dist/vell-player-$version-windows-x64.zip setup=$work/dist/vell-player-$version-setup.exe
echo "zip: $(stat -c %s "$zip") bytes; installer: $(stat -c %s "$setup") bytes"

step "making a wine prefix"
wineboot -i >/dev/null 2>&1 || fail "wineboot"

step "the portable zip"
portable="$work/벨 플레이어"
mkdir -p "$portable"
(cd "$portable" && unzip -q "$zip")
top="$portable/vell-player-$version"
[ -f "$top/portable" ] && [ -f "$top/streams.ini" ] && [ -f "$top/LICENSES/ffmpeg.txt" ] || fail "zip holds: $(ls "$top")"
expect_version "$top/vell-player.exe"
# The embedded manifest: version 6 of the common controls and per-monitor DPI.
manifest=$(strings "$top/vell-player.exe" | tr -d '\n')
[[ $manifest == *Microsoft.Windows.Common-Controls*version=\"6.0.0.0\"* && $manifest == *PerMonitorV2* ]] ||
  fail "the program carries no manifest with common controls 6 and per-monitor DPI"

step "installing"
run "$setup" /S >/dev/null
uninst='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\VellPlayer'
install_dir=$(reg_value "$uninst" InstallLocation)
[[ "$install_dir" == *'\AppData\Local\Programs\Vell Player' ]] || fail "installed into '$install_dir'"
[ "$(reg_value "$uninst" DisplayVersion)" = "$version" ] || fail "DisplayVersion"
quiet=$(reg_value "$uninst" QuietUninstallString)
[ -n "$quiet" ] && [ -n "$(reg_value "$uninst" EstimatedSize)" ] || fail "uninstall entry incomplete"
for ext in .mp4 .mka .pls .m3u8; do
  run reg query "HKCU\\Software\\Classes\\$ext\\OpenWithProgids" /v VellPlayer.Media >/dev/null ||
    fail "$ext is not offered to the player"
done
[ -n "$(reg_value 'HKCU\Software\RegisteredApplications' 'Vell Player')" ] || fail "not a registered application"
program=$(unix_path "$install_dir")
[ ! -e "$program/portable" ] || fail "the installed copy is portable"
expect_version "$program/vell-player.exe"
settings=$(unix_path "$(run cmd /c echo %APPDATA%)")
shortcut="$settings/Microsoft/Windows/Start Menu/Programs/Vell Player.lnk"
[ -f "$shortcut" ] || fail "no Start-menu shortcut"

step "settings, then an upgrade"
settings="$settings/Vell Player"
mkdir -p "$settings"
printf 'volume=0.35\n' >"$settings/vell_player.ini"
run "$setup" /S >/dev/null
expect_version "$program/vell-player.exe"
[ "$(cat "$settings/vell_player.ini")" = "volume=0.35" ] || fail "the upgrade changed the settings"

step "uninstalling: $quiet"
run "$program/uninstall.exe" /CurrentUser /S >/dev/null
# The uninstaller runs on from a copy of itself: wait for the folder to go.
for _ in $(seq 100); do [ -e "$program" ] || break; sleep 0.3; done
[ ! -e "$program" ] || fail "left behind: $(find "$program")"
[ ! -e "$shortcut" ] || fail "the Start-menu shortcut is left"
[ "$(cat "$settings/vell_player.ini" 2>/dev/null)" = "volume=0.35" ] || fail "the uninstall lost the settings"
left=$(traces)
[ -z "$left" ] || fail "registry entries left: $left"
step "ok: zip, install, upgrade and uninstall"
