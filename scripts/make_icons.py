#!/usr/bin/env python3
"""Draw the program's icon and write it in the forms the builds use.

    frontend/icons/quillmapgen.ico       Windows icon for the resource script:
                                         32x32 with 16 colours, then 32x32
                                         with 256 colours
    frontend/icons/quillmapgen-N.png     N = 16, 32, 48, 64, 128, 256: the same
                                         picture with an alpha channel, for the
                                         Linux window and desktop integration

The picture is a closed folder in the colours of data/folder1.gif with a red
bookmark ribbon over it and a small tree of entries on its front: bookmarks
turned into a folder tree. PALETTE has fewer than 16 colours, so the 16-colour
image in the .ico shows exactly the same colours as the 256-colour one.

As in make_folder_gifs.py, the pictures are character grids, one character
per pixel, coloured through PALETTE. There are two hand-drawn grids, 16x16
and 32x32; bigger sizes are whole-number nearest-neighbour enlargements of one
of them, so every size stays sharp. Edit a grid and rerun:

    python3 scripts/make_icons.py [OUTPUT_DIR]

OUTPUT_DIR defaults to the repository's frontend/icons/ folder. Only the
standard library is used, and the output is byte-for-byte the same on every
run.
"""

import os
import struct
import sys
import zlib

# Character -> RGB. '.' is the transparent background. It must stay first:
# in the .ico images it becomes palette index 0, which has to be black so the
# screen shows through where the AND mask marks a pixel transparent.
PALETTE = [
    (".", (0, 0, 0)),        # transparent
    ("k", (74, 50, 16)),     # dark brown outline (as in the folder GIFs)
    ("y", (245, 200, 66)),   # warm yellow fill
    ("h", (253, 231, 154)),  # light edge highlight
    ("s", (212, 154, 46)),   # tan shade
    ("d", (176, 122, 30)),   # darker tan: entry labels on the folder front
    ("m", (128, 86, 22)),    # medium brown: the tree's connecting lines
    ("w", (255, 250, 232)),  # cream: the inside of a tree node
    ("r", (204, 44, 44)),    # ribbon red
    ("p", (240, 112, 98)),   # ribbon highlight
    ("q", (146, 28, 34)),    # ribbon shade
]

ICON_16 = [
    "................",
    "........kkkkk...",
    ".kkkkk..kprqk...",
    "kssssskkkprqkkk.",
    "khhhhhhhkprqkhk.",
    "khyyyyyykprqksk.",
    "khyyyyyykprqksk.",
    "khkyddyykprqksk.",
    "khmyyyyykpkqksk.",
    "khmkyddykkykksk.",
    "khmyyyyyyyyyysk.",
    "khmkyddyyyyyysk.",
    "khyyyyyyyyyyysk.",
    "ksssssssssssssk.",
    "kkkkkkkkkkkkkkk.",
    "................",
]

ICON_32 = [
    "................................",
    "................................",
    ".....................kkkkkk.....",
    ".....................kprrqk.....",
    ".....................kprrqk.....",
    "..kkkkkkkk...........kprrqk.....",
    ".kssssssssk..........kprrqk.....",
    "ksssssssssskkkkkkkkkkkprrqkkkkk.",
    "khhhhhhhhhhhhhhhhhhhhkprrqkhhhk.",
    "khyyyyyyyyyyyyyyyyyyykprrqkyysk.",
    "khyyyyyyyyyyyyyyyyyyykprrqkyysk.",
    "khyykkkyyyyyyyyyyyyyykprrqkyysk.",
    "khyykwkyddddddddddyyykprrqkyysk.",
    "khyykkkyyyyyyyyyyyyyykprrqkyysk.",
    "khyyymyyyyyyyyyyyyyyykprrqkyysk.",
    "khyyymyyyyyyyyyyyyyyykprrqkyysk.",
    "khyyymyyyyyyyyyyyyyyykprrqkyysk.",
    "khyyymyykkkyyyyyyyyyykprrqkyysk.",
    "khyyymmmkwkydddddddyykprrqkyysk.",
    "khyyymyykkkyyyyyyyyyykprrqkyysk.",
    "khyyymyyyyyyyyyyyyyyykpkkqkyysk.",
    "khyyymyyyyyyyyyyyyyyykkyykkyysk.",
    "khyyymyyyyyyyyyyyyyyykyyyykyysk.",
    "khyyymyykkkyyyyyyyyyyyyyyyyyysk.",
    "khyyymmmkwkydddddddyyyyyyyyyysk.",
    "khyyyyyykkkyyyyyyyyyyyyyyyyyysk.",
    "khyyyyyyyyyyyyyyyyyyyyyyyyyyysk.",
    "khyyyyyyyyyyyyyyyyyyyyyyyyyyysk.",
    "ksssssssssssssssssssssssssssssk.",
    "kkkkkkkkkkkkkkkkkkkkkkkkkkkkkkk.",
    "................................",
    "................................",
]

# PNG sizes and the grid each one is drawn from (its size must divide evenly).
PNG_SOURCES = [
    (16, ICON_16),
    (32, ICON_32),
    (48, ICON_16),
    (64, ICON_32),
    (128, ICON_32),
    (256, ICON_32),
]


