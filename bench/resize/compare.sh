#!/usr/bin/env bash
# Bicubic resizing of a 600-frame 640 x 480 animation to 50 %, against ImageMagick's
# "convert IN -coalesce -resize 50% OUT" in the same run: both read the GIF, resize every frame
# and write a GIF. Prints both times (best of the repeats) and their ratio.
#
#   bench/resize/compare.sh [build-dir] [repeats]
set -euo pipefail

root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$root/build/bench}"
repeats="${2:-1}"
program="$build/bench/resize_bench"
if ! [ -x "$program" ]; then
  echo "No $program: cmake -S . -B $build -G Ninja -DCMAKE_BUILD_TYPE=Release -DLW_BENCH=ON -DLW_TESTS=OFF -DLW_UI=OFF && cmake --build $build --target resize_bench" >&2
  exit 1
fi
im=/usr/bin/convert
[ -x "$im" ] || { echo "ImageMagick is missing (scripts/setup.sh)" >&2; exit 1; }
command -v ffmpeg >/dev/null || { echo "ffmpeg is missing (scripts/setup.sh)" >&2; exit 1; }

work="$(mktemp -d "${TMPDIR:-/tmp}/lw-resize-XXXXXX")"
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
# Debian's ImageMagick policy allows 256 MiB of memory and 1 GiB of disk: far too little for 600
# coalesced frames, so this run gets limits of its own.
mkdir -p "$work/magick"
cat >"$work/magick/policy.xml" <<'POLICY'
<policymap>
  <policy domain="resource" name="memory" value="8GiB"/>
  <policy domain="resource" name="map" value="8GiB"/>
  <policy domain="resource" name="area" value="4GP"/>
  <policy domain="resource" name="disk" value="16GiB"/>
</policymap>
POLICY
export MAGICK_CONFIGURE_PATH="$work/magick"

echo "Drawing 600 frames of 640x480 ..." >&2
# The palette from the first two seconds, so that the frames stream through paletteuse.
ffmpeg -v error -y -f lavfi -i 'testsrc2=s=640x480:r=25:d=2' -vf palettegen \
  "$work/palette.png"
ffmpeg -v error -y -f lavfi -i 'testsrc2=s=640x480:r=25:d=24' -i "$work/palette.png" \
  -lavfi 'paletteuse=dither=none' "$work/in.gif"

now_ms() { date +%s%N | awk '{ printf "%.0f", $1 / 1000000 }'; }
best_ours="" best_im=""
for ((i = 0; i < repeats; i++)); do
  start=$(now_ms)
  "$program" "$work/in.gif" "$work/ours.gif" 50 >&2
  t=$(($(now_ms) - start))
  if [ -z "$best_ours" ] || [ "$t" -lt "$best_ours" ]; then best_ours=$t; fi
  start=$(now_ms)
  "$im" "$work/in.gif" -coalesce -resize 50% "$work/im.gif"
  t=$(($(now_ms) - start))
  if [ -z "$best_im" ] || [ "$t" -lt "$best_im" ]; then best_im=$t; fi
done
printf 'ours %d ms   ImageMagick %d ms   ratio ours/IM %s\n' "$best_ours" "$best_im" \
  "$(awk -v a="$best_ours" -v b="$best_im" 'BEGIN { printf "%.2f", a / b }')"
