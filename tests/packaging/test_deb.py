#!/usr/bin/env python3
"""The .deb as a user meets it: its declared dependencies, `apt-get install ./quillmap_*.deb`
system-wide, the installed program started under Xvfb converting dropped files (through
/usr/bin/quillmapgen and through its desktop entry), then `apt-get remove` and `purge` leaving
nothing behind. Runs as root (or through sudo); a package left from an earlier run is purged
first.

    test_deb.py --deb build/packages/quillmap_0.1.0_amd64.deb
"""

import argparse
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile

from common import Checks, Failure, check_desktop_entry, check_linux_tree, desktop_entry, \
    e2e, exec_command, run

PACKAGE = "quillmap"
PREFIX = "/usr"
SUDO = [] if os.geteuid() == 0 else ["sudo", "-n"]
APT_ENV = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
# Qt looks for its X11 platform plugin here; the package that holds it must come along too.
XCB_PLUGIN_GLOB = "/usr/lib/*/qt6/plugins/platforms/libqxcb.so"


def apt_get(*args):
    return run(SUDO + ["apt-get", "-y", "-q"] + list(args), timeout=900, env=APT_ENV)


def status():
    """dpkg's status of the package, or None when dpkg has no record of it."""
    result = subprocess.run(["dpkg-query", "-W", "-f=${Status}", PACKAGE],
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=60)
    text = result.stdout.decode().strip()
    return text if result.returncode == 0 and text else None


def purge_leftover():
    """Purges what an earlier run may have left installed, or half installed."""
    if status() is None:
        return
    run(SUDO + ["apt-get", "purge", "-y", "-q", PACKAGE], timeout=900, env=APT_ENV,
        check=False)
    if status() is not None and "not-installed" not in status():
        run(SUDO + ["dpkg", "--purge", "--force-remove-reinstreq", PACKAGE], timeout=300)


def depends_names(deb):
    """The package names in the .deb's Depends (alternatives included)."""
    field = run(["dpkg-deb", "-f", deb, "Depends"]).strip()
    return field, {re.split(r"[\s(:]", alt.strip())[0]
                   for part in field.split(",") for alt in part.split("|") if alt.strip()}


def owner(path):
    """The package that holds `path`, trying the path and where it resolves to (/lib and
    /usr/lib are one folder on merged-/usr systems but dpkg knows one of them)."""
    candidates = [path, os.path.realpath(path)]
    for p in list(candidates):
        if p.startswith("/usr/lib/"):
            candidates.append(p[len("/usr"):])
        elif p.startswith("/lib/"):
            candidates.append("/usr" + p)
    for p in candidates:
        result = subprocess.run(["dpkg-query", "-S", p], stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL, timeout=60)
        if result.returncode == 0:
            return result.stdout.decode().split(":")[0].strip()
    raise Failure("no package holds %s" % path)


def needed_libraries(elf):
    """The paths of the shared libraries `elf` names in its NEEDED entries, as the dynamic
    loader finds them."""
    needed = re.findall(r"NEEDED\s+(\S+)", run(["objdump", "-p", elf]))
    found = {}
    for line in run(["ldd", elf]).splitlines():
        match = re.match(r"\s*(\S+) => (/\S+)", line)
        if match:
            found[match.group(1)] = match.group(2)
    missing = [n for n in needed if n not in found]
    if missing:
        raise Failure("%s: the loader does not find %s" % (elf, missing))
    return [found[n] for n in needed]