def grid_to_indices(grid):
    """Turn a square character grid into (size, rows of palette indices)."""
    index_of = {ch: i for i, (ch, _) in enumerate(PALETTE)}
    size = len(grid)
    rows = []
    for y, row in enumerate(grid):
        if len(row) != size:
            raise ValueError("row %d is %d wide, expected %d" % (y, len(row), size))
        indices = []
        for x, ch in enumerate(row):
            if ch not in index_of:
                raise ValueError("unknown pixel %r at row %d column %d" % (ch, y, x))
            indices.append(index_of[ch])
        rows.append(indices)
    return size, rows


def enlarge(rows, factor):
    """Nearest-neighbour enlargement by a whole number."""
    out = []
    for row in rows:
        wide = [i for i in row for _ in range(factor)]
        out.extend(list(wide) for _ in range(factor))
    return out


# ---------------------------------------------------------------- .ico ----

def bmp_icon_image(rows, bits):
    """One icon image: BITMAPINFOHEADER, palette, XOR bitmap, AND mask.

    `rows` are palette indices, top row first; index 0 is transparent. Both
    bitmaps are stored bottom row first with rows padded to 4 bytes, and the
    header's height counts the two of them together, so it is twice the
    picture's height.
    """
    size = len(rows)
    colours = 1 << bits
    if len(PALETTE) > colours:
        raise ValueError("%d colours do not fit %d bits" % (len(PALETTE), bits))

    xor_stride = ((size * bits + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(xor_stride)
        for x, index in enumerate(row):
            if bits == 8:
                line[x] = index
            else:  # 4 bits: the left pixel is in the high nibble
                line[x // 2] |= index << (4 if x % 2 == 0 else 0)
        xor += line
        line = bytearray(and_stride)
        for x, index in enumerate(row):
            if index == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line

    header = struct.pack("<IiiHHIIiiII",
                         40,                      # biSize
                         size, size * 2,          # biWidth, biHeight (XOR + AND)
                         1, bits,                 # biPlanes, biBitCount
                         0,                       # biCompression: BI_RGB
                         len(xor) + len(mask),    # biSizeImage
                         0, 0,                    # pixels per metre
                         colours, 0)              # biClrUsed, biClrImportant
    palette = bytearray()
    for i in range(colours):
        r, g, b = PALETTE[i][1] if i < len(PALETTE) else (0, 0, 0)
        palette += bytes((b, g, r, 0))  # RGBQUAD order
    return header + bytes(palette) + bytes(xor) + bytes(mask)


def encode_ico(images):
    """An .ico file from (size, bits, image bytes) in the order given."""
    directory = struct.pack("<HHH", 0, 1, len(images))  # reserved, type 1 = icon
    offset = 6 + 16 * len(images)
    entries = b""
    for size, bits, data in images:
        entries += struct.pack("<BBBBHHII",
                               size % 256, size % 256,       # 0 would mean 256
                               (1 << bits) % 256,            # bColorCount, 0 for 256
                               0,                            # reserved
                               1, bits,                      # wPlanes, wBitCount
                               len(data), offset)            # dwBytesInRes, dwImageOffset
        offset += len(data)
    return directory + entries + b"".join(data for _, _, data in images)


def make_ico():
    size, rows = grid_to_indices(ICON_32)
    return encode_ico([(size, 4, bmp_icon_image(rows, 4)),
                       (size, 8, bmp_icon_image(rows, 8))])


# ---------------------------------------------------------------- .png ----

def png_chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def encode_png(rows):
    """An 8-bit RGBA PNG; palette index 0 becomes fully transparent."""
    height = len(rows)
    width = len(rows[0])
    rgba = [rgb + (0 if i == 0 else 255,) for i, (_, rgb) in enumerate(PALETTE)]
    raw = bytearray()
    for row in rows:
        raw.append(0)  # filter type None
        for index in row:
            raw += bytes(rgba[index])
    ihdr = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n"
            + png_chunk(b"IHDR", ihdr)
            + png_chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + png_chunk(b"IEND", b""))


def make_png(size, grid):
    grid_size, rows = grid_to_indices(grid)
    if size % grid_size:
        raise ValueError("%d is not a multiple of %d" % (size, grid_size))
    return encode_png(enlarge(rows, size // grid_size))


def main(argv):
    if len(argv) > 2:
        sys.stderr.write("usage: make_icons.py [OUTPUT_DIR]\n")
        return 2
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = argv[1] if len(argv) == 2 else os.path.join(here, os.pardir, "frontend", "icons")
    os.makedirs(out_dir, exist_ok=True)
    outputs = [("quillmapgen.ico", make_ico())]
    for size, grid in PNG_SOURCES:
        outputs.append(("quillmapgen-%d.png" % size, make_png(size, grid)))
    for name, data in outputs:
        path = os.path.join(out_dir, name)
        with open(path, "wb") as f:
            f.write(data)
        print("wrote %s" % os.path.normpath(path))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
