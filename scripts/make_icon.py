#!/usr/bin/env python3
# Draws Brelquin's icon (a page going through a shredder) at each of its sizes and writes res/brelquin.ico.
# Run: python3 scripts/make_icon.py [--output FILE | --check]; every run writes the same bytes.
"""Procedural icon generator, Python standard library only.

Every size is drawn natively from the same geometry, laid out on a 16-unit
grid: each size is a whole multiple of 16 pixels, so the main edges fall on
pixel boundaries and stay crisp at 16 px. Edge pixels are anti-aliased from
each shape's signed distance, and everything is plain float arithmetic with
no randomness or time, so the output is the same byte for byte on every run.
"""

import argparse
import math
import struct
import sys
from pathlib import Path

kSizes = (16, 32, 48, 64, 128, 256)
kGridUnits = 16
kRepoRoot = Path(__file__).resolve().parent.parent
kDefaultOutput = kRepoRoot / "res" / "brelquin.ico"

# Margin around the rounded square and its corner radius, in pixels, per size:
# the 16 px icon uses every pixel; larger ones leave the usual breathing room.
kBackdropMargin = {16: 0, 32: 1, 48: 2, 64: 2, 128: 5, 256: 10}
kBackdropRadius = {16: 3, 32: 5, 48: 7, 64: 9, 128: 18, 256: 36}

kBackdropTop = (232, 66, 56)
kBackdropBottom = (166, 22, 30)
kPaper = (255, 255, 255)
kPaperFold = (196, 203, 214)
kInk = (150, 160, 176)
kShredder = (36, 36, 42)
kShredderLip = (98, 98, 110)
kShadow = (70, 0, 6)
kShadowOpacity = 0.35

# The page above the slot, the slot itself, and the three strips below it, in
# grid units. Three strips of two units with one-unit gaps fill the page's
# eight-unit width exactly, so they are whole pixels at every size.
kPageLeft, kPageRight, kPageTop = 4.0, 12.0, 2.0
kSlotLeft, kSlotRight, kSlotTop, kSlotBottom = 2.0, 14.0, 8.0, 10.0
kStripLefts = (4.0, 7.0, 10.0)
kStripWidth = 2.0
kStripBottoms = (14.0, 13.0, 14.0)


def Clamp01(value):
    return 0.0 if value < 0.0 else 1.0 if value > 1.0 else value


def Length(dx, dy):
    # Plain sqrt rather than math.hypot, whose last bit has changed between Python releases.
    return math.sqrt(dx * dx + dy * dy)


