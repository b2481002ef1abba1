#!/usr/bin/env bash
# A 600-frame 640 x 480 MPEG-4 clip (drawn by FFmpeg) made into an animated GIF: the batch mode's
# "-i clip.avi -o ours.gif" against FFmpeg's two-pass palette "palettegen/paletteuse" in the same
# run. Prints both times (best of the repeats), the GIF sizes and their ratio, and the PSNR of
# each GIF's frames against the clip's.
#
#   bench/avi/compare.sh [build-dir] [repeats]
set -euo pipefail

root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$root/build/bench}"
repeats="${2:-1}"
program="$build/bench/loopwright_batch"
if ! [ -x "$program" ]; then
  echo "No $program: cmake -S . -B $build -G Ninja -DCMAKE_BUILD_TYPE=Release -DLW_BENCH=ON -DLW_TESTS=OFF -DLW_UI=OFF && cmake --build $build --target loopwright_batch" >&2
  exit 1
fi
command -v ffmpeg >/dev/null || { echo "ffmpeg is missing (scripts/setup.sh)" >&2; exit 1; }

work="$(mktemp -d "${TMPDIR:-/tmp}/lw-avi-XXXXXX")"
[ -n "${LW_COMPARE_KEEP:-}" ] && echo "Keeping $work" >&2 || trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"

echo "Drawing 600 frames of 640x480 as MPEG-4 ..." >&2
ffmpeg -v error -y -f lavfi -i 'testsrc2=s=640x480:r=25:d=24' -c:v mpeg4 -q:v 3 "$work/clip.avi"

now_ms() { date +%s%N | awk '{ printf "%.0f", $1 / 1000000 }'; }
best_ours="" best_ff=""
for ((i = 0; i < repeats; i++)); do
  start=$(now_ms)
  "$program" -i "$work/clip.avi" -o "$work/ours.gif"
  t=$(($(now_ms) - start))
  if [ -z "$best_ours" ] || [ "$t" -lt "$best_ours" ]; then best_ours=$t; fi
  start=$(now_ms)
  ffmpeg -v error -y -i "$work/clip.avi" -vf 'split[a][b];[a]palettegen[p];[b][p]paletteuse' \
    "$work/ffmpeg.gif"
  t=$(($(now_ms) - start))
  if [ -z "$best_ff" ] || [ "$t" -lt "$best_ff" ]; then best_ff=$t; fi
done

# Frame n of a GIF against frame n of the clip, whatever their time bases.
psnr() {
  ffmpeg -v info -i "$1" -i "$work/clip.avi" -lavfi \
    '[0:v]settb=1/25,setpts=N,format=rgb24[a];[1:v]settb=1/25,setpts=N,format=rgb24[b];[a][b]psnr' \
    -f null - 2>&1 | sed -n 's/.*PSNR.* average:\([0-9.inf]*\).*/\1/p' | tail -1
}
frames() { ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 "$1"; }
size_ours=$(stat -c %s "$work/ours.gif")
size_ff=$(stat -c %s "$work/ffmpeg.gif")
printf 'ours    %6d ms  %10d bytes  %d frames  PSNR %s dB\n' "$best_ours" "$size_ours" \
  "$(frames "$work/ours.gif")" "$(psnr "$work/ours.gif")"
printf 'ffmpeg  %6d ms  %10d bytes  %d frames  PSNR %s dB\n' "$best_ff" "$size_ff" \
  "$(frames "$work/ffmpeg.gif")" "$(psnr "$work/ffmpeg.gif")"
awk -v a="$best_ours" -v b="$best_ff" -v c="$size_ours" -v d="$size_ff" \
  'BEGIN { printf "ratios ours/ffmpeg: time %.2f  size %.2f\n", a / b, c / d }'
