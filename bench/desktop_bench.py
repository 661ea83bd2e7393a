#!/usr/bin/env python3
"""Runs Pimlo and the floor window on the private X desktop of tests/e2e/with-desktop and reports
CPU (% of one core) of the process and of the X server, resident memory, and launch time.

Usage: tests/e2e/with-desktop python3 bench/desktop_bench.py [seconds]
(PIMLO_BENCH_WALK=0 skips the walking part, which waits for three trips.)"""

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


def measure_walking(trips):
    """CPU while the real pet walks: summed over the walking legs of several trips, read off
    the movement log lines (outward … idle)."""
    log = open(f"/tmp/bench-walk-{os.getpid()}.log", "w+")
    process = subprocess.Popen([f"{BUILD}/src/app/pimlo"], stdout=subprocess.DEVNULL, stderr=log)
    xserver = int(os.environ["XVFB_PID"])
    walking = p_total = x_total = 0.0
    seen = 0
    start = None
    while seen < trips:
        log.seek(0)
        lines = [l for l in log.read().splitlines() if l.startswith("Pimlo movement:")]
        if start is None and len(lines) > 2 * seen and "outward" in lines[-1]:
            start = (cpu_seconds(process.pid), cpu_seconds(xserver), time.monotonic())
        elif start is not None and lines and "idle" in lines[-1]:
            p1, x1, t1 = cpu_seconds(process.pid), cpu_seconds(xserver), time.monotonic()
            p_total += p1 - start[0]
            x_total += x1 - start[1]
            walking += t1 - start[2]
            start = None
            seen += 1
        time.sleep(0.005)
    rss = rss_mb(process.pid)
    process.terminate()
    process.wait(10)
    return {"cpu": 100 * p_total / walking, "x": 100 * x_total / walking, "rss": rss,
            "ready_ms": None, "seconds": walking}


def report(name, r):
    ready = "n/a" if r["ready_ms"] is None else f"{r['ready_ms']:.0f} ms"
    print(f"{name:<28} cpu {r['cpu']:5.2f} %  X server {r['x']:5.2f} %  "
          f"RSS {r['rss']:5.1f} MB  ready {ready}")


def main():
    floor = measure([f"{BUILD}/bench/pimlo-bench-floor", "42"], "floor ready")
    pimlo = measure([f"{BUILD}/src/app/pimlo"], READY, settle=8.0)
    report("floor (blit every 42 ms)", floor)
    report("pimlo resting", pimlo)
    print(f"resting pimlo / floor CPU: {pimlo['cpu'] / max(floor['cpu'], 1e-9):.2f}")
    if os.environ.get("PIMLO_BENCH_WALK", "1") == "0":
        return
    moving = measure([f"{BUILD}/bench/pimlo-bench-floor", "33", "move"], "floor ready")
    walking = measure_walking(trips=3)
    report("floor (move + blit, 33 ms)", moving)
    report(f"pimlo walking ({walking['seconds']:.0f} s)", walking)
    print(f"walking pimlo / floor CPU: {walking['cpu'] / max(moving['cpu'], 1e-9):.2f}")


if __name__ == "__main__":
    main()
