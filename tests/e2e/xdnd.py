#!/usr/bin/env python3
"""Drops files on an X11 window the way a file manager does, over the XDND protocol.

The drag source is a window of its own that owns the XdndSelection and offers the files as
text/uri-list (percent-encoded file:// URIs, CR LF separated). It sends XdndEnter, XdndPosition
and XdndDrop to the XdndAware window under the drop point and answers every selection request
while it waits, because some targets (Wine) read the data as soon as XdndEnter arrives.

As a program:  xdnd.py [--display :N] [--window ID] [--at X,Y] [--timeout S] FILE...
drops FILE... on the window ID (its centre, or the root position X,Y) and exits 0 when the
target has finished with the drop, 2 when it refused it, 3 on a time-out, 1 on other errors.
"""

import argparse
import os
import select
import sys
import time
import urllib.parse

try:
    from Xlib import X, Xatom, display as xdisplay, error as xerror
    from Xlib.protocol import event as xevent, request as xrequest
except ImportError:  # python3-xlib is installed for Debian's own interpreter
    sys.path.append("/usr/lib/python3/dist-packages")
    from Xlib import X, Xatom, display as xdisplay, error as xerror
    from Xlib.protocol import event as xevent, request as xrequest

XDND_VERSION = 5
URI_LIST = "text/uri-list"


class XdndError(Exception):
    """The drop could not be carried out."""


class DropRefused(XdndError):
    """The target answered XdndPosition with a status that does not accept the drop."""


class DropTimeout(XdndError):
    """The target did not answer within the time limit."""


def file_uri(path):
    """The file:// URI of `path`: its absolute form, percent-encoded per RFC 3986 from the bytes
    of the file name (UTF-8 here), keeping only unreserved characters and '/' as they are."""
    raw = os.fsencode(os.path.abspath(path))
    return "file://" + urllib.parse.quote_from_bytes(raw, safe="/")


def uri_list(paths):
    """The text/uri-list body for `paths`: one URI a line, each line ended by CR LF."""
    return "".join(file_uri(p) + "\r\n" for p in paths).encode("ascii")


