#!/usr/bin/env python3
"""The Windows .zip as a user meets it: one folder holding the program, its library, the
template, the pictures and a CR LF readme; programs that need no DLL but Windows' own; then
the folder unpacked into a Wine prefix's drive C:, the program started from it and dropped
files converted (under Xvfb, by run_e2e.py).

    test_zip.py --zip build-win/packages/quillmap-0.1.0-windows-x64.zip \\
                --reference-lib build/bin/libquillcore.so

Uses WINEPREFIX when set, and otherwise makes a prefix of its own.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile

from common import DATA_FILES, E2E_SCENARIOS, REPO, RUN_E2E, Checks, Failure, run

WINE_DIR = "/usr/lib/wine"
PROGRAMS = ("quillmapgen.exe", "quillcore.dll")
EXPECTED = set(PROGRAMS) | set(DATA_FILES) | {"readme.txt"}
# DLLs that every Windows has (compared in lower case); api-ms-win-* are its API sets.
SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "shell32.dll", "msvcrt.dll", "advapi32.dll",
    "comctl32.dll", "comdlg32.dll", "ole32.dll", "oleaut32.dll", "shlwapi.dll", "uxtheme.dll",
    "ws2_32.dll", "version.dll", "ntdll.dll", "imm32.dll", "winmm.dll", "bcrypt.dll",
    "crypt32.dll", "dwmapi.dll", "shcore.dll", "rpcrt4.dll", "ucrtbase.dll",
}


def members(path):
    """The .zip's files by name within its one top folder, and that folder."""
    with zipfile.ZipFile(path) as z:
        names = [n for n in z.namelist() if not n.endswith("/")]
        tops = {n.split("/", 1)[0] for n in names}
        if len(tops) != 1 or any("/" not in n for n in names):
            raise Failure("not one top folder: %s" % sorted(names))
        top = tops.pop()
        return top, {n.split("/", 1)[1]: z.read(n) for n in names}


def check_contents(path):
    top, files = members(path)
    if set(files) != EXPECTED:
        raise Failure("%s holds %s, not %s" % (top, sorted(files), sorted(EXPECTED)))
    for name in DATA_FILES:
        with open(os.path.join(REPO, "data", name), "rb") as f:
            if files[name] != f.read():
                raise Failure("%s differs from data/%s" % (name, name))


def check_readme(path):
    text = members(path)[1]["readme.txt"]
    if not text.endswith(b"\r\n") or text.count(b"\n") != text.count(b"\r\n") or \
            text.count(b"\r") != text.count(b"\r\n"):
        raise Failure("readme.txt does not end every line with CR LF")
    for word in PROGRAMS + DATA_FILES:
        if word.encode() not in text:
            raise Failure("readme.txt does not mention %s" % word)


def check_imports(folder):
    """Each program imports only system DLLs (x86_64-w64-mingw32-objdump -p)."""
    problems = []
    for name in PROGRAMS:
        dump = run(["x86_64-w64-mingw32-objdump", "-p", os.path.join(folder, name)])
        dlls = re.findall(r"DLL Name:\s*(\S+)", dump)
        if not dlls:
            problems.append("%s: no imports found" % name)
        other = [d for d in dlls
                 if d.lower() not in SYSTEM_DLLS and not d.lower().startswith("api-ms-win-")]
        if other:
            problems.append("%s imports %s" % (name, other))
        print("  %s imports %s" % (name, ", ".join(dlls)), flush=True)
    if problems:
        raise Failure("; ".join(problems))


def make_prefix(work):
    prefix = os.path.join(work, "wineprefix")
    env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=")
    env.pop("DISPLAY", None)
    run([os.path.join(WINE_DIR, "wine64"), "wineboot", "--init"], env=env, timeout=300)
    # Made without a display: let that session end before the program starts in another.
    run([os.path.join(WINE_DIR, "wineserver"), "-w"], env=env, timeout=300)
    return prefix


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--zip", required=True)
    parser.add_argument("--reference-lib", required=True,
                        help="the Linux conversion library that makes the reference pages")
    args = parser.parse_args()
    package = os.path.abspath(args.zip)

    checks = Checks()
    if not os.path.isfile(package):
        checks.fail("the package", "no file %s" % package)
        return checks.finish()
    work = tempfile.mkdtemp(prefix="quillmap-zip-")
    unpacked_to = None
    try:
        checks.run("one folder: program, library, template, pictures and readme",
                   check_contents, package)
        checks.run("readme.txt has CR LF line ends and names the files", check_readme, package)

        prefix = os.environ.get("WINEPREFIX")
        if not prefix:
            prefix = make_prefix(work)
        drive_c = os.path.join(prefix, "drive_c")
        if not os.path.isdir(drive_c):
            checks.fail("the Wine prefix", "no drive_c in %s" % prefix)
            return checks.finish()
        # A folder of this run's own on drive C:, as a user unpacks it there.
        unpacked_to = tempfile.mkdtemp(prefix="quillmap-", dir=drive_c)
        with zipfile.ZipFile(package) as z:
            z.extractall(unpacked_to)
        folder = os.path.join(unpacked_to, members(package)[0])

        checks.run("the programs import only Windows' own DLLs", check_imports, folder)

        def converts():
            e2e_args = [sys.executable, RUN_E2E, "--program", "wine", "--bin-dir", folder,
                        "--reference-lib", os.path.abspath(args.reference_lib)]
            for scenario in E2E_SCENARIOS:
                e2e_args += ["--only", scenario]
            out = run(e2e_args, timeout=600, check=False,
                      env=dict(os.environ, WINEPREFIX=prefix))
            if "%d passed, 0 failed" % len(E2E_SCENARIOS) not in out:
                raise Failure("the end-to-end run did not pass all %d scenarios:\n    %s" % (
                    len(E2E_SCENARIOS), out.strip().replace("\n", "\n    ")))
        checks.run("quillmapgen.exe started in its unpacked folder on C: converts dropped "
                   "files", converts)
    finally:
        if unpacked_to:
            shutil.rmtree(unpacked_to, ignore_errors=True)
        if not os.environ.get("WINEPREFIX") and os.path.isdir(os.path.join(work, "wineprefix")):
            subprocess.run([os.path.join(WINE_DIR, "wineserver"), "-k"],
                           env=dict(os.environ, WINEPREFIX=os.path.join(work, "wineprefix")),
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        shutil.rmtree(work, ignore_errors=True)
    return checks.finish()


if __name__ == "__main__":
    sys.exit(main())
