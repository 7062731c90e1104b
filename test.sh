#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test; non-zero exit on any failure.
#   ./test.sh           the Linux leg, then the Windows leg (cross-built, run under wine)
#   ./test.sh linux     the Linux leg only
#   ./test.sh windows   the Windows leg only
set -euo pipefail
cd "$(dirname "$0")"

linux_leg() {
  ./tools/install-deps.sh linux || return 1
  ./tools/build-ffmpeg-linux.sh >/dev/null || return 1
  local jobs status=0
  jobs=$(nproc 2>/dev/null || echo 2)
  cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build/test -j "$jobs"
  # As on the Windows leg: a test that failed runs once more alone, so a scheduling stall on a
  # loaded machine is told apart from a fault (which fails that run too; both are in the log).
  if ! (cd build/test && ctest -j "$jobs" --output-on-failure --timeout 300); then
    echo "test.sh: running the failed tests again, one at a time" >&2
    (cd build/test && ctest --rerun-failed --output-on-failure --timeout 300) || status=1
  fi

  # Short bounded fuzz runs of the file and feed parsers (clang's libFuzzer).
  if command -v clang++ >/dev/null 2>&1 && ls fuzz/*.cmake >/dev/null 2>&1; then
    CXX=clang++ CC=clang cmake -S . -B build/fuzz -G Ninja -DVELL_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build build/fuzz -j "$jobs"
    (cd build/fuzz && ctest -j "$jobs" --output-on-failure) || status=1
  fi
  return $status
}

status=0
case "${1:-all}" in
  linux) linux_leg || status=1 ;;
  windows) ./tools/test-windows.sh || status=1 ;;
  all)
    start=$SECONDS
    linux_leg || status=1
    echo "test.sh: Linux leg done in $((SECONDS - start)) s"
    start=$SECONDS
    ./tools/test-windows.sh || status=1
    echo "test.sh: Windows leg done in $((SECONDS - start)) s"
    ;;
  *) echo "usage: $0 [linux|windows]" >&2; exit 2 ;;
esac
exit $status
