#!/usr/bin/env bash
# The Windows edition as a player gets it: the zip unpacked into a fresh folder whose name holds
# spaces, an accented letter and Japanese, BRIMMEL.exe started from another folder under Wine on a private X display (Wine's OpenGL over Mesa, no
# sound device). Checks the title read-out, the logo and the title picture, X into the home stage,
# F12's screenshot, Esc ending with 0, and profile.txt beside the program without a missing-file
# line.
# Usage: game_under_wine.sh ZIP WORKDIR   (screenshots go to WORKDIR/shots/)
set -uo pipefail
zip=$(realpath -m "$1")
work=$(realpath -m "$2")
shots=$work/shots
# shellcheck source=wine_display.sh
. "$(dirname "$0")/wine_display.sh"
need_tools Xvfb xdotool import convert unzip bc
# Where a player named in French keeps games, in a folder named in Japanese.
unpack_zip "$zip" "$work/Jeux été/ブリメル"
log=$folder/profile.txt

ensure_prefix
start_display

# Started from another folder: the program finds its files beside itself.
start=$(date +%s.%N)
(cd "$work/elsewhere" && exec $wine "$exe") >"$work/wine.out" 2>&1 &
game=$!
pids+=($game)

wait_for_window 'BRIMMEL|FPS:' 30 $game ||
  fail "no window within 30 s, or the game ended before it opened: $(cat "$work/wine.out")"
opened=$(seconds_since "$start")
echo "window after ${opened} s"


# Pixel checks: the mean colour of the window against the picture the scene shows, taken from
# the unpacked data itself.
echo "window geometry: $(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p')"
wait_for_picture 1_logo "$folder/data/image/logo.jpg" 40 40
echo "logo after $(seconds_since "$start") s"
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
wait_for_picture 2_title "$folder/data/image/title.jpg" 25 60

# X on the title, then the caption card, then the home stage: a lit 3D scene whose lower half is
# the garden's green.
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
cp "$own" "$shots/4_f12.png"

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
wait_for_exit $game 10 || fail "the game did not end within 10 s of Esc"
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
echo "screenshots in $shots/"
echo "PASS"
