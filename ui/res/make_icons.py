#!/usr/bin/env python3
"""make_icons.py - draws the program's icons (ostrel.ico, doc_page.ico) with
the standard library only; run it again after changing a picture."""
import math
import struct
import sys

SUPER = 4  # samples per pixel side, for smooth edges


def rounded_box(x, y, x0, y0, x1, y1, r):
    """Signed distance to a rounded rectangle (negative inside)."""
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r
    dx, dy = abs(x - cx) - hx, abs(y - cy) - hy
    outside = math.hypot(max(dx, 0), max(dy, 0))
    return outside + min(max(dx, dy), 0) - r


def circle(x, y, cx, cy, r):
    return math.hypot(x - cx, y - cy) - r


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(4))


def over(dst, src):
    """Porter-Duff source-over on straight-alpha RGBA floats (0..1)."""
    sa = src[3]
    da = dst[3] * (1 - sa)
    a = sa + da
    if a <= 0:
        return (0.0, 0.0, 0.0, 0.0)
    return tuple((src[i] * sa + dst[i] * da) / a for i in range(3)) + (a,)


def main_icon_sample(u, v):
    """Colour at (u, v) in a unit square: a blue tile, a folder, a green arrow."""
    px = (0.0, 0.0, 0.0, 0.0)
    tile = rounded_box(u, v, 0.04, 0.04, 0.96, 0.96, 0.18)
    if tile < 0:
        top, bottom = (0.20, 0.55, 0.95, 1.0), (0.05, 0.28, 0.66, 1.0)
        px = over(px, mix(top, bottom, v))
    # the folder: a tab and a body
    tab = rounded_box(u, v, 0.18, 0.26, 0.46, 0.40, 0.04)
    body = rounded_box(u, v, 0.18, 0.33, 0.82, 0.76, 0.05)
    if tab < 0 or body < 0:
        px = over(px, mix((1.0, 0.86, 0.40, 1.0), (0.96, 0.66, 0.12, 1.0), (v - 0.26) / 0.5))
    # a green badge with a white upward arrow: the files go out to friends
    badge = circle(u, v, 0.70, 0.70, 0.22)
    if badge < 0:
        px = over(px, mix((0.40, 0.85, 0.35, 1.0), (0.10, 0.55, 0.15, 1.0), (v - 0.48) / 0.44))
        stem = rounded_box(u, v, 0.665, 0.66, 0.735, 0.83, 0.01)
        head = max(v - 0.68, abs(u - 0.70) - (v - 0.55) * 0.9 - 0.0)
        if stem < 0 or (head < 0 and v > 0.55):
            px = over(px, (1.0, 1.0, 1.0, 1.0))
    return px


def doc_page_sample(u, v):
    """A white page with a folded corner and text lines, outlined in grey."""
    x0, y0, x1, y1, fold = 0.16, 0.04, 0.84, 0.96, 0.28
    if not (x0 <= u <= x1 and y0 <= v <= y1) or (u - (x1 - fold)) > (v - y0):
        return (0.0, 0.0, 0.0, 0.0)
    border = 0.07
    near_edge = (u - x0 < border or x1 - u < border or v - y0 < border or y1 - v < border
                 or (u - (x1 - fold)) > (v - y0) - border * 1.4)
    if near_edge:
        return (0.33, 0.37, 0.45, 1.0)
    if u > x1 - fold and v < y0 + fold:  # the folded-over corner
        return (0.80, 0.84, 0.90, 1.0)
    for line in (0.46, 0.62, 0.78):
        if abs(v - line) < 0.04 and 0.28 < u < 0.72:
            return (0.45, 0.55, 0.75, 1.0)
    return (1.0, 1.0, 1.0, 1.0)


def render(sample, size):
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SUPER):
                for sx in range(SUPER):
                    u = (x + (sx + 0.5) / SUPER) / size
                    v = (y + (sy + 0.5) / SUPER) / size
                    r, g, b, a = sample(u, v)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = SUPER * SUPER
            a = acc[3] / n
            if a > 0:
                rgb = [min(255, round(c / acc[3] * 255)) for c in acc[:3]]
            else:
                rgb = [0, 0, 0]
            row.append((rgb[0], rgb[1], rgb[2], round(a * 255)))
        rows.append(row)
    return rows


def bmp_entry(rows):
    """One icon image: BITMAPINFOHEADER, 32-bit BGRA rows bottom-up, AND mask."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((p[2], p[1], p[0], p[3])) for row in reversed(rows) for p in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, p in enumerate(row):
            if p[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + pixels + bytes(mask)


def write_ico(path, images):
    entries = [(len(rows), bmp_entry(rows)) for rows in images]
    out = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for size, data in entries:
        dim = 0 if size >= 256 else size
        out += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(data for _, data in entries)
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    folder = sys.argv[1] if len(sys.argv) > 1 else "."
    write_ico(folder + "/ostrel.ico", [render(main_icon_sample, s) for s in (128, 48, 32, 24, 16)])
    write_ico(folder + "/doc_page.ico", [render(doc_page_sample, 16)])
