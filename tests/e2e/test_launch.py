"""Launching: the command line without a display, one pet per session bus, the startup check in each
situation it reports, and ending on a signal."""

import os
import signal
import subprocess
import tempfile
import time
import unittest

from desktop import PIMLO, READY, Pimlo, run, start, wait_for

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


def environ(**changes):  # a variable set to None is removed
    return {k: v for k, v in {**os.environ, **changes}.items() if v is not None}


def pimlo(*args, **env):
    return subprocess.run([PIMLO, *args], capture_output=True, text=True, env=environ(**env),
                          timeout=30)


def activate(action):  # as a launcher does for the desktop entry's actions
    return subprocess.run(["gdbus", "call", "--session", "--dest", "local.pimlo.Pimlo",
                           "--object-path", "/local/pimlo/Pimlo", "--method",
                           "org.freedesktop.Application.ActivateAction", action, "[]", "{}"],
                          capture_output=True, timeout=30)


def owners(name):
    return set(map(int, run("xdotool", "search", "--all", "--onlyvisible", "--name", name,
                            "getwindowpid", "%@", check=False).split()))


class Launch(unittest.TestCase):
    """On the test desktop with a tray host, where --check finds all well."""
    @classmethod
    def setUpClass(cls):
        start(cls.addClassCleanup, "trayer", "--edge", "top", "--align", "right")
        report = wait_for(lambda: (r := pimlo("--check")).returncode == 0 and r.stdout, "all well")
        assert report.startswith("一切正常") and report.count("\n") == 1, report

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

    def test_one_pet_per_session(self):
        first = self.launch()
        first.wait_for_line(lambda line: line == READY)
        second = pimlo()
        self.assertEqual((second.returncode, second.stdout.count("\n"), second.stderr), (0, 1, ""))
        self.assertNotEqual(activate("show").returncode, 0)  # no such action
        time.sleep(1)  # neither a plain second launch nor an unknown action opens the chat
        self.assertFalse(owners(CHAT))
        self.assertEqual(activate("show-chat").returncode, 0)
        run("desktop-file-validate", os.path.dirname(__file__) + "/../../resources/" + ENTRY)
        self.assertEqual(wait_for(lambda: owners(CHAT), "chat"), {first.process.pid})
        self.assertEqual(owners("^Pimlo$"), {first.process.pid})
        self.assertFalse([l for l in first.lines() if l.startswith(("Pimlo: no", "Pimlo: run"))])

        # A crash leaves nothing in the way; of two launches at once, one becomes the pet.
        first.stop(signal.SIGKILL)
        pair = [self.launch(), self.launch()]
        wait_for(lambda: any(p.process.poll() is not None for p in pair), "a hand-over")
        (pet,) = [p for p in pair if p.process.poll() is None]
        pet.wait_for_line(lambda line: line == READY)
        self.assertEqual([p.process.poll() for p in pair if p is not pet], [0])
        self.assertEqual(owners("^Pimlo$"), {pet.process.pid})
        self.assertEqual(pimlo("--show-chat").returncode, 0)
        self.assertEqual(wait_for(lambda: owners(CHAT), "chat"), {pet.process.pid})
        self.assertEqual((pimlo("--quit").returncode, pet.process.wait(10)), (0, 0))

    def situation(self, expected, ending, **env):  # --check and the launch lines, then an end
        check = pimlo("--check", **env)
        self.assertEqual((check.returncode, check.stdout.count("\n")), (1, len(expected)))
        pet = self.launch(environ(**env))
        pet.wait_for_line(lambda line: line.startswith(FINDINGS[expected[-1]][0]))
        for name, (launch, report) in FINDINGS.items():
            logged = any(line.startswith(launch) for line in pet.lines())
            self.assertEqual((name, logged, report in check.stdout),
                             (name, name in expected, name in expected))
        self.assertEqual(pet.stop(ending), 0)

    def test_no_session_bus(self):  # still starts
        self.situation(["bus", "secrets"], signal.SIGTERM, DBUS_SESSION_BUS_ADDRESS="unix:path=/no")

    def test_wayland_session(self):
        self.situation(["xwayland"], signal.SIGINT, WAYLAND_DISPLAY="wayland-1")

    def test_bare_x_server_and_a_bus_without_secrets(self):
        with tempfile.NamedTemporaryFile("w") as config:
            config.write(NO_SECRETS_BUS)
            config.flush()
            bus = start(self.addCleanup, "dbus-daemon", "--nofork", "--print-address=1",
                        "--config-file", config.name, stdout=subprocess.PIPE, text=True)
            read, write = os.pipe()
            start(self.addCleanup, "Xvfb", "-displayfd", str(write), "-nolisten", "tcp",
                  pass_fds=[write])
            os.close(write)
            with os.fdopen(read) as display:
                self.situation(["compositor", "tray", "secrets"], signal.SIGTERM,
                               DISPLAY=":" + display.readline().strip(),
                               DBUS_SESSION_BUS_ADDRESS=bus.stdout.readline().strip())

if __name__ == "__main__":
    unittest.main()
