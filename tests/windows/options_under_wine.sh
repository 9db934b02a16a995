#!/usr/bin/env bash
# The Windows program's options as a player meets them, under Wine on a private X display, from
# the zip unpacked into a folder named with spaces, an accented letter and Japanese: --version,
# --help and a wrong option each show their text in a message box (the program has no console)
# and end with their exit codes; a copy without its data says so in a box naming the folder it
# looked in; --config given a drive-letter path and a UNC-style (\\?\) path, in folders named in
# Japanese, reaches that file (the window takes the size the file asks for); a copy at a drive's
# root, started in another folder of that drive, reads the root's data and settings.
# Usage: options_under_wine.sh ZIP WORKDIR   (the boxes' screenshots go to WORKDIR/shots/)
set -uo pipefail
zip=$(realpath -m "$1")
work=$(realpath -m "$2")
shots=$work/shots
# shellcheck source=wine_display.sh
. "$(dirname "$0")/wine_display.sh"
need_tools Xvfb xdotool import convert unzip bc
unpack_zip "$zip" "$work/Jeux été ブリメル"
# The name Windows gives a Linux path under Wine (drive Z: is /).
windows_path() { echo "Z:$1" | tr / '\\'; }

ensure_prefix
start_display

# Starts the program with ARGS from another folder, expects a message box, shoots it, presses
# Enter on it and checks the exit status: name status args...
box() {
  local name=$1 want=$2
  shift 2
  (cd "$work/elsewhere" && exec $wine "$program" "$@") >"$work/$name.out" 2>"$work/$name.err" &
  local pid=$!
  pids+=($pid)
  wait_for_window '^BRIMMEL$' 30 $pid || fail "$name: no message box ($(cat "$work/$name.err"))"
  sleep 0.3
  shot "$name"
  xdotool windowactivate --sync "$window" 2>/dev/null
  xdotool key Return
  wait_for_exit $pid 15 || fail "$name: the program did not end once its box was dismissed"
  [ "$code" = "$want" ] || fail "$name: exit status $code, not $want"
  echo "$name: a box ($(identify -format '%wx%h' "$shots/$name.png")), exit status $code"
}
has() { grep -q -F -- "$2" "$work/$1" || fail "$1 lacks '$2': $(cat "$work/$1")"; }

program=$exe
box version 0 --version
has version.out "brimmel 1.0"
box help 0 --help
has help.out "--config FILE   read the settings from FILE"
has help.out "A portable copy is one whose folder holds TORIDEN.ini"
box wrong_option 2 --fullscren
has wrong_option.err "brimmel: unknown option '--fullscren'"
has wrong_option.err "Usage: BRIMMEL.exe"

# The program alone, without its data: the box names the folder it looked in.
bare="$work/sans données ブリメル"
mkdir -p "$bare" && cp "$exe" "$bare/"
program=$bare/BRIMMEL.exe
box no_data 1
has no_data.err "brimmel: no game data in '$(windows_path "$bare")'"
[ -z "$(ls "$bare" | grep -v '^BRIMMEL.exe$')" ] || fail "a copy without data wrote into its folder"
[ "$(find "$WINEPREFIX/drive_c/users" -path '*AppData*' -iname brimmel -newer "$bare/BRIMMEL.exe" | wc -l)" = 0 ] ||
  fail "a copy without data made folders of its own in the player's folders"

# --config with a path as typed on Windows: the game starts in a window of that file's size.
# size name path width height
config_run() {
  local name=$1 given=$2 width=$3 height=$4
  (cd "$work/elsewhere" && exec $wine "$exe" --config "$given") >"$work/$name.out" 2>&1 &
  local pid=$!
  pids+=($pid)
  wait_for_window 'BRIMMEL|FPS:' 30 $pid || fail "$name: no game window ($(cat "$work/$name.out"))"
  local size=""
  for _ in $(seq 1 50); do
    size=$(xdotool getwindowgeometry "$window" 2>/dev/null | sed -n 's/.*Geometry: //p')
    [ "$size" = "${width}x$height" ] && break
    sleep 0.1
  done
  shot "$name"
  xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus "$window" 2>/dev/null
  press Escape
  wait_for_exit $pid 15 || fail "$name: the game did not end after Esc"
  [ "$size" = "${width}x$height" ] || fail "$name: a ${size} window, not the ${width}x$height $given asks for"
  [ "$code" = 0 ] || fail "$name: exit status $code"
  echo "$name: --config '$given' gave a ${size} window, exit status 0"
}
settings="$work/設定 é"
mkdir -p "$settings"
printf '[TORIDEN]\r\nWINDOW=1\r\nWIDTH=400\r\nHEIGHT=300\r\n' >"$settings/drive.ini"
printf '[TORIDEN]\r\nWINDOW=1\r\nWIDTH=480\r\nHEIGHT=360\r\n' >"$settings/unc.ini"
config_run config_drive "$(windows_path "$settings/drive.ini")" 400 300
config_run config_unc "\\\\?\\$(windows_path "$settings/unc.ini")" 480 360
[ -z "$(ls "$work/elsewhere")" ] || fail "files written into the starting folder: $(ls "$work/elsewhere")"

# The copy at a drive's root (X:\BRIMMEL.exe), started in a folder of that drive: its folder is the
# root, not the drive's current folder ("X:" alone), so it finds its data and its TORIDEN.ini.
for letter in r s t u v w; do [ -e "$WINEPREFIX/dosdevices/$letter:" ] || break; done
drive="$work/drive $letter"
mkdir -p "$drive/sub" && cp -r "$folder"/. "$drive/" || fail "copying to the drive"
printf '[TORIDEN]\r\nWINDOW=1\r\nWIDTH=320\r\nHEIGHT=240\r\n' >"$drive/TORIDEN.ini"
ln -s "$drive" "$WINEPREFIX/dosdevices/$letter:" || fail "mapping drive $letter:"
upper=${letter^^}
$wine start /wait /d "$upper:\\sub" "$upper:\\BRIMMEL.exe" >"$work/drive_root.out" 2>&1 &
pid=$!
pids+=($pid)
found=0
wait_for_window 'BRIMMEL|FPS:' 30 $pid && found=1
size=""
for _ in $(seq 1 50); do
  [ $found = 1 ] || break
  size=$(xdotool getwindowgeometry "$window" 2>/dev/null | sed -n 's/.*Geometry: //p')
  [ "$size" = 320x240 ] && break
  sleep 0.1
done
[ $found = 1 ] && shot drive_root
if [ $found = 1 ]; then
  xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus "$window" 2>/dev/null
  [ "$size" = 320x240 ] && press Escape || xdotool key Return
fi
wait_for_exit $pid 15
rm -f "$WINEPREFIX/dosdevices/$letter:"
[ $found = 1 ] || fail "drive root: no window ($(cat "$work/drive_root.out"))"
[ "$size" = 320x240 ] || fail "drive root: a ${size} window (a box?), not the 320x240 $upper:\\TORIDEN.ini asks for"
[ "$code" = 0 ] || fail "drive root: exit status $code"
[ -z "$(ls "$drive/sub")" ] || fail "drive root: files written into the starting folder"
echo "drive root: $upper:\\BRIMMEL.exe started in $upper:\\sub read $upper:\\TORIDEN.ini (a ${size} window), exit status 0"
echo "screenshots in $shots/"
echo "PASS"
