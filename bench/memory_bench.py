#!/usr/bin/env python3
"""Pimlo's resident memory on the private X desktop of tests/e2e/with-desktop, with and without a
tray host (trayer): 20 s after launch (resting, after the launch nap), after three trips, and
after the first opening of the chat window from the pet's menu, with how long that took from
choosing 聊天. At rest it also lists which of the parts a resting pet should not hold are mapped.

Usage: tests/e2e/with-desktop python3 bench/memory_bench.py [runs]
PIMLO_BUILD_DIR picks the build (default build/)."""

import os
import random
import sys
import time

from desktop_bench import BUILD, READY, pin_desktop, rss_mb
from soak import Person, Session

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "../tests/e2e"))
from desktop import Pimlo  # noqa: E402

# Mapped file names a resting pet should not need.
HEAVY = ("libcurl", "libsecret", "libQt6Network", "NotoSansCJK", "pimlo-chat")


def mapped(pid):
    with open(f"/proc/{pid}/maps") as f:
        text = f.read()
    return [name for name in HEAVY if name in text] or ["none of them"]


def run(tray):
    session = Session(delay=(0, 0))
    if not tray:
        session.tray.terminate()
        session.tray.wait()
    pimlo = Pimlo(f"{BUILD}/src/app/pimlo", env=session.env)
    pid, started = pimlo.process.pid, time.monotonic()
    moves = lambda: [line for line in pimlo.lines() if line.startswith("Pimlo movement:")]
    try:
        pimlo.wait_for_line(lambda line: line.startswith(READY))
        person = Person(pimlo, session.server, random.Random(1))
        time.sleep(max(0.0, started + 20 - time.monotonic()))
        rest, heavy = rss_mb(pid), mapped(pid)
        pimlo.wait_for_line(lambda _: len(moves()) >= 9, 150)  # the third trip's end
        time.sleep(2)
        walked = rss_mb(pid)
        first_open = person.time_first_chat()
        time.sleep(2)
        return rest, heavy, walked, first_open, rss_mb(pid)
    finally:
        pimlo.stop()
        session.close()


def main():
    pin_desktop()
    for _ in range(int(sys.argv[1]) if len(sys.argv) > 1 else 1):
        for tray in (False, True):
            rest, heavy, walked, first_open, chat = run(tray)
            print(f"{'tray host' if tray else 'no tray':<9}  at rest {rest:.1f} MB "
                  f"(mapped: {', '.join(heavy)})  after three trips {walked:.1f} MB  "
                  f"chat opened in {first_open:.0f} ms, then {chat:.1f} MB  "
                  f"load {os.getloadavg()[0]:.2f}", flush=True)


if __name__ == "__main__":
    main()
