#!/usr/bin/env bash
# The release packages, into dist/ with dist/SHA256SUMS:
#   vell-player_VERSION-1_amd64.deb           Debian 12, from a Release build with Debian's flags
#   vell-player-VERSION-windows-x64.zip       portable: settings stay beside the program
#   vell-player-VERSION-setup.exe             installer (NSIS): settings in %APPDATA%\Vell Player
# The version is the CMake project's.
#   tools/package.sh                    installs what is missing, builds both targets, packs all
#   tools/package.sh deb BUILD OUT      the Debian package from a built Linux tree
#   tools/package.sh windows BUILD OUT  the zip and the installer from a built Windows tree
# VELL_JOBS sets the build's parallel jobs (default: the number of cores).
set -euo pipefail
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

log() { echo "package: $*" >&2; }

project_version() { sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$1/CMakeCache.txt"; }

# deb_depends BUILD WORK: the package's Depends, from dpkg-shlibdeps over the installed tree. It
# runs here rather than in CPack, whose call cannot tell that the FFmpeg libraries in
# usr/lib/vell-player belong to the package: what they link is looked up in Debian's packages,
# and Debian's own FFmpeg packages (named after the same sonames) are left out.
deb_depends() {
  local build=$1 tree=$2/tree extra lib own=()
  cmake --install "$build" --prefix "$tree/usr" >/dev/null || return 1
  mkdir -p "$tree/DEBIAN" "$2/debian" && touch "$2/debian/control"
  for lib in "$tree"/usr/lib/vell-player/lib*.so.*; do
    lib=$(basename "$lib")
    own+=("-x${lib%%.so.*}${lib##*.so.}")  # libavcodec.so.59: libavcodec59
  done
  extra=$(sed -n 's/^set(CPACK_DEBIAN_PACKAGE_DEPENDS "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
  (cd "$2" && dpkg-shlibdeps -O -S"$tree" -l"$tree/usr/lib/vell-player" "${own[@]}" "$tree/usr/bin/vell-player" \
    "$tree"/usr/lib/vell-player/*.so.*) |
    sed -n "s/^shlibs:Depends=//p" | sed "s/^/${extra:+$extra, }/"
}

# pack_deb BUILD OUT: CPack's Debian package of BUILD into OUT; lintian must find no error.
pack_deb() {
  local build=$1 out=$2 work depends
  work=$(mktemp -d)
  depends=$(deb_depends "$build" "$work") && [ -n "$depends" ] ||
    { echo "package.sh: dpkg-shlibdeps gave no dependencies" >&2; rm -rf "$work"; return 1; }
  cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/cpack" -D "CPACK_DEBIAN_PACKAGE_DEPENDS=$depends" \
    >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log" >&2; rm -rf "$work"; return 1; }
  mkdir -p "$out"
  mv "$work"/cpack/*.deb "$out/"
  rm -rf "$work"
}

# pack_windows STAGE ICON VERSION OUT: the portable zip and the installer from a folder that
# holds the program, its DLLs, streams.ini and LICENSES/.
pack_windows() {
  local stage icon version=$3 out work top
  # makensis reads relative paths from the script's folder.
  stage=$(readlink -f "$1")
  icon=$(readlink -f "$2")
  out=$(mkdir -p "$4" && cd "$4" && pwd)
  work=$(mktemp -d)
  top="vell-player-$version"
  cp -r "$stage" "$work/$top"
  printf '%s\r\n' "This file keeps Vell Player's settings, play queue and history in this folder." \
    "Without it they are kept in %APPDATA%\\Vell Player." >"$work/$top/portable"
  rm -f "$out/$top-windows-x64.zip"
  (cd "$work" && zip -qr -X -9 "$out/$top-windows-x64.zip" "$top")
  rm -rf "$work"
  makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DICON="$icon" \
    -DOUTFILE="$out/$top-setup.exe" "$source_dir/data/windows/vell-player.nsi" >&2
}

# pack_windows_build BUILD OUT: installs BUILD (stripped) into a folder and packs it.
pack_windows_build() {
  local build=$1 out=$2 stage version
  [ -f "$build/vell-player.exe" ] || { log "$build has no vell-player.exe"; return 1; }
  version=$(project_version "$build")
  stage=$(mktemp -d)
  cmake --install "$build" --prefix "$stage" --strip >/dev/null
  pack_windows "$stage" "$build/icons/vell-player.ico" "$version" "$out"
  local status=$?
  rm -rf "$stage"
  return $status
}

build_all() {
  local jobs=${VELL_JOBS:-$(nproc 2>/dev/null || echo 2)} launcher=() ffmpeg_prefix
  cd "$source_dir"
  ./tools/install-deps.sh linux
  ./tools/install-deps.sh windows
  ./tools/build-ffmpeg-linux.sh >/dev/null
  command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

  # Debian's optimisation and hardening flags, as a Debian build would use them (CMake reads
  # no CPPFLAGS: the preprocessor's go with the compilers').
  log "Linux release build (build/package-linux)"
  export DEB_BUILD_MAINT_OPTIONS=hardening=+all
  local cppflags
  cppflags=$(dpkg-buildflags --get CPPFLAGS)
  CFLAGS="$(dpkg-buildflags --get CFLAGS) $cppflags" CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $cppflags" \
    LDFLAGS=$(dpkg-buildflags --get LDFLAGS) \
    cmake -S . -B build/package-linux -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELL_TESTS=OFF \
    -DVELL_BENCH=OFF "${launcher[@]}" >/dev/null
  cmake --build build/package-linux -j "$jobs"

  log "Windows build (build/windows)"
  ffmpeg_prefix=$(./tools/build-ffmpeg-windows.sh)
  libass_prefix=$(./tools/build-libass-windows.sh)
  cmake --preset windows -DVELL_FFMPEG_WINDOWS_PREFIX="$ffmpeg_prefix" \
    -DVELL_LIBASS_WINDOWS_PREFIX="$libass_prefix" >/dev/null
  cmake --build build/windows -j "$jobs" --target vell-player vell_icons

  rm -rf dist
  mkdir -p dist
  pack_deb build/package-linux dist
  log "lintian"
  lintian --fail-on error dist/*.deb >&2
  pack_windows_build build/windows dist
  (cd dist && sha256sum -- * >SHA256SUMS)
  log "done:"
  ls -l dist >&2
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  case "${1:-all}" in
    all) build_all ;;
    deb) pack_deb "$2" "$3" ;;
    windows) pack_windows_build "$2" "$3" ;;
    *) echo "usage: $0 [deb BUILD OUT | windows BUILD OUT]" >&2; exit 2 ;;
  esac
fi