def check_depends(deb, work):
    """Every library the package's programs link, and Qt's X11 plugin, comes from a package
    that Depends names, so apt-get brings it to a machine that lacks it."""
    field, names = depends_names(deb)
    print("  Depends: %s" % field, flush=True)
    unpacked = os.path.join(work, "unpacked")
    run(["dpkg-deb", "-x", deb, unpacked])
    elves = [os.path.join(unpacked, "usr/lib/quillmap", f)
             for f in ("quillmapgen", "libquillcore.so")]
    wanted = {}
    for elf in elves:
        for library in needed_libraries(elf):
            wanted.setdefault(owner(library), library)
    plugins = glob.glob(XCB_PLUGIN_GLOB)
    if not plugins:
        raise Failure("no Qt X11 platform plugin at %s" % XCB_PLUGIN_GLOB)
    wanted.setdefault(owner(plugins[0]), plugins[0])
    absent = {pkg: lib for pkg, lib in wanted.items() if pkg not in names}
    if absent:
        raise Failure("Depends lacks %s" % ", ".join(
            "%s (for %s)" % (pkg, lib) for pkg, lib in sorted(absent.items())))
    for qt in ("libqt6core6", "libqt6gui6", "libqt6widgets6"):
        if qt not in names:
            raise Failure("Depends lacks %s" % qt)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--deb", required=True)
    args = parser.parse_args()
    deb = os.path.abspath(args.deb)

    checks = Checks()
    if not os.path.isfile(deb):
        checks.fail("the package", "no file %s" % deb)
        return checks.finish()
    work = tempfile.mkdtemp(prefix="quillmap-deb-")
    try:
        checks.run("an earlier run's package is purged", purge_leftover)
        checks.run("Depends names the packages of every linked library and of Qt's X11 plugin",
                   check_depends, deb, work)

        def install():
            apt_get("install", deb)
            if status() != "install ok installed":
                raise Failure("dpkg status after install: %s" % status())
        if not checks.run("apt-get install %s" % deb, install):
            return checks.finish()

        listed = run(["dpkg-query", "-L", PACKAGE]).split("\n")
        listed = [p for p in listed if p.strip()]
        files = [p for p in listed if not os.path.isdir(p)]
        checks.run("dpkg -L lists the installed files; modes, data and icon sizes",
                   lambda: check_linux_tree(PREFIX, set(listed)))

        launcher = PREFIX + "/bin/quillmapgen"
        data_dir = PREFIX + "/share/quillmap"
        library = PREFIX + "/lib/quillmap/libquillcore.so"
        desktop = PREFIX + "/share/applications/quillmapgen.desktop"
        checks.run("the desktop entry validates and starts %s in %s" % (launcher, data_dir),
                   check_desktop_entry, desktop, launcher, data_dir)

        elsewhere = os.path.join(work, "elsewhere")
        os.makedirs(elsewhere)
        checks.run("%s started from another folder converts dropped files" % launcher,
                   e2e, [launcher], elsewhere, data_dir, library)

        def from_desktop_entry():
            entry = desktop_entry(desktop)
            e2e(exec_command(entry), entry["Path"], data_dir, library)
        checks.run("the desktop entry's command in its folder converts dropped files",
                   from_desktop_entry)

        def remove():
            apt_get("remove", PACKAGE)
            left = [p for p in files if os.path.lexists(p)]
            if left:
                raise Failure("left after remove: %s" % left)
            if status() is not None and not status().endswith(("not-installed",
                                                               "config-files")):
                raise Failure("dpkg status after remove: %s" % status())
        checks.run("apt-get remove takes every file away", remove)

        def purge():
            # After remove dpkg keeps a record only while the package has scripts or
            # configuration files to purge; apt-get cannot name a package it has no record of.
            if status() is not None:
                apt_get("purge", PACKAGE)
            if status() is not None and not status().endswith("not-installed"):
                raise Failure("dpkg status after purge: %s" % status())
            gone = run(["dpkg-query", "-L", PACKAGE], check=False)
            if any(line.startswith("/") for line in gone.splitlines()):
                raise Failure("dpkg -L still lists files")
            left = [p for p in (PREFIX + "/lib/quillmap", data_dir, launcher, desktop)
                    if os.path.lexists(p)]
            if left:
                raise Failure("left after purge: %s" % left)
        checks.run("apt-get purge leaves no record and no folder", purge)
    finally:
        if status() is not None and "not-installed" not in status():
            purge_leftover()
        shutil.rmtree(work, ignore_errors=True)
    return checks.finish()


if __name__ == "__main__":
    sys.exit(main())
