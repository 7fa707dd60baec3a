"""End-to-end test of a work-area change: a panel reserving screen space appears and goes.

Run by CTest, one case per test: python3 test_workarea.py WorkAreaTest.test_panel_appears_and_goes
MZ_MASCOT names the program, MZ_E2E_FOLDERS the folder of the test mascot folders."""

import os
import re
import subprocess
import sys
import unittest

from desktop import Desktop, stop, tools_present, wait_for

MASCOT = os.environ.get("MZ_MASCOT", "mascot")
FOLDERS = os.environ.get("MZ_E2E_FOLDERS", os.path.join(os.path.dirname(__file__), "folders"))
APP_NAME = "E2E Work Area"
PANEL = 100  # pixels the panel reserves at the bottom of the screen


def read(path):
    with open(path) as f:
        return f.read()


def world_widths(log):
    return [float(w) for w in re.findall(r"^world (\d+\.\d+)", log, re.M)]


@unittest.skipUnless(tools_present() and os.path.exists("/usr/bin/xmessage"), "Xvfb, openbox, xdotool, x11-utils")
class WorkAreaTest(unittest.TestCase):
    def test_panel_appears_and_goes(self):
        with Desktop(tray=False) as d:
            log_path = os.path.join(d.tmp.name, "mascot.log")
            with open(log_path, "w") as log_file:
                proc = d.spawn([MASCOT, "--log-stderr", os.path.join(FOLDERS, "workarea")],
                               stdout=log_file, stderr=subprocess.STDOUT)
                try:
                    self.run_panel(d, lambda: read(log_path))
                except BaseException:
                    sys.stderr.write(f"mascot log:\n{read(log_path)}\n")
                    raise
                finally:
                    stop(proc)

    def run_panel(self, d, log):
        w = wait_for(lambda: d.windows(name=APP_NAME), timeout=30, what="the main window")[0]
        drawn = lambda: (lambda s: s if s and s[2] > 0 else None)(d.shape_extents(w))
        full = wait_for(drawn, timeout=30, what="the character's shape")
        wait_for(lambda: 8.0 in world_widths(log()), what="the world width of 1280 × 800")

        panel = d.spawn(["xmessage", "-title", "mz-panel", "-geometry", f"{d.width}x{PANEL}+0+{d.height - PANEL}",
                         "panel"])
        try:
            pw = wait_for(lambda: d.windows(name="mz-panel"), what="the panel")[0]
            strut = [0, 0, 0, PANEL, 0, 0, 0, 0, 0, 0, 0, d.width - 1]
            d.run(["xprop", "-id", str(pw), "-f", "_NET_WM_STRUT_PARTIAL", "32c", "-set",
                   "_NET_WM_STRUT_PARTIAL", ",".join(map(str, strut))], check=True)
            self.expect_work_area(d, w, log, d.height - PANEL, full)
        finally:
            stop(panel)
        self.expect_work_area(d, w, log, d.height, full)

    def expect_work_area(self, d, w, log, height, full):
        """The window covers the work area, the world's width follows its aspect ratio, and the
        character keeps its height in world units: its shape scales with the window's height."""
        wait_for(lambda: (lambda i: (i["x"], i["y"], i["width"], i["height"]) == (0, 0, d.width, height))(d.info(w)),
                 timeout=15, what=f"the window to cover 0, 0, {d.width} × {height}")
        width = round(5.0 * d.width / height, 2)
        wait_for(lambda: world_widths(log())[-1:] == [width], timeout=15, what=f"the world width {width}")

        def scaled():
            s = d.shape_extents(w)
            if not s or s[3] == 0 or s[1] + s[3] > height:
                return None
            expected = full[3] * height / d.height
            return s if abs(s[3] - expected) <= 0.05 * expected + 2 else None
        wait_for(scaled, timeout=15, what=f"the shape to scale to the window height {height}")


if __name__ == "__main__":
    unittest.main()
