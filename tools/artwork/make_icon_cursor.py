#!/usr/bin/env python3
"""Draws the program icon (32x32, 16 colours) and the pointing-hand cursor
(32x32, monochrome, hot spot 2,0) and writes them as .ico and .cur files.
Run it only when the artwork changes; the build uses the committed files."""
import struct
import sys
from pathlib import Path

HAND = [
    "  ##",
    " #..#",
    " #..#",
    " #..#",
    " #..#",
    " #..###",
    " #..#..##",
    " #..#..#.##",
    " #..#..#..###",
    " #..#..#..#..#",
    "##..#..#..#..#",
    "#.#..........#",
    "#..#.........#",
    " #...........#",
    "  #..........#",
    "  #.........#",
    "   #........#",
    "   #.......#",
    "    #......#",
    "    ########",
]

# The 16 colours of the standard VGA palette, as (red, green, blue).
VGA = [(0, 0, 0), (0, 0, 128), (0, 128, 0), (0, 128, 128), (128, 0, 0), (128, 0, 128), (128, 128, 0),
       (192, 192, 192), (128, 128, 128), (0, 0, 255), (0, 255, 0), (0, 255, 255), (255, 0, 0),
       (255, 0, 255), (255, 255, 0), (255, 255, 255)]
NAVY, WHITE, BLUE = 1, 15, 11  # navy, white and cyan in the palette above


def bmp_header(bpp, colours, image_size):
    return struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, bpp, 0, image_size, 0, 0, colours, 0)


def rows_bottom_up(pixels):
    return list(reversed(pixels))


def pack_mask(rows):
    out = b""
    for row in rows_bottom_up(rows):
        bits = 0
        for x in range(32):
            bits = (bits << 1) | (1 if row[x] else 0)
        out += struct.pack(">I", bits)
    return out


def cursor():
    grid = [[" "] * 32 for _ in range(32)]
    for y, line in enumerate(HAND):
        for x, ch in enumerate(line):
            grid[y][x] = ch
    xor_rows = [[ch == "." for ch in row] for row in grid]
    and_rows = [[ch == " " for ch in row] for row in grid]
    palette = struct.pack("<4B4B", 0, 0, 0, 0, 255, 255, 255, 0)
    body = bmp_header(1, 2, 256) + palette + pack_mask(xor_rows) + pack_mask(and_rows)
    header = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", 32, 32, 0, 0, 2, 0, len(body), 6 + 16)
    return header + entry + body


def icon():
    pixels = [[None] * 32 for _ in range(32)]
    for y in range(2, 30):
        for x in range(2, 30):
            corner = min(x - 2, 29 - x) < 4 and min(y - 2, 29 - y) < 4
            if corner:
                cx = 6 if x < 16 else 25
                cy = 6 if y < 16 else 25
                if (x - cx) ** 2 + (y - cy) ** 2 > 17:
                    continue
            pixels[y][x] = NAVY
    # A white "V" and a light "2" beside it.
    for y in range(8, 23):
        half = (y - 8) * 5 // 14
        for x in (7 + half, 8 + half, 16 - half, 17 - half):
            pixels[y][x] = WHITE
    two = ["####", "   #", "   #", "####", "#   ", "#   ", "####"]
    for dy, line in enumerate(two):
        for dx, ch in enumerate(line):
            if ch == "#":
                pixels[15 + dy][20 + dx] = BLUE
    palette = b"".join(struct.pack("<4B", b, g, r, 0) for (r, g, b) in VGA)
    xor = b""
    for row in rows_bottom_up(pixels):
        line = bytearray()
        for x in range(0, 32, 2):
            hi = row[x] if row[x] is not None else 0
            lo = row[x + 1] if row[x + 1] is not None else 0
            line.append((hi << 4) | lo)
        xor += bytes(line)
    and_mask = pack_mask([[p is None for p in row] for row in pixels])
    body = bmp_header(4, 16, len(xor)) + palette + xor + and_mask
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", 32, 32, 16, 0, 1, 4, len(body), 6 + 16)
    return header + entry + body


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parents[2] / "resources"
    (out / "initvl2.ico").write_bytes(icon())
    (out / "hand.cur").write_bytes(cursor())


if __name__ == "__main__":
    main()
