#!/usr/bin/env python3
"""Draws Quellmark's pictures: the program icon (32 x 32 in the 16 classic colours, plus
smooth renderings at 48, 64, 128 and 256 pixels, and the same drawing as SVG) and the message
dialog's 53 x 39 error sign, at that size and at twice it for screens scaled by two, on a
transparent ground so that the dialog's own colour shows around it.

Everything is plain geometry in Python, written as PPM/PGM and turned into PNG by ImageMagick's
`convert`, so the pictures can be remade and changed here rather than in a paint program:

    python3 resources/make_artwork.py
"""

import math
import os
import random
import subprocess
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))

# The 16 colours of the classic PC palette; the 32-pixel icon uses nothing else.
PALETTE = {
    "black": (0, 0, 0), "maroon": (128, 0, 0), "green": (0, 128, 0), "olive": (128, 128, 0),
    "navy": (0, 0, 128), "purple": (128, 0, 128), "teal": (0, 128, 128),
    "silver": (192, 192, 192), "gray": (128, 128, 128), "red": (255, 0, 0),
    "lime": (0, 255, 0), "yellow": (255, 255, 0), "blue": (0, 0, 255),
    "fuchsia": (255, 0, 255), "aqua": (0, 255, 255), "white": (255, 255, 255),
}


# --- shapes: each answers whether a point (in the drawing's own units) lies inside ----------

# The icon's shapes can also write themselves as SVG, so the scalable icon is the same drawing.

def rect(x0, y0, x1, y1):
    inside = lambda x, y: x0 <= x < x1 and y0 <= y < y1
    inside.svg = lambda fill: '<rect x="%g" y="%g" width="%g" height="%g" fill="%s"/>' % (
        x0, y0, x1 - x0, y1 - y0, fill)
    return inside


def polygon(points):
    def inside(x, y):
        hit = False
        j = len(points) - 1
        for i, (xi, yi) in enumerate(points):
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                hit = not hit
            j = i
        return hit
    inside.svg = lambda fill: '<polygon points="%s" fill="%s"/>' % (
        " ".join("%g,%g" % point for point in points), fill)
    return inside


