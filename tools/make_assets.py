#!/usr/bin/env python3
"""Writes the program's assets (skins, icons, cursor, alarm) into res/assets.

Deterministic and standard-library only: the committed files are its output, and a
test regenerates them and compares the bytes. --previews DIR also writes PNG
renderings of every asset for people to look at.
"""
import argparse
import math
import multiprocessing
import os
import struct
import zlib

SIZE = 250
MAGENTA = (255, 0, 255)
GREEN = (0, 255, 0)
SETUP_KEY_INDEX = 253
SCALES = (125, 150, 175, 200)


# ---------------------------------------------------------------- raster

class Canvas:
    """Float RGB image; shapes are drawn from signed distances (pixels, negative inside).
    At a scale other than 1 shapes, boxes and colour functions stay in the 250-pixel design's
    units and are sampled at each pixel's centre, so the edges are as sharp at every size."""

    def __init__(self, w, h, colour=(0, 0, 0), scale=1.0):
        self.w, self.h, self.s = w, h, scale
        self.px = [list(map(float, colour)) for _ in range(w * h)]
        self.alpha = [0.0] * (w * h)

    def shape(self, sdf, colour, box=None, opacity=1.0, hard=False, grow=0.0):
        """Blends colour (an RGB triple or a function of x, y) where sdf < 0."""
        s = self.s
        x0, y0, x1, y1 = (v * s for v in box) if box else (0, 0, self.w, self.h)
        x0, y0 = max(0, int(x0) - 1), max(0, int(y0) - 1)
        x1, y1 = min(self.w, int(math.ceil(x1)) + 1), min(self.h, int(math.ceil(y1)) + 1)
        for y in range(y0, y1):
            cy = (y + 0.5) / s
            for x in range(x0, x1):
                cx = (x + 0.5) / s
                d = (sdf(cx, cy) - grow) * s
                if hard:
                    cov = 1.0 if d < 0 else 0.0
                else:
                    cov = 0.5 - d
                    cov = 0.0 if cov <= 0 else (1.0 if cov >= 1 else cov)
                if cov <= 0:
                    continue
                a = cov * opacity
                c = colour(cx, cy) if callable(colour) else colour
                p = self.px[y * self.w + x]
                p[0] += (c[0] - p[0]) * a
                p[1] += (c[1] - p[1]) * a
                p[2] += (c[2] - p[2]) * a
                i = y * self.w + x
                self.alpha[i] = max(self.alpha[i], a)

    def rgb(self, x, y):
        return tuple(int(round(min(255.0, max(0.0, v)))) for v in self.px[y * self.w + x])


def sd_round_rect(x0, y0, x1, y1, r):
    cx, cy, hx, hy = (x0 + x1) / 2, (y0 + y1) / 2, (x1 - x0) / 2, (y1 - y0) / 2

    def f(x, y):
        qx, qy = abs(x - cx) - hx + r, abs(y - cy) - hy + r
        return math.hypot(max(qx, 0), max(qy, 0)) + min(max(qx, qy), 0) - r
    return f


def sd_circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def sd_ring(cx, cy, r, width):
    return lambda x, y: abs(math.hypot(x - cx, y - cy) - r) - width / 2


def segment_distance(x, y, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length2))
    return math.hypot(x - ax - t * dx, y - ay - t * dy)


def sd_strokes(segments, width):
    def f(x, y):
        return min(segment_distance(x, y, *s) for s in segments) - width / 2
    return f


def sd_polygon(points):
    def f(x, y):
        d, inside = 1e9, False
        n = len(points)
        for i in range(n):
            ax, ay = points[i]
            bx, by = points[(i + 1) % n]
            d = min(d, segment_distance(x, y, ax, ay, bx, by))
            if (ay > y) != (by > y) and x < (bx - ax) * (y - ay) / (by - ay) + ax:
                inside = not inside
        return -d if inside else d
    return f


def sd_intersect(a, b):
    return lambda x, y: max(a(x, y), b(x, y))


def vertical(top, bottom, y0, y1):
    def f(x, y):
        t = max(0.0, min(1.0, (y - y0) / (y1 - y0)))
        return tuple(a + (b - a) * t for a, b in zip(top, bottom))
    return f


def hexrgb(text):
    return tuple(int(text[i:i + 2], 16) for i in (1, 3, 5))


# ---------------------------------------------------------------- stroke font
# Capitals on a grid 10 units tall, y down; each glyph is (width, polylines).

def arc(cx, cy, rx, ry, a0, a1, n=14):
    return [(cx + rx * math.cos(math.radians(a0 + (a1 - a0) * i / n)),
             cy + ry * math.sin(math.radians(a0 + (a1 - a0) * i / n))) for i in range(n + 1)]


