#!/usr/bin/env bash
# Runs every libFuzzer target for longer than the bounded CTest run.
# Usage: tools/fuzz-long.sh [SECONDS-PER-TARGET] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-300}
shift || true
CXX=clang++ CC=clang cmake -S . -B build/fuzz -G Ninja -DVELL_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/fuzz
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in fuzz/*.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi
status=0
for t in "${targets[@]}"; do
  mkdir -p "build/fuzz/corpus/$t" "build/fuzz/crashes/$t"
  echo "== $t: ${seconds}s"
  if ! "build/fuzz/$t" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
      -artifact_prefix="build/fuzz/crashes/$t/" -print_final_stats=1 \
      "build/fuzz/corpus/$t" "fuzz/corpus/$t" 2>&1 | grep -E "stat::number_of_executed_units|SUMMARY|ERROR|crash-"; then
    :
  fi
  if ls "build/fuzz/crashes/$t"/* >/dev/null 2>&1; then
    echo "   crashes kept in build/fuzz/crashes/$t"
    status=1
  fi
done
exit $status
