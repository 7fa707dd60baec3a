"""End-to-end tests of the desktop host: the real mascot program on a throw-away X11 desktop.

Run by CTest, one case per test: python3 test_host.py HostTest.test_window_hints
MZ_MASCOT names the program, MZ_E2E_FOLDERS the folder of the test mascot folders."""

import os
import subprocess
import sys
import time
import unittest

from desktop import Desktop, stop, tools_present, wait_for

MASCOT = os.environ.get("MZ_MASCOT", "mascot")
FOLDERS = os.environ.get("MZ_E2E_FOLDERS", os.path.join(os.path.dirname(__file__), "folders"))
APP_NAME = "E2E Mascot"


class Mascot:
    """The program under test, started with --log-stderr; its log is collected to a file."""

    def __init__(self, desktop, folder="hello"):
        self.desktop = desktop
        self.log_path = os.path.join(desktop.tmp.name, "mascot.log")
        self.log_file = open(self.log_path, "w")
        self.proc = desktop.spawn([MASCOT, "--log-stderr", os.path.join(FOLDERS, folder)],
                                  stdout=self.log_file, stderr=subprocess.STDOUT)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        stop(self.proc)
        self.log_file.close()

    def log(self):
        with open(self.log_path) as f:
            return f.read()

    def main_window(self):
        found = wait_for(lambda: self.desktop.windows(name=APP_NAME), what="the main window")
        return found[0]

    def wait_exit(self, timeout):
        """Waits for the program to end; its exit status, or a failure with its log."""
        try:
            status = self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError(f"mascot still running after {timeout} s; log:\n{self.log()}")
        if status != 0:
            sys.stderr.write(f"mascot ended with status {status}; log:\n{self.log()}\n")
        return status

    def tray_icon(self):
        """The tray icon's window: the program's small window embedded in the tray host."""
        def find():
            for w in self.desktop.windows(classname="mascot"):
                i = self.desktop.info(w)
                if i["width"] <= 64 and i["height"] <= 64 and i["mapped"]:
                    return w
            return None
        return wait_for(find, what="the tray icon")

    def find_menu(self):
        """The open pop-up menu (a visible override-redirect window of the program), or None."""
        for w in self.desktop.windows(classname="mascot"):
            i = self.desktop.info(w)
            if i["override"] and i["width"] > 64 and i["height"] > 64:
                return w
        return None

    def menu_window(self):
        return wait_for(self.find_menu, timeout=5, what="the pop-up menu")

    def open_menu_from_tray(self):
        icon = self.desktop.info(self.tray_icon())
        self.desktop.xdotool("mousemove", icon["x"] + icon["width"] // 2, icon["y"] + icon["height"] // 2,
                             "click", "3")
        return self.menu_window()

    def choose(self, downs):
        """Chooses the menu item reached by pressing Down `downs` times (separators are skipped)."""
        self.desktop.xdotool("key", *(["Down"] * downs), "Return")
        if downs != EXIT:
            wait_for(lambda: self.find_menu() is None, timeout=5, what="the menu to close")


# Menu rows reached with Down from the top: 1 常に手前に表示, 2 一時停止, 3 スクリプトログの表示, 4 終了.
TOPMOST, PAUSE, SHOW_LOG, EXIT = 1, 2, 3, 4


@unittest.skipUnless(tools_present(), "Xvfb, openbox, trayer, xdotool and x11-utils are needed")
class HostTest(unittest.TestCase):
    def test_window_hints_and_empty_shape(self):
        with Desktop() as d, Mascot(d) as m:
            w = m.main_window()
            info = d.info(w)
            self.assertTrue(info["mapped"])
            self.assertEqual((info["x"], info["y"]), (0, 0))
            self.assertEqual((info["width"], info["height"]), (d.width, d.height))
            state = d.net_wm_state(w)
            for hint in ("_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER", "_NET_WM_STATE_ABOVE"):
                self.assertIn(hint, state)
            # Nothing drawn: an empty shape, neither visible nor catching clicks anywhere.
            self.assertEqual(d.shape_extents(w), (0, 0, 0, 0))
            # The start-up script ran and its output reached the log.
            wait_for(lambda: "startup: hello" in m.log(), what="the start-up script's print")

    def test_exit_from_tray_menu_ends_with_status_0(self):
        with Desktop() as d, Mascot(d) as m:
            m.main_window()
            m.open_menu_from_tray()
            m.choose(EXIT)
            self.assertEqual(m.wait_exit(1.0), 0)

    def test_pause_and_script_log_from_tray_menu(self):
        with Desktop() as d, Mascot(d) as m:
            m.main_window()
            m.open_menu_from_tray()
            m.choose(PAUSE)
            self.assertIsNone(m.proc.poll())
            self.assertEqual(d.windows(name="スクリプトログ"), [])
            m.open_menu_from_tray()
            m.choose(SHOW_LOG)
            log_window = wait_for(lambda: d.windows(name="スクリプトログ"), what="the script-log window")[0]
            # Closing it only hides it; the program goes on.
            d.xdotool("windowactivate", "--sync", log_window, "key", "alt+F4")
            wait_for(lambda: not d.windows(name="スクリプトログ"), what="the script-log window to hide")
            self.assertIsNone(m.proc.poll())

    def test_tray_icon_returns_when_the_tray_host_restarts(self):
        with Desktop() as d, Mascot(d) as m:
            m.main_window()
            m.tray_icon()
            d.stop_tray()
            d.start_tray()
            m.open_menu_from_tray()
            m.choose(EXIT)
            self.assertEqual(m.wait_exit(1.0), 0)

    def test_failing_startup_script_shows_error_box_then_ends(self):
        with Desktop() as d, Mascot(d, "broken") as m:
            box = wait_for(lambda: d.windows(name="Error"), what="the error box")[0]
            self.assertIsNone(m.proc.poll())  # the box holds the application thread only
            d.xdotool("windowactivate", "--sync", box, "key", "Return")
            self.assertEqual(m.wait_exit(5.0), 0)
            self.assertIn("startup.nut", m.log())
            self.assertNotIn("never printed", m.log())

    def test_runs_without_a_tray_host_and_ends_on_sigterm(self):
        with Desktop(tray=False) as d, Mascot(d) as m:
            self.assertTrue(d.info(m.main_window())["mapped"])
            time.sleep(0.3)  # a few frames without any tray host
            self.assertIsNone(m.proc.poll())
            m.proc.terminate()
            self.assertEqual(m.wait_exit(2.0), 0)


class CommandLineTest(unittest.TestCase):
    def run_mascot(self, *args):
        return subprocess.run([MASCOT, *args], capture_output=True, text=True, timeout=20)

    def test_options(self):
        cases = [
            (["--help"], 0, "Usage: mascot"),
            (["--version"], 0, "mascot "),
            (["--bogus"], 2, "unexpected argument"),
            (["a", "b"], 2, "unexpected argument"),
            (["/nonexistent/folder"], 1, "cannot enter"),
        ]
        for args, status, text in cases:
            with self.subTest(args=args):
                r = self.run_mascot(*args)
                self.assertEqual(r.returncode, status)
                self.assertIn(text, r.stdout + r.stderr)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[1:])
