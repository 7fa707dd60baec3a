"""End-to-end test of the sample character Momo: the folder new users start the program on.

Run by CTest, one case per test: python3 test_sample.py SampleTest.test_walks_without_errors
MZ_MASCOT names the program, MZ_SAMPLE_DIR the sample folder."""

import os
import sys
import time
import unittest

from desktop import Desktop, tools_present, wait_for
from test_host import Mascot, nonzero, wait_frames

SAMPLE = os.environ.get("MZ_SAMPLE_DIR",
                        os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "samples", "default"))

# How long a case runs the sample: long enough for her first walk (she stands for two seconds,
# turns, then walks at least 1.5 of her heights).
RUN_SECONDS = 10.0

# The texts that mean something went wrong: a script error in the log, an error box's text on stderr.
ERROR_TEXTS = ("AN ERROR HAS OCCURED", "ERROR")


def centre_x(shape):
    return shape[0] + shape[2] / 2


def bottom(shape):
    return shape[1] + shape[3]


@unittest.skipUnless(tools_present(), "Xvfb, openbox, trayer, xdotool and x11-utils are needed")
class SampleTest(unittest.TestCase):
    def start(self, d):
        m = Mascot(d, SAMPLE)
        try:
            w = wait_for(lambda: d.windows(name="Momo"), timeout=30, what="the main window")[0]
            wait_for(lambda: "Momo: やってきました" in m.log(), timeout=30, what="Momo's arrival")
            shape = wait_for(lambda: nonzero(d.shape_extents(w)), timeout=20, what="Momo's shape")
        except BaseException:
            m.__exit__(None, None, None)
            raise
        return m, w, shape

    def assert_healthy(self, d, m):
        log = m.log()
        for text in ERROR_TEXTS:
            self.assertNotIn(text, log, log)
        self.assertEqual(d.windows(name="Error"), [], log)
        self.assertIsNone(m.proc.poll(), log)

    def test_walks_without_errors(self):
        with Desktop() as d:
            started = time.monotonic()
            m, w, first = self.start(d)
            with m:
                # She stands on the bottom edge of the screen, about a fifth of its height tall.
                self.assertLess(abs(bottom(first) - d.height), d.height // 20, first)
                self.assertTrue(d.height // 10 < first[3] < d.height // 3, first)
                # Her walk carries her sideways along the bottom.
                wait_for(lambda: abs(centre_x(d.shape_extents(w)) - centre_x(first)) > d.height // 10,
                         timeout=20, interval=0.1, what="Momo to walk away from where she started")
                self.assertLess(abs(bottom(d.shape_extents(w)) - d.height), d.height // 20)
                time.sleep(max(0.0, RUN_SECONDS - (time.monotonic() - started)))
                self.assertIn("画面の高さ 5.0", m.log())
                self.assert_healthy(d, m)

    def assert_walks_again(self, d, m, w):
        """After a handling: she is back on the bottom edge and walks off from where she was."""
        wait_for(lambda: nonzero(d.shape_extents(w)) and abs(bottom(d.shape_extents(w)) - d.height) < d.height // 20,
                 timeout=10, interval=0.02, what="Momo on the bottom edge")
        settled = d.shape_extents(w)
        wait_for(lambda: abs(centre_x(d.shape_extents(w)) - centre_x(settled)) > d.height // 10,
                 timeout=20, interval=0.1, what="Momo to walk again")
        self.assert_healthy(d, m)

    def press_on_her(self, d, w, button):
        """Presses `button` on her body (she may be walking: her shape is read just before)."""
        x, y, width, height = d.shape_extents(w)
        cx, cy = x + width // 2, y + height // 2
        d.xdotool("mousemove", cx, cy, "mousedown", button)
        wait_frames(d, w)  # the press is sampled with the cursor still on her
        return cx, cy

    def drag(self, d, cx, cy, dx, dy, step_seconds=0.03):
        for step in range(1, 11):
            d.xdotool("mousemove", cx + dx * step // 10, cy + dy * step // 10)
            time.sleep(step_seconds)

    def test_dropped_from_a_height_she_dangles_falls_lands_and_walks_again(self):
        with Desktop() as d:
            m, w, _ = self.start(d)
            with m:
                lift = d.height // 2
                cx, cy = self.press_on_her(d, w, "1")
                self.drag(d, cx, cy, 0, -lift)
                wait_for(lambda: nonzero_below(d.shape_extents(w), bottom_limit=d.height - lift // 2),
                         timeout=10, what="Momo to follow the mouse up")
                # Held still, she dangles: her legs swing, so her silhouette keeps changing.
                wait_frames(d, w, count=3)
                self.assertIsNone(m.proc.poll())
                d.xdotool("mouseup", "1")
                wait_for(lambda: "から落ちます" in m.log(), timeout=10, what="the fall's log line")
                # She falls back to the bottom edge and stays there.
                wait_for(lambda: abs(bottom(d.shape_extents(w)) - d.height) < d.height // 20,
                         timeout=10, interval=0.02, what="Momo to land on the bottom edge")
                time.sleep(1.0)  # landing: a few frames on the ground, she must not sink or bounce
                self.assertLess(abs(bottom(d.shape_extents(w)) - d.height), d.height // 20)
                self.assert_walks_again(d, m, w)

    def test_dragged_along_the_ground_she_walks_again(self):
        with Desktop() as d:
            m, w, _ = self.start(d)
            with m:
                cx, cy = self.press_on_her(d, w, "1")
                self.drag(d, cx, cy, d.width // 8, 0)
                wait_frames(d, w)
                d.xdotool("mouseup", "1")
                self.assert_walks_again(d, m, w)
                self.assertNotIn("から落ちます", m.log())  # set down, not dropped

    def test_turned_with_the_middle_button_she_walks_again(self):
        with Desktop() as d:
            m, w, _ = self.start(d)
            with m:
                cx, cy = self.press_on_her(d, w, "2")
                self.drag(d, cx, cy, d.width // 20, 0, step_seconds=0.06)
                wait_frames(d, w)
                d.xdotool("mouseup", "2")
                self.assert_walks_again(d, m, w)

    def test_clicked_she_waves_and_walks_again(self):
        with Desktop() as d:
            m, w, _ = self.start(d)
            with m:
                # A middle click, and a left poke (the left button catches only once the mouse moves
                # while it is down). Both are short: a catch held for 0.4 s is no click.
                for button, poke in (("2", 0), ("1", 4)):
                    with self.subTest(button=button):
                        waves = m.log().count("手を振ります")
                        x, y, width, height = d.shape_extents(w)
                        cx, cy = x + width // 2, y + height // 2
                        d.xdotool("mousemove", cx, cy, "mousedown", button, "sleep", "0.05",
                                  "mousemove", cx + poke, cy, "sleep", "0.05", "mouseup", button)
                        wait_for(lambda: m.log().count("手を振ります") > waves, timeout=10, what="Momo to wave")
                        self.assert_walks_again(d, m, w)


def nonzero_below(shape, bottom_limit):
    """The shape when it is not empty and its bottom is above `bottom_limit`, else None."""
    return shape if nonzero(shape) and bottom(shape) < bottom_limit else None


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[1:])
