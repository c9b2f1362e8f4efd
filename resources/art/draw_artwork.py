#!/usr/bin/env python3
"""Draws the installer's icons and bitmaps and writes them as ICO and BMP files.

Usage: draw_artwork.py OUTPUT_DIR

Everything is drawn here from geometry (no image files are read), so the
artwork is reproducible byte for byte from this script alone:

  zerka.ico        48x48, 32-bit BGRA with AND mask   (icon 101, shown by the shell)
  zerka_small.ico  16x16, 32-bit BGRA with AND mask   (icon 102, window icon)
  help.ico         20x20, 8-bit palette with AND mask  (icon 104, Help button)
  picture.bmp      96x96, 24-bit                       (bitmaps 100 and 103)
"""

import math
import os
import struct
import sys

SUPERSAMPLE = 4  # samples per axis for anti-aliasing


# ---------------------------------------------------------------- geometry

def inside_polygon(x, y, pts):
    hit = False
    j = len(pts) - 1
    for i in range(len(pts)):
        xi, yi = pts[i]
        xj, yj = pts[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            hit = not hit
        j = i
    return hit


def inside_round_rect(x, y, x0, y0, x1, y1, r):
    if x < x0 or x > x1 or y < y0 or y > y1:
        return False
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def z_glyph(cx, cy, size):
    """A stylised "z": two bars joined by a slanted stroke, in unit size."""
    h = size / 2.0
    t = size * 0.22  # stroke thickness
    left, right, top, bottom = cx - h, cx + h, cy - h, cy + h
    return [
        (left, top), (right, top), (right, top + t),
        (left + t * 1.45, bottom - t), (right, bottom - t), (right, bottom),
        (left, bottom), (left, bottom - t),
        (right - t * 1.45, top + t), (left, top + t),
    ]


def lerp(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(len(a)))


def over(dst, src_rgb, alpha):
    """Composites src over a premultiplied-free RGBA dst (floats 0..1)."""
    r, g, b, a = dst
    out_a = alpha + a * (1 - alpha)
    if out_a <= 0:
        return (0.0, 0.0, 0.0, 0.0)
    mix = lambda s, d: (s * alpha + d * a * (1 - alpha)) / out_a
    return (mix(src_rgb[0], r), mix(src_rgb[1], g), mix(src_rgb[2], b), out_a)


def render(width, height, layers):
    """layers: list of (coverage(x, y) -> bool, colour(x, y) -> rgb) in unit coordinates."""
    n = SUPERSAMPLE
    pixels = []
    for py in range(height):
        row = []
        for px in range(width):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(n):
                for sx in range(n):
                    x = (px + (sx + 0.5) / n) / width
                    y = (py + (sy + 0.5) / n) / height
                    c = (0.0, 0.0, 0.0, 0.0)
                    for covers, colour in layers:
                        if covers(x, y):
                            c = over(c, colour(x, y), 1.0)
                    # accumulate premultiplied, so edges blend correctly
                    acc[0] += c[0] * c[3]
                    acc[1] += c[1] * c[3]
                    acc[2] += c[2] * c[3]
                    acc[3] += c[3]
            samples = n * n
            a = acc[3] / samples
            if a > 0:
                rgb = (acc[0] / acc[3], acc[1] / acc[3], acc[2] / acc[3])
            else:
                rgb = (0.0, 0.0, 0.0)
            row.append((rgb[0], rgb[1], rgb[2], a))
        pixels.append(row)
    return pixels


def to_byte(v):
    return max(0, min(255, int(round(v * 255))))


# ---------------------------------------------------------------- the emblem

DISC_TOP = (0.20, 0.62, 0.98)
DISC_BOTTOM = (0.04, 0.26, 0.62)
RIM = (0.02, 0.16, 0.42)
GLYPH = (1.0, 1.0, 1.0)
GLYPH_SHADOW = (0.01, 0.10, 0.30)


def emblem_layers(cx, cy, radius):
    """A blue disc with a white "z" on it: the zerka emblem."""
    rim = radius
    face = radius * 0.88
    glyph = z_glyph(cx, cy, radius * 1.0)
    shadow = [(x + radius * 0.05, y + radius * 0.06) for x, y in glyph]

    def in_circle(r):
        return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r

    def face_colour(x, y):
        t = (y - (cy - face)) / (2 * face)
        return lerp(DISC_TOP, DISC_BOTTOM, min(max(t, 0.0), 1.0))

    in_face = in_circle(face)
    return [
        (in_circle(rim), lambda x, y: RIM),
        (in_face, face_colour),
        (lambda x, y: in_face(x, y) and inside_polygon(x, y, shadow), lambda x, y: GLYPH_SHADOW),
        (lambda x, y: inside_polygon(x, y, glyph), lambda x, y: GLYPH),
    ]


def emblem(size):
    return render(size, size, emblem_layers(0.5, 0.5, 0.48))


def picture():
    """The 96x96 picture: a USB stick carrying the emblem, on a light card."""
    card_top = (1.0, 1.0, 1.0)
    card_bottom = (0.86, 0.92, 0.98)
    border = (0.55, 0.66, 0.80)
    body = (0.24, 0.27, 0.32)
    body_light = (0.42, 0.46, 0.52)
    plug = (0.78, 0.80, 0.83)
    plug_hole = (0.35, 0.37, 0.40)

    def card_colour(x, y):
        return lerp(card_top, card_bottom, y)

    def body_colour(x, y):
        t = min(max((x - 0.24) / 0.52, 0.0), 1.0)
        return lerp(body_light, body, t)

    layers = [
        (lambda x, y: True, lambda x, y: border),
        (lambda x, y: inside_round_rect(x, y, 0.02, 0.02, 0.98, 0.98, 0.08), card_colour),
        # the plug on top, with its two contact holes
        (lambda x, y: 0.36 <= x <= 0.64 and 0.06 <= y <= 0.24, lambda x, y: plug),
        (lambda x, y: (0.41 <= x <= 0.47 or 0.53 <= x <= 0.59) and 0.11 <= y <= 0.16,
         lambda x, y: plug_hole),
        # the body
        (lambda x, y: inside_round_rect(x, y, 0.24, 0.22, 0.76, 0.95, 0.07), body_colour),
    ]
    layers += emblem_layers(0.5, 0.60, 0.22)
    return render(96, 96, layers)


def question_mark(size):
    """A round blue button with a white question mark, for the Help button."""
    cx, cy = 0.5, 0.5
    r = 0.47
    stroke = 0.075  # half stroke width

    def in_hook(x, y):
        dx, dy = x - cx, y - 0.36
        d = math.hypot(dx, dy)
        if abs(d - 0.14) > stroke:
            return False
        angle = math.degrees(math.atan2(dy, dx))  # y grows downwards
        # open at the lower left, where the hook would run into the stem
        return not 90 < angle < 160

    def in_stem(x, y):
        return abs(x - cx) <= stroke and 0.48 <= y <= 0.64

    def in_dot(x, y):
        return (x - cx) ** 2 + (y - 0.79) ** 2 <= (stroke * 1.25) ** 2

    def face_colour(x, y):
        return lerp((0.30, 0.62, 0.96), (0.05, 0.30, 0.70), y)

    return render(size, size, [
        (lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r, face_colour),
        (lambda x, y: in_hook(x, y) or in_stem(x, y) or in_dot(x, y), lambda x, y: GLYPH),
    ])


# ---------------------------------------------------------------- file formats

def bitmap_info_header(width, height, bits, colours_used=0, image_size=0):
    return struct.pack('<IiiHHIIiiII', 40, width, height, 1, bits, 0, image_size,
                       0, 0, colours_used, 0)


def and_mask(pixels, opaque):
    """1-bit mask, bottom-up, rows padded to 32 bits; a set bit is transparent."""
    width = len(pixels[0])
    stride = ((width + 31) // 32) * 4
    out = bytearray()
    for row in reversed(pixels):
        bits = bytearray(stride)
        for x, p in enumerate(row):
            if not opaque(p):
                bits[x // 8] |= 0x80 >> (x % 8)
        out += bits
    return bytes(out)


def icon_image_32(pixels):
    size = len(pixels)
    xor = bytearray()
    for row in reversed(pixels):
        for r, g, b, a in row:
            xor += bytes((to_byte(b), to_byte(g), to_byte(r), to_byte(a)))
    mask = and_mask(pixels, lambda p: to_byte(p[3]) > 0)
    header = bitmap_info_header(size, size * 2, 32, 0, len(xor) + len(mask))
    return header + bytes(xor) + mask, 0, 32


def icon_image_8(pixels):
    """256-colour icon: exact palette of the opaque colours, binary transparency."""
    size = len(pixels)
    # edge pixels are blended against the button face so they look right with a hard mask
    face = (0.93, 0.93, 0.93)

    def flat(p):
        r, g, b, a = p
        return tuple(to_byte(c * a + f * (1 - a)) for c, f in zip((r, g, b), face))

    opaque = lambda p: p[3] >= 0.5
    step = 1
    while True:
        palette = [(0, 0, 0)]  # index 0: black, under the transparent pixels
        index = {}
        for row in pixels:
            for p in row:
                if opaque(p):
                    c = tuple((v // step) * step for v in flat(p))
                    if c not in index:
                        index[c] = len(palette)
                        palette.append(c)
        if len(palette) <= 256:
            break
        step *= 2
    palette += [(0, 0, 0)] * (256 - len(palette))
    xor = bytearray()
    for row in reversed(pixels):
        line = bytearray()
        for p in row:
            line.append(index[tuple((v // step) * step for v in flat(p))] if opaque(p) else 0)
        line += bytes((-len(line)) % 4)
        xor += line
    mask = and_mask(pixels, opaque)
    pal = b''.join(bytes((b, g, r, 0)) for r, g, b in palette)
    header = bitmap_info_header(size, size * 2, 8, 0, len(xor) + len(mask))
    return header + pal + bytes(xor) + mask, 0, 8


def write_ico(path, image):
    data, colour_count, bits = image
    size = struct.unpack_from('<i', data, 4)[0]
    directory = struct.pack('<HHH', 0, 1, 1)
    entry = struct.pack('<BBBBHHII', size % 256, size % 256, colour_count, 0, 1, bits,
                        len(data), 6 + 16)
    with open(path, 'wb') as f:
        f.write(directory + entry + data)


def write_bmp24(path, pixels):
    width, height = len(pixels[0]), len(pixels)
    body = bytearray()
    for row in reversed(pixels):
        line = bytearray()
        for r, g, b, a in row:
            line += bytes((to_byte(b * a), to_byte(g * a), to_byte(r * a)))
        line += bytes((-len(line)) % 4)
        body += line
    header = bitmap_info_header(width, height, 24, 0, len(body))
    file_header = struct.pack('<2sIHHI', b'BM', 14 + len(header) + len(body), 0, 0,
                              14 + len(header))
    with open(path, 'wb') as f:
        f.write(file_header + header + bytes(body))


def main():
    if len(sys.argv) != 2:
        sys.stderr.write('usage: draw_artwork.py OUTPUT_DIR\n')
        return 2
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    write_ico(os.path.join(out, 'zerka.ico'), icon_image_32(emblem(48)))
    write_ico(os.path.join(out, 'zerka_small.ico'), icon_image_32(emblem(16)))
    write_ico(os.path.join(out, 'help.ico'), icon_image_8(question_mark(20)))
    write_bmp24(os.path.join(out, 'picture.bmp'), picture())
    return 0


if __name__ == '__main__':
    sys.exit(main())
