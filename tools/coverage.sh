#!/usr/bin/env bash
# Builds the Linux tests with gcov instrumentation, runs them and prints the line coverage of src/
# as one line: line_coverage=NN.N%. Arguments go to ctest (e.g. -R 'test_engine|test_audio');
# VELL_COVERAGE_TARGETS limits what is built (e.g. "test_engine test_audio").
set -euo pipefail
cd "$(dirname "$0")/.."
./tools/install-deps.sh
./tools/build-ffmpeg-linux.sh >/dev/null
if ! command -v gcovr >/dev/null 2>&1; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq && apt-get install -y -qq --no-install-recommends gcovr
fi

dir=build/coverage
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELL_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="--coverage -O0" -DCMAKE_C_FLAGS="--coverage -O0" \
  -DCMAKE_EXE_LINKER_FLAGS=--coverage >/dev/null
# shellcheck disable=SC2086
cmake --build "$dir" -j "$jobs" ${VELL_COVERAGE_TARGETS:+--target $VELL_COVERAGE_TARGETS} >/dev/null
find "$dir" -name '*.gcda' -delete
(cd "$dir" && ctest -j "$jobs" --timeout 300 "$@" >ctest.log 2>&1) || echo "some tests failed; see $dir/ctest.log" >&2

# Line coverage of the product's own code, counted once per source line.
# gcovr replaces its output file, so it never gets /dev/null (as root that file would be lost).
pct=$(gcovr -r . --object-directory "$dir" --filter 'src/' -j "$jobs" --print-summary -o "$dir/coverage.txt" 2>/dev/null |
  awk '/^lines:/ { sub("%", "", $2); print $2 }')
echo "line_coverage=${pct}%"
