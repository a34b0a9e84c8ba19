"""Decodes an 8-bit RGB PNG with nothing but zlib and compares its pixels with a
raw frame of 0x00RRGGBB words, least significant byte first.

    python3 png_matches_raw.py PICTURE.png FRAME.raw

Checks every chunk's CRC and undoes all five row filters, as a strict viewer
would; names the first differing pixel. Exit 0 when every pixel matches.
"""
import struct
import sys
import zlib


def read_chunks(data):
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        sys.exit("not a PNG: bad signature")
    offset = 8
    while offset < len(data):
        length, kind = struct.unpack(">I4s", data[offset:offset + 8])
        body = data[offset + 8:offset + 8 + length]
        (crc,) = struct.unpack(">I", data[offset + 8 + length:offset + 12 + length])
        if zlib.crc32(kind + body) != crc:
            sys.exit("chunk %r: CRC mismatch" % kind)
        yield kind, body
        offset += 12 + length


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    return a if pa <= pb and pa <= pc else (b if pb <= pc else c)


def unfilter(raw, width, height, bpp=3):
    stride = width * bpp
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        row = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            a = row[x - bpp] if x >= bpp else 0
            b = previous[x]
            c = previous[x - bpp] if x >= bpp else 0
            predictor = (0, a, b, (a + b) // 2, paeth(a, b, c))[kind]
            row[x] = (row[x] + predictor) & 0xFF
        rows.append(row)
        previous = row
    return rows


def main(png_path, raw_path):
    chunks = list(read_chunks(open(png_path, "rb").read()))
    if chunks[0][0] != b"IHDR" or chunks[-1][0] != b"IEND":
        sys.exit("chunks out of order: %s" % [kind for kind, _ in chunks])
    width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", chunks[0][1])
    if (depth, colour, interlace) != (8, 2, 0):
        sys.exit("expected 8-bit RGB without interlace, got depth %d colour type %d" % (depth, colour))
    pixels = unfilter(zlib.decompress(b"".join(body for kind, body in chunks if kind == b"IDAT")), width, height)
    frame = open(raw_path, "rb").read()
    if len(frame) != width * height * 4:
        sys.exit("raw frame has %d bytes, not %d x %d x 4" % (len(frame), width, height))
    for y, row in enumerate(pixels):
        for x in range(width):
            blue, green, red = frame[(y * width + x) * 4:(y * width + x) * 4 + 3]
            if tuple(row[3 * x:3 * x + 3]) != (red, green, blue):
                sys.exit("pixel (%d, %d): PNG %02X%02X%02X, frame %02X%02X%02X" % ((x, y) + tuple(row[3 * x:3 * x + 3]) + (red, green, blue)))
    print("%s: %d x %d pixels match %s" % (png_path, width, height, raw_path))


main(*sys.argv[1:])
