#!/usr/bin/env bash
# A 600-frame 640 x 480 MPEG-4 clip (drawn by FFmpeg) made into an animated GIF: the batch mode's
# "-i clip.avi -o ours.gif" against FFmpeg's two-pass palette "palettegen/paletteuse" in the same
# run. Prints both times (median of the repeats), the GIF sizes and their ratio, and the PSNR of
# each GIF's frames against the clip's.
#
#   bench/avi/compare.sh [build-dir] [repeats]
set -euo pipefail
source "$(dirname "$0")/../lib.sh"

program="$(lw_program "${1:-$lw_root/build/bench}")"
repeats="${2:-1}"
lw_need ffmpeg python3 /usr/bin/time
lw_workdir avi

echo "Drawing 600 frames of 640x480 as MPEG-4 ..." >&2
ffmpeg -v error -y -f lavfi -i 'testsrc2=s=640x480:r=25:d=24' -c:v mpeg4 -q:v 3 "$work/clip.avi"

time_ours=$(lw_ms "$repeats" "$program" -i "$work/clip.avi" -o "$work/ours.gif")
time_ff=$(lw_ms "$repeats" ffmpeg -v error -y -i "$work/clip.avi" \
  -vf 'split[a][b];[a]palettegen[p];[b][p]paletteuse' "$work/ffmpeg.gif")

# Frame n of a GIF against frame n of the clip, whatever their time bases.
psnr() {
  ffmpeg -v info -i "$1" -i "$work/clip.avi" -lavfi \
    '[0:v]settb=1/25,setpts=N,format=rgb24[a];[1:v]settb=1/25,setpts=N,format=rgb24[b];[a][b]psnr' \
    -f null - 2>&1 | sed -n 's/.*PSNR.* average:\([0-9.inf]*\).*/\1/p' | tail -1
}
frames() { ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 "$1"; }
size_ours=$(stat -c %s "$work/ours.gif")
size_ff=$(stat -c %s "$work/ffmpeg.gif")
printf 'ours    %6d ms  %10d bytes  %d frames  PSNR %s dB\n' "$time_ours" "$size_ours" \
  "$(frames "$work/ours.gif")" "$(psnr "$work/ours.gif")"
printf 'ffmpeg  %6d ms  %10d bytes  %d frames  PSNR %s dB\n' "$time_ff" "$size_ff" \
  "$(frames "$work/ffmpeg.gif")" "$(psnr "$work/ffmpeg.gif")"
awk -v a="$time_ours" -v b="$time_ff" -v c="$size_ours" -v d="$size_ff" \
  'BEGIN { printf "ratios ours/ffmpeg: time %.2f  size %.2f\n", a / b, c / d }'
