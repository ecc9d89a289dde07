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
# Each job's set-up is told apart from its transfer; the flash starts from
# the boot loader.
grep -Eq "^demo: flashed: set-up [0-9.]+ s \(boot loader, kernel download" "$out" || expect "no boot loader in the set-up"
for what in flashed "read back"; do
  grep -Eq "^demo: $what: set-up [0-9.]+ s \(" "$out" || expect "no set-up time ($what)"
  grep -Eq "^demo: $what 131072 bytes in [0-9.]+ s: [0-9]+ bytes/s, [0-9]+% of the [0-9]+ bytes/s that the frames leave of the line's [0-9]+ bytes/s$" "$out" ||
    expect "no transfer figures ($what)"
done
# The simulated line carries no more than its bit rate allows.
while read -r percent; do
  [ "$percent" -le 100 ] || expect "a payload rate of $percent% of what the line allows"
done < <(grep -E '^demo: (flashed|read back) 131072 bytes in' "$out" | grep -Eo '[0-9]+% of the' | grep -Eo '^[0-9]+')
[ -e "$tmp/demo/readback.s19" ] || expect "no read-back file in the demo folder"
exit $failed
