#!/usr/bin/env bash
# One room's unit suite, built for Windows, run whole under Wine on a private X display (the
# recording graphics open a window). Passes when every case passes, and, where the Linux build of
# the same suite is there, when as many cases passed as that suite holds: none skipped or lost.
# Usage: unit_under_wine.sh WINDOWS_EXE [LINUX_EXE]
set -uo pipefail
exe=$1
linux=${2:-}
export WINEPREFIX=${BRIMMEL_WINEPREFIX:-/var/cache/brimmel/windows/wineprefix} WINEDEBUG=-all ALSOFT_DRIVERS=null
out=$(mktemp)
trap 'rm -f "$out"' EXIT
xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" /usr/lib/wine/wine64 "$exe" --gtest_brief=1 >"$out" 2>&1
code=$?
# The suites' own log lines go to the same output: only GoogleTest's lines are shown.
grep -a '^\[\|Failure\|Expected\|Actual\|Which is\|Value of' "$out"
[ $code = 0 ] || { echo "FAIL: exit status $code"; exit 1; }
passed=$(grep -a -o '\[  PASSED  \] [0-9]* test' "$out" | grep -o '[0-9]*')
if [ -n "$linux" ] && [ -x "$linux" ]; then
  cases=$("$linux" --gtest_list_tests | grep -c '^  ')
  [ "$passed" = "$cases" ] || { echo "FAIL: $passed cases passed under Wine, the Linux suite has $cases"; exit 1; }
  echo "$passed cases passed, as many as the Linux suite holds"
fi
