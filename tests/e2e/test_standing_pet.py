"""The standing pet on a real X desktop: window placement and hints, transparency, animation,
staying alive without a regular window, and ending on SIGTERM."""

import os
import signal
import time
import unittest

from desktop import BUILD, READY, Pimlo, Screenshot, geometry, prop, screen_size

MISSING_POSE = os.path.join(BUILD, "tests/e2e/pimlo-missing-pose")


class StandingPet(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        width, height = screen_size()
        cls.expected = {"x": width - 240, "y": height - 40 - 200}
        cls.desktop = Screenshot()  # before the pet appears
        cls.pimlo = Pimlo()
        cls.window = cls.pimlo.window()
        cls.pimlo.wait_for_line(lambda line: line == READY)

    @classmethod
    def tearDownClass(cls):
        cls.pimlo.stop(signal.SIGKILL)

    def test_window_is_placed_and_hinted(self):
        g = geometry(self.window)
        self.assertEqual((g["x"], g["y"]), (self.expected["x"], self.expected["y"]))
        self.assertEqual((g["width"], g["height"]), (200, 200))
        self.assertEqual(g["depth"], 32, "the window needs an ARGB visual to be transparent")
        state = prop(self.window, "_NET_WM_STATE")
        self.assertIn("_NET_WM_STATE_ABOVE", state)
        self.assertIn("_NET_WM_STATE_SKIP_TASKBAR", state)
        self.assertIn("4294967295", prop(self.window, "_NET_WM_DESKTOP"))
        self.assertIn("False", prop(self.window, "WM_HINTS"), "the pet must never take focus")

    def test_ready_line_is_logged_once(self):
        self.assertEqual(self.pimlo.lines().count(READY), 1)

    def test_animates_and_shows_the_desktop_through_the_window(self):
        x, y = self.expected["x"], self.expected["y"]
        first = Screenshot()
        time.sleep(1.0)
        second = Screenshot()
        body = (x + 40, y + 30, 120, 150)
        self.assertNotEqual(first.region(*body), second.region(*body), "the pet should breathe")
        for cx, cy in [(x, y), (x + 199, y), (x, y + 199), (x + 199, y + 199)]:
            self.assertEqual(second.region(cx - 2 if cx > x else cx, cy - 2 if cy > y else cy, 3, 3),
                             self.desktop.region(cx - 2 if cx > x else cx,
                                                 cy - 2 if cy > y else cy, 3, 3))

    def test_keeps_running_without_a_regular_window(self):
        time.sleep(1.5)
        self.assertIsNone(self.pimlo.process.poll())


class Termination(unittest.TestCase):
    def test_sigterm_ends_cleanly(self):
        pimlo = Pimlo()
        pimlo.window()
        pimlo.wait_for_line(lambda line: line == READY)
        self.assertEqual(pimlo.stop(signal.SIGTERM), 0)

    def test_sigint_ends_cleanly(self):
        pimlo = Pimlo()
        pimlo.wait_for_line(lambda line: line == READY)
        self.assertEqual(pimlo.stop(signal.SIGINT), 0)

    def test_missing_idle_image_ends_with_the_log_line(self):
        pimlo = Pimlo(MISSING_POSE, ["pimlo-idle"])
        status = pimlo.process.wait(15)
        self.assertNotEqual(status, 0)
        self.assertEqual(pimlo.lines(), ["Pimlo: missing image or screen"])


if __name__ == "__main__":
    unittest.main()
