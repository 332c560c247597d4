#!/usr/bin/env python3
"""Checks the committed icons and picture against what the windows ask of
them: the result window's picture control shows bitmap 143 unscaled, the
sort-arrow image list takes 16x16 icons with a mask, and the window icon
needs a large and a small image.

Usage: check-art.py ART-DIR   (exit status 0 when every file is sound)
"""
import os
import struct
import sys

failures = []


def fail(name, message):
    failures.append(f"{name}: {message}")


def read(path):
    with open(path, "rb") as f:
        return f.read()


def check_bmp(path, width, height):
    name = os.path.basename(path)
    data = read(path)
    if len(data) < 54 or data[:2] != b"BM":
        return fail(name, "not a BMP file")
    size, _, _, offset = struct.unpack_from("<IHHI", data, 2)
    hsize, w, h, planes, bits, comp = struct.unpack_from("<IiiHHI", data, 14)
    if size != len(data):
        fail(name, f"header says {size} bytes, file has {len(data)}")
    if hsize != 40:
        fail(name, f"info header of {hsize} bytes, want BITMAPINFOHEADER")
    if (w, abs(h)) != (width, height):
        fail(name, f"{w}x{abs(h)} pixels, want {width}x{height}")
    if bits != 24 or comp != 0 or planes != 1:
        fail(name, f"{bits}-bit, compression {comp}: want 24-bit BI_RGB")
    stride = (w * 3 + 3) & ~3
    if offset + stride * abs(h) > len(data):
        fail(name, "pixel data cut short")


def ico_images(name, data):
    """Yields (width, height, bits, rows-of-alpha-or-mask) for each image."""
    if len(data) < 6:
        fail(name, "too short for an icon")
        return
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if reserved != 0 or kind != 1 or count == 0:
        fail(name, "not an icon file")
        return
    for i in range(count):
        if 6 + 16 * i + 16 > len(data):
            fail(name, "directory cut short")
            return
        w, h, _, _, _, bits, length, offset = struct.unpack_from(
            "<BBBBHHII", data, 6 + 16 * i)
        w, h = w or 256, h or 256
        blob = data[offset:offset + length]
        if len(blob) != length or length < 40:
            fail(name, f"image {i} lies outside the file")
            continue
        hsize, bw, bh, _, bbits = struct.unpack_from("<IiiHH", blob, 0)
        if hsize != 40 or (bw, bh) != (w, 2 * h) or bbits != bits:
            fail(name, f"image {i}: bitmap header does not match directory")
            continue
        stride = ((w * bits // 8) + 3) & ~3
        mstride = ((w + 31) // 32) * 4
        if 40 + stride * h + mstride * h != length:
            fail(name, f"image {i}: size is not colour + mask")
            continue
        mask = blob[40 + stride * h:]
        opaque = []
        for y in range(h):  # bottom-up
            row = mask[(h - 1 - y) * mstride:(h - y) * mstride]
            opaque.append([not (row[x // 8] & (0x80 >> (x % 8)))
                           for x in range(w)])
        yield w, h, bits, opaque


def check_icon(path, want):
    """want: set of (size, bits)."""
    name = os.path.basename(path)
    images = list(ico_images(name, read(path)))
    got = {(w, bits) for w, h, bits, _ in images if w == h}
    for size, bits in sorted(want - got):
        fail(name, f"no {size}x{size} {bits}-bit image")
    for w, h, bits, opaque in images:
        count = sum(map(sum, opaque))
        if count == 0 or count == w * h:
            fail(name, f"{w}x{h}: mask is all {'clear' if count == 0 else 'set'}")
    return images


def check_triangle(path, pointing_up):
    """The sort arrows must point the way their identifiers promise: an
    arrow pointing up is widest at its bottom row."""
    name = os.path.basename(path)
    for w, h, bits, opaque in check_icon(path, {(16, 24)}):
        widths = [sum(row) for row in opaque if any(row)]
        if len(widths) < 3:
            fail(name, "too few rows to show a direction")
            continue
        narrowing = widths[0] < widths[-1]
        if narrowing != pointing_up or widths != sorted(widths, reverse=not pointing_up):
            fail(name, f"does not point {'up' if pointing_up else 'down'}: "
                       f"row widths {widths}")


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    art = sys.argv[1]
    check_bmp(os.path.join(art, "picture143.bmp"), 142, 225)
    check_icon(os.path.join(art, "icon141.ico"), {(32, 32), (16, 32)})
    check_triangle(os.path.join(art, "up144.ico"), True)
    check_triangle(os.path.join(art, "down145.ico"), False)
    for line in failures:
        print(line)
    print("art:", "FAILED" if failures else "ok")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    try:
        main()
    except OSError as e:
        print(f"art: cannot read {e.filename}: {e.strerror}")
        sys.exit(1)
