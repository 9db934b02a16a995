# Sourced by the scripts that drive the Windows edition under Wine on a private X display: the
# environment, the display, screenshots of a window and their colours, keys, and the clean-up.
# The caller sets work (its output folder) and shots (where screenshots go).
wine=/usr/lib/wine/wine64
# Wine hands the Linux environment to the program: SDL's Linux test drivers (offscreen, dummy)
# would be asked for on Windows too, where the window and OpenGL come from Wine's own driver.
unset SDL_VIDEODRIVER SDL_AUDIODRIVER
export WINEPREFIX=${BRIMMEL_WINEPREFIX:-/var/cache/brimmel/windows/wineprefix}
export WINEDEBUG=-all ALSOFT_DRIVERS=null
# No menu entries or icons for the build machine's own desktop from the shortcuts a setup makes.
export WINEDLLOVERRIDES="winemenubuilder.exe=d"
# Wine reads Linux file names in the locale's character set: UTF-8, so that folder names with
# letters outside ASCII reach the program as the letters they are.
export LC_ALL=C.UTF-8

fail() {
  echo "FAIL: $*"
  [ -f "${log:-}" ] && { echo "--- $log"; cat "$log"; }
  exit 1
}

need_tools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "$tool missing (scripts/windows-deps installs it)"; exit 77; }
  done
  [ -x $wine ] || { echo "wine64 missing"; exit 77; }
}

# A first run makes the shared Wine prefix (slow); later runs share it.
ensure_prefix() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  if [ ! -e "$WINEPREFIX/.brimmel-ready" ]; then
    DISPLAY= $wine wineboot -i >/dev/null 2>&1 && touch "$WINEPREFIX/.brimmel-ready"
  fi
}

pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
}
trap cleanup EXIT

start_display() {
  local number
  exec 3< <(Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null)
  pids+=($!)
  read -r -t 15 number <&3 || fail "Xvfb did not start"
  export DISPLAY=:$number
  if command -v openbox >/dev/null; then
    openbox --sm-disable >/dev/null 2>&1 &
    pids+=($!)
  fi
}

# Unpacks the zip into the folder $1 (made afresh in $work, beside $work/elsewhere and $shots) and
# sets folder (the game's folder in it) and exe.
unpack_zip() { # zip folder
  [ -f "$1" ] || fail "no $1"
  rm -rf "$work" && mkdir -p "$2" "$work/elsewhere" "$shots"
  unzip -q "$1" -d "$2" || fail "unzip"
  folder=$(find "$2" -mindepth 1 -maxdepth 1 -type d | head -1)
  exe=$folder/BRIMMEL.exe
  [ -f "$exe" ] || fail "no BRIMMEL.exe in the zip"
}

seconds_since() { echo "$(date +%s.%N) - $1" | bc; }

# The first window whose name matches PATTERN, within SECONDS, while PID lives: in $window.
wait_for_window() { # pattern seconds pid
  window=""
  local i
  for i in $(seq 1 $(($2 * 10))); do
    window=$(xdotool search --name "$1" 2>/dev/null | head -1)
    [ -n "$window" ] && return 0
    kill -0 "$3" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# A screenshot of $window, and its title at that moment.
shot() {
  import -display "$DISPLAY" -window "$window" "$shots/$1.png" 2>/dev/null
  xdotool getwindowname "$window" >>"$work/titles.txt" 2>/dev/null
}
# The mean colour of a picture file (or of a region, WxH+X+Y) as "r g b", 0..255.
mean_of() {
  local crop=()
  [ -n "${2:-}" ] && crop=(-crop "$2" +repage)
  convert "$1" "${crop[@]}" -resize 1x1\! -depth 8 -format '%[fx:int(255*r)] %[fx:int(255*g)] %[fx:int(255*b)]' info:
}
# ... of a screenshot.
mean() { mean_of "$shots/$1.png" "${2:-}"; }
# The number of distinct colours: a flat card has few, a lit 3D scene many.
colours() { convert "$shots/$1.png" -format '%k' info:; }
near() { # "r g b" "r g b" tolerance
  local a b i
  read -r -a a <<<"$1"
  read -r -a b <<<"$2"
  for i in 0 1 2; do
    [ $((a[i] - b[i])) -le "$3" ] && [ $((b[i] - a[i])) -le "$3" ] || return 1
  done
}
# Shoots until the window's mean colour comes near a picture file's: name file tolerance tries.
wait_for_picture() {
  local want got i
  want=$(mean_of "$2")
  for i in $(seq 1 "$4"); do
    shot "$1"
    got=$(mean "$1")
    if near "$got" "$want" "$3"; then
      echo "$1: mean colour $got, $(basename "$2") $want"
      return 0
    fi
    sleep 0.2
  done
  fail "$1: mean colour $got never came near $(basename "$2")'s $want"
}

# A key held a moment: the game polls the keyboard once a frame.
press() {
  xdotool keydown "$1"
  sleep 0.15
  xdotool keyup "$1"
}

# Waits up to SECONDS for PID to end; its exit status in $code ("" when it did not end).
wait_for_exit() { # pid seconds
  code=""
  local i
  for i in $(seq 1 $(($2 * 10))); do
    if ! kill -0 "$1" 2>/dev/null; then
      wait "$1"
      code=$?
      return 0
    fi
    sleep 0.1
  done
  return 1
}
