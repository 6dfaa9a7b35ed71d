#!/usr/bin/env python3
"""Writes the program's icon as PNG files for Linux desktops, from res/Quarvo.ico.

    python3 tools/ico_to_png.py res/Quarvo.ico OUT.png [SIZE]

Takes the largest image of the .ico (a PNG image as it is, a BMP image with 1, 4, 8, 24 or 32 bits
per pixel and its transparency mask decoded) and writes it as 8-bit RGBA. SIZE, a whole multiple of
the image's size, enlarges it pixel by pixel, which keeps the pixel drawing sharp. Standard library
only, so that the build needs nothing beyond python3.
"""
import struct
import sys
import zlib

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def ico_images(data):
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if reserved != 0 or kind != 1 or count == 0:
        raise ValueError("not an icon file")
    for i in range(count):
        w, h, _, _, _, _, size, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        if offset + size > len(data):
            raise ValueError("icon image %d runs past the end of the file" % i)
        yield (w or 256), (h or 256), data[offset:offset + size]


def png_size(image):
    return struct.unpack_from(">II", image, 16)


def bmp_rgba(image):
    """Decodes one icon BMP (header, palette, colour rows, mask rows; bottom-up) into RGBA rows."""
    (header_size, w, h2, _, bpp, compression, _, _, _, used, _) = struct.unpack_from("<IiiHHIIiiII", image, 0)
    if compression != 0 or bpp not in (1, 4, 8, 24, 32):
        raise ValueError("unsupported icon image: %d bits per pixel, compression %d" % (bpp, compression))
    h = h2 // 2
    pos = header_size
    palette = []
    if bpp <= 8:
        colours = used or (1 << bpp)
        for i in range(colours):
            b, g, r, _ = image[pos + 4 * i:pos + 4 * i + 4]
            palette.append((r, g, b))
        pos += 4 * colours
    stride = (w * bpp + 31) // 32 * 4
    mask_stride = (w + 31) // 32 * 4
    mask_pos = pos + stride * h
    if mask_pos + mask_stride * h > len(image):
        raise ValueError("icon image is shorter than its header says")
    rows = []
    for y in range(h - 1, -1, -1):
        row = image[pos + y * stride:pos + (y + 1) * stride]
        mask = image[mask_pos + y * mask_stride:mask_pos + (y + 1) * mask_stride]
        out = bytearray()
        for x in range(w):
            if bpp == 32:
                b, g, r, a = row[4 * x:4 * x + 4]
                out += bytes((r, g, b, a))
                continue
            if bpp == 24:
                b, g, r = row[3 * x:3 * x + 3]
            else:
                bit = x * bpp
                index = (row[bit // 8] >> (8 - bpp - bit % 8)) & ((1 << bpp) - 1)
                r, g, b = palette[index]
            transparent = (mask[x // 8] >> (7 - x % 8)) & 1
            out += bytes((r, g, b, 0 if transparent else 255))
        rows.append(bytes(out))
    return w, h, rows


def png_bytes(w, h, rows):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    raw = b"".join(b"\0" + row for row in rows)  # filter 0 on every row
    return (PNG_SIGNATURE + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def enlarge(rows, factor):
    out = []
    for row in rows:
        wide = b"".join(row[i:i + 4] * factor for i in range(0, len(row), 4))
        out += [wide] * factor
    return out


def main(argv):
    if len(argv) not in (3, 4):
        sys.exit(__doc__)
    with open(argv[1], "rb") as f:
        w, h, image = max(ico_images(f.read()), key=lambda img: img[0] * img[1])
    size = int(argv[3]) if len(argv) == 4 else w
    if image.startswith(PNG_SIGNATURE):
        if size != png_size(image)[0]:
            sys.exit("%s: its PNG image is %d pixels wide, not %d" % (argv[1], png_size(image)[0], size))
        png = image
    else:
        w, h, rows = bmp_rgba(image)
        if w != h or size % w:
            sys.exit("%s: a %dx%d image does not enlarge to %d" % (argv[1], w, h, size))
        png = png_bytes(size, size, enlarge(rows, size // w))
    with open(argv[2], "wb") as f:
        f.write(png)


if __name__ == "__main__":
    main(sys.argv)
