#!/usr/bin/env python3
"""End-to-end tests of quillmapgen as a user meets it: the real program in a real X server
(Xvfb with the openbox window manager), files dropped on its window by a drag source that
speaks XDND like a file manager (xdnd.py), the output read back from disk.

    run_e2e.py --program linux --bin-dir build/bin [--screenshot PATH]
    run_e2e.py --program wine --bin-dir build-win/bin [--reference-lib build/bin/libquillcore.so]
    run_e2e.py --program linux --command /usr/bin/quillmapgen --cwd /tmp \
               --bin-dir /usr/share/quillmap --reference-lib /usr/lib/quillmap/libquillcore.so

Every scenario works in fresh temporary folders; the program runs from its bin dir as the
current directory, as it reads the template and the pictures from there. An installed program
is started with --command (its launcher, which picks its own current directory) from --cwd;
--bin-dir then names the folder of the template and pictures the output is compared with. The pages it writes
are compared with pages made by calling the conversion library directly. Prints one line per
scenario and then "N passed, N failed"; exits 1 when any scenario failed.
"""

import argparse
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import traceback

try:
    from Xlib import X, display as xdisplay, error as xerror
    from Xlib.protocol import event as xevent
except ImportError:  # python3-xlib is installed for Debian's own interpreter
    sys.path.append("/usr/lib/python3/dist-packages")
    from Xlib import X, display as xdisplay, error as xerror
    from Xlib.protocol import event as xevent

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
CAPTION = "QuillmapGenerator"
ERROR_TITLE = "Error"
OPEN_FAILED = "Error: failed to open file"
GENERATE_FAILED = "Error: failed to generate file"
OUTPUT_FOLDER = "Quillmap"
PAGE = "Quillmap.htm"
PICTURES = ("folder1.gif", "folder2.gif")
TEMPLATE = "source_normal.htm"
REAL_EXPORT = os.path.join(REPO, "tests", "data", "samples", "chrome-1.html")
FOLDED_EXPORT = os.path.join(HERE, "data", "folded.html")
WINE = "/usr/lib/wine/wine64"
# The dialog's layout in dialog units: the client area, and the Close button's rectangle.
DIALOG_SIZE = (135, 129)
CLOSE_BUTTON = (40, 110, 50, 14)


class Failure(Exception):
    """A scenario's check did not hold."""


def wait_until(check, timeout, what, interval=0.05):
    """Polls `check` until it returns something true, and returns that; fails after `timeout`
    seconds with `what` in the message."""
    deadline = time.monotonic() + timeout
    while True:
        value = check()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise Failure("timed out after %.0f s waiting for %s" % (timeout, what))
        time.sleep(interval)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def log_tail(path, lines=15):
    try:
        with open(path, "r", errors="replace") as f:
            return "".join(f.readlines()[-lines:])
    except OSError:
        return ""


# -- the X server and window manager ---------------------------------------------------------

