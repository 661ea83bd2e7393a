#!/usr/bin/env python3
"""Runs Pimlo beside the floor windows on the private X desktop of tests/e2e/with-desktop and
reports CPU (% of one core) of the process and of the X server, wake-ups, resident memory and
launch time.

The floors are minimal Qt windows of ours: one blitting a 200 x 200 image every 42 ms (the idle
animation's interval), one moving itself and blitting every 33 ms (the motion tick). Each runs
side by side with Pimlo over the very same stretch of time, so both see the same load:

- resting: 16 s windows in which Pimlo stands at home, the first after the launch nap (8 s to
  24 s after launch), then from 2 s to 18 s after each trip, with the resting floor beside it;
- walking: each trip, from its first movement line to its last, with the walking floor beside it.

A tray host (trayer) runs throughout, so Pimlo's tray icon is docked. The ratios are the medians
over the windows; the resident memory is read after the last trip. The whole private desktop (X
server, window manager, compositor, Pimlo and the floors) runs on one CPU, so no window depends on
which cores the scheduler happened to put them on.

With "floors", it measures the measurement instead: two resting floors side by side (what an
equal pair reads), then a floor that blits the next of 202 different smaller images each time, as
the idle view's frame cache does, beside the one-image floor.

Usage: tests/e2e/with-desktop python3 bench/desktop_bench.py [trips | floors]
PIMLO_BUILD_DIR picks the build to measure (default: build/)."""

import os
import statistics
import subprocess
import sys
import time

BUILD = os.environ.get("PIMLO_BUILD_DIR", os.path.join(os.path.dirname(__file__), "../build"))
READY = "Pimlo idle animation ready"
MOVEMENT = "Pimlo movement:"
FIRST_REST = (8.0, 24.0)  # after launch: the nap ends at 6.4 s, the first trip leaves at 26.4 s
LATER_REST = (2.0, 18.0)  # after a trip's end; the next leaves 20 s after it


def per_thread(pid, read):
    """read(task directory) for every thread of a process, by thread id."""
    values = {}
    for task in os.listdir(f"/proc/{pid}/task"):
        try:
            values[task] = read(f"/proc/{pid}/task/{task}")
        except (FileNotFoundError, ProcessLookupError):
            pass  # a thread that just ended
    return values


def parent(pid):
    """The parent's process id, as /proc names it."""
    with open(f"/proc/{pid}/stat") as f:
        return f.read().rsplit(")", 1)[1].split()[1]


def pin_desktop():
    """Moves every thread of the private desktop (the with-desktop shell and everything it
    started, this script included) to the last CPU we may use; what starts later inherits it."""
    cpu = {max(os.sched_getaffinity(0))}
    children = {}
    for entry in filter(str.isdigit, os.listdir("/proc")):
        try:
            children.setdefault(parent(entry), []).append(entry)
        except OSError:
            pass  # it just ended
    pending = [parent(os.environ["XVFB_PID"])]
    while pending:
        pid = pending.pop()
        pending += children.get(pid, [])
        try:
            for task in os.listdir(f"/proc/{pid}/task"):
                os.sched_setaffinity(int(task), cpu)
        except (FileNotFoundError, ProcessLookupError):
            pass  # it ended meanwhile


def run_time(task):
    """Seconds on a CPU, to the nanosecond."""
    with open(f"{task}/schedstat") as f:
        return int(f.read().split()[0]) / 1e9


def wakeups(task):
    """Voluntary context switches: how often the thread went to sleep."""
    with open(f"{task}/status") as f:
        for line in f:
            if line.startswith("voluntary_ctxt_switches:"):
                return int(line.split()[1])
    return 0


def growth(before, after):
    """Summed growth per thread. A thread that ended takes its count along (Qt's pool threads
    end after 30 s unused), so only threads alive at the end count, new ones from zero."""
    return sum(value - before.get(task, 0) for task, value in after.items())


