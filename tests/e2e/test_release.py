"""One pet per desktop, the command line without a display, and the startup check in each of the
situations it reports: no compositor, no tray host, no Secret Service, Wayland."""

import os
import signal
import subprocess
import tempfile
import time
import unittest

from desktop import PIMLO, READY, Pimlo

# The launch line and the --check line of each finding.
FINDINGS = {"xwayland": ("Pimlo: running on Wayland through XWayland", "XWayland"),
            "compositor": ("Pimlo: no compositing manager", "没有合成管理器"),
            "tray": ("Pimlo: no system tray", "没有系统托盘"),
            "secrets": ("Pimlo: no Secret Service", "没有 Secret Service")}
NO_SECRETS_BUS = """<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen>
<policy context="default"><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/>
<allow own="*"/></policy></busconfig>"""


def environ(**changes):  # a variable set to None is removed
    return {k: v for k, v in {**os.environ, **changes}.items() if v is not None}


def pimlo(*args, **env):
    return subprocess.run([PIMLO, *args], capture_output=True, text=True, env=environ(**env),
                          timeout=30)


def wait_for(predicate, timeout=10):
    deadline = time.monotonic() + timeout
    while not (value := predicate()) and time.monotonic() < deadline:
        time.sleep(0.05)
    return value


def owners(name):
    out = subprocess.run(["xdotool", "search", "--all", "--onlyvisible", "--name", name,
                          "getwindowpid", "%@"], capture_output=True, text=True).stdout
    return {int(pid) for pid in out.split()}


class Desktop(unittest.TestCase):
    """The test desktop with a tray host, on which --check finds all well."""

    def setUp(self):
        self.tray = subprocess.Popen(["trayer", "--edge", "top", "--align", "right"])
        self.addCleanup(lambda: (self.tray.terminate(), self.tray.wait()))
        report = wait_for(lambda: (r := pimlo("--check")).returncode == 0 and r.stdout)
        self.assertTrue(report.startswith("一切正常") and report.count("\n") == 1, report)

    def launch(self, env=None):
        pet = Pimlo(env=env)
        self.addCleanup(pet.stop, signal.SIGKILL)
        return pet


class CommandLine(unittest.TestCase):
    def test_console_commands_need_no_display(self):
        with tempfile.TemporaryDirectory() as config:
            run = lambda *args: pimlo(*args, DISPLAY=None, XDG_CONFIG_HOME=config)
            self.assertRegex(run("--version").stdout, r"^pimlo \d+\.\d+\.\d+\n$")
            self.assertIn("--autostart on|off", run("--help").stdout)
            self.assertEqual(run("--autostart", "on").returncode, 0)
            entry = os.path.join(config, "autostart/local.pimlo.Pimlo.desktop")
            with open(entry) as f:
                lines = f.read().splitlines()
            for line in ["Type=Application", "Name=Pimlo", "X-GNOME-Autostart-enabled=true",
                         "Exec=" + os.path.realpath(PIMLO)]:
                self.assertIn(line, lines)
            self.assertEqual(run("--autostart=off").returncode, 0)
            self.assertFalse(os.path.exists(entry))
            self.assertEqual(run("--autostart", "off").returncode, 0, "absent is fine")
            bogus = run("--show-chat", "--bogus")
            self.assertEqual((bogus.returncode, bogus.stdout, bogus.stderr.count("\n")), (2, "", 1))
            # Without a display the launch and the check say so instead of aborting.
            self.assertEqual(run().returncode, 1)
            self.assertIn("X 显示", run("--check").stdout)


class OnePetPerDesktop(Desktop):
    def test_second_launch_hands_over_and_opens_the_chat(self):
        first = self.launch()
        first.wait_for_line(lambda line: line == READY)
        second = pimlo()
        self.assertEqual((second.returncode, second.stdout.count("\n"), second.stderr), (0, 1, ""))
        self.assertEqual(pimlo("--show-chat").returncode, 0)
        self.assertEqual(wait_for(lambda: owners("^与 Pimlo 聊天$")), {first.process.pid})
        self.assertEqual(owners("^Pimlo$"), {first.process.pid})
        self.assertFalse([l for l in first.lines() if l.startswith(("Pimlo: no", "Pimlo: run"))])

    def test_stale_socket_and_two_launches_at_once_leave_one_pet(self):
        crashed = self.launch()
        crashed.wait_for_line(lambda line: line == READY)
        crashed.stop(signal.SIGKILL)
        socket = f"{os.environ['XDG_RUNTIME_DIR']}/pimlo-{os.getuid()}-{os.environ['DISPLAY'][1:]}"
        self.assertTrue(os.path.exists(socket), "the crash leaves its socket behind")
        pair = [self.launch(), self.launch()]
        wait_for(lambda: any(p.process.poll() is not None for p in pair))
        time.sleep(1)
        self.assertCountEqual([p.process.poll() for p in pair], [0, None])
        (pet,) = [p for p in pair if p.process.poll() is None]
        pet.wait_for_line(lambda line: line == READY)
        self.assertEqual(owners("^Pimlo$"), {pet.process.pid})


class StartupCheck(Desktop):
    def situation(self, expected, **env):
        """The check's report and the launch lines with env, against the expected findings."""
        check = pimlo("--check", **env)
        self.assertEqual((check.returncode, check.stdout.count("\n")), (1, len(expected)))
        pet = self.launch(environ(**env))
        pet.wait_for_line(lambda line: line.startswith(FINDINGS[expected[-1]][0]))
        for name, (launch, report) in FINDINGS.items():
            logged = any(line.startswith(launch) for line in pet.lines())
            self.assertEqual((name, logged, report in check.stdout),
                             (name, name in expected, name in expected))

    def test_wayland_session(self):
        self.situation(["xwayland"], WAYLAND_DISPLAY="wayland-1")

    def test_bare_x_server_and_a_bus_without_secrets(self):
        config = tempfile.NamedTemporaryFile("w", suffix=".conf")
        config.write(NO_SECRETS_BUS)
        config.flush()
        read, write = os.pipe()
        started = [subprocess.Popen(["Xvfb", "-displayfd", str(write), "-nolisten", "tcp"],
                                    pass_fds=[write], stderr=subprocess.DEVNULL),
                   subprocess.Popen(["dbus-daemon", "--nofork", "--print-address=1",
                                     "--config-file", config.name], stdout=subprocess.PIPE,
                                    stderr=subprocess.DEVNULL, text=True)]
        os.close(write)
        for p in started:
            self.addCleanup(lambda p=p: (p.terminate(), p.wait(), p.stdout and p.stdout.close()))
        with os.fdopen(read) as display, config:
            self.situation(["compositor", "tray", "secrets"],
                           DISPLAY=":" + display.readline().strip(),
                           DBUS_SESSION_BUS_ADDRESS=started[1].stdout.readline().strip())


if __name__ == "__main__":
    unittest.main()
