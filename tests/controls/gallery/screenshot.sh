#!/usr/bin/env bash
# Takes the picture of the controls gallery: screenshot.sh BUILD_DIR [OUT.png]
#
# BUILD_DIR is a windows-x64 build tree with controls_gallery built. The
# gallery runs under Wine on the build's Xvfb display, closes itself after a
# few seconds, and the screen is cropped to its window.
set -euo pipefail
build=$(cd "$1" && pwd)
out=${2:-$(dirname "$0")/../../../docs/controls.png}
here=$(cd "$(dirname "$0")" && pwd)
program=$build/tests/controls/gallery/controls_gallery.exe
[ -f "$program" ] || { echo "screenshot.sh: build controls_gallery first" >&2; exit 2; }

rect=$(mktemp)
trap 'rm -f "$rect"' EXIT
"$here/../../../cmake/wine-run" "$program" 6 >"$rect" &
gallery=$!
for _ in $(seq 100); do [ -s "$rect" ] && break; sleep 0.1; done
sleep 2
read -r left top width height <"$rect"
display=$(cat "$build/wine/win64/display")
import -window root -display "$display" -crop "${width}x${height}+${left}+${top}" +repage "$out"
wait "$gallery"
echo "wrote $out (${width}x${height})"
