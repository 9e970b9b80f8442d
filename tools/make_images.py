#!/usr/bin/env python3
"""Draws Mirdal's own pictures: the logo strip of the wizard window (GIF, read
by Qt's GIF reader) and the desktop icons (PNG). Standard library only.

    tools/make_images.py            # writes src/ui/images/logo.gif and src/ui/images/mirdal-*.png
"""
import os
import random
import struct
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# 5x7 glyphs, one string per row, '#' lit.
GLYPHS = {
    'M': ["#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"],
    'I': ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "#####"],
    'R': ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    'D': ["####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."],
    'A': [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    'L': ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    '1': ["..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."],
    '3': ["####.", "....#", "....#", ".###.", "....#", "....#", "####."],
    '.': [".....", ".....", ".....", ".....", ".....", ".##..", ".##.."],
}


class Canvas:
    def __init__(self, w, h):
        self.w, self.h = w, h
        self.px = [(0, 0, 0)] * (w * h)

    def set(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y * self.w + x] = c

    def get(self, x, y):
        return self.px[y * self.w + x]

    def gradient(self, top, bottom, levels=48):
        for y in range(self.h):
            t = round(y / max(1, self.h - 1) * (levels - 1)) / (levels - 1)
            c = tuple(round(a + (b - a) * t) for a, b in zip(top, bottom))
            for x in range(self.w):
                self.px[y * self.w + x] = c

    def line(self, x0, y0, x1, y1, c):
        n = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(n + 1):
            self.set(round(x0 + (x1 - x0) * i / n), round(y0 + (y1 - y0) * i / n), c)

    def star(self, x, y, level, big=False):
        c = (level, level, min(255, level + 20))
        self.set(x, y, c)
        if big:
            dim = tuple(v * 2 // 3 for v in c)
            for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                self.set(x + dx, y + dy, dim)

    def text(self, s, x, y, scale, c, shadow=None):
        for ch in s:
            glyph = GLYPHS[ch]
            for gy, row in enumerate(glyph):
                for gx, bit in enumerate(row):
                    if bit != '#':
                        continue
                    for sy in range(scale):
                        for sx in range(scale):
                            if shadow:
                                self.set(x + gx * scale + sx + 1, y + gy * scale + sy + 1, shadow)
                            self.set(x + gx * scale + sx, y + gy * scale + sy, c)
            x += 6 * scale

    def text_width(self, s, scale):
        return len(s) * 6 * scale - scale


def draw_sky(cv, seed, stars):
    rnd = random.Random(seed)
    cv.gradient((6, 10, 38), (34, 22, 74))
    for _ in range(stars):
        x, y = rnd.randrange(cv.w), rnd.randrange(cv.h)
        level = rnd.choice((96, 128, 160, 192, 224, 255))
        cv.star(x, y, level, big=rnd.random() < 0.08)


def logo():
    cv = Canvas(114, 408)
    draw_sky(cv, 1302, 150)
    # A made-up asterism: a kite with a tail.
    pts = [(30, 70), (62, 48), (88, 86), (56, 120), (40, 170), (70, 215), (58, 262)]
    line_colour = (90, 140, 210)
    for a, b in zip(pts, pts[1:]):
        cv.line(*a, *b, line_colour)
    cv.line(*pts[0], *pts[3], line_colour)
    for x, y in pts:
        cv.star(x, y, 255, big=True)
    gold, shadow = (246, 200, 90), (10, 10, 30)
    w = cv.text_width("MIRDAL", 3)
    cv.text("MIRDAL", (cv.w - w) // 2, 320, 3, gold, shadow)
    w = cv.text_width("1.3", 2)
    cv.text("1.3", (cv.w - w) // 2, 352, 2, (200, 210, 240), shadow)
    return cv


def icon(size):
    cv = Canvas(size, size)
    draw_sky(cv, 7, size * size // 60)
    s = size / 48
    pts = [(10, 14), (22, 8), (36, 16), (30, 28), (18, 30), (24, 40)]
    pts = [(round(x * s), round(y * s)) for x, y in pts]
    for a, b in zip(pts, pts[1:]):
        cv.line(*a, *b, (110, 160, 230))
    for x, y in pts:
        cv.star(x, y, 255, big=True)
    # Rounded corners: transparent outside a quarter circle of radius size/6.
    r = size // 6
    mask = [[True] * size for _ in range(size)]
    for y in range(size):
        for x in range(size):
            cx = r if x < r else (size - 1 - r if x > size - 1 - r else x)
            cy = r if y < r else (size - 1 - r if y > size - 1 - r else y)
            if (x - cx) ** 2 + (y - cy) ** 2 > r * r:
                mask[y][x] = False
    return cv, mask


# --- GIF ------------------------------------------------------------------

def lzw_encode(indices, min_size=8):
    clear, eoi = 1 << min_size, (1 << min_size) + 1
    out = bytearray()
    acc = nbits = 0

    def put(code, size):
        nonlocal acc, nbits
        acc |= code << nbits
        nbits += size
        while nbits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8

    def fresh():
        return {bytes([i]): i for i in range(clear)}, eoi + 1, min_size + 1

    table, next_code, size = fresh()
    put(clear, size)
    w = bytes([indices[0]])
    for k in indices[1:]:
        wk = w + bytes([k])
        if wk in table:
            w = wk
            continue
        put(table[w], size)
        if next_code == 4096:
            put(clear, size)
            table, next_code, size = fresh()
        else:
            table[wk] = next_code
            next_code += 1
            # The reader widens its codes once the table holds 2^size entries.
            if next_code > (1 << size) and size < 12:
                size += 1
        w = bytes([k])
    put(table[w], size)
    put(eoi, size)
    if nbits:
        out.append(acc & 0xFF)
    return bytes(out)


def write_gif(path, cv):
    palette = sorted(set(cv.px))
    assert len(palette) <= 256, len(palette)
    index = {c: i for i, c in enumerate(palette)}
    palette += [(0, 0, 0)] * (256 - len(palette))
    data = lzw_encode([index[c] for c in cv.px])
    out = bytearray(b"GIF89a")
    out += struct.pack("<HHBBB", cv.w, cv.h, 0xF7, 0, 0)
    for c in palette:
        out += bytes(c)
    out += b"\x2C" + struct.pack("<HHHHB", 0, 0, cv.w, cv.h, 0)
    out.append(8)
    for i in range(0, len(data), 255):
        block = data[i:i + 255]
        out.append(len(block))
        out += block
    out += b"\x00\x3B"
    with open(path, "wb") as f:
        f.write(out)


# --- PNG ------------------------------------------------------------------

def write_png(path, cv, mask):
    raw = bytearray()
    for y in range(cv.h):
        raw.append(0)
        for x in range(cv.w):
            raw += bytes(cv.get(x, y)) + bytes([255 if mask[y][x] else 0])

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", cv.w, cv.h, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def main():
    write_gif(os.path.join(ROOT, "src/ui/images/logo.gif"), logo())
    for size in (48, 128):
        cv, mask = icon(size)
        write_png(os.path.join(ROOT, f"src/ui/images/mirdal-{size}.png"), cv, mask)


if __name__ == "__main__":
    main()
