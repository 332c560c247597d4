#!/usr/bin/env python3
"""Draws the program's icons and the set-up picture.

ImageMagick's `convert` rasterises the vector drawings (it antialiases and
needs no font: the pictures carry no text, so they suit both languages).
The Windows files are packed here by hand, because the image list that shows
the sort arrows asks for 24-bit colour with a mask, and we want to know
exactly which bitmap headers and masks the icons carry:

  icon141.ico    32x32 and 16x16, 32-bit BGRA with an AND mask (window icon)
  up144.ico      16x16, 24-bit with an AND mask (header sort arrow, up)
  down145.ico    16x16, 24-bit with an AND mask (header sort arrow, down)
  picture143.bmp 142x225, 24-bit, bottom-up (the picture of the set-up)

Run it from anywhere: python3 res/art/make-art.py [output-dir]
The outputs are committed; run it again only when a drawing changes.
"""
import os
import struct
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def render(width, height, background, draw, scale=4):
    """Rasterise an ImageMagick -draw script at `scale` times the size and
    shrink it, which gives smoother edges on small images than the draw
    primitives alone. Returns rows top-down of (r, g, b, a) tuples."""
    big_w, big_h = width * scale, height * scale
    args = ["convert", "-size", f"{big_w}x{big_h}", background]
    for item in draw:
        args += item
    args += ["-filter", "Box", "-resize", f"{width}x{height}!",
             "-depth", "8", "RGBA:-"]
    raw = subprocess.run(args, check=True, stdout=subprocess.PIPE).stdout
    if len(raw) != width * height * 4:
        sys.exit(f"convert returned {len(raw)} bytes for {width}x{height}")
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            i = (y * width + x) * 4
            row.append(tuple(raw[i:i + 4]))
        rows.append(row)
    return rows


def scaled(script, scale):
    """Multiplies every number in a draw script by `scale`, so the drawings
    below can be written in the final image's pixel coordinates."""
    out = []
    for token in script.replace(",", " , ").split():
        if token.startswith("@"):  # an angle: never scaled
            out.append(token[1:])
            continue
        try:
            value = float(token)
        except ValueError:
            out.append(token)
            continue
        out.append(f"{value * scale:g}")
    return " ".join(out).replace(" , ", ",")


def cable(p0, p1, p2, p3, width):
    """A cubic Bezier curve of the given width, as a filled polygon (a
    stroked open path would be closed with a straight line)."""
    import math

    def at(t):
        u = 1 - t
        return tuple(u**3 * a + 3 * u * u * t * b + 3 * u * t * t * c + t**3 * d
                     for a, b, c, d in zip(p0, p1, p2, p3))

    steps = 40
    pts = [at(i / steps) for i in range(steps + 1)]
    left, right = [], []
    for i, (x, y) in enumerate(pts):
        ax, ay = pts[max(i - 1, 0)]
        bx, by = pts[min(i + 1, steps)]
        dx, dy = bx - ax, by - ay
        n = math.hypot(dx, dy) or 1.0
        nx, ny = -dy / n * width / 2, dx / n * width / 2
        left.append((x + nx, y + ny))
        right.append((x - nx, y - ny))
    points = left + right[::-1]
    return "polygon " + " ".join(f"{x:.3f},{y:.3f}" for x, y in points)


def band(cx, cy, r, a0, a1, width):
    """A circular arc of the given stroke width, as a filled polygon
    (degrees clockwise from the x axis, y pointing down). ImageMagick closes
    a stroked arc path with its chord, which would show as a crescent."""
    import math
    steps = 24
    outer, inner = [], []
    for i in range(steps + 1):
        a = math.radians(a0 + (a1 - a0) * i / steps)
        outer.append((cx + (r + width / 2) * math.cos(a),
                      cy + (r + width / 2) * math.sin(a)))
        inner.append((cx + (r - width / 2) * math.cos(a),
                      cy + (r - width / 2) * math.sin(a)))
    points = outer + inner[::-1]
    return "polygon " + " ".join(f"{x:.3f},{y:.3f}" for x, y in points)


