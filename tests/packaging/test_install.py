#!/usr/bin/env python3
"""`cmake --install` of a Linux build into a fresh prefix (with a space in its name), then the
installed program as a user starts it: through bin/quillmapgen from an unrelated folder, and
as its desktop entry says. Needs no root.

    test_install.py --build-dir build
"""

import argparse
import os
import shutil
import sys
import tempfile

from common import Checks, check_desktop_entry, check_linux_tree, desktop_entry, \
    e2e, exec_command, run


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build-dir", required=True)
    args = parser.parse_args()
    build = os.path.abspath(args.build_dir)

    checks = Checks()
    work = tempfile.mkdtemp(prefix="quillmap-install-")
    prefix = os.path.join(work, "my apps")
    try:
        def install():
            run(["cmake", "--install", build, "--prefix", prefix])
        if not checks.run("cmake --install into %s" % prefix, install):
            return checks.finish()

        def manifest():
            with open(os.path.join(build, "install_manifest.txt"), encoding="utf-8") as f:
                return {line.rstrip("\n") for line in f if line.strip()}
        checks.run("the installed files, their modes, data and icon sizes",
                   lambda: check_linux_tree(prefix, manifest()))

        launcher = os.path.join(prefix, "bin", "quillmapgen")
        data_dir = os.path.join(prefix, "share", "quillmap")
        library = os.path.join(prefix, "lib", "quillmap", "libquillcore.so")
        desktop = os.path.join(prefix, "share", "applications", "quillmapgen.desktop")
        checks.run("the desktop entry validates and starts the launcher in the data folder",
                   check_desktop_entry, desktop, launcher, data_dir)

        elsewhere = os.path.join(work, "elsewhere")
        os.makedirs(elsewhere)
        checks.run("bin/quillmapgen started from another folder converts dropped files",
                   e2e, [launcher], elsewhere, data_dir, library)

        def from_desktop_entry():
            entry = desktop_entry(desktop)
            e2e(exec_command(entry), entry["Path"], data_dir, library)
        checks.run("the desktop entry's command in its folder converts dropped files",
                   from_desktop_entry)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return checks.finish()


if __name__ == "__main__":
    sys.exit(main())
