#!/usr/bin/env bash
# The ready-made demo that `./setup.sh run` starts: a simulated radio on COM1
# of a demo folder, and vexaload flashing it.
#   scripts/demo.sh [--headless]
# With a display (DISPLAY or WAYLAND_DISPLAY) the window opens for the user;
# without one (or with --headless) the program runs on Qt's offscreen
# platform and this script drives it over the remote port as a factory
# script would. Every process the script starts ends with it.
# QUILLON_BIN names the folder of the built programs (default
# build/normal/bin), QUILLON_DEMO_DIR the demo folder (default build/demo).
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bin=${QUILLON_BIN:-$top/build/normal/bin}
demo=${QUILLON_DEMO_DIR:-$top/build/demo}
headless=0
[ "${1:-}" = "--headless" ] && headless=1
[ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && headless=1

radio_pid=""
program_pid=""
stop_children() {
  for pid in $program_pid $radio_pid; do
    kill -TERM "$pid" 2>/dev/null
  done
  for pid in $program_pid $radio_pid; do
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  program_pid=""
  radio_pid=""
}
trap stop_children EXIT
trap 'echo "demo: interrupted"; exit 130' INT TERM

fail() {   # what failed; the log's last error line follows
  echo "demo: FAILED: $*"
  local last
  last=$(grep -ai 'error' "$demo/Demo.log" 2>/dev/null | tail -n 1)
  [ -n "$last" ] && echo "demo: the log's last error line: $last"
  exit 1
}

for program in vexaload radiosim; do
  [ -x "$bin/$program" ] || { echo "demo: FAILED: $bin/$program is not built"; exit 1; }
done
command -v python3 >/dev/null || { echo "demo: FAILED: python3 is needed to write the demo files"; exit 1; }

# ---- the demo folder, fresh each run ----------------------------------------
rm -rf "$demo"
mkdir -p "$demo/com"
files=$(python3 "$top/scripts/demo_files.py" "$demo") || fail "cannot write the demo files in $demo"
read -r port bit_rate firmware_sectors <<<"$files"

# ---- the simulated radio on COM1, holding the older firmware -----------------
# Its line carries no more than the working bit rate allows (line timing).
mapfile -t radio_args <"$demo/radiosim.args"
"$bin/radiosim" --dir "$demo/com" --com 1 "${radio_args[@]}" >"$demo/radiosim.out" 2>&1 &
radio_pid=$!
for _ in $(seq 100); do [ -e "$demo/com/COM1" ] && break; sleep 0.1; done
[ -e "$demo/com/COM1" ] || fail "the simulated radio did not come up on $demo/com/COM1"
export QUILLON_COM_DIR="$demo/com"

cd "$demo" || exit 1
if [ $headless -eq 0 ]; then
  echo "demo: a simulated radio with an older firmware waits on COM1; press Flash Software in the"
  echo "demo: window: the program reads the radio back, finds the newer firmware in the update files"
  echo "demo: of $demo and updates the radio. Close the window to end the demo."
  "$bin/vexaload" -id Demo &
  program_pid=$!
  wait "$program_pid"
  program_pid=""
  exit 0
fi

# ---- headless: the program on the offscreen platform, driven remotely -------
QT_QPA_PLATFORM=offscreen "$bin/vexaload" -id Demo >"$demo/vexaload.out" 2>&1 &
program_pid=$!
connected=0
for _ in $(seq 150); do
  if { exec 3<>"/dev/tcp/127.0.0.1/$port"; } 2>/dev/null; then connected=1; break; fi
  kill -0 "$program_pid" 2>/dev/null || fail "vexaload ended before it took remote connections"
  sleep 0.1
done
[ $connected -eq 1 ] || fail "no remote connection on port $port"
echo "demo: vexaload runs headless with remote control on port $port; a radio is on COM1"

send() { printf '%s\r\n' "$1" >&3; }
reply() {   # the next reply line, within 30 s
  local line
  IFS= read -r -t 30 line <&3 || return 1
  printf '%s' "${line%$'\r'}"
}

# The job's progress: on a terminal one line rewritten in place; into a log
# or a pipe a plain line for each change of phase (the status without its
# figures) and for every 10% or so of progress within one.
progress_on_terminal=0
[ -t 1 ] && progress_on_terminal=1
shown_phase="" shown_percent=-100
show_progress() {   # label, status
  if [ $progress_on_terminal -eq 1 ]; then
    printf '\r%-72s' "demo: $1: $2"
    return
  fi
  local phase=${2//[0-9]/} percent=-1
  [[ $2 =~ ([0-9]+)% ]] && percent=${BASH_REMATCH[1]}
  if [ "$phase" != "$shown_phase" ] || [ "$percent" -ge $((shown_percent + 10)) ]; then
    echo "demo: $1: $2"
    shown_phase=$phase
    shown_percent=$percent
  fi
}
end_progress() {
  [ $progress_on_terminal -eq 1 ] && echo
  shown_phase="" shown_percent=-100
}

# Sends one job line and polls STATUS until the job has been busy and is
# done, showing its progress. A status from before the job (the
# line is queued, not yet started) does not end the wait. It notes when the
# job was sent (job_sent), when its status first showed erasing (erase_began)
# and the transfer itself (transfer_began: programming or reading, after the
# boot loader, the kernel download and the switch to the working speed),
# when it first showed neither once the transfer had begun (transfer_ended:
# the file is saved, or the job is done) and when it was done (job_done).
# A phase's start is the answer before the one that first showed it, so a
# transfer is never timed shorter than it took.
run_job() {   # label, line
  local label=$1 status busy=0
  send "$2"
  job_sent=$EPOCHREALTIME
  erase_began="" transfer_began="" transfer_ended="" booted=0 streamed=0
  local started=$SECONDS before=$job_sent now=$job_sent
  while :; do
    send "STATUS"
    status=$(reply) || { end_progress; fail "no answer to STATUS during $label"; }
    before=$now
    now=$EPOCHREALTIME
    show_progress "$label" "$status"
    case "$status" in
      BUSY*Bootloading*) booted=1 ;;
      BUSY*Streaming*) streamed=1 ;;
    esac
    case "$status" in
      BUSY*Erasing*) [ -z "$erase_began" ] && erase_began=$before ;;
      BUSY*Flashing*|BUSY*Streaming*) [ -z "$transfer_began" ] && transfer_began=$before ;;
      *) [ -n "$transfer_began" ] && [ -z "$transfer_ended" ] && transfer_ended=$now ;;
    esac
    case "$status" in
      BUSY*) busy=1 ;;
      DONE*) [ $busy -eq 1 ] && break ;;
      ERROR*) [ $busy -eq 1 ] && { end_progress; fail "$label ended with $status"; } ;;
    esac
    [ $((SECONDS - started)) -lt 120 ] || { end_progress; fail "$label did not finish within 120 s"; }
    sleep 0.05
  done
  job_done=$now
  end_progress
}