def rss_mb(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    return 0.0


class Process:
    """A process with its stderr in a file."""

    def __init__(self, command):
        self.log = open(f"/tmp/bench-{os.getpid()}-{time.monotonic_ns()}.log", "w+")
        self.started = time.monotonic()
        self.process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=self.log)

    def lines(self, prefix=""):
        self.log.seek(0)
        return [line for line in self.log.read().splitlines() if line.startswith(prefix)]

    def wait_for(self, text, count=1, timeout=60):
        """Milliseconds from the start until the count-th line starting with text."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if len(self.lines(text)) >= count:
                return (time.monotonic() - self.started) * 1000
            time.sleep(0.002)
        raise TimeoutError(f"no line {count} of {text!r}")

    def stop(self):
        rss = rss_mb(self.process.pid)
        self.process.terminate()
        self.process.wait(10)
        return rss


def floor(*args):
    run = Process([f"{BUILD}/bench/pimlo-bench-floor", *args])
    run.wait_for("floor ready")
    time.sleep(0.5)  # past its start-up
    return run


class Window:
    """CPU and wake-ups of Pimlo, a floor and the X server over one stretch of time."""

    def __init__(self, pimlo, other):
        self.pids = (pimlo.process.pid, other.process.pid, int(os.environ["XVFB_PID"]))
        self.start = self.reading()

    def reading(self):
        return ([per_thread(p, run_time) for p in self.pids],
                [per_thread(p, wakeups) for p in self.pids[:2]], time.monotonic())

    def end(self):
        (c0, w0, t0), (c1, w1, t1) = self.start, self.reading()
        seconds = t1 - t0
        cpu = [100 * growth(a, b) / seconds for a, b in zip(c0, c1)]
        wakes = [growth(a, b) / seconds for a, b in zip(w0, w1)]
        return {"pimlo": cpu[0], "floor": cpu[1], "x": cpu[2], "pimlo wakes": wakes[0],
                "floor wakes": wakes[1], "seconds": seconds}


def sleep_until(moment):
    time.sleep(max(0.0, moment - time.monotonic()))


def rest(pimlo, since, span):
    """A resting window, span seconds after since, with the resting floor beside Pimlo."""
    sleep_until(since + span[0] - 1.0)
    beside = floor("42")
    sleep_until(since + span[0])
    window = Window(pimlo, beside)
    sleep_until(since + span[1])
    result = window.end()
    beside.stop()
    return result


def walk(pimlo, trip):
    """One trip, from its first movement line to its last, with the walking floor beside Pimlo."""
    beside = floor("33", "move")
    if len(pimlo.lines(MOVEMENT)) > 3 * trip:
        print(f"trip {trip + 1}: the floor started too late, the window misses the departure")
    pimlo.wait_for(MOVEMENT, 3 * trip + 1)  # outward
    window = Window(pimlo, beside)
    pimlo.wait_for(MOVEMENT, 3 * trip + 3)  # idle, back home
    result = window.end()
    arrived = time.monotonic()
    beside.stop()
    return result, arrived


def measure(trips):
    tray = subprocess.Popen(["trayer", "--edge", "top", "--align", "right", "--widthtype",
                             "request", "--height", "24"])
    time.sleep(1)
    pimlo = Process([f"{BUILD}/src/app/pimlo"])
    ready = pimlo.wait_for(READY)
    rests, walks = [rest(pimlo, pimlo.started, FIRST_REST)], []
    for trip in range(trips):
        walked, arrived = walk(pimlo, trip)
        walks.append(walked)
        if trip + 1 < trips:
            rests.append(rest(pimlo, arrived, LATER_REST))
    rss = pimlo.stop()
    tray.terminate()
    tray.wait()
    return rests, walks, rss, ready


def report(name, windows, first="pimlo", second="floor"):
    for w in windows:
        print(f"{name:<8} {w['seconds']:4.1f} s  {first} {w['pimlo']:5.2f} %  {second} "
              f"{w['floor']:5.2f} %  ratio {w['pimlo'] / w['floor']:4.2f}  X server {w['x']:5.2f} %"
              f"  wake-ups/s {first} {w['pimlo wakes']:5.1f} {second} {w['floor wakes']:5.1f}")
    ratio = statistics.median(w["pimlo"] / w["floor"] for w in windows)
    print(f"{name}: median {first} / {second} CPU {ratio:.2f}")


def floors(windows=6):
    for name, mode in (("equal", ()), ("frames", ("frames",))):
        one, other = floor("42"), floor("42", *mode)
        results = []
        for _ in range(windows):
            window = Window(other, one)
            time.sleep(16)
            results.append(window.end())
        one.stop()
        other.stop()
        report(name, results, name, "floor")


def main():
    pin_desktop()
    if sys.argv[1:] == ["floors"]:
        return floors()
    trips = int(sys.argv[1]) if len(sys.argv) > 1 else 3
    with open("/proc/loadavg") as f:
        load = f.read().split()[0]
    rests, walks, rss, ready = measure(trips)
    report("resting", rests)
    report("walking", walks)
    print(f"RSS after {trips} trips {rss:.1f} MB, ready {ready:.0f} ms after start, "
          f"load before {load}")


if __name__ == "__main__":
    main()