def shape(fill, stroke, width, script, scale=4):
    return ["-fill", fill, "-stroke", stroke,
            "-strokewidth", f"{width * scale:g}",
            "-draw", scaled(script, scale)]


def and_mask(rows, threshold):
    """1 bit a pixel, rows bottom-up, each row padded to 32 bits: a set bit
    means transparent."""
    width = len(rows[0])
    stride = ((width + 31) // 32) * 4
    out = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, px in enumerate(row):
            if px[3] < threshold:
                line[x // 8] |= 0x80 >> (x % 8)
        out += line
    return bytes(out)


def dib(rows, bits):
    """BITMAPINFOHEADER + XOR pixels + AND mask, as one icon image."""
    height, width = len(rows), len(rows[0])
    stride = ((width * bits // 8) + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b, a in row:
            if bits == 32:
                line += bytes((b, g, r, a))
            else:
                # Transparent pixels are black in the colour part, so the
                # mask's AND then XOR leaves the background untouched.
                line += bytes((b, g, r)) if a >= 128 else b"\0\0\0"
        line += bytes(stride - len(line))
        pixels += line
    mask = and_mask(rows, 1 if bits == 32 else 128)
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, bits, 0,
                         len(pixels) + len(mask), 0, 0, 0, 0)
    return header + bytes(pixels) + mask


def write_ico(path, images):
    """images: list of (rows, bits)."""
    blobs = [dib(rows, bits) for rows, bits in images]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for (rows, bits), blob in zip(images, blobs):
        w, h = len(rows[0]), len(rows)
        out += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, bits,
                           len(blob), offset)
        offset += len(blob)
    for blob in blobs:
        out += blob
    with open(path, "wb") as f:
        f.write(out)


def write_bmp24(path, rows):
    height, width = len(rows), len(rows[0])
    stride = (width * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b, _ in row:
            line += bytes((b, g, r))
        line += bytes(stride - len(line))
        pixels += line
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0,
                       len(pixels), 2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0,
                       14 + len(info))
    with open(path, "wb") as f:
        f.write(head + info + bytes(pixels))


# --- Drawings ---------------------------------------------------------------

def arrow(up):
    """A small grey triangle, as header controls show a sort direction."""
    tri = "polygon 4,10 12,10 8,5" if up else "polygon 4,6 12,6 8,11"
    return render(16, 16, "xc:none", [shape("#6d6d6d", "none", 0, tri)])


def program_icon(size):
    """A converter box with its antenna and radio waves, on a blue tile."""
    s = size / 32.0
    wave = 2.6 if size > 16 else 3.4
    draw = [
        shape("#1f5fae", "#123d73", 1, "roundrectangle 1,1 30,30 5,5"),
        shape("#ffb000", "none", 0, band(9, 13, 5, -85, 5, wave)),
        shape("#ffffff", "none", 0, band(9, 13, 10.5, -82, 2, wave)),
    ] if size > 16 else [
        # At 16 pixels two waves blur into one blot: one bold wave reads.
        shape("#1f5fae", "#123d73", 1, "roundrectangle 1,1 30,30 5,5"),
        shape("#ffb000", "none", 0, band(9, 13, 9, -85, 5, 4.4)),
    ]
    draw += [
        shape("none", "#e8eef6", 2.4 if size > 16 else 3, "line 9,20 9,12"),
        shape("#f4f6f9", "#c7d0dc", 1, "roundrectangle 4,19 27,27 2,2"),
        shape("#33c24d", "none", 0, "rectangle 8,22 11,24"),
        shape("#ffb000", "none", 0, "rectangle 13,22 16,24"),
        shape("#7d8a9c", "none", 0, "rectangle 19,21.5 25,24.5"),
    ]
    return render(size, size, "xc:none",
                  [shape_scaled(item, s) for item in draw])


def shape_scaled(item, s):
    """Rescales one shape() item for an icon drawn on a 32-pixel grid."""
    item = list(item)
    item[5] = f"{float(item[5]) * s:g}"
    item[7] = scaled(item[7], s)
    return item


def picture():
    """The set-up, top to bottom: the wireless network's access point, the
    radio link, the converter, the Ethernet cable, and the PC."""
    draw = [
        # Radio waves from the access point and from the converter's antenna.
        shape("#6fb0e6", "none", 0, band(104, 36, 12, 105, 165, 2.2)),
        shape("#9cc9ee", "none", 0, band(104, 36, 20, 110, 160, 2.2)),
        shape("#c3def5", "none", 0, band(104, 36, 28, 115, 155, 2.2)),
        shape("#6fb0e6", "none", 0, band(52, 74, 10, -75, -15, 2.2)),
        shape("#9cc9ee", "none", 0, band(52, 74, 18, -70, -20, 2.2)),
        shape("#c3def5", "none", 0, band(52, 74, 26, -65, -25, 2.2)),
        # Access point: a flat box with two antennas and its lights.
        shape("none", "#4a4f57", 2.4, "line 86,24 81,4"),
        shape("none", "#4a4f57", 2.4, "line 122,24 127,4"),
        shape("#f3f4f6", "#8b929c", 1, "roundrectangle 76,22 134,36 4,4"),
        shape("#d9dce1", "none", 0, "rectangle 77,31 133,35"),
        shape("#33c24d", "none", 0, "circle 84,27 84,28.3"),
        shape("#33c24d", "none", 0, "circle 90,27 90,28.3"),
        shape("#ffb000", "none", 0, "circle 96,27 96,28.3"),
        # Converter: a small box with one antenna and a network port.
        shape("none", "#4a4f57", 2.4, "line 52,96 52,76"),
        shape("#1f5fae", "#123d73", 1, "roundrectangle 14,94 68,116 4,4"),
        shape("#2b73c9", "none", 0, "rectangle 16,96 66,100"),
        shape("#33c24d", "none", 0, "circle 22,104 22,105.5"),
        shape("#ffb000", "none", 0, "circle 28,104 28,105.5"),
        shape("#0d2b52", "#9fb8d8", 0.8, "rectangle 34,108 44,115"),
        # Ethernet cable, with some slack, from the converter to the PC.
        shape("#3a3f47", "none", 0,
              cable((39, 116), (39, 140), (19, 124), (20, 150), 3)),
        shape("#9fb8d8", "#3a3f47", 0.8, "rectangle 16,148 24,154"),
        # The PC: tower, monitor, keyboard.
        shape("#e9ebee", "#8b929c", 1, "roundrectangle 8,152 40,214 3,3"),
        shape("#c9cdd3", "none", 0, "rectangle 13,160 35,163"),
        shape("#c9cdd3", "none", 0, "rectangle 13,167 35,170"),
        shape("#33c24d", "none", 0, "circle 24,204 24,205.8"),
        shape("#e9ebee", "#8b929c", 1, "roundrectangle 48,146 136,196 3,3"),
        shape("#2a6fc0", "none", 0, "rectangle 53,151 131,189"),
        shape("#5a95d8", "none", 0, "polygon 53,151 131,151 53,189"),
        shape("#d6dbe1", "#8b929c", 1, "polygon 86,196 98,196 102,206 82,206"),
        shape("#e9ebee", "#8b929c", 1, "roundrectangle 54,208 130,218 2,2"),
        shape("none", "#b8bec6", 1, "line 58,212 126,212"),
        shape("none", "#b8bec6", 1, "line 58,215 126,215"),
    ]
    return render(142, 225, "gradient:#d7e9f8-#ffffff", draw)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else HERE
    write_ico(os.path.join(out, "icon141.ico"),
              [(program_icon(32), 32), (program_icon(16), 32)])
    write_ico(os.path.join(out, "up144.ico"), [(arrow(True), 24)])
    write_ico(os.path.join(out, "down145.ico"), [(arrow(False), 24)])
    write_bmp24(os.path.join(out, "picture143.bmp"), picture())


if __name__ == "__main__":
    main()
