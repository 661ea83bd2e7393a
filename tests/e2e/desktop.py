"""Helpers for the end-to-end tests: the real pimlo binary on the private X desktop that
with-desktop started, observed through xdotool, xwininfo, xprop and screenshots."""

import os
import re
import signal
import subprocess
import tempfile
import time

BUILD = os.environ.get("PIMLO_BUILD_DIR", os.path.join(os.path.dirname(__file__), "../../build"))
PIMLO = os.path.join(BUILD, "src/app/pimlo")
READY = "Pimlo idle animation ready: window=200x200, transparent=true, image=(200.0, 200.0)"


def run(*args):
    return subprocess.run(args, check=True, capture_output=True, text=True).stdout


def screen_size():
    m = re.search(r"dimensions:\s+(\d+)x(\d+)", run("xdpyinfo"))
    return int(m.group(1)), int(m.group(2))


class Pimlo:
    """One running pimlo process with its stderr collected in a file."""

    def __init__(self, executable=PIMLO, args=(), env=None):
        self.log = tempfile.NamedTemporaryFile("w+", prefix="pimlo-", suffix=".log")
        self.process = subprocess.Popen([executable, *args], stdout=subprocess.DEVNULL,
                                        stderr=self.log, env=env)

    def lines(self):
        with open(self.log.name) as f:
            return f.read().splitlines()

    def wait_for_line(self, predicate, timeout=15):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            for line in self.lines():
                if predicate(line):
                    return line
            if self.process.poll() is not None:
                break
            time.sleep(0.05)
        raise AssertionError(f"no such log line; log was: {self.lines()}")

    def window(self, timeout=15):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            out = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid",
                                  str(self.process.pid), "--name", "^Pimlo$"],
                                 capture_output=True, text=True).stdout.split()
            if out:
                return int(out[0])
            time.sleep(0.05)
        raise AssertionError("the pet window did not appear")

    def stop(self, sig=signal.SIGTERM, timeout=10):
        if self.process.poll() is None:
            self.process.send_signal(sig)
        try:
            return self.process.wait(timeout)
        finally:
            if self.process.poll() is None:
                self.process.kill()
                self.process.wait()


def geometry(window):
    info = run("xwininfo", "-id", str(window))
    value = lambda key: int(re.search(key + r":\s+(-?\d+)", info).group(1))
    return {"x": value("Absolute upper-left X"), "y": value("Absolute upper-left Y"),
            "width": value("Width"), "height": value("Height"), "depth": value("Depth")}


def prop(window, name):
    return run("xprop", "-id", str(window), name)


class Screenshot:
    """The whole screen as RGB bytes."""

    def __init__(self):
        self.width, self.height = screen_size()
        self.data = subprocess.run(["import", "-silent", "-window", "root", "-depth", "8",
                                    "rgb:-"], check=True, capture_output=True).stdout

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    def region(self, x, y, w, h):
        return [self.pixel(x + dx, y + dy) for dy in range(h) for dx in range(w)]
