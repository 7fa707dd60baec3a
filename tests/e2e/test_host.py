"""End-to-end tests of the desktop host: the real mascot program on a throw-away X11 desktop.

Run by CTest, one case per test: python3 test_host.py HostTest.test_window_hints
MZ_MASCOT names the program, MZ_E2E_FOLDERS the folder of the test mascot folders."""

import os
import signal
import subprocess
import sys
import time
import unittest

from desktop import Desktop, scaled, stop, tools_present, wait_for

MASCOT = os.environ.get("MZ_MASCOT", "mascot")
FOLDERS = os.environ.get("MZ_E2E_FOLDERS", os.path.join(os.path.dirname(__file__), "folders"))
APP_NAME = "E2E Mascot"


# What the sanitizers write when they find something (address, leak, undefined behaviour, thread).
SANITIZER_REPORTS = ("ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:",
                     "WARNING: ThreadSanitizer", "SUMMARY: UndefinedBehaviorSanitizer")


class Mascot:
    """The program under test, started with --log-stderr; its log is collected to a file.

    Leaving the `with` block stops it with SIGTERM unless it has ended, and checks that it ended
    with `status` (0: SIGTERM ends it the way "終了" does) and without a sanitizer report."""

    def __init__(self, desktop, folder="hello", status=0):
        self.desktop = desktop
        self.status = status
        self.log_path = os.path.join(desktop.tmp.name, "mascot.log")
        self.log_file = open(self.log_path, "w")
        self.proc = desktop.spawn([MASCOT, "--log-stderr", os.path.join(FOLDERS, folder)],
                                  stdout=self.log_file, stderr=subprocess.STDOUT)

    def __enter__(self):
        return self

    def __exit__(self, exc_type, *exc):
        status = stop(self.proc)
        self.log_file.close()
        if exc_type is None:
            self.check_ended(status)

    def check_ended(self, status):
        log = self.log()
        if status != self.status:
            raise AssertionError(f"mascot ended with status {status}, not {self.status}; log:\n{log}")
        for report in SANITIZER_REPORTS:
            if report in log:
                raise AssertionError(f"sanitizer report in the output:\n{log}")

    def log(self):
        with open(self.log_path) as f:
            return f.read()

    def main_window(self):
        found = wait_for(lambda: self.desktop.windows(name=APP_NAME), what="the main window")
        return found[0]

    def wait_exit(self, timeout):
        """Waits for the program to end; its exit status, or a failure with its log."""
        try:
            status = self.proc.wait(scaled(timeout))
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

    def open_menu_from_tray(self):
        icon = self.desktop.info(self.tray_icon())
        x, y = icon["x"] + icon["width"] // 2, icon["y"] + icon["height"] // 2
        return self.open_menu_at(x, y)

    def open_menu_at(self, x, y, attempts=3):
        """Right-clicks at (x, y) until the menu opens. A click that arrives while Qt is still
        finishing the previous menu's close is taken by that popup, so one more click is allowed."""
        for attempt in range(attempts):
            self.desktop.xdotool("mousemove", x, y, "click", "3")
            try:
                return wait_for(self.find_menu, timeout=3, what="the pop-up menu")
            except AssertionError:
                if attempt == attempts - 1:
                    raise

    def choose(self, downs):
        """Chooses the menu item reached by pressing Down `downs` times (separators are skipped)."""
        self.desktop.xdotool("key", *(["Down"] * downs), "Return")
        if downs != EXIT:
            wait_for(lambda: self.find_menu() is None, timeout=5, what="the menu to close")


# "終了" ends the program within a second on an idle machine; the limit leaves room for a loaded CI runner.
EXIT_LIMIT = 3.0

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
            self.assertEqual(m.wait_exit(EXIT_LIMIT), 0)

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
            self.assertEqual(m.wait_exit(EXIT_LIMIT), 0)

    def test_failing_startup_script_shows_error_box_then_ends(self):
        with Desktop() as d, Mascot(d, "broken", status=1) as m:
            box = wait_for(lambda: d.windows(name="Error"), what="the error box")[0]
            self.assertIsNone(m.proc.poll())  # the box holds the application thread only
            d.xdotool("windowactivate", "--sync", box, "key", "Return")
            self.assertEqual(m.wait_exit(5.0), 1)
            self.assertIn("startup.nut", m.log())
            self.assertNotIn("never printed", m.log())

    def test_runs_without_a_tray_host_and_ends_on_sigterm(self):
        with Desktop(tray=False) as d, Mascot(d) as m:
            self.assertTrue(d.info(m.main_window())["mapped"])
            time.sleep(0.3)  # a few frames without any tray host
            self.assertIsNone(m.proc.poll())
            m.proc.terminate()
            self.assertEqual(m.wait_exit(2.0), 0)


    def test_closing_the_window_from_outside_ends_with_status_0(self):
        with Desktop() as d, Mascot(d) as m:
            d.close_window(m.main_window())
            self.assertEqual(m.wait_exit(EXIT_LIMIT), 0)

    def test_losing_the_x_server_ends_once_with_status_1(self):
        with Desktop() as d, Mascot(d, status=1) as m:
            m.main_window()
            time.sleep(0.3)  # a few frames drawn into the window
            d.kill_x_server()
            self.assertEqual(m.wait_exit(5.0), 1)
            self.assertIn("the connection to the X server was lost", m.log())


