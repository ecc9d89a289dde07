#!/usr/bin/env bash
# Runs the demo headless in a temporary folder, its output into a pipe as in
# a CI log: it flashes the simulated radio, reads it back at no more than the
# line's rate and ends with its closing lines and status 0; its progress
# comes as plain lines, a few for each job, never as one line rewritten.
#   demo_headless_run.sh DEMO_SCRIPT BIN_FOLDER
set -u
script=$1
bin=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
out="$tmp/out.txt"
env -u DISPLAY -u WAYLAND_DISPLAY QUILLON_BIN="$bin" QUILLON_DEMO_DIR="$tmp/demo" \
  bash "$script" 2>&1 </dev/null | cat >"$out"
status=${PIPESTATUS[0]}
cat "$out"
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
# Into a pipe: no carriage return, no long line, and for each job a plain
# line for its phases and tenths of progress, not one for every STATUS.
! grep -q $'\r' "$out" || expect "a carriage return in the output"
long=$(awk 'length > 160' "$out" | head -n 1)
[ -z "$long" ] || expect "a line of more than 160 characters: $long"
for label in flashing "reading back"; do
  count=$(grep -c "^demo: $label: [A-Z]* \"" "$out")
  [ "$count" -ge 2 ] || expect "$count progress lines for $label"
  [ "$count" -le 60 ] || expect "$count progress lines for $label, more than its phases and tenths"
  grep -q "^demo: $label: DONE \"" "$out" || expect "no DONE line for $label"
done
exit $failed
