#!/bin/sh
# Pictures of the program's main window and its dialogs as a person sees them, for a look
# before a change goes in: runs the window under a virtual X display
# (xvfb-run) and writes PNG files to build/screenshots/: the main window at
# start, with a row ended by a refused Flash Software (main_window_refused.png),
# with the format question (format_question.png) and mid-flash
# (main_window_flashing.png, the README's docs/main_window.png), each pop-up
# of its menu bar open (menu_*.png, the File menu with its recent files), its
# status bar with an error line and a progress line (status_bar_*.png), and
# the dialogs (the FlashPack Manager with its error over it:
# dialog_flashpack_error.png). The last one,
# demo_window.png, is the window of the demo that `./setup.sh run` starts
# (scripts/demo.sh), with the demo radio's row in the grid.
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
if [ $docs -eq 1 ]; then
  mkdir -p "$here/docs"
  cp "$out/main_window_flashing.png" "$here/docs/main_window.png"
  echo "docs/main_window.png refreshed"
fi
echo "screenshots in $out"
