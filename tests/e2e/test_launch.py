"""Launching: the command line without a display, one pet per session bus, the startup check in each
situation it reports, and ending on a signal."""

import os
import re
import signal
import subprocess
import tempfile
import time
import unittest

from desktop import (PIMLO, READY, WINDOW, Pimlo, Screenshot, bus, geometry, run, start, wait_for,
                     windows)

# The launch line and the --check line of each finding.
FINDINGS = {"xwayland": ("Pimlo: running on Wayland through XWayland", "XWayland"),
            "compositor": ("Pimlo: no compositing manager", "没有合成管理器"),
            "tray": ("Pimlo: no system tray", "没有系统托盘"),
            "bus": ("Pimlo: no session bus", "没有会话总线"),
            "secrets": ("Pimlo: no Secret Service", "没有 Secret Service")}
CHAT, ENTRY = "^与 Pimlo 聊天$", "local.pimlo.Pimlo.desktop"
NO_SECRETS_BUS = """<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen>
<policy context="default"><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/>
<allow own="*"/></policy></busconfig>"""
WAYLAND = os.environ["XDG_SESSION_TYPE"] == "wayland"  # a compositor's XWayland


def environ(**changes):  # a variable set to None is removed
    return {k: v for k, v in {**os.environ, **changes}.items() if v is not None}


def pimlo(*args, **env):
    return subprocess.run([PIMLO, *args], capture_output=True, text=True, env=environ(**env),
                          timeout=30)


def activate(action, check=True):  # as a launcher does for the desktop entry's actions
    return bus("local.pimlo.Pimlo", "/local/pimlo/Pimlo",
               "org.freedesktop.Application.ActivateAction", action, "[]", "{}", check=check)


