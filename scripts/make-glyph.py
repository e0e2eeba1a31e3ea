#!/usr/bin/env python3
"""Writes the OK button's glyph: a 16x16 bitmap with a 256-colour palette,
a green check mark on magenta (the colour the button shows as transparent)."""
import struct
import sys

ART = [
    "................",
    "................",
    "................",
    "............d...",
    "...........dGd..",
    "..........dGGd..",
    "...d.....dGGd...",
    "..dGd...dGGd....",
    "..dGGd.dGGd.....",
    "...dGGdGGd......",
    "....dGGGd.......",
    ".....dGd........",
    "......d.........",
    "................",
    "................",
    "................",
]
PALETTE = {".": (255, 0, 255), "G": (0, 176, 0), "d": (0, 96, 0)}


def bitmap():
    order = list(PALETTE)
    colours = [PALETTE[k] for k in order] + [(0, 0, 0)] * (256 - len(order))
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in colours)
    # Rows bottom-up, each 16 bytes (already a multiple of 4).
    pixels = b"".join(bytes(order.index(c) for c in row) for row in reversed(ART))
    info = struct.pack("<IiiHHIIiiII", 40, 16, 16, 1, 8, 0, len(pixels), 2835, 2835, 256, 0)
    offset = 14 + len(info) + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return header + info + palette + pixels


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as out:
        out.write(bitmap())
