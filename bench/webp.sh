#!/usr/bin/env bash
# Lossless animated WebP of each GIF of the bench corpus and of the samples: the batch mode's
# "-i file.gif -o ours.webp" against gif2webp (lossless, its default), the two run in turn for every file.
# Prints per file the sizes, the median wall and processor times, and the ratios ours/gif2webp
# (below 1: smaller or faster), then the totals.
#
#   bench/webp.sh [build-dir] [repeats]      LW_BENCH_REAL=0 leaves the real-size corpus out
set -euo pipefail
source "$(dirname "$0")/lib.sh"

program="$(lw_program "${1:-$lw_root/build/bench}")"
repeats="${2:-3}"
lw_need gif2webp convert ffmpeg python3 /usr/bin/time
lw_workdir webp
source "$lw_root/bench/corpus.sh"
lw_corpus

printf '%-24s %10s %10s %6s %8s %8s %6s %6s\n' file ours gif2webp size ms-ours ms-g2w wall cpu
totals=(0 0 0 0 0 0)
for entry in "${files[@]}"; do
  gif=${entry#*=}
  # Paired: each repeat times ours, then gif2webp, so that a change of load hits both.
  read -r wall_ours cpu_ours _ < <(lw_measure "$repeats" "$program" -i "$gif" -o "$work/ours.webp")
  read -r wall_g2w cpu_g2w _ < <(lw_measure "$repeats" gif2webp -quiet "$gif" \
    -o "$work/g2w.webp")
  size_ours=$(stat -c %s "$work/ours.webp")
  size_g2w=$(stat -c %s "$work/g2w.webp")
  awk -v n="$(basename "$gif")" -v a="$size_ours" -v b="$size_g2w" -v c="$wall_ours" \
    -v d="$wall_g2w" -v e="$cpu_ours" -v f="$cpu_g2w" 'BEGIN {
      printf "%-24s %10d %10d %6.3f %8.0f %8.0f %6.2f %6.2f\n", n, a, b, a / b, c * 1000,
        d * 1000, c / d, e / f }'
  totals=($((totals[0] + size_ours)) $((totals[1] + size_g2w))
    "$(awk -v a="${totals[2]}" -v b="$wall_ours" 'BEGIN { print a + b }')"
    "$(awk -v a="${totals[3]}" -v b="$wall_g2w" 'BEGIN { print a + b }')"
    "$(awk -v a="${totals[4]}" -v b="$cpu_ours" 'BEGIN { print a + b }')"
    "$(awk -v a="${totals[5]}" -v b="$cpu_g2w" 'BEGIN { print a + b }')")
done
awk -v a="${totals[0]}" -v b="${totals[1]}" -v c="${totals[2]}" -v d="${totals[3]}" \
  -v e="${totals[4]}" -v f="${totals[5]}" 'BEGIN {
    printf "%-24s %10d %10d %6.3f %8.0f %8.0f %6.2f %6.2f\n", "total", a, b, a / b, c * 1000,
      d * 1000, c / d, e / f }'
