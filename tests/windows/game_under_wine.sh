#!/usr/bin/env bash
# The Windows edition as a player gets it: the zip unpacked into a fresh folder, BRIMMEL.exe
# started from another folder under Wine on a private X display (Wine's OpenGL over Mesa, no
# sound device). Checks the title read-out, the logo and the title picture, X into the home stage,
# F12's screenshot, Esc ending with 0, and profile.txt beside the program without a missing-file
# line.
# Usage: game_under_wine.sh ZIP WORKDIR   (screenshots go to WORKDIR/shots/)
set -uo pipefail
zip=$(realpath -m "$1")
work=$(realpath -m "$2")
wine=/usr/lib/wine/wine64
# Wine hands the Linux environment to the program: SDL's Linux test drivers (offscreen, dummy)
# would be asked for on Windows too, where the window and OpenGL come from Wine's own driver.
unset SDL_VIDEODRIVER SDL_AUDIODRIVER
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
# A screenshot of the window, and its title at that moment.
shot() {
  import -display "$DISPLAY" -window "$window" "$work/shots/$1.png" 2>/dev/null
  xdotool getwindowname "$window" >>"$work/titles.txt" 2>/dev/null
}
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


# Pixel checks: the mean colour of the window against the picture the scene shows, taken from
# the unpacked data itself.
picture_mean() {
  convert "$folder/data/image/$1" -resize 1x1\! -depth 8 -format '%[fx:int(255*r)] %[fx:int(255*g)] %[fx:int(255*b)]' info:
}
near() { # "r g b" "r g b" tolerance
  local a b
  read -r -a a <<<"$1"
  read -r -a b <<<"$2"
  for i in 0 1 2; do
    [ $((a[i] - b[i])) -le "$3" ] && [ $((b[i] - a[i])) -le "$3" ] || return 1
  done
}
# Shoots until the window's mean colour comes near the picture's: name picture tolerance tries.
wait_for_picture() {
  local want got i
  want=$(picture_mean "$2")
  for i in $(seq 1 "$4"); do
    shot "$1"
    got=$(mean "$1")
    if near "$got" "$want" "$3"; then
      echo "$1: mean colour $got, $2 $want (after $(seconds_since "$start") s)"
      return 0
    fi
    sleep 0.2
  done
  fail "$1: mean colour $got never came near $2's $want"
}
echo "window geometry: $(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p')"
wait_for_picture 1_logo logo.jpg 40 40
# The read-out replaces the title once a second: frames counted in that second and the free
# memory. The count is checked over the whole run below.
readout=""
for _ in $(seq 1 100); do
  readout=$(xdotool search --name '^FPS:[0-9]+, MEMORY = [0-9]+KB$' 2>/dev/null | head -1)
  [ -n "$readout" ] && break
  sleep 0.1
done
title=$(xdotool getwindowname "$window" 2>/dev/null)
[ -n "$readout" ] || fail "no 'FPS:.., MEMORY = ...KB' read-out within 10 s of the logo (title: '$title')"
echo "read-out '$(xdotool getwindowname "$readout")' after $(seconds_since "$start") s"
window=$readout
wait_for_picture 2_title title.jpg 25 60

# X on the title (held a moment: the game polls the keyboard once a frame), then the caption
# card, then the home stage: a lit 3D scene whose lower half is the garden's green.
press() {
  xdotool keydown "$1"
  sleep 0.15
  xdotool keyup "$1"
}
xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus "$window" 2>/dev/null
press x
home=0
for i in $(seq 1 150); do
  shot 3_home
  read -r r g b <<<"$(mean 3_home 100%x50%+0+240)"
  if [ "$g" -gt "$r" ] && [ "$g" -gt "$b" ] && [ "$(colours 3_home)" -gt 2000 ]; then
    home=1
    echo "home stage: lower half mean colour $r $g $b, $(colours 3_home) colours (after $(seconds_since "$start") s)"
    break
  fi
  # The caption card may wait for a key as well.
  [ $((i % 25)) = 0 ] && press x
  sleep 0.2
done
[ $home = 1 ] || fail "no home stage after X (lower half mean colour $r $g $b)"

# F12: the game's own screenshot, into the game folder, named in the log.
press F12
for _ in $(seq 1 50); do
  own=$(find "$folder" -maxdepth 1 -name '*.png' | head -1)
  [ -n "$own" ] && break
  sleep 0.1
done
[ -n "$own" ] || fail "F12 wrote no screenshot into the game folder"
cp "$own" "$work/shots/4_f12.png"

# Sixty a second is the pace: the read-out's one-second windows give a frame or two either side
# (more short on a busy machine), but a loop that runs free, or waits a whole 15.6 ms timer tick
# per frame (64 a second), does not keep its middle second there.
rates=$(grep -o '^FPS:[0-9]*' "$work/titles.txt" | cut -d: -f2 | sort -n)
middle=$(echo "$rates" | awk '{v[NR] = $1} END {if (NR) print v[int((NR + 1) / 2)]}')
echo "read-outs seen (frames a second: count): $(echo "$rates" | uniq -c | awk '{printf "%s:%s ", $2, $1}')"
[ -n "$middle" ] && [ "$middle" -ge 57 ] && [ "$middle" -le 63 ] ||
  fail "the read-out's middle second is not near 60 frames a second ($middle)"

# Esc ends the game with exit status 0.
press Escape
code=""
for _ in $(seq 1 100); do
  if ! kill -0 $game 2>/dev/null; then
    wait $game
    code=$?
    break
  fi
  sleep 0.1
done
[ -n "$code" ] || fail "the game did not end within 10 s of Esc"
[ "$code" = 0 ] || fail "exit status $code after Esc"
echo "exit status 0 after Esc"

# The log beside the program (not in the folder it was started from), without a missing file.
[ -f "$log" ] || fail "no profile.txt beside BRIMMEL.exe"
[ ! -e "$work/elsewhere/profile.txt" ] || fail "profile.txt written into the starting folder"
grep -q "^Screenshot: .*$(basename "$own")" "$log" || fail "the log does not name the F12 screenshot"
if grep -v '^Screenshot: ' "$log" | grep -n -i 'not found\|cannot\|missing\|Not '; then
  fail "profile.txt names a missing file"
fi
echo "profile.txt: $(wc -l <"$log") line(s), the screenshot's and none about a missing file"
echo "screenshots in $work/shots/"
echo "PASS"
