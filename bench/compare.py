"""The measures and tables of bench/compare.sh (see there):
compare.py PROGRAM BEFORE WORK REPEATS REPEATS_REAL TINY SET=FILE..."""
import itertools
import math
import os
import re
import subprocess
import sys
import tempfile
import time

import measure

program, before, work, repeats, repeats_real, tiny, *inputs = sys.argv[1:]
repeats = {"small": int(repeats), "real": int(repeats_real)}
out = os.path.join(work, "out")
os.makedirs(out, exist_ok=True)

# Each command given its input and output; "lw"/"before" are -z, the "rw" ones read and write.
commands = {
    "O2": lambda i, o: ["gifsicle", "-O2", i, "-o", o],
    "lw": lambda i, o: [program, "-i", i, "-z", "-o", o],
    "O3": lambda i, o: ["gifsicle", "-O3", i, "-o", o],
    "IM": lambda i, o: ["convert", i, "-layers", "Optimize", o],
    "gs": lambda i, o: ["gifsicle", i, "-o", o],
    "lw rw": lambda i, o: [program, "-i", i, "-o", o],
}
if before:
    commands["before"] = lambda i, o: [before, "-i", i, "-z", "-o", o]
    commands["before rw"] = lambda i, o: [before, "-i", i, "-o", o]
ours = [k for k in ("lw", "before") if k in commands]


def describe(path):
    """Frame count, screen width and height, and whether any frame has a palette of its own."""
    text = subprocess.run(["gifsicle", "--info", path], check=True, capture_output=True,
                          text=True).stdout
    w, h = map(int, re.search(r"logical screen (\d+)x(\d+)", text).groups())
    frames = int(re.search(r"(\d+) images?", text).group(1))
    return frames, w, h, "local color table" in text


def decoded(path, unoptimize):
    """The frames a viewer shows, as ImageMagick composes them (after gifsicle -U when asked,
    so that gifsicle composes them): RGBA bytes with every transparent pixel made transparent
    black, one frame at a time, then, last, the list of delays."""
    with open(path, "rb") as f:
        head = f.read(10)
    size = int.from_bytes(head[6:8], "little") * int.from_bytes(head[8:10], "little") * 4
    feed = subprocess.Popen(["gifsicle", "-U", path], stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL) if unoptimize else None
    with tempfile.TemporaryFile() as info:
        im = subprocess.Popen(
            ["convert", "gif:-" if feed else path, "-coalesce", "-background", "none", "-alpha",
             "background", "-depth", "8", "-format", "%T\n", "-write", "info:fd:2", "rgba:-"],
            stdin=feed.stdout if feed else None, stdout=subprocess.PIPE, stderr=info)
        if feed:
            feed.stdout.close()
        try:
            while len(px := im.stdout.read(size)) == size:
                yield px
            im.wait()
            info.seek(0)
            yield [int(t) for t in info.read().split() if t.isdigit()]
        finally:
            for p in (im, feed):
                if p:
                    p.kill()
                    p.wait()


def folded(frames):
    """Equal consecutive frames folded into one, their delays summed (the optimizer may merge
    them): the pictures, then the list of delays."""
    counts = []
    for px in frames:
        if isinstance(px, list):
            delays = iter(px)
            yield [sum(itertools.islice(delays, n)) for n in counts]
            return
        if counts and px == last:
            counts[-1] += 1
        else:
            if counts:
                yield last
            last = px
            counts.append(1)


