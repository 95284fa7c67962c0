#!/usr/bin/env python3
"""Draws Brenvik's toolbar images, bitmaps and icons into qtplatform/res/.

Every picture is drawn here from simple shapes, so the program carries no
image taken from elsewhere. Toolbar images are 16 x 15 pixels, laid side by
side in one strip per toolbar, in the order of the toolbar's buttons that
show an image (qtplatform/Resources.cpp lists them). Run it after a change and
commit the PNG files it writes; it needs nothing beyond the standard library.
"""
import math
import pathlib
import struct
import zlib

TW, TH = 16, 15

K = (0, 0, 0, 255)
DG = (64, 64, 64, 255)
G = (128, 128, 128, 255)
LG = (192, 192, 192, 255)
W = (255, 255, 255, 255)
R = (210, 30, 30, 255)
B = (30, 70, 200, 255)
LB = (120, 170, 240, 255)
GR = (20, 140, 50, 255)
Y = (240, 200, 40, 255)
O = (230, 130, 20, 255)
BR = (150, 100, 40, 255)


class Canvas:
    def __init__(self, w, h):
        self.w, self.h = w, h
        self.px = [[(0, 0, 0, 0)] * w for _ in range(h)]

    def dot(self, x, y, c):
        x, y = int(round(x)), int(round(y))
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def line(self, x0, y0, x1, y1, c, dash=0):
        x0, y0, x1, y1 = int(x0), int(y0), int(x1), int(y1)
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
        err, n = dx + dy, 0
        while True:
            if not dash or (n // dash) % 2 == 0:
                self.dot(x0, y0, c)
            n += 1
            if x0 == x1 and y0 == y1:
                return
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy

    def poly(self, pts, c, closed=False, dash=0):
        for a, b in zip(pts, pts[1:] + (pts[:1] if closed else [])):
            self.line(a[0], a[1], b[0], b[1], c, dash)

    def rect(self, x0, y0, x1, y1, c, dash=0):
        self.poly([(x0, y0), (x1, y0), (x1, y1), (x0, y1)], c, True, dash)

    def fill(self, x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.dot(x, y, c)

    def fill_poly(self, pts, c):
        ys = [p[1] for p in pts]
        for y in range(int(min(ys)), int(max(ys)) + 1):
            yc = y + 0.5
            xs = []
            for a, b in zip(pts, pts[1:] + pts[:1]):
                if (a[1] <= yc < b[1]) or (b[1] <= yc < a[1]):
                    xs.append(a[0] + (yc - a[1]) * (b[0] - a[0]) / (b[1] - a[1]))
            xs.sort()
            for i in range(0, len(xs) - 1, 2):
                for x in range(int(math.ceil(xs[i] - 0.5)), int(math.floor(xs[i + 1] - 0.5)) + 1):
                    self.dot(x, y, c)

    def ellipse(self, cx, cy, rx, ry, c, filled=None, a0=0.0, a1=360.0):
        if filled:
            for y in range(int(cy - ry), int(cy + ry) + 1):
                for x in range(int(cx - rx), int(cx + rx) + 1):
                    if ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0:
                        self.dot(x, y, filled)
        steps = max(24, int(8 * (rx + ry)))
        for i in range(steps + 1):
            t = math.radians(a0 + (a1 - a0) * i / steps)
            self.dot(cx + rx * math.cos(t), cy - ry * math.sin(t), c)

    def bezier(self, p0, p1, p2, p3, c):
        for i in range(41):
            t = i / 40
            u = 1 - t
            x = u ** 3 * p0[0] + 3 * u * u * t * p1[0] + 3 * u * t * t * p2[0] + t ** 3 * p3[0]
            y = u ** 3 * p0[1] + 3 * u * u * t * p1[1] + 3 * u * t * t * p2[1] + t ** 3 * p3[1]
            self.dot(x, y, c)

    def arrow_head(self, x, y, dx, dy, c, size=3):
        # A filled head pointing along (dx, dy) with its tip at (x, y).
        n = math.hypot(dx, dy)
        ux, uy = dx / n, dy / n
        bx, by = x - ux * size, y - uy * size
        self.fill_poly([(x + ux * 0.5, y + uy * 0.5), (bx - uy * size, by + ux * size),
                        (bx + uy * size, by - ux * size)], c)

    def blit(self, other, ox, oy):
        for y in range(other.h):
            for x in range(other.w):
                if other.px[y][x][3]:
                    self.dot(ox + x, oy + y, other.px[y][x])

    def png(self):
        raw = b"".join(b"\x00" + b"".join(bytes(p) for p in row) for row in self.px)

        def chunk(tag, data):
            return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data))

        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", self.w, self.h, 8, 6, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