@unittest.skipUnless(tools_present(), "Xvfb, openbox, trayer, xdotool and x11-utils are needed")
class BusyScriptTest(unittest.TestCase):
    """A loop callback that never returns (folder "busy")."""

    def start(self, d):
        m = Mascot(d, "busy")
        try:
            wait_for(lambda: "busy" in m.log(), timeout=20, what="the first busy frame")
        except BaseException:
            m.__exit__(None, None, None)
            raise
        return m

    def test_sigterm_and_sigint_end_it_at_once(self):
        for signal_number in (signal.SIGTERM, signal.SIGINT):
            with self.subTest(signal=signal_number), Desktop() as d:
                with self.start(d) as m:
                    m.proc.send_signal(signal_number)
                    self.assertEqual(m.wait_exit(EXIT_LIMIT), 0)

    def test_exit_from_tray_menu_ends_it_at_once(self):
        with Desktop() as d:
            with self.start(d) as m:
                m.open_menu_from_tray()
                m.choose(EXIT)
                self.assertEqual(m.wait_exit(EXIT_LIMIT), 0)

    def test_the_endless_call_is_interrupted_and_the_frames_go_on(self):
        with Desktop() as d:
            with self.start(d) as m:
                wait_for(lambda: m.log().count("busy") >= 2, timeout=20, what="the next frame's call")
                self.assertIn("script took longer than 5 s: interrupted", m.log())
                self.assertIsNone(m.proc.poll())