class XSession:
    """Xvfb on a free display, openbox on it, and a connection for looking at windows."""

    def __init__(self, workdir):
        self.procs = []
        read_fd, write_fd = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1280x800x24",
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL,
            stderr=open(os.path.join(workdir, "xvfb.log"), "wb"))
        self.procs.append(self.xvfb)
        os.close(write_fd)
        number = b""
        deadline = time.monotonic() + 30
        while not number.endswith(b"\n"):
            ready, _, _ = select.select([read_fd], [], [], max(0, deadline - time.monotonic()))
            chunk = os.read(read_fd, 16) if ready else b""
            if not chunk:
                raise RuntimeError("Xvfb did not report its display: " +
                                   log_tail(os.path.join(workdir, "xvfb.log")))
            number += chunk
        os.close(read_fd)
        self.name = ":" + number.decode().strip()
        self.d = xdisplay.Display(self.name)
        self.root = self.d.screen().root
        self.wm = subprocess.Popen(
            ["openbox", "--sm-disable"], env=dict(os.environ, DISPLAY=self.name),
            stdout=subprocess.DEVNULL, stderr=open(os.path.join(workdir, "openbox.log"), "wb"))
        self.procs.append(self.wm)
        wait_until(lambda: self.prop(self.root, "_NET_SUPPORTING_WM_CHECK"), 30,
                   "openbox to manage the screen")

    def close(self):
        try:
            self.d.close()
        except Exception:
            pass
        for proc in reversed(self.procs):
            if proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(10)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait()

    def atom(self, name):
        return self.d.intern_atom(name)

    def window(self, wid):
        return self.d.create_resource_object("window", wid)

    def prop(self, window, name, type_=X.AnyPropertyType):
        try:
            value = window.get_full_property(self.atom(name), type_)
        except xerror.XError:  # the window went away
            return None
        return value.value if value is not None else None

    def name_of(self, window):
        value = self.prop(window, "_NET_WM_NAME")
        if value is None:
            value = self.prop(window, "WM_NAME")
        if value is None:
            return None
        return value.decode("utf-8", "replace") if isinstance(value, bytes) else value

    def clients(self):
        """The managed client windows, bottom to top."""
        return [self.window(w) for w in (self.prop(self.root, "_NET_CLIENT_LIST_STACKING") or [])]

    def find(self, title, pid=None):
        """The managed, viewable windows named `title` (of process `pid` when it says so)."""
        found = []
        for w in self.clients():
            try:
                if self.name_of(w) != title or w.get_attributes().map_state != X.IsViewable:
                    continue
            except xerror.XError:
                continue
            owner = self.prop(w, "_NET_WM_PID")
            if pid is not None and owner is not None and owner[0] != pid:
                continue
            found.append(w)
        return found

    def state(self, window):
        return [self.d.get_atom_name(a) for a in (self.prop(window, "_NET_WM_STATE") or [])]

    def frame(self, window):
        """The top-level window that holds `window` (the WM's frame)."""
        while True:
            parent = window.query_tree().parent
            if parent.id == self.root.id:
                return window
            window = parent

    def geometry(self, window):
        """(x, y, width, height) of `window` in root coordinates."""
        g = window.get_geometry()
        origin = window.translate_coords(self.root, 0, 0)
        return -origin.x, -origin.y, g.width, g.height

    def send_root_message(self, window, name, data):
        message = xevent.ClientMessage(window=window, client_type=self.atom(name),
                                       data=(32, (data + [0] * 5)[:5]))
        self.root.send_event(message, event_mask=X.SubstructureRedirectMask |
                             X.SubstructureNotifyMask)
        self.d.flush()

    def active(self):
        value = self.prop(self.root, "_NET_ACTIVE_WINDOW")
        return value[0] if value else None

    def tool(self, *args):
        """Runs an X tool (xdotool, wmctrl, import) on this display."""
        result = subprocess.run(list(args), env=dict(os.environ, DISPLAY=self.name),
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=30)
        if result.returncode != 0:
            raise Failure("%s failed: %s" % (" ".join(args), result.stdout.decode(errors="replace")))
        return result.stdout.decode(errors="replace")

    def activate(self, window):
        self.tool("xdotool", "windowactivate", "--sync", str(window.id))

    def press(self, key):
        self.tool("xdotool", "key", "--clearmodifiers", key)

    def click(self, x, y):
        self.tool("xdotool", "mousemove", "--sync", str(x), str(y), "click", "1")

    def pixels(self, window):
        x, y, w, h = self.geometry(window)
        return window.get_image(0, 0, w, h, X.ZPixmap, 0xFFFFFFFF).data

    def wait_painted(self, window, timeout=20):
        """Waits until the window shows more than a flat background and two captures in a row
        are the same (it has finished painting)."""
        last = [None]

        def settled():
            data = self.pixels(window)
            colours = len(set(data[i:i + 4] for i in range(0, len(data), 4 * 7)))
            same = data == last[0]
            last[0] = data
            return colours > 4 and same
        wait_until(settled, timeout, "the window to be painted", interval=0.2)

    def screenshot(self, window, path):
        x, y, w, h = self.geometry(self.frame(window))
        self.tool("import", "-window", "root", "-crop", "%dx%d+%d+%d" % (w, h, x, y),
                  "+repage", path)


