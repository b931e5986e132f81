#!/usr/bin/env python3
"""Writes the add-in's two binary resources next to this script.

MENUBMP.bmp  the face of the command-bar button and the menu entry: 32 x 32,
             16 bits per pixel with the bit fields 0x7C00/0x03E0/0x001F and a
             white (0x7FFF) background; a yellow warning sign with a black "!".
ADDINRECORD  the add-in record the environment's add-in designer reads: the
             designer's class id, the size of the rest, then the fields, each
             text preceded by its length with the NUL counted.

Both files are committed; run this again only to change them.
"""
import os
import struct
import uuid

HERE = os.path.dirname(os.path.abspath(__file__))

WHITE = 0x7FFF


def rgb555(r, g, b):
    return (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3)


def menu_picture():
    """Rows top to bottom, one 16-bit value per pixel."""
    outline = rgb555(0x40, 0x30, 0x00)
    fill = rgb555(0xF8, 0xC8, 0x00)
    mark = rgb555(0x00, 0x00, 0x00)
    rows = [[WHITE] * 32 for _ in range(32)]
    top, bottom = 3, 28
    for y in range(top, bottom + 1):
        # From two pixels at the top to twenty-eight at the bottom.
        half = (y - top) * 13 // (bottom - top)
        left, right = 15 - half, 16 + half
        for x in range(left, right + 1):
            edge = x in (left, right) or y in (top, bottom)
            rows[y][x] = outline if edge else fill
    for y in range(10, 21):  # the bar of the "!"
        rows[y][15] = rows[y][16] = mark
    for y in (23, 24):  # its dot
        rows[y][15] = rows[y][16] = mark
    return rows


def write_bmp(path):
    rows = menu_picture()
    pixels = b"".join(struct.pack("<32H", *row) for row in reversed(rows))  # bottom-up
    assert len(pixels) == 2048
    masks = struct.pack("<3I", 0x7C00, 0x03E0, 0x001F)
    info = struct.pack("<IiiHHIIiiII", 40, 32, 32, 1, 16, 3, len(pixels), 0, 0, 0, 0)
    offset = 14 + len(info) + len(masks)
    head = b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(head + info + masks + pixels)


def text(s):
    data = s.encode("ascii") + b"\0"
    return struct.pack("<I", len(data)) + data


def write_record(path):
    designer = uuid.UUID("{AC0714F7-3D04-11D1-AE7D-00A0C90F26F4}").bytes_le
    rest = (
        text("HKEY_CURRENT_USER\\Software\\Microsoft\\Visual Basic\\6.0")
        + text("TRAPLINE")
        + text("Insert Error handler to project functions, procedures and properties")
        + struct.pack("<I", 1)  # initial load behaviour
        + struct.pack("<I", 0)  # no satellite resource library
        + struct.pack("<I", 0)  # no additional registry key
        + struct.pack("<I", 1)  # flag
        + bytes(12)  # reserved
    )
    assert len(rest) == 172
    with open(path, "wb") as f:
        f.write(designer + struct.pack("<I", len(rest)) + rest)


if __name__ == "__main__":
    write_bmp(os.path.join(HERE, "MENUBMP.bmp"))
    write_record(os.path.join(HERE, "ADDINRECORD"))
