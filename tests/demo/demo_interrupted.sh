#!/usr/bin/env bash
# Interrupts the headless demo while it flashes (as Ctrl-C does) and finds
# none of its processes left.
#   demo_interrupted.sh DEMO_SCRIPT BIN_FOLDER
set -u
script=$1
bin=$2
tmp=$(mktemp -d)
out="$tmp/out.txt"
cleanup() {
  [ -n "${demo_pid:-}" ] && kill -KILL -- "-$demo_pid" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT

# In its own session, so that everything it started shares its group, and
# with SIGINT handled as in a terminal (a background job starts with it
# ignored).
env -u DISPLAY -u WAYLAND_DISPLAY QUILLON_BIN="$bin" QUILLON_DEMO_DIR="$tmp/demo" \
  setsid env --default-signal=INT bash "$script" >"$out" 2>&1 </dev/null &
demo_pid=$!

wait_for() {   # seconds, command...
  local deadline=$((SECONDS + $1)); shift
  until "$@"; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.1
  done
}
flashing() { grep -q 'demo: flashing' "$out"; }
if ! wait_for 120 flashing; then
  tr '\r' '\n' <"$out"; echo "FAIL: the demo never started flashing"; exit 1
fi

kill -INT -- "$demo_pid"
ended() { ! kill -0 "$demo_pid" 2>/dev/null; }
if ! wait_for 60 ended; then echo "FAIL: the demo did not end on SIGINT"; exit 1; fi
wait "$demo_pid"
status=$?
tr '\r' '\n' <"$out"

# Nothing of the demo's group, and nothing with the demo folder in its
# arguments or as its working folder, may be left.
left() {
  pgrep -g "$demo_pid" 2>/dev/null
  for p in /proc/[0-9]*; do
    if tr '\0' ' ' 2>/dev/null <"$p/cmdline" | grep -qF "$tmp/demo" ||
       [[ "$(readlink "$p/cwd" 2>/dev/null)" == "$tmp/demo"* ]]; then
      echo "${p#/proc/}"
    fi
  done
}
gone() { [ -z "$(left)" ]; }
failed=0
if ! wait_for 10 gone; then
  echo "FAIL: processes left:"; for p in $(left); do ps -o pid,args -p "$p"; done; failed=1
fi
[ $status -ne 0 ] || { echo "FAIL: an interrupted demo reported success"; failed=1; }
grep -q 'demo: interrupted' "$out" || { echo "FAIL: no word of the interruption"; failed=1; }
exit $failed
