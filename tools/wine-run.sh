#!/usr/bin/env bash
# Runs a Windows program under wine in the test environment (tools/windows-env.sh), which it
# brings up first when needed. CMake uses it as the cross-compiling emulator, so CTest and
# gtest_discover_tests run the .exe files through it: wine-run.sh PROGRAM.exe [ARGS...]
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/windows-env.sh" || exit 1

# The program plays into a sink of its own and records from its monitor (tests hear what they
# played), so programs running side by side do not hear each other.
sink="vell_run_$$"
if module=$(pactl load-module module-null-sink sink_name="$sink" $VELL_NULL_SINK_ARGS 2>/dev/null); then
  export PULSE_SINK="$sink" PULSE_SOURCE="$sink.monitor"
  trap 'pactl unload-module "$module" >/dev/null 2>&1' EXIT
fi

# The C runtime writes "\r\n"; CTest's test discovery and logs expect plain "\n".
"$VELL_WINE" "$@" | tr -d '\r'
exit "${PIPESTATUS[0]}"
