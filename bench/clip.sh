#!/usr/bin/env bash
# Clip to GIF, quality against size: natural clips drawn here (a pan over a photograph-like
# landscape, 80 frames of 480x270; a slow zoom into an upright print, 60 frames of 360x480; a
# code editor typing, then scrolling its text, 80 frames of 640x360; and, named in
# LW_CLIP_ONLY, a recording of the program's own window, 100 frames of 1024x768 taken with
# FFmpeg's x11grab) are made into GIFs at 5/100 s a frame by
#   ours      loopwright -i 'clip/*.png' --delay 5 -z -o out.gif, and with each --quality N and
#             --lossy N the program lists in its --help;
#   FFmpeg    two passes, palettegen then paletteuse, dithered and with dither=none;
#   gifski    -Q 90, 70 and 50 (npm's Linux binary, installed by scripts/setup-bench.sh);
#   ImageMagick  convert -layers Optimize;
#   gifsicle  -O3 --lossy=40 and --lossy=100 over FFmpeg's dithered GIF (its time includes
#             FFmpeg's).
# For each output: the PSNR of what the GIF shows on the timeline (source frame i is due at
# i * 5/100 s; the GIF frame on screen then, composed with its disposals, is compared over RGB;
# PSNR = 10 log10(255^2 / mean MSE over the clip)), the SSIM of the same pictures, the flicker
# (RMS of the error's change from one picture to the next: a picture that crawls where the
# source does not), its size in bytes and its wall time. Then, for each peer's point, the
# smallest of our settings at least as good in PSNR and SSIM and no larger, and
# the time of ours at --quality 90 (plain ours without it) over FFmpeg's two passes.
#
#   bench/clip.sh [PROGRAM]
#
# PROGRAM is a loopwright binary (default build/release/bin/loopwright; scripts/bench-clip
# builds it). The clips are drawn once into $LW_BENCH_CLIPS (default build/bench-clips);
# the screen recording needs the program's window (a build with the user interface).
# Environment:
#   LW_REPEATS       runs per setting, taken in turn over all settings (default 1; median)
#   LW_CLIP_ONLY     the clips to run, e.g. "photo-pan" (default: photo-pan print-zoom
#                    screen-text; screen-recording needs a build with the window)
#   LW_CLIP_PEERS    the peers to run among "ffmpeg gifski magick gifsicle" (default: all)
#   LW_CLIP_QUALITY  the --quality values (default "10 16 20 30 40 50 70 80 90 100")
#   LW_CLIP_LOSSY    the --lossy values (default "40 100")
#   LW_CLIP_OURS     our settings in place of all the above: ';'-separated argument lists in
#                    which IN and OUT stand for the frames and the output, e.g.
#                    "--quality 80 -i IN --delay 5 -z --lossy 30 -o OUT; -i IN -o OUT"
#   LW_COMPARE_KEEP=1 keeps every output in the printed folder
set -euo pipefail
source "$(dirname "$0")/lib.sh"

program="$(readlink -f "${1:-$lw_root/build/release/bin/loopwright}")"
[ -x "$program" ] || { echo "No program at $program (scripts/bench-clip builds one)" >&2; exit 1; }
lw_need convert gifsicle ffmpeg xvfb-run xdotool openbox /usr/bin/python3 /usr/bin/time
if ! /usr/bin/python3 -c 'import PIL' 2>/dev/null; then
  echo "Pillow is missing (scripts/setup.sh)" >&2
  exit 1
fi
gifski="$lw_root/build/bench-tools/node_modules/gifski/bin/debian/gifski"
peers=" ${LW_CLIP_PEERS:-ffmpeg gifski magick gifsicle} "
if [[ "$peers" == *" gifski "* ]] && ! [ -x "$gifski" ]; then
  "$lw_root/scripts/setup-bench.sh" >&2 || echo "gifski left out" >&2
fi
[ -x "$gifski" ] || gifski=""
lw_workdir clip
lw_magick_roomy
source "$lw_root/bench/clips.sh"
lw_clips "$program"

/usr/bin/python3 "$lw_root/bench/clip.py" "$program" "$gifski" \
  "$work" "${LW_REPEATS:-1}" "${clip_dirs[@]}"