def check(src, dst, unoptimize, local):
    """"identical", the PSNR (input with palettes per frame) or what differs."""
    bad = se = channels = 0
    a, b = folded(decoded(src, unoptimize)), folded(decoded(dst, unoptimize))
    try:
        for pa, pb in itertools.zip_longest(a, b):
            if isinstance(pa, list) or isinstance(pb, list) or pa is None or pb is None:
                if pa != pb:
                    return "DIFFERENT " + ("delays" if isinstance(pa, list) and
                                           isinstance(pb, list) else "frames")
                break
            channels += len(pa) // 4 * 3
            if pa == pb:
                continue
            bad += sum(x != y for x, y in zip(memoryview(pa).cast("I"), memoryview(pb).cast("I")))
            for c in range(3):
                se += sum((x - y) * (x - y) for x, y in zip(pa[c::4], pb[c::4]))
    finally:
        a.close()
        b.close()
    if bad == 0:
        return "identical"
    if local and se:
        return "PSNR %.1f" % (10 * math.log10(255 * 255 * channels / se))
    return "DIFFERENT %d px" % bad


def measured(name, src, reps):
    dst = os.path.join(out, name.replace(" ", "_") + "-" + os.path.basename(src))
    m = measure.run(commands[name](src, dst), reps)
    return os.path.getsize(dst), m, dst


# ---------------------------------------------------------------------------------------------
load = os.getloadavg()
started = time.strftime("%Y-%m-%d %H:%M")
rows = []
for item in inputs:
    kind, src = item.split("=", 1)
    print("Measuring %s ..." % os.path.basename(src), file=sys.stderr)
    frames, w, h, local = describe(src)
    res = {name: measured(name, src, repeats[kind]) for name in commands}
    checks = [check(src, res["lw"][2], u, local) for u in (False, True)]
    rows.append(dict(name=os.path.basename(src), kind=kind, frames=frames, w=w, h=h,
                     local=local, res=res, checks=checks))


def ratio(a, b):
    return a / b if b else float("nan")


def total(rs, name, what):
    return sum(r["res"][name][0] if what == "size" else r["res"][name][1].wall for r in rs)


def total_ratio(rs, name, base, what):
    return ratio(total(rs, name, what), total(rs, base, what))


def size(r, name):
    return total_ratio([r], name, "O2", "size")


def wall(r, name, base="O2"):
    return total_ratio([r], name, base, "wall")


def table(title, columns):
    """Prints a line per file of each corpus, then the totals of each and of both. A column is
    (header, width, format, value of a file, value of a list of files or None)."""
    widths = [max(w, len(h)) for h, w, *_ in columns]

    def line(cells):
        return " ".join(c.ljust(w) if i == 0 else c.rjust(w)
                        for i, (w, c) in enumerate(zip(widths, cells))).rstrip()


    def totals(title, rs):
        return line([title] + [f % many(rs) if many else "" for _, _, f, _, many in columns[1:]])
    header = line([h for h, *_ in columns])
    rule = "-" * len(header)
    print(title, header, rule, sep="\n")
    for kind in ("small", "real"):
        rs = [r for r in rows if r["kind"] == kind]
        for r in rs:
            print(line([f % one(r) for _, _, f, one, _ in columns]))
        if rs:
            print(totals("TOTAL " + kind, rs))
            print(rule)
    print(totals("TOTAL", rows))
    print()


label = {"lw": "LW", "before": "bef", "O3": "O3", "IM": "IM", "O2": "O2", "gs": "gs",
         "lw rw": "LW rw", "before rw": "bef rw"}
z = [k for k in ("lw", "before", "O3", "IM") if k in commands]
rw = [k for k in ("lw rw", "before rw") if k in commands]
print("%s, load %.2f %.2f %.2f, %d cores; median of %d runs (small), %d (real-size)\n" % (
    started, *load, os.cpu_count(), repeats["small"], repeats["real"]))

table("Optimizing (-z): sz = bytes / gifsicle -O2's, t = wall time / gifsicle -O2's; LW's "
      "pixels as ImageMagick composes them / as gifsicle -U does",
      [("file", 24, "%s", lambda r: r["name"], None),
       ("frames", 6, "%d", lambda r: r["frames"], None),
       ("WxH", 9, "%s", lambda r: "%dx%d" % (r["w"], r["h"]), None),
       ("O2 bytes", 10, "%d", lambda r: r["res"]["O2"][0], lambda rs: total(rs, "O2", "size")),
       ("O2 s", 7, "%.3f", lambda r: r["res"]["O2"][1].wall, lambda rs: total(rs, "O2", "wall"))]
      + [c for k in z for c in [
          (label[k] + " sz", 6, "%.3f", lambda r, k=k: size(r, k),
           lambda rs, k=k: total_ratio(rs, k, "O2", "size")),
          (label[k] + " t", 5, "%.2f", lambda r, k=k: wall(r, k),
           lambda rs, k=k: total_ratio(rs, k, "O2", "wall"))]]
      + [("pixels", 0, "%s", lambda r: " / ".join(r["checks"]), None)])