def RoundedBoxDistance(x, y, left, top, right, bottom, radius):
    """Signed distance from (x, y) to a rounded rectangle, negative inside."""
    half_w = (right - left) / 2.0
    half_h = (bottom - top) / 2.0
    qx = abs(x - (left + right) / 2.0) - (half_w - radius)
    qy = abs(y - (top + bottom) / 2.0) - (half_h - radius)
    outside = Length(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - radius


def ConvexDistance(x, y, edges):
    """Signed distance to a convex polygon given as inward-facing half-planes (a, b, c): a*x + b*y + c >= 0."""
    return max(-(a * x + b * y + c) for a, b, c in edges)


def HalfPlane(x0, y0, x1, y1):
    """The half-plane to the right of the directed edge (x0, y0) -> (x1, y1) in y-down pixel space."""
    dx, dy = x1 - x0, y1 - y0
    length = Length(dx, dy)
    a, b = -dy / length, dx / length
    return (a, b, -(a * x0 + b * y0))


class Shape:
    """One layer: a signed-distance function, its bounds, and its colour (fixed, or a function of the row)."""

    def __init__(self, bounds, distance, colour, opacity=1.0):
        self.bounds = bounds
        self.distance = distance
        self.colour = colour
        self.opacity = opacity

    def ColourAt(self, y):
        return self.colour(y) if callable(self.colour) else self.colour

    def Coverage(self, x, y):
        left, top, right, bottom = self.bounds
        if x < left - 1 or x > right + 1 or y < top - 1 or y > bottom + 1:
            return 0.0
        return Clamp01(0.5 - self.distance(x, y)) * self.opacity


def Box(left, top, right, bottom, colour, radius=0.0, opacity=1.0):
    return Shape((left, top, right, bottom),
                 lambda x, y: RoundedBoxDistance(x, y, left, top, right, bottom, radius),
                 colour, opacity)


def Polygon(points, colour, opacity=1.0):
    edges = [HalfPlane(*points[i], *points[(i + 1) % len(points)]) for i in range(len(points))]
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    return Shape((min(xs), min(ys), max(xs), max(ys)),
                 lambda x, y: ConvexDistance(x, y, edges), colour, opacity)


def Lerp(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def Backdrop(size):
    margin = kBackdropMargin[size]
    radius = kBackdropRadius[size]
    low, high = margin, size - margin
    gradient = lambda y: Lerp(kBackdropTop, kBackdropBottom, Clamp01((y - low) / (high - low)))
    return Box(low, low, high, high, gradient, radius)


def PageShapes(unit, size):
    """The sheet above the slot: a dog-eared page, with lines of text from 32 px up."""
    left, right, top = kPageLeft * unit, kPageRight * unit, kPageTop * unit
    bottom = kSlotTop * unit
    fold = (3.0 if size == 16 else 2.5) * unit
    shapes = []
    if size >= 48:
        # A soft drop shadow lifts the paper off the red.
        offset = unit * 0.25
        shapes.append(Polygon([(left + offset, top + offset), (right - fold + offset, top + offset),
                               (right + offset, top + fold + offset), (right + offset, bottom),
                               (left + offset, bottom)], kShadow, kShadowOpacity))
    shapes.append(Polygon([(left, top), (right - fold, top), (right, top + fold),
                           (right, bottom), (left, bottom)], kPaper))
    shapes.append(Polygon([(right - fold, top), (right, top + fold), (right - fold, top + fold)],
                          kPaperFold))
    if size >= 32:
        thickness = unit * 0.5
        inset = unit * 1.0
        rows = ((3.5, right - fold - unit * 0.5), (5.0, right - inset), (6.5, right - inset))
        for row, row_right in rows:
            y = row * unit
            shapes.append(Box(left + inset, y, row_right, y + thickness, kInk, radius=thickness / 2))
    return shapes


def SlotShapes(unit, size):
    """The shredder's mouth: a dark bar wider than the page, with a lighter lip from 32 px up."""
    left, right = kSlotLeft * unit, kSlotRight * unit
    top, bottom = kSlotTop * unit, kSlotBottom * unit
    radius = 0.0 if size == 16 else unit * 0.5
    shapes = [Box(left, top, right, bottom, kShredder, radius)]
    if size >= 32:
        lip = max(1.0, unit * 0.25)
        shapes.append(Box(left + radius, top, right - radius, top + lip, kShredderLip))
    return shapes


def StripShapes(unit, size):
    """The shredded page coming out below the slot, each strip a different length."""
    shapes = []
    top = kSlotBottom * unit
    for strip_left, strip_bottom in zip(kStripLefts, kStripBottoms):
        left = strip_left * unit
        right = left + kStripWidth * unit
        bottom = strip_bottom * unit
        if size >= 48:
            offset = unit * 0.25
            shapes.append(Box(left + offset, top, right + offset, bottom + offset, kShadow,
                              opacity=kShadowOpacity))
        shapes.append(Box(left, top, right, bottom, kPaper))
        if size >= 32:
            # The page's lines of text, cut up along with it.
            thickness = unit * 0.5
            for row in (11.0, 12.5):
                y = row * unit
                if y + thickness <= bottom - unit * 0.5:
                    shapes.append(Box(left + unit * 0.5, y, right - unit * 0.5, y + thickness, kInk,
                                      radius=thickness / 2))
    return shapes


def DrawIcon(size):
    """Returns the image as rows of straight (not premultiplied) RGBA tuples, top row first."""
    unit = size / kGridUnits
    layers = [Backdrop(size)] + PageShapes(unit, size) + SlotShapes(unit, size) + StripShapes(unit, size)
    rows = []
    for j in range(size):
        y = j + 0.5
        row = []
        for i in range(size):
            x = i + 0.5
            red = green = blue = alpha = 0.0
            for layer in layers:
                cover = layer.Coverage(x, y)
                if cover <= 0.0:
                    continue
                colour = layer.ColourAt(y)
                keep = 1.0 - cover
                red = colour[0] * cover + red * keep
                green = colour[1] * cover + green * keep
                blue = colour[2] * cover + blue * keep
                alpha = cover + alpha * keep
            row.append(Unpremultiply(red, green, blue, alpha))
        rows.append(row)
    return rows


def Unpremultiply(red, green, blue, alpha):
    if alpha <= 0.0:
        return (0, 0, 0, 0)
    return (ToByte(red / alpha), ToByte(green / alpha), ToByte(blue / alpha), ToByte(alpha * 255.0))


def ToByte(value):
    return max(0, min(255, int(math.floor(value + 0.5))))


def EncodeDib(size, rows):
    """A 32-bit BGRA icon image: BITMAPINFOHEADER with doubled height, pixels bottom-up, then the AND mask."""
    mask_stride = ((size + 31) // 32) * 4
    pixels = bytearray()
    mask = bytearray()
    for row in reversed(rows):
        pixels += b"".join(struct.pack("<4B", b, g, r, a) for r, g, b, a in row)
        bits = bytearray(mask_stride)
        for i, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[i // 8] |= 0x80 >> (i % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(pixels) + len(mask), 0, 0, 0, 0)
    return header + bytes(pixels) + bytes(mask)


def EncodeIco(images):
    """An .ico file holding the given (size, DIB) pairs in order."""
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries = bytearray()
    for size, dib in images:
        side = 0 if size == 256 else size  # The directory's byte fields write 256 as 0.
        entries += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(dib), offset)
        offset += len(dib)
    return directory + bytes(entries) + b"".join(dib for _, dib in images)


def BuildIco():
    return EncodeIco([(size, EncodeDib(size, DrawIcon(size))) for size in kSizes])


def Main():
    parser = argparse.ArgumentParser(description="Draws Brelquin's icon and writes it as an .ico file.")
    parser.add_argument("--output", type=Path, default=kDefaultOutput,
                        help="where to write the icon (default: res/brelquin.ico)")
    parser.add_argument("--check", action="store_true",
                        help="write nothing; fail unless the output file already holds exactly these bytes")
    args = parser.parse_args()

    data = BuildIco()
    if args.check:
        current = args.output.read_bytes() if args.output.exists() else None
        if current != data:
            print(f"{args.output} is not what scripts/make_icon.py draws: run it again and commit the result",
                  file=sys.stderr)
            return 1
        print(f"{args.output} matches the generator ({len(data)} bytes)")
        return 0
    args.output.write_bytes(data)
    print(f"wrote {args.output} ({len(data)} bytes)")
    return 0


if __name__ == "__main__":
    sys.exit(Main())
