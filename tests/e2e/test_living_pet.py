"""The living pet on a real X desktop: the launch nap, the walk out and home, a click that pets
it, and a drag that carries it to a new home it then walks around."""

import re
import subprocess
import time
import unittest

from desktop import READY, Pimlo, Screenshot, geometry, screen_size

MOVEMENT = re.compile(r"Pimlo movement: (\w+) x=(-?\d+\.\d) home=(-?\d+\.\d) direction=(-?\d+)$")


def xdotool(*args):
    subprocess.run(["xdotool", *map(str, args)], check=True)


def differs(a, b):
    return sum(1 for p, q in zip(a, b) if p != q)


def settled_geometry(window, expected, timeout=3.0):
    """The window's (x, y) once it equals expected, or what it is when the time is up."""
    deadline = time.monotonic() + timeout
    while True:
        g = geometry(window)
        if (g["x"], g["y"]) == expected or time.monotonic() > deadline:
            return g["x"], g["y"]
        time.sleep(0.05)


class LivingPet(unittest.TestCase):
    def setUp(self):
        self.width, self.height = screen_size()
        self.desktop = Screenshot()
        self.pimlo = Pimlo()
        self.window = self.pimlo.window()
        self.pimlo.wait_for_line(lambda line: line == READY)
        self.ready = time.monotonic()

    def tearDown(self):
        self.pimlo.stop()

    def movements(self):
        return [MOVEMENT.match(line).groups() for line in self.pimlo.lines()
                if MOVEMENT.match(line)]

    def wait_for_movement(self, phase, count=1, timeout=45):
        self.pimlo.wait_for_line(lambda _: sum(m[0] == phase for m in self.movements()) >= count,
                                 timeout)
        return [m for m in self.movements() if m[0] == phase][count - 1]

    def zz_region(self, shot, g):
        # The sleeping pose's "z z" lies at the upper right, where the standing pose is empty.
        return shot.region(g["x"] + 150, g["y"] + 8, 40, 30)

    def test_naps_walks_is_petted_and_dragged(self):
        home_x, home_y = self.width - 240, self.height - 240
        g = geometry(self.window)
        self.assertEqual((g["x"], g["y"]), (home_x, home_y))

        # The launch nap: asleep about 3 s in, awake again after 6.4 s.
        time.sleep(max(0.0, self.ready + 3.0 - time.monotonic()))
        self.assertGreater(differs(self.zz_region(Screenshot(), g), self.zz_region(self.desktop, g)),
                           20, "the pet should be asleep")
        time.sleep(max(0.0, self.ready + 7.5 - time.monotonic()))
        self.assertEqual(self.zz_region(Screenshot(), g), self.zz_region(self.desktop, g))

        # The first trip starts 20 s after the nap ends: out to the left, back home.
        phase, x, home, direction = self.wait_for_movement("outward")
        started = time.monotonic() - self.ready
        self.assertTrue(24 < started < 30, started)
        self.assertEqual((home, direction), (f"{home_x:.1f}", "-1"))
        self.assertTrue(home_x - 3.8 <= float(x) < home_x, x)
        time.sleep(2)
        self.assertLess(geometry(self.window)["x"], home_x - 40)
        self.assertEqual(self.wait_for_movement("returning")[1:], (f"{home_x - 160:.1f}",
                                                                  f"{home_x:.1f}", "1"))
        self.assertEqual(self.wait_for_movement("idle")[1:3], (f"{home_x:.1f}", f"{home_x:.1f}"))
        g = geometry(self.window)
        self.assertEqual((g["x"], g["y"]), (home_x, home_y))

        # A click pets it: the picture changes, the window stays.
        standing = Screenshot().region(g["x"], g["y"], 200, 200)
        xdotool("mousemove", g["x"] + 100, g["y"] + 120, "click", 1)
        time.sleep(0.6)
        jumping = Screenshot().region(g["x"], g["y"], 200, 200)
        self.assertGreater(differs(standing, jumping), 500, "the happy jump should show")
        self.assertEqual((geometry(self.window)["x"], geometry(self.window)["y"]), (home_x, home_y))
        time.sleep(1.5)

        # A drag carries the window with the pointer, clamped to the screen.
        xdotool("mousemove", g["x"] + 100, g["y"] + 120, "mousedown", 1)
        for step in range(1, 11):
            xdotool("mousemove", g["x"] + 100 - 40 * step, g["y"] + 120 - 30 * step)
            time.sleep(0.03)
        dropped = (home_x - 400, home_y - 300)
        self.assertEqual(settled_geometry(self.window, dropped), dropped)
        xdotool("mousemove", self.width + 500, g["y"] + 120 - 300)
        clamped = (self.width - 200, home_y - 300)
        self.assertEqual(settled_geometry(self.window, clamped), clamped, "clamped to the edge")
        xdotool("mousemove", g["x"] + 100 - 400, g["y"] + 120 - 300)
        self.assertEqual(settled_geometry(self.window, dropped), dropped)
        xdotool("mouseup", 1)

        # It rests at the drop point, then walks around its new home.
        time.sleep(3)
        self.assertEqual(geometry(self.window)["x"], home_x - 400)
        count = sum(m[0] == "outward" for m in self.movements())
        phase, x, home, direction = self.wait_for_movement("outward", count + 1, timeout=30)
        self.assertEqual(home, f"{home_x - 400:.1f}")


if __name__ == "__main__":
    unittest.main()
