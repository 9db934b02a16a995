#!/usr/bin/env bash
# The Windows edition as a player gets it: the zip unpacked into a fresh folder, BRIMMEL.exe
# started from another folder under Wine on a private X display (Wine's OpenGL over Mesa, no
# sound device). Checks the title read-out, the logo and the title picture, X into the home stage,
# Esc ending with 0, and profile.txt beside the program without a missing-file line.
# Usage: game_under_wine.sh ZIP WORKDIR   (screenshots go to WORKDIR/shots/)
set -uo pipefail
zip=$1
work=$2
wine=/usr/lib/wine/wine64
export WINEPREFIX=${BRIMMEL_WINEPREFIX:-/var/cache/brimmel/windows/wineprefix}
export WINEDEBUG=-all ALSOFT_DRIVERS=null

fail() {
  echo "FAIL: $*"
  [ -f "${log:-}" ] && { echo "--- profile.txt"; cat "$log"; }
  exit 1
}
for tool in Xvfb xdotool import convert unzip; do
  command -v $tool >/dev/null || { echo "$tool missing (scripts/windows-deps installs it)"; exit 77; }
done
[ -x $wine ] || { echo "wine64 missing"; exit 77; }
[ -f "$zip" ] || fail "no $zip"

rm -rf "$work" && mkdir -p "$work/unpacked" "$work/elsewhere" "$work/shots"
unzip -q "$zip" -d "$work/unpacked" || fail "unzip"
folder=$(find "$work/unpacked" -mindepth 1 -maxdepth 1 -type d | head -1)
exe=$folder/BRIMMEL.exe
log=$folder/profile.txt
[ -f "$exe" ] || fail "no BRIMMEL.exe in the zip"

# A first run makes the Wine prefix (slow); later runs share it.
mkdir -p "$(dirname "$WINEPREFIX")"
if [ ! -e "$WINEPREFIX/.brimmel-ready" ]; then
  DISPLAY= $wine wineboot -i >/dev/null 2>&1 && touch "$WINEPREFIX/.brimmel-ready"
fi

pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
}
trap cleanup EXIT

exec 3< <(Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null)
pids+=($!)
read -r -t 15 number <&3 || fail "Xvfb did not start"
export DISPLAY=:$number
if command -v openbox >/dev/null; then
  openbox --sm-disable >/dev/null 2>&1 &
  pids+=($!)
fi

# Started from another folder: the program finds its files beside itself.
start=$(date +%s.%N)
(cd "$work/elsewhere" && exec $wine "$exe") >"$work/wine.out" 2>&1 &
game=$!
pids+=($game)

seconds_since() { echo "$(date +%s.%N) - $1" | bc; }
shot() { import -display "$DISPLAY" -window "$window" "$work/shots/$1.png" 2>/dev/null; }
# The mean colour of a screenshot (or of a region, WxH+X+Y) as "r g b", 0..255.
mean() {
  local crop=()
  [ -n "${2:-}" ] && crop=(-crop "$2" +repage)
  convert "$work/shots/$1.png" "${crop[@]}" -resize 1x1\! -depth 8 -format '%[fx:int(255*r)] %[fx:int(255*g)] %[fx:int(255*b)]' info:
}
# The number of distinct colours: a flat card has few, a lit 3D scene many.
colours() { convert "$work/shots/$1.png" -format '%k' info:; }

window=""
for _ in $(seq 1 300); do
  window=$(xdotool search --name 'BRIMMEL|FPS:' 2>/dev/null | head -1)
  [ -n "$window" ] && break
  kill -0 $game 2>/dev/null || fail "the game ended before its window opened: $(cat "$work/wine.out")"
  sleep 0.1
done
[ -n "$window" ] || fail "no window within 30 s"
opened=$(seconds_since "$start")
echo "window after ${opened} s"

# The read-out replaces the title once a second: 60 frames counted in that second.
readout=""
for _ in $(seq 1 100); do
  readout=$(xdotool search --name '^FPS:60, MEMORY = [0-9]+KB$' 2>/dev/null | head -1)
  [ -n "$readout" ] && break
  sleep 0.1
done
title=$(xdotool getwindowname "$window" 2>/dev/null)
[ -n "$readout" ] || fail "no 'FPS:60, MEMORY = ...KB' read-out within 10 s of the window (title: '$title')"
echo "read-out '$(xdotool getwindowname "$readout")' after $(seconds_since "$start") s"
window=$readout
