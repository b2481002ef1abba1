#!/usr/bin/env bash
# The batch mode's start-up against gifsicle's: `loopwright -i tiny.gif -o out.gif` and
# `gifsicle tiny.gif -o out.gif` run alternately, so that the machine's load falls on both alike;
# prints both medians, the median of the paired ratios, the shared libraries the program needs,
# and the libraries a GIF-only job loads (none of FFmpeg's).
#
#   bench/startup.sh [build-dir [runs]]
#
# build-dir defaults to build/bench (see bench/compare.sh for the build); runs to 41.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

program="$(lw_program "${1:-$lw_root/build/bench}")"
runs="${2:-41}"
lw_need gifsicle convert python3
lw_workdir startup
convert -size 16x16 xc:red xc:blue -loop 0 "$work/tiny.gif"

python3 - "$program" "$work" "$runs" <<'PY'
import os, statistics, subprocess, sys, time
program, work, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
tiny, out = os.path.join(work, "tiny.gif"), os.path.join(work, "out.gif")
commands = {"loopwright": [program, "-i", tiny, "-o", out], "gifsicle": ["gifsicle", tiny, "-o", out]}

def wall(cmd):
    start = time.perf_counter()
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start

for cmd in commands.values():  # warm the page cache
    wall(cmd)
times = {k: [] for k in commands}
ratios = []
for _ in range(runs):
    pair = {k: wall(cmd) for k, cmd in commands.items()}
    for k, v in pair.items():
        times[k].append(v)
    ratios.append(pair["loopwright"] / pair["gifsicle"])
print("Start-up, -i tiny.gif -o out.gif, %d alternate runs: %s; paired ratio median %.2fx "
      "(target at most 3x)" % (runs, ", ".join("%s %.1f ms" % (k, statistics.median(v) * 1000)
                                               for k, v in times.items()), statistics.median(ratios)))
needed = subprocess.run(["ldd", program], capture_output=True, text=True).stdout.splitlines()
print("Shared libraries the program needs (ldd): %d" % len(needed))
env = dict(os.environ, LD_DEBUG="files")
log = subprocess.run(commands["loopwright"], env=env, capture_output=True, text=True).stderr
loaded = sorted({l.split("file=")[1].split()[0] for l in log.splitlines() if "file=" in l})
video = [l for l in loaded if "libav" in l or "loopwright-video" in l]
print("Libraries a GIF-only job loads: %d, of them FFmpeg's or the video module: %s"
      % (len(loaded), ", ".join(video) or "none"))
PY