def disc(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 < r * r


def bar(x0, y0, x1, y1, half_width):
    """A straight stroke from (x0, y0) to (x1, y1) with square ends."""
    dx, dy = x1 - x0, y1 - y0
    length = math.hypot(dx, dy)
    ux, uy = dx / length, dy / length

    def inside(x, y):
        px, py = x - x0, y - y0
        along = px * ux + py * uy
        across = -px * uy + py * ux
        return 0 <= along <= length and abs(across) <= half_width
    return inside


# --- the icon: a file cut into three numbered parts, each moved a step to the right ---------

def icon_shapes():
    """Paint order, bottom first, in a 32-unit square."""
    shapes = []
    tabs = ["red", "lime", "blue"]
    for i, (top, bottom) in enumerate([(3, 11), (12, 20), (21, 29)]):
        left = 3 + 4 * i
        right = left + 19
        if i == 0:
            # The first part carries the folded corner of the page.
            outline = polygon([(left, top), (right - 5, top), (right, top + 5), (right, bottom),
                               (left, bottom)])
            paper = polygon([(left + 1, top + 1), (right - 5.4, top + 1), (right - 1, top + 5.4),
                             (right - 1, bottom - 1), (left + 1, bottom - 1)])
            shapes += [(outline, "black"), (paper, "white"),
                       (polygon([(right - 5, top), (right - 5, top + 5), (right, top + 5)]),
                        "black"),
                       (polygon([(right - 4, top + 1.6), (right - 4, top + 4),
                                 (right - 1.6, top + 4)]), "silver")]
        else:
            shapes += [(rect(left, top, right, bottom), "black"),
                       (rect(left + 1, top + 1, right - 1, bottom - 1), "white")]
        # A coloured tab for the part's number, and two lines of text.
        shapes.append((rect(left + 2, top + 2, left + 5, bottom - 2), tabs[i]))
        shapes.append((rect(left + 7, top + 2.5, right - (7 if i == 0 else 3), top + 3.5),
                       "navy"))
        shapes.append((rect(left + 7, top + 4.5, right - 4, top + 5.5), "navy"))
    return shapes


def render(shapes, width, height, scale, samples, background=None):
    """Supersamples the shapes; returns rows of (r, g, b, coverage) and, per pixel, the colour
    name most of its samples hit (None where the background shows)."""
    pixels, names = [], []
    step = 1.0 / samples
    for py in range(height):
        row, name_row = [], []
        for px in range(width):
            totals = [0.0, 0.0, 0.0]
            hits = 0
            votes = {}
            for sy in range(samples):
                for sx in range(samples):
                    x = (px + (sx + 0.5) * step) / scale
                    y = (py + (sy + 0.5) * step) / scale
                    colour = None
                    for inside, name in reversed(shapes):
                        if inside(x, y):
                            colour = name
                            break
                    votes[colour] = votes.get(colour, 0) + 1
                    rgb = None
                    if colour is not None:
                        rgb = PALETTE[colour] if isinstance(colour, str) else colour
                        hits += 1
                    elif background is not None:
                        rgb = background
                    if rgb is not None:
                        for k in range(3):
                            totals[k] += rgb[k]
            n = samples * samples
            covered = hits if background is None else n
            if covered:
                row.append(tuple(int(round(t / covered)) for t in totals) + (hits / n,))
            else:
                row.append((0, 0, 0, 0.0))
            name_row.append(max(votes, key=votes.get))
        pixels.append(row)
        names.append(name_row)
    return pixels, names


def write_png(path, width, height, rgb_rows, alpha_rows=None, indexed=False):
    with tempfile.TemporaryDirectory() as tmp:
        ppm = os.path.join(tmp, "picture.ppm")
        with open(ppm, "wb") as out:
            out.write(b"P6 %d %d 255\n" % (width, height))
            out.write(bytes(v for row in rgb_rows for pixel in row for v in pixel))
        args = ["convert", ppm]
        if alpha_rows is not None:
            pgm = os.path.join(tmp, "alpha.pgm")
            with open(pgm, "wb") as out:
                out.write(b"P5 %d %d 255\n" % (width, height))
                out.write(bytes(v for row in alpha_rows for v in row))
            args += [pgm, "-alpha", "off", "-compose", "CopyOpacity", "-composite"]
        # No time stamps, so that a remake of an unchanged picture changes no byte.
        args += ["-strip", "-define", "png:exclude-chunks=date,time"]
        args.append(("PNG8:" if indexed else "PNG32:" if alpha_rows else "PNG24:") + path)
        subprocess.run(args, check=True)


def write_svg(path, size, shapes):
    elements = ["  " + inside.svg("#%02x%02x%02x" % PALETTE[name]) for inside, name in shapes]
    with open(path, "w") as out:
        out.write('<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" '
                  'viewBox="0 0 %d %d">\n' % (size, size, size, size))
        out.write("\n".join(elements) + "\n</svg>\n")


def make_icons():
    shapes = icon_shapes()
    folder = os.path.join(HERE, "icons")
    os.makedirs(folder, exist_ok=True)
    write_svg(os.path.join(folder, "quellmark.svg"), 32, shapes)

    # 32 x 32: every pixel takes the colour most of it shows, so only palette colours appear.
    _, names = render(shapes, 32, 32, 1.0, 4)
    rgb = [[PALETTE[n] if n else (0, 0, 0) for n in row] for row in names]
    alpha = [[255 if n else 0 for n in row] for row in names]
    write_png(os.path.join(folder, "quellmark-32.png"), 32, 32, rgb, alpha, indexed=True)

    for size in (48, 64, 128, 256):
        pixels, _ = render(shapes, size, size, size / 32.0, 4 if size <= 64 else 3)
        rgb = [[p[:3] for p in row] for row in pixels]
        alpha = [[int(round(p[3] * 255)) for p in row] for row in pixels]
        write_png(os.path.join(folder, "quellmark-%d.png" % size), size, size, rgb, alpha)


# --- the dialog's picture: a red cross on a dark badge between yellow brush strokes ---------

def brush_stroke(points, half_width, seed):
    """A hand-drawn stroke: a polyline whose width wobbles along its length."""
    rng = random.Random(seed)
    wobble = [half_width * (0.7 + 0.6 * rng.random()) for _ in range(len(points))]
    parts = []
    for i in range(len(points) - 1):
        (x0, y0), (x1, y1) = points[i], points[i + 1]
        parts.append(bar(x0, y0, x1, y1, (wobble[i] + wobble[i + 1]) / 2))
        parts.append(disc(x1, y1, wobble[i + 1]))
    parts.append(disc(points[0][0], points[0][1], wobble[0] * 0.8))
    return lambda x, y: any(p(x, y) for p in parts)


def make_error_picture():
    yellow, dark_yellow = (250, 214, 40), (214, 160, 20)
    badge, rim = (38, 38, 46), (92, 92, 104)
    red, light_red = (206, 24, 24), (250, 96, 80)
    shapes = [
        (brush_stroke([(2, 33), (6, 24), (9, 15), (13, 6)], 2.6, 1), dark_yellow),
        (brush_stroke([(3, 32), (7, 23), (10, 14), (13.5, 6)], 1.6, 2), yellow),
        (brush_stroke([(40, 34), (44, 25), (47, 15), (51, 5)], 2.6, 3), dark_yellow),
        (brush_stroke([(41, 33), (45, 24), (48, 14), (51.5, 5)], 1.6, 4), yellow),
        (disc(26.5, 19.5, 16.5), rim),
        (disc(26.5, 19.5, 15), badge),
        (bar(19.5, 12.5, 33.5, 26.5, 3.2), red),
        (bar(33.5, 12.5, 19.5, 26.5, 3.2), red),
        (bar(20.5, 13.2, 32.5, 25.2, 1.0), light_red),
    ]
    for scale, name in ((1, "error.png"), (2, "error@2x.png")):
        width, height = 53 * scale, 39 * scale
        pixels, _ = render(shapes, width, height, float(scale), 4)
        rgb = [[p[:3] for p in row] for row in pixels]
        alpha = [[int(round(p[3] * 255)) for p in row] for row in pixels]
        write_png(os.path.join(HERE, name), width, height, rgb, alpha)


if __name__ == "__main__":
    make_icons()
    make_error_picture()