# A small pixel font for the few characters the pictures carry.
GLYPHS = {
    "1": ["010", "110", "010", "010", "111"],
    "2": ["110", "001", "010", "100", "111"],
    "3": ["110", "001", "010", "001", "110"],
    "?": ["01110", "10001", "00010", "00100", "00000", "00100"],
    "w": ["1000001", "1000001", "1001001", "1001001", "1010101", "0100010"],
    "h": ["100", "100", "110", "101", "101"],
    "x": ["000", "101", "010", "010", "101"],
}


def text(cv, x, y, s, c, scale=1):
    for ch in s:
        for j, row in enumerate(GLYPHS[ch]):
            for i, bit in enumerate(row):
                if bit == "1":
                    cv.fill(x + i * scale, y + j * scale, x + i * scale + scale - 1, y + j * scale + scale - 1, c)
        x += (len(GLYPHS[ch][0]) + 1) * scale


# ---- pictures -------------------------------------------------------------

def select_arrow(cv, ox=0, oy=0, c=K):
    pts = [(3 + ox, 1 + oy), (3 + ox, 12 + oy), (6 + ox, 9 + oy), (8 + ox, 13 + oy), (10 + ox, 12 + oy),
           (8 + ox, 8 + oy), (12 + ox, 8 + oy)]
    cv.fill_poly(pts, c)
    cv.poly(pts, c, True)


def tool_select(cv):
    select_arrow(cv)


def tool_node(cv):
    pts = [(3, 1), (3, 12), (6, 9), (8, 13), (10, 12), (8, 8), (12, 8)]
    cv.fill_poly(pts, W)
    cv.poly(pts, K, True)
    cv.fill(11, 11, 14, 14, B)


def tool_polyline(cv):
    pts = [(1, 13), (5, 3), (10, 11), (14, 2)]
    cv.poly(pts, B)
    for x, y in pts:
        cv.fill(x - 1, y - 1, x + 1, y + 1, K)


def tool_bezier(cv):
    cv.bezier((1, 12), (4, -2), (11, 16), (14, 2), B)
    cv.line(1, 12, 4, 5, G)
    cv.line(14, 2, 11, 9, G)
    for x, y in [(1, 12), (14, 2)]:
        cv.fill(x - 1, y - 1, x + 1, y + 1, K)
    cv.fill(4, 5, 4, 5, R)
    cv.fill(11, 9, 11, 9, R)


def tool_rect(cv):
    cv.rect(2, 3, 13, 11, K)
    cv.fill(3, 4, 12, 10, LB)


def tool_ellipse(cv):
    cv.ellipse(7.5, 7, 6.5, 5.5, K, filled=LB)


def tool_text(cv):
    for d in (0, 1):
        cv.line(3 + d, 13, 7 + d, 1, K)
        cv.line(8 + d, 1, 12 + d, 13, K)
    cv.line(5, 9, 10, 9, K)


def page(cv, x0, y0, x1, y1):
    pts = [(x0, y0), (x1 - 3, y0), (x1, y0 + 3), (x1, y1), (x0, y1)]
    cv.fill_poly(pts, W)
    cv.poly(pts, K, True)
    cv.poly([(x1 - 3, y0), (x1 - 3, y0 + 3), (x1, y0 + 3)], K)


def main_new(cv):
    page(cv, 3, 1, 12, 14)
    cv.fill(13, 0, 13, 2, Y)
    cv.fill(12, 1, 14, 1, Y)


