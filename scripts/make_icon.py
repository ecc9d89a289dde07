#!/usr/bin/env python3
# Draws the program icon (a radio with a flash arrow) as PNG files:
#   scripts/make_icon.py FOLDER SIZE...  writes FOLDER/vexaload-SIZE.png
import zlib, struct, math, sys

def rrect(x, y, x0, y0, x1, y1, r):
    # inside test for a rounded rectangle
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r

def tri(x, y, a, b, c):
    def s(p, q, r):
        return (p[0] - r[0]) * (q[1] - r[1]) - (q[0] - r[0]) * (p[1] - r[1])
    d1, d2, d3 = s((x, y), a, b), s((x, y), b, c), s((x, y), c, a)
    neg = d1 < 0 or d2 < 0 or d3 < 0
    pos = d1 > 0 or d2 > 0 or d3 > 0
    return not (neg and pos)

# Shapes in a 0..1 square, painted in order; later ones cover earlier ones.
def colour_at(u, v):
    c = None
    if rrect(u, v, 0.04, 0.04, 0.96, 0.96, 0.18):
        t = v
        c = (int(24 + 20 * t), int(64 + 30 * t), int(112 + 40 * t), 255)
    # antenna
    if rrect(u, v, 0.60, 0.10, 0.67, 0.40, 0.03):
        c = (235, 240, 245, 255)
    # radio body
    if rrect(u, v, 0.30, 0.30, 0.70, 0.90, 0.07):
        c = (235, 240, 245, 255)
    # display
    if rrect(u, v, 0.36, 0.37, 0.64, 0.52, 0.03):
        c = (40, 80, 130, 255)
    # speaker grille
    for k in range(3):
        y0 = 0.58 + k * 0.07
        if rrect(u, v, 0.38, y0, 0.62, y0 + 0.035, 0.015):
            c = (150, 165, 180, 255)
    # flash arrow (orange), pointing down into the radio
    if rrect(u, v, 0.10, 0.18, 0.22, 0.50, 0.02) or tri(u, v, (0.03, 0.48), (0.29, 0.48), (0.16, 0.66)):
        c = (245, 150, 30, 255)
    return c

def render(size, ss=4):
    rows = []
    for y in range(size):
        row = bytearray([0])
        for x in range(size):
            acc = [0, 0, 0, 0]
            for j in range(ss):
                for i in range(ss):
                    c = colour_at((x + (i + 0.5) / ss) / size, (y + (j + 0.5) / ss) / size)
                    if c:
                        a = c[3]
                        acc[0] += c[0] * a; acc[1] += c[1] * a; acc[2] += c[2] * a; acc[3] += a
            n = ss * ss
            a = acc[3] / n
            if acc[3]:
                px = [round(acc[0] / acc[3]), round(acc[1] / acc[3]), round(acc[2] / acc[3]), round(a)]
            else:
                px = [0, 0, 0, 0]
            row += bytes(px)
        rows.append(bytes(row))
    raw = b''.join(rows)
    def chunk(t, d):
        return struct.pack('>I', len(d)) + t + d + struct.pack('>I', zlib.crc32(t + d) & 0xffffffff)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))

for s in (int(a) for a in sys.argv[2:]):
    open(f"{sys.argv[1]}/vexaload-{s}.png", 'wb').write(render(s))
