#!/usr/bin/env python3
"""Draws the wizard's pictures into res/: the program icon, the side picture
of every page, the state images of the component lists, the download
animation clip and the animated globe of the wait dialog. The side picture,
the state images and the clip are drawn for screens at 100 %, 150 % and
200 % ("-150" and "-200" after the name); the icon holds every size the
platform asks for up to 200 %.

Standard library only; the output is checked in, so run this again only
after changing a drawing:  python3 tools/make-pictures.py
"""
import math
import os
import struct

RES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "res")

NAVY = (22, 48, 96)
AZURE = (40, 120, 212)
SKY = (150, 200, 245)
TEAL = (24, 178, 164)
ORANGE = (242, 150, 40)
WHITE = (255, 255, 255)
FACE = (240, 240, 240)   # dialog background under the animation


# ---------------------------------------------------------------- drawing
class Canvas:
    """RGB picture with anti-aliased shapes (supersampled point tests).
    Shapes and boxes are given in the picture's 100 % coordinates; a scale
    draws them that much larger."""

    def __init__(self, width, height, colour, scale=1.0):
        self.s = scale
        self.w, self.h = int(round(width * scale)), int(round(height * scale))
        self.px = [[list(colour) for _ in range(self.w)] for _ in range(self.h)]
        self.alpha = [[1.0] * self.w for _ in range(self.h)]

    def gradient(self, top, bottom):
        for y in range(self.h):
            t = y / max(1, self.h - 1)
            c = [top[i] + (bottom[i] - top[i]) * t for i in range(3)]
            for x in range(self.w):
                self.px[y][x] = list(c)

    def fill(self, shape, colour, opacity=1.0, box=None, ss=4):
        s = self.s
        x0, y0, x1, y1 = box or (0, 0, self.w / s, self.h / s)
        x0, y0 = max(0, int(x0 * s) - 1), max(0, int(y0 * s) - 1)
        x1, y1 = min(self.w, int(x1 * s) + 2), min(self.h, int(y1 * s) + 2)
        step = 1.0 / ss
        offsets = [(i + 0.5) * step for i in range(ss)]
        for y in range(y0, y1):
            for x in range(x0, x1):
                hits = 0
                for oy in offsets:
                    for ox in offsets:
                        if shape((x + ox) / s, (y + oy) / s):
                            hits += 1
                if not hits:
                    continue
                a = opacity * hits / (ss * ss)
                p = self.px[y][x]
                for i in range(3):
                    p[i] += (colour[i] - p[i]) * a

    def clear_outside(self, shape, ss=4):
        """Makes everything outside the shape transparent (icons)."""
        step = 1.0 / ss
        offsets = [(i + 0.5) * step for i in range(ss)]
        for y in range(self.h):
            for x in range(self.w):
                hits = sum(1 for oy in offsets for ox in offsets if shape((x + ox) / self.s, (y + oy) / self.s))
                self.alpha[y][x] = hits / (ss * ss)

    def rgb(self, x, y):
        return tuple(max(0, min(255, int(round(v)))) for v in self.px[y][x])


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def capsule(ax, ay, bx, by, r):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy or 1e-9

    def inside(x, y):
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length2))
        px, py = ax + t * dx - x, ay + t * dy - y
        return px * px + py * py <= r * r
    return inside


def polyline(points, r):
    parts = [capsule(*points[i], *points[i + 1], r) for i in range(len(points) - 1)]
    return lambda x, y: any(p(x, y) for p in parts)


def polygon(points):
    def inside(x, y):
        result = False
        j = len(points) - 1
        for i in range(len(points)):
            xi, yi = points[i]
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                result = not result
            j = i
        return result
    return inside


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if x < x0 or x > x1 or y < y0 or y > y1:
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def both(a, b):
    return lambda x, y: a(x, y) and b(x, y)


def globe(canvas, cx, cy, r, line, colour, opacity=1.0, phase=0.0, rim=True):
    """Wire globe: rim, equator and parallels, meridians turned by phase."""
    inner = circle(cx, cy, r - line * 0.5)
    box = (cx - r - 1, cy - r - 1, cx + r + 1, cy + r + 1)
    if rim:
        canvas.fill(lambda x, y: not inner(x, y) and circle(cx, cy, r + line * 0.5)(x, y),
                    colour, opacity, box)
    for lat in (-50, -22, 0, 22, 50):
        yy = cy + r * math.sin(math.radians(lat))
        canvas.fill(both(inner, capsule(cx - r, yy, cx + r, yy, line * 0.5)), colour, opacity, box)
    for k in range(6):
        angle = (k / 6.0 + phase) * math.pi       # meridians every 30 degrees
        rx = r * math.cos(angle)
        if abs(rx) < 0.6:
            shape = capsule(cx, cy - r, cx, cy + r, line * 0.5)
        else:
            shape = ellipse_stroke(cx, cy, abs(rx), r, line * 0.5)
        canvas.fill(both(inner, shape), colour, opacity, box)