# -- the program -----------------------------------------------------------------------------

class Program:
    """quillmapgen started from its bin dir, and its main window."""

    def __init__(self, kind, bin_dir, xs, workdir, wine_prefix=None, command=None, cwd=None):
        self.kind, self.bin_dir, self.xs, self.workdir = kind, bin_dir, xs, workdir
        self.command_line = command
        self.cwd = cwd or bin_dir
        self.wine_prefix = wine_prefix
        self.proc = None
        self.window = None
        self.starts = 0

    def env(self):
        env = dict(os.environ, DISPLAY=self.xs.name, LC_ALL="C.UTF-8")
        env.pop("WAYLAND_DISPLAY", None)
        if self.kind == "linux":
            env.update(QT_QPA_PLATFORM="xcb",
                       XDG_RUNTIME_DIR=os.path.join(self.workdir, "runtime"))
            os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700, exist_ok=True)
        else:
            # msgbox tracing prints the text of every message box on the program's stderr.
            env.update(WINEPREFIX=self.wine_prefix, WINEDEBUG="-all,trace+msgbox",
                       WINEDLLOVERRIDES="mscoree,mshtml=")
        return env

    def command(self):
        if self.command_line:
            return list(self.command_line)
        if self.kind == "linux":
            return [os.path.join(self.bin_dir, "quillmapgen")]
        return [WINE, "quillmapgen.exe"]

    @property
    def log(self):
        return os.path.join(self.workdir, "program-%d.log" % self.starts)

    def running(self):
        return self.proc is not None and self.proc.poll() is None

    def start(self):
        self.starts += 1
        self.proc = subprocess.Popen(self.command(), cwd=self.cwd, env=self.env(),
                                     stdin=subprocess.DEVNULL, stdout=open(self.log, "wb"),
                                     stderr=subprocess.STDOUT)
        timeout = 90 if self.kind == "wine" else 30

        def main_window():
            if self.proc.poll() is not None:
                raise Failure("the program ended with code %s before showing its window:\n%s"
                              % (self.proc.returncode, log_tail(self.log)))
            found = self.xs.find(CAPTION, self.proc.pid)
            return found[0] if found else None
        self.window = wait_until(main_window, timeout, "the window %r" % CAPTION, 0.1)
        return self.window

    def ensure(self):
        if not self.running():
            self.start()
        return self.window

    def stop(self):
        if self.running():
            self.proc.terminate()
            try:
                self.proc.wait(15)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.proc = None
        self.window = None

    def wait_exit(self, timeout):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Failure("the program was still running %.0f s later" % timeout)

    def drop(self, paths, at=None, timeout=60):
        """Starts dropping `paths` on the main window; returns the drag source's process."""
        args = [sys.executable, os.path.join(HERE, "xdnd.py"), "--display", self.xs.name,
                "--window", str(self.window.id), "--timeout", str(timeout)]
        if at is None:  # over the instruction text, clear of the button
            x, y, w, h = self.xs.geometry(self.window)
            at = (x + w // 2, y + h // 3)
        args += ["--at", "%d,%d" % at]
        return subprocess.Popen(args + list(paths), stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT)

    def dialog_point(self, x, y):
        """The root position of dialog-unit point (x, y) of the main window's client area."""
        left, top, w, h = self.xs.geometry(self.window)
        return (left + round(x * w / DIALOG_SIZE[0]), top + round(y * h / DIALOG_SIZE[1]))

    def message_texts(self):
        """The texts of the message boxes shown so far, where the program lets us read them."""
        if self.kind != "wine":
            return None
        text = read(self.log).decode("utf-8", "replace")
        return [bytes(m, "ascii").decode("unicode_escape")
                for m in re.findall(r'trace:msgbox:\w+ L"((?:[^"\\]|\\.)*)"', text)]


def finish_drop(drag, timeout=60):
    """Waits for a drag source to end; fails unless the target took and finished the drop."""
    try:
        out, _ = drag.communicate(timeout=timeout)
    except subprocess.TimeoutExpired:
        drag.kill()
        drag.communicate()
        raise Failure("the drag source was still running after %.0f s" % timeout)
    if drag.returncode != 0:
        raise Failure("the drop did not go through (xdnd exit %d): %s" % (
            drag.returncode, out.decode(errors="replace").strip()))


# -- the reference pages ---------------------------------------------------------------------

REFERENCE_CHILD = r"""
import ctypes, os, sys
library = ctypes.CDLL(sys.argv[1])
convert = library.readAndWrite
convert.argtypes = [ctypes.c_char_p] * 3
convert.restype = ctypes.c_bool
args = [os.fsencode(a) for a in sys.argv[2:5]]
sys.exit(0 if convert(*args) else 1)
"""


class Reference:
    """Pages made by the conversion library itself, each in a process of its own so that the
    library starts from folder 1 every time, as the program loads it afresh for every drop."""

    def __init__(self, library, template, workdir):
        self.library, self.template, self.workdir = library, template, workdir
        self.count = 0

    def page(self, source):
        self.count += 1
        out = os.path.join(self.workdir, "reference-%d.htm" % self.count)
        result = subprocess.run(
            [sys.executable, "-c", REFERENCE_CHILD, self.library, source, out, self.template],
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=60)
        if result.returncode != 0:
            raise Failure("the library itself failed on %s: %s" % (
                source, result.stdout.decode(errors="replace")))
        return read(out)


def first_folder_anchor(page):
    match = re.search(rb"<A HREF=\"JavaScript:onClick=Display\('([^']*)'\)", page)
    return match.group(1).decode() if match else None


# -- scenarios -------------------------------------------------------------------------------

class Run:
    def __init__(self, args, xs, program, reference, workdir):
        self.args, self.xs, self.program, self.reference = args, xs, program, reference
        self.workdir = workdir
        self.results = []

    def folder(self, name="case"):
        path = tempfile.mkdtemp(prefix="e2e-", dir=self.workdir)
        os.makedirs(os.path.join(path, name))
        return os.path.join(path, name)

    def place(self, source, folder, name):
        os.makedirs(folder, exist_ok=True)
        path = os.path.join(folder, name)
        shutil.copyfile(source, path)
        return path

    # The checks shared by the scenarios.

    def no_error_box(self):
        boxes = self.xs.find(ERROR_TITLE)
        if boxes:
            raise Failure("an error box is showing: %s" % (self.program.message_texts() or ""))

    def expect_converted(self, source, timeout=60):
        """The folder Quillmap beside `source` holds exactly the page, equal to the library's
        own page of `source`, and the two pictures, equal to those in the bin dir."""
        out = os.path.join(os.path.dirname(source), OUTPUT_FOLDER)
        if self.reference:
            want = self.reference.page(source)
        else:
            want = None
        wanted_pictures = {p: read(os.path.join(self.program.bin_dir, p)) for p in PICTURES}

        def complete():
            self.no_error_box()  # fails at once rather than at the time limit
            if not os.path.isfile(os.path.join(out, PAGE)):
                return False
            return all(os.path.isfile(os.path.join(out, p)) for p in PICTURES)
        wait_until(complete, timeout, "%s/%s and the pictures" % (out, PAGE))
        for picture, data in wanted_pictures.items():
            if read(os.path.join(out, picture)) != data:
                raise Failure("%s differs from the one in the bin dir" % picture)
        page = read(os.path.join(out, PAGE))
        if want is not None:
            if page != want:
                raise Failure("the page differs from the library's own page (%d bytes against "
                              "%d; first difference at byte %d)" % (
                                  len(page), len(want), next(
                                      (i for i, (a, b) in enumerate(zip(page, want)) if a != b),
                                      min(len(page), len(want)))))
        else:
            # Without the library's own page: the page is the template's lines (whatever the
            # line ends) and then more.
            template = read(os.path.join(self.program.bin_dir, TEMPLATE)).splitlines()
            lines = page.splitlines()
            if lines[:len(template)] != template or len(lines) <= len(template):
                raise Failure("the page does not start with the template and go on after it")
        extra = sorted(set(os.listdir(out)) - {PAGE, *PICTURES})
        if extra:
            raise Failure("unexpected files in %s: %s" % (out, extra))
        self.no_error_box()
        return page

    def drop_and_expect_page(self, source):
        self.program.ensure()
        finish_drop(self.program.drop([source]))
        return self.expect_converted(source)

    def expect_error_box(self, drag, message, boxes_before):
        """An error box owned by the main window shows `message`; Return dismisses it, and the
        drop then ends. `boxes_before` is how many boxes the program had shown before."""
        box = wait_until(lambda: (self.xs.find(ERROR_TITLE) or [None])[0], 30,
                         "a window titled %r" % ERROR_TITLE)
        owner = self.xs.prop(box, "WM_TRANSIENT_FOR")
        if not owner or owner[0] != self.program.window.id:
            raise Failure("the error box does not belong to the main window "
                          "(WM_TRANSIENT_FOR %s)" % (owner,))
        self.check_message(box, message, boxes_before)
        self.xs.activate(box)
        self.xs.press("Return")
        wait_until(lambda: not self.xs.find(ERROR_TITLE), 15, "Return to close the error box")
        finish_drop(drag)
        if not self.program.running():
            raise Failure("the program ended after the error box")

    def check_message(self, box, message, boxes_before):
        if self.program.message_texts() is not None:
            shown = wait_until(lambda: self.program.message_texts()[boxes_before:], 10,
                               "the message box's text in the trace")
            if shown != [message]:
                raise Failure("the error box says %r, not %r" % (shown, message))
            return
        if not shutil.which("tesseract"):
            print("  note: tesseract is missing; the error box's text is not read")
            return
        self.xs.wait_painted(box)
        words = self.read_text(box)
        if simplify(message) not in simplify(words):
            raise Failure("the error box reads %r, not %r" % (words.strip(), message))

    def read_text(self, window):
        """The text that `window` shows, read from its picture by OCR."""
        shot = os.path.join(self.workdir, "box-%d.png" % window.id)
        x, y, w, h = self.xs.geometry(window)
        self.xs.tool("import", "-window", "root", "-crop", "%dx%d+%d+%d" % (w, h, x, y),
                     "+repage", "-resize", "300%", shot)
        result = subprocess.run(["tesseract", shot, "stdout"], stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL, timeout=60)
        return result.stdout.decode(errors="replace")

    # The scenarios, in the order they run.

    def window_caption_and_on_top(self):
        window = self.program.ensure()
        if self.xs.name_of(window) != CAPTION:
            raise Failure("caption is %r" % self.xs.name_of(window))
        if "_NET_WM_STATE_ABOVE" not in self.xs.state(window):
            raise Failure("_NET_WM_STATE is %s, without _NET_WM_STATE_ABOVE" %
                          self.xs.state(window))
        self.xs.wait_painted(window)
        if self.args.screenshot:
            self.xs.screenshot(window, self.args.screenshot)
            print("  screenshot: %s" % self.args.screenshot)

    def stays_above_an_active_window(self):
        """A plain window over the whole screen, made active, stays below the program, and a
        drop on the program still reaches it."""
        window = self.program.ensure()
        cover = self.xs.root.create_window(0, 0, 1280, 800, 0, X.CopyFromParent,
                                           background_pixel=self.xs.d.screen().white_pixel)
        cover.set_wm_name("cover")
        cover.map()
        self.xs.d.flush()
        try:
            wait_until(lambda: any(c.id == cover.id for c in self.xs.clients()), 10,
                       "the cover window to be managed")
            self.xs.send_root_message(cover, "_NET_ACTIVE_WINDOW", [2, X.CurrentTime, 0])
            wait_until(lambda: self.xs.active() == cover.id, 10, "the cover window to be active")
            order = [c.id for c in self.xs.clients()]
            if order.index(window.id) < order.index(cover.id):
                raise Failure("the program's window went below the active window")
            source = self.place(FOLDED_EXPORT, self.folder(), "bookmarks.html")
            self.drop_and_expect_page(source)
        finally:
            cover.destroy()
            self.xs.d.flush()

    def real_export_converts(self):
        source = self.place(REAL_EXPORT, self.folder(), "bookmarks_chrome.html")
        self.drop_and_expect_page(source)

    def folded_export_converts(self):
        source = self.place(FOLDED_EXPORT, self.folder(), "folded.htm")
        page = self.drop_and_expect_page(source)
        ids = re.findall(rb'<DIV ID="(display\d+)"', page)
        if ids != [b"display1", b"display2", b"display3"]:
            raise Failure("the page's folders are %s, not the export's three FOLDED ones" % ids)

    def second_drop_numbers_from_one(self):
        """Two drops on the same window: each page numbers its folders from 1."""
        self.program.ensure()
        first = self.place(FOLDED_EXPORT, self.folder(), "first.html")
        second = self.place(FOLDED_EXPORT, self.folder(), "second.html")
        pid = self.program.proc.pid
        pages = [self.drop_and_expect_page(first), self.drop_and_expect_page(second)]
        if self.program.proc.pid != pid or not self.program.running():
            raise Failure("the program did not stay the same instance")
        anchors = [first_folder_anchor(p) for p in pages]
        if anchors != ["display1", "display1"]:
            raise Failure("the first folders call Display(%s)" % anchors)

    def special_names(self):
        if self.program.kind == "wine":
            # Wine hands the path to the program in its ANSI code page (1252 under C.UTF-8):
            # Latin-1 letters pass, a double quote cannot be in a Windows file name.
            folder_name, file_name = "my docs #1 %41 it's é", "book #2 %20 'ü'.html"
        else:
            folder_name, file_name = "my docs #1 %41 it's é \"q\" ブック", "book #2 %20 'ü' ß 文.html"
        source = self.place(FOLDED_EXPORT, self.folder(folder_name), file_name)
        self.drop_and_expect_page(source)

    def error_case(self, make, message, output_expected):
        """Drops what `make` creates; expects the error box with `message`, nothing made where
        nothing should be, and the window taking a good drop afterwards."""
        self.program.ensure()
        base = self.folder()
        dropped = make(base)
        before = sorted(os.listdir(base))
        boxes_before = len(self.program.message_texts() or [])
        self.expect_error_box(self.program.drop([dropped]), message, boxes_before)
        after = sorted(os.listdir(base))
        if output_expected is None and after != before:
            raise Failure("the drop changed the folder: %s -> %s" % (before, after))
        if output_expected is not None:
            output_expected(base)
        good = self.place(FOLDED_EXPORT, self.folder(), "after-error.html")
        self.drop_and_expect_page(good)

    def error_text_file(self):
        def make(base):
            path = os.path.join(base, "notes.txt")
            shutil.copyfile(FOLDED_EXPORT, path)  # bookmarks inside, but not a .htm/.html name
            return path
        self.error_case(make, OPEN_FAILED, None)

    def error_folder(self):
        def make(base):
            path = os.path.join(base, "a folder.html")
            os.makedirs(path)
            return path
        self.error_case(make, OPEN_FAILED, None)

    def error_vanished_file(self):
        def make(base):
            path = os.path.join(base, "gone.html")
            shutil.copyfile(FOLDED_EXPORT, path)
            os.remove(path)  # the file manager still offers it
            return path
        self.error_case(make, OPEN_FAILED, None)

    def error_page_not_writable(self):
        def make(base):
            path = os.path.join(base, "bookmarks.html")
            shutil.copyfile(FOLDED_EXPORT, path)
            os.makedirs(os.path.join(base, OUTPUT_FOLDER, PAGE))  # a folder where the page goes
            return path

        def check(base):
            blocked = os.path.join(base, OUTPUT_FOLDER, PAGE)
            if not os.path.isdir(blocked) or os.listdir(blocked):
                raise Failure("the folder in the page's place was changed")
        self.error_case(make, GENERATE_FAILED, check)

    def close_from_frame(self):
        window = self.program.ensure()
        self.xs.tool("wmctrl", "-i", "-c", hex(window.id))
        code = self.program.wait_exit(20)
        if code != 0:
            raise Failure("exit code %d after closing from the frame" % code)

    def close_button(self):
        self.program.ensure()
        self.xs.wait_painted(self.program.window)
        x, y, w, h = CLOSE_BUTTON
        self.xs.click(*self.program.dialog_point(x + w / 2, y + h / 2))
        code = self.program.wait_exit(20)
        if code != 0:
            raise Failure("exit code %d after clicking Close" % code)

    SCENARIOS = [
        ("caption QuillmapGenerator and _NET_WM_STATE_ABOVE", window_caption_and_on_top),
        ("real export (Chrome) converts", real_export_converts),
        ("hand-made export with FOLDED folders converts", folded_export_converts),
        ("second drop numbers its folders from 1 again", second_drop_numbers_from_one),
        ("names with spaces, #, %, quotes and non-ASCII", special_names),
        ("stays above an active window and takes drops", stays_above_an_active_window),
        (".txt file: error box 'failed to open file', then a good drop", error_text_file),
        ("folder: error box 'failed to open file', then a good drop", error_folder),
        ("vanished file: error box 'failed to open file', then a good drop",
         error_vanished_file),
        ("page cannot be written: error box 'failed to generate file', then a good drop",
         error_page_not_writable),
        ("closing from the frame ends the program with code 0", close_from_frame),
        ("the Close button ends the program with code 0", close_button),
    ]

    def run(self, only=None):
        for title, scenario in self.SCENARIOS:
            if only and not any(o.lower() in title.lower() for o in only):
                continue
            started = time.monotonic()
            try:
                scenario(self)
            except Failure as e:
                self.results.append(False)
                print("FAIL  %s: %s" % (title, e), flush=True)
                self.after_failure()
            except Exception:
                self.results.append(False)
                print("FAIL  %s: %s" % (title, traceback.format_exc().strip()), flush=True)
                self.after_failure()
            else:
                self.results.append(True)
                print("PASS  %s (%.1f s)" % (title, time.monotonic() - started), flush=True)
        passed = self.results.count(True)
        failed = self.results.count(False)
        print("%d passed, %d failed" % (passed, failed), flush=True)
        return failed == 0

    def after_failure(self):
        """Shows the program's output and starts the next scenario with a fresh program."""
        if self.program.proc is not None:
            tail = log_tail(self.program.log).strip()
            if tail:
                print("  program output:\n    " + tail.replace("\n", "\n    "))
        self.program.stop()


def simplify(text):
    return re.sub(r"[^a-z0-9]", "", text.lower())


# -- Wine ------------------------------------------------------------------------------------

def make_wine_prefix(workdir, display):
    prefix = os.path.join(workdir, "wineprefix")
    env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all", DISPLAY=display,
               WINEDLLOVERRIDES="mscoree,mshtml=", LC_ALL="C.UTF-8")
    started = time.monotonic()
    subprocess.run(["wineboot", "--init"], env=env, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=300, check=True)
    subprocess.run(["wineserver", "-w"], env=env, timeout=300)
    print("wine prefix %s made in %.0f s" % (prefix, time.monotonic() - started))
    return prefix


