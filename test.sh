#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test; non-zero exit on any failure.
set -euo pipefail
cd "$(dirname "$0")"
./tools/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/test -j "$jobs"
status=0
(cd build/test && ctest -j "$jobs" --output-on-failure --timeout 300) || status=1

# Short bounded fuzz runs of the file and feed parsers (clang's libFuzzer).
if command -v clang++ >/dev/null 2>&1 && ls fuzz/*.cmake >/dev/null 2>&1; then
  CXX=clang++ CC=clang cmake -S . -B build/fuzz -G Ninja -DVELL_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build/fuzz -j "$jobs"
  (cd build/fuzz && ctest -j "$jobs" --output-on-failure) || status=1
fi
exit $status