class DragSource:
    """One drag from start to end over its own X connection."""

    def __init__(self, paths, display_name=None, log=None):
        self.paths = list(paths)
        self.data = uri_list(self.paths)
        self.log = log or (lambda message: None)
        self.d = xdisplay.Display(display_name)
        self.root = self.d.screen().root
        atom = lambda name: self.d.intern_atom(name)
        self.atoms = {name: atom(name) for name in (
            "XdndAware", "XdndProxy", "XdndSelection", "XdndEnter", "XdndPosition",
            "XdndStatus", "XdndLeave", "XdndDrop", "XdndFinished", "XdndActionCopy",
            "XdndTypeList", "TARGETS", URI_LIST, "_QUILLMAP_TIME")}
        # A small window of our own, never mapped, as a file manager's drag window would be.
        self.window = self.root.create_window(
            -10, -10, 1, 1, 0, X.CopyFromParent, X.InputOutput, X.CopyFromParent,
            event_mask=X.PropertyChangeMask)
        self.window.set_wm_name("quillmap-xdnd-source")
        self.window.change_property(self.atoms["XdndAware"], Xatom.ATOM, 32, [XDND_VERSION])
        self.timestamp = self._server_time()
        self.window.set_selection_owner(self.atoms["XdndSelection"], self.timestamp)
        self.d.flush()
        if self.d.get_selection_owner(self.atoms["XdndSelection"]) != self.window:
            raise XdndError("could not take the XdndSelection")
        self.requests = []  # (target name, served) of every selection request answered

    def close(self):
        try:
            # Give the selection up (owner None), then the window.
            xrequest.SetSelectionOwner(display=self.d.display, window=X.NONE,
                                       selection=self.atoms["XdndSelection"],
                                       time=self.timestamp)
            self.window.destroy()
            self.d.flush()
        finally:
            self.d.close()

    # -- time and events -------------------------------------------------------------------

    def _server_time(self):
        """A real server timestamp, from a property change on our own window."""
        self.window.change_property(self.atoms["_QUILLMAP_TIME"], Xatom.STRING, 8, b"")
        self.d.flush()
        deadline = time.monotonic() + 5
        while True:
            event = self._next_event(deadline)
            if event is None:
                raise DropTimeout("no PropertyNotify for our own window within 5 s")
            if event.type == X.PropertyNotify and event.window == self.window:
                return event.time

    def _next_event(self, deadline):
        """The next event, or None at the deadline. Selection requests are answered here and
        never returned, so that every wait serves them."""
        while True:
            while self.d.pending_events():
                event = self.d.next_event()
                if event.type == X.SelectionRequest:
                    self._serve(event)
                    continue
                return event
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                return None
            select.select([self.d], [], [], remaining)

    def _wait_message(self, name, deadline):
        """The next ClientMessage of type `name` sent to our window, or None at the deadline."""
        wanted = self.atoms[name]
        while True:
            event = self._next_event(deadline)
            if event is None:
                return None
            if event.type == X.ClientMessage and event.client_type == wanted:
                return event

    def _serve(self, request):
        target = request.target
        prop = request.property or target  # obsolete requestors leave the property None
        served = True
        if request.selection != self.atoms["XdndSelection"]:
            served = False
        elif target == self.atoms["TARGETS"]:
            request.requestor.change_property(
                prop, Xatom.ATOM, 32, [self.atoms["TARGETS"], self.atoms[URI_LIST]])
        elif target == self.atoms[URI_LIST]:
            request.requestor.change_property(prop, self.atoms[URI_LIST], 8, self.data)
        else:
            served = False
        reply = xevent.SelectionNotify(
            time=request.time, requestor=request.requestor, selection=request.selection,
            target=target, property=prop if served else X.NONE)
        request.requestor.send_event(reply)
        self.d.flush()
        self.requests.append((self.d.get_atom_name(target), served))
        self.log("selection request for %s: %s" % (
            self.d.get_atom_name(target), "served" if served else "refused"))

    def _send(self, to, window, name, data):
        message = xevent.ClientMessage(
            window=window, client_type=self.atoms[name], data=(32, (data + [0] * 5)[:5]))
        to.send_event(message, event_mask=X.NoEventMask)
        self.d.flush()
        self.log("sent %s" % name)

    # -- finding the target --------------------------------------------------------------

    def _aware_version(self, window):
        try:
            prop = window.get_full_property(self.atoms["XdndAware"], Xatom.ATOM)
        except xerror.XError:
            return None
        return prop.value[0] if prop and len(prop.value) else None

    def find_target(self, x, y):
        """The XdndAware top-level window at root position (x, y), as a file manager finds it:
        down from the root through the windows that contain the point (the WM's frame is
        usually not aware; its client window is), returning (window, version, proxy)."""
        window = self.root
        while True:
            child = window.translate_coords(self.root, x, y).child
            if not child:  # X.NONE: no child window holds the point
                return None
            version = self._aware_version(child)
            if version is not None:
                return child, version, self._proxy(child)
            window = child

    def _proxy(self, window):
        try:
            prop = window.get_full_property(self.atoms["XdndProxy"], Xatom.WINDOW)
        except xerror.XError:
            return None
        if not prop or not len(prop.value):
            return None
        proxy = self.d.create_resource_object("window", prop.value[0])
        try:
            check = proxy.get_full_property(self.atoms["XdndProxy"], Xatom.WINDOW)
        except xerror.XError:
            return None
        return proxy if check and len(check.value) and check.value[0] == proxy.id else None

    # -- the drag --------------------------------------------------------------------------

    def drop(self, x, y, expect=None, timeout=10.0, wait_finished=True):
        """Drags the files to root position (x, y) and drops them. `expect` (a window id) makes
        sure that the window found there is that window, one of its ancestors or one of its
        descendants, i.e. that nothing else lies on top. Returns the XdndFinished event's
        (accepted, action) when wait_finished, else None after the drop was sent."""
        found = self.find_target(x, y)
        if found is None:
            raise XdndError("no XdndAware window at %d,%d" % (x, y))
        target, version, proxy = found
        if expect is not None and not self._related(target.id, expect):
            raise XdndError("the window at %d,%d is 0x%x (%s), not the target 0x%x" % (
                x, y, target.id, self._name(target), expect))
        version = min(version, XDND_VERSION)
        send_to = proxy or target
        self.log("target 0x%x, XDND version %d%s" % (
            target.id, version, ", proxy 0x%x" % proxy.id if proxy else ""))
        deadline = time.monotonic() + timeout

        self.root.warp_pointer(x, y)  # where the user's pointer would be
        self._send(send_to, target, "XdndEnter",
                   [self.window.id, version << 24, self.atoms[URI_LIST], 0, 0])
        self._send(send_to, target, "XdndPosition",
                   [self.window.id, 0, (x << 16) | y, self.timestamp,
                    self.atoms["XdndActionCopy"]])
        status = self._wait_message("XdndStatus", deadline)
        if status is None:
            self._send(send_to, target, "XdndLeave", [self.window.id])
            raise DropTimeout("no XdndStatus from 0x%x within %.0f s" % (target.id, timeout))
        if not status.data[1][1] & 1:
            self._send(send_to, target, "XdndLeave", [self.window.id])
            raise DropRefused("the target 0x%x refused the drop (XdndStatus flags %d)" % (
                target.id, status.data[1][1]))
        self._send(send_to, target, "XdndDrop", [self.window.id, 0, self.timestamp])
        if not wait_finished:
            return None
        return self.wait_finished(deadline, target)

    def wait_finished(self, deadline, target=None):
        finished = self._wait_message("XdndFinished", deadline)
        if finished is None:
            raise DropTimeout("no XdndFinished%s before the time limit" % (
                " from 0x%x" % target.id if target else ""))
        flags, action = finished.data[1][1], finished.data[1][2]
        accepted = bool(flags & 1)
        self.log("XdndFinished: accepted %s, action %s" % (
            accepted, self.d.get_atom_name(action) if action else "none"))
        return accepted, action

    def _related(self, found, expect):
        """True when window `found` is `expect`, or one is an ancestor of the other."""
        def ancestors(window_id):
            chain = [window_id]
            while True:
                tree = self.d.create_resource_object("window", chain[-1]).query_tree()
                if not tree.parent or tree.parent.id == tree.root.id:
                    return chain
                chain.append(tree.parent.id)
        return expect in ancestors(found) or found in ancestors(expect)

    def _name(self, window):
        try:
            return window.get_wm_name() or "?"
        except xerror.XError:
            return "?"


