#!/bin/sh
# Draws the program's icons with ImageMagick: a blue box holding striped rows (the box list)
# and an orange quill stroke. Each size is drawn on its own grid so the small one stays crisp.
# Writes ui/win32/boxquill.ico (32x32 and 16x16) and ui/win32/boxquill_small.ico (16x16),
# all 32-bit colour with alpha.
set -eu
cd "$(dirname "$0")/.."
out=ui/win32
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

convert -size 32x32 xc:none \
    -fill '#1f4e8c' -stroke '#163a69' -draw 'roundrectangle 1,3 30,30 4,4' \
    -stroke none \
    -fill '#ffffff' -draw 'rectangle 5,8 26,11' \
    -fill '#d6e2f0' -draw 'rectangle 5,13 26,16' \
    -fill '#ffffff' -draw 'rectangle 5,18 26,21' \
    -fill '#d6e2f0' -draw 'rectangle 5,23 26,26' \
    -fill '#1f4e8c' -draw 'rectangle 11,8 11,26' \
    -stroke '#f29111' -strokewidth 3 -draw 'line 16,25 29,1' \
    -stroke '#ffd27a' -strokewidth 1 -draw 'line 17,24 28,3' \
    -define png:color-type=6 "PNG32:$tmp/large32.png"

convert -size 16x16 xc:none \
    -fill '#1f4e8c' -draw 'roundrectangle 0,1 15,15 2,2' \
    -fill '#ffffff' -draw 'rectangle 2,4 13,6' \
    -fill '#d6e2f0' -draw 'rectangle 2,8 13,9' \
    -fill '#ffffff' -draw 'rectangle 2,11 13,13' \
    -stroke '#f29111' -strokewidth 2 -draw 'line 9,13 15,0' \
    -define png:color-type=6 "PNG32:$tmp/small16.png"

convert "$tmp/large32.png" "$tmp/small16.png" "$out/boxquill.ico"
convert "$tmp/small16.png" "$out/boxquill_small.ico"
echo "wrote $out/boxquill.ico and $out/boxquill_small.ico"
