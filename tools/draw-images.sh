#!/usr/bin/env bash
# Redraws the pictures of the image lists into resources/images. The PNGs
# are committed; run this only after changing tools/draw-images/draw_images.cpp.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here/../resources/images}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
g++ -std=c++20 -O1 -fPIC -Wall -Wextra -o "$work/draw_images" "$here/draw-images/draw_images.cpp" \
  $(pkg-config --cflags --libs Qt6Gui)
"$work/draw_images" "$out"
