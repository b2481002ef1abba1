#!/usr/bin/env bash
# Times the batch mode's edits against gifsicle and ImageMagick doing the same job on the same
# animation (drawn here; nothing is downloaded): resize, crop, quarter turn, colour reduction,
# delays and loop count. Prints each tool's median processor time and output size, and the
# ratios of Loopwright's to gifsicle's and ImageMagick's (below 1: Loopwright is faster or
# smaller).
#
#   bench/batch/compare.sh [build-dir] [repeats]
#
# build-dir defaults to build/bench; the program is build-dir/bin/loopwright when the window was
# built, else build-dir/bench/loopwright_batch. Build first with
#   cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DLW_BENCH=ON -DLW_TESTS=OFF \
#     -DLW_UI=OFF && cmake --build build/bench --target loopwright_batch
set -euo pipefail
source "$(dirname "$0")/../lib.sh"

program="$(lw_program "${1:-$lw_root/build/bench}")"
repeats="${2:-5}"
lw_need convert gifsicle python3 /usr/bin/time
lw_workdir batch

# 60 full frames of 320 x 240: a ball crossing a gradient, over one palette.
echo "Drawing the animation in $work ..." >&2
mkdir -p "$work/frames"
for ((i = 0; i < 60; i++)); do
  x=$((20 + i * 5)) y=$((120 + (i % 10) * 6 - 30))
  convert -size 320x240 gradient:'#204080-#a0c0e0' +antialias -fill '#f0d020' \
    -draw "circle $x,$y $((x + 18)),$y" -fill '#c03020' -draw "rectangle 0,$((i * 4)) 40,$((i * 4 + 12))" \
    "$(printf '%s/frames/%03d.png' "$work" "$i")"
done
convert -delay 8 -loop 0 "$work"/frames/*.png +dither +remap "$work/in.gif"
rm -rf "$work/frames"

# The median processor time (user + system) of a command, in seconds: on a shared machine the
# wall time mostly measures the other users.
timed() {
  lw_measure "$repeats" "$@" | cut -d' ' -f2
}

in="$work/in.gif"
# job name | Loopwright flags | gifsicle flags | ImageMagick operators (empty: none)
jobs=(
  "resize 50%|--resize 160x_|--resize 160x_|-coalesce -resize 160x"
  "crop|--crop 40,30,200,150|--crop 40,30+200x150|-coalesce -crop 200x150+40+30 +repage"
  "rotate 90|--rotate 90|--rotate-90|-coalesce -rotate 90"
  "colours 32|--colors 32|--colors 32|-coalesce +dither -colors 32"
  "delay|--delay 5|-d 5|-set delay 5"
  "loop|--loop 4|--loopcount=3|-loop 3"
)

printf '%-12s %9s %9s %9s %7s %7s | %9s %9s %9s %7s %7s\n' job lw_s gifsicle_s im_s \
  t_lw/gs t_lw/im lw_bytes gs_bytes im_bytes s_lw/gs s_lw/im
for job in "${jobs[@]}"; do
  IFS='|' read -r name lw gs im <<<"$job"
  # shellcheck disable=SC2086 # the flags are words
  t_lw=$(timed "$program" -i "$in" $lw -o "$work/lw.gif")
  # shellcheck disable=SC2086
  t_gs=$(timed gifsicle $gs "$in" -o "$work/gs.gif")
  # shellcheck disable=SC2086
  t_im=$(timed convert "$in" $im "$work/im.gif")
  s_lw=$(stat -c %s "$work/lw.gif") s_gs=$(stat -c %s "$work/gs.gif") s_im=$(stat -c %s "$work/im.gif")
  python3 - "$name" "$t_lw" "$t_gs" "$t_im" "$s_lw" "$s_gs" "$s_im" <<'EOF'
import sys
name, tl, tg, ti, sl, sg, si = sys.argv[1], *map(float, sys.argv[2:])
print(f"{name:<12} {tl:9.4f} {tg:9.4f} {ti:9.4f} {tl / tg:7.2f} {tl / ti:7.2f} | "
      f"{int(sl):9d} {int(sg):9d} {int(si):9d} {sl / sg:7.2f} {sl / si:7.2f}")
EOF
done