def ellipse_stroke(cx, cy, rx, ry, half):
    def inside(x, y):
        dx, dy = x - cx, y - cy
        f = (dx / rx) ** 2 + (dy / ry) ** 2 - 1.0
        gx, gy = 2 * dx / (rx * rx), 2 * dy / (ry * ry)
        g = math.hypot(gx, gy) or 1e-9
        return abs(f) / g <= half
    return inside


def arrow_down(cx, top, width, height):
    """A bold download arrow: shaft and head."""
    shaft = width * 0.36
    head = height * 0.48
    return polygon([(cx - shaft / 2, top), (cx + shaft / 2, top), (cx + shaft / 2, top + height - head),
                    (cx + width / 2, top + height - head), (cx, top + height),
                    (cx - width / 2, top + height - head), (cx - shaft / 2, top + height - head)])


# Letters of the product name as strokes in a 0..1 box.
LETTERS = {
    "Z": [[(0, 0), (1, 0), (0, 1), (1, 1)]],
    "E": [[(1, 0), (0, 0), (0, 1), (1, 1)], [(0, 0.5), (0.8, 0.5)]],
    "P": [[(0, 1), (0, 0), (0.75, 0), (1, 0.18), (1, 0.38), (0.75, 0.55), (0, 0.55)]],
}


def word(canvas, text, x, y, w, h, gap, stroke, colour):
    for ch in text:
        for line in LETTERS[ch]:
            pts = [(x + px * w, y + py * h) for px, py in line]
            canvas.fill(polyline(pts, stroke), colour, 1.0, (x - stroke, y - stroke, x + w + stroke, y + h + stroke))
        x += w + gap


# ---------------------------------------------------------------- pictures
def side_picture(scale):
    """The strip at the left of every page: 81 x 174 dialog units."""
    w, h = 122, 283
    c = Canvas(w, h, NAVY, scale)
    c.gradient(NAVY, AZURE)
    for i, (amp, base, col, op) in enumerate([(7, 222, TEAL, 0.55), (9, 238, SKY, 0.35), (6, 254, WHITE, 0.25)]):
        wave = lambda x, y, amp=amp, base=base, i=i: y >= base + amp * math.sin(x / 19.0 + i * 1.7)
        c.fill(wave, col, op, (0, base - amp - 1, w, h))
    globe(c, 61, 128, 46, 2.2, SKY, 0.85, phase=0.08)
    c.fill(arrow_down(86, 150, 30, 38), ORANGE, 1.0, (60, 148, 110, 190))
    word(c, "ZEP", 19, 26, 22, 26, 8, 2.6, WHITE)
    c.fill(capsule(19, 66, 103, 66, 1.0), ORANGE, 1.0, (17, 63, 105, 69))
    return c


def icon(size):
    c = Canvas(size, size, NAVY)
    c.gradient(AZURE, NAVY)
    s = size / 32.0
    c.clear_outside(rounded_rect(0.5 * s, 0.5 * s, 31.5 * s, 31.5 * s, 6 * s))
    globe(c, 14 * s, 14 * s, 10.5 * s, max(1.1, 1.6 * s), WHITE, 0.95, phase=0.08)
    c.fill(arrow_down(23 * s, 15 * s, 13 * s, 15 * s), ORANGE)
    return c


def state_images(size):
    """Three size x size boxes: empty, checked (blue), crossed (red). The
    frame lies on whole pixels, so that no edge blends into the see-through
    colour."""
    c = Canvas(45, 15, (255, 0, 255), size / 15.0)
    edge = lambda u: int(round(u * size / 15.0))
    for n in range(3):
        x = n * 15
        for yy in range(edge(1), edge(14)):
            for xx in range(edge(x + 1), edge(x + 14)):
                inner = edge(2) <= yy < edge(13) and edge(x + 2) <= xx < edge(x + 13)
                c.px[yy][xx] = list(WHITE if inner else (120, 128, 140))
        box = (x + 2, 2, x + 13, 13)
        if n == 1:
            c.fill(polyline([(x + 4, 7.5), (x + 6.5, 10), (x + 11, 4.5)], 1.1), (30, 90, 210), 1.0, box)
        if n == 2:
            c.fill(capsule(x + 4.5, 4.5, x + 10.5, 10.5, 1.0), (210, 35, 35), 1.0, box)
            c.fill(capsule(x + 10.5, 4.5, x + 4.5, 10.5, 1.0), (210, 35, 35), 1.0, box)
    return c


