"""Pimlo under a StatusNotifierItem host (xfce4-panel shows the menu itself and never says it
closed): the badge shows, the menu runs the commands, and the pet's pause ends with a command,
however a host reports the menu, or after its limit for a menu dismissed."""

import os
import re
import tempfile
import time
import unittest

from desktop import Pimlo, Screenshot, run, start, wait_for, windows, xdotool


def bus(service, path, method, *args):
    return run("gdbus", "call", "--session", "-d", service, "-o", path, "-m", method, "--", *args)


class StatusNotifierTray(unittest.TestCase):
    def panel(self, *keys):  # the host's menu, opened on the badge, driven by keys
        before, (x, y) = Screenshot(), self.badge
        xdotool("mousemove", x, y, "click", 3)
        wait_for(lambda: Screenshot().changed(before, x - 150, y + 20, 200, 120) > 500, "a menu")
        xdotool("key", *keys)

    def test_tray(self):
        home = self.enterContext(tempfile.TemporaryDirectory())
        start(self.addCleanup, "xfce4-panel",
              env={**os.environ, "XDG_CONFIG_HOME": home, "XDG_CACHE_HOME": home})
        watcher = "org.kde.StatusNotifierWatcher"  # before Pimlo starts, or Qt docks by XEmbed
        wait_for(lambda: "true" in bus("org.freedesktop.DBus", "/",
                                       "org.freedesktop.DBus.NameHasOwner", watcher), watcher)
        pimlo = Pimlo()
        self.addCleanup(pimlo.stop)
        item = wait_for(lambda: re.search(r"'(:[\d.]+)/", bus(
            watcher, "/StatusNotifierWatcher", "org.freedesktop.DBus.Properties.Get", watcher,
            "RegisteredStatusNotifierItems")), "the item")[1]
        menu = lambda call, *args: bus(item, "/MenuBar", "com.canonical.dbusmenu." + call, *args)
        items = re.findall(r"\((\d+), \{[^}]*'label': <'(\w+)'>", menu("GetLayout", 0, -1, "[]"))
        self.assertEqual([label for _, label in items], ["打招呼", "开心", "睡觉", "聊天", "退出"])
        shot = Screenshot()  # the green badge in the panel along the top
        badge = [i for i, p in enumerate(shot.region(0, 0, shot.width, 40)) if p == b"\x34\x7a\x46"]
        self.assertGreater(len(badge), 60)
        self.badge = divmod(badge[len(badge) // 2], shot.width)[::-1]

        # "打招呼" shows the greeting for its 3 s however the host reports the menu, or 10 s
        # more when the menu is dismissed without a word.
        click = lambda: menu("Event", items[0][0], "clicked", "<0>", 0)
        bubble = lambda: windows(pimlo.process.pid, "^你好呀$")
        for show, dismissed, lasts in [
                (lambda: self.panel("Down", "Return"), False, 3), (click, False, 3),
                (lambda: (menu("AboutToShow", 0), menu("Event", 0, "opened", "<0>", 0), click()),
                 False, 3), (click, True, 13)]:
            show()
            shown = wait_for(lambda: bubble() and time.monotonic(), "the bubble", 3)
            if dismissed:
                self.panel("Escape")
            wait_for(lambda: not bubble(), "the bubble to go", 20)
            self.assertAlmostEqual(time.monotonic() - shown, lasts, delta=1)

        # "聊天" and "退出" from there too ("开心" and "睡觉" reach the pet as "打招呼" did).
        self.panel(*["Down"] * 4, "Return")
        (chat,) = wait_for(lambda: windows(pimlo.process.pid, "^与 Pimlo 聊天$"), "the chat")
        xdotool("windowactivate", "--sync", chat, "key", "--clearmodifiers", "alt+F4")
        self.panel(*["Down"] * 5, "Return")
        self.assertEqual(pimlo.process.wait(10), 0)