def main_open(cv):
    cv.fill_poly([(1, 4), (5, 4), (6, 5), (12, 5), (12, 13), (1, 13)], Y)
    cv.poly([(1, 4), (5, 4), (6, 5), (12, 5), (12, 13), (1, 13)], BR, True)
    cv.fill_poly([(3, 8), (15, 8), (12, 13), (1, 13)], O)
    cv.poly([(3, 8), (15, 8), (12, 13), (1, 13)], BR, True)


def main_save(cv):
    cv.fill(1, 1, 14, 13, B)
    cv.rect(1, 1, 14, 13, K)
    cv.fill(4, 2, 11, 6, W)
    cv.fill(5, 9, 10, 12, LG)
    cv.fill(8, 10, 9, 11, K)


def main_cut(cv):
    cv.line(4, 1, 9, 9, K)
    cv.line(11, 1, 6, 9, K)
    cv.ellipse(4, 11, 2.5, 2.5, B)
    cv.ellipse(11, 11, 2.5, 2.5, B)


def main_copy(cv):
    page(cv, 1, 1, 9, 10)
    page(cv, 6, 4, 14, 14)


def main_paste(cv):
    cv.fill(2, 2, 11, 14, BR)
    cv.rect(2, 2, 11, 14, K)
    cv.fill(5, 1, 8, 3, G)
    page(cv, 7, 6, 15, 14)


def main_print(cv):
    cv.fill(4, 1, 11, 6, W)
    cv.rect(4, 1, 11, 6, K)
    cv.fill(1, 6, 14, 11, LG)
    cv.rect(1, 6, 14, 11, K)
    cv.fill(4, 10, 11, 14, W)
    cv.rect(4, 10, 11, 14, K)
    cv.dot(12, 8, GR)


def curved_arrow(cv, mirror):
    def m(x):
        return 15 - x if mirror else x
    for i in range(0, 19):
        t = math.radians(180 - i * 10)
        cv.dot(m(8 + 5 * math.cos(t)), 9 - 5 * math.sin(t), B)
        cv.dot(m(8 + 4 * math.cos(t)), 9 - 4 * math.sin(t), B)
    cv.arrow_head(m(3.5), 12, 0, 1, B)


def main_undo(cv):
    curved_arrow(cv, False)


def main_redo(cv):
    curved_arrow(cv, True)


def magnifier(cv, cx=6, cy=6, r=4.5):
    cv.ellipse(cx, cy, r, r, K, filled=LB)
    cv.line(cx + 3, cy + 3, cx + 7, cy + 7, K)
    cv.line(cx + 4, cy + 3, cx + 8, cy + 7, K)


def main_zoom(cv):
    magnifier(cv)


def main_pan(cv):
    cv.line(7, 1, 7, 13, K)
    cv.line(1, 7, 13, 7, K)
    cv.arrow_head(7, 0, 0, -1, K, 2)
    cv.arrow_head(7, 14, 0, 1, K, 2)
    cv.arrow_head(0, 7, -1, 0, K, 2)
    cv.arrow_head(14, 7, 1, 0, K, 2)


def main_zoom_area(cv):
    cv.rect(1, 2, 14, 12, G)
    cv.fill(2, 3, 13, 11, W)
    cv.line(1, 2, 4, 2, R)
    cv.line(1, 2, 1, 5, R)
    magnifier(cv, 6, 6, 3)


def main_zoom_all(cv):
    cv.rect(1, 1, 7, 6, B)
    cv.ellipse(11, 4, 3, 3, GR)
    cv.poly([(2, 13), (6, 8), (10, 13)], R, True)
    cv.line(12, 9, 14, 13, K)


def main_import(cv):
    cv.fill(2, 7, 13, 14, LG)
    cv.rect(2, 7, 13, 14, K)
    cv.line(7, 0, 7, 9, GR)
    cv.line(8, 0, 8, 9, GR)
    cv.arrow_head(7.5, 11, 0, 1, GR, 3)


def small_shapes(cv, dx):
    cv.rect(2 - dx, 3, 6 - dx, 7, B)
    cv.ellipse(10 + dx, 9, 2.5, 2.5, R)


def group_group(cv):
    cv.rect(0, 1, 14, 13, G, dash=2)
    small_shapes(cv, 0)


def group_ungroup(cv):
    small_shapes(cv, 1)
    cv.rect(0, 1, 14, 13, LG, dash=1)


