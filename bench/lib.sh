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
  kill -TERM "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  # Fields 14 and 15 (after the command name in parentheses) are user and system ticks.
  echo "${stat##*) }" | awk -v t="$ticks" -v m="$hwm" '{ printf "%.2f %.0f\n", ($12 + $13) / t, m / 1024 }'
}

# cpu_ticks PID: user + system ticks of a running process.
cpu_ticks() {
  local stat
  stat=$(cat "/proc/$1/stat")
  echo "${stat##*) }" | awk '{ print $12 + $13 }'
}

# median: the median of the numbers on stdin, one a line.
median() { sort -n | awk '{ v[NR] = $1 } END { if (NR) print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }
