#!/usr/bin/env bash
# The Debian package of this build (tools/package.sh deb): lintian finds no error, the desktop
# entry and the AppStream file are valid, and the program unpacked from it answers --version
# without touching a data folder.
#   deb.sh BUILD-DIR VERSION
set -euo pipefail
build=$1 version=$2
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$source_dir/tools/package.sh" deb "$build" "$work"
deb=$(echo "$work"/vell-player_"$version"-1_amd64.deb)
[ -f "$deb" ] || fail "no $deb: $(ls "$work")"
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes"

lintian --fail-on error "$deb" || fail "lintian found errors"
[ "$(dpkg-deb -f "$deb" Suggests)" = yt-dlp ] || fail "Suggests: $(dpkg-deb -f "$deb" Suggests)"
[ "$(dpkg-deb -f "$deb" Recommends)" = "zenity | kdialog" ] || fail "Recommends: $(dpkg-deb -f "$deb" Recommends)"
# FFmpeg is the player's own build, shipped inside; what it links comes from Debian.
depends=$(dpkg-deb -f "$deb" Depends)
[[ $depends != *libavcodec* ]] || fail "depends on Debian's FFmpeg: $depends"
[[ $depends == *libdav1d* && $depends == *libcurl4* ]] || fail "no dav1d or libcurl dependency: $depends"

root=$work/root
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/vell-player.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml || fail "AppStream file"
for f in usr/share/vell-player/streams.ini usr/share/icons/hicolor/256x256/apps/vell-player.png \
    usr/share/icons/hicolor/scalable/apps/vell-player.svg usr/share/doc/vell-player/LICENSES/ffmpeg.txt; do
  [ -s "$root/$f" ] || fail "missing $f"
done

loaded=$(ldd "$root/usr/bin/vell-player")  # (grep -q on the pipe would end ldd early: pipefail)
for lib in avformat avcodec avutil swscale swresample; do
  grep -q "lib$lib\.so.* => $root/usr/[^ ]*lib/vell-player/" <<<"$loaded" ||
    fail "lib$lib is not loaded from the package: $(grep "lib$lib" <<<"$loaded")"
done

home=$work/home
mkdir -p "$home"
out=$(env -i HOME="$home" PATH=/usr/bin:/bin "$root/usr/bin/vell-player" --version) || fail "--version failed"
[ "$out" = "Vell Player $version" ] || fail "--version said '$out'"
help=$(env -i HOME="$home" PATH=/usr/bin:/bin "$root/usr/bin/vell-player" --help) || fail "--help failed"
[[ $help == 사용법:* ]] || fail "--help said '$help'"
[ -z "$(ls -A "$home")" ] || fail "--version or --help wrote into the home folder: $(find "$home")"
echo "ok: lintian, desktop entry, AppStream; '$out'"
