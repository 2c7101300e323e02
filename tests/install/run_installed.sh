#!/usr/bin/env bash
# Runs the installed program as its launcher entry starts it, closes it the
# way a user does (File > Exit), and checks where its files went:
#  - from a prefix whose program folder takes no files (made read-only in a
#    way root respects too): config.ini in $XDG_CONFIG_HOME/zelvo, working
#    folder $XDG_DATA_HOME/zelvo, and the close ends without an error box;
#  - from a writable copy of the same tree: config.ini beside the program,
#    working folder the one it was started from.
# Needs a display (scripts/with-xvfb) and xdotool.
# usage: run_installed.sh BUILD_DIR BINDIR DATADIR
set -uo pipefail

if [ "${1:-}" = --read-only-phase ]; then
  phase=read-only
  shift
else
  phase=outer
fi
build=$1 bindir=$2 datadir=$3

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Starts the program from folder $2 as the launcher entry's Exec line says,
# with $1 in place of the program's name and addresses in place of %U; waits
# for its frame, notes its working folder in $cwd, closes it with File > Exit
# and waits for it to end. Returns non-zero when any of that fails.
launch_and_close() {
  local prog=$1 start=$2 log=$3
  local exec_line args=() word
  exec_line=$(sed -n 's/^Exec=//p' "$ZELVO_DESKTOP")
  for word in $exec_line; do
    case $word in
      %U) args+=("https://example.invalid/a?b=1&c=2" "file:///nonexistent" "--reverse" "-platform" "none") ;;
      %*) ;;
      *) args+=("$word") ;;
    esac
  done
  args[0]=$prog
  (cd "$start" && exec "${args[@]}") >"$log" 2>&1 &
  pid=$!
  local wid="" i
  for i in $(seq 1 300); do
    kill -0 "$pid" 2>/dev/null || break
    wid=$(xdotool search --all --onlyvisible --pid "$pid" --name '^Zelvo$' 2>/dev/null | head -1)
    [ -n "$wid" ] && break
    sleep 0.2
  done
  if [ -z "$wid" ]; then
    echo "--- program output:"; cat "$log"
    kill -KILL "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
    echo "no frame window appeared"; return 1
  fi
  cwd=$(readlink "/proc/$pid/cwd")
  sleep 1
  [ -n "${ZELVO_SHOT:-}" ] && import -window root "$ZELVO_SHOT-$phase.png"
  # File > Exit from the keyboard: the frame gets a real close.
  xdotool windowfocus --sync "$wid" 2>/dev/null
  sleep 0.3
  xdotool key --clearmodifiers alt+f
  sleep 0.5
  xdotool key --clearmodifiers x
  for i in $(seq 1 150); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
  done
  if kill -0 "$pid" 2>/dev/null; then
    # A failed settings write shows a modal error box, which holds the close.
    local boxes
    boxes=$(xdotool search --all --onlyvisible --pid "$pid" --name '^Zelvo$' 2>/dev/null | wc -l)
    [ -n "${ZELVO_SHOT:-}" ] && import -window root "$ZELVO_SHOT-$phase-stuck.png"
    kill -KILL "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
    echo "--- program output:"; cat "$log"
    echo "the program did not end after File > Exit ($boxes windows named Zelvo)"; return 1
  fi
  local rc=0
  wait "$pid" || rc=$?
  if [ "$rc" -ne 0 ]; then
    echo "--- program output:"; cat "$log"
    echo "the program ended with status $rc"; return 1
  fi
  return 0
}

use_fresh_home() {
  export XDG_CONFIG_HOME=$1/config XDG_DATA_HOME=$1/data XDG_CACHE_HOME=$1/cache
  mkdir -p "$1"
}

