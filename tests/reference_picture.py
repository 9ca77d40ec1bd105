#!/usr/bin/env python3
"""Decodes a BLP1 or TGA picture apart from the program, for the tests to compare:
reference_picture.py PICTURE OUTPUT. OUTPUT gets a line "WIDTH HEIGHT ALPHA KIND"
followed by the pixels as R, G, B, A bytes, rows top to bottom. Exit status 1 with
the reason on standard error when the picture is not decoded.

TGA goes through Pillow's own reader. A paletted BLP1 is read here (Pillow's BLP
reader drops the alpha and reads the palette's unused one); the JPEG kind is not
read, as Pillow takes its four components for inverted CMYK."""
import io
import struct
import sys

from PIL import Image


def blp(data):
    compression, alpha_depth, width, height = struct.unpack_from("<4i", data, 4)
    offset, length = struct.unpack_from("<i", data, 28)[0], struct.unpack_from("<i", data, 92)[0]
    alpha = alpha_depth > 0
    if compression == 1:
        palette = data[156:156 + 1024]
        count = width * height
        mipmap = data[offset:offset + length]
        pixels = bytearray()
        for i in range(count):
            b, g, r = palette[mipmap[i] * 4:mipmap[i] * 4 + 3]
            if alpha_depth == 8:
                a = mipmap[count + i]
            elif alpha_depth == 4:  # two a byte, the first in the low half
                a = (mipmap[count + i // 2] >> (i % 2 * 4) & 15) * 17
            elif alpha_depth == 1:  # eight a byte, the first in the lowest bit
                a = 255 if mipmap[count + i // 8] >> (i % 8) & 1 else 0
            else:
                a = 255
            pixels += bytes((r, g, b, a))
        return width, height, alpha, f"paletted alpha {alpha_depth}", bytes(pixels)
    raise ValueError(f"BLP1 compression {compression}")


def tga(data):
    image = Image.open(io.BytesIO(data), formats=["TGA"])
    kind = f"tga type {data[2]} bits {data[16]} {'top' if data[17] & 0x20 else 'bottom'} row first"
    alpha = image.mode == "RGBA"
    return image.width, image.height, alpha, kind, image.convert("RGBA").tobytes()


def main():
    data = open(sys.argv[1], "rb").read()
    try:
        width, height, alpha, kind, pixels = blp(data) if data[:4] == b"BLP1" else tga(data)
    except Exception as error:  # any failure is the answer here
        print(f"not decoded: {error}", file=sys.stderr)
        return 1
    with open(sys.argv[2], "wb") as out:
        out.write(f"{width} {height} {int(alpha)} {kind}\n".encode())
        out.write(pixels)
    return 0


sys.exit(main())
