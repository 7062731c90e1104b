#!/usr/bin/env bash
# The platform seam: only the backend folders src/platform/<backend>/ reach the system's own
# libraries. Fails, listing the lines, when a header elsewhere includes a backend header or
# names a backend type, when a source file outside the backend folders includes a backend
# header, or when anything outside src/platform/ tests the target.
#   tools/check-seam.sh [SOURCE-TREE]
set -uo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root/src" || exit 2

include='#[[:space:]]*include[[:space:]]*<(SDL|cairo|pango|curl|gio|glib|X11|xcb/|wayland|dbus|pulse/|alsa/'
include+='|unistd\.h|sys/|pthread|iconv\.h|netdb\.h|netinet/|arpa/|poll\.h|spawn\.h|fcntl\.h|dirent\.h|dlfcn\.h'
include+='|windows\.h|winsock|ws2|winhttp|wininet|mmdeviceapi|audioclient|avrt|objbase|combaseapi|shlobj|shellapi'
include+='|psapi|wrl/|d3d|dxgi)'
type='\bSDL_[A-Za-z]+|\bcairo_[a-z_]+\b|\bPango[A-Z][A-Za-z]*|\bCURL[A-Za-z]*\b|\bcurl_[a-z_]+|\bXEvent\b'
type+='|\bHWND\b|\bHANDLE\b|\bHRESULT\b|\bDWORD\b|\bWCHAR\b|\bpid_t\b|\bssize_t\b|\biconv_t\b'
target='#[[:space:]]*(if|ifdef|ifndef|elif)\b.*(_WIN32|_WIN64|\bWIN32\b|__linux|\blinux\b|__unix|__APPLE__'
target+='|_MSC_VER|__MINGW|__CYGWIN__|VELL_HAVE_X11)'

status=0
# check WHAT PATTERN FILES...: lists the matching lines under WHAT and fails the run.
check() {
  local what=$1 pattern=$2 lines
  shift 2
  lines=$(grep -nHE "$pattern" "$@")
  if [ -n "$lines" ]; then
    printf '%s:\n%s\n' "$what" "$lines"
    status=1
  fi
}

shared_headers=$(find . -name '*.h' -not -path './platform/*/*' | sort)
shared_sources=$(find . -name '*.cpp' -not -path './platform/*/*' | sort)
outside_platform=$(find . \( -name '*.h' -o -name '*.cpp' \) -not -path './platform/*' | sort)

# shellcheck disable=SC2086  # the file lists are split on purpose
check "backend header outside a backend folder" "$include" $shared_headers $shared_sources
# shellcheck disable=SC2086
check "backend type in a header outside a backend folder" "$type" $shared_headers
# shellcheck disable=SC2086
check "target test outside src/platform" "$target" $outside_platform

[ $status -eq 0 ] && echo "seam ok: $(echo "$shared_headers" | wc -l) headers, $(echo "$shared_sources" | wc -l) sources"
exit $status