def group_ungroup_all(cv):
    cv.rect(1, 1, 5, 5, B)
    cv.ellipse(11, 3, 2.5, 2.5, R)
    cv.poly([(2, 13), (5, 8), (8, 13)], GR, True)
    cv.rect(10, 9, 14, 13, O)


def group_order(cv):
    text(cv, 1, 2, "1", K)
    text(cv, 10, 8, "2", K)
    cv.line(5, 5, 9, 9, R)
    cv.arrow_head(9.5, 9.5, 1, 1, R, 2)


def group_travel(cv):
    cv.rect(0, 0, 4, 4, B)
    cv.rect(10, 9, 14, 13, B)
    cv.line(4, 4, 10, 9, R, dash=1)


def group_start(cv):
    cv.ellipse(8, 8, 5.5, 5.5, K)
    cv.fill(1, 7, 3, 9, R)
    cv.arrow_head(8, 2.5, 1, 0, GR, 3)


def group_grid(cv):
    for v in (1, 5, 9, 13):
        cv.line(v, 1, v, 13, G)
        cv.line(1, v, 13, v, G)


def table(cv):
    cv.rect(1, 1, 14, 13, K)


def place_lower(cv):
    table(cv)
    cv.fill(5, 8, 10, 12, B)


def place_upper(cv):
    table(cv)
    cv.fill(5, 2, 10, 6, B)


def place_centre(cv):
    table(cv)
    cv.fill(5, 5, 10, 9, B)
    cv.line(7, 0, 7, 14, R, dash=1)


def chain(cv, linked):
    gap = 0 if linked else 2
    cv.ellipse(4 - gap / 2, 7, 3.5, 2.5, K)
    cv.ellipse(11 + gap / 2, 7, 3.5, 2.5, K)
    if linked:
        cv.line(5, 7, 10, 7, K)


def prop_off(cv):
    chain(cv, False)


def prop_on(cv):
    chain(cv, True)
    cv.line(0, 13, 15, 13, B)


def drag_row(cv):
    # The manual order list's drag picture: an arrow carrying a row.
    select_arrow(cv)
    cv.fill(6, 10, 15, 14, G)
    cv.rect(6, 10, 15, 14, K)


def align_mirror_lr(cv):
    cv.line(7, 0, 7, 14, G, dash=1)
    cv.fill_poly([(1, 11), (6, 3), (6, 11)], B)
    cv.poly([(14, 11), (9, 3), (9, 11)], B, True)


def align_mirror_tb(cv):
    cv.line(0, 7, 15, 7, G, dash=1)
    cv.fill_poly([(3, 1), (12, 6), (3, 6)], B)
    cv.poly([(3, 13), (12, 8), (3, 8)], B, True)


def bars_h(cv, kind):
    # Two horizontal bars aligned left, centred or right on a guide line.
    for y, ln in ((3, 11), (9, 6)):
        if kind == "l":
            x0 = 2
        elif kind == "c":
            x0 = 7 - ln // 2
        else:
            x0 = 13 - ln
        cv.fill(x0, y, x0 + ln, y + 3, LB)
        cv.rect(x0, y, x0 + ln, y + 3, B)
    gx = {"l": 1, "c": 7, "r": 14}[kind]
    cv.line(gx, 0, gx, 14, K)


def bars_v(cv, kind):
    for x, ln in ((3, 11), (9, 6)):
        if kind == "t":
            y0 = 2
        elif kind == "m":
            y0 = 7 - ln // 2
        else:
            y0 = 12 - ln
        cv.fill(x, y0, x + 3, y0 + ln, LB)
        cv.rect(x, y0, x + 3, y0 + ln, B)
    gy = {"t": 1, "m": 7, "b": 13}[kind]
    cv.line(0, gy, 15, gy, K)


def path_merge(cv):
    cv.poly([(1, 12), (4, 4), (8, 8)], B)
    cv.poly([(8, 8), (11, 3), (14, 11)], GR)
    cv.fill(7, 7, 9, 9, R)


