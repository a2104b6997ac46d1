"""What the package tests share: the list of checks with their report, the installed Linux
tree's checks, the desktop entry's reading, and the end-to-end run of an installed program."""

import os
import shlex
import struct
import subprocess
import sys
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
RUN_E2E = os.path.join(REPO, "tests", "e2e", "run_e2e.py")
DATA_FILES = ("source_normal.htm", "folder1.gif", "folder2.gif")
ICON_SIZES = (16, 32, 48, 64, 128, 256)
# What the end-to-end run checks of an installed program: its window, and two dropped exports
# converted (one real, one with folders).
E2E_SCENARIOS = ("caption", "real export", "FOLDED folders")

# The Linux install under its prefix: (path, executable).
LINUX_FILES = [
    ("bin/quillmapgen", True),
    ("lib/quillmap/quillmapgen", True),
    ("lib/quillmap/libquillcore.so", None),
    ("share/applications/quillmapgen.desktop", False),
] + [("share/quillmap/" + name, False) for name in DATA_FILES] + [
    ("share/icons/hicolor/%dx%d/apps/quillmapgen.png" % (n, n), False) for n in ICON_SIZES]


class Failure(Exception):
    """A check did not hold."""


class Checks:
    """Runs checks in order, prints one line each and a final "N passed, N failed"."""

    def __init__(self):
        self.results = []

    def run(self, title, check, *args):
        try:
            check(*args)
        except Failure as e:
            self.results.append(False)
            print("FAIL  %s: %s" % (title, e), flush=True)
            return False
        except Exception:
            self.results.append(False)
            print("FAIL  %s: %s" % (title, traceback.format_exc().strip()), flush=True)
            return False
        self.results.append(True)
        print("PASS  %s" % title, flush=True)
        return True

    def fail(self, title, reason):
        self.results.append(False)
        print("FAIL  %s: %s" % (title, reason), flush=True)

    def finish(self):
        passed, failed = self.results.count(True), self.results.count(False)
        print("%d passed, %d failed" % (passed, failed), flush=True)
        return 0 if failed == 0 and passed > 0 else 1


def run(args, timeout=300, check=True, **kwargs):
    """Runs a command; its output (stdout and stderr together) as text. Fails on a non-zero
    exit when `check`."""
    result = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            timeout=timeout, **kwargs)
    out = result.stdout.decode(errors="replace")
    if check and result.returncode != 0:
        raise Failure("%s exited with %d:\n%s" % (" ".join(args), result.returncode,
                                                  out.strip()[-3000:]))
    return out


def read(path):
    with open(path, "rb") as f:
        return f.read()


def png_size(path):
    data = read(path)[:24]
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        raise Failure("%s is no PNG" % path)
    return struct.unpack(">II", data[16:24])


def check_linux_tree(prefix, listed=None):
    """The files of a Linux install under `prefix`: all there with their modes, the data equal
    to the sources, the icons at their sizes. `listed`, when given, is the set of paths the
    install recorded (an install manifest, dpkg -L): it must hold exactly these files."""
    problems = []
    expected = {os.path.join(prefix, path) for path, _ in LINUX_FILES}
    for path, executable in LINUX_FILES:
        full = os.path.join(prefix, path)
        if not os.path.isfile(full):
            problems.append("missing %s" % full)
            continue
        if executable is not None and os.access(full, os.X_OK) != executable:
            problems.append("%s is %sexecutable" % (full, "not " if executable else ""))
    for name in DATA_FILES:
        full = os.path.join(prefix, "share/quillmap", name)
        if os.path.isfile(full) and read(full) != read(os.path.join(REPO, "data", name)):
            problems.append("%s differs from data/%s" % (full, name))
    for n in ICON_SIZES:
        full = os.path.join(prefix, "share/icons/hicolor/%dx%d/apps/quillmapgen.png" % (n, n))
        if os.path.isfile(full) and png_size(full) != (n, n):
            problems.append("%s is %dx%d" % ((full,) + png_size(full)))
    if listed is not None:
        files = {p for p in listed if not os.path.isdir(p)}
        if files != expected:
            problems.append("the install holds %s more and %s fewer than expected" % (
                sorted(files - expected), sorted(expected - files)))
    if problems:
        raise Failure("; ".join(problems))


def desktop_entry(path):
    """The keys of the [Desktop Entry] group, with string escapes undone."""
    entry, group = {}, None
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if line.startswith("["):
                group = line
            elif group == "[Desktop Entry]" and "=" in line and not line.startswith("#"):
                key, value = line.split("=", 1)
                entry[key.strip()] = value.strip()
    unescaped = {}
    for key, value in entry.items():
        out, i = [], 0
        while i < len(value):
            if value[i] == "\\" and i + 1 < len(value):
                out.append({"s": " ", "n": "\n", "t": "\t", "r": "\r"}.get(value[i + 1],
                                                                          value[i + 1]))
                i += 2
            else:
                out.append(value[i])
                i += 1
        unescaped[key] = "".join(out)
    return unescaped


def exec_command(entry):
    """The Exec key as a command line: quoting as the desktop entry format has it, no field
    codes expected."""
    args = shlex.split(entry["Exec"].replace("%%", "\0"))
    return [a.replace("\0", "%") for a in args]


def check_desktop_entry(path, launcher, data_dir):
    """desktop-file-validate accepts it; it starts `launcher` in `data_dir`, with the installed
    icon's name."""
    out = run(["desktop-file-validate", path], check=False)
    if out.strip():  # it prints errors, warnings and hints alike
        raise Failure("desktop-file-validate: %s" % out.strip())
    entry = desktop_entry(path)
    if exec_command(entry) != [launcher]:
        raise Failure("Exec is %r, not %r" % (entry.get("Exec"), launcher))
    if entry.get("Path") != data_dir:
        raise Failure("Path is %r, not %r" % (entry.get("Path"), data_dir))
    if entry.get("Icon") != "quillmapgen" or entry.get("Type") != "Application":
        raise Failure("Icon %r, Type %r" % (entry.get("Icon"), entry.get("Type")))


def e2e(command, cwd, data_dir, reference_lib):
    """Runs the end-to-end scenarios on `command` started in `cwd`."""
    args = [sys.executable, RUN_E2E, "--program", "linux", "--command"] + list(command) + [
        "--cwd", cwd, "--bin-dir", data_dir, "--reference-lib", reference_lib]
    for scenario in E2E_SCENARIOS:
        args += ["--only", scenario]
    out = run(args, timeout=300, check=False)
    summary = "%d passed, 0 failed" % len(E2E_SCENARIOS)
    if summary not in out:
        raise Failure("the end-to-end run did not pass all %d scenarios:\n    %s" % (
            len(E2E_SCENARIOS), out.strip().replace("\n", "\n    ")))
