#!/usr/bin/env python3
"""Runs Pimlo and the floor windows on the private X desktop of tests/e2e/with-desktop and
reports CPU (% of one core) of the process and of the X server, resident memory and launch time.

Pimlo is measured in one run of three walking trips, with a tray host (trayer) running so that
its tray icon is docked: its CPU is split by the movement log lines into resting (standing at
home, after the launch nap) and walking time. The floors are minimal Qt windows of ours: one
blitting a 200 x 200 image every 42 ms (the idle animation's interval), one moving itself and
blitting every 33 ms (the motion tick).

Usage: tests/e2e/with-desktop python3 bench/desktop_bench.py [floor seconds] [trips]"""

import os
import subprocess
import sys
import time

BUILD = os.environ.get("PIMLO_BUILD_DIR", os.path.join(os.path.dirname(__file__), "../build"))
TICK = os.sysconf("SC_CLK_TCK")
READY = "Pimlo idle animation ready"
NAP_END = 7.0  # the launch nap ends 6.4 s after launch


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICK


def rss_mb(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    return 0.0


class Run:
    """A process with its stderr in a file, and CPU readings of it and of the X server."""

    def __init__(self, command):
        self.log = open(f"/tmp/bench-{os.getpid()}-{time.monotonic_ns()}.log", "w+")
        self.started = time.monotonic()
        self.process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=self.log)
        self.xserver = int(os.environ["XVFB_PID"])

    def lines(self):
        self.log.seek(0)
        return self.log.read().splitlines()

    def wait_for(self, text, timeout=20):
        while time.monotonic() - self.started < timeout:
            if any(text in line for line in self.lines()):
                return (time.monotonic() - self.started) * 1000
            time.sleep(0.002)
        return None

    def reading(self):
        return cpu_seconds(self.process.pid), cpu_seconds(self.xserver), time.monotonic()

    def stop(self):
        rss = rss_mb(self.process.pid)
        self.process.terminate()
        self.process.wait(10)
        return rss


def share(cpu, seconds):
    return 100 * cpu / seconds if seconds else 0.0


def measure_floor(args, seconds):
    run = Run([f"{BUILD}/bench/pimlo-bench-floor", *args])
    ready = run.wait_for("floor ready")
    time.sleep(1)
    p0, x0, t0 = run.reading()
    time.sleep(seconds)
    p1, x1, t1 = run.reading()
    return {"cpu": share(p1 - p0, t1 - t0), "x": share(x1 - x0, t1 - t0), "rss": run.stop(),
            "ready": ready, "seconds": t1 - t0}


def measure_pimlo(trips):
    tray = subprocess.Popen(["trayer", "--edge", "top", "--align", "right", "--widthtype",
                             "request", "--height", "24"])
    time.sleep(1)
    run = Run([f"{BUILD}/src/app/pimlo"])
    ready = run.wait_for(READY)
    time.sleep(max(0.0, run.started + NAP_END - time.monotonic()))
    totals = {"idle": [0.0, 0.0, 0.0], "walking": [0.0, 0.0, 0.0]}
    last = run.reading()
    phase, seen, done = "idle", 0, 0
    while done < trips:
        time.sleep(0.005)
        moves = [l for l in run.lines() if l.startswith("Pimlo movement:")]
        if len(moves) == seen:
            continue
        now = run.reading()
        bucket = totals["idle" if phase == "idle" else "walking"]
        for i in range(3):
            bucket[i] += now[i] - last[i]
        last, seen = now, len(moves)
        phase = moves[-1].split()[2]
        done += phase == "idle"
    result = {}
    for name, (p, x, t) in totals.items():
        result[name] = {"cpu": share(p, t), "x": share(x, t), "seconds": t, "ready": ready}
    rss = run.stop()
    tray.terminate()
    tray.wait()
    for r in result.values():
        r["rss"] = rss
    return result


def report(name, r):
    ready = "" if r.get("ready") is None else f"  ready {r['ready']:.0f} ms"
    print(f"{name:<30} cpu {r['cpu']:5.2f} %  X server {r['x']:5.2f} %  "
          f"RSS {r['rss']:5.1f} MB  over {r['seconds']:4.0f} s{ready}")


def main():
    seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 30.0
    trips = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    resting_floor = measure_floor(["42"], seconds)
    walking_floor = measure_floor(["33", "move"], seconds)
    pimlo = measure_pimlo(trips)
    report("floor: blit every 42 ms", resting_floor)
    report("pimlo resting", pimlo["idle"])
    report("floor: move + blit, 33 ms", walking_floor)
    report("pimlo walking", pimlo["walking"])
    print(f"resting: pimlo / floor CPU {pimlo['idle']['cpu'] / max(resting_floor['cpu'], 1e-9):.2f}")
    print(f"walking: pimlo / floor CPU {pimlo['walking']['cpu'] / max(walking_floor['cpu'], 1e-9):.2f}")


if __name__ == "__main__":
    main()
