#!/bin/sh
# Pictures of the program's main window and its dialogs as a person sees them, for a look
# before a change goes in: runs the window under a virtual X display
# (xvfb-run) and writes PNG files to build/screenshots/: the main window at
# start, with Flash Software's read-back failed and waiting for Retry
# (main_window_read_back_failed.png), retried (main_window_read_back_retried.png),
# with a row ended by a refused Flash Software (main_window_refused.png),
# with the format question (format_question.png) and mid-flash
# (main_window_flashing.png, the README's docs/main_window.png), each pop-up
# of its menu bar open (menu_*.png, the File menu with its recent files), its
# status bar with an error line, a progress line and the line that says the
# radio was updated (status_bar_*.png), the
# question its close button asks while a job runs
# (main_window_close_question.png), the window made wider
# (main_window_wide.png), and the dialogs (the FlashPack Manager with its error
# over it: dialog_flashpack_error.png), a Flash Software refused for update
# texts that are not in the folder searched (main_window_update_files_missing.png,
# update_files_missing_box.png), and the questions of a product file chosen
# beside its kernel and update files (product_files_question.png,
# product_files_replace_question.png). The last one,
# demo_window.png, is the window of the demo that `./setup.sh run` starts
# (scripts/demo.sh), with the demo radio's row in the grid; first_start_window.png
# the window of a first start from the desktop menu (an empty ~/Quillon) with
# its box, first_start_empty_grid.png the window once the box is answered; after
# it gps_flash_progress.png and gps_flash_done.png, the window flashing the GPS
# chip of `radiosim --gps-chip` (scripts/gps_flash_shots.py) and its end; the
# question boxes with their named buttons (question_*.png), the BOOT sector
# question over Erase Flash, and under openbox the GPS chip read-back dialog
# with its title bar (dialog_orvix_reverse_flash_framed.png).
#
#   scripts/screenshot.sh [build folder]     (default: build/normal)
#   scripts/screenshot.sh --docs [build folder]
#                                  also refreshes the README's docs/main_window.png
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
docs=0
if [ "${1:-}" = "--docs" ]; then docs=1; shift; fi
build=${1:-"$here/build/normal"}
out="$here/build/screenshots"
mkdir -p "$out"

cmake --build "$build" --target window_preview >/dev/null || { echo "window_preview does not build" >&2; exit 1; }
cmake --build "$build" --target dialog_preview >/dev/null || { echo "dialog_preview does not build" >&2; exit 1; }
preview="$build/bin/window_preview"
[ -x "$preview" ] || preview=$(find "$build" -name window_preview -type f -perm -u+x | head -n 1)

# A fresh home so the run reads and writes nobody's settings.
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT INT TERM
HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR="$home" \
  xvfb-run -a -s "-screen 0 1280x800x24" "$preview" "$out"
dialogs="$build/bin/dialog_preview"
[ -x "$dialogs" ] || dialogs=$(find "$build" -name dialog_preview -type f -perm -u+x | head -n 1)
HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR="$home" \
  xvfb-run -a -s "-screen 0 1280x800x24" "$dialogs" "$out"

# A dialog with its window manager's frame (openbox, where it is installed):
# the GPS chip's read-back dialog shows its whole title
# (dialog_orvix_reverse_flash_framed.png).
if command -v openbox >/dev/null; then
  HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR="$home" \
    xvfb-run -a -s "-screen 0 1280x800x24" sh -c '
      openbox >/dev/null 2>&1 &
      wm=$!
      for _ in $(seq 50); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break; sleep 0.1; done
      "$1" "$2" --framed
      status=$?
      kill $wm
      exit $status' framed "$dialogs" "$out"
fi

# The demo's window: the demo script starts the simulated radio and the
# program on the virtual display; once the program has read its product file
# and shows the radio's row, the screen is shot and the demo is ended.
cmake --build "$build" --target vexaload radiosim screen_grab >/dev/null ||
  { echo "the demo's programs do not build" >&2; exit 1; }
HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR="$home" \
  QUILLON_BIN="$build/bin" QUILLON_DEMO_DIR="$home/demo" \
  xvfb-run -a -s "-screen 0 1280x800x24 -br" sh -c '
    bash "$1/scripts/demo.sh" >"$HOME/demo.out" 2>&1 &
    demo=$!
    shown=1
    for _ in $(seq 300); do
      grep -q "Reading product file" "$HOME/demo/Demo.log" 2>/dev/null && { shown=0; break; }
      sleep 0.1
    done
    sleep 1  # the first paint
    [ $shown -eq 0 ] && "$2/screen_grab" "$3/demo_window.png" || { echo "the demo window did not come up:"; cat "$HOME/demo.out"; }
    kill -TERM $demo
    wait $demo
    exit $shown' demo "$here" "$build/bin" "$out"
# The first start from the desktop menu: the desktop entry's command in an
# empty home, so ~/Quillon is made and holds no product file yet; the shot
# shows the start-up's error box over the window once the log has said where
# the product file was looked for.
first="$home/first"
mkdir -p "$first"
HOME="$first" XDG_CONFIG_HOME="$first/.config" XDG_RUNTIME_DIR="$home" \
  xvfb-run -a -s "-screen 0 1280x800x24 -br" sh -c '
    cd "$HOME" && "$1/vexaload" -user_folder >"$HOME/out" 2>&1 &
    program=$!
    shown=1
    for _ in $(seq 300); do
      grep -q "Unable to read product file" "$HOME/Quillon/Vexa20 Flash.log" 2>/dev/null && { shown=0; break; }
      sleep 0.1
    done
    sleep 1  # the box and the window painted
    [ $shown -eq 0 ] && "$1/screen_grab" "$2/first_start_window.png" || { echo "the first start did not come up:"; cat "$HOME/out"; }
    # The box answered, the window behind it: with USB and no radio, the
    # empty grid says why.
    if [ $shown -eq 0 ] && command -v xdotool >/dev/null; then
      xdotool key Return
      sleep 1
      "$1/screen_grab" "$2/first_start_empty_grid.png"
    fi
    kill -TERM $program
    # The box may hold the window up; the program has ten seconds to end.
    ( sleep 10; kill -KILL $program 2>/dev/null ) &
    wait $program
    exit $shown' first "$build/bin" "$out"
# A GPS-chip flash: the chip behind the simulated radio, flashed from the
# window's program over its remote port, in progress and at its end.
HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR="$home" \
  xvfb-run -a -s "-screen 0 1280x800x24 -br" \
  python3 "$here/scripts/gps_flash_shots.py" "$build/bin" "$out" "$home/gps"
if [ $docs -eq 1 ]; then
  mkdir -p "$here/docs"
  cp "$out/main_window_flashing.png" "$here/docs/main_window.png"
  echo "docs/main_window.png refreshed"
fi
echo "screenshots in $out"
