#!/usr/bin/env bash
# Cross-builds FFmpeg from Debian's source package as Windows x86-64 DLLs (include/, lib/*.dll.a,
# bin/*.dll) into a cache outside the work tree and prints its prefix. The cache folder is keyed by
# the source version and a hash of the configuration and the build steps, so it is rebuilt only
# when one of them changes. The prefix is also written to $VELL_CACHE_DIR/ffmpeg-windows.prefix,
# where cmake/Windows.cmake finds it. Build output: $VELL_CACHE_DIR/ffmpeg-windows-build.log.
# VELL_CACHE_DIR defaults to /var/cache/vell-player (~/.cache/vell-player when not root).
set -euo pipefail

if [ "$(id -u)" -eq 0 ]; then
  cache=${VELL_CACHE_DIR:-/var/cache/vell-player}
else
  cache=${VELL_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/vell-player}
fi
host=x86_64-w64-mingw32
log="$cache/ffmpeg-windows-build.log"

# What the player uses: demuxing, decoding, scaling and resampling, every native demuxer, decoder,
# parser and protocol (HTTPS through Schannel, HLS with AES-128, ICY), zlib, x86 assembly and the
# Windows hardware decoders. Nothing is detected silently, so the result does not depend on the host.
config=(
  --target-os=mingw32 --arch=x86_64 --enable-cross-compile
  --cross-prefix=$host- --cc=$host-gcc-posix --cxx=$host-g++-posix --x86asmexe=nasm
  --pkg-config=false
  --enable-shared --disable-static --disable-debug
  --disable-programs --disable-doc
  --disable-avdevice --disable-avfilter --disable-postproc
  --disable-encoders --disable-muxers
  --disable-autodetect --enable-w32threads --enable-zlib --enable-schannel
  --enable-d3d11va --enable-dxva2
)

# build_ffmpeg SOURCE PREFIX WORK: its text is part of the cache key. (Each step checks its own
# status: errexit does not apply inside a function whose caller tests it.)
build_ffmpeg() {
  local source=$1 prefix=$2 work=$3 feature lib dll
  # zlib and winpthread (the compiler links -lpthread; avutil takes clock_gettime from it) are
  # found as static libraries first, and libgcc is linked in: the DLLs need only Windows' own.
  mkdir -p "$work/static" && cd "$work" || return 1
  # Winsock reports a refused connection only in select's exception set, which FFmpeg's poll
  # stand-in fills only when asked for POLLERR; a real poll always reports it. Without this a
  # connection to a station that is down waits for the whole timeout instead of failing at once.
  sed -i 's/^\( *\)if (fds\[i\]\.events & POLLERR)$/\1if (fds[i].events \& (POLLERR | POLLOUT | POLLIN))/' \
    "$source/libavformat/os_support.c" || return 1
  grep -q 'events & (POLLERR | POLLOUT | POLLIN)' "$source/libavformat/os_support.c" || return 1
  for lib in libz.a libpthread.a libwinpthread.a; do
    ln -sf "/usr/$host/lib/$lib" "$work/static/$lib" || return 1
  done
  "$source/configure" --prefix="$prefix" "${config[@]}" \
    --extra-ldflags="-L$work/static -static-libgcc" || return 1
  for feature in CONFIG_SCHANNEL CONFIG_ZLIB CONFIG_D3D11VA CONFIG_DXVA2 HAVE_W32THREADS HAVE_X86ASM \
      CONFIG_HTTPS_PROTOCOL CONFIG_CRYPTO_PROTOCOL CONFIG_HLS_DEMUXER CONFIG_H264_D3D11VA_HWACCEL; do
    grep -q "^#define $feature 1" config.h config_components.h ||
      { echo "configure left out $feature"; return 1; }
  done
  make -j"$(nproc)" && make install || return 1
  rm -rf "$prefix/share" "$prefix/lib/pkgconfig"
  for dll in "$prefix"/bin/*.dll; do
    if $host-objdump -p "$dll" | grep -iE "DLL Name: *(libwinpthread|libgcc|libstdc|zlib)"; then
      echo "$dll needs a DLL that is not shipped"
      return 1
    fi
  done
}

log_step() { echo "build-ffmpeg-windows: $*" >&2; }

source_versions() { apt-cache showsrc ffmpeg 2>/dev/null | sed -n 's/^Version: //p' | sort -V; }

# Adds a deb-src entry for bookworm, in a sources file of its own, when apt knows no source.
ensure_deb_src() {
  [ -n "$(source_versions)" ] && return 0
  local list=/etc/apt/sources.list.d/vell-deb-src.sources sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  log_step "adding $list"
  $sudo tee "$list" >/dev/null <<'EOF'
# Source packages (FFmpeg is cross-built for Windows from Debian's source).
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  $sudo apt-get update -qq
  [ -n "$(source_versions)" ]
}

mkdir -p "$cache"
exec 9>"$cache/ffmpeg-windows.lock"
flock 9  # one build at a time; a second caller waits, then finds the cache

ensure_deb_src
debversion=$(source_versions | tail -1)
upstream=${debversion#*:}
upstream=${upstream%%-*}
key=$( { echo "$debversion"; printf '%s\n' "${config[@]}"; declare -f build_ffmpeg; } |
  sha256sum | cut -c1-12)
prefix="$cache/ffmpeg-$upstream-$key"

if [ ! -f "$prefix/.complete" ]; then
  start=$SECONDS
  : >"$log"
  rm -rf "$prefix"
  src_root="$cache/src/${debversion//[^A-Za-z0-9.+-]/_}"  # no ':' in the path: make splits on it
  if [ ! -x "$src_root/ffmpeg-$upstream/configure" ]; then
    log_step "fetching the source of ffmpeg $debversion into $src_root"
    rm -rf "$src_root"
    mkdir -p "$src_root"
    (cd "$src_root" && apt-get source -qq -o APT::Sandbox::User=root "ffmpeg=$debversion") >>"$log" 2>&1 ||
      { tail -n 20 "$log" >&2; exit 1; }
  fi
  work=$(mktemp -d "$cache/ffmpeg-build.XXXXXX")
  trap 'rm -rf "$work"' EXIT
  log_step "building ffmpeg $upstream into $prefix (log: $log)"
  if ! (build_ffmpeg "$src_root/ffmpeg-$upstream" "$prefix" "$work") >>"$log" 2>&1; then
    log_step "failed; the end of $log:"
    tail -n 30 "$log" >&2
    exit 1
  fi
  printf '%s\n' "ffmpeg $debversion" "${config[@]}" >"$prefix/.complete"
  log_step "built in $((SECONDS - start)) s"
fi

# Rewritten only when it changes: CMake reconfigures when this file is newer than its cache.
if [ "$(cat "$cache/ffmpeg-windows.prefix" 2>/dev/null)" != "$prefix" ]; then
  echo "$prefix" >"$cache/ffmpeg-windows.prefix.tmp"
  mv "$cache/ffmpeg-windows.prefix.tmp" "$cache/ffmpeg-windows.prefix"
fi
echo "$prefix"
