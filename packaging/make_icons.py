#!/usr/bin/env python3
"""Draws the menu icon from a frame of the torus, in the sizes icon themes use.

    make_icons.py DEMO_SNAPSHOT [DIR]          writes DIR/torus-demo-N.png (DIR: packaging/icons)
    make_icons.py DEMO_SNAPSHOT [DIR] --check  exit 1 if the pictures in DIR differ from a new drawing

The frame is cut to the smallest disc around the torus; inside the disc the
frame's black stays, outside it the icon is transparent. Each size averages the
source pixels it covers, by the share of each pixel it covers, so the edge of
the disc comes out smooth. The pictures are generated once and kept in the
repository, so that a package builds without running what it packages.
"""
import math
import struct
import subprocess
import sys
import zlib
from pathlib import Path

SEED, FRAME = 12345, 40  # the frame the README shows
WIDTH, HEIGHT = 640, 480
SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
MARGIN = 2  # pixels of black around the torus's outermost pixel


def render_frame(snapshot):
    """The frame as rows of (r, g, b), from the tool's raw 0x00RRGGBB words."""
    raw = subprocess.run([snapshot, "--seed", str(SEED), "--frame", str(FRAME), "-o", "-"],
                         check=True, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
    if len(raw) != WIDTH * HEIGHT * 4:
        sys.exit("make_icons: %s gave %d bytes, not one frame" % (snapshot, len(raw)))
    return [[(raw[i + 2], raw[i + 1], raw[i]) for i in range(row * WIDTH * 4, (row + 1) * WIDTH * 4, 4)]
            for row in range(HEIGHT)]


def enclosing_disc(frame):
    """Centre and radius of a disc that holds every lit pixel."""
    lit = [(x, y) for y, row in enumerate(frame) for x, pixel in enumerate(row) if pixel != (0, 0, 0)]
    xs, ys = [x for x, _ in lit], [y for _, y in lit]
    cx, cy = (min(xs) + max(xs) + 1) / 2, (min(ys) + max(ys) + 1) / 2
    reach = max(math.hypot(x + 0.5 - cx, y + 0.5 - cy) for x, y in lit)
    return cx, cy, math.ceil(reach) + MARGIN


def source_square(frame):
    """The disc's bounding square as rows of premultiplied (r, g, b, a); black past the frame."""
    cx, cy, radius = enclosing_disc(frame)
    left, top = round(cx) - radius, round(cy) - radius
    square = []
    for y in range(top, top + 2 * radius):
        row = []
        for x in range(left, left + 2 * radius):
            inside = math.hypot(x + 0.5 - (left + radius), y + 0.5 - (top + radius)) <= radius
            pixel = frame[y][x] if 0 <= x < WIDTH and 0 <= y < HEIGHT else (0, 0, 0)
            row.append((*pixel, 255) if inside else (0, 0, 0, 0))
        square.append(row)
    return square


def coverage(source_size, size):
    """For each of `size` target pixels, the (source index, share) pairs it covers."""
    step = source_size / size
    spans = []
    for i in range(size):
        start, end = i * step, (i + 1) * step
        spans.append([(s, (min(end, s + 1) - max(start, s)) / step)
                      for s in range(math.floor(start), math.ceil(end))])
    return spans


def scale(square, size):
    """Box filter: rows first, then columns; colour stays premultiplied until the end."""
    spans = coverage(len(square), size)
    rows = [[tuple(sum(row[s][c] * share for s, share in span) for c in range(4)) for span in spans]
            for row in square]
    icon = []
    for span in spans:
        out_row = []
        for x in range(size):
            r, g, b, a = (sum(rows[s][x][c] * share for s, share in span) for c in range(4))
            if a == 0:
                out_row.append((0, 0, 0, 0))
            else:
                out_row.append(tuple(min(255, round(v * 255 / a)) for v in (r, g, b)) + (round(a),))
        icon.append(out_row)
    return icon


def scanlines(icon):
    """The PNG's filtered image data: filter byte 0, then RGBA bytes, per row."""
    return b"".join(b"\0" + bytes(v for pixel in row for v in pixel) for row in icon)


def png(icon):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    header = struct.pack(">IIBBBBB", len(icon[0]), len(icon), 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(scanlines(icon), 9)) + chunk(b"IEND", b""))


def stored_scanlines(path):
    """The filtered image data of a PNG this script wrote (one or more IDAT chunks)."""
    data, pos, idat = path.read_bytes(), 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        if kind == b"IDAT":
            idat += data[pos + 8:pos + 8 + length]
        pos += 12 + length
    return zlib.decompress(idat)


def main(args):
    check = "--check" in args
    args = [a for a in args if a != "--check"]
    if not 1 <= len(args) <= 2:
        sys.exit(__doc__)
    out = Path(args[1]) if len(args) == 2 else Path(__file__).resolve().parent / "icons"
    square = source_square(render_frame(args[0]))
    stale = []
    for size in SIZES:
        icon, path = scale(square, size), out / ("torus-demo-%d.png" % size)
        if check:
            if not path.is_file() or stored_scanlines(path) != scanlines(icon):
                stale.append(path.name)
        else:
            out.mkdir(parents=True, exist_ok=True)
            path.write_bytes(png(icon))
    if stale:
        print("make_icons: differ from a new drawing: %s; redraw them with %s %s"
              % (" ".join(stale), Path(__file__).name, args[0]))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