def wait_wineserver_gone(prefix, timeout=60):
    """Waits for the prefix's wine server to end by itself. Wine's desktop process is bound to
    the display it was started on; one left from an earlier run (or from a prefix set up with no
    display) would take the program's windows away from our X server. True when it ended."""
    env = dict(os.environ, WINEPREFIX=prefix)
    try:
        subprocess.run(["wineserver", "-w"], env=env, timeout=timeout,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return True
    except subprocess.TimeoutExpired:
        return False


def stop_wineserver(prefix):
    subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=prefix),
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)


# -- main ------------------------------------------------------------------------------------

def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--program", choices=("linux", "wine"), required=True)
    parser.add_argument("--bin-dir", required=True,
                        help="the folder of the program (with --command: of the template and "
                             "pictures it reads)")
    parser.add_argument("--command", nargs="+",
                        help="start this command line instead of the program in the bin dir "
                             "(linux only; for an installed launcher)")
    parser.add_argument("--cwd", help="the current directory to start the program in "
                                      "(default: the bin dir)")
    parser.add_argument("--reference-lib",
                        help="the Linux conversion library that makes the reference pages "
                             "(default: libquillcore.so in the bin dir for linux)")
    parser.add_argument("--screenshot", help="save a picture of the main window here")
    parser.add_argument("--keep", action="store_true", help="keep the temporary folders")
    parser.add_argument("--only", action="append",
                        help="run only the scenarios whose title contains this")
    args = parser.parse_args(argv)
    args.bin_dir = os.path.abspath(args.bin_dir)
    if args.command and args.program != "linux":
        parser.error("--command is for --program linux")
    if args.cwd:
        args.cwd = os.path.abspath(args.cwd)
    if args.screenshot:
        args.screenshot = os.path.abspath(args.screenshot)

    tools = ["Xvfb", "openbox", "xdotool", "wmctrl", "import"]
    if args.program == "wine":
        tools += [WINE, "wineboot", "wineserver"]
    absent = [t for t in tools if not shutil.which(t)]
    if absent:
        print("missing tools: %s" % ", ".join(absent))
        print("0 passed, 1 failed")
        return 1

    program_file = "quillmapgen" if args.program == "linux" else "quillmapgen.exe"
    needed = (TEMPLATE,) + PICTURES if args.command else (program_file, TEMPLATE) + PICTURES
    missing = [f for f in needed if not os.path.isfile(os.path.join(args.bin_dir, f))]
    if missing:
        print("missing in %s: %s" % (args.bin_dir, ", ".join(missing)))
        print("0 passed, 1 failed")
        return 1

    library = args.reference_lib
    if library is None and args.program == "linux" and not args.command:
        library = os.path.join(args.bin_dir, "libquillcore.so")
    reference_note = None
    if library and not os.path.isfile(library):
        reference_note = "note: no reference library at %s; pages are checked against the " \
                         "template only, not against the library's own output" % library
        library = None
    elif not library:
        reference_note = "note: no --reference-lib; pages are checked against the template " \
                         "only, not against the library's own output"

    workdir = tempfile.mkdtemp(prefix="quillmap-e2e-")
    xs = program = None
    own_prefix = None
    ok = False
    try:
        xs = XSession(workdir)
        print("X display %s with openbox; work folder %s" % (xs.name, workdir))
        if reference_note:
            print(reference_note)
        prefix = None
        if args.program == "wine":
            prefix = os.environ.get("WINEPREFIX")
            if prefix and not wait_wineserver_gone(prefix):
                print("note: the wine server of %s is still busy after 60 s; using a prefix of "
                      "this run's own" % prefix)
                prefix = None
            if not prefix:
                prefix = own_prefix = make_wine_prefix(workdir, xs.name)
        reference = None
        if library:
            reference = Reference(os.path.abspath(library),
                                  os.path.join(args.bin_dir, TEMPLATE), workdir)
        program = Program(args.program, args.bin_dir, xs, workdir, prefix, args.command,
                          args.cwd)
        ok = Run(args, xs, program, reference, workdir).run(args.only)
    finally:
        if program is not None:
            program.stop()
        if own_prefix:
            stop_wineserver(own_prefix)
        if xs is not None:
            xs.close()
        if args.keep:
            print("kept %s" % workdir)
        else:
            shutil.rmtree(workdir, ignore_errors=True)
    return 0 if ok else 1


if __name__ == "__main__":
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))  # clean up when ctest times out
    sys.exit(main())
