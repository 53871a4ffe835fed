#!/usr/bin/env python3
"""Draws the setup program's artwork: a framed landscape with mountains and sun.

Usage: make_art.py --out-dir DIR [--preview DIR]

Writes pt_setup.ico (32x32 and 16x16, 256 colours) and pt_logo.bmp (88x31,
16 colours). --preview also writes enlarged PNG copies for looking at them.
Everything is computed, so the output is the same on every build.
"""
import argparse
import math
import os
import struct
import zlib

SKY_TOP, SKY_LOW = (0x3a, 0x7f, 0xd0), (0xc4, 0xe6, 0xf8)
SUN, SUN_RIM = (0xff, 0xd8, 0x3a), (0xf5, 0x9a, 0x23)
FAR_HILL, NEAR_HILL = (0x7a, 0x8c, 0xb0), (0x3c, 0x8d, 0x4a)
SNOW, MEADOW = (0xf4, 0xf7, 0xfb), (0x78, 0xc0, 0x4a)
WOOD_LIGHT, WOOD_DARK = (0xd9, 0xa4, 0x4f), (0x8a, 0x55, 0x1f)
MAT = (0xf7, 0xf0, 0xdc)
WHITE = (0xff, 0xff, 0xff)


def mix(a, b, t):
    t = min(max(t, 0.0), 1.0)
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def landscape(x, y):
    """Colour of the picture inside the frame; x, y in 0..1 with y pointing down."""
    if math.hypot(x - 0.7, y - 0.3) < 0.14:
        return mix(SUN, SUN_RIM, (math.hypot(x - 0.7, y - 0.3) / 0.14) ** 4)
    far = 0.62 - 0.4 * max(0.0, 1 - abs(x - 0.3) / 0.45)       # far mountain ridge
    near = 0.72 - 0.5 * max(0.0, 1 - abs(x - 0.55) / 0.4)      # near mountain ridge
    meadow = 0.78 + 0.06 * math.cos(x * 5.0)
    if y > meadow:
        return mix(MEADOW, NEAR_HILL, (y - meadow) * 3)
    if y > near:
        return SNOW if y < near + 0.1 and near < 0.36 else mix(NEAR_HILL, MEADOW, (y - near) * 1.5)
    if y > far:
        return SNOW if y < far + 0.08 and far < 0.3 else FAR_HILL
    return mix(SKY_TOP, SKY_LOW, y / 0.7)


def framed(x, y, w, h, border, radius):
    """Picture frame covering a w x h box of pixels; returns a colour or None outside it."""
    dx = max(abs(x - w / 2) - (w / 2 - radius), 0.0)
    dy = max(abs(y - h / 2) - (h / 2 - radius), 0.0)
    if dx * dx + dy * dy > radius * radius:
        return None
    edge = min(x, y, w - x, h - y)
    if edge < border:
        light = WOOD_LIGHT if x + y < w + h - x - y else WOOD_DARK  # lit from the top left
        return mix(light, WOOD_DARK, 0.25 * (1 - edge / border))
    if edge < border + 0.6:
        return MAT
    inner = border + 0.6
    return landscape((x - inner) / (w - 2 * inner), (y - inner) / (h - 2 * inner))


def render(width, height, paint, ss=4):
    """Supersampled rendering; paint(x, y) returns a colour or None (transparent)."""
    pixels = []
    for py in range(height):
        for px in range(width):
            acc, hits = [0.0, 0.0, 0.0], 0
            for sy in range(ss):
                for sx in range(ss):
                    c = paint(px + (sx + 0.5) / ss, py + (sy + 0.5) / ss)
                    if c is not None:
                        hits += 1
                        for i in range(3):
                            acc[i] += c[i]
            if hits * 2 < ss * ss:
                pixels.append(None)
            else:
                pixels.append(tuple(int(round(a / hits)) for a in acc))
    return pixels


def median_cut(colors, n):
    """Palette of at most n colours for a list of RGB tuples."""
    boxes = [sorted(set(colors))]
    weight = {}
    for c in colors:
        weight[c] = weight.get(c, 0) + 1
    while len(boxes) < n:
        splittable = [b for b in boxes if len(b) > 1]
        if not splittable:
            break
        box = max(splittable, key=lambda b: max(max(c[i] for c in b) - min(c[i] for c in b)
                                                for i in range(3)) * sum(weight[c] for c in b))
        ch = max(range(3), key=lambda i: max(c[i] for c in box) - min(c[i] for c in box))
        box.sort(key=lambda c: c[ch])
        half, run, cut = sum(weight[c] for c in box) / 2, 0, 1
        for k, c in enumerate(box[:-1]):
            run += weight[c]
            cut = k + 1
            if run >= half:
                break
        boxes.remove(box)
        boxes += [box[:cut], box[cut:]]
    palette = []
    for b in boxes:
        total = sum(weight[c] for c in b)
        palette.append(tuple(int(round(sum(c[i] * weight[c] for c in b) / total)) for i in range(3)))
    return sorted(palette)