def window_centre(display_name, window_id, fraction_y=0.5):
    """The root position of the point of window `window_id` at half its width and `fraction_y`
    of its height."""
    d = xdisplay.Display(display_name)
    try:
        window = d.create_resource_object("window", window_id)
        geometry = window.get_geometry()
        origin = window.translate_coords(d.screen().root, 0, 0)
        return (-origin.x + geometry.width // 2,
                -origin.y + int(geometry.height * fraction_y))
    finally:
        d.close()


def drop_files(paths, display_name=None, window=None, at=None, timeout=10.0, verbose=False):
    """Drops `paths` on `window` (an id; at its centre unless `at`) or at root position `at`.
    Returns (accepted, action) of the target's XdndFinished."""
    if at is None:
        if window is None:
            raise XdndError("a window or a position is needed")
        at = window_centre(display_name, window)
    log = (lambda m: print("xdnd: " + m, file=sys.stderr)) if verbose else None
    source = DragSource(paths, display_name, log)
    try:
        return source.drop(at[0], at[1], expect=window, timeout=timeout)
    finally:
        source.close()


def main(argv=None):
    parser = argparse.ArgumentParser(description="Drop files on an X11 window over XDND.")
    parser.add_argument("--display", default=os.environ.get("DISPLAY"))
    parser.add_argument("--window", type=lambda s: int(s, 0), help="target window id")
    parser.add_argument("--at", help="root position X,Y (default: the window's centre)")
    parser.add_argument("--timeout", type=float, default=10.0,
                        help="seconds to wait for each answer of the target")
    parser.add_argument("--verbose", action="store_true")
    parser.add_argument("files", nargs="+")
    args = parser.parse_args(argv)
    at = tuple(int(v) for v in args.at.split(",")) if args.at else None
    try:
        accepted, _ = drop_files(args.files, args.display, args.window, at, args.timeout,
                                 args.verbose)
    except DropRefused as e:
        print("xdnd: %s" % e, file=sys.stderr)
        return 2
    except DropTimeout as e:
        print("xdnd: %s" % e, file=sys.stderr)
        return 3
    except XdndError as e:
        print("xdnd: %s" % e, file=sys.stderr)
        return 1
    print("dropped%s" % ("" if accepted else " (target did not report acceptance)"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