def path_unite(cv):
    cv.bezier((1, 12), (2, 2), (6, 2), (7, 7), B)
    cv.bezier((8, 7), (9, 12), (13, 12), (14, 2), GR)
    cv.arrow_head(7, 7, 1, 0, R, 2)


def path_overlap(cv):
    cv.line(1, 5, 14, 5, B)
    cv.line(1, 6, 14, 6, GR)
    cv.line(9, 9, 14, 14, R)
    cv.line(14, 9, 9, 14, R)


def path_dashed(cv):
    cv.line(1, 13, 14, 1, K, dash=2)
    cv.line(2, 13, 15, 1, K, dash=2)


def path_reverse(cv):
    cv.ellipse(7.5, 7, 5.5, 5, B, a0=20, a1=160)
    cv.ellipse(7.5, 7, 5.5, 5, GR, a0=200, a1=340)
    cv.arrow_head(2, 6, 0, 1, B, 2)
    cv.arrow_head(13, 8, 0, -1, GR, 2)


def path_offset(cv):
    cv.rect(1, 1, 14, 13, G)
    cv.rect(4, 4, 11, 10, B)


def path_smooth(cv):
    cv.poly([(1, 7), (3, 3), (5, 8), (7, 3)], G)
    cv.bezier((7, 3), (10, -1), (10, 13), (14, 8), B)


def path_invert(cv):
    cv.fill(1, 1, 7, 13, K)
    cv.fill(8, 1, 14, 13, W)
    cv.rect(1, 1, 14, 13, K)
    cv.ellipse(7.5, 7, 3, 3, G)


def path_microjoint(cv):
    cv.poly([(5, 2), (13, 2), (13, 12), (2, 12), (2, 5)], B)
    cv.fill(3, 2, 4, 2, W)


def path_lead(cv):
    cv.ellipse(9, 8, 5, 5, B)
    cv.line(1, 1, 5, 5, R)
    cv.arrow_head(5.5, 5.5, 1, 1, R, 2)


def help_mark(cv):
    cv.ellipse(7.5, 7, 7, 7, B, filled=B)
    text(cv, 5, 3, "?", W)
    cv.line(6, 3, 8, 3, W)


def icon_app(cv, s):
    # A laser head over a workpiece, its beam and a spark.
    f = s / 32.0

    def P(x, y):
        return (x * f, y * f)

    cv.fill_poly([P(8, 2), P(24, 2), P(24, 10), P(19, 17), P(13, 17), P(8, 10)], LG)
    cv.poly([P(8, 2), P(24, 2), P(24, 10), P(19, 17), P(13, 17), P(8, 10)], DG, True)
    cv.fill_poly([P(15, 17), P(17, 17), P(17, 25), P(15, 25)], R)
    cv.fill_poly([P(2, 26), P(30, 26), P(30, 30), P(2, 30)], B)
    cv.fill_poly([P(13, 24), P(19, 24), P(16, 28)], Y)


def icon_width(cv):
    text(cv, 4, 3, "w", K)
    cv.line(1, 13, 14, 13, B)
    cv.arrow_head(0, 13, -1, 0, B, 2)
    cv.arrow_head(15, 13, 1, 0, B, 2)


def icon_height(cv):
    text(cv, 6, 2, "h", K, 2)
    cv.line(2, 1, 2, 14, B)
    cv.arrow_head(2, 0, 0, -1, B, 2)
    cv.arrow_head(2, 15, 0, 1, B, 2)


def icon_prop(cv):
    cv.rect(1, 1, 11, 9, G)
    cv.rect(4, 5, 14, 14, B)
    cv.line(1, 1, 14, 14, R, dash=1)


def icon_rotate(cv, a0):
    # A quarter turn with a head at each end, bulging away from the box
    # corner the handle stands at (a0: the quarter's first angle, y up); its
    # centre lies towards the box.
    mid = math.radians(a0 + 45.0)
    cx, cy, r = 7.5 - 6.0 * math.cos(mid), 7.5 + 6.0 * math.sin(mid), 8.0
    cv.ellipse(cx, cy, r, r, K, a0=a0 + 12.0, a1=a0 + 78.0)
    for a, turn in ((a0 + 12.0, -1), (a0 + 78.0, 1)):
        t = math.radians(a)
        x, y = cx + r * math.cos(t), cy - r * math.sin(t)
        # Along the tangent, pointing away from the arc.
        dx, dy = -math.sin(t) * turn, -math.cos(t) * turn
        cv.arrow_head(x + 2 * dx, y + 2 * dy, dx, dy, K, 2)


