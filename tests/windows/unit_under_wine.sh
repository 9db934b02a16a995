#!/usr/bin/env bash
# One room's unit suite, built for Windows, run whole under Wine on a private X display (the
# recording graphics open a window). Passes when no case fails, no case is skipped but those
# SKIPPABLE names (an extended regular expression: what the Windows build leaves out, such as the
# peers measured side by side), and, where the Linux build of the same suite is there, as many
# cases ran as that suite holds.
# FILTER (GoogleTest's) picks the Linux suite's cases that the Windows program holds.
# Usage: unit_under_wine.sh WINDOWS_EXE [LINUX_EXE [SKIPPABLE [FILTER]]]
set -uo pipefail
exe=$1
linux=${2:-}
skippable=${3:-}
filter=${4:-*}
# Wine hands the Linux environment to the program: SDL's Linux test drivers (offscreen, dummy)
# would be asked for on Windows too, where the window and OpenGL come from Wine's own driver.
unset SDL_VIDEODRIVER SDL_AUDIODRIVER
export WINEPREFIX=${BRIMMEL_WINEPREFIX:-/var/cache/brimmel/windows/wineprefix} WINEDEBUG=-all ALSOFT_DRIVERS=null
out=$(mktemp)
trap 'rm -f "$out"' EXIT
xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" /usr/lib/wine/wine64 "$exe" 2>&1 | tr -d '\r' >"$out"
code=${PIPESTATUS[0]}
# The suites' own log lines go to the same output: only GoogleTest's verdicts are shown.
grep -a '^\[  FAILED\|^\[  SKIPPED\|^\[  PASSED\|^\[=\|Failure\|Expected\|Actual\|Which is\|Value of' "$out"
[ $code = 0 ] || { echo "FAIL: exit status $code"; exit 1; }
passed=$(grep -a -o '\[  PASSED  \] [0-9]* test' "$out" | grep -o '[0-9]*')
skipped=$(grep -a '^\[  SKIPPED \] [A-Za-z]' "$out" | sed 's/^\[  SKIPPED \] //; s/ (.*//' | sort -u)
for name in $skipped; do
  if [ -z "$skippable" ] || ! echo "$name" | grep -qE "$skippable"; then
    echo "FAIL: $name was skipped under Wine"
    exit 1
  fi
done
ran=$((passed + $(echo "$skipped" | grep -c .)))
if [ -n "$linux" ] && [ -x "$linux" ]; then
  cases=$("$linux" --gtest_list_tests --gtest_filter="$filter" | grep -c '^  ')
  [ "$ran" = "$cases" ] || { echo "FAIL: $ran cases ran under Wine, the Linux suite holds $cases"; exit 1; }
  echo "$passed passed and $((ran - passed)) skipped of $cases cases, as many as the Linux suite holds"
else
  echo "$passed passed and $((ran - passed)) skipped (no Linux build of the suite to count against)"
fi
