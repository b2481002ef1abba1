#!/usr/bin/env bash
# Compares Loopwright's optimizer with gifsicle -O2, gifsicle -O3 and ImageMagick's
# -layers Optimize on animations drawn here (nothing is downloaded): output size and time as
# ratios to gifsicle -O2, and whether the optimized file still shows the input's pixels in every
# frame, decoded by ImageMagick (-coalesce), not by us.
#
#   bench/compare.sh [build-dir] [repeats]
#
# build-dir defaults to build/bench; the program is build-dir/bin/loopwright when the window was
# built, else build-dir/bench/loopwright_batch (-DLW_BENCH=ON). Needs imagemagick, gifsicle,
# ffmpeg and python3 (scripts/setup.sh installs them).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/bench}"
repeats="${2:-5}"
if [ -x "$build/bin/loopwright" ]; then
  program="$build/bin/loopwright"
elif [ -x "$build/bench/loopwright_batch" ]; then
  program="$build/bench/loopwright_batch"
else
  echo "No program in $build: cmake -S . -B $build -DCMAKE_BUILD_TYPE=Release -DLW_BENCH=ON -DLW_UI=OFF && cmake --build $build --target loopwright_batch" >&2
  exit 1
fi
for tool in convert identify gifsicle ffmpeg python3; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/setup.sh)" >&2; exit 1; }
done

work="$(mktemp -d "${TMPDIR:-/tmp}/lw-compare-XXXXXX")"
# LW_COMPARE_KEEP=1 keeps the corpus and every output (to compare two builds' bytes).
if [ -n "${LW_COMPARE_KEEP:-}" ]; then
  echo "Keeping $work" >&2
else
  trap 'rm -rf "$work"' EXIT
fi
corpus="$work/corpus"
mkdir -p "$corpus"
# The program's settings stay out of the user's.
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"

