#!/usr/bin/env python3
"""Draws res/Quarvo.ico: one 32 x 32 image, 256 colours (8 bits per pixel).

The picture: a dark blue rounded tile with three monitors joined by a network line, and a green
wake arrow. Run after changing the drawing:  python3 tools/make_icon.py
"""
import pathlib
import struct

W = H = 32
PALETTE = [
    (0, 0, 0),        # 0 transparent (masked)
    (24, 52, 110),    # 1 tile
    (40, 80, 150),    # 2 tile edge
    (230, 236, 245),  # 3 screen frame
    (70, 170, 230),   # 4 screen
    (250, 250, 250),  # 5 network line
    (40, 200, 90),    # 6 wake arrow
    (20, 30, 60),     # 7 stand
]


def draw():
    px = [[0] * W for _ in range(H)]

    def rect(x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                px[y][x] = c

    # Tile with cut corners.
    rect(1, 1, 30, 30, 2)
    rect(2, 2, 29, 29, 1)
    for (x, y) in [(1, 1), (30, 1), (1, 30), (30, 30)]:
        px[y][x] = 0
    # Network line across the middle and down to each monitor.
    rect(4, 18, 27, 18, 5)
    for cx in (7, 16, 25):
        rect(cx, 18, cx, 20, 5)
    # Three monitors below the line.
    for cx in (7, 16, 25):
        rect(cx - 3, 21, cx + 3, 26, 3)
        rect(cx - 2, 22, cx + 2, 25, 4)
        rect(cx - 1, 27, cx + 1, 27, 7)
    # Wake arrow pointing up, above the line.
    rect(15, 7, 17, 15, 6)
    for i in range(5):
        rect(16 - i, 4 + i + 1, 16 + i, 4 + i + 1, 6)
    # Scan arcs left and right of the arrow.
    for (x, y) in [(9, 9), (8, 10), (8, 11), (8, 12), (9, 13), (23, 9), (24, 10), (24, 11), (24, 12), (23, 13)]:
        px[y][x] = 5
    return px


def ico_bytes(px):
    xor_rows = []
    and_rows = []
    for y in range(H - 1, -1, -1):  # bottom-up
        xor_rows.append(bytes(px[y]))
        bits = 0
        for x in range(W):
            bits = (bits << 1) | (1 if px[y][x] == 0 else 0)
        and_rows.append(struct.pack(">I", bits))
    palette = b"".join(bytes((b, g, r, 0)) for (r, g, b) in PALETTE) + b"\0" * 4 * (256 - len(PALETTE))
    header = struct.pack("<IiiHHIIiiII", 40, W, H * 2, 1, 8, 0, 0, 0, 0, 256, 0)
    image = header + palette + b"".join(xor_rows) + b"".join(and_rows)
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", W, H, 0, 0, 1, 8, len(image), 22)
    return directory + image


def main():
    root = pathlib.Path(__file__).resolve().parent.parent
    (root / "res/Quarvo.ico").write_bytes(ico_bytes(draw()))


if __name__ == "__main__":
    main()
