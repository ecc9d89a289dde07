#!/bin/sh
# Pictures of the program's main window and its dialogs as a person sees them, for a look
# before a change goes in: runs the window under a virtual X display
# (xvfb-run) and writes PNG files to build/screenshots/.
#
#   scripts/screenshot.sh [build folder]     (default: build/normal)
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
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
echo "screenshots in $out"