def animation_frame(n, frames, scale):
    """Packets travel from the globe to the computer; the globe turns."""
    c = Canvas(272, 60, FACE, scale)
    t = n / float(frames)
    gx, gy = 34, 30
    c.fill(circle(gx, gy, 23), AZURE, 1.0, (10, 6, 58, 54))
    globe(c, gx, gy, 23, 1.6, WHITE, 0.9, phase=t / 3.0, rim=False)
    # Monitor with a stand.
    c.fill(rounded_rect(212, 9, 258, 42, 3), NAVY, 1.0, (210, 8, 260, 44))
    c.fill(rounded_rect(216, 13, 254, 38, 1.5), SKY, 1.0, (214, 12, 256, 40))
    c.fill(polygon([(230, 42), (240, 42), (243, 50), (227, 50)]), NAVY, 1.0, (225, 41, 245, 51))
    c.fill(rounded_rect(221, 49, 249, 53, 2), NAVY, 1.0, (219, 48, 251, 54))
    # Screen fills as the loop goes on.
    bar = 218 + 34 * t
    c.fill(rounded_rect(218, 31, max(219, bar), 35, 1.5), ORANGE, 1.0, (216, 30, 254, 36))

    def path(u):   # the arc between globe and screen
        x = 62 + (208 - 62) * u
        return x, 30 - 16 * math.sin(math.pi * u)
    for k in range(24):
        x, y = path((k + 0.5) / 24)
        c.fill(circle(x, y, 1.0), (170, 180, 195), 1.0, (x - 2, y - 2, x + 2, y + 2))
    for k in range(3):
        u = (t + k / 3.0) % 1.0
        x, y = path(u)
        colour = ORANGE if k % 2 == 0 else TEAL
        c.fill(rounded_rect(x - 5, y - 5, x + 5, y + 5, 2), colour, 1.0, (x - 6, y - 6, x + 6, y + 6))
        c.fill(arrow_down(x, y - 3.5, 6, 7), WHITE, 1.0, (x - 4, y - 4, x + 4, y + 4))
    return c


def spinning_globe(n, frames):
    c = Canvas(32, 32, AZURE)
    c.gradient((70, 150, 230), NAVY)
    c.clear_outside(circle(16, 16, 14.5))
    globe(c, 16, 16, 14, 1.4, WHITE, 0.95, phase=n / float(frames) / 3.0)
    return c


# ---------------------------------------------------------------- file formats
def bmp24(c):
    stride = (c.w * 3 + 3) & ~3
    rows = b""
    for y in range(c.h - 1, -1, -1):
        row = b"".join(bytes(c.rgb(x, y)[::-1]) for x in range(c.w))
        rows += row + b"\0" * (stride - len(row))
    info = struct.pack("<IiiHHIIiiII", 40, c.w, c.h, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + 40 + len(rows), 0, 0, 54) + info + rows


