#!/usr/bin/env bash
# The setup program as a player and a script use it, under Wine on a private X display, each
# mode in a fresh copy of the shared Wine prefix:
# - for the player alone (/S /CurrentUser): the program under the user's Programs folder, the
#   Start-menu shortcut, the Uninstall key; the game started from the shortcut's target in another
#   folder shows its logo, takes an F12 screenshot and ends with Esc, and its settings, log and
#   screenshot are in the player's folders with nothing new beside the program; where its settings
#   folder cannot be made, it says so in a box and plays on; the setup run again (/S, no mode)
#   updates that copy in place, keeping the player's settings and a file of theirs beside it;
# - for every user (/S /AllUsers /DesktopShortcut /D=<a folder with spaces and an accent>): the
#   folder given, the shortcuts of all users, the machine's Uninstall key; the setup run again with
#   /S alone stays for every user, in that folder; the uninstaller started by hand, without a mode,
#   removes the machine's Apps entry and the shortcuts of all users;
# - into a folder of the player's: the wizard's mode page and its directory page after Browse,
#   which adds \BRIMMEL to the folder picked (screenshots), an install there, and the game started
#   by the finish page's "Play BRIMMEL now"; then /D= into a games folder that already holds
#   data\, fonts\, a file and a desktop shortcut of the player's, all of which the uninstaller
#   leaves;
# - each time the registered QuietUninstallString (or the uninstaller) removes the program, its
#   shortcuts and keys, and the player's settings, log and screenshot stay.
# Usage: installer_under_wine.sh SETUP WORKDIR   (screenshots go to WORKDIR/shots/)
set -uo pipefail
setup=$(realpath -m "$1")
work=$(realpath -m "$2")
shots=$work/shots
here=$(dirname "$0")
# shellcheck source=wine_display.sh
. "$here/wine_display.sh"
need_tools Xvfb xdotool import convert python3 bc
[ -f "$setup" ] || fail "no $setup"
rm -rf "$work" && mkdir -p "$work/elsewhere" "$shots"
ensure_prefix
shared_prefix=$WINEPREFIX
start_display