if [ "$phase" = read-only ]; then
  # Inside the private mount namespace (or with the folder locked otherwise).
  prog=$ZELVO_STAGE$bindir/zelvo
  if touch "$ZELVO_STAGE$bindir/.zelvo-probe" 2>/dev/null; then
    rm -f "$ZELVO_STAGE$bindir/.zelvo-probe"
    echo "FAIL: could not make $ZELVO_STAGE$bindir read-only"; exit 1
  fi
  use_fresh_home "$ZELVO_WORK/home-ro"
  mkdir -p "$ZELVO_WORK/started-here"
  launch_and_close "$prog" "$ZELVO_WORK/started-here" "$ZELVO_WORK/ro.log" || fail "read-only prefix: see above"
  config=$XDG_CONFIG_HOME/zelvo/config.ini
  if [ -f "$config" ]; then
    grep -qx 'LastEngine=IE' "$config" || fail "config.ini lacks LastEngine=IE: $(cat "$config")"
    grep -qx '\[Bar\]' "$config" || fail "config.ini lacks [Bar]"
  else
    fail "no $config after the close"
  fi
  [ ! -e "$ZELVO_STAGE$bindir/config.ini" ] || fail "config.ini appeared beside the installed program"
  [ "${cwd:-}" = "$XDG_DATA_HOME/zelvo" ] || fail "installed program worked in '${cwd:-}', not $XDG_DATA_HOME/zelvo"
  [ -d "$XDG_DATA_HOME/zelvo" ] || fail "$XDG_DATA_HOME/zelvo was not created"
  grep -i 'error\|fatal' "$ZELVO_WORK/ro.log" | grep -v 'Fontconfig\|libva\|dbus' | head -5
  [ "$failures" -eq 0 ] || exit 1
  echo "read-only prefix: settings in $config, bookmarks in $cwd"
  exit 0
fi

work=$(mktemp -d /tmp/zelvo-run-installed.XXXXXX)
locked=""
cleanup() {
  [ -n "$locked" ] && chattr -i "$locked" 2>/dev/null
  chmod -R u+w "$work" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
stage=$work/stage
if ! DESTDIR="$stage" cmake --install "$build" >"$work/install.log" 2>&1; then
  cat "$work/install.log"; echo "FAIL: cmake --install"; exit 1
fi
export ZELVO_WORK=$work ZELVO_STAGE=$stage ZELVO_DESKTOP=$stage$datadir/applications/zelvo.desktop

# Portable: a writable copy of the same tree keeps its settings beside itself.
cp -a "$stage" "$work/portable"
use_fresh_home "$work/home-portable"
mkdir -p "$work/started-there"
if launch_and_close "$work/portable$bindir/zelvo" "$work/started-there" "$work/portable.log"; then
  [ -f "$work/portable$bindir/config.ini" ] || fail "portable copy: no config.ini beside the program"
  [ ! -e "$XDG_CONFIG_HOME/zelvo/config.ini" ] || fail "portable copy wrote $XDG_CONFIG_HOME/zelvo/config.ini"
  [ "$cwd" = "$work/started-there" ] || fail "portable copy moved to '$cwd'"
  echo "portable copy: settings beside the program, working folder kept"
else
  fail "portable copy: see above"
fi

# Read-only: permissions do not bind root, a read-only mount does.
self=$(readlink -f "$0")
if [ "$(id -u)" -ne 0 ]; then
  chmod a-w "$stage$bindir"
  "$self" --read-only-phase "$build" "$bindir" "$datadir" || failures=$((failures + 1))
elif unshare -m --propagation private true 2>/dev/null; then
  unshare -m --propagation private bash -c \
    'mount --bind "$ZELVO_STAGE" "$ZELVO_STAGE" && mount -o remount,bind,ro "$ZELVO_STAGE" && exec "$@"' \
    _ "$self" --read-only-phase "$build" "$bindir" "$datadir" || failures=$((failures + 1))
elif chattr +i "$stage$bindir" 2>/dev/null; then
  locked=$stage$bindir
  "$self" --read-only-phase "$build" "$bindir" "$datadir" || failures=$((failures + 1))
else
  echo "SKIP: as root, neither a private read-only mount nor chattr +i is available here"
  exit 77
fi

[ "$failures" -eq 0 ] || exit 1
echo "installed program: ok"
