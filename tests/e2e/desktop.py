"""A throw-away X11 desktop for end-to-end tests: Xvfb, openbox, an optional trayer tray host.

Everything started here is stopped again, also when a test fails. Waiting is done by polling
with a time limit, never by fixed sleeps where a condition can be checked."""

import os
import re
import shutil
import signal
import subprocess
import tempfile
import time


def wait_for(predicate, timeout=10.0, interval=0.05, what="condition"):
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
        self.procs.append(self.spawn(["openbox", "--sm-disable"]))
        wait_for(lambda: "_NET_SUPPORTING_WM_CHECK(WINDOW)" in self.run(["xprop", "-root"]), what="openbox")
        if self.tray:
            self.start_tray()

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
        r = subprocess.run(args, env=self.env, capture_output=True, text=True, timeout=20)
        if check and r.returncode != 0:
            raise AssertionError(f"{args} failed: {r.stderr}")
        return r.stdout

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


def stop(proc, timeout=5.0):
    if proc.poll() is not None:
        return
    proc.send_signal(signal.SIGTERM)
    try:
        proc.wait(timeout)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()


def tools_present():
    return all(shutil.which(t) for t in ("Xvfb", "openbox", "trayer", "xdotool", "xwininfo", "xprop"))