# What one job took: "sent erase transfer ended done booted streamed" (a
# phase not seen: -; booted: the boot loader took part; streamed: a smart
# flash, whose blocks get no reply).
job_times() {
  echo "$job_sent ${erase_began:--} ${transfer_began:--} ${transfer_ended:--} $job_done $booted $streamed"
}

image_bytes=$(python3 -c 'import sys; print(open(sys.argv[1],"rb").read().__len__())' "$demo/new_flash.bin")
run_job "flashing" "FLASH \"$demo/firmware.s19\""
flash_times=$(job_times)
run_job "reading back" "REVERSE_FLASH \"$demo/readback.s19\" DEFAULT DEFAULT $firmware_sectors"
read_times=$(job_times)

python3 "$top/scripts/demo_files.py" --compare "$demo/new_flash.bin" "$demo/readback.s19" \
  || fail "the read-back differs from the firmware image"

send "TERMINATE_APP"
reply >/dev/null
for _ in $(seq 300); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$program_pid" 2>/dev/null; then fail "vexaload did not end after TERMINATE_APP"; fi
wait "$program_pid"
program_status=$?
program_pid=""
exec 3>&-
[ $program_status -eq 0 ] || fail "vexaload ended with status $program_status"

python3 - "$image_bytes" "$bit_rate" "$flash_times" "$read_times" <<'EOF'
import sys
size, bit_rate = int(sys.argv[1]), int(sys.argv[2])
line = bit_rate / 10  # bytes per second on an 8N1 line
# The most payload the kernel link's frames leave of the line: a program
# exchange carries 3072 bytes in 3094 (request frame, acknowledgement and
# status reply), a streamed (smart flash) block 3072 in 3086 (frame and
# acknowledgement), a read exchange 64 bytes in 94.
for what, times in (("flashed", sys.argv[3]), ("read back", sys.argv[4])):
    *phases, booted, streamed = times.split()
    sent, erase, began, ended, done = (None if t == "-" else float(t) for t in phases)
    if began is None:  # done before a status showed the transfer
        print(f"demo: {what} {size} bytes in {done - sent:.1f} s, set-up included")
        continue
    ended = ended or done
    setup = (erase or began) - sent
    steps = (f"boot loader, kernel download at 19200 bit/s, switch to {bit_rate} bit/s" if booted == "1"
             else "the flashing kernel still ran")
    print(f"demo: {what}: set-up {setup:.1f} s ({steps})" + (f", erase {began - erase:.1f} s" if erase else "")
          + (f", saving the file {done - ended:.1f} s" if done - ended >= 0.05 else ""))
    seconds = ended - began
    rate = size / seconds if seconds > 0 else 0
    frames = 64 / 94 if what == "read back" else 3072 / 3086 if streamed == "1" else 3072 / 3094
    limit = line * frames
    print(f"demo: {what} {size} bytes in {seconds:.1f} s: {rate:.0f} bytes/s, {100 * rate / limit:.0f}% of "
          f"the {limit:.0f} bytes/s that the frames leave of the line's {line:.0f} bytes/s")
EOF
echo "demo: vexaload ended on TERMINATE_APP"
echo "demo: the radio holds the new firmware"
exit 0