@unittest.skipUnless(tools_present(), "Xvfb, openbox, trayer, xdotool and x11-utils are needed")
class CharacterTest(unittest.TestCase):
    """A character standing in the middle of the screen (folder "walker")."""

    def start(self, d):
        m = Mascot(d, "walker")
        try:
            w = wait_for(lambda: d.windows(name="E2E Walker"), timeout=20, what="the main window")[0]
            wait_for(lambda: "walker ready" in m.log(), timeout=20, what="the start-up script")
            shape = wait_for(lambda: nonzero(d.shape_extents(w)), what="the character's shape")
        except BaseException:
            m.__exit__(None, None, None)
            raise
        return m, w, shape

    def test_shape_covers_the_character_and_not_the_corners(self):
        with Desktop() as d:
            m, w, (x, y, width, height) = self.start(d)
            with m:
                self.assertTrue(0 < width < d.width // 2 and 0 < height < d.height // 2)
                cx, cy = x + width // 2, y + height // 2
                self.assertTrue(abs(cx - d.width // 2) < d.width // 4, (x, y, width, height))
                for corner in ((0, 0), (d.width - 1, d.height - 1)):
                    self.assertFalse(x <= corner[0] < x + width and y <= corner[1] < y + height)

    def test_left_drag_moves_and_calls_back_click_does_not(self):
        with Desktop() as d:
            m, w, (x, y, width, height) = self.start(d)
            with m:
                cx, cy = x + width // 2, y + height // 2
                d.xdotool("mousemove", cx, cy, "click", "1")
                time.sleep(0.3)  # a few frames: a click without movement catches nothing
                self.assertNotIn("catch", m.log())
                d.xdotool("mousemove", cx, cy, "mousedown", "1")
                wait_frames(d, w)  # the press is sampled with the cursor still on the character
                for step in range(1, 11):
                    d.xdotool("mousemove", cx - 20 * step, cy)
                    time.sleep(0.03)
                wait_frames(d, w)
                d.xdotool("mouseup", "1")
                wait_for(lambda: "release" in m.log(), what="the release callback")
                self.assertIn("catch", m.log())
                wait_for(lambda: d.shape_extents(w)[0] < x - 100, what="the shape to follow the drag")

    def test_middle_drag_turns(self):
        with Desktop() as d:
            m, w, before = self.start(d)
            with m:
                cx, cy = before[0] + before[2] // 2, before[1] + before[3] // 2
                d.xdotool("mousemove", cx, cy, "mousedown", "2")
                wait_frames(d, w)
                for step in range(1, 11):
                    d.xdotool("mousemove", cx + 15 * step, cy)
                    time.sleep(0.03)
                d.xdotool("mouseup", "2")
                wait_for(lambda: d.shape_extents(w)[2] != before[2], timeout=5, what="the shape to turn")

    def test_pause_stops_the_motion_and_resume_restarts_it(self):
        def shapes(w, seconds=1.5):
            seen, end = set(), time.monotonic() + seconds
            while time.monotonic() < end:
                seen.add(d.shape_extents(w))
                time.sleep(0.05)
            return seen

        def menu_at(x, y, row):
            m.open_menu_at(x, y)
            m.choose(row)

        with Desktop() as d:
            m, w, (x, y, width, height) = self.start(d)
            with m:
                cx, cy = x + width // 2, y + height // 2
                self.assertGreater(len(shapes(w)), 1)  # the stand motion moves the silhouette
                menu_at(cx, cy, PAUSE)
                time.sleep(0.2)
                self.assertEqual(len(shapes(w)), 1)
                self.assertIsNone(m.proc.poll())
                menu_at(cx, cy, PAUSE)
                self.assertGreater(len(shapes(w)), 1)

    def test_clicking_the_character_leaves_the_keyboard_focus_where_it_was(self):
        with Desktop() as d:
            m, w, (x, y, width, height) = self.start(d)
            with m:
                other = d.spawn(["xmessage", "-geometry", "+0+0", "-name", "mz-other", "another window"])
                try:
                    window = wait_for(lambda: d.windows(classname="mz-other"), what="the other window")[0]
                    d.xdotool("windowactivate", "--sync", window)
                    wait_for(lambda: d.focused_window() == window, what="the other window's focus")
                    d.xdotool("mousemove", x + width // 2, y + height // 2, "click", "2")
                    wait_frames(d, w)
                    self.assertEqual(d.focused_window(), window)
                finally:
                    stop(other)

    def test_right_click_on_character_opens_menu_and_exit_ends(self):
        with Desktop() as d:
            m, w, (x, y, width, height) = self.start(d)
            with m:
                m.open_menu_at(x + width // 2, y + height // 2)
                m.choose(EXIT)
                self.assertEqual(m.wait_exit(EXIT_LIMIT), 0)


@unittest.skipUnless(tools_present(), "Xvfb, openbox, trayer, xdotool and x11-utils are needed")
class LostMouseTest(unittest.TestCase):
    """The release of a drag reaches the character even when the window did not get it."""

    def test_an_error_box_during_a_drag_releases_the_character(self):
        with Desktop() as d:
            m = Mascot(d, "catcher")
            with m:
                w = wait_for(lambda: d.windows(name="E2E Catcher"), timeout=20, what="the main window")[0]
                wait_for(lambda: "catcher ready" in m.log(), timeout=20, what="the start-up script")
                x, y, width, height = wait_for(lambda: nonzero(d.shape_extents(w)), what="the character's shape")
                cx, cy = x + width // 2, y + height // 2
                d.xdotool("mousemove", cx, cy, "mousedown", "1")
                wait_frames(d, w)
                d.xdotool("mousemove", cx - 40, cy)  # the catch: its callback opens an error box
                box = wait_for(lambda: d.windows(name="Error"), what="the error box")[0]
                d.xdotool("mouseup", "1")
                d.xdotool("windowactivate", "--sync", box, "key", "Return")
                wait_for(lambda: "release" in m.log(), what="the release callback")
                # Released: she no longer follows the mouse.
                shape = d.shape_extents(w)
                d.xdotool("mousemove", cx - 200, cy - 200)
                time.sleep(0.3)
                self.assertLess(abs(d.shape_extents(w)[0] - shape[0]), 60)


def wait_frames(d, w, count=2):
    """Waits until the shape has changed `count` times: that many frames have run (the
    character's motion changes its silhouette every frame)."""
    for _ in range(count):
        before = d.shape_extents(w)
        wait_for(lambda: d.shape_extents(w) != before, interval=0.01, what="a frame")


def nonzero(extents):
    return extents if extents and extents[2] > 0 and extents[3] > 0 else None


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