GLYPHS = {
    'A': (6, [[(0, 10), (3, 0), (6, 10)], [(1.1, 6.6), (4.9, 6.6)]]),
    'B': (5.8, [[(0, 5), (0, 0), (3.4, 0)] + arc(3.4, 2.5, 2.3, 2.5, 270, 450) + [(0, 5)],
                [(3.4, 5)] + arc(3.4, 7.5, 2.4, 2.5, 270, 450) + [(0, 10), (0, 5)]]),
    'C': (6.2, [arc(3.4, 5, 3.4, 5, -42, -318, 20)]),
    'D': (6.2, [[(2.4, 0), (0, 0), (0, 10), (2.4, 10)] + arc(2.4, 5, 3.8, 5, 90, -90, 16)]),
    'E': (5.4, [[(5.4, 0), (0, 0), (0, 10), (5.4, 10)], [(0, 5), (4.4, 5)]]),
    'F': (5.2, [[(5.2, 0), (0, 0), (0, 10)], [(0, 5), (4.2, 5)]]),
    'G': (6.6, [arc(3.4, 5, 3.4, 5, -42, -360, 20) + [(3.8, 5)]]),
    'H': (6, [[(0, 0), (0, 10)], [(6, 0), (6, 10)], [(0, 5), (6, 5)]]),
    'I': (0, [[(0, 0), (0, 10)]]),
    'J': (4.8, [[(4.8, 0), (4.8, 7.2)] + arc(2.4, 7.2, 2.4, 2.8, 0, 180, 10)]),
    'K': (5.8, [[(0, 0), (0, 10)], [(5.6, 0), (0, 6.2)], [(2.0, 4.3), (5.8, 10)]]),
    'L': (5, [[(0, 0), (0, 10), (5, 10)]]),
    'M': (7.4, [[(0, 10), (0, 0), (3.7, 7.6), (7.4, 0), (7.4, 10)]]),
    'N': (6, [[(0, 10), (0, 0), (6, 10), (6, 0)]]),
    'O': (7, [arc(3.5, 5, 3.5, 5, 0, 360, 28)]),
    'P': (5.6, [[(0, 10), (0, 0), (3.0, 0)] + arc(3.0, 2.8, 2.6, 2.8, 270, 450) + [(0, 5.6)]]),
    'Q': (7, [arc(3.5, 5, 3.5, 5, 0, 360, 28), [(4.2, 7.0), (7.0, 10.3)]]),
    'R': (5.8, [[(0, 10), (0, 0), (3.0, 0)] + arc(3.0, 2.8, 2.6, 2.8, 270, 450) + [(0, 5.6)],
                [(2.6, 5.6), (5.8, 10)]]),
    'S': (5.8, [arc(2.9, 2.6, 2.8, 2.6, -25, -270, 12) + arc(2.9, 7.4, 2.9, 2.6, -90, 155, 14)]),
    'T': (6, [[(0, 0), (6, 0)], [(3, 0), (3, 10)]]),
    'U': (6, [[(0, 0), (0, 6.8)] + arc(3, 6.8, 3, 3.2, 180, 0, 14) + [(6, 0)]]),
    'V': (6.4, [[(0, 0), (3.2, 10), (6.4, 0)]]),
    'W': (8.6, [[(0, 0), (2.1, 10), (4.3, 2.2), (6.5, 10), (8.6, 0)]]),
    'X': (6, [[(0, 0), (6, 10)], [(6, 0), (0, 10)]]),
    'Y': (6, [[(0, 0), (3, 5.2), (6, 0)], [(3, 5.2), (3, 10)]]),
    'Z': (5.8, [[(0, 0), (5.8, 0), (0, 10), (5.8, 10)]]),
    "'": (0, [[(0, 0), (0, 2.6)]]),
    '.': (0, [[(0, 10), (0, 10)]]),
    '!': (0, [[(0, 0), (0, 6.6)], [(0, 10), (0, 10)]]),
    '-': (3.6, [[(0, 5.6), (3.6, 5.6)]]),
    ' ': (2.6, []),
}


def text_segments(text, x, y, height, weight, tracking=0.0):
    """Segments of text whose cap tops start at (x, y); returns (segments, width)."""
    s = height / 10.0
    gap = weight + 2.0 * s + tracking
    segments, pen = [], x + weight / 2
    for ch in text:
        width, lines = GLYPHS[ch]
        for line in lines:
            pts = [(pen + px * s, y + py * s) for px, py in line]
            if len(pts) == 1:
                pts = pts * 2
            segments += [(a[0], a[1], b[0], b[1]) for a, b in zip(pts, pts[1:])]
        pen += width * s + gap
    return segments, pen - gap + weight / 2 - x


