"""The runs, measures and tables of bench/clip.sh (see there). Needs Pillow (the PNGs and the
errors): run it with /usr/bin/python3.
clip.py PROGRAM GIFSKI WORK REPEATS CLIP-FOLDER...

Every tool makes a GIF of each clip's PNG frames at one delay; its PSNR is that of what the GIF
shows on the timeline: source frame i is due at i * delay, and the GIF frame on screen then
(composed with its disposals, following its own delays) is compared with it over RGB. Beside it:
the SSIM of the same pictures (FFmpeg's ssim filter over R, G and B, its "All" mean), and the
flicker: the RMS, in levels of 0..255, of how the error changes from one picture to the next
(what the GIF's picture does between frames beyond the source's own change: a dither that
crawls, colours that hop), 0 for a GIF whose error stays put."""
import math
import os
import re
import shlex
import statistics
import subprocess
import sys
import tempfile
import time

from PIL import Image, ImageChops

program, gifski, work, repeats, *clips = sys.argv[1:]
repeats = int(repeats)
DELAY = 5  # hundredths of a second per source frame, for every tool
FPS = 100 // DELAY
env = os.environ

# ---------------------------------------------------------------------------------------------
# Our settings: the plain run, then the quality and lossy flags when the program has them.
PLAIN = "-i IN --delay %d -z -o OUT" % DELAY


def our_settings():
    if env.get("LW_CLIP_OURS"):
        return [s.strip() for s in env["LW_CLIP_OURS"].split(";") if s.strip()]
    help_text = subprocess.run([program, "--help"], capture_output=True, text=True).stdout
    has = lambda flag: re.search(r"^\s*%s\b" % re.escape(flag), help_text, re.M) is not None
    settings = [PLAIN]
    if has("--quality"):
        # A setting for the inputs that follow: the palette is built from the true colours.
        settings += ["--quality=%s %s" % (n, PLAIN)
                     for n in env.get("LW_CLIP_QUALITY", "10 16 20 30 40 50 70 80 90 100").split()]
    if has("--lossy"):
        # An edit where it stands, after the optimizer as the dialog applies it.
        settings += ["-i IN --delay %d -z --lossy=%s -o OUT" % (DELAY, n)
                     for n in env.get("LW_CLIP_LOSSY", "40 100").split()]
    return settings


def our_label(setting):
    """The setting less the input and the output, and less the delay and -z when it has both
    (as every run of ours has unless LW_CLIP_OURS says otherwise)."""
    words, rest = shlex.split(setting), []
    fixed = {("-i", "IN"), ("-o", "OUT")}
    if "-z" in words and "--delay %d" % DELAY in " ".join(words):
        fixed.add(("--delay", str(DELAY)))
    i = 0
    while i < len(words):
        if tuple(words[i:i + 2]) in fixed:
            i += 2
            continue
        if words[i] != "-z" or ("--delay", str(DELAY)) not in fixed:
            rest.append(words[i])
        i += 1
    if not rest and ("--delay", str(DELAY)) not in fixed:
        return "ours, read and write only"
    return " ".join(["ours"] + rest)


# ---------------------------------------------------------------------------------------------
def timed(cmd, complaints):
    """Runs cmd; its wall time in seconds. What it says on standard error, and a failure, go
    under the table (a failed run leaves no output: its row shows "-")."""
    with tempfile.TemporaryFile() as err:
        start = time.perf_counter()
        code = subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=err).returncode
        wall = time.perf_counter() - start
        err.seek(0)
        said = err.read().decode(errors="replace").strip()
    if code or said:
        complaints.add("%s%s: %s" % (" ".join(cmd), " failed (%d)" % code if code else "", said))
    return wall


class Entry:
    """One tool at one setting: its commands (run in turn, timed together), its output, and,
    for a pipeline over another entry's output, that entry (whose time is added)."""

    def __init__(self, label, out, commands, over=None, ours=False):
        self.label, self.out, self.commands, self.over, self.ours = label, out, commands, over, ours
        self.walls = []

    def time(self):
        own = statistics.median(self.walls)
        return own + (self.over.time() if self.over else 0)


