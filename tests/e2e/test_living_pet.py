"""The pet's first minute in one launch: placed and hinted, it naps, breathes, walks out and home,
stops for a menu, greets, is petted and dragged, opens the chat and quits from a late tray."""

import os
import re
import tempfile
import time
import unittest

from desktop import (READY, Pimlo, Screenshot, close, geometry, monitors, run, start, wait_for,
                     windows, xdotool)

MOVEMENT = re.compile(r"Pimlo movement: (\w+) x=(-?\d+\.\d) home=(-?\d+\.\d) direction=(-?\d+)$")


class LivingPet(unittest.TestCase):
    def movement(self, phase, timeout=10):
        match = lambda line: (m := MOVEMENT.match(line)) and m.group(1) == phase
        return MOVEMENT.match(self.pimlo.wait_for_line(match, timeout)).groups()[1:]

    def position(self):
        return tuple(geometry(self.pet).values())[:2]

    def windows(self, *args):
        return windows(self.pimlo.process.pid, *args)

    def test_first_minute(self):
        desktop = Screenshot() if Screenshot.readable else None
        locales = self.enterContext(tempfile.TemporaryDirectory())  # numbers get a decimal comma
        run("localedef", "-i", "de_DE", "-f", "UTF-8", f"{locales}/de_DE.UTF-8")
        self.pimlo = Pimlo(env={**os.environ, "LOCPATH": locales, "LC_ALL": "de_DE.UTF-8"})
        self.addCleanup(self.pimlo.stop)
        self.pet = self.pimlo.window()
        self.pimlo.wait_for_line(lambda line: line == READY)
        x0, y0, width, height = monitors()[0]  # no panel takes a part of it yet
        ready, home = time.monotonic(), (x0 + width - 240, y0 + height - 240)
        self.assertEqual(tuple(geometry(self.pet).values()), (*home, 200, 200, 32))  # 32: ARGB
        hints = run("xprop", "-id", self.pet, "_NET_WM_STATE", "_NET_WM_DESKTOP", "WM_HINTS")
        self.assertTrue(all(hint in hints for hint in ["_ABOVE", "_SKIP_TASKBAR", "= 4294967295",
                                                       "input or input focus: False"]), hints)
        # No tray at launch: said so, and the icon docks once one starts.
        self.pimlo.wait_for_line(lambda line: line.startswith("Pimlo: no system tray"))
        start(self.addCleanup, "trayer", "--edge", "top", "--align", "right", "--widthtype",
              "request", "--height", "24")

        # The nap's "z z" comes and goes (where standing is empty); awake, it breathes, transparent.
        zz, body = (home[0] + 150, home[1] + 8, 40, 30), (home[0] + 40, home[1] + 30, 120, 150)
        if Screenshot.readable:  # not on mutter
            wait_for(lambda: Screenshot().changed(desktop, *zz) > 20, "the pet to fall asleep", 5)
            wait_for(lambda: Screenshot().changed(desktop, *zz) == 0, "the pet to wake up", 8)
            first = Screenshot()
            wait_for(lambda: Screenshot().changed(first, *body), "a breath", 3)
            for cx, cy in [(0, 0), (197, 0), (0, 197), (197, 197)]:
                corner = (home[0] + cx, home[1] + cy, 3, 3)
                self.assertEqual(first.changed(desktop, *corner), 0, (cx, cy))
        (icon,) = wait_for(lambda: self.windows("", lambda g: 0 < g["width"] <= 48), "a dock")

        # The first trip leaves 20 s after the nap: out to the left, held by a menu, and home.
        x, walk_home, direction = self.movement("outward", 40)
        self.assertTrue(24 < time.monotonic() - ready < 30, time.monotonic() - ready)
        self.assertEqual((walk_home, direction), (f"{home[0]:.1f}", "-1"))
        self.assertTrue(home[0] - 3.8 <= float(x) < home[0], x)
        wait_for(lambda: self.position()[0] < home[0] - 40, "the window to move", 3)
        self.pimlo.choose(0)
        xdotool("key", "Escape")
        self.assertEqual(self.movement("returning"), (f"{home[0] - 160:.1f}", walk_home, "1"))
        self.assertEqual(self.movement("idle")[:2], (walk_home, walk_home))
        time.sleep(0.5)  # KWin applies a move a little later
        self.assertEqual(self.position(), home)
        xdotool("windowmove", self.pet, 100, 100)
        wait_for(lambda: self.position() == home, lambda: f"{home}, not {self.position()}", 2)

        # "打招呼": the card (in a 10 px shadow margin) centred over the pet, 6 px into it, ~3 s.
        self.pimlo.choose(1)
        (bubble,) = wait_for(lambda: self.windows("^你好呀$"), "the bubble", 3)
        shown, card = time.monotonic(), geometry(bubble)
        self.assertEqual((card["x"] + 10, card["y"] + 10, card["width"], card["height"]),
                         (home[0] + 45, home[1] - 40, 130, 66))
        xdotool("mousemove", card["x"] + 60, card["y"] + 60)  # over the pet, through the card
        self.assertNotIn(f"window:{bubble}", xdotool("getmouselocation"))
        wait_for(lambda: not self.windows("^你好呀$"), "the bubble to go", 5)
        self.assertTrue(2.5 < time.monotonic() - shown < 3.8, time.monotonic() - shown)

        xdotool("mousemove", home[0] + 100, home[1] + 120, "mousedown", 1, "click", 3, "sleep", 1,
                "mouseup", 1, "key", "Escape", "sleep", 2)  # held while a menu took the release
        # A click pets it in place; a drag carries it, clamped to the screen, and leaves it there.
        standing = Screenshot() if Screenshot.readable else None
        feet = (home[0], home[1] + 175, 200, 25)  # a breath leaves these
        xdotool("mousemove", home[0] + 100, home[1] + 120, "click", 1)
        wait_for(lambda: not standing or Screenshot().changed(standing, *feet) > 300, "a jump", 3)
        self.assertEqual(self.position(), home)
        time.sleep(1.5)  # until the jump ends
        dropped, edge = (home[0] - 400, home[1] - 300), x0 + width - 200
        xdotool("mousedown", 1, "mousemove", home[0] - 100, home[1] - 30)
        for pointer, at in [(edge + 700, (edge, dropped[1])), (home[0] - 300, dropped)]:
            xdotool("mousemove", pointer, home[1] - 180)
            wait_for(lambda: self.position() == at, lambda: f"{at}, not {self.position()}", 3)
        xdotool("mouseup", 1)
        time.sleep(0.5)
        self.assertEqual(self.position(), dropped)

        # "聊天" opens the chat window; closing it leaves the pet running, for the tray to end.
        self.pimlo.choose(4)
        (chat,) = wait_for(lambda: self.windows("^与 Pimlo 聊天$"), "the chat")
        close(chat)
        wait_for(lambda: not self.windows("^与 Pimlo 聊天$"), "the chat to close")

        # The tray menu opens on a left click too; its "退出" ends the process normally.
        g = geometry(icon)
        self.pimlo.choose(5, button=1, at=(g["x"] + g["width"] // 2, g["y"] + g["height"] // 2))
        self.assertEqual(self.pimlo.process.wait(10), 0)


if __name__ == "__main__":
    unittest.main()
