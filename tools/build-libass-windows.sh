#!/usr/bin/env bash
# Cross-builds libass with FreeType, FriBidi and HarfBuzz from Debian's source packages as Windows
# x86-64 DLLs (include/, lib/*.dll.a, bin/*.dll, licenses/) into a cache outside the work tree and
# prints its prefix. Each library is a DLL of its own, so each can be replaced (FriBidi is LGPL).
# libass finds the system's fonts through DirectWrite. The cache folder is keyed by the source
# versions and a hash of the build steps; the prefix is also written to
# $VELL_CACHE_DIR/libass-windows.prefix for cmake/Windows.cmake. Log: $VELL_CACHE_DIR/libass-windows-build.log.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/cross-build.sh
log="$cache/libass-windows-build.log"

# meson_build SOURCE PREFIX WORK NAME OPTION...: one library, shared, into PREFIX.
meson_build() {
  local source=$1 prefix=$2 work=$3 name=$4
  shift 4
  PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig" meson setup "$work/$name" "$source" \
    --cross-file "$work/cross.txt" --prefix "$prefix" --libdir lib --buildtype release \
    --default-library shared --wrap-mode nofallback "$@" || return 1
  ninja -C "$work/$name" -j"$(nproc)" install || return 1
  licence_note "$name" "$source" "$prefix"
}

# build_all FREETYPE FRIBIDI HARFBUZZ LIBASS PREFIX WORK: its text is part of the cache key.
build_all() {
  local freetype=$1 fribidi=$2 harfbuzz=$3 libass=$4 prefix=$5 work=$6
  static_libs "$work/static" && meson_cross "$work/cross.txt" "$work/static" "$prefix/lib/pkgconfig" || return 1
  # FreeType with no compression or PNG (fonts on a desktop are plain); HarfBuzz shapes with it.
  meson_build "$freetype" "$prefix" "$work" freetype -Dzlib=disabled -Dbzip2=disabled \
    -Dpng=disabled -Dharfbuzz=disabled -Dbrotli=disabled -Dtests=disabled || return 1
  meson_build "$fribidi" "$prefix" "$work" fribidi -Ddocs=false || return 1
  meson_build "$harfbuzz" "$prefix" "$work" harfbuzz -Dfreetype=enabled -Dglib=disabled \
    -Dgobject=disabled -Dcairo=disabled -Dchafa=disabled -Dicu=disabled -Dtests=disabled \
    -Dintrospection=disabled -Ddocs=disabled -Dbenchmark=disabled || return 1
  mkdir -p "$work/libass" && cd "$work/libass" || return 1
  PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig" "$libass/configure" --host=$host --prefix="$prefix" \
    --enable-shared --disable-static --disable-fontconfig --enable-directwrite \
    --disable-libunibreak --disable-require-system-font-provider --enable-asm \
    CC=$host-gcc-posix LDFLAGS="-L$work/static -static-libgcc" || return 1
  grep -q "^#define CONFIG_DIRECTWRITE 1" config.h || { echo "configure left out DirectWrite"; return 1; }
  make -j"$(nproc)" && make install || return 1
  licence_note libass "$libass" "$prefix"
  rm -rf "$prefix/share" "$prefix/lib/pkgconfig" "$prefix"/lib/*.la
  dlls_self_contained "$prefix"
}

lock_cache libass
ensure_deb_src
: >>"$log"
sources=()
for package in freetype fribidi harfbuzz libass; do
  sources+=("$(fetch_source "$package" "$log")")
done
key=$( { for s in "${sources[@]}"; do source_version "$s"; done; declare -f build_all meson_build;
  declare -f static_libs meson_cross licence_note dlls_self_contained; } | sha256sum | cut -c1-12)
prefix="$cache/libass-$(upstream_version "$(source_version "${sources[3]}")")-$key"
cached_build libass "$prefix" "$(for s in "${sources[@]}"; do basename "$(dirname "$s")"; done)" \
  build_all "${sources[@]}" "$prefix"
