"""Converts one bookmark export through the built library, exactly as the program does.

    python3 convert.py LIBRARY INPUT OUTPUT TEMPLATE

Loads LIBRARY with ctypes and calls its one export,
bool readAndWrite(const char* inputPath, const char* outputPath, const char* templatePath).
Exits 0 when it returns true, 1 when it returns false.
"""

import ctypes
import os
import sys


def main(argv):
    if len(argv) != 5:
        sys.stderr.write("usage: convert.py LIBRARY INPUT OUTPUT TEMPLATE\n")
        return 2
    library = ctypes.CDLL(argv[1])
    read_and_write = library.readAndWrite
    read_and_write.argtypes = [ctypes.c_char_p] * 3
    read_and_write.restype = ctypes.c_bool
    ok = read_and_write(*(os.fsencode(path) for path in argv[2:]))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
