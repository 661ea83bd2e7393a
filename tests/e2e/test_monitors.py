"""Two monitors (the desktop's, or two made on Xvfb): the pet's home and walk on the second, its
greeting kept on the pet's monitor while a drag crosses, a monitor removed, a new primary one."""

import os
import time
import unittest

from desktop import Pimlo, geometry, monitors, run, wait_for, xdotool

# Made on Xvfb's 1440 × 900 screen, of different heights so that their tops and bottoms differ.
MADE = [("LEFT", "800/200x900/225+0+0", "screen"), ("RIGHT", "640/160x720/180+800+100", "none")]


def inside(g, m):
    return m[0] <= g["x"] <= m[0] + m[2] - 200 and m[1] <= g["y"] <= m[1] + m[3] - 200


class Monitors(unittest.TestCase):
    def test_two_monitors(self):
        made = len(monitors()) == 1 and "XVFB_PID" in os.environ  # only Xvfb makes and removes
        for monitor in MADE if made else []:
            run("xrandr", "--setmonitor", *monitor)
        first, second = wait_for(lambda: len(m := monitors()) == 2 and m, "two monitors")
        pimlo = Pimlo()
        self.addCleanup(pimlo.stop)
        pet = pimlo.window()
        at = lambda: (geometry(pet)["x"], geometry(pet)["y"])
        self.assertEqual(at(), (first[0] + first[2] - 240, first[1] + first[3] - 240))

        # Dropped on the second monitor it makes its home there and walks within it.
        (x, y), home = at(), (second[0] + 100, second[1] + second[3] - 300)
        xdotool("mousemove", x + 100, y + 60, "mousedown", 1, "mousemove", x + 120, y + 60, "sleep",
                0.2, "mousemove", home[0] + 100, home[1] + 60, "sleep", 0.2, "mouseup", 1)
        pimlo.wait_for_line(lambda line: "outward" in line and f"home={home[0]}.0" in line, 30)
        while not any(line.startswith("Pimlo movement: idle") for line in pimlo.lines()):
            self.assertTrue(inside(geometry(pet), second), geometry(pet))
        self.assertEqual(at(), home)

        # While a drag crosses, the greeting stays on the pet's monitor, pushed down at its top
        # (where the card rises into the window's shadow margin).
        self.assertEqual(pimlo.greet(), (home[0] + 35, home[1] - 50))
        xdotool("mousemove", home[0] + 100, home[1] + 60, "mousedown", 1)
        for m in [second, first, second]:
            xdotool("mousemove", m[0] + m[2] // 2, m[1] + 5)  # 100 px right of the pet's left
            at_top = (m[0] + m[2] // 2 - 65, m[1])
            wait_for(lambda: pimlo.bubble() == at_top, lambda: f"{at_top}: {pimlo.bubble()}", 1)
            time.sleep(0.2)  # and ticks leave it there
            self.assertEqual(pimlo.bubble(), at_top)
        xdotool("mouseup", 1)
        if made:  # the pet on the removed monitor is on the other at once
            run("xrandr", "--delmonitor", MADE[1][0])
            wait_for(lambda: inside(geometry(pet), first), lambda: geometry(pet), 2)
            before = at()  # and a new primary monitor leaves it in place, greeting where it stands
            run("xrandr", "--setmonitor", "*" + MADE[1][0], *MADE[1][1:])
            wait_for(lambda: monitors()[0] != first, "a new primary monitor")
            time.sleep(0.5)
            self.assertEqual((at(), pimlo.greet()), (before, (before[0] + 35, before[1] - 50)))