class Launch(unittest.TestCase):
    """On the test desktop with a tray host, where --check finds all well."""
    @classmethod
    def setUpClass(cls):
        start(cls.addClassCleanup, "trayer", "--edge", "top", "--align", "right")
        well = FINDINGS["xwayland"][1] if WAYLAND else "一切正常"
        wait_for(lambda: (r := pimlo("--check")).stdout.count("\n") == 1 and well in r.stdout,
                 "all well but XWayland" if WAYLAND else "all well")

    def launch(self, env=None):
        pet = Pimlo(env=env)
        self.addCleanup(pet.stop, signal.SIGKILL)
        return pet

    def test_console_commands_need_no_display(self):
        with tempfile.TemporaryDirectory() as config:
            console = lambda *args: pimlo(*args, DISPLAY=None, XDG_CONFIG_HOME=config)
            self.assertRegex(console("--version").stdout, r"^pimlo \d+\.\d+\.\d+\n$")
            self.assertEqual(console("--autostart", "on").returncode, 0)
            with open(config + "/autostart/" + ENTRY) as entry:
                self.assertLessEqual({"Type=Application", "Name=Pimlo", "Exec=" + os.path.realpath(
                    PIMLO), "X-GNOME-Autostart-enabled=true"}, set(entry.read().splitlines()))
            self.assertEqual(console("--autostart=off").returncode, 0)
            self.assertEqual(os.listdir(config + "/autostart"), [])
            self.assertEqual(console("--autostart", "off").returncode, 0, "absent is fine")
            bogus = console("--show-chat", "--bogus")
            self.assertEqual((bogus.returncode, bogus.stdout, bogus.stderr.count("\n")), (2, "", 1))
            self.assertEqual(console().returncode, 1)  # without a display: says so, no abort
            self.assertEqual(console("--quit").returncode, 0)  # none runs: nothing to do
            self.assertIn("X 显示", console("--check").stdout)

    def test_one_pet_per_session_above_the_focused_window(self):
        first = self.launch()
        first.wait_for_line(lambda line: line == READY)
        home = geometry(first.window())
        self.assertNotIn("_DEMANDS_ATTENTION", run("xprop", "-id", first.window(), "_NET_WM_STATE"))
        # A maximized window with the focus, an X11 one and under a compositor a native Wayland
        # one too: the pet's body shows over it, its transparent corners show it.
        for platform in ["xcb", "wayland"][:1 + WAYLAND]:
            env = environ(QT_QPA_PLATFORM=platform, WAYLAND_DISPLAY=os.environ.get(
                "E2E_WAYLAND_DISPLAY"))
            cover = start(self.addCleanup, WINDOW, env=env, stdout=subprocess.PIPE, text=True)
            self.assertEqual((platform, cover.stdout.readline()), (platform, "active\n"))
            time.sleep(1)  # until it is drawn
            if platform == "xcb":  # bottom to top
                (window,) = windows(cover.pid, "^pimlo-test-window$")
                stacking = [int(w, 16) for w in re.findall(r"0x[0-9a-f]+", run(
                    "xprop", "-root", "_NET_CLIENT_LIST_STACKING"))]
                self.assertGreater(stacking.index(first.window()), stacking.index(window))
            if Screenshot.readable:
                shot, blue = Screenshot(), bytearray(b"\0\0\xff")
                self.assertEqual(shot.region(home["x"], home["y"], 1, 1), [blue], platform)
                self.assertNotEqual(shot.region(home["x"] + 100, home["y"] + 120, 1, 1), [blue])
            cover.terminate()
            cover.wait()

        second = pimlo()
        self.assertEqual((second.returncode, second.stdout.count("\n"), second.stderr), (0, 1, ""))
        self.assertEqual(activate("show", check=False), "")  # no such action
        time.sleep(1)  # neither a plain second launch nor an unknown action opens the chat
        self.assertFalse(windows(first.process.pid, CHAT))
        activate("show-chat")
        wait_for(lambda: windows(first.process.pid, CHAT), "chat")
        self.assertEqual([l.startswith("Pimlo: run") for l in first.lines()
                          if l.startswith(("Pimlo: no", "Pimlo: run"))], [True] * WAYLAND)

        # A crash leaves nothing in the way; of two launches at once, one becomes the pet.
        first.stop(signal.SIGKILL)
        pair = [self.launch(), self.launch()]
        wait_for(lambda: any(p.process.poll() is not None for p in pair), "a hand-over")
        (pet,) = [p for p in pair if p.process.poll() is None]
        pet.wait_for_line(lambda line: line == READY)
        self.assertEqual([p.process.poll() for p in pair if p is not pet], [0])
        self.assertEqual(pimlo("--show-chat").returncode, 0)
        wait_for(lambda: windows(pet.process.pid, CHAT), "chat")
        self.assertEqual((pimlo("--quit").returncode, pet.process.wait(10)), (0, 0))

    def test_situations(self):  # in each, --check and the launch lines say it; then an end
        config = self.enterContext(tempfile.NamedTemporaryFile("w"))
        print(NO_SECRETS_BUS, file=config, flush=True)
        read = lambda *command: start(self.addCleanup, *command, stdout=subprocess.PIPE,
                                      text=True).stdout.readline().strip()
        bare = {"DISPLAY": ":" + read("Xvfb", "-displayfd", "1", "-nolisten", "tcp"),
                "XDG_SESSION_TYPE": "x11",
                "DBUS_SESSION_BUS_ADDRESS": read("dbus-daemon", "--nofork", "--print-address=1",
                                                 "--config-file", config.name)}
        for expected, ending, env in [
                (["bus", "secrets"], signal.SIGTERM, {"DBUS_SESSION_BUS_ADDRESS": "unix:path=/no"}),
                (["xwayland"], signal.SIGINT, {"WAYLAND_DISPLAY": "wayland-1"}),
                (["compositor", "tray", "secrets"], signal.SIGTERM, bare)]:
            if WAYLAND and env.get("XDG_SESSION_TYPE") != "x11":
                expected = list(dict.fromkeys(["xwayland", *expected]))
            check = pimlo("--check", **env)
            self.assertEqual((check.returncode, check.stdout.count("\n")), (1, len(expected)))
            pet = self.launch(environ(**env))  # starts in each
            pet.wait_for_line(lambda line: line.startswith(FINDINGS[expected[-1]][0]))
            for name, (launch, report) in FINDINGS.items():
                logged = any(line.startswith(launch) for line in pet.lines())
                self.assertEqual((name, logged, report in check.stdout),
                                 (name, name in expected, name in expected))
            self.assertEqual(pet.stop(ending), 0)


if __name__ == "__main__":
    unittest.main()
