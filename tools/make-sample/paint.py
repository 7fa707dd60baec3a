"""The texture atlas: every body part paints its own rectangle by evaluating its colour at the
surface point under each texel, so the face's features keep their shapes on the curved head.
Written as an 8-bit RGB PNG: the body is opaque, so it needs no alpha channel."""

import struct
import zlib

import body


def paint_atlas(parts):
    size = body.TEXTURE_SIZE
    pixels = [[(235, 235, 240)] * size for _ in range(size)]
    done = set()
    for part in parts:
        if part.rect in done:
            continue  # mirrored parts share their rectangle
        done.add(part.rect)
        paint_rect(pixels, part)
    return pixels


def paint_rect(pixels, part):
    x0, y0, w, h = part.rect
    inner_w = w - 2 * body.MARGIN
    inner_h = h - 2 * body.MARGIN
    for py in range(y0, y0 + h):
        v = min(1.0, max(0.0, (py + 0.5 - y0 - body.MARGIN) / inner_h))
        row = pixels[py]
        for px in range(x0, x0 + w):
            u = min(1.0, max(0.0, (px + 0.5 - x0 - body.MARGIN) / inner_w))
            colour = part.paint(u, v, part.point(u, v))
            row[px] = tuple(max(0, min(255, int(round(c)))) for c in colour)


def png_bytes(pixels):
    height = len(pixels)
    width = len(pixels[0])
    raw = bytearray()
    for row in pixels:
        raw.append(1)  # filter: Sub, which turns flat colour into runs of zeros
        prev = (0, 0, 0)
        for pixel in row:
            raw.extend((c - p) & 0xFF for c, p in zip(pixel, prev))
            prev = pixel

    def chunk(kind, data):
        body_ = kind + data
        return struct.pack(">I", len(data)) + body_ + struct.pack(">I", zlib.crc32(body_) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))
