#!/usr/bin/env python3
"""Draws the sample animations shipped in share/exemples/ (run again to remake them)."""
import math
import os
import struct
import sys


def lzw(pixels, min_size):
    clear, end = 1 << min_size, (1 << min_size) + 1
    out, acc, nbits = bytearray(), 0, 0
    width = min_size + 1

    def emit(code):
        nonlocal acc, nbits
        acc |= code << nbits
        nbits += width
        while nbits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8

    table = {(i,): i for i in range(clear)}
    nxt = end + 1
    emit(clear)
    cur = (pixels[0],)
    for p in pixels[1:]:
        key = cur + (p,)
        if key in table:
            cur = key
            continue
        emit(table[cur])
        if nxt < 4096:
            table[key] = nxt
            nxt += 1
            if nxt > (1 << width) and width < 12:
                width += 1
        else:
            emit(clear)
            table = {(i,): i for i in range(clear)}
            nxt, width = end + 1, min_size + 1
        cur = (p,)
    emit(table[cur])
    emit(end)
    if nbits:
        out.append(acc & 0xFF)
    data = bytearray([min_size])
    for i in range(0, len(out), 255):
        chunk = out[i:i + 255]
        data += bytes([len(chunk)]) + chunk
    return bytes(data + b"\0")


def gif(path, w, h, palette, frames, delay, loop=0, comment=None, transparent=None):
    bits = max(1, (len(palette) - 1).bit_length())
    pal = bytearray()
    for c in palette + [(0, 0, 0)] * ((1 << bits) - len(palette)):
        pal += bytes(c)
    data = bytearray(b"GIF89a" + struct.pack("<HHBBB", w, h, 0x80 | ((bits - 1) << 4) | (bits - 1), 0, 0))
    data += pal
    data += b"\x21\xff\x0bNETSCAPE2.0\x03\x01" + struct.pack("<H", loop) + b"\0"
    if comment:
        data += b"\x21\xfe" + bytes([len(comment)]) + comment + b"\0"
    for pixels in frames:
        flags = (2 << 2) | (1 if transparent is not None else 0)
        data += b"\x21\xf9\x04" + bytes([flags]) + struct.pack("<H", delay) + bytes([transparent or 0]) + b"\0"
        data += b"\x2c" + struct.pack("<HHHHB", 0, 0, w, h, 0)
        data += lzw(pixels, max(2, bits))
    data += b"\x3b"
    with open(path, "wb") as f:
        f.write(data)


def ball(folder):
    w, h, n = 160, 120, 16
    palette = [(236, 240, 244), (40, 60, 90)]
    shades = 30
    for i in range(shades):
        t = i / (shades - 1)
        palette.append((int(250 - 60 * t), int(110 - 70 * t), int(40 + 20 * t)))
    frames = []
    for k in range(n):
        phase = k / n
        cx = 20 + phase * (w - 40)
        bounce = abs(math.sin(math.pi * phase * 2))
        cy = h - 22 - bounce * 70
        r = 14
        px = []
        for y in range(h):
            for x in range(w):
                if y >= h - 8:
                    px.append(1)
                    continue
                dx, dy = x - cx, y - cy
                d = dx * dx + dy * dy
                if d <= r * r:
                    light = math.hypot(dx + 5, dy + 5) / (r * 1.6)
                    px.append(2 + min(shades - 1, int(light * shades)))
                else:
                    px.append(0)
        frames.append(px)
    gif(os.path.join(folder, "balle.gif"), w, h, palette, frames, 6)


def spinner(folder):
    w = h = 64
    n = 12
    palette = [(255, 255, 255)] + [(int(30 + 18 * i), int(90 + 12 * i), 200) for i in range(12)]
    frames = []
    for k in range(n):
        px = []
        for y in range(h):
            for x in range(w):
                dx, dy = x - 31.5, y - 31.5
                d = math.hypot(dx, dy)
                if 16 <= d <= 28:
                    a = (math.atan2(dy, dx) / (2 * math.pi) * n + k) % n
                    px.append(1 + int(a))
                else:
                    px.append(0)
        frames.append(px)
    gif(os.path.join(folder, "roue.gif"), w, h, palette, frames, 8, transparent=0,
        comment=b"Roue qui tourne")


if __name__ == "__main__":
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "share", "exemples")
    os.makedirs(folder, exist_ok=True)
    ball(folder)
    spinner(folder)