def icon_skew(cv, horizontal):
    # A double arrow along the edge the handle shears.
    if horizontal:
        cv.line(3, 7, 12, 7, K)
        cv.arrow_head(1, 7, -1, 0, K, 2)
        cv.arrow_head(14, 7, 1, 0, K, 2)
    else:
        cv.line(7, 3, 7, 12, K)
        cv.arrow_head(7, 1, 0, -1, K, 2)
        cv.arrow_head(7, 14, 0, 1, K, 2)


def big_arrow(cv, direction):
    # A thick arrow of the jog buttons, drawn pointing right and turned.
    shape = [(6, 13), (17, 13), (17, 7), (27, 16), (17, 25), (17, 19), (6, 19)]

    def turn(p):
        x, y = p
        if direction == "left":
            return (32 - x, y)
        if direction == "up":
            return (y, 32 - x)
        if direction == "down":
            return (y, x)
        return (x, y)

    pts = [turn(p) for p in shape]
    cv.fill_poly(pts, B)
    cv.poly(pts, DG, True)


def circling_arrow(cv):
    # Three quarters of a ring with a head: the jog buttons' return to origin.
    for r in (8, 9, 10):
        cv.ellipse(16, 16, r, r, B, a0=0.0, a1=270.0)
    cv.arrow_head(21, 25, 1, 0, B, 4)


def page_arrow(cv, left):
    # The palette bar's page buttons: a triangle pointing the way the pages turn.
    pts = [(20, 7), (20, 25), (10, 16)] if left else [(12, 7), (12, 25), (22, 16)]
    cv.fill_poly(pts, DG)
    cv.poly(pts, K, True)


# ---- what goes where ------------------------------------------------------

TOOLBARS = {
    130: [tool_select, tool_node, tool_polyline, tool_bezier, tool_rect, tool_ellipse, tool_text],
    128: [main_new, main_open, main_save, main_cut, main_copy, main_paste, main_print, main_undo, main_redo,
          main_zoom, main_pan, main_zoom_area, main_zoom_all, main_import],
    196: [group_group, group_ungroup, group_ungroup_all, group_order, group_travel, group_start, group_grid],
    238: [place_lower, place_upper, place_centre],
    180: [prop_off],
    189: [align_mirror_lr, align_mirror_tb, lambda c: bars_h(c, "l"), lambda c: bars_h(c, "c"),
          lambda c: bars_h(c, "r"), lambda c: bars_v(c, "t"), lambda c: bars_v(c, "m"), lambda c: bars_v(c, "b")],
    210: [path_merge, path_unite, path_overlap, path_dashed, path_reverse, path_offset, path_smooth, path_invert],
}

# 16 x 15 bitmaps: the proportion toggle's "on" image, the order list's drag
# picture, the Help item's mark
# and the ten Tools items (merge, unite, micro-joints, overlaps, dashes,
# lead lines, reverse, offset, smooth, invert).
BITMAPS = {217: prop_on, 220: drag_row, 260: help_mark}
for n, f in enumerate([path_merge, path_unite, path_microjoint, path_overlap, path_dashed, path_lead,
                       path_reverse, path_offset, path_smooth, path_invert]):
    BITMAPS[262 + n] = f

# The transform handles of the select tool: rotation at the four corners
# (243 upper left, 244 lower left, 245 upper right, 246 lower right) and skew
# at the edges (247 upper and lower, 248 left and right).
ICONS = {228: icon_width, 229: icon_height, 230: icon_prop,
         243: lambda c: icon_rotate(c, 90.0), 244: lambda c: icon_rotate(c, 180.0),
         245: lambda c: icon_rotate(c, 0.0), 246: lambda c: icon_rotate(c, 270.0),
         247: lambda c: icon_skew(c, True), 248: lambda c: icon_skew(c, False)}