# ---------------------------------------------------------------------------------------------
# The corpus: every frame a full picture (what editors and converters write), plus a few
# already optimized files and the program's own samples.
echo "Drawing the corpus in $corpus ..." >&2
frames="$work/frames"
# Draws count frames with draw_frame (given the frame number), then joins them over one common
# palette (+remap) as a full-frame animation.
im_frames() {  # name count
  local name=$1 count=$2 i
  rm -rf "$frames" && mkdir -p "$frames"
  for ((i = 0; i < count; i++)); do draw_frame "$i" "$(printf '%s/%03d.png' "$frames" "$i")"; done
  convert -delay 8 -loop 0 "$frames"/*.png +dither +remap "$corpus/$name.gif"
}
draw_frame() {
  local x=$((20 + $1 * 7)) y=$((75 + ($1 % 6) * 5))
  convert -size 200x150 xc:'#3060a0' +antialias -fill '#f0d020' \
    -draw "circle $x,$y $((x + 12)),$y" "$2"
}
im_frames sprite 24
draw_frame() {
  convert -size 240x160 gradient:'#102040-#80c0ff' +antialias -fill red \
    -draw "rectangle $((10 + $1 * 9)),40 $((40 + $1 * 9)),70" -fill white \
    -draw "circle 120,$((20 + $1 * 6)) 130,$((20 + $1 * 6))" "$2"
}
im_frames sprites-gradient 20
draw_frame() {
  convert -size 300x60 pattern:bricks -fill '#208040' -draw "rectangle 0,20 300,40" \
    -roll +$(($1 * 6))+0 "$2"
}
im_frames scroll-bricks 30
draw_frame() {
  convert -seed 7 -size 160x120 plasma:fractal +antialias -fill black \
    -draw "rectangle $((($1 % 4) * 40)),0 $((($1 % 4) * 40 + 10)),10" "$2"
}
im_frames plasma-blink 12
convert -size 120x120 xc:none -fill '#c04040' -draw 'circle 60,60 60,10' \
  -duplicate 11 -distort SRT '%[fx:t*30]' -set delay 6 -set dispose background -loop 0 \
  "$corpus/spin-transparent.gif"
convert "$corpus/sprite.gif" -layers OptimizeFrame "$corpus/sprite-preoptimized.gif"

ff() {  # name source filter
  ffmpeg -v error -y -t 4 -f lavfi -i "$2" -vf "$3" "$corpus/$1.gif"
}
ff life 'life=s=240x180:mold=10:r=12:ratio=0.1:death_color=#C83232:life_color=#00ff00' \
  'split[a][b];[a]palettegen=max_colors=32[p];[b][p]paletteuse=dither=none'
ff testsrc 'testsrc=s=240x180:r=10' \
  'split[a][b];[a]palettegen[p];[b][p]paletteuse=dither=none'
ff mandelbrot-dither 'mandelbrot=s=240x180:r=10' \
  'split[a][b];[a]palettegen[p];[b][p]paletteuse=dither=bayer'
ff cellauto 'cellauto=s=240x180:rule=110:r=15' \
  'split[a][b];[a]palettegen=max_colors=4[p];[b][p]paletteuse'
# One palette per frame: the meta-palette case.
ff testsrc-local 'testsrc=s=160x120:r=8' \
  'split[a][b];[a]palettegen=stats_mode=single[p];[b][p]paletteuse=new=1:dither=none'
ff mandelbrot-local 'mandelbrot=s=128x96:r=8' \
  'split[a][b];[a]palettegen=stats_mode=single:max_colors=64[p];[b][p]paletteuse=new=1:dither=none'
cp "$root"/share/exemples/*.gif "$corpus/" 2>/dev/null || true

# ---------------------------------------------------------------------------------------------
python3 - "$program" "$corpus" "$work" "$repeats" <<'PY'
import math, os, subprocess, sys, time

program, corpus, work, repeats = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
out = os.path.join(work, "out")
os.makedirs(out, exist_ok=True)

tools = {
    "loopwright": lambda i, o: [program, "-i", i, "-z", "-o", o],
    "gifsicle -O2": lambda i, o: ["gifsicle", "-O2", i, "-o", o],
    "gifsicle -O3": lambda i, o: ["gifsicle", "-O3", i, "-o", o],
    "IM -layers Optimize": lambda i, o: ["convert", i, "-layers", "Optimize", o],
}

def run(cmd):
    best = None
    for _ in range(repeats):
        t = time.perf_counter()
        subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        d = time.perf_counter() - t
        best = d if best is None else min(best, d)
    return best

def shown(path):
    """What a viewer shows, decoded by ImageMagick: consecutive equal pictures folded, their
    delays summed; transparent pixels compared as transparent whatever their colour."""
    info = subprocess.run(["convert", path, "-coalesce", "-format", "%T %W %H\n", "info:"],
                          check=True, capture_output=True, text=True).stdout.split("\n")
    raw = subprocess.run(["convert", path, "-coalesce", "-depth", "8", "rgba:-"],
                         check=True, capture_output=True).stdout
    frames, pos = [], 0
    for line in info:
        if not line.strip():
            continue
        delay, w, h = map(int, line.split())
        n = w * h * 4
        px = bytearray(raw[pos:pos + n])
        pos += n
        for k in range(3, n, 4):
            if px[k] == 0:
                px[k - 3] = px[k - 2] = px[k - 1] = 0
        if frames and frames[-1][1] == px:
            frames[-1][0] += delay
        else:
            frames.append([delay, bytes(px)])
    return frames

def differing_pixels(a, b):
    if len(a) != len(b):
        return None
    bad = 0
    for (da, pa), (db, pb) in zip(a, b):
        if da != db or len(pa) != len(pb):
            return None
        if pa != pb:
            bad += sum(1 for k in range(0, len(pa), 4) if pa[k:k + 4] != pb[k:k + 4])
    return bad

def psnr(a, b):
    if len(a) != len(b):
        return None
    se, n = 0, 0
    for (_, pa), (_, pb) in zip(a, b):
        if len(pa) != len(pb):
            return None
        for k in range(0, len(pa), 4):
            for c in range(3):
                d = pa[k + c] - pb[k + c]
                se += d * d
            n += 3
    return float("inf") if se == 0 else 10 * math.log10(255 * 255 * n / se)

def local_palettes(path):
    text = subprocess.run(["gifsicle", "--info", path], capture_output=True, text=True).stdout
    return "local color table" in text

files = sorted(f for f in os.listdir(corpus) if f.endswith(".gif"))
totals = {t: [0, 0.0] for t in tools}
insize = 0
rows = []
all_same = True
for f in files:
    src = os.path.join(corpus, f)
    insize += os.path.getsize(src)
    res = {}
    for name, cmd in tools.items():
        dst = os.path.join(out, name.replace(" ", "_") + "-" + f)
        t = run(cmd(src, dst))
        res[name] = (os.path.getsize(dst), t, dst)
        totals[name][0] += res[name][0]
        totals[name][1] += t
    ours = res["loopwright"][2]
    local = local_palettes(src)
    a, b = shown(src), shown(ours)
    if local:
        p = psnr(a, b)
        check = "PSNR " + ("n/a (frames differ)" if p is None else ("inf" if p == float("inf") else "%.1f dB" % p))
    else:
        bad = differing_pixels(a, b)
        check = "identical" if bad == 0 else ("DIFFERENT (%s px)" % ("timing" if bad is None else bad))
        all_same &= bad == 0
    rows.append((f, os.path.getsize(src), res, check))

g2 = lambda r: r["gifsicle -O2"]
print("Input files: %d, %d bytes; each command timed as the best of %d runs." % (len(files), insize, repeats))
print()
hdr = "%-26s %9s | %9s %6s %6s | %6s %6s | %6s %6s | %s" % (
    "file", "input", "gifs -O2", "LW sz", "LW t", "O3 sz", "O3 t", "IM sz", "IM t", "loopwright pixels")
print(hdr)
print("-" * len(hdr))
for f, size, res, check in rows:
    base_s, base_t = g2(res)[0], g2(res)[1]
    r = lambda n: (res[n][0] / base_s, res[n][1] / base_t)
    print("%-26s %9d | %9d %6.3f %6.2f | %6.3f %6.2f | %6.3f %6.2f | %s" % (
        f[:26], size, base_s, *r("loopwright"), *r("gifsicle -O3"), *r("IM -layers Optimize"), check))
print("-" * len(hdr))
bs, bt = totals["gifsicle -O2"]
print("%-26s %9d | %9d %6.3f %6.2f | %6.3f %6.2f | %6.3f %6.2f |" % (
    "TOTAL", insize, bs,
    totals["loopwright"][0] / bs, totals["loopwright"][1] / bt,
    totals["gifsicle -O3"][0] / bs, totals["gifsicle -O3"][1] / bt,
    totals["IM -layers Optimize"][0] / bs, totals["IM -layers Optimize"][1] / bt))
print()
print("sz = output bytes / gifsicle -O2's; t = time / gifsicle -O2's (lower is better).")
print("Single-palette files show the same pixels: %s" % ("yes" if all_same else "NO"))
PY