# A fresh prefix, made from the shared one (booting a new one takes far longer): the system's
# own files, which nothing here writes, as hard links; the registry, the profiles and the rest
# copied. Wine may link the profile's Desktop, Pictures and the like to the build machine's
# home: real folders here.
fresh_prefix() {
  export WINEPREFIX=$1
  local system=drive_c/windows/system32 sxs=drive_c/windows/winsxs
  rm -rf "$WINEPREFIX" && mkdir -p "$WINEPREFIX/drive_c/windows" || fail "making $WINEPREFIX"
  tar -C "$shared_prefix" --exclude="./$system" --exclude="./$sxs" -cf - . | tar -C "$WINEPREFIX" -xf - &&
    cp -al "$shared_prefix/$system" "$shared_prefix/$sxs" "$WINEPREFIX/drive_c/windows/" ||
    fail "copying the Wine prefix"
  find "$WINEPREFIX/drive_c/users" -maxdepth 2 -type l -print0 | while IFS= read -r -d '' link; do
    rm "$link" && mkdir "$link"
  done
  profile=$(find "$WINEPREFIX/drive_c/users" -mindepth 1 -maxdepth 1 -type d ! -name Public | head -1)
  [ -d "$profile/AppData" ] || fail "no user profile in $WINEPREFIX"
  # What the portable copy's runs left in the shared prefix (its compiled shaders) goes too.
  find "$profile" -maxdepth 3 -iname brimmel -exec rm -rf {} +
}
# Runs a Windows program and waits until every process of the prefix has ended (the uninstaller
# runs on from a copy of itself).
run_and_settle() {
  $wine "$@" >>"$work/wine.out" 2>&1
  local status=$?
  timeout 120 /usr/lib/wine/wineserver -w
  return $status
}
# The values of a registry key, one "name<TAB>data" a line, as reg export writes them (UTF-16:
# reg query's own output goes through the console's code page, which spells no accents).
reg_values() {
  local file=$work/key.reg
  rm -f "$file"
  $wine reg export "$1" "Z:$(echo "$file" | tr / '\\')" /y >/dev/null 2>&1 || return 0
  iconv -f UTF-16 -t UTF-8 "$file" | tr -d '\r' | sed -n 's/^"\([^"]*\)"=\(.*\)$/\1\t\2/p'
}
# One value: a string unquoted and unescaped, a number in decimal.
reg_value() {
  local data
  data=$(reg_values "$1" | awk -F '\t' -v n="$2" '$1 == n { print $2 }')
  case $data in
  dword:*) echo $((16#${data#dword:})) ;;
  *) data=${data#\"} && data=${data%\"} && data=${data//\\\"/\"} && echo "${data//\\\\/\\}" ;;
  esac
}
uninstall_key='Software\Microsoft\Windows\CurrentVersion\Uninstall\BRIMMEL'
check_uninstall_key() { # root
  local values name
  values=$(reg_values "$1\\$uninstall_key")
  for name in DisplayName DisplayVersion Publisher DisplayIcon EstimatedSize UninstallString \
    QuietUninstallString InstallLocation NoModify NoRepair; do
    echo "$values" | grep -q "^$name	" || fail "the Uninstall key in $1 lacks $name: $values"
  done
  [ "$(reg_value "$1\\$uninstall_key" DisplayName)" = BRIMMEL ] || fail "DisplayName is not BRIMMEL"
  local size
  size=$(reg_value "$1\\$uninstall_key" EstimatedSize)
  [ "$size" -gt 1000 ] || fail "EstimatedSize $size KB"
  echo "$1 Uninstall key: $(echo "$values" | cut -f1 | tr '\n' ' ')(EstimatedSize $size KB)"
}
# The program a shortcut starts, as Windows names it.
shortcut_target() {
  python3 - "$1" <<'PY'
import re, sys
data = open(sys.argv[1], "rb").read()
for text in (data.decode("utf-16-le", "ignore"), data[1:].decode("utf-16-le", "ignore"), data.decode("latin-1")):
    m = re.search(r"[A-Za-z]:\\[^\x00-\x1f]*?\\BRIMMEL\.exe", text)
    if m:
        print(m.group(0))
        break
PY
}
unix_path() { $wine winepath -u "$1" 2>/dev/null | tr -d '\r'; }
installed_files() { (cd "$1" && find . | LC_ALL=C sort); }
check_installed() { # folder
  local f
  for f in BRIMMEL.exe Uninstall.exe README.txt fonts/ipag.ttf data/image/logo.jpg; do
    [ -f "$1/$f" ] || fail "no $f in $1"
  done
  [ ! -e "$1/TORIDEN.ini" ] || fail "TORIDEN.ini installed beside the program: the copy would count as portable"
}
quiet_uninstall() { # root
  local quiet exe args
  quiet=$(reg_value "$1\\$uninstall_key" QuietUninstallString)
  exe=${quiet#\"}
  exe=${exe%%\"*}
  args=${quiet##*\" }
  echo "uninstalling: $quiet"
  # shellcheck disable=SC2086
  run_and_settle "$exe" $args || fail "the uninstaller failed: $(tail -5 "$work/wine.out")"
}

# In the folder dialog that Browse opens (Wine's: Desktop, /, Documents, My Computer, ...):
# My Computer, then C:, then Games in it.
pick_games_folder() {
  xdotool key Down Down Down Right
  sleep 0.5
  xdotool key Down Right
  sleep 0.5
  xdotool type --delay 150 Games
  sleep 0.5
}

# --- for the player alone ---
t0=$(date +%s.%N)
fresh_prefix "$work/prefix-user"
run_and_settle "$setup" /S /CurrentUser || fail "the setup program failed: $(tail -5 "$work/wine.out")"
echo "per-user install: $(seconds_since "$t0") s"
folder=$profile/AppData/Local/Programs/BRIMMEL
check_installed "$folder"
start_menu="$profile/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/BRIMMEL.lnk"
[ -f "$start_menu" ] || fail "no Start-menu shortcut for the user"
[ ! -e "$profile/Desktop/BRIMMEL.lnk" ] || fail "a desktop shortcut nobody asked for"
check_uninstall_key HKCU
target=$(shortcut_target "$start_menu")
[ -n "$target" ] && [ "$(unix_path "$target")" -ef "$folder/BRIMMEL.exe" ] ||
  fail "the shortcut starts '$target', not the installed BRIMMEL.exe"
echo "Start-menu shortcut starts $target"
before=$(installed_files "$folder")

# The game from the shortcut's target, in another folder: its first run as an installed copy.
settings=$profile/AppData/Roaming/BRIMMEL/TORIDEN.ini
log=$profile/AppData/Local/BRIMMEL/profile.txt
pictures=$profile/Pictures/BRIMMEL
start=$(date +%s.%N)
(cd "$work/elsewhere" && exec $wine "$target") >"$work/game.out" 2>&1 &
game=$!
pids+=($game)
wait_for_window 'BRIMMEL|FPS:' 30 $game || fail "no game window: $(cat "$work/game.out")"
echo "window after $(seconds_since "$start") s, geometry $(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p')"
wait_for_picture 1_installed_logo "$folder/data/image/logo.jpg" 40 60
xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus "$window" 2>/dev/null
press F12
own=""
for _ in $(seq 1 50); do
  own=$(find "$pictures" -maxdepth 1 -name '*.png' 2>/dev/null | head -1)
  [ -n "$own" ] && break
  sleep 0.1
done
[ -n "$own" ] || fail "F12 wrote no screenshot into $pictures"
cp "$own" "$shots/2_installed_f12.png"
press Escape
wait_for_exit $game 10 || fail "the game did not end within 10 s of Esc"
[ "$code" = 0 ] || fail "exit status $code after Esc"
echo "installed game: logo, F12 screenshot $(basename "$own"), exit status 0"

[ -f "$settings" ] || fail "no settings written to $settings"
grep -q '^; WINDOW: ' "$settings" && grep -q '^WIDTH=640' "$settings" ||
  fail "the first-run settings lack their defaults and comments"
[ -f "$log" ] || fail "no log at $log"
grep -q "^Screenshot: .*$(basename "$own")" "$log" || fail "the log does not name the F12 screenshot"
[ "$(installed_files "$folder")" = "$before" ] ||
  fail "files appeared beside the program: $(diff <(echo "$before") <(installed_files "$folder"))"
[ -z "$(ls "$work/elsewhere")" ] || fail "files written into the starting folder"
echo "settings, log and screenshot in the player's folders; nothing new beside the program"

# A settings folder that cannot be made (a file in its place): the game says why in a box, which
# a program without a console needs, and plays on with the defaults (full screen).
mv "$(dirname "$settings")" "$work/settings.kept" && echo >"$(dirname "$settings")" || fail "blocking the settings folder"
(cd "$work/elsewhere" && exec $wine "$target") >"$work/blocked.out" 2>&1 &
game=$!
pids+=($game)
wait_for_window '^BRIMMEL$' 30 $game || fail "no box and no window: $(cat "$work/blocked.out")"
for _ in $(seq 1 50); do grep -q "cannot make the folder" "$work/blocked.out" && break; sleep 0.1; done
grep -q "cannot make the folder '.*BRIMMEL'.*the settings stay at their defaults" "$work/blocked.out" ||
  fail "no reason given: $(cat "$work/blocked.out")"
sleep 0.3
shot 3_settings_folder_blocked
box_size=$(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p')
# The game's own window is at least its 640x480 default: the first one must be the box.
[ "${box_size%x*}" -lt 640 ] && [ "${box_size#*x}" -lt 480 ] || fail "no box before the game: a ${box_size} window"
xdotool windowactivate --sync "$window" 2>/dev/null
xdotool key Return
wait_for_window 'BRIMMEL|FPS:' 30 $game || fail "the game did not go on after the box"
wait_for_picture 4_blocked_plays_on "$folder/data/image/logo.jpg" 40 60
xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus "$window" 2>/dev/null
press Escape
wait_for_exit $game 10 || fail "the game did not end within 10 s of Esc"
[ "$code" = 0 ] || fail "exit status $code after the box and Esc"
rm "$(dirname "$settings")" && mv "$work/settings.kept" "$(dirname "$settings")" || fail "restoring the settings folder"
echo "settings folder blocked: a box (${box_size}) with the reason, then the game with its defaults, exit status 0"

# The setup again, unattended and without a mode: an update of that copy, in place.
cp "$settings" "$work/settings.before"
echo "the player's own" >"$folder/my notes.txt"
run_and_settle "$setup" /S || fail "the update failed: $(tail -5 "$work/wine.out")"
[ "$(find "$WINEPREFIX/drive_c" -name BRIMMEL.exe | wc -l)" = 1 ] ||
  fail "more than one copy after the update: $(find "$WINEPREFIX/drive_c" -name BRIMMEL.exe)"
check_installed "$folder"
[ -z "$(reg_values "HKLM\\$uninstall_key")" ] || fail "the update made a second Apps entry, for every user"
check_uninstall_key HKCU
cmp -s "$settings" "$work/settings.before" || fail "the update changed the player's settings"
[ "$(cat "$folder/my notes.txt")" = "the player's own" ] || fail "the update took the player's file"
echo "updated in place: one copy, one Apps entry (the user's), settings and the player's file kept"

quiet_uninstall HKCU
[ "$(installed_files "$folder")" = "$(printf '.\n./my notes.txt')" ] ||
  fail "the program's folder holds more than the player's file: $(installed_files "$folder")"
[ ! -e "$start_menu" ] || fail "the Start-menu shortcut is still there"
[ -z "$(reg_values "HKCU\\$uninstall_key")" ] || fail "the Uninstall key is still there"
[ -f "$settings" ] && [ -f "$log" ] && [ -f "$own" ] || fail "the uninstaller took the player's files"
echo "uninstalled: program, shortcut and key gone; settings, log, screenshot and the player's file kept"
/usr/lib/wine/wineserver -k 2>/dev/null

# --- for every user, into a folder a script names ---
t0=$(date +%s.%N)
fresh_prefix "$work/prefix-machine"
# /D= takes the rest of the command line as it stands, unquoted, which Wine would quote when it
# makes one from arguments: the command goes through cmd, as a script on Windows gives it.
cp "$setup" "$WINEPREFIX/drive_c/setup.exe"
run_and_settle cmd /c 'C:\setup.exe /S /AllUsers /DesktopShortcut /D=C:\Program Files\BRIMMEL Jeux été' ||
  fail "the setup program failed: $(tail -5 "$work/wine.out")"
echo "per-machine install: $(seconds_since "$t0") s"
folder="$WINEPREFIX/drive_c/Program Files/BRIMMEL Jeux été"
check_installed "$folder"
start_menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/BRIMMEL.lnk"
desktop="$WINEPREFIX/drive_c/users/Public/Desktop/BRIMMEL.lnk"
[ -f "$start_menu" ] || fail "no Start-menu shortcut for all users"
[ -f "$desktop" ] || fail "no desktop shortcut for all users, though /DesktopShortcut asked"
[ ! -e "$profile/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/BRIMMEL.lnk" ] ||
  fail "a per-machine install put its shortcut in the user's own menu"
check_uninstall_key HKLM
[ "$(reg_value "HKLM\\$uninstall_key" InstallLocation)" = 'C:\Program Files\BRIMMEL Jeux été' ] ||
  fail "InstallLocation is '$(reg_value "HKLM\\$uninstall_key" InstallLocation)'"
[ -z "$(reg_values "HKCU\\$uninstall_key")" ] || fail "a per-machine install wrote the user's Uninstall key"
target=$(shortcut_target "$start_menu")
[ "$(unix_path "$target")" -ef "$folder/BRIMMEL.exe" ] || fail "the shortcut starts '$target'"
echo "Start-menu and desktop shortcuts start $target"

# The setup again with /S alone: it stays for every user, in the folder the first one chose.
run_and_settle "$setup" /S || fail "the update failed: $(tail -5 "$work/wine.out")"
[ "$(find "$WINEPREFIX/drive_c" -name BRIMMEL.exe | wc -l)" = 1 ] ||
  fail "more than one copy after the update: $(find "$WINEPREFIX/drive_c" -name BRIMMEL.exe)"
check_installed "$folder"
[ -z "$(reg_values "HKCU\\$uninstall_key")" ] || fail "the update made a second Apps entry, the user's"
[ "$(reg_value "HKLM\\$uninstall_key" InstallLocation)" = 'C:\Program Files\BRIMMEL Jeux été' ] ||
  fail "after the update InstallLocation is '$(reg_value "HKLM\\$uninstall_key" InstallLocation)'"
[ -f "$start_menu" ] && [ -f "$desktop" ] || fail "the update lost a shortcut for all users"
echo "/S over it: still one copy for every user, in the same folder"

# The uninstaller started by hand from the folder (no mode on its command line).
run_and_settle "$folder/Uninstall.exe" /S || fail "the uninstaller failed: $(tail -5 "$work/wine.out")"
[ ! -e "$folder" ] || fail "the program's folder is still there: $(installed_files "$folder")"
[ ! -e "$start_menu" ] && [ ! -e "$desktop" ] || fail "a shortcut for all users is still there"
[ -z "$(reg_values "HKLM\\$uninstall_key")" ] || fail "the machine's Apps entry is still there"
echo "uninstalled by hand: program, shortcuts of all users and the machine's Apps entry gone"
/usr/lib/wine/wineserver -k 2>/dev/null

# --- into a folder of the player's ---
fresh_prefix "$work/prefix-folder"
games="$WINEPREFIX/drive_c/Games"
mkdir -p "$games/data" "$games/fonts" && echo "saved" >"$games/data/mine.sav" && echo "mine" >"$games/notes.txt" ||
  fail "making the player's folder"

# The wizard, as a player clicks through it: the mode page, then Browse on the directory page.
$wine "$setup" >>"$work/wine.out" 2>&1 &
wizard=$!
pids+=($wizard)
wait_for_window '^BRIMMEL Setup' 30 $wizard || fail "no setup window: $(tail -5 "$work/wine.out")"
sleep 1
shot 5_wizard_mode_page
xdotool windowactivate --sync "$window" 2>/dev/null
xdotool key Return # Next: only for me
sleep 1
shot 6_wizard_components_page
xdotool key Return # Next
sleep 1
shot 7_wizard_directory_page
setup_window=$window
xdotool key alt+r # Browse...
wait_for_window '^Browse for Folder$' 15 $wizard || fail "no folder dialog after Browse"
sleep 1
pick_games_folder
shot 8_wizard_browse_dialog
xdotool key Return # OK
window=$setup_window
sleep 1
shot 9_wizard_directory_after_browse
xdotool windowactivate --sync "$window" 2>/dev/null
xdotool key alt+i # Install
for _ in $(seq 1 300); do
  [ -f "$games/BRIMMEL/Uninstall.exe" ] && [ -n "$(reg_values "HKCU\\$uninstall_key")" ] && break
  sleep 0.2
done
sleep 1
shot 10_wizard_finish_page
# Finish, "Play BRIMMEL now" ticked: the game starts (through the shell, the setup being the
# administrator's under Wine).
xdotool windowactivate --sync "$window" 2>/dev/null
xdotool key Return
game_window=""
for _ in $(seq 1 300); do
  game_window=$(xdotool search --name '^(BRIMMEL|FPS:.*)$' 2>/dev/null | head -1)
  [ -n "$game_window" ] && [ "$(xdotool getwindowname "$game_window")" != "BRIMMEL Setup" ] && break
  game_window=""
  sleep 0.1
done
[ -n "$game_window" ] || fail "Play BRIMMEL now started no game"
window=$game_window
wait_for_picture 11_played_from_the_finish_page "$games/BRIMMEL/data/image/logo.jpg" 40 60
xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus "$window" 2>/dev/null
press Escape
timeout 60 /usr/lib/wine/wineserver -w
check_installed "$games/BRIMMEL"
[ ! -e "$games/BRIMMEL.exe" ] || fail "Browse put the files loose into the folder picked"
[ "$(reg_value "HKCU\\$uninstall_key" InstallLocation)" = 'C:\Games\BRIMMEL' ] ||
  fail "InstallLocation is '$(reg_value "HKCU\\$uninstall_key" InstallLocation)'"
echo "the wizard: Browse to C:\Games installed into C:\Games\BRIMMEL, and Finish started the game (screenshots 5 to 11)"
quiet_uninstall HKCU
[ ! -e "$games/BRIMMEL" ] || fail "C:\Games\BRIMMEL is still there: $(installed_files "$games/BRIMMEL")"

# /D= names the folder itself: the files go into it, beside the player's, and only they go after.
desktop="$profile/Desktop/BRIMMEL.lnk"
echo "the player's shortcut to a portable copy" >"$desktop"
before=$(installed_files "$games")
cp "$setup" "$WINEPREFIX/drive_c/setup.exe"
run_and_settle cmd /c 'C:\setup.exe /S /CurrentUser /D=C:\Games' || fail "the setup program failed: $(tail -5 "$work/wine.out")"
check_installed "$games"
quiet_uninstall HKCU
[ "$(installed_files "$games")" = "$before" ] ||
  fail "the player's folder is not as it was: $(diff <(echo "$before") <(installed_files "$games"))"
[ "$(cat "$games/data/mine.sav")" = saved ] && [ "$(cat "$games/notes.txt")" = mine ] || fail "a file of the player's changed"
[ "$(cat "$desktop")" = "the player's shortcut to a portable copy" ] || fail "the uninstaller took the player's desktop shortcut"
echo "a games folder with data\\, fonts\\ and a file of the player's: all kept, with the player's desktop shortcut"
/usr/lib/wine/wineserver -k 2>/dev/null
rm -rf "$work/prefix-user" "$work/prefix-machine" "$work/prefix-folder"
echo "screenshots in $shots/"
echo "PASS"
