#!/usr/bin/env bash
# Builds FFmpeg from Debian's source package as the player's own shared libraries (include/,
# lib/*.so*, lib/pkgconfig/, licenses/) into a cache outside the work tree and prints its prefix.
# Debian's libavcodec links some sixty codec, network and device libraries the player never uses;
# loading them took about half of the time before main() and 14 MB of memory. This build has what
# the Windows build has: every native demuxer, decoder, parser and protocol, dav1d for AV1, HTTPS
# (through OpenSSL, the one libcurl uses too), and the hardware decoders of Linux (VA-API,
# VDPAU). The cache folder is keyed like the Windows one; the prefix is also written to
# $VELL_CACHE_DIR/ffmpeg-linux.prefix, where CMakeLists.txt finds it.
# Build output: $VELL_CACHE_DIR/ffmpeg-linux-build.log.
set -euo pipefail
cd "$(dirname "$0")/.."
target=linux
source tools/cross-build.sh
log="$cache/ffmpeg-linux-build.log"

# OpenSSL's licence is compatible with the LGPL only in its version 3, hence version3.
config=(
  --enable-shared --disable-static
  --disable-programs --disable-doc
  --disable-avdevice --disable-avfilter --disable-postproc
  --disable-encoders --disable-muxers
  --disable-autodetect --enable-pthreads --enable-zlib --enable-bzlib --enable-iconv
  --enable-openssl --enable-version3
  --enable-vaapi --enable-vdpau --enable-libdrm --enable-xlib
  --enable-libdav1d
)

# build_ffmpeg SOURCE PREFIX WORK: its text is part of the cache key.
build_ffmpeg() {
  local source=$1 prefix=$2 work=$3 feature
  cd "$work" || return 1
  "$source/configure" --prefix="$prefix" "${config[@]}" || return 1
  for feature in CONFIG_OPENSSL CONFIG_ZLIB CONFIG_VAAPI CONFIG_VDPAU HAVE_X86ASM CONFIG_HTTPS_PROTOCOL \
      CONFIG_CRYPTO_PROTOCOL CONFIG_HLS_DEMUXER CONFIG_H264_VAAPI_HWACCEL CONFIG_LIBDAV1D_DECODER; do
    grep -q "^#define $feature 1" config.h config_components.h ||
      { echo "configure left out $feature"; return 1; }
  done
  make -j"$(nproc)" && make install || return 1
  rm -rf "$prefix/share"
  mkdir -p "$prefix/licenses" && cp "$source/debian/copyright" "$prefix/licenses/ffmpeg.txt"
}

lock_cache ffmpeg
ensure_deb_src
: >>"$log"
source=$(fetch_source ffmpeg "$log")
debversion=$(source_version "$source")
key=$( { echo "$debversion"; printf '%s\n' "${config[@]}"; declare -f build_ffmpeg; } | sha256sum | cut -c1-12)
prefix="$cache/ffmpeg-linux-$(upstream_version "$debversion")-$key"
cached_build ffmpeg "$prefix" "$(printf '%s\n' "ffmpeg $debversion" "${config[@]}")" \
  build_ffmpeg "$source" "$prefix"