def entries_for(clip, folder, width, height):
    out = os.path.join(work, clip)
    os.makedirs(out, exist_ok=True)
    pattern = os.path.join(folder, "*.png")
    numbered = os.path.join(folder, "%04d.png")
    pngs = sorted(os.path.join(folder, f) for f in os.listdir(folder) if f.endswith(".png"))
    peers = env.get("LW_CLIP_PEERS", "ffmpeg gifski magick gifsicle").split()
    result = []
    for i, setting in enumerate(our_settings()):
        o = os.path.join(out, "ours%d.gif" % i)
        args = [pattern if w == "IN" else o if w == "OUT" else w for w in shlex.split(setting)]
        result.append(Entry(our_label(setting), o, [[program, *args]], ours=True))
    ff = {}
    if "ffmpeg" in peers or "gifsicle" in peers:
        palette = os.path.join(out, "palette.png")
        source = ["ffmpeg", "-v", "error", "-y", "-framerate", str(FPS), "-i", numbered]
        for name, use in (("", "paletteuse"), (" dither=none", "paletteuse=dither=none")):
            o = os.path.join(out, "ffmpeg%d.gif" % len(ff))
            ff[name] = Entry("ffmpeg palettegen+paletteuse" + name, o, [
                source + ["-vf", "palettegen", palette],
                source + ["-i", palette, "-lavfi", use, "-f", "gif", o]])
        if "ffmpeg" in peers:
            result += ff.values()
    if "gifski" in peers and gifski:
        for q in (90, 70, 50):
            o = os.path.join(out, "gifski%d.gif" % q)
            result.append(Entry("gifski -Q %d" % q, o, [
                [gifski, "-q", "-Q", str(q), "-r", str(FPS), "-W", str(width), "-H", str(height),
                 "-o", o, *pngs]]))
    if "magick" in peers:
        o = os.path.join(out, "magick.gif")
        result.append(Entry("convert -layers Optimize", o, [
            ["convert", "-delay", str(DELAY), *pngs, "-loop", "0", "-layers", "Optimize", o]]))
    if "gifsicle" in peers:
        for n in (40, 100):
            o = os.path.join(out, "gifsicle%d.gif" % n)
            result.append(Entry("gifsicle -O3 --lossy=%d (ffmpeg's)" % n, o, [
                ["gifsicle", "-O3", "--lossy=%d" % n, ff[""].out, "-o", o]], over=ff[""]))
    return result, pngs


# ---------------------------------------------------------------------------------------------
def squared_error(a, b):
    """The sum over pixels and R, G, B of the squared differences."""
    hist = ImageChops.difference(a, b).histogram()
    return sum(n * (i % 256) ** 2 for i, n in enumerate(hist) if n)


def delays(path):
    """Each frame's delay in hundredths of a second, as gifsicle reads them."""
    text = subprocess.run(["gifsicle", "--info", path], check=True, capture_output=True,
                          text=True).stdout
    result = []
    for line in text.splitlines():
        if line.startswith("  + image #"):
            result.append(0)
        elif (m := re.match(r"\s+.*\bdelay (\d+(?:\.\d+)?)s", line)) and result:
            result[-1] = round(float(m.group(1)) * 100)
    return result


