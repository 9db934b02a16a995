# Shared by the cross-building scripts (scripts/web-deps, scripts/windows-deps): Debian source
# packages fetched with `apt-get source`, built once each into an install prefix under a cache
# folder and kept there, keyed by the source version (and a recipe tag when the options change).
# The caller sets before use:
#   root       the cache folder for this toolchain (sources go to $root/src)
#   build_dir  the name of the build folder made inside each source tree
#   log        a function printing progress to stderr
# and reads back `prefixes`, one install prefix per package built or found, in call order.

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
apt() { $SUDO apt-get -o DPkg::Lock::Timeout=900 "$@"; }

# Installs whichever of the named Debian packages are missing.
install_missing() {
  local p missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    log "installing ${missing[*]}"
    apt update -qq
    apt install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
}

# Source entries for the same archive the binary packages come from, when none are configured.
ensure_deb_src() {
  local src_list=/etc/apt/sources.list.d/brimmel-src.sources tmp f
  if [ -e "$src_list" ] || grep -rqs '^\(deb-src\|Types:.*deb-src\)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    return 0
  fi
  log "adding deb-src entries beside the binary ones"
  tmp=$(mktemp)
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -e "$f" ] || continue
    case "$f" in *brimmel-src*) continue ;; esac
    grep -q 'deb.debian.org\|debian' "$f" || continue
    sed -e 's/^Types:.*/Types: deb-src/' "$f" >>"$tmp"
    echo >>"$tmp"
  done
  if [ -e /etc/apt/sources.list ]; then
    sed -n 's/^deb \(.*\)$/deb-src \1/p' /etc/apt/sources.list >"${tmp}.list"
    [ -s "${tmp}.list" ] && $SUDO cp "${tmp}.list" /etc/apt/sources.list.d/brimmel-src.list
    rm -f "${tmp}.list"
  fi
  $SUDO cp "$tmp" "$src_list"
  rm -f "$tmp"
  apt update -qq
}

# A version string made safe for a folder name.
safe() { echo "$1" | sed 's/[^A-Za-z0-9.+-]/_/g'; }

# Where a package's sources are looked up: the configured archive, or (use_suite SUITE) another
# suite of Debian's archive through an apt configuration of our own under $root, which leaves the
# system's own sources alone. src_tar_only: fetch the upstream tarball alone, for a package whose
# Debian files the mirror lacks.
apt_src_opts=()
src_tar_only=""
use_suite() {
  local dir="$root/apt-$1"
  mkdir -p "$dir/lists/partial" "$dir/cache/archives/partial"
  echo "deb-src http://deb.debian.org/debian $1 main" >"$dir/sources.list"
  apt_src_opts=(-o Dir::Etc::SourceList="$dir/sources.list" -o Dir::Etc::SourceParts=/dev/null
    -o Dir::State::Lists="$dir/lists" -o Dir::Cache="$dir/cache")
  if [ ! -e "$dir/.updated" ] || [ -n "$(find "$dir/.updated" -mtime +7)" ]; then
    apt-get "${apt_src_opts[@]}" update -qq >&2 && touch "$dir/.updated"
  fi
}
use_system_sources() {
  apt_src_opts=()
  src_tar_only=""
}

# Source versions the archive offers, newest first. A mirror may lack the sources of a security
# update; the next version down is then taken.
srcvers() { apt-cache "${apt_src_opts[@]}" showsrc "$1" | sed -n 's/^Version: //p' | sort -Vru; }

fetch() { # name version -> unpacks into $root/src/name-version, or fails
  local dir tarball
  dir="$root/src/$1-$(safe "$2")"
  [ -e "$dir/.unpacked" ] && return 0
  rm -rf "$dir" && mkdir -p "$dir"
  if ! (cd "$dir" && apt-get "${apt_src_opts[@]}" source -qq ${src_tar_only:+--tar-only} "$1=$2" >&2 2>"$dir.err"); then
    rm -rf "$dir"
    return 1
  fi
  if [ -n "$src_tar_only" ]; then
    tarball=$(find "$dir" -maxdepth 1 -name '*.orig.tar.*' | head -1)
    [ -n "$tarball" ] && tar -xf "$tarball" -C "$dir" && rm -f "$tarball" || { rm -rf "$dir"; return 1; }
  fi
  touch "$dir/.unpacked"
}

prefixes=()
build_pkg() { # name builder-function [recipe tag: part of the cache key when the build options change]
  local name=$1 fn=$2 tag=${3:-} ver prefix="" srcdir start
  local vers
  mapfile -t vers < <(srcvers "$name")
  [ ${#vers[@]} -gt 0 ] || { log "no source package for $name (deb-src entries missing?)"; exit 1; }
  for ver in "${vers[@]}"; do
    if [ -e "$root/$name-$(safe "$ver")$tag/.built" ]; then
      prefixes+=("$root/$name-$(safe "$ver")$tag")
      return
    fi
  done
  for ver in "${vers[@]}"; do
    if fetch "$name" "$ver"; then
      prefix="$root/$name-$(safe "$ver")$tag"
      break
    fi
    log "no source of $name $ver on the mirror; trying an older one"
  done
  [ -n "$prefix" ] || { log "could not fetch the source of $name"; exit 1; }
  start=$(date +%s)
  log "building $name $ver into $prefix"
  srcdir=$(find "$root/src/$name-$(safe "$ver")" -mindepth 1 -maxdepth 1 -type d | head -1)
  rm -rf "$prefix" "${srcdir:?}/$build_dir"
  if ! "$fn" "$srcdir" "$prefix" >"$root/$name.log" 2>&1; then
    log "$name failed; see $root/$name.log"
    tail -30 "$root/$name.log" >&2
    exit 1
  fi
  prefixes+=("$prefix")
  touch "$prefix/.built"
  log "$name built in $(($(date +%s) - start)) s"
}

# Runs each named function in a background job of its own and waits for all of them: queues of
# libraries that do not depend on each other build side by side, so one's configure checks
# (single-threaded) overlap another's compiling. Fails when any queue failed. The prefixes they
# build are recorded afterwards by calling build_pkg again in order, which finds them built.
side_by_side() {
  local fn pids=() failed=0 pid
  for fn in "$@"; do
    ("$fn") &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do
    wait "$pid" || failed=1
  done
  [ "$failed" = 0 ] || { log "a library failed to build"; exit 1; }
}
