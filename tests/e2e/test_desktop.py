"""End-to-end tests of the program as a guest on a Linux desktop: every workspace, out of the way
of full-screen windows and the locked screen, one instance per folder, autostart, installed.

Run by CTest, one case per test: python3 test_desktop.py DesktopTest.test_on_every_workspace
MZ_MASCOT names the program, MZ_BUILD_DIR its build tree (for cmake --install)."""

import ctypes
import ctypes.util
import os
import re
import signal
import subprocess
import tempfile
import time
import unittest

from desktop import Desktop, stop, tools_present, wait_for
from test_host import APP_NAME, EXIT, FOLDERS, MASCOT, PAUSE, Mascot, nonzero, wait_frames

BUILD_DIR = os.environ.get("MZ_BUILD_DIR")
TICKER = "E2E Ticker"
# The menu row of "自動起動", reached with Down from the top: after the fixed items.
AUTOSTART = EXIT + 1


class XClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class XEvent(ctypes.Union):
    _fields_ = [("xclient", XClientMessage), ("pad", ctypes.c_long * 24)]


class XRectangle(ctypes.Structure):
    _fields_ = [("x", ctypes.c_short), ("y", ctypes.c_short), ("width", ctypes.c_ushort), ("height", ctypes.c_ushort)]


class XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int), ("format", ctypes.c_int),
                ("data", ctypes.POINTER(ctypes.c_ubyte)), ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
                ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int), ("depth", ctypes.c_int),
                ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int)]


class X11:
    """What the tests ask of the X server that no command-line tool answers: a window's shape
    rectangles, the screen's pixels, and the client message a program sends to go full screen."""

    SHAPE_BOUNDING, SHAPE_INPUT = 0, 2

    def __init__(self, display):
        self.x = ctypes.CDLL(ctypes.util.find_library("X11"))
        self.xext = ctypes.CDLL(ctypes.util.find_library("Xext"))
        x = self.x
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x.XInternAtom.restype = ctypes.c_ulong
        x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        x.XDefaultRootWindow.restype = ctypes.c_ulong
        x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.POINTER(XEvent)]
        x.XGetImage.restype = ctypes.POINTER(XImage)
        x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                                ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        x.XFree.argtypes = [ctypes.c_void_p]
        x.XFlush.argtypes = [ctypes.c_void_p]
        x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.xext.XShapeGetRectangles.restype = ctypes.POINTER(XRectangle)
        self.xext.XShapeGetRectangles.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int,
                                                  ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_int)]
        self.dpy = x.XOpenDisplay(display.encode())
        if not self.dpy:
            raise AssertionError(f"cannot open display {display}")

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.x.XCloseDisplay(self.dpy)

    def shape_rects(self, window, kind):
        """The window's shape of that kind as (x, y, width, height) rectangles, window coordinates."""
        count, ordering = ctypes.c_int(), ctypes.c_int()
        rects = self.xext.XShapeGetRectangles(self.dpy, window, kind, ctypes.byref(count), ctypes.byref(ordering))
        out = [(rects[i].x, rects[i].y, rects[i].width, rects[i].height) for i in range(count.value)]
        if rects:
            self.x.XFree(rects)
        return out

    def grab(self, x, y, width, height):
        """The screen's pixels in the rectangle: a function (column, row) -> (r, g, b)."""
        all_planes = 0xFFFFFFFF
        image = self.x.XGetImage(self.dpy, self.x.XDefaultRootWindow(self.dpy), x, y, width, height, all_planes, 2)
        if not image:
            raise AssertionError("XGetImage failed")
        img = image.contents
        assert img.bits_per_pixel == 32, img.bits_per_pixel
        raw, stride = ctypes.string_at(img.data, img.bytes_per_line * img.height), img.bytes_per_line
        self.x.XFree(img.data)
        self.x.XFree(image)
        return lambda c, r: (raw[r * stride + 4 * c + 2], raw[r * stride + 4 * c + 1], raw[r * stride + 4 * c])

    def compositor_owner(self):
        self.x.XGetSelectionOwner.restype = ctypes.c_ulong
        self.x.XGetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        return self.x.XGetSelectionOwner(self.dpy, self.x.XInternAtom(self.dpy, b"_NET_WM_CM_S0", 0))

    def set_fullscreen(self, window, on):
        """Asks the window manager to put the window into full-screen state or out of it, as a
        program's own full-screen switch does (a _NET_WM_STATE client message to the root window)."""
        event = XEvent()
        event.xclient.type = 33  # ClientMessage
        event.xclient.send_event = 1
        event.xclient.window = window
        event.xclient.message_type = self.x.XInternAtom(self.dpy, b"_NET_WM_STATE", 0)
        event.xclient.format = 32
        event.xclient.data[:] = [1 if on else 0, self.x.XInternAtom(self.dpy, b"_NET_WM_STATE_FULLSCREEN", 0), 0, 1, 0]
        substructure_notify_and_redirect = (1 << 19) | (1 << 20)
        self.x.XSendEvent(self.dpy, self.x.XDefaultRootWindow(self.dpy), 0, substructure_notify_and_redirect,
                          ctypes.byref(event))
        self.x.XFlush(self.dpy)


