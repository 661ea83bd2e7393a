#!/usr/bin/env python3
"""Runs Pimlo and the floor window on the private X desktop of tests/e2e/with-desktop and reports
CPU (% of one core) of the process and of the X server, resident memory, and launch time.

Usage: tests/e2e/with-desktop python3 bench/desktop_bench.py [seconds]"""

import os
import subprocess
import sys
import time

BUILD = os.environ.get("PIMLO_BUILD_DIR", os.path.join(os.path.dirname(__file__), "../build"))
TICK = os.sysconf("SC_CLK_TCK")
SECONDS = float(sys.argv[1]) if len(sys.argv) > 1 else 30.0
READY = "Pimlo idle animation ready"


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


def measure(command, ready_text, settle=3.0):
    log = open(f"/tmp/bench-{os.getpid()}.log", "w+")
    started = time.monotonic()
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=log)
    ready_after = None
    while time.monotonic() - started < 20:
        log.seek(0)
        if ready_text in log.read():
            ready_after = time.monotonic() - started
            break
        time.sleep(0.002)
    time.sleep(settle)  # past the launch work (and the launch sleep animation)
    xserver = int(os.environ["XVFB_PID"])
    p0, x0, t0 = cpu_seconds(process.pid), cpu_seconds(xserver), time.monotonic()
    time.sleep(SECONDS)
    p1, x1, t1 = cpu_seconds(process.pid), cpu_seconds(xserver), time.monotonic()
    rss = rss_mb(process.pid)
    process.terminate()
    process.wait(10)
    elapsed = t1 - t0
    return {"cpu": 100 * (p1 - p0) / elapsed, "x": 100 * (x1 - x0) / elapsed, "rss": rss,
            "ready_ms": None if ready_after is None else ready_after * 1000}


def report(name, r):
    ready = "n/a" if r["ready_ms"] is None else f"{r['ready_ms']:.0f} ms"
    print(f"{name:<28} cpu {r['cpu']:5.2f} %  X server {r['x']:5.2f} %  "
          f"RSS {r['rss']:5.1f} MB  ready {ready}")


def main():
    floor = measure([f"{BUILD}/bench/pimlo-bench-floor", "42"], "floor ready")
    pimlo = measure([f"{BUILD}/src/app/pimlo"], READY, settle=8.0)
    report("floor (blit every 42 ms)", floor)
    report("pimlo resting", pimlo)
    print(f"pimlo / floor CPU: {pimlo['cpu'] / max(floor['cpu'], 1e-9):.2f}")


if __name__ == "__main__":
    main()