def nearest(palette, c):
    return min(range(len(palette)), key=lambda k: sum((palette[k][i] - c[i]) ** 2 for i in range(3)))


def dib(width, height, bpp, palette, indices, mask=None):
    """BITMAPINFOHEADER + palette + bottom-up pixel rows (+ AND mask for icons)."""
    row_bytes = (width * bpp + 31) // 32 * 4
    rows = []
    for y in range(height - 1, -1, -1):
        bits = 0
        for x in range(width):
            bits = (bits << bpp) | indices[y * width + x]
        rows.append((bits << (row_bytes * 8 - width * bpp)).to_bytes(row_bytes, "big"))
    pixels = b"".join(rows)
    and_rows = b""
    if mask is not None:
        mask_bytes = (width + 31) // 32 * 4
        for y in range(height - 1, -1, -1):
            bits = 0
            for x in range(width):
                bits = (bits << 1) | mask[y * width + x]
            and_rows += (bits << (mask_bytes * 8 - width)).to_bytes(mask_bytes, "big")
    colors = 1 << bpp
    pal = b"".join(bytes((b, g, r, 0)) for r, g, b in palette + [(0, 0, 0)] * (colors - len(palette)))
    header = struct.pack("<IiiHHIIiiII", 40, width, height * (2 if mask is not None else 1), 1, bpp,
                         0, len(pixels) + len(and_rows), 0 if mask is not None else 2835,
                         0 if mask is not None else 2835, 0 if mask is not None else colors, 0)
    return header + pal + pixels + and_rows


def icon_image(size):
    border = max(2.0, size * 0.1)
    pixels = render(size, size, lambda x, y: framed(x, y - size * 0.1, size, size * 0.8, border,
                                                    size * 0.08) if y >= size * 0.1 else None)
    opaque = [p for p in pixels if p is not None]
    palette = [(0, 0, 0)] + median_cut(opaque, 255)  # index 0 is black for transparent pixels
    lookup = {c: nearest(palette, c) for c in set(opaque)}
    indices = [0 if p is None else lookup[p] for p in pixels]
    mask = [1 if p is None else 0 for p in pixels]
    rgba = [None if p is None else palette[i] for p, i in zip(pixels, indices)]
    return dib(size, size, 8, palette, indices, mask), rgba


def make_ico():
    images = [icon_image(32), icon_image(16)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (data, _), size in zip(images, (32, 16)):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 8, len(data), offset)
        offset += len(data)
    return out + b"".join(d for d, _ in images), [(32, images[0][1]), (16, images[1][1])]


def logo_paint(x, y):
    if x < 38:  # the framed picture, vertically centred
        return framed(x - 1, y - 2, 36, 27, 3.0, 2.5) if 1 <= x and 2 <= y < 29 else WHITE
    for top, length, color in ((7, 44, SKY_TOP), (14, 34, SUN_RIM), (21, 40, NEAR_HILL)):
        if top <= y < top + 4 and 42 <= x < 42 + length:
            return color
    return WHITE


def make_logo():
    pixels = render(88, 31, lambda x, y: logo_paint(x, y) or WHITE)
    palette = median_cut(pixels, 16)
    lookup = {c: nearest(palette, c) for c in set(pixels)}
    indices = [lookup[p] for p in pixels]
    info = dib(88, 31, 4, palette, indices)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info), 0, 0, 14 + 40 + 16 * 4)
    return head + info, [palette[i] for i in indices]


def preview_png(path, width, height, rgb, scale=8):
    """Enlarged PNG on a checkerboard, only for looking at the artwork."""
    rows = []
    for y in range(height * scale):
        row = bytearray(b"\0")
        for x in range(width * scale):
            c = rgb[(y // scale) * width + x // scale]
            if c is None:
                c = (0xcc, 0xcc, 0xcc) if (x // 8 + y // 8) % 2 else (0xff, 0xff, 0xff)
            row += bytes(c)
        rows.append(bytes(row))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width * scale,
                height * scale, 8, 2, 0, 0, 0)) + chunk(b"IDAT", zlib.compress(b"".join(rows)))
                + chunk(b"IEND", b""))


def write(path, data):
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, path)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--out-dir", required=True)
    ap.add_argument("--preview", help="folder for enlarged PNG copies")
    args = ap.parse_args()
    os.makedirs(args.out_dir, exist_ok=True)
    ico, ico_views = make_ico()
    logo, logo_view = make_logo()
    write(os.path.join(args.out_dir, "pt_setup.ico"), ico)
    write(os.path.join(args.out_dir, "pt_logo.bmp"), logo)
    if args.preview:
        os.makedirs(args.preview, exist_ok=True)
        for size, rgb in ico_views:
            preview_png(os.path.join(args.preview, f"icon{size}.png"), size, size, rgb)
        preview_png(os.path.join(args.preview, "logo.png"), 88, 31, logo_view)


if __name__ == "__main__":
    main()
