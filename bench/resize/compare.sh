#!/usr/bin/env bash
# Bicubic resizing of a 600-frame 640 x 480 animation to 50 %, against ImageMagick's
# "convert IN -coalesce -resize 50% OUT" in the same run: both read the GIF, resize every frame
# and write a GIF. Prints both times (median of the repeats) and their ratio.
#
#   bench/resize/compare.sh [build-dir] [repeats]
set -euo pipefail
source "$(dirname "$0")/../lib.sh"

program="$(lw_program "${1:-$lw_root/build/bench}" resize_bench)"
repeats="${2:-1}"
lw_need convert ffmpeg python3 /usr/bin/time
lw_workdir resize
lw_magick_roomy

echo "Drawing 600 frames of 640x480 ..." >&2
# The palette from the first two seconds, so that the frames stream through paletteuse.
ffmpeg -v error -y -f lavfi -i 'testsrc2=s=640x480:r=25:d=2' -vf palettegen \
  "$work/palette.png"
ffmpeg -v error -y -f lavfi -i 'testsrc2=s=640x480:r=25:d=24' -i "$work/palette.png" \
  -lavfi 'paletteuse=dither=none' "$work/in.gif"

time_ours=$(lw_ms "$repeats" "$program" "$work/in.gif" "$work/ours.gif" 50)
time_im=$(lw_ms "$repeats" convert "$work/in.gif" -coalesce -resize 50% "$work/im.gif")
printf 'ours %d ms   ImageMagick %d ms   ratio ours/IM %s\n' "$time_ours" "$time_im" \
  "$(awk -v a="$time_ours" -v b="$time_im" 'BEGIN { printf "%.2f", a / b }')"
