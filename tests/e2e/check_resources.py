#!/usr/bin/env python3
"""Checks the resources of the Windows program: the main dialog (RT_DIALOG 101, Japanese) and
the program icon (RT_GROUP_ICON 102), read from quillmapgen.exe with icoutils' wrestool.

    check_resources.py build-win/bin/quillmapgen.exe

Prints every value that differs from what the window must be, then "N passed, N failed" over
all the checked values; exits 1 when any differs.
"""

import re
import struct
import subprocess
import sys

LANGUAGE = 1041
RT_ICON, RT_DIALOG, RT_GROUP_ICON = 3, 5, 14
DIALOG_ID, ICON_GROUP_ID = 101, 102
INSTRUCTION = ("1) Please Drag and Drop your bookmark.htm.\n\n"
               "2) Quillmap Folder will be generated in the same directory. ")

DIALOG = {
    "dlgVer": 1, "signature": 0xFFFF, "helpID": 0, "exStyle": 0x00000010,
    "style": 0x80CA08C0, "cDlgItems": 3, "x": 0, "y": 0, "cx": 135, "cy": 129,
    "menu": None, "windowClass": None, "title": "QuillmapGenerator",
    "pointsize": 9, "weight": 0, "italic": 0, "charset": 1, "typeface": "MS UI Gothic",
}
# Class ordinals: 0x0080 BUTTON, 0x0082 STATIC.
CONTROLS = [
    {"id": 8, "windowClass": 0x0080, "style": 0x50010001, "x": 40, "y": 110, "cx": 50,
     "cy": 14, "title": "Close", "exStyle": 0, "helpID": 0},
    {"id": 1002, "windowClass": 0x0082, "style": 0x50020000, "x": 5, "y": 5, "cx": 125,
     "cy": 70, "title": INSTRUCTION, "exStyle": 0, "helpID": 0},
    {"id": 1003, "windowClass": 0x0082, "style": 0x50020000, "x": 5, "y": 85, "cx": 125,
     "cy": 15, "title": "", "exStyle": 0, "helpID": 0},
]
# (width, height, bits per pixel) of each image of the icon group, in order.
ICON_IMAGES = [(32, 32, 4), (32, 32, 8)]

DS_SETFONT, DS_SHELLFONT = 0x40, 0x48


class Reader:
    """Reads the little-endian fields of a resource."""

    def __init__(self, data):
        self.data, self.pos = data, 0

    def take(self, fmt):
        values = struct.unpack_from("<" + fmt, self.data, self.pos)
        self.pos += struct.calcsize("<" + fmt)
        return values if len(values) > 1 else values[0]

    def align(self, size=4):
        self.pos = (self.pos + size - 1) // size * size

    def string(self):
        end = self.pos
        while self.data[end:end + 2] != b"\0\0":
            if end + 2 > len(self.data):
                raise ValueError("unterminated string at %d" % self.pos)
            end += 2
        text = self.data[self.pos:end].decode("utf-16-le")
        self.pos = end + 2
        return text

    def sz_or_ord(self):
        """None (0x0000), an ordinal (0xFFFF then the number) or a string."""
        first = struct.unpack_from("<H", self.data, self.pos)[0]
        if first == 0:
            self.pos += 2
            return None
        if first == 0xFFFF:
            self.pos += 2
            return self.take("H")
        return self.string()


def parse_dialog(data):
    r = Reader(data)
    d = {}
    d["dlgVer"], d["signature"] = r.take("HH")
    d["helpID"], d["exStyle"], d["style"] = r.take("III")
    d["cDlgItems"] = r.take("H")
    d["x"], d["y"], d["cx"], d["cy"] = r.take("hhhh")
    d["menu"] = r.sz_or_ord()
    d["windowClass"] = r.sz_or_ord()
    d["title"] = r.string()
    if d["style"] & DS_SETFONT or d["style"] & DS_SHELLFONT == DS_SHELLFONT:
        d["pointsize"], d["weight"] = r.take("HH")
        d["italic"], d["charset"] = r.take("BB")
        d["typeface"] = r.string()
    items = []
    for _ in range(d["cDlgItems"]):
        r.align()
        c = {}
        c["helpID"], c["exStyle"], c["style"] = r.take("III")
        c["x"], c["y"], c["cx"], c["cy"] = r.take("hhhh")
        c["id"] = r.take("I")
        c["windowClass"] = r.sz_or_ord()
        c["title"] = r.sz_or_ord()
        if c["title"] is None:  # an empty text is the bare terminator
            c["title"] = ""
        extra = r.take("H")
        r.pos += extra
        items.append(c)
    return d, items


