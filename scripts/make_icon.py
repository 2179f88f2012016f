#!/usr/bin/env python3
"""Draws Kavrin's icon and writes packaging/kavrin.ico (32x32 in 2 colours,
32x32 in 16 colours, 16x16 in 16 colours) for the Windows build. The icons of
the Linux launchers come from packaging/kavrin.svg.

The picture: a red and a blue solution curve over black axes on a light
ground, the program's plot in miniature."""
import os
import struct

# The standard 16-colour palette.
VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
       (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
       (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, GREY, RED, BLUE, WHITE, SILVER = 0, 8, 9, 12, 15, 7


def picture(size):
    """Palette indices, row 0 at the top."""
    px = [[WHITE] * size for _ in range(size)]
    s = size / 32.0

    def put(x, y, c):
        x, y = int(round(x)), int(round(y))
        if 0 <= x < size and 0 <= y < size:
            px[y][x] = c

    # Frame and grid.
    for i in range(size):
        put(i, 0, GREY), put(i, size - 1, GREY), put(0, i, GREY), put(size - 1, i, GREY)
    for g in range(1, 4):
        for i in range(1, size - 1):
            put(int(g * 8 * s), i, SILVER)
            put(i, int(g * 8 * s), SILVER)
    # Axes.
    ax, ay = int(4 * s), int(16 * s)
    for i in range(1, size - 1):
        put(i, ay, BLACK)
        put(ax, i, BLACK)
    # Curves: y1 falls then rises, y2 climbs from below.
    steps = 4 * size
    for k in range(steps + 1):
        t = k / steps
        x = ax + t * (size - 2 - ax)
        put(x, ay - (10 * s) * (1 - 0.6 * t + 0.9 * t * t) + 1, RED)
        put(x, ay + (11 * s) * (1 - t) ** 1.5 - 1, BLUE)
    return px


def bmp_entry(px, bits, palette):
    size = len(px)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bits, 0, 0, 0, 0, len(palette), 0)
    pal = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in palette)
    rows = []
    for row in reversed(px):  # bottom-up
        if bits == 4:
            data = bytes((row[i] << 4) | row[i + 1] for i in range(0, size, 2))
        else:
            data = bytes(sum((row[i + j] << (7 - j)) for j in range(8)) for i in range(0, size, 8))
        data += b'\0' * ((-len(data)) % 4)
        rows.append(data)
    mask_row = b'\0' * (((size + 31) // 32) * 4)  # fully opaque
    return header + pal + b''.join(rows) + mask_row * size


def main():
    out = os.path.join(os.path.dirname(__file__), '..', 'packaging')
    p32, p16 = picture(32), picture(16)
    mono = [[0 if c in (BLACK, RED, BLUE) else 1 for c in row] for row in p32]
    images = [(32, 2, bmp_entry(mono, 1, [(0, 0, 0), (255, 255, 255)])),
              (32, 16, bmp_entry(p32, 4, VGA)),
              (16, 16, bmp_entry(p16, 4, VGA))]
    head = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, blobs = b'', b''
    for size, colours, blob in images:
        bits = 1 if colours == 2 else 4
        entries += struct.pack('<BBBBHHII', size, size, colours, 0, 1, bits, len(blob), offset)
        offset += len(blob)
        blobs += blob
    with open(os.path.join(out, 'kavrin.ico'), 'wb') as f:
        f.write(head + entries + blobs)


if __name__ == '__main__':
    main()
