#!/usr/bin/env bash
# Compares Loopwright's optimizer (-z) with gifsicle -O2, gifsicle -O3 and ImageMagick's
# -layers Optimize, and its plain read and write with gifsicle's, on a small corpus drawn with
# ImageMagick and FFmpeg plus the program's samples, and on a real-size one (600 frames of
# 640 x 480, a 800 x 600 zoom, a 1024 x 768 screen recording, 1000 transparent frames with
# disposals): time, size and peak memory as ratios to gifsicle -O2, whether the outputs still
# show the input's pixels (decoded by ImageMagick, and by ImageMagick after gifsicle -U), the
# start-up time, and whether the targets hold. Nothing is downloaded.
#
#   bench/compare.sh [build-dir [build-dir-before]]
#
# build-dir defaults to build/bench; the program is build-dir/bin/loopwright when the window was
# built, else build-dir/bench/loopwright_batch (-DLW_BENCH=ON). A second build adds its -z and
# read+write columns (the commit before). Environment:
#   LW_REPEATS       runs per measure on the small corpus and the start-up (default 3; median)
#   LW_REPEATS_REAL  runs per measure on the real-size corpus (default 1)
#   LW_BENCH_CORPUS  where the drawn corpus is kept between runs (default build/bench-corpus)
#   LW_BENCH_REAL=0  leaves the real-size corpus out
#   LW_COMPARE_KEEP=1 keeps every output in the printed folder
set -euo pipefail
source "$(dirname "$0")/lib.sh"

program="$(lw_program "${1:-$lw_root/build/bench}")"
before=""
[ -n "${2:-}" ] && before="$(lw_program "$2")"
lw_need convert gifsicle ffmpeg python3 /usr/bin/time
lw_workdir compare
lw_magick_roomy
source "$lw_root/bench/corpus.sh"
lw_corpus

python3 "$lw_root/bench/compare.py" "$program" "$before" "$work" "${LW_REPEATS:-3}" \
  "${LW_REPEATS_REAL:-1}" "$cache/tiny.gif" "${files[@]}"