def resources(exe):
    """(type, name, language) of every resource in the file."""
    listing = wrestool("-l", exe).decode()
    return [(int(t), n, int(lang)) for t, n, lang in
            re.findall(r"--type=(\d+) --name=(\S+) --language=(\d+)", listing)]


def wrestool(*args):
    result = subprocess.run(["wrestool"] + list(args), stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, timeout=60)
    if result.returncode != 0:
        raise RuntimeError("wrestool %s: %s" % (" ".join(args), result.stderr.decode().strip()))
    return result.stdout


def extract(exe, type_, name, language=LANGUAGE):
    return wrestool("-x", "--raw", "--type=%d" % type_, "--name=%s" % name,
                    "--language=%d" % language, exe)


class Checks:
    def __init__(self):
        self.passed = self.failed = 0

    def same(self, what, actual, expected):
        if actual == expected:
            self.passed += 1
        else:
            self.failed += 1
            print("MISMATCH %s: %s, expected %s" % (what, show(actual), show(expected)))

    def true(self, what, condition):
        self.same(what, bool(condition), True)


def show(value):
    if isinstance(value, int) and not isinstance(value, bool) and value > 9:
        return "0x%X (%d)" % (value, value)
    return repr(value)


def icon_image(data):
    """(width, height, bits per pixel) of one RT_ICON image (a DIB or a PNG)."""
    if data[:8] == b"\x89PNG\r\n\x1a\n":
        width, height, depth, colour = struct.unpack_from(">IIBB", data, 16)
        channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}.get(colour, 1)
        return width, height, depth * channels
    _, width, height, _, bits = struct.unpack_from("<IiiHH", data, 0)
    return width, height // 2, bits  # a DIB icon's height counts the mask too


def main(argv):
    if len(argv) != 2:
        print(__doc__.strip())
        return 2
    exe = argv[1]
    checks = Checks()
    listed = resources(exe)
    checks.true("RT_DIALOG %d in language %d" % (DIALOG_ID, LANGUAGE),
                (RT_DIALOG, str(DIALOG_ID), LANGUAGE) in listed)
    groups = [(n, lang) for t, n, lang in listed if t == RT_GROUP_ICON]
    checks.same("icon groups in the file", groups, [(str(ICON_GROUP_ID), LANGUAGE)])

    if (RT_DIALOG, str(DIALOG_ID), LANGUAGE) in listed:
        dialog, items = parse_dialog(extract(exe, RT_DIALOG, DIALOG_ID))
        for field, expected in DIALOG.items():
            checks.same("dialog %s" % field, dialog.get(field, "(missing)"), expected)
        for index, expected in enumerate(CONTROLS):
            if index >= len(items):
                checks.same("control %d" % (index + 1), "(missing)", expected["id"])
                continue
            for field, value in expected.items():
                checks.same("control %d (id %s) %s" % (index + 1, items[index]["id"], field),
                            items[index][field], value)

    if (str(ICON_GROUP_ID), LANGUAGE) in groups:
        r = Reader(extract(exe, RT_GROUP_ICON, ICON_GROUP_ID))
        reserved, kind, count = r.take("HHH")
        checks.same("icon group type", (reserved, kind), (0, 1))
        checks.same("icon group image count", count, len(ICON_IMAGES))
        for index in range(count):
            width, height, colours, _, planes, bits, size, icon_id = r.take("BBBBHHIH")
            width, height = width or 256, height or 256
            entry = (width, height, bits)
            what = "icon image %d" % (index + 1)
            if index < len(ICON_IMAGES):
                checks.same(what + " (width, height, bpp) in the group", entry,
                            ICON_IMAGES[index])
                expected_colours = 1 << ICON_IMAGES[index][2] if ICON_IMAGES[index][2] < 8 else 0
                checks.same(what + " colour count", colours, expected_colours)
                image = extract(exe, RT_ICON, icon_id)
                checks.same(what + " size", len(image), size)
                checks.same(what + " (width, height, bpp) of the image itself",
                            icon_image(image), ICON_IMAGES[index])
            else:
                checks.same(what, entry, "(none)")

    print("%d passed, %d failed" % (checks.passed, checks.failed))
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