def icon_image(c):
    """One 32-bit image of an icon file: colour with alpha, then the mask."""
    xor = b""
    mask = b""
    mask_stride = ((c.w + 31) // 32) * 4
    for y in range(c.h - 1, -1, -1):
        bits = 0
        row = bytearray(mask_stride)
        for x in range(c.w):
            r, g, b = c.rgb(x, y)
            a = int(round(c.alpha[y][x] * 255))
            xor += bytes((b, g, r, a))
            if a == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(row)
    header = struct.pack("<IiiHHIIiiII", 40, c.w, c.h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + xor + mask


def ico(canvases):
    images = [icon_image(c) for c in canvases]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for c, data in zip(canvases, images):
        out += struct.pack("<BBBBHHII", c.w % 256, c.h % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def chunk(fourcc, data):
    return fourcc + struct.pack("<I", len(data)) + data + (b"\0" if len(data) % 2 else b"")


def riff_list(kind, fourcc, data):
    return chunk(kind, fourcc + data)


def ani(frames, jiffies):
    header = struct.pack("<9I", 36, len(frames), len(frames), 0, 0, 0, 0, jiffies, 1)
    icons = b"".join(chunk(b"icon", ico([f])) for f in frames)
    return riff_list(b"RIFF", b"ACON", chunk(b"anih", header) + riff_list(b"LIST", b"fram", icons))


def palette_for(canvases, size=256):
    """Popularity palette over 4-bit bins; the background keeps index 0."""
    counts = {}
    sums = {}
    for c in canvases:
        for y in range(c.h):
            for x in range(c.w):
                p = c.rgb(x, y)
                key = (p[0] >> 4, p[1] >> 4, p[2] >> 4)
                counts[key] = counts.get(key, 0) + 1
                s = sums.setdefault(key, [0, 0, 0])
                for i in range(3):
                    s[i] += p[i]
    ranked = sorted(counts, key=lambda k: -counts[k])[: size - 1]
    colours = [FACE] + [tuple(sums[k][i] // counts[k] for i in range(3)) for k in ranked]
    return colours


def quantise(c, colours, cache):
    rows = []
    for y in range(c.h):
        row = bytearray()
        for x in range(c.w):
            p = c.rgb(x, y)
            if p == FACE:
                row.append(0)
                continue
            if p not in cache:
                cache[p] = min(range(1, len(colours)),
                               key=lambda i: sum((p[j] - colours[i][j]) ** 2 for j in range(3)))
            row.append(cache[p])
        rows.append(bytes(row))
    return rows


def rle8(rows):
    """BI_RLE8, bottom-up: runs of equal bytes, literal stretches in absolute mode."""
    out = bytearray()
    for row in reversed(rows):
        i = 0
        while i < len(row):
            run = 1
            while i + run < len(row) and run < 255 and row[i + run] == row[i]:
                run += 1
            if run >= 3:
                out += bytes((run, row[i]))
                i += run
                continue
            j = i
            while j < len(row) and j - i < 255:
                if j + 2 < len(row) and row[j] == row[j + 1] == row[j + 2]:
                    break
                j += 1
            literal = row[i:j]
            if len(literal) < 3:
                for b in literal:
                    out += bytes((1, b))
            else:
                out += bytes((0, len(literal))) + literal + (b"\0" if len(literal) % 2 else b"")
            i = j
        out += b"\0\0"
    out[-2:] = b"\0\1"
    return bytes(out)


def avi(canvases, fps):
    colours = palette_for(canvases)
    colours += [(0, 0, 0)] * (256 - len(colours))
    cache = {}
    frames = [rle8(quantise(c, colours, cache)) for c in canvases]
    w, h = canvases[0].w, canvases[0].h
    biggest = max(len(f) for f in frames)
    usec = int(round(1000000 / fps))
    avih = struct.pack("<14I", usec, biggest * fps, 0, 0x10, len(frames), 0, 1, biggest, w, h, 0, 0, 0, 0)
    strh = b"vids" + b"mrle" + struct.pack("<IHHIIIIIIiI4h", 0, 0, 0, 0, 1, fps, 0, len(frames),
                                           biggest, -1, 0, 0, 0, w, h)
    strf = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 8, 1, biggest, 0, 0, 256, 0)
    strf += b"".join(bytes((b, g, r, 0)) for r, g, b in colours)
    hdrl = riff_list(b"LIST", b"hdrl", chunk(b"avih", avih) +
                     riff_list(b"LIST", b"strl", chunk(b"strh", strh) + chunk(b"strf", strf)))
    movi = b""
    index = b""
    for f in frames:
        index += b"00dc" + struct.pack("<III", 0x10, 4 + len(movi), len(f))
        movi += chunk(b"00dc", f)
    return riff_list(b"RIFF", b"AVI ", hdrl + riff_list(b"LIST", b"movi", movi) + chunk(b"idx1", index))


def write(name, data):
    path = os.path.join(RES, name)
    with open(path, "wb") as f:
        f.write(data)
    print("wrote", os.path.normpath(path), len(data), "bytes")


def main():
    for percent, suffix in ((100, ""), (150, "-150"), (200, "-200")):
        scale = percent / 100.0
        write("side%s.bmp" % suffix, bmp24(side_picture(scale)))
        write("state%s.bmp" % suffix, bmp24(state_images(15 * percent // 100)))
        write("download%s.avi" % suffix, avi([animation_frame(n, 31, scale) for n in range(31)], 15))
    write("zepsetup.ico", ico([icon(size) for size in (64, 48, 40, 32, 24, 20, 16)]))
    write("globe.ani", ani([spinning_globe(n, 12) for n in range(12)], 6))


if __name__ == "__main__":
    main()
