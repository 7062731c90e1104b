# Shared steps of the builds of third-party libraries from Debian's source packages
# (tools/build-ffmpeg-windows.sh, tools/build-libass-windows.sh, tools/build-ffmpeg-linux.sh).
# Sourced, not run. The caller may set `target` (default windows): it names the cache's lock, log
# and prefix files. VELL_CACHE_DIR defaults to /var/cache/vell-player (~/.cache/vell-player when
# not root).

if [ "$(id -u)" -eq 0 ]; then
  cache=${VELL_CACHE_DIR:-/var/cache/vell-player}
else
  cache=${VELL_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/vell-player}
fi
host=x86_64-w64-mingw32
target=${target:-windows}
mkdir -p "$cache"

log_step() { echo "$(basename "$0" .sh): $*" >&2; }

source_versions() { apt-cache showsrc "$1" 2>/dev/null | sed -n 's/^Version: //p' | sort -V; }

# Adds a deb-src entry for bookworm, in a sources file of its own, when apt knows no source.
ensure_deb_src() {
  [ -n "$(source_versions ffmpeg)" ] && return 0
  local list=/etc/apt/sources.list.d/vell-deb-src.sources sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  log_step "adding $list"
  $sudo tee "$list" >/dev/null <<'SOURCES'
# Source packages (FFmpeg, dav1d and libass with its libraries are cross-built for Windows from them).
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
SOURCES
  $sudo apt-get update -qq
  [ -n "$(source_versions ffmpeg)" ]
}

# fetch_source PACKAGE LOG: unpacks the newest source of PACKAGE that the archive serves (with
# Debian's patches) under the cache once, and prints its folder, whose parent is named after the
# package and version. A security update's binary can come without its source on a mirror: then
# the version before it is taken.
fetch_source() {
  local package=$1 log=$2 version root dir
  for version in $(source_versions "$package" | tac); do
    root="$cache/src/$package-${version//[^A-Za-z0-9.+-]/_}"  # no ':' in the path: make splits on it
    if [ ! -f "$root/.unpacked" ]; then
      log_step "fetching the source of $package $version"
      rm -rf "$root"
      mkdir -p "$root"
      if ! (cd "$root" && apt-get source -qq -o APT::Sandbox::User=root "$package=$version") >>"$log" 2>&1; then
        rm -rf "$root"
        continue
      fi
      echo "$version" >"$root/.unpacked"
    fi
    dir=$(find "$root" -mindepth 1 -maxdepth 1 -type d | head -1)
    [ -n "$dir" ] && { echo "$dir"; return 0; }
  done
  log_step "no source of $package could be fetched; the end of $log:"
  tail -n 20 "$log" >&2
  return 1
}

# upstream_version DEBIAN-VERSION: without epoch and Debian revision.
upstream_version() {
  local v=${1#*:}
  echo "${v%-*}"
}

# source_version SOURCE-DIR: the Debian version of a folder fetch_source gave.
source_version() { cat "$(dirname "$1")/.unpacked"; }

# static_libs DIR: a folder holding only the static zlib and winpthread, searched first, so the
# DLLs built need none but Windows' own (with -static-libgcc and -static-libstdc++).
static_libs() {
  local lib
  mkdir -p "$1" || return 1
  for lib in libz.a libpthread.a libwinpthread.a; do
    ln -sf "/usr/$host/lib/$lib" "$1/$lib" || return 1
  done
}

# meson_cross FILE STATIC-DIR [PKG-CONFIG-LIBDIR]: a meson cross file for mingw-w64, whose
# pkg-config sees only the libraries built for Windows.
meson_cross() {
  cat >"$1" <<CROSS
[binaries]
c = '$host-gcc-posix'
cpp = '$host-g++-posix'
ar = '$host-ar'
strip = '$host-strip'
windres = '$host-windres'
nasm = 'nasm'
pkgconfig = 'pkg-config'

[properties]
pkg_config_libdir = '${3:-/nonexistent}'

[built-in options]
c_link_args = ['-L$2', '-static-libgcc']
cpp_link_args = ['-L$2', '-static-libgcc', '-static-libstdc++']

[host_machine]
system = 'windows'
cpu_family = 'x86_64'
cpu = 'x86_64'
endian = 'little'
CROSS
}

# dlls_self_contained PREFIX: fails when a DLL there needs a runtime DLL that is not shipped.
dlls_self_contained() {
  local dll
  for dll in "$1"/bin/*.dll; do
    if $host-objdump -p "$dll" | grep -iE "DLL Name: *(libwinpthread|libgcc|libstdc|zlib)"; then
      echo "$dll needs a DLL that is not shipped"
      return 1
    fi
  done
}

# licence_note NAME SOURCE-DIR PREFIX: the package's Debian copyright file, which names every
# licence of its source, goes into PREFIX/licenses/NAME.txt for the packages.
licence_note() {
  mkdir -p "$3/licenses" && cp "$2/debian/copyright" "$3/licenses/$1.txt"
}

# lock_cache NAME: one build of NAME at a time; a second caller waits, then finds the cache.
lock_cache() {
  exec 9>"$cache/$1-$target.lock"
  flock 9
}

# cached_build NAME PREFIX DESCRIPTION BUILD-FUNCTION ARG...: unless PREFIX/.complete exists, runs
# BUILD-FUNCTION ARG... WORK (WORK a scratch folder, removed after) with its output in NAME's log,
# and on success writes DESCRIPTION into .complete. Then publishes PREFIX and prints it.
cached_build() {
  local name=$1 prefix=$2 description=$3 start status
  shift 3
  local log="$cache/$name-$target-build.log"
  if [ ! -f "$prefix/.complete" ]; then
    start=$SECONDS
    : >"$log"
    rm -rf "$prefix"
    work=$(mktemp -d "$cache/$name-build.XXXXXX")
    trap 'rm -rf "$work"' EXIT
    log_step "building $name into $prefix (log: $log)"
    ("$@" "$work") >>"$log" 2>&1 && status=0 || status=$?
    rm -rf "$work"
    trap - EXIT
    if [ $status -ne 0 ]; then
      log_step "failed; the end of $log:"
      tail -n 30 "$log" >&2
      return 1
    fi
    echo "$description" >"$prefix/.complete"
    log_step "built in $((SECONDS - start)) s"
  fi
  publish_prefix "$name" "$prefix"
  echo "$prefix"
}

# publish_prefix NAME PREFIX: <cache>/NAME-<target>.prefix, where CMake finds it;
# rewritten only when it changes (CMake reconfigures when the file is newer than its cache).
publish_prefix() {
  local file="$cache/$1-$target.prefix"
  if [ "$(cat "$file" 2>/dev/null)" != "$2" ]; then
    echo "$2" >"$file.tmp"
    mv "$file.tmp" "$file"
  fi
}