# 32 x 32 icons: the palette bar's page buttons and the arrows of the jog
# buttons (left, right, up, down, back to origin).
ICONS32 = {137: lambda c: page_arrow(c, True), 138: lambda c: page_arrow(c, False),
           202: lambda c: big_arrow(c, "left"), 203: lambda c: big_arrow(c, "right"),
           204: lambda c: big_arrow(c, "up"), 205: lambda c: big_arrow(c, "down"), 234: circling_arrow}


# ---- cursors (32 x 32, hot spot given with each) ---------------------------

def cursor_arrow(cv):
    pts = [(1, 1), (1, 17), (5, 13), (8, 20), (11, 19), (8, 12), (13, 12)]
    cv.fill_poly(pts, W)
    cv.poly(pts, K, True)


def cursor_node(cv):
    # The arrow with a four-way cross: a node can be moved.
    cursor_arrow(cv)
    cv.line(21, 12, 21, 28, K)
    cv.line(13, 20, 29, 20, K)
    cv.arrow_head(21, 11, 0, -1, K, 2)
    cv.arrow_head(21, 29, 0, 1, K, 2)
    cv.arrow_head(12, 20, -1, 0, K, 2)
    cv.arrow_head(30, 20, 1, 0, K, 2)


def cursor_segment(cv):
    # The arrow with a small curve: a segment can be bent or split.
    cursor_arrow(cv)
    cv.bezier((14, 27), (17, 17), (24, 29), (28, 18), K)
    cv.rect(13, 26, 15, 28, K)
    cv.rect(27, 17, 29, 19, K)


def cursor_zoom(cv):
    cv.ellipse(11, 11, 8, 8, K, filled=W)
    cv.line(7, 11, 15, 11, K)
    cv.line(11, 7, 11, 15, K)
    for d in range(3):
        cv.line(17 + d, 16, 26 + d, 25, K)
        cv.line(16, 17 + d, 25, 26 + d, K)


def cursor_hand(cv):
    # An open hand, the palm below the fingers.
    cv.fill(9, 14, 23, 26, W)
    cv.rect(9, 14, 23, 26, K)
    for x0, top in ((9, 6), (13, 4), (17, 5), (21, 8)):
        cv.fill(x0, top, x0 + 3, 14, W)
        cv.rect(x0, top, x0 + 3, 15, K)
    cv.fill(4, 15, 8, 19, W)
    cv.rect(4, 15, 9, 20, K)
    cv.fill(10, 15, 22, 25, W)


# Cursor id: (picture, hot spot x, hot spot y).
CURSORS = {159: (cursor_zoom, 11, 11), 249: (cursor_arrow, 1, 1), 250: (cursor_segment, 1, 1),
           251: (cursor_node, 1, 1), 261: (cursor_hand, 16, 16)}


def main():
    root = pathlib.Path(__file__).resolve().parents[2] / "qtplatform" / "res"
    for sub in ("toolbar", "bitmap", "icon", "cursor"):
        (root / sub).mkdir(parents=True, exist_ok=True)
    for tid, pics in TOOLBARS.items():
        strip = Canvas(TW * len(pics), TH)
        for i, pic in enumerate(pics):
            one = Canvas(TW, TH)
            pic(one)
            strip.blit(one, i * TW, 0)
        (root / "toolbar" / f"{tid}.png").write_bytes(strip.png())
    for bid, pic in BITMAPS.items():
        one = Canvas(TW, TH)
        pic(one)
        (root / "bitmap" / f"{bid}.png").write_bytes(one.png())
    for iid, pic in ICONS.items():
        one = Canvas(16, 16)
        pic(one)
        (root / "icon" / f"{iid}.png").write_bytes(one.png())
    for iid, pic in ICONS32.items():
        one = Canvas(32, 32)
        pic(one)
        (root / "icon" / f"{iid}.png").write_bytes(one.png())
    for cid, (pic, _, _) in CURSORS.items():
        one = Canvas(32, 32)
        pic(one)
        (root / "cursor" / f"{cid}.png").write_bytes(one.png())
    for size in (16, 32):
        one = Canvas(size, size)
        icon_app(one, size)
        (root / "icon" / f"128-{size}.png").write_bytes(one.png())


if __name__ == "__main__":
    main()
