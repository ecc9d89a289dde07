#!/usr/bin/env bash
# Runs the demo headless in a temporary folder: it flashes the simulated
# radio, reads it back at no more than the line's rate and ends with its
# closing lines and status 0.
#   demo_headless_run.sh DEMO_SCRIPT BIN_FOLDER
set -u
script=$1
bin=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
out="$tmp/out.txt"
env -u DISPLAY -u WAYLAND_DISPLAY QUILLON_BIN="$bin" QUILLON_DEMO_DIR="$tmp/demo" \
  bash "$script" >"$out" 2>&1 </dev/null
status=$?
tr '\r' '\n' <"$out"
failed=0
expect() { echo "FAIL: $*"; failed=1; }
[ $status -eq 0 ] || expect "the demo ended with status $status"
last=$(tail -n 2 "$out")
[ "$last" = $'demo: vexaload ended on TERMINATE_APP\ndemo: the radio holds the new firmware' ] ||
  expect "closing lines: $last"
grep -Eq '^demo: flashed 131072 bytes in [0-9.]+ s: [0-9]+ bytes/s of the line' "$out" ||
  expect "no flash figures"
grep -Eq '^demo: read back 131072 bytes in [0-9.]+ s' "$out" || expect "no read-back figures"
# The simulated line carries no more than its bit rate allows.
while read -r percent; do
  [ "$percent" -le 100 ] || expect "a payload rate of $percent% of the line's"
done < <(grep -Eo '^demo: (flashed|read back) .*\(([0-9]+)%\)$' "$out" | grep -Eo '[0-9]+%' | tr -d '%')
[ -e "$tmp/demo/readback.s19" ] || expect "no read-back file in the demo folder"
exit $failed
