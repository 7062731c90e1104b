#!/usr/bin/env bash
# Runs a Windows program under wine in the test environment (tools/windows-env.sh), which it
# brings up first when needed. CMake uses it as the cross-compiling emulator, so CTest and
# gtest_discover_tests run the .exe files through it: wine-run.sh PROGRAM.exe [ARGS...]
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/windows-env.sh" || exit 1

# The C runtime writes "\r\n"; CTest's test discovery and logs expect plain "\n".
"$VELL_WINE" "$@" | tr -d '\r'
exit "${PIPESTATUS[0]}"
