#!/usr/bin/env bash
# The Windows leg: installs what is missing, cross-builds FFmpeg (with dav1d) and libass (with
# FreeType, FriBidi, HarfBuzz) once (cached outside the work tree), configures and builds
# build/windows (CMakePresets.json's "windows"), then runs every test there with CTest under
# wine, with a PulseAudio server behind WASAPI. Non-zero exit on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
./tools/install-deps.sh windows

ffmpeg_prefix=$(./tools/build-ffmpeg-windows.sh)
libass_prefix=$(./tools/build-libass-windows.sh)
jobs=$(nproc 2>/dev/null || echo 2)
cmake --preset windows -DVELL_FFMPEG_WINDOWS_PREFIX="$ffmpeg_prefix" \
  -DVELL_LIBASS_WINDOWS_PREFIX="$libass_prefix" >/dev/null
# Whatever builds is tested; a program that did not build shows up in CTest as not built.
status=0
cmake --build build/windows -j "$jobs" -- -k 0 || status=1

# The first run makes the wine prefix (tens of seconds); later runs find it. The sound server and
# wine's own server leave by themselves once idle, so nothing is stopped here.
source tools/windows-env.sh

# A test program whose list came out empty (it did not start, or its listing was lost) would
# leave its tests out without a failure: every program must list tests, and all of them together
# no fewer than the floor.
# 172 when this was written; the floor leaves room for tests that are merged away.
floor=${VELL_WINDOWS_TEST_FLOOR:-120}
total=0
for program in build/windows/tests/test_*.exe; do
  [ -e "$program" ] || continue
  name=$(basename "$program" .exe)
  listed=$(ctest --test-dir build/windows -N -L "^${name#test_}\$" | sed -n 's/^Total Tests: //p')
  if [ "${listed:-0}" -eq 0 ]; then
    echo "test-windows: $name lists no tests" >&2
    status=1
  fi
  total=$((total + ${listed:-0}))
done
echo "test-windows: $total tests listed (floor $floor)"
if [ "$total" -lt "$floor" ]; then
  echo "test-windows: fewer tests listed than the floor of $floor" >&2
  status=1
fi

# Sound and clock tests hear real time through wine and a PulseAudio sink; with two programs
# under emulation at once on two cores, a scheduling stall can read as a gap in the sound. A
# test that failed gets one more run alone: a fault fails that run too, and both runs are in
# the log.
if ! ctest --test-dir build/windows -j "$jobs" --output-on-failure --timeout 300; then
  echo "test-windows: running the failed tests again, one at a time" >&2
  ctest --test-dir build/windows --rerun-failed --output-on-failure --timeout 300 || status=1
fi
exit $status
