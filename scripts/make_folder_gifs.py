#!/usr/bin/env python3
"""Draw the two folder icons used by the bookmark tree and write them as GIFs.

    data/folder1.gif  closed folder (shown while a folder's contents are hidden)
    data/folder2.gif  open folder   (shown while they are displayed)

The pictures are drawn below as character grids, one character per pixel,
coloured through PALETTE. Edit a grid and rerun the script to change an icon:

    python3 scripts/make_folder_gifs.py [OUTPUT_DIR]

OUTPUT_DIR defaults to the repository's data/ folder. Only the standard
library is used, and the output is byte-for-byte the same on every run.

The icons stay 16x16 pixel art, shown at 16 CSS pixels: on an ordinary screen
every pixel lands on one screen pixel and the outline is as sharp as it can be.
On screens of twice the density or more the page asks for
`image-rendering: pixelated`, so each pixel becomes a crisp 2x2 (or 3x3) square
instead of being smoothed into a blur. GIF transparency is all or nothing, so
there are no pale fringes on a dark page either.
"""

import os
import struct
import sys

# Character -> RGB. '.' is the transparent background and must stay first,
# because the GIF's transparent colour index is 0.
PALETTE = [
    (".", (255, 255, 255)),  # transparent
    ("k", (74, 50, 16)),     # dark brown outline
    ("y", (245, 200, 66)),   # warm yellow fill
    ("h", (253, 231, 154)),  # light edge highlight
    ("s", (212, 154, 46)),   # tan shade
    ("d", (176, 122, 30)),   # darker tan, the inside of the open folder
    ("w", (255, 255, 250)),  # paper
    ("g", (150, 140, 120)),  # paper edge
    ("l", (190, 190, 200)),  # writing on the paper
]

# Both icons occupy rows 2..14 with the same bottom edge, so swapping one for
# the other does not make the line of text jump.
FOLDER_CLOSED = [
    "................",
    "................",
    ".kkkkk..........",
    "kssssskkkkkkkkk.",
    "khhhhhhhhhhhhhk.",
    "khyyyyyyyyyyysk.",
    "khyyyyyyyyyyysk.",
    "khyyyyyyyyyyysk.",
    "khyyyyyyyyyyysk.",
    "khyyyyyyyyyyysk.",
    "khyyyyyyyyyyysk.",
    "khyyyyyyyyyyysk.",
    "khyyyyyyyyyyysk.",
    "ksssssssssssssk.",
    "kkkkkkkkkkkkkkk.",
    "................",
]

FOLDER_OPEN = [
    "................",
    "................",
    ".kkkkk..........",
    "kssssskkkkkkkk..",
    "kddgggggggggdk..",
    "kddgwwwwwwwgdk..",
    "kddgwlllllwgdk..",
    "kddkkkkkkkkkkkkk",
    "kddkhhhhhhhhhhhk",
    "kdkhyyyyyyyyyysk",
    "kdkhyyyyyyyyysk.",
    "kkhyyyyyyyyyysk.",
    "kkhyyyyyyyyyysk.",
    "kssssssssssssk..",
    "kkkkkkkkkkkkkk..",
    "................",
]

MAX_CODES = 4096  # GIF codes are at most 12 bits wide


def palette_bits(count):
    """Bits per colour index for a colour table of `count` entries (1..8)."""
    bits = 1
    while (1 << bits) < count:
        bits += 1
    return bits


def grid_to_indices(grid):
    """Turn a character grid into (width, height, list of palette indices)."""
    index_of = {ch: i for i, (ch, _) in enumerate(PALETTE)}
    width = len(grid[0])
    pixels = []
    for y, row in enumerate(grid):
        if len(row) != width:
            raise ValueError("row %d is %d wide, expected %d" % (y, len(row), width))
        for x, ch in enumerate(row):
            if ch not in index_of:
                raise ValueError("unknown pixel %r at row %d column %d" % (ch, y, x))
            pixels.append(index_of[ch])
    return width, len(grid), pixels