def text_width(text, height, weight, tracking=0.0):
    return text_segments(text, 0, 0, height, weight, tracking)[1]


def draw_text(canvas, text, x, y, height, weight, colour, tracking=0.0, align='left'):
    if align == 'center':
        x -= text_width(text, height, weight, tracking) / 2
    segments, width = text_segments(text, x, y, height, weight, tracking)
    # One glyph at a time keeps each distance search short.
    s, start = height / 10.0, 0
    pen = x + weight / 2
    for ch in text:
        gw, lines = GLYPHS[ch]
        count = sum(max(1, len(l) - 1) for l in lines)
        glyph = segments[start:start + count]
        start += count
        if glyph:
            xs = [v for seg in glyph for v in (seg[0], seg[2])]
            ys = [v for seg in glyph for v in (seg[1], seg[3])]
            box = (min(xs) - weight, min(ys) - weight, max(xs) + weight, max(ys) + weight)
            canvas.shape(sd_strokes(glyph, weight), colour, box)
        pen += gw * s + weight + 2.0 * s + tracking
    return width


# ---------------------------------------------------------------- artwork

NAVY_TOP, NAVY_BOTTOM = hexrgb('#26354a'), hexrgb('#121b29')
ORANGE, ORANGE_DARK = hexrgb('#ff9a1f'), hexrgb('#d96a00')
INK = hexrgb('#1d2530')


def draw_emblem(c, cx, cy, r, ring, mesh, background):
    """The product mark: a round filter grille."""
    c.shape(sd_circle(cx, cy, r), background, (cx - r, cy - r, cx + r, cy + r))
    inner = sd_circle(cx, cy, r - ring * 0.9)
    bars = []
    step = 2 * (r - ring) / 4
    for i in range(1, 4):
        off = -r + ring + step * i
        bars += [(cx + off, cy - r, cx + off, cy + r), (cx - r, cy + off, cx + r, cy + off)]
    c.shape(sd_intersect(sd_strokes(bars, mesh), inner), ORANGE, (cx - r, cy - r, cx + r, cy + r))
    c.shape(sd_ring(cx, cy, r - ring / 2, ring), vertical(ORANGE, ORANGE_DARK, cy - r, cy + r),
            (cx - r, cy - r, cx + r, cy + r))


def draw_wordmark(c, x, y, colour):
    width = draw_text(c, 'QUILMAREN', x, y, 12, 2.3, colour, tracking=0.6)
    draw_text(c, 'FILTERS', x + width + 6, y + 4, 8, 1.5, ORANGE, tracking=0.8)


def corner_key(x, y, radius, size=SIZE):
    """Is pixel (x, y) outside the rounded outline of the skin, size pixels square?"""
    return sd_round_rect(0, 0, size, size, radius * size / SIZE)(x + 0.5, y + 0.5) > 0


SETUP_RADIUS = 16
SETUP_INTERIOR = (12, 32, 238, 202)   # light panel; the lattice covers it
LATTICE_ORIGIN = (14, 34)             # centre of the first plus mark