class Shown:
    """The frames of a GIF as a viewer shows them, asked for in time order: `at(ms)` is the
    picture on screen ms milliseconds after the start (the last one stays). FFmpeg composes
    the frames (Pillow 9 gets the "previous" disposal wrong), one at a time."""

    def __init__(self, path, size):
        self.delays = [d * 10 for d in delays(path)]
        self.size = size
        self.feed = subprocess.Popen(
            ["ffmpeg", "-v", "error", "-i", path, "-f", "rawvideo", "-pix_fmt", "rgb24",
             "-fps_mode", "passthrough", "-"],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.index, self.start = 0, 0
        self.picture = self.next()

    def next(self):
        n = self.size[0] * self.size[1] * 3
        data = self.feed.stdout.read(n)
        if len(data) != n:
            raise ValueError("fewer frames than gifsicle counts, or another screen size")
        return Image.frombytes("RGB", self.size, data)

    def at(self, ms):
        while self.index + 1 < len(self.delays):
            end = self.start + self.delays[self.index]
            if end > ms:
                break
            self.index += 1
            self.start = end
            self.picture = self.next()
        return self.picture

    def close(self):
        self.feed.stdout.close()
        self.feed.kill()
        self.feed.wait()


def ssim(size, shown_raw, source_raw):
    """FFmpeg's SSIM of two raw RGB streams of pictures of size, over R, G and B."""
    raw = ["-f", "rawvideo", "-pix_fmt", "rgb24", "-s", "%dx%d" % size, "-r", str(FPS), "-i"]
    said = subprocess.run(
        ["ffmpeg", "-hide_banner", "-nostats", *raw, shown_raw, *raw, source_raw, "-lavfi",
         "[0:v]format=gbrp[a];[1:v]format=gbrp[b];[a][b]ssim", "-f", "null", "-"],
        capture_output=True, text=True).stderr
    m = re.search(r"SSIM .*All:([0-9.]+)", said)
    return float(m.group(1)) if m else None


class Measure:
    """What one output shows against the source: PSNR, SSIM and flicker (None each when it
    cannot be compared)."""
    psnr = ssim = flicker = None


def measures(pngs, outputs, scratch):
    """The Measure of each output over the clip."""
    with Image.open(pngs[0]) as first:
        size = first.size
    shown = {o: Shown(o, size) for o in outputs if os.path.exists(o)}
    errors = dict.fromkeys(shown, 0)
    crawl = dict.fromkeys(shown, 0)
    before = {}
    raws = {o: open(os.path.join(scratch, "%d.rgb" % k), "wb") for k, o in enumerate(shown)}
    source_raw = os.path.join(scratch, "source.rgb")
    with open(source_raw, "wb") as source_file:
        for i, png in enumerate(pngs):
            with Image.open(png) as src:
                src = src.convert("RGB")
            source_file.write(src.tobytes())
            for o, s in shown.items():
                if errors[o] is None:
                    continue
                try:
                    picture = s.at(i * DELAY * 10)
                except ValueError as e:
                    print("  %s: %s" % (os.path.basename(o), e), file=sys.stderr)
                    errors[o] = None
                    continue
                errors[o] += squared_error(picture, src)
                raws[o].write(picture.tobytes())
                # The error, signed, around 128; its change from the picture before.
                error = ImageChops.subtract(picture, src, 1.0, 128)
                if o in before:
                    crawl[o] += squared_error(error, before[o])
                before[o] = error
    for s in shown.values():
        s.close()
    for f in raws.values():
        f.close()
    result = {}
    pixels = 3 * size[0] * size[1]
    for o in outputs:
        m = result[o] = Measure()
        e = errors.get(o)
        if e is None:
            continue
        mse = e / (pixels * len(pngs))
        m.psnr = math.inf if mse == 0 else 10 * math.log10(255 ** 2 / mse)
        m.flicker = math.sqrt(crawl[o] / (pixels * max(1, len(pngs) - 1)))
        m.ssim = ssim(size, raws[o].name, source_raw)
        os.remove(raws[o].name)
    os.remove(source_raw)
    return result


# ---------------------------------------------------------------------------------------------
def clip_table(folder):
    clip = os.path.basename(folder.rstrip("/"))
    pngs = sorted(f for f in os.listdir(folder) if f.endswith(".png"))
    with Image.open(os.path.join(folder, pngs[0])) as first:
        width, height = first.size
    entries, paths = entries_for(clip, folder, width, height)
    # Every setting once per round, in turn, so that a load on the machine falls on all alike;
    # a pipeline's first stage, when left out of the table, runs just before it.
    order, complaints = [], set()
    for e in entries:
        if e.over and e.over not in entries and e.over not in order:
            order.append(e.over)
        order.append(e)
    for _ in range(repeats):
        for e in order:
            e.walls.append(sum(timed(cmd, complaints) for cmd in e.commands))
    quality = measures(paths, [e.out for e in entries], os.path.join(work, clip))

    print("%s: %d frames of %dx%d, %d/100 s each" % (clip, len(pngs), width, height, DELAY))
    print("  %-44s %8s %7s %7s %10s %7s" % ("tool / setting", "PSNR dB", "SSIM", "flicker",
                                             "bytes", "time s"))
    rows = []
    fmt = lambda v, f: "-" if v is None else f % v
    for e in entries:
        size = os.path.getsize(e.out) if os.path.exists(e.out) else None
        m = quality[e.out]
        rows.append((e, m, size))
        print("  %-44s %8s %7s %7s %10s %7.2f" % (
            e.label, fmt(m.psnr, "%.2f"), fmt(m.ssim, "%.4f"), fmt(m.flicker, "%.2f"),
            fmt(size, "%d"), e.time()))
    complete = lambda m, s: None not in (m.psnr, m.ssim, s)
    ours = [(e, m, s) for e, m, s in rows if e.ours and complete(m, s)]
    anchors = [(e, m, s) for e, m, s in rows if not e.ours and complete(m, s)]
    if anchors:
        print("  %-44s %s" % ("anchor", "cheapest of ours with PSNR and SSIM >=, bytes <="))
    for a, am, asize in anchors:
        fit = [(s, m, e) for e, m, s in ours
               if m.psnr >= am.psnr and m.ssim >= am.ssim and s <= asize]
        if fit:
            s, m, e = min(fit, key=lambda f: f[0])
            verdict = "%s (%.2f dB, %.4f, %.0f %% of the bytes)" % (e.label, m.psnr, m.ssim,
                                                                     100 * s / asize)
        else:
            verdict = "none"
        print("  %-44s %s" % (a.label, verdict))
    q90 = next((e for e in entries if e.label in ("ours --quality=90", "ours --quality 90")),
               next((e for e in entries if e.ours), None))
    ff = next((e for e in entries if e.label == "ffmpeg palettegen+paletteuse"), None)
    if q90 and ff:
        print("  time %s / ffmpeg two-pass: %.2f" % (q90.label, q90.time() / ff.time()))
    for c in sorted(complaints):
        print("  said: " + c.replace("\n", "\n        "))
    print()
    sys.stdout.flush()


for folder in clips:
    clip_table(folder)
