#!/usr/bin/env bash
# Lossy LZW against gifsicle's: `--optimize=crop,transparency,useless,reduce --lossy N` here
# and `gifsicle -O3 --lossy=N` on two photo-like animations (an FFmpeg Mandelbrot zoom through
# palettegen/paletteuse, ImageMagick plasma frames dithered to 256 colours): file size, the PSNR
# of all coalesced frames against the input's (ImageMagick compare, frames stacked into one
# picture) and the wall time.
#
#   bench/lossy.sh [build-dir]
#
# build-dir defaults to build/bench (the program as compare.sh finds it; a test build's
# bin/loopwright works too). LW_LOSSY="0 40 100" sets the amounts; 0 is lossless (-O3 and
# the exact optimizer alone).
set -euo pipefail
source "$(dirname "$0")/lib.sh"

program="$(readlink -f "$(lw_program "${1:-$lw_root/build/bench}")")"
lw_need ffmpeg gifsicle convert compare python3 /usr/bin/time
lw_workdir lossy
lw_magick_roomy
cd "$work"

# The duration goes before the input: palettegen waits for the end of its input.
ffmpeg -v error -t 3 -f lavfi -i mandelbrot=size=320x240:rate=10 \
  -vf "split[a][b];[a]palettegen[p];[b][p]paletteuse" mandelbrot.gif
for i in 1 2 3 4 5 6; do
  convert -size 240x180 -seed "$i" plasma:fractal -blur 0x1 "plasma-$i.png"
done
convert -delay 10 plasma-?.png -dither FloydSteinberg -colors 256 plasma.gif

stacked() { convert "$1" -coalesce -append "$2"; }
psnr() { compare -metric PSNR "$1" "$2" null: 2>&1 | awk '{ print $1 }' || true; }
seconds() { lw_measure 1 "$@" | awk '{ printf "%.2f", $1 }'; }

# The optimizer's techniques that keep every colour (a common palette would re-quantize frames
# with palettes of their own), so that the losses measured are the lossy step's alone.
exact=crop,transparency,useless,reduce
printf '%-14s %-6s %12s %8s %7s   %12s %8s %7s\n' input lossy "ours bytes" "PSNR" "s" \
  "gifsicle" "PSNR" "s"
for input in mandelbrot.gif plasma.gif; do
  stacked "$input" "ref.png"
  for n in ${LW_LOSSY:-0 40 100}; do
    if [ "$n" = 0 ]; then
      ours=(--optimize="$exact") theirs=(-O3)
    else
      ours=(--optimize="$exact" --lossy "$n") theirs=(-O3 "--lossy=$n")
    fi
    t1=$(seconds "$program" -i "$input" "${ours[@]}" -o "ours-$n.gif")
    t2=$(seconds gifsicle "${theirs[@]}" "$input" -o "gifsicle-$n.gif")
    stacked "ours-$n.gif" ours.png
    stacked "gifsicle-$n.gif" theirs.png
    printf '%-14s %-6s %12s %8s %7s   %12s %8s %7s\n' "$input" "$n" \
      "$(stat -c %s "ours-$n.gif")" "$(psnr ref.png ours.png)" "$t1" \
      "$(stat -c %s "gifsicle-$n.gif")" "$(psnr ref.png theirs.png)" "$t2"
  done
done
