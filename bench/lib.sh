# shellcheck shell=bash
# Shared by the shell benchmarks (sourced).
ticks=$(getconf CLK_TCK)

# run_for SECONDS COMMAND...: runs COMMAND for SECONDS, then stops it with SIGTERM and prints
# its CPU seconds and peak resident memory in MB, read from /proc just before the stop.
run_for() {
  local seconds=$1
  shift
  "$@" >/dev/null 2>&1 &
  local pid=$!
  sleep "$seconds"
  local stat hwm
  stat=$(cat "/proc/$pid/stat")
  hwm=$(awk '/^VmHWM/ { print $2 }' "/proc/$pid/status")
  stop "$pid"
  # Fields 14 and 15 (after the command name in parentheses) are user and system ticks.
  echo "${stat##*) }" | awk -v t="$ticks" -v m="$hwm" '{ printf "%.2f %.0f\n", ($12 + $13) / t, m / 1024 }'
}

# cpu_ticks PID: user + system ticks of a running process.
cpu_ticks() {
  local stat
  stat=$(cat "/proc/$1/stat")
  echo "${stat##*) }" | awk '{ print $12 + $13 }'
}

# stop PID: SIGTERM, then SIGKILL if it has not ended within 3 s (a player can hang on exit).
stop() {
  kill -TERM "$1" 2>/dev/null || true
  for _ in $(seq 1 30); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
  kill -KILL "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}

# median: the median of the numbers on stdin, one a line.
median() { sort -n | awk '{ v[NR] = $1 } END { if (NR) print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }
