"""Helpers for the end-to-end tests: the real pimlo binary on with-desktop's private X desktop."""

import os
import re
import signal
import subprocess
import tempfile
import time

BUILD = os.environ.get("PIMLO_BUILD_DIR", os.path.join(os.path.dirname(__file__), "../../build"))
PIMLO = os.path.join(BUILD, "src/app/pimlo")
READY = "Pimlo idle animation ready: window=200x200, transparent=true, image=(200.0, 200.0)"


def run(*args, check=True):
    return subprocess.run([*map(str, args)], check=check, capture_output=True, text=True).stdout


def xdotool(*args):
    return run("xdotool", *args)


def start(cleanup, *command, **kwargs):
    process = subprocess.Popen(command, **{"stdout": subprocess.DEVNULL, **kwargs},
                               stderr=subprocess.DEVNULL)
    cleanup(lambda: (process.terminate(), process.communicate()))
    return process


def screen_size():
    return tuple(map(int, re.search(r"dimensions:\s+(\d+)x(\d+)", run("xdpyinfo")).groups()))


def wait_for(predicate, what, timeout=10):
    """predicate's first true value within timeout; what names it, or says more when called."""
    deadline = time.monotonic() + timeout
    while not (value := predicate()):
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out waiting for {what() if callable(what) else what}")
        time.sleep(0.05)
    return value


def windows(pid, name="", fits=lambda geometry: True):
    """The visible windows of process pid, named like name, whose geometry fits."""
    found = run("xdotool", "search", "--all", "--onlyvisible", "--pid", pid, "--name", name,
                check=False)
    return {w for w in map(int, found.split()) if fits(geometry(w))}


def geometry(window):
    """Where the window is and its size and depth; all 0 for a window gone meanwhile."""
    info = run("xwininfo", "-id", window, check=False)
    value = lambda key: int((re.search(key + r":\s+(-?\d+)", info) or [0, 0])[1])
    return {"x": value("Absolute upper-left X"), "y": value("Absolute upper-left Y"),
            "width": value("Width"), "height": value("Height"), "depth": value("Depth")}


class Pimlo:
    def __init__(self, executable=PIMLO, args=(), env=None):
        self.log = tempfile.NamedTemporaryFile("w+", prefix="pimlo-", suffix=".log")
        self.process = subprocess.Popen([executable, *args], stdout=subprocess.DEVNULL,
                                        stderr=self.log, env=env)

    def lines(self):
        with open(self.log.name) as f:
            return f.read().splitlines()

    def wait_for_line(self, predicate, timeout=15):
        def found():
            line = next(filter(predicate, self.lines()), None)
            assert line or self.process.poll() is None, f"pimlo ended; log was: {self.lines()}"
            return line
        return wait_for(found, lambda: f"a log line; log was: {self.lines()}", timeout)

    def window(self):  # the tray icon and the menus share its name, not its size
        pet = lambda g: g["width"] == g["height"] == 200
        return wait_for(lambda: windows(self.process.pid, "^Pimlo$", pet), "the pet").pop()

    def bubble(self):
        """Where the greeting's window (the card in a 10 px shadow margin) shows."""
        g = geometry(wait_for(lambda: windows(self.process.pid, "^你好呀$"), "the bubble").pop())
        return g["x"], g["y"]

    def greet(self):  # "打招呼" from the pet's menu
        g, before = geometry(self.window()), windows(self.process.pid)
        xdotool("mousemove", g["x"] + 100, g["y"] + 60, "click", 3)
        wait_for(lambda: windows(self.process.pid) - before, "the menu")
        xdotool("key", "Down", "Return")
        return self.bubble()

    def stop(self, sig=signal.SIGTERM):
        if self.process.poll() is None:
            self.process.send_signal(sig)
        return self.process.wait(10)


class Screenshot:
    """The whole screen as RGB bytes, windows of every depth composited (xwd would not)."""

    def __init__(self):
        self.width, self.height = screen_size()
        self.data = subprocess.run(["import", "-silent", "-window", "root", "-depth", "8", "rgb:-"],
                                   check=True, capture_output=True).stdout

    def changed(self, base, *region):
        return sum(p != q for p, q in zip(self.region(*region), base.region(*region)))

    def region(self, x, y, w, h):
        row = lambda dy: ((y + dy) * self.width + x) * 3
        return [self.data[i:i + 3] for dy in range(h) for i in range(row(dy), row(dy) + w * 3, 3)]


def monitors():
    """The desktop's RandR monitors as (x, y, width, height), the primary first."""
    found = re.findall(r"^ \d+: \+?(\*?)\S+ (\d+)/\d+x(\d+)/\d+\+(\d+)\+(\d+)",
                       run("xrandr", "--listmonitors"), re.M)
    primary_first = sorted(found, key=lambda m: not m[0])
    return [tuple(map(int, (x, y, w, h))) for _, w, h, x, y in primary_first]