mem = [k for k in ("O2", "O3", "IM", "gs", "lw", "lw rw", "before", "before rw") if k in commands]
table("Reading and writing (LW -i IN -o OUT, gifsicle IN -o OUT): t = wall time / plain "
      "gifsicle's; peak memory in MB; /px = LW's peak memory / (frames x width x height) bytes",
      [("file", 24, "%s", lambda r: r["name"], None),
       ("gs s", 7, "%.3f", lambda r: r["res"]["gs"][1].wall, lambda rs: total(rs, "gs", "wall"))]
      + [(label[k] + " t", 5, "%.2f", lambda r, k=k: wall(r, k, "gs"),
          lambda rs, k=k: total_ratio(rs, k, "gs", "wall")) for k in rw]
      + [(label[k] + " MB", 6, "%.0f", lambda r, k=k: r["res"][k][1].mb, None) for k in mem]
      + [(label[k] + "/px", 6, "%.2f", lambda r, k=k: r["res"][k][1].mb * 2**20 / (
          r["frames"] * r["w"] * r["h"]), None) for k in ("lw", "lw rw")])

n = 20
tiny_out = os.path.join(out, "tiny.gif")
start = {k: measure.run(cmd, n).wall * 1000 for k, cmd in
         [("gs", ["gifsicle", tiny, "-o", tiny_out]), ("lw", [program, "-i", tiny, "-o", tiny_out])]
         + ([("before", [before, "-i", tiny, "-o", tiny_out])] if before else [])}
print("Start-up, -i tiny.gif -o out.gif, median of %d: %s\n" % (n, ", ".join(
    "%s %.1f ms (%.2fx)" % (label[k], v, v / start["gs"]) for k, v in start.items())))


def worst(rs, value):
    r = max(rs, key=value, default=None)
    return (value(r), r["name"]) if r else None


real = [r for r in rows if r["kind"] == "real"]
print("Targets" + (" (LW; before)" if before else ""))
for text, limit, value in [
        ("-z wall time <= 0.80x gifsicle -O2's on every real-size file", 0.8,
         lambda k: worst(real, lambda r: wall(r, k))),
        ("read+write <= 0.60x plain gifsicle's on every real-size file", 0.6,
         lambda k: worst(real, lambda r: wall(r, k + " rw", "gs"))),
        ("total -z size <= 0.95x gifsicle -O2's", 0.95,
         lambda k: (total_ratio(rows, k, "O2", "size"), "all files")),
        ("total -z size <= gifsicle -O3's", 1.0,
         lambda k: (total_ratio(rows, k, "O3", "size"), "all files")),
        ("no file's -z size above 1.05x gifsicle -O2's", 1.05,
         lambda k: worst(rows, lambda r: size(r, k)))]:
    print("  %-62s %s" % (text, "; ".join(
        "n/a" if v is None else "%s (%.2fx, %s)" % ("yes" if v[0] <= limit else "NO", *v)
        for v in map(value, ["lw", "before"] if before else ["lw"]))))
# Inputs with palettes per frame may lose a little (PSNR), never frames or delays.
wrong = [r["name"] for r in rows for c in r["checks"]
         if c.startswith("DIFFERENT") or (c != "identical" and not r["local"])]
print("  %-62s %s" % ("LW's output shows the input's frames (exact pixels for one palette)",
                      "NO: " + ", ".join(sorted(set(wrong))) if wrong else "yes"))
