#!/usr/bin/env bash
# Cross-builds FFmpeg from Debian's source package as Windows x86-64 DLLs (include/, lib/*.dll.a,
# bin/*.dll, licenses/) into a cache outside the work tree and prints its prefix. AV1 is decoded in
# software by dav1d, built from its Debian source too and linked into avcodec. The cache folder is
# keyed by the source versions and a hash of the configuration and the build steps, so it is
# rebuilt only when one of them changes. The prefix is also written to $VELL_CACHE_DIR/ffmpeg-windows.prefix,
# where cmake/Windows.cmake finds it. Build output: $VELL_CACHE_DIR/ffmpeg-windows-build.log.
# VELL_CACHE_DIR defaults to /var/cache/vell-player (~/.cache/vell-player when not root).
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/cross-build.sh
log="$cache/ffmpeg-windows-build.log"

# What the player uses: demuxing, decoding, scaling and resampling, every native demuxer, decoder,
# parser and protocol (HTTPS through Schannel, HLS with AES-128, ICY), zlib, x86 assembly, the
# Windows hardware decoders and dav1d. Nothing is detected silently, so the result does not depend
# on the host.
config=(
  --target-os=mingw32 --arch=x86_64 --enable-cross-compile
  --cross-prefix=$host- --cc=$host-gcc-posix --cxx=$host-g++-posix --x86asmexe=nasm
  --pkg-config=pkg-config --pkg-config-flags=--static
  --enable-shared --disable-static --disable-debug
  --disable-programs --disable-doc
  --disable-avdevice --disable-avfilter --disable-postproc
  --disable-encoders --disable-muxers
  --disable-autodetect --enable-w32threads --enable-zlib --enable-schannel
  --enable-d3d11va --enable-dxva2 --enable-libdav1d
)

# build_dav1d SOURCE WORK: a static dav1d (8- and 10-bit, with its assembly) in WORK/dav1d.
build_dav1d() {
  local source=$1 work=$2
  meson setup "$work/dav1d-build" "$source" --cross-file "$work/cross.txt" --prefix "$work/dav1d" \
    --libdir lib --buildtype release --default-library static -Denable_tools=false \
    -Denable_tests=false -Denable_examples=false -Denable_docs=false -Denable_asm=true || return 1
  ninja -C "$work/dav1d-build" -j"$(nproc)" install
}

# build_ffmpeg SOURCE DAV1D-SOURCE PREFIX WORK: its text is part of the cache key. (Each step
# checks its own status: errexit does not apply inside a function whose caller tests it.)
build_ffmpeg() {
  local source=$1 dav1d=$2 prefix=$3 work=$4 feature
  # zlib and winpthread (the compiler links -lpthread; avutil takes clock_gettime from it) are
  # found as static libraries first, and libgcc is linked in: the DLLs need only Windows' own.
  static_libs "$work/static" && meson_cross "$work/cross.txt" "$work/static" || return 1
  build_dav1d "$dav1d" "$work" || return 1
  cd "$work" || return 1
  # Winsock reports a refused connection only in select's exception set, which FFmpeg's poll
  # stand-in fills only when asked for POLLERR; a real poll always reports it. Without this a
  # connection to a station that is down waits for the whole timeout instead of failing at once.
  sed -i 's/^\( *\)if (fds\[i\]\.events & POLLERR)$/\1if (fds[i].events \& (POLLERR | POLLOUT | POLLIN))/' \
    "$source/libavformat/os_support.c" || return 1
  grep -q 'events & (POLLERR | POLLOUT | POLLIN)' "$source/libavformat/os_support.c" || return 1
  PKG_CONFIG_LIBDIR="$work/dav1d/lib/pkgconfig" "$source/configure" --prefix="$prefix" "${config[@]}" \
    --extra-ldflags="-L$work/static -static-libgcc" || return 1
  for feature in CONFIG_SCHANNEL CONFIG_ZLIB CONFIG_D3D11VA CONFIG_DXVA2 HAVE_W32THREADS HAVE_X86ASM \
      CONFIG_HTTPS_PROTOCOL CONFIG_CRYPTO_PROTOCOL CONFIG_HLS_DEMUXER CONFIG_H264_D3D11VA_HWACCEL \
      CONFIG_LIBDAV1D_DECODER; do
    grep -q "^#define $feature 1" config.h config_components.h ||
      { echo "configure left out $feature"; return 1; }
  done
  make -j"$(nproc)" && make install || return 1
  rm -rf "$prefix/share" "$prefix/lib/pkgconfig"
  licence_note dav1d "$dav1d" "$prefix" && dlls_self_contained "$prefix"
}

lock_cache ffmpeg
ensure_deb_src
: >>"$log"
source=$(fetch_source ffmpeg "$log")
dav1d=$(fetch_source dav1d "$log")
debversion=$(source_version "$source")
key=$( { echo "$debversion"; source_version "$dav1d"; printf '%s\n' "${config[@]}";
  declare -f build_ffmpeg build_dav1d static_libs meson_cross licence_note dlls_self_contained; } |
  sha256sum | cut -c1-12)
prefix="$cache/ffmpeg-$(upstream_version "$debversion")-$key"
cached_build ffmpeg "$prefix" "$(printf '%s\n' "ffmpeg $debversion" "dav1d $(source_version "$dav1d")" "${config[@]}")" \
  build_ffmpeg "$source" "$dav1d" "$prefix"
