"""A throw-away X11 desktop for end-to-end tests: Xvfb, openbox, an optional trayer tray host.

Everything started here is stopped again, also when a test fails. Waiting is done by polling
with a time limit, never by fixed sleeps where a condition can be checked. Every time limit is
multiplied by WAIT_FACTOR: MZ_E2E_WAIT_FACTOR when set, else the machine's load per core (at least 1),
so that a loaded machine gets the time it needs."""

import ctypes
import ctypes.util
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time


def _wait_factor():
    if os.environ.get("MZ_E2E_WAIT_FACTOR"):
        return max(1.0, float(os.environ["MZ_E2E_WAIT_FACTOR"]))
    return min(4.0, max(1.0, os.getloadavg()[0] / (os.cpu_count() or 1)))


WAIT_FACTOR = _wait_factor()


def scaled(seconds):
    """A time limit on this machine: `seconds` on an idle one."""
    return seconds * WAIT_FACTOR


def wait_for(predicate, timeout=10.0, interval=0.05, what="condition"):
    timeout = scaled(timeout)
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)


class Desktop:
    def __init__(self, width=1280, height=800, tray=True):
        self.width, self.height, self.tray = width, height, tray
        self.procs = []
        self.tray_proc = None
        self.tmp = tempfile.TemporaryDirectory(prefix="mz-e2e-")
        self.env = dict(os.environ)
        runtime = os.path.join(self.tmp.name, "runtime")
        os.mkdir(runtime, 0o700)
        self.env.update(XDG_RUNTIME_DIR=runtime, HOME=self.tmp.name, MESA_SHADER_CACHE_DISABLE="true",
                        QT_QPA_PLATFORM="xcb")
        self.env.pop("WAYLAND_DISPLAY", None)

    def __enter__(self):
        try:
            self._start()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()

    def _start(self):
        read_fd, write_fd = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0",
                                 f"{self.width}x{self.height}x24", "-nolisten", "tcp"],
                                pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.procs.append(xvfb)
        os.close(write_fd)
        with os.fdopen(read_fd) as pipe:
            number = pipe.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.env["DISPLAY"] = f":{number}"
        self.start_window_manager()
        if self.tray:
            self.start_tray()

    def start_window_manager(self, attempts=3):
        """Starts openbox; one that has not taken over the screen in time is replaced by a new one."""
        for attempt in range(attempts):
            openbox = self.spawn(["openbox", "--sm-disable"])
            self.procs.append(openbox)
            try:
                wait_for(lambda: "_NET_SUPPORTING_WM_CHECK(WINDOW)" in self.run(["xprop", "-root"]),
                         what="openbox")
                return
            except AssertionError:
                stop(openbox)
                self.procs.remove(openbox)
                if attempt == attempts - 1:
                    raise

    def start_tray(self):
        self.tray_proc = self.spawn(["trayer", "--edge", "top", "--align", "right", "--widthtype", "pixel",
                                     "--width", "100", "--height", "24", "--SetDockType", "true"])
        wait_for(lambda: self.run(["xdotool", "search", "--classname", "trayer"]).strip(), what="trayer")

    def stop_tray(self):
        if self.tray_proc:
            stop(self.tray_proc)
            self.tray_proc = None

    def spawn(self, args, **kw):
        kw.setdefault("stdout", subprocess.DEVNULL)
        kw.setdefault("stderr", subprocess.DEVNULL)
        return subprocess.Popen(args, env=self.env, **kw)

    def run(self, args, check=False):
        r = subprocess.run(args, env=self.env, capture_output=True, text=True, timeout=scaled(20))
        if check and r.returncode != 0:
            raise AssertionError(f"{args} failed: {r.stderr}")
        return r.stdout

    def kill_x_server(self):
        """The X server dies: every client loses its connection."""
        xvfb = self.procs[0]
        xvfb.kill()
        xvfb.wait()

    def close(self):
        self.stop_tray()
        for p in reversed(self.procs):
            stop(p)
        self.procs.clear()
        self.tmp.cleanup()

    # ---- queries ----

    def windows(self, name=None, classname=None, visible=True):
        args = ["xdotool", "search"] + (["--onlyvisible"] if visible else [])
        args += ["--classname", classname] if classname else ["--name", f"^{re.escape(name)}$"]
        return [int(w) for w in self.run(args).split()]

    def info(self, window):
        """Geometry, map state and override-redirect of a window (xwininfo)."""
        out = self.run(["xwininfo", "-id", str(window)])
        field = lambda key: re.search(rf"{key}:\s+(\S+)", out).group(1)
        return {"x": int(field("Absolute upper-left X")), "y": int(field("Absolute upper-left Y")),
                "width": int(field("Width")), "height": int(field("Height")),
                "mapped": field("Map State") == "IsViewable",
                "override": field("Override Redirect State") == "yes"}

    def shape_extents(self, window):
        """(x, y, width, height) of the window's bounding shape."""
        out = self.run(["xwininfo", "-shape", "-id", str(window)])
        m = re.search(r"Window shape extents:\s+(\d+)x(\d+)\+(-?\d+)\+(-?\d+)", out)
        return (int(m.group(3)), int(m.group(4)), int(m.group(1)), int(m.group(2))) if m else None

    def net_wm_state(self, window):
        return self.run(["xprop", "-id", str(window), "_NET_WM_STATE"])

    def xdotool(self, *args):
        self.run(["xdotool", *map(str, args)], check=True)

    def focused_window(self):
        return int(self.run(["xdotool", "getwindowfocus"]).strip() or 0)

    def close_window(self, window):
        """Asks `window` to close the way a window manager's close button does (WM_DELETE_WINDOW)."""
        x11 = _xlib()
        display = x11.XOpenDisplay(self.env["DISPLAY"].encode())
        if not display:
            raise RuntimeError("cannot open the display")
        try:
            event = _XClientMessageEvent(type=33, display=display, window=window, format=32,
                                         message_type=x11.XInternAtom(display, b"WM_PROTOCOLS", False))
            event.l[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", False)
            buffer = (ctypes.c_char * 192)()  # sizeof(XEvent)
            ctypes.memmove(buffer, ctypes.byref(event), ctypes.sizeof(event))
            x11.XSendEvent(display, window, False, 0, buffer)
            x11.XFlush(display)
        finally:
            x11.XCloseDisplay(display)


class _XClientMessageEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("l", ctypes.c_long * 5)]


def _xlib():
    x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    return x11


def stop(proc, timeout=5.0):
    """Ends `proc` with SIGTERM, or SIGKILL when it does not end in time. Its exit status, the
    negative signal number when it was killed."""
    if proc.poll() is not None:
        return proc.returncode
    proc.send_signal(signal.SIGTERM)
    try:
        return proc.wait(scaled(timeout))
    except subprocess.TimeoutExpired:
        proc.kill()
        return proc.wait()


def tools_present():
    return all(shutil.which(t) for t in ("Xvfb", "openbox", "trayer", "xdotool", "xwininfo", "xprop"))
