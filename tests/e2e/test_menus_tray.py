"""The pet's menus with a tray host (trayer): the icon docks once the tray starts, an open menu
stops the walk, "打招呼" shows the bubble above the pet for about 3 s, "睡觉" plays, "聊天" opens
the chat window and the pet stands still until it closes, and the tray's "退出" ends Pimlo."""

import re
import subprocess
import time
import unittest

from desktop import READY, Pimlo, Screenshot, geometry

PHASE = re.compile(r"Pimlo movement: (\w+) ")


def xdotool(*args):
    subprocess.run(["xdotool", *map(str, args)], check=True)


def wait_for(predicate, timeout):
    deadline = time.monotonic() + timeout
    while not (value := predicate()) and time.monotonic() < deadline:
        time.sleep(0.05)
    return value


class MenusAndTray(unittest.TestCase):
    def setUp(self):
        self.desktop = Screenshot()
        self.pimlo = Pimlo()
        self.pet = self.pimlo.window()
        self.pimlo.wait_for_line(lambda line: line == READY)

    def tearDown(self):
        self.pimlo.stop()
        if hasattr(self, "tray"):
            self.tray.terminate()

    def windows(self, name=""):
        out = subprocess.run(["xdotool", "search", "--all", "--onlyvisible", "--pid",
                              str(self.pimlo.process.pid), "--name", name],
                             capture_output=True, text=True).stdout
        return {int(w) for w in out.split()}

    def phases(self):
        return [m.group(1) for m in map(PHASE.match, self.pimlo.lines()) if m]

    def open_menu(self, button=3, at=None):
        before = self.windows()
        g = geometry(self.pet)
        x, y = at or (g["x"] + 100, g["y"] + 60)
        xdotool("mousemove", x, y, "click", button)
        # Exactly one menu opens; a tooltip that shows meanwhile is far smaller.
        (menu,) = wait_for(lambda: {w for w in self.windows() - before if self.taller(w, 60)}, 3)
        return menu, x, y

    @staticmethod
    def taller(window, height):
        try:
            return geometry(window)["height"] > height
        except subprocess.CalledProcessError:  # gone again, like a tooltip
            return False

    def choose(self, item, **where):
        self.open_menu(**where)
        xdotool("key", *["Down"] * item, "Return")

    def test_menus_greeting_chat_and_tray(self):
        self.assertTrue([l for l in self.pimlo.lines() if l.startswith("Pimlo: no system tray")])
        self.tray = subprocess.Popen(["trayer", "--edge", "top", "--align", "right",
                                      "--widthtype", "request", "--height", "24"])
        tray_icons = lambda: {w for w in self.windows() if geometry(w)["width"] <= 48}
        self.assertEqual(len(wait_for(tray_icons, 8)), 1, "the icon should dock")

        # A menu opened during a walk appears at the pointer and stops the pet.
        self.pimlo.wait_for_line(lambda _: "outward" in self.phases(), 40)
        menu, x, y = self.open_menu()
        g = geometry(menu)
        self.assertLessEqual(max(abs(g["x"] - x), abs(g["y"] - y)), 2, (g, x, y))
        held = geometry(self.pet)
        time.sleep(1.5)
        self.assertEqual(geometry(self.pet), held)

        # "打招呼": the card (inside a 10 px shadow margin) is centred over the pet, 6 px into
        # it, for about 3 s.
        xdotool("key", "Down", "Return")
        bubble = wait_for(lambda: self.windows("^你好呀$"), 3)
        shown, pet, card = time.monotonic(), geometry(self.pet), geometry(bubble.pop())
        self.assertEqual((card["x"] + 10, card["y"] + 10, card["width"], card["height"]),
                         (pet["x"] + 45, pet["y"] - 40, 130, 66))
        self.assertTrue(wait_for(lambda: not self.windows("^你好呀$"), 5))
        self.assertTrue(2.5 < time.monotonic() - shown < 3.8, time.monotonic() - shown)

        self.choose(3)  # "睡觉": the sleeping pose's "z z" shows at the upper right
        time.sleep(2.5)
        zz = (pet["x"] + 150, pet["y"] + 8, 40, 30)
        self.assertNotEqual(Screenshot().region(*zz), self.desktop.region(*zz))
        time.sleep(3.5)

        # "聊天": the pet stays put past its rest while the chat window is open, and walks
        # again 20 s after it closes.
        self.choose(4)
        chat = wait_for(lambda: self.windows("^与 Pimlo 聊天$"), 5)
        before = (len(self.phases()), geometry(self.pet))
        time.sleep(22)
        self.assertEqual((len(self.phases()), geometry(self.pet)), before)
        xdotool("windowactivate", "--sync", chat.pop(), "key", "--clearmodifiers", "alt+F4")
        closed = time.monotonic()
        self.pimlo.wait_for_line(lambda _: len(self.phases()) > before[0], 30)
        self.assertTrue(18 < time.monotonic() - closed < 23, time.monotonic() - closed)

        # The tray menu opens on a left click too; its "退出" ends the process normally.
        g = geometry(tray_icons().pop())
        self.choose(5, button=1, at=(g["x"] + g["width"] // 2, g["y"] + g["height"] // 2))
        self.assertEqual(self.pimlo.process.wait(10), 0)


if __name__ == "__main__":
    unittest.main()