def setup_lattice(x, y):
    """Is pixel (x, y) part of a plus mark of the interior lattice?"""
    x0, y0, x1, y1 = SETUP_INTERIOR
    ox, oy = LATTICE_ORIGIN
    for dx, dy in ((0, 0), (1, 0), (-1, 0), (0, 1), (0, -1)):
        cx, cy = x - dx, y - dy
        row = cy - oy
        if row < 0 or row % 3:
            continue
        col = cx - ox - 3 * ((row // 3) % 2)
        if col < 0 or col % 6:
            continue
        if x0 + 1 <= cx - 1 and cx + 1 < x1 - 1 and y0 + 1 <= cy - 1 and cy + 1 < y1 - 1:
            return True
    return False


def scaled_lattice(size):
    """The lattice's key pixels at another size: every mark the same plus, its arms as wide
    as the scale rounds to, centred where the design's mark lands."""
    s = size / SIZE
    arm = max(1, int(round(s)))
    marks = [(x, y) for y in range(SIZE) for x in range(SIZE)
             if setup_lattice(x, y) and all(setup_lattice(x + dx, y + dy) for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))]
    keyed = set()
    for cx, cy in marks:
        px, py = (cx + 0.5) * s, (cy + 0.5) * s
        left, top = int(round(px - 1.5 * arm)), int(round(py - 1.5 * arm))
        bar_x, bar_y = int(round(px - arm / 2)), int(round(py - arm / 2))
        for i in range(3 * arm):
            for j in range(arm):
                keyed.add((left + i, bar_y + j))
                keyed.add((bar_x + j, top + i))
    return keyed


def setup_skin(size=SIZE):
    scale = size / SIZE
    c = Canvas(size, size, scale=scale)
    c.shape(sd_round_rect(0, 0, SIZE, SIZE, SETUP_RADIUS), vertical(NAVY_TOP, NAVY_BOTTOM, 0, SIZE), hard=True)
    # A faint bevel just inside the outline.
    c.shape(sd_intersect(sd_round_rect(1, 1, SIZE - 1, SIZE - 1, SETUP_RADIUS - 1),
                         lambda x, y: -sd_round_rect(2, 2, SIZE - 2, SIZE - 2, SETUP_RADIUS - 2)(x, y)),
            hexrgb('#4a5f7c'), opacity=0.8)
    draw_emblem(c, 24, 17, 10, 2.6, 1.2, NAVY_TOP)
    draw_wordmark(c, 42, 11, (255, 255, 255))
    x0, y0, x1, y1 = SETUP_INTERIOR
    c.shape(sd_round_rect(x0 - 1, y0 - 1, x1 + 1, y1 + 1, 6), hexrgb('#0c121c'))
    c.shape(sd_round_rect(x0, y0, x1, y1, 5), vertical(hexrgb('#e9eef4'), hexrgb('#d5dde7'), y0, y1))
    # Orange accent above the link band.
    c.shape(sd_round_rect(x0 + 4, y1 + 5, x1 - 4, y1 + 7, 1), ORANGE, opacity=0.9)

    lattice = setup_lattice if size == SIZE else (lambda x, y, keyed=scaled_lattice(size): (x, y) in keyed)
    pixels = []
    for y in range(size):
        for x in range(size):
            key = corner_key(x, y, SETUP_RADIUS, size) or lattice(x, y)
            pixels.append(None if key else c.rgb(x, y))
    return pixels


WARN_RADIUS = 14
STRIPE = 8
YELLOW, BLACK = hexrgb('#ffcc00'), hexrgb('#141414')
RED = hexrgb('#c8102e')


def hazard_at(scale):
    def hazard(x, y):
        """Diagonal yellow and black stripes, 11 design pixels along x, with soft edges."""
        t = (x + y) / 11.0
        edge = (t - math.floor(t + 0.5)) * 11.0 / math.sqrt(2)  # signed distance to the nearest stripe edge
        yellow = int(math.floor(t)) % 2 == 0
        a = max(0.0, min(1.0, 0.5 + abs(edge) * scale))
        first, second = (YELLOW, BLACK) if yellow else (BLACK, YELLOW)
        return tuple(f * a + g * (1 - a) for f, g in zip(first, second))
    return hazard


def warning_triangle(c, cx, top, size):
    h = size * 0.87
    pts = [(cx, top), (cx + size / 2, top + h), (cx - size / 2, top + h)]
    box = (cx - size / 2 - 2, top - 2, cx + size / 2 + 2, top + h + 2)
    c.shape(sd_polygon(pts), RED, box, grow=1.2)
    inner = [(cx, top + size * 0.22), (cx + size * 0.31, top + h - size * 0.1), (cx - size * 0.31, top + h - size * 0.1)]
    c.shape(sd_polygon(inner), YELLOW, box)
    c.shape(sd_strokes([(cx, top + h * 0.42, cx, top + h * 0.68)], size * 0.09), BLACK, box)
    c.shape(sd_circle(cx, top + h * 0.8, size * 0.055), BLACK, box)


def draw_filter(c, x0, y0, x1, y1):
    """A dusty filter pad: a framed mesh with specks of dust."""
    c.shape(sd_round_rect(x0, y0, x1, y1, 4), hexrgb('#5b6675'))
    c.shape(sd_round_rect(x0 + 3, y0 + 3, x1 - 3, y1 - 3, 2), hexrgb('#c9ced4'))
    mesh = []
    for i in range(1, 8):
        x = x0 + 3 + (x1 - x0 - 6) * i / 8
        mesh.append((x, y0 + 3, x, y1 - 3))
    for i in range(1, 5):
        y = y0 + 3 + (y1 - y0 - 6) * i / 5
        mesh.append((x0 + 3, y, x1 - 3, y))
    c.shape(sd_strokes(mesh, 0.8), hexrgb('#8d96a1'), (x0, y0, x1, y1))
    seed = 12345
    for _ in range(38):
        seed = (seed * 1103515245 + 12345) & 0x7fffffff
        dx = x0 + 5 + (seed >> 8) % int(x1 - x0 - 10)
        seed = (seed * 1103515245 + 12345) & 0x7fffffff
        dy = y0 + 5 + (seed >> 8) % int(y1 - y0 - 10)
        r = 0.7 + ((seed >> 4) % 10) / 10
        c.shape(sd_circle(dx, dy, r), hexrgb('#8a6d4a'), (dx - 3, dy - 3, dx + 3, dy + 3), opacity=0.85)


def warning_skin(size=SIZE):
    scale = size / SIZE
    c = Canvas(size, size, scale=scale)
    c.shape(sd_round_rect(0, 0, SIZE, SIZE, WARN_RADIUS), hazard_at(scale), hard=True)
    inner = (STRIPE, STRIPE, SIZE - STRIPE, SIZE - STRIPE)
    c.shape(sd_round_rect(*inner, 7), BLACK)
    draw_emblem(c, 26, 27, 11, 2.8, 1.3, BLACK)
    draw_wordmark(c, 45, 21, (255, 255, 255))
    panel = (STRIPE + 3, 44, SIZE - STRIPE - 3, 208)
    c.shape(sd_round_rect(*panel, 5), vertical(hexrgb('#fffdf4'), hexrgb('#f4eed8'), panel[1], panel[3]))

    width = text_width('WARNING', 21, 3.6, 1.0)
    draw_text(c, 'WARNING', SIZE / 2, 54, 21, 3.6, RED, tracking=1.0, align='center')
    warning_triangle(c, SIZE / 2 - width / 2 - 17, 54, 21)
    warning_triangle(c, SIZE / 2 + width / 2 + 17, 54, 21)
    for i, line in enumerate(("PLEASE REMOVE AND CLEAN", "YOUR COMPUTER'S", "DUST FILTERS NOW!")):
        draw_text(c, line, SIZE / 2, 95 + i * 19, 10, 1.7, INK, tracking=0.4, align='center')
    draw_filter(c, 26, 158, 112, 202)

    pixels = []
    for y in range(size):
        for x in range(size):
            if corner_key(x, y, WARN_RADIUS, size):
                pixels.append(None)
            else:
                p = c.rgb(x, y)
                pixels.append((0, 254, 0) if p == GREEN else p)
    return pixels


def star_points(cx, cy, outer, inner):
    return [(cx + (outer if i % 2 == 0 else inner) * math.sin(math.pi * i / 5),
             cy - (outer if i % 2 == 0 else inner) * math.cos(math.pi * i / 5)) for i in range(10)]


def star_icon(size, light, mid, dark, outline):
    """A rounded five-pointed star; returns rows of RGB, None where transparent."""
    c = Canvas(size, size, outline)
    cx, cy = size / 2, size * 0.535
    outer = size * 0.5
    rounding = size / 24
    body = sd_polygon(star_points(cx, cy, outer - rounding * 1.6, outer * 0.47))
    edge = max(1.0, size / 22)
    c.shape(lambda x, y: body(x, y) - rounding, outline)
    c.shape(lambda x, y: body(x, y) - rounding + edge, vertical(light, dark, 0, size))
    if size >= 32:
        # A lighter upper facet gives the star some depth.
        facet = sd_polygon([(cx, cy - outer * 0.78), (cx - outer * 0.16, cy - outer * 0.1),
                            (cx + outer * 0.2, cy - outer * 0.08)])
        c.shape(facet, mid, opacity=0.55)
    rows = []
    for y in range(size):
        rows.append([c.rgb(x, y) if c.alpha[y * size + x] >= 0.5 else None for x in range(size)])
    return rows


TRAY_SIZES = (16, 20, 24, 28, 32, 40, 48)  # SM_CXSMICON at 96, 120, 144, 168, 192, 240, 288 DPI
TRAY_FIRST_ID = 20
ORANGE_STAR = (hexrgb('#ffd061'), hexrgb('#fff2c4'), hexrgb('#f07400'), hexrgb('#6e2c00'))
RED_STAR = (hexrgb('#ff7a6b'), hexrgb('#ffd2cc'), hexrgb('#c00010'), hexrgb('#4d0006'))

HAND = """
................................
................................
................................
................................
................................
................................
................................
................................
................................
...........XX...................
..........XooX..................
..........XooX..................
..........XooX..................
..........XooX..................
..........XooXXX................
..........XooXooXXX.............
..........XooXooXooXXX..........
......XX..XooXooXooXooX.........
.....XooX.XooooooooXooX.........
.....XoooXXoooooooooooX.........
......XoooXoooooooooooX.........
.......XooXoooooooooooX.........
.......XooooooooooooooX.........
........XoooooooooooooX.........
........XoooooooooooooX.........
.........XooooooooooooX.........
.........XoooooooooooX..........
..........XooooooooooX..........
..........XooooooooooX..........
..........XooooooooooX..........
..........XXXXXXXXXXXX..........
................................
"""
HOTSPOT = (12, 9)


# ---------------------------------------------------------------- quantising

def median_cut(counts, boxes):
    """Deterministic median cut of {rgb: count} into at most `boxes` colours.
    Returns (palette, {rgb: palette index})."""
    def score(box):
        if len(box) < 2:
            return 0
        return max(max(c[k] for c in box) - min(c[k] for c in box) for k in range(3)) * sum(counts[c] for c in box)

    work = [sorted(counts)]
    scores = [score(work[0])]
    while len(work) < boxes:
        best, best_score = None, 0
        for i, box_score in enumerate(scores):
            if box_score > best_score:
                best, best_score = i, box_score
        if best is None:
            break
        box = work.pop(best)
        scores.pop(best)
        ranges = [max(c[k] for c in box) - min(c[k] for c in box) for k in range(3)]
        k = ranges.index(max(ranges))
        box.sort(key=lambda c: (c[k], c))
        total, acc, cut = sum(counts[c] for c in box), 0, 1
        for j, colour in enumerate(box[:-1]):
            acc += counts[colour]
            cut = j + 1
            if acc * 2 >= total:
                break
        work[best:best] = [box[:cut], box[cut:]]
        scores[best:best] = [score(box[:cut]), score(box[cut:])]
    palette, index = [], {}
    for i, box in enumerate(work):
        n = sum(counts[c] for c in box)
        palette.append(tuple(int(round(sum(c[k] * counts[c] for c in box) / n)) for k in range(3)))
        for colour in box:
            index[colour] = i
    return palette, index


def colour_counts(pixels):
    counts = {}
    for p in pixels:
        if p is not None:
            counts[p] = counts.get(p, 0) + 1
    return counts


# ---------------------------------------------------------------- file formats

def info_header(w, h, bits, image_size=0, compression=0):
    return struct.pack('<IiiHHIIiiII', 40, w, h, 1, bits, compression, image_size, 0, 0, 0, 0)


BI_RLE8 = 1


def rle8(rows):
    """Bottom-up BI_RLE8 data from top-down rows of palette indices: runs of one colour as
    (count, index), stretches of different ones in absolute mode, every pixel given."""
    out = bytearray()
    for row in reversed(rows):
        x, n = 0, len(row)
        while x < n:
            run = 1
            while x + run < n and run < 255 and row[x + run] == row[x]:
                run += 1
            if run >= 2:
                out += bytes((run, row[x]))
                x += run
                continue
            end = x + 1  # a stretch of literals, up to the next pair of equal pixels
            while end < n and end - x < 255 and not (end + 1 < n and row[end] == row[end + 1]):
                end += 1
            if end - x < 3:
                for v in row[x:end]:
                    out += bytes((1, v))
            else:
                out += bytes((0, end - x)) + bytes(row[x:end]) + (b'\0' if (end - x) % 2 else b'')
            x = end
        out += b'\0\0'
    out[-2:] = b'\0\1'
    return bytes(out)


def rgbquads(palette, entries):
    padded = list(palette) + [(0, 0, 0)] * (entries - len(palette))
    return b''.join(struct.pack('BBBB', b, g, r, 0) for r, g, b in padded)


def row_stride(w, bits):
    return ((w * bits + 31) // 32) * 4


def pack_rows(rows, bits):
    """Bottom-up DIB rows from top-down rows of small integers."""
    out = b''
    for row in reversed(rows):
        data = bytearray(row_stride(len(row), bits))
        for x, v in enumerate(row):
            if bits == 8:
                data[x] = v
            elif bits == 4:
                data[x // 2] |= v << (4 if x % 2 == 0 else 0)
            elif bits == 1:
                data[x // 8] |= v << (7 - x % 8)
        out += bytes(data)
    return out


def write_bmp(path, dib, colours):
    offset = 14 + 40 + 4 * colours
    with open(path, 'wb') as f:
        f.write(b'BM' + struct.pack('<IHHI', 14 + len(dib), 0, 0, offset) + dib)


def keyed_indices(pixels, size, key):
    """An 8-bit colour table with the key colour at entry 253 alone, and the rows as indices."""
    counts = colour_counts(pixels)
    palette, index = median_cut(counts, 255)
    slots = [i for i in range(256) if i != SETUP_KEY_INDEX][:len(palette)]
    table = [(0, 0, 0)] * 256
    for i, colour in zip(slots, palette):
        table[i] = colour
    table[SETUP_KEY_INDEX] = key
    assert table.count(key) == 1
    rows = [[SETUP_KEY_INDEX if p is None else slots[index[p]]
             for p in pixels[y * size:(y + 1) * size]] for y in range(size)]
    return table, rows


def setup_bmp(pixels):
    table, rows = keyed_indices(pixels, SIZE, MAGENTA)
    dib = info_header(SIZE, SIZE, 8) + rgbquads(table, 256) + pack_rows(rows, 8)
    preview = [[table[v] for v in row] for row in rows]
    return dib, preview


def scaled_bmp(pixels, size, key):
    """Another scale's skin: 8 bits, the key colour at entry 253 alone, run-length coded."""
    table, rows = keyed_indices(pixels, size, key)
    data = rle8(rows)
    dib = info_header(size, size, 8, len(data), BI_RLE8) + rgbquads(table, 256) + data
    return dib, [[table[v] for v in row] for row in rows]


def warning_bmp(pixels):
    rows = [[GREEN if p is None else p for p in pixels[y * SIZE:(y + 1) * SIZE]] for y in range(SIZE)]
    data = b''
    for row in reversed(rows):
        line = b''.join(struct.pack('BBB', b, g, r) for r, g, b in row)
        data += line + b'\0' * (row_stride(SIZE, 24) - len(line))
    return info_header(SIZE, SIZE, 24, len(data)) + data, rows


def icon_image(rows, bits):
    """One RT_ICON image: header (height doubled), colour table, XOR then AND bitmap."""
    size = len(rows)
    counts = colour_counts(p for row in rows for p in row)
    palette, index = median_cut(counts, (1 << bits) - 1)
    table = [(0, 0, 0)] + palette  # entry 0: black under the transparent mask
    xor = [[0 if p is None else 1 + index[p] for p in row] for row in rows]
    mask = [[1 if p is None else 0 for p in row] for row in rows]
    body = pack_rows(xor, bits) + pack_rows(mask, 1)
    image = info_header(size, size * 2, bits, len(body)) + rgbquads(table, 1 << bits) + body
    preview = [[None if p is None else table[v] for p, v in zip(prow, vrow)] for prow, vrow in zip(rows, xor)]
    return image, preview


def group_icon(entries):
    """RT_GROUP_ICON: [(size, bits, image bytes, id)]."""
    out = struct.pack('<HHH', 0, 1, len(entries))
    for size, bits, image, rid in entries:
        out += struct.pack('<BBBBHHIH', size % 256, size % 256, 16 if bits == 4 else 0, 0, 1, bits, len(image), rid)
    return out


def ico_file(entries):
    out = struct.pack('<HHH', 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for size, bits, image, _ in entries:
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 16 if bits == 4 else 0, 0, 1, bits, len(image), offset)
        offset += len(image)
    return out + b''.join(e[2] for e in entries)


def cursor_image():
    rows = [line for line in HAND.strip('\n').split('\n')]
    assert len(rows) == 32 and all(len(r) == 32 for r in rows)
    xor = [[1 if ch == 'o' else 0 for ch in row] for row in rows]
    mask = [[1 if ch == '.' else 0 for ch in row] for row in rows]
    body = pack_rows(xor, 1) + pack_rows(mask, 1)
    dib = info_header(32, 64, 1, len(body)) + rgbquads([(0, 0, 0), (255, 255, 255)], 2) + body
    preview = [[None if ch == '.' else ((255, 255, 255) if ch == 'o' else (0, 0, 0)) for ch in row] for row in rows]
    return struct.pack('<HH', *HOTSPOT) + dib, dib, preview


def alarm_wave():
    """Two-tone alarm, 11,264 frames at 22,050 Hz, with soft edges on every beep."""
    rate, frames = 22050, 11264
    beep = frames // 4
    samples = []
    for i in range(frames):
        n, t = i // beep, (i % beep) / rate
        length = beep / rate
        freq = 1480.0 if n % 2 == 0 else 1110.0
        ramp = 0.006
        env = min(1.0, t / ramp, max(0.0, (length - t)) / ramp)
        if t > length * 0.88:
            env = min(env, max(0.0, (length - t) / (length * 0.12)))
        v = math.sin(2 * math.pi * freq * t) + 0.3 * math.sin(2 * math.pi * 2 * freq * t)
        samples.append(int(round(v / 1.3 * 0.7 * 32767 * env)))
    data = struct.pack('<%dh' % frames, *samples)
    fmt = struct.pack('<HHIIHH', 1, 1, rate, rate * 2, 2, 16)
    pad = b'\0' * 12  # puts the samples on a 64-byte boundary
    body = b'WAVE' + b'fmt ' + struct.pack('<I', len(fmt)) + fmt + b'PAD ' + struct.pack('<I', len(pad)) + pad
    body += b'data' + struct.pack('<I', len(data)) + data
    return b'RIFF' + struct.pack('<I', len(body)) + body, samples


def png(path, rows, scale=1, checker=True):
    h, w = len(rows), len(rows[0])
    raw = b''
    for y in range(h * scale):
        line = bytearray(b'\0')
        for x in range(w * scale):
            p = rows[y // scale][x // scale]
            if p is None:
                p = (204, 204, 204) if checker and ((x // 4 + y // 4) % 2) else (255, 255, 255)
            line += bytes(p)
        raw += bytes(line)

    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff)
    with open(path, 'wb') as f:
        f.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w * scale, h * scale, 8, 2, 0, 0, 0))
                + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def waveform_rows(samples, w=600, h=120):
    rows = [[(255, 255, 255)] * w for _ in range(h)]
    per = len(samples) / w
    for x in range(w):
        chunk = samples[int(x * per):int((x + 1) * per)] or [0]
        lo, hi = min(chunk), max(chunk)
        for y in range(h):
            v = (h / 2 - y) / (h / 2) * 32768
            if lo <= v <= hi:
                rows[y][x] = (30, 60, 140)
    return rows


# ---------------------------------------------------------------- main

def render_scaled(job):
    name, percent = job
    size = (SIZE * percent + 50) // 100
    if name == 'kavribmp':
        return scaled_bmp(setup_skin(size), size, MAGENTA)
    return scaled_bmp(warning_skin(size), size, GREEN)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    here = os.path.dirname(os.path.abspath(__file__))
    parser.add_argument('--out', default=os.path.join(here, '..', 'res', 'assets'))
    parser.add_argument('--previews', help='also write PNG renderings here')
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)

    def put(name, data):
        with open(os.path.join(args.out, name), 'wb') as f:
            f.write(data)

    setup_dib, setup_preview = setup_bmp(setup_skin())
    write_bmp(os.path.join(args.out, 'kavribmp.bmp'), setup_dib, 256)
    warn_dib, warn_preview = warning_bmp(warning_skin())
    write_bmp(os.path.join(args.out, 'kavriwarn.bmp'), warn_dib, 0)

    previews = {'kavribmp': (setup_preview, 2), 'kavriwarn': (warn_preview, 2)}
    # Both skins again for 125, 150, 175 and 200 % (313, 375, 438 and 500 pixels), side by side.
    jobs = [(name, percent) for percent in SCALES for name in ('kavribmp', 'kavriwarn')]
    with multiprocessing.Pool(min(len(jobs), os.cpu_count() or 1)) as pool:
        for (name, percent), (dib, preview) in zip(jobs, pool.map(render_scaled, jobs)):
            write_bmp(os.path.join(args.out, '%s%d.bmp' % (name, percent)), dib, 256)
            previews['%s%d' % (name, percent)] = (preview, 1)
    # Group 2 holds images 1-6, WARNING 7-12 and KAVRICON 13-18: 48, 32, 16 px at 4 then 8 bits.
    next_id = 1
    for group, colours in (('group2', ORANGE_STAR), ('warning', RED_STAR), ('kavricon', ORANGE_STAR)):
        entries = []
        for bits in (4, 8):
            for size in (48, 32, 16):
                image, preview = icon_image(star_icon(size, *colours), bits)
                put('icon%02d.bin' % next_id, image)
                entries.append((size, bits, image, next_id))
                previews['%s-%d-%dbit' % (group, size, bits)] = (preview, 4)
                next_id += 1
        put('%s.grp' % group, group_icon(entries))
        put('%s.ico' % group, ico_file(entries))
    # The tray icon, images 20-26: drawn at every small-icon size from 100 to 300 %.
    entries = []
    for size in TRAY_SIZES:
        image, preview = icon_image(star_icon(size, *ORANGE_STAR), 8)
        put('icon%02d.bin' % (TRAY_FIRST_ID + len(entries)), image)
        entries.append((size, 8, image, TRAY_FIRST_ID + len(entries)))
        previews['kavritray-%d' % size] = (preview, 4)
    put('kavritray.grp', group_icon(entries))

    cursor, cursor_dib, cursor_preview = cursor_image()
    put('cursor19.bin', cursor)
    put('kavricur.grp', struct.pack('<HHH', 0, 2, 1) + struct.pack('<HHHHIH', 32, 64, 1, 1, len(cursor), 19))
    put('kavricur.cur', struct.pack('<HHH', 0, 2, 1) +
        struct.pack('<BBBBHHII', 32, 32, 0, 0, HOTSPOT[0], HOTSPOT[1], len(cursor_dib), 22) + cursor_dib)
    previews['kavricur'] = (cursor_preview, 6)

    wave, samples = alarm_wave()
    put('alarm.wav', wave)

    if args.previews:
        os.makedirs(args.previews, exist_ok=True)
        for name, (rows, scale) in previews.items():
            png(os.path.join(args.previews, name + '.png'), rows, scale)
        png(os.path.join(args.previews, 'alarm-waveform.png'), waveform_rows(samples), 1, False)


if __name__ == '__main__':
    main()