def set_fullscreen(display, window, on):
    with X11(display) as x:
        x.set_fullscreen(window, on)


def start_compositor(d):
    """xcompmgr as the compositing manager; returns its process once it owns _NET_WM_CM_S0."""
    proc = d.spawn(["xcompmgr"])
    wait_for(lambda: "_NET_WM_CM_S0" in d.run(["xprop", "-root", "-len", "0"]) or compositor_runs(d),
             what="the compositor")
    return proc


def compositor_runs(d):
    with X11(d.env["DISPLAY"]) as x:
        return x.compositor_owner() != 0


def start_session_bus(d):
    """A private D-Bus session bus for the desktop; its address goes into the desktop's environment."""
    read_fd, write_fd = os.pipe()
    bus = d.spawn(["dbus-daemon", "--session", "--nofork", f"--print-address={write_fd}"], pass_fds=(write_fd,))
    d.procs.append(bus)
    os.close(write_fd)
    with os.fdopen(read_fd) as pipe:
        d.env["DBUS_SESSION_BUS_ADDRESS"] = pipe.readline().strip()


def read_text(path):
    with open(path) as f:
        return f.read()


def frames_logged(m):
    return m.log().count("\nframe ")


@unittest.skipUnless(tools_present(), "Xvfb, openbox, trayer, xdotool and x11-utils are needed")
class DesktopTest(unittest.TestCase):
    def start_ticker(self, d):
        m = Mascot(d, "ticker")
        try:
            w = wait_for(lambda: d.windows(name=TICKER), timeout=30, what="the main window")[0]
            wait_for(lambda: nonzero(d.shape_extents(w)), timeout=20, what="the character's shape")
        except BaseException:
            m.__exit__(None, None, None)
            raise
        return m, w

    def assert_frames_stopped(self, m):
        before = frames_logged(m)
        time.sleep(1.0)  # ten frames take a sixth of a second; a second would log several lines
        self.assertEqual(frames_logged(m), before, "frames went on while hidden")

    def assert_back(self, d, m, w):
        wait_for(lambda: nonzero(d.shape_extents(w)), timeout=5, what="the character to come back")
        before = frames_logged(m)
        wait_for(lambda: frames_logged(m) > before, timeout=5, what="frames to run again")

    def stable_picture(self, d, w):
        """The shape's rectangles and the screen's pixels over them, from one settled frame: read
        again until neither changed in between."""
        with X11(d.env["DISPLAY"]) as x:
            for _ in range(50):
                rects = x.shape_rects(w, X11.SHAPE_BOUNDING)
                left, top, width, height = d.shape_extents(w)
                pixel = x.grab(left, top, width, height)
                again = x.grab(left, top, width, height)
                same = all(pixel(c, r) == again(c, r) for r in range(0, height, 7) for c in range(width))
                if rects and same and x.shape_rects(w, X11.SHAPE_BOUNDING) == rects:
                    return rects, (left, top), pixel
        raise AssertionError("the shape changed during every grab")

    def test_no_clear_colour_pixel_inside_the_shape(self):
        with Desktop(tray=False) as d:
            m, w = self.start_ticker(d)  # its mask is half the window's size, cut in 2 x 2 steps
            with m:
                # Paused, every frame draws the same picture: the shape and the pixels then belong
                # together (a moving character's new picture may show a frame before its new shape).
                x, y, width, height = d.shape_extents(w)
                m.open_menu_at(x + width // 2, y + height // 2)
                m.choose(PAUSE)
                # A fringe shows in every frame; a loaded machine may still show one frame's picture
                # under the previous frame's shape now and then, so one clean sample of five suffices.
                for _ in range(5):
                    rects, (left, top), pixel = self.stable_picture(d, w)
                    inside = [(x, y) for rx, ry, rw, rh in rects for y in range(ry, ry + rh)
                              for x in range(rx, rx + rw)]
                    black = [(x, y) for x, y in inside if pixel(x - left, y - top) == (0, 0, 0)]
                    if not black:
                        break
                self.assertEqual(black, [], f"{len(black)} of {len(inside)} pixels show the clear colour")

    def test_translucent_under_a_compositor_with_the_input_shape_cutting_clicks(self):
        with Desktop(tray=False) as d:
            compositor = start_compositor(d)
            try:
                m, w = self.start_ticker(d)
                with m, X11(d.env["DISPLAY"]) as x:
                    self.assertIn("Depth: 32", d.run(["xwininfo", "-id", str(w)]))
                    # Visible: the silhouette's bounding box; clicks: the silhouette only.
                    wait_for(lambda: len(x.shape_rects(w, X11.SHAPE_BOUNDING)) == 1
                             and len(x.shape_rects(w, X11.SHAPE_INPUT)) > 1, what="the input shape alone cut")
                    box = x.shape_rects(w, X11.SHAPE_BOUNDING)[0]
                    corner = (box[0], box[1])  # the top-left corner of a standing figure is empty
                    inputs = x.shape_rects(w, X11.SHAPE_INPUT)
                    self.assertFalse(any(rx <= corner[0] < rx + rw and ry <= corner[1] < ry + rh
                                         for rx, ry, rw, rh in inputs))
                    # The pointer's window is the window manager's frame around ours where ours takes input.
                    frame = int(re.search(r"Parent window id: (0x[0-9a-f]+)",
                                          d.run(["xwininfo", "-tree", "-id", str(w)])).group(1), 16)
                    under = lambda px, py: d.run(["xdotool", "mousemove", str(px), str(py), "getmouselocation",
                                                  "--shell"])
                    self.assertNotIn(f"WINDOW={frame}\n", under(*corner))
                    rx, ry, rw, rh = max(inputs, key=lambda r: r[2] * r[3])
                    self.assertIn(f"WINDOW={frame}\n", under(rx + rw // 2, ry + rh // 2))
                    # The compositor goes: cut to the silhouette again; it comes back: translucent again.
                    stop(compositor)
                    wait_for(lambda: len(x.shape_rects(w, X11.SHAPE_BOUNDING)) > 1, what="the cut shape")
                    compositor = start_compositor(d)
                    wait_for(lambda: len(x.shape_rects(w, X11.SHAPE_BOUNDING)) == 1, what="translucent again")
                    self.assertIsNone(m.proc.poll())
            finally:
                stop(compositor)

    def drag(self, d, w, to_x):
        """Catches the character by its middle and drags it sideways to `to_x`; its new centre."""
        x, y, width, height = d.shape_extents(w)
        cx, cy = x + width // 2, y + height // 2
        d.xdotool("mousemove", cx, cy, "mousedown", "1")
        wait_frames(d, w)  # the press is sampled with the cursor still on it
        for step in range(1, 11):
            d.xdotool("mousemove", cx + (to_x - cx) * step // 10, cy)
            time.sleep(0.03)
        centre = lambda: (lambda e: e[0] + e[2] // 2 if nonzero(e) else None)(d.shape_extents(w))
        wait_for(lambda: abs(centre() - to_x) < 60, timeout=10, what=f"the character to follow to x {to_x}")
        d.xdotool("mouseup", "1")
        return centre()

    def test_two_monitors_one_window_across_and_a_character_dragged_over(self):
        with Desktop(width=2560, height=800, tray=False) as d:
            d.run(["xrandr", "--setmonitor", "left", "1280/340x800/210+0+0", "screen"], check=True)
            d.run(["xrandr", "--setmonitor", "right", "1280/340x800/210+1280+0", "none"], check=True)
            m, w = self.start_ticker(d)
            with m:
                info = d.info(w)
                self.assertEqual((info["x"], info["y"], info["width"], info["height"]), (0, 0, 2560, 800))
                self.assertGreater(self.drag(d, w, 2000), 1280 + 100)  # onto the right monitor
                self.assertLess(self.drag(d, w, 500), 1280 - 100)  # and back onto the left one
                # A full-screen window on the other monitor leaves the character alone.
                other = d.spawn(["xmessage", "-name", "fullscreen-app", "-geometry", "+1500+100", "full screen"])
                try:
                    x = wait_for(lambda: d.windows(classname="fullscreen-app"), what="the other window")[0]
                    d.xdotool("windowactivate", "--sync", x)
                    set_fullscreen(d.env["DISPLAY"], x, True)
                    wait_for(lambda: "_NET_WM_STATE_FULLSCREEN" in d.net_wm_state(x), what="full screen")
                    time.sleep(0.6)
                    self.assertIsNotNone(nonzero(d.shape_extents(w)))
                    self.assertEqual(d.info(x)["x"], 1280)
                finally:
                    stop(other)
                self.assertIsNone(m.proc.poll())

    def test_device_pixels_at_scale_two(self):
        """A scale factor of 2 (a high-density screen) must not halve the picture: window, render,
        mask and shape stay in device pixels."""
        shapes = []
        for scale in ({}, {"QT_ENABLE_HIGHDPI_SCALING": "1", "QT_SCALE_FACTOR": "2"}):
            with Desktop(tray=False) as d:
                d.env.update(scale)
                m = Mascot(d, "walker")
                with m:
                    w = wait_for(lambda: d.windows(name="E2E Walker"), timeout=30, what="the main window")[0]
                    shapes.append(wait_for(lambda: nonzero(d.shape_extents(w)), timeout=20, what="the shape"))
                    info = d.info(w)
                    self.assertEqual((info["width"], info["height"]), (d.width, d.height), scale)
        for a, b in zip(*shapes):
            self.assertLess(abs(a - b), 4, shapes)

    def test_on_every_workspace(self):
        with Desktop(tray=False) as d, Mascot(d) as m:
            w = m.main_window()
            # openbox keeps the all-workspaces desktop number and has no sticky state of its own.
            self.assertIn("4294967295", d.run(["xprop", "-id", str(w), "_NET_WM_DESKTOP"]))
            d.xdotool("set_num_desktops", 2)
            d.xdotool("set_desktop", 1)
            wait_for(lambda: d.run(["xdotool", "get_desktop"]).strip() == "1", what="the second workspace")
            self.assertTrue(d.info(w)["mapped"])

    def test_hides_under_a_full_screen_window_and_comes_back(self):
        with Desktop(tray=False) as d:
            m, w = self.start_ticker(d)
            with m:
                other = d.spawn(["xmessage", "-name", "fullscreen-app", "a program going full screen"])
                try:
                    x = wait_for(lambda: d.windows(classname="fullscreen-app"), what="the other window")[0]
                    d.xdotool("windowactivate", "--sync", x)
                    # Active but not full screen: the character stays.
                    time.sleep(0.6)
                    self.assertIsNotNone(nonzero(d.shape_extents(w)))
                    set_fullscreen(d.env["DISPLAY"], x, True)
                    wait_for(lambda: "_NET_WM_STATE_FULLSCREEN" in d.net_wm_state(x), what="full screen")
                    wait_for(lambda: d.shape_extents(w) == (0, 0, 0, 0), timeout=5, what="the character to hide")
                    self.assert_frames_stopped(m)
                    set_fullscreen(d.env["DISPLAY"], x, False)
                    self.assert_back(d, m, w)
                    # Full screen again, then closed: back as well.
                    set_fullscreen(d.env["DISPLAY"], x, True)
                    wait_for(lambda: d.shape_extents(w) == (0, 0, 0, 0), timeout=5, what="the character to hide")
                finally:
                    stop(other)
                self.assert_back(d, m, w)
                self.assertIsNone(m.proc.poll())

    def test_hides_while_the_screen_is_locked(self):
        with Desktop(tray=False) as d:
            start_session_bus(d)
            m, w = self.start_ticker(d)
            with m:
                def screen_saver(active):
                    d.run(["dbus-send", "--session", "--type=signal", "/org/freedesktop/ScreenSaver",
                           "org.freedesktop.ScreenSaver.ActiveChanged", f"boolean:{'true' if active else 'false'}"],
                          check=True)
                time.sleep(0.5)  # the program has subscribed before its first frame; leave the bus time
                screen_saver(True)
                wait_for(lambda: d.shape_extents(w) == (0, 0, 0, 0), timeout=5, what="the character to hide")
                self.assert_frames_stopped(m)
                screen_saver(False)
                self.assert_back(d, m, w)

    def test_second_start_brings_the_first_ones_script_log_forward(self):
        with Desktop() as d, Mascot(d) as m:
            m.main_window()
            m.tray_icon()
            self.assertEqual(d.windows(name="スクリプトログ"), [])
            # The same folder spelled another way is the same instance.
            same_folder = os.path.join(FOLDERS, "..", os.path.basename(FOLDERS), "hello")
            second = subprocess.run([MASCOT, same_folder],
                                    env=d.env, capture_output=True, text=True, timeout=20)
            self.assertEqual(second.returncode, 0, second.stderr)
            self.assertIn("already runs", second.stderr)
            log_window = wait_for(lambda: d.windows(name="スクリプトログ"), what="the first one's script log")
            self.assertEqual(len(log_window), 1)
            self.assertEqual(len(d.windows(name=APP_NAME)), 1)
            icons = [w for w in d.windows(classname="mascot") if d.info(w)["width"] <= 64]
            self.assertEqual(len(icons), 1, "a second tray icon appeared")
            self.assertIsNone(m.proc.poll())

    def test_a_killed_first_instance_does_not_block_the_next_start(self):
        with Desktop(tray=False) as d:
            with Mascot(d, status=-signal.SIGKILL) as first:
                first.main_window()
                first.proc.kill()
                first.proc.wait()
            with Mascot(d) as second:
                wait_for(lambda: "startup: hello" in second.log(), what="the next start's start-up script")
                self.assertNotIn("already runs", second.log())

    def test_autostart_item_writes_and_removes_its_entry(self):
        with Desktop() as d:
            d.env.pop("XDG_CONFIG_HOME", None)
            entry = os.path.join(d.env["HOME"], ".config", "autostart", "mascot.desktop")
            with Mascot(d) as m:
                m.main_window()
                m.open_menu_from_tray()
                m.choose(AUTOSTART)
                wait_for(lambda: os.path.exists(entry), what="the autostart entry")
                with open(entry) as f:
                    text = f.read()
                folder = os.path.realpath(m.proc.args[-1])
                exec_line = next(line for line in text.splitlines() if line.startswith("Exec="))
                self.assertTrue(exec_line.endswith(" " + folder), exec_line)
                self.assertIn("Name=" + APP_NAME, text)
                program = exec_line[len("Exec="):-len(folder) - 1]
                self.assertTrue(os.access(program, os.X_OK), program)
                m.open_menu_from_tray()
                m.choose(AUTOSTART)
                wait_for(lambda: not os.path.exists(entry), what="the entry to go")
                self.assertIsNone(m.proc.poll())

    @unittest.skipUnless(BUILD_DIR, "MZ_BUILD_DIR names the build tree to install from")
    def test_installed_program_starts_its_sample(self):
        with tempfile.TemporaryDirectory(prefix="mz-prefix-") as prefix:
            r = subprocess.run(["cmake", "--install", BUILD_DIR, "--prefix", prefix],
                               capture_output=True, text=True, timeout=120)
            self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
            for path in ("bin/mascot", "bin/mascot-inspect", "share/mascot/default/config.nut",
                         "share/mascot/default/model/momo.dae", "share/applications/mascot.desktop",
                         "share/icons/hicolor/scalable/apps/mascot.svg", "share/icons/hicolor/48x48/apps/mascot.png"):
                self.assertTrue(os.path.exists(os.path.join(prefix, path)), path)
            with open(os.path.join(prefix, "share/applications/mascot.desktop")) as f:
                desktop_entry = f.read()
            self.assertIn("Exec=mascot\n", desktop_entry)
            self.assertIn("Icon=mascot\n", desktop_entry)
            with Desktop(tray=False) as d:
                # Started from a folder without config.nut, as a desktop's launcher does.
                log_path = os.path.join(d.tmp.name, "mascot.log")
                with open(log_path, "w") as log:
                    proc = d.spawn([os.path.join(prefix, "bin", "mascot"), "--log-stderr"], cwd=d.tmp.name,
                                   stdout=log, stderr=subprocess.STDOUT)
                try:
                    wait_for(lambda: d.windows(name="Momo"), timeout=30, what="the installed sample's window")
                    wait_for(lambda: "Momo: やってきました" in read_text(log_path), timeout=30,
                             what="Momo's arrival")
                finally:
                    stop(proc)


if __name__ == "__main__":
    unittest.main()