class BitWriter:
    """Packs variable-width codes least significant bit first, as GIF wants."""

    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.nbits = 0

    def write(self, code, width):
        self.acc |= code << self.nbits
        self.nbits += width
        while self.nbits >= 8:
            self.out.append(self.acc & 0xFF)
            self.acc >>= 8
            self.nbits -= 8

    def finish(self):
        if self.nbits:
            self.out.append(self.acc & 0xFF)
            self.acc = 0
            self.nbits = 0
        return bytes(self.out)


def lzw_encode(pixels, min_code_size):
    """GIF-flavoured LZW: returns the packed code stream (without sub-blocks).

    The stream starts with a clear code and ends with the end code. The code
    width starts at min_code_size + 1 and grows by one bit as soon as a table
    entry has been assigned that no longer fits the current width, up to 12
    bits. When the table is full (4096 entries) a clear code is sent and the
    table starts over.
    """
    clear = 1 << min_code_size
    end = clear + 1
    writer = BitWriter()

    def reset():
        return {}, end + 1, min_code_size + 1

    table, next_code, width = reset()
    writer.write(clear, width)

    if not pixels:
        writer.write(end, width)
        return writer.finish()

    prefix = pixels[0]
    for pixel in pixels[1:]:
        key = (prefix, pixel)
        if key in table:
            prefix = table[key]
            continue
        writer.write(prefix, width)
        if next_code < MAX_CODES:
            table[key] = next_code
            # The decoder learns this entry one code later than we do, so it
            # widens as soon as the entry equal to 1 << width exists.
            if next_code == (1 << width) and width < 12:
                width += 1
            next_code += 1
        else:
            writer.write(clear, width)
            table, next_code, width = reset()
        prefix = pixel
    writer.write(prefix, width)
    writer.write(end, width)
    return writer.finish()


def sub_blocks(data):
    """Split data into GIF sub-blocks of at most 255 bytes plus a terminator."""
    out = bytearray()
    for start in range(0, len(data), 255):
        chunk = data[start:start + 255]
        out.append(len(chunk))
        out += chunk
    out.append(0)
    return bytes(out)


def encode_gif(width, height, pixels, palette_rgb, transparent_index=0):
    """A complete single-image GIF89a with one transparent palette entry."""
    bits = palette_bits(len(palette_rgb))
    table_size = 1 << bits
    min_code_size = max(2, bits)  # GIF does not allow less than 2

    out = bytearray(b"GIF89a")
    # Logical screen: global colour table present, its size and colour depth.
    packed = 0x80 | ((bits - 1) << 4) | (bits - 1)
    out += struct.pack("<HHBBB", width, height, packed, transparent_index, 0)
    for i in range(table_size):
        r, g, b = palette_rgb[i] if i < len(palette_rgb) else (0, 0, 0)
        out += bytes((r, g, b))
    # Graphic Control Extension: no disposal, no delay, transparency on.
    out += b"\x21\xF9\x04" + struct.pack("<BHB", 0x01, 0, transparent_index) + b"\x00"
    # Image descriptor covering the whole screen, no local table, not interlaced.
    out += b"\x2C" + struct.pack("<HHHHB", 0, 0, width, height, 0)
    out.append(min_code_size)
    out += sub_blocks(lzw_encode(pixels, min_code_size))
    out += b"\x3B"
    return bytes(out)


def grid_to_gif(grid):
    width, height, pixels = grid_to_indices(grid)
    return encode_gif(width, height, pixels, [rgb for _, rgb in PALETTE])


def main(argv):
    if len(argv) > 2:
        sys.stderr.write("usage: make_folder_gifs.py [OUTPUT_DIR]\n")
        return 2
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = argv[1] if len(argv) == 2 else os.path.join(here, os.pardir, "data")
    os.makedirs(out_dir, exist_ok=True)
    for name, grid in (("folder1.gif", FOLDER_CLOSED), ("folder2.gif", FOLDER_OPEN)):
        path = os.path.join(out_dir, name)
        with open(path, "wb") as f:
            f.write(grid_to_gif(grid))
        print("wrote %s" % os.path.normpath(path))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
