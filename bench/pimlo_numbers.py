#!/usr/bin/env python3
"""All of Pimlo's costs in one run on the private X desktop of tests/e2e/with-desktop, beside the
floor windows and two other desktop pets (oneko, xpenguins), printed as one Markdown table.

In order: desktop_bench.py's run of three trips, each resting and walking stretch with a floor
window running beside Pimlo (the ratios); the two floors alone; a second Pimlo, alone, with a
keyring holding a key and a local chat server: a rest and its third trip (its own X server
share), then the chat window opened from the menu, left open and idle, and a few chat turns; the
chat window and chat list benchmarks; oneko and xpenguins. CPU is in % of one core, for the
process and for the X server over the same time. A tray host (trayer) runs whenever Pimlo does,
and the whole desktop runs on one CPU, as in desktop_bench.py.

Usage: tests/e2e/with-desktop python3 bench/pimlo_numbers.py [--seconds 30] [--write FILE]
--write replaces the table between the numbers markers of FILE (docs/performance.md).
PIMLO_BUILD_DIR picks the build (default build/)."""

import argparse
import os
import random
import re
import statistics
import subprocess
import sys
import time

from desktop_bench import (BUILD, FIRST_REST, READY, Process, floor, growth, measure, per_thread,
                           pin_desktop, rss_mb, run_time)
from soak import CHAT_TITLE, Person, Session

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "../tests/e2e"))
from desktop import Pimlo  # noqa: E402

BEGIN, END = "<!-- numbers -->", "<!-- /numbers -->"
TURNS = 5


def load():
    return os.getloadavg()[0]


class Stretch:
    """CPU of a process and of the X server from now until end()."""

    def __init__(self, pid):
        self.pid = pid
        self.start = self.reading()

    def reading(self):
        return (per_thread(self.pid, run_time), per_thread(int(os.environ["XVFB_PID"]), run_time),
                time.monotonic())

    def end(self):
        (p0, x0, t0), (p1, x1, t1) = self.start, self.reading()
        p, x, seconds = growth(p0, p1), growth(x0, x1), t1 - t0
        return {"cpu": 100 * p / seconds, "x": 100 * x / seconds, "ms": 1000 * p,
                "x ms": 1000 * x, "seconds": seconds}


def alone(run, seconds):
    stretch = Stretch(run.process.pid)
    time.sleep(seconds)
    result = stretch.end()
    result["rss"] = run.stop()
    return result


def rss_parts(pid):
    """Resident MB: anonymous (heap, images) and file-backed (libraries, fonts)."""
    parts = {}
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(("RssAnon:", "RssFile:", "RssShmem:")):
                parts[line.split(":")[0]] = int(line.split()[1]) / 1024
    return parts


def moves(pimlo):
    return [line for line in pimlo.lines() if line.startswith("Pimlo movement:")]


def measure_alone_and_chat(seconds):
    """A second Pimlo alone: a rest, a trip, then the chat window of the real binary."""
    session = Session(delay=(0, 0))
    pimlo = Pimlo(env=session.env)
    pid = pimlo.process.pid
    started = time.monotonic()
    try:
        pimlo.wait_for_line(lambda line: line.startswith(READY))
        person = Person(pimlo, session.server, random.Random(1))
        time.sleep(max(0.0, started + FIRST_REST[0] - time.monotonic()))
        stretch = Stretch(pid)
        time.sleep(max(0.0, started + FIRST_REST[1] - time.monotonic()))
        rest = stretch.end()
        # The first trip each way renders that direction's frames: the third trip is cached.
        pimlo.wait_for_line(lambda _: len(moves(pimlo)) >= 7, 100)
        stretch = Stretch(pid)
        pimlo.wait_for_line(lambda _: len(moves(pimlo)) >= 9, 30)
        walk = stretch.end()
        time.sleep(2)
        rest_rss, parts = rss_mb(pid), rss_parts(pid)

        first_open = person.time_first_chat()
        window = person.windows(CHAT_TITLE).pop()
        person.rest_pointer()
        time.sleep(2)
        stretch = Stretch(pid)
        time.sleep(seconds)
        idle = stretch.end()
        open_rss = rss_mb(pid)

        turns, waits = [], []
        for i in range(TURNS):
            subprocess.run(["xclip", "-selection", "clipboard", "-i"],
                           input=f"你好，Pimlo，第 {i + 1} 次".encode(), check=True)
            subprocess.run(["xdotool", "windowactivate", "--sync", str(window), "key",
                            "--clearmodifiers", "ctrl+v"], check=True)
            time.sleep(0.3)
            before, stretch = session.server.requests, Stretch(pid)
            subprocess.run(["xdotool", "key", "--clearmodifiers", "ctrl+Return"], check=True)
            while session.server.requests == before and time.monotonic() - stretch.start[2] < 10:
                time.sleep(0.002)
            waits.append((time.monotonic() - stretch.start[2]) * 1000)
            time.sleep(1.5)  # the reply lands, the list scrolls to it
            turns.append(stretch.end())
        unanswered = sum(w >= 10000 for w in waits)
        return {"rest": rest, "walk": walk, "rest_rss": rest_rss, "parts": parts,
                "first_open": first_open, "idle": idle, "open_rss": open_rss,
                "turn_ms": statistics.mean(t["ms"] for t in turns),
                "turn_x_ms": statistics.mean(t["x ms"] for t in turns),
                "turn_wait": statistics.mean(waits), "turn_rss": rss_mb(pid),
                "misses": person.misses + [f"{unanswered} turns got no reply"] * (unanswered > 0)}
    finally:
        pimlo.stop()
        session.close()


def bench(name, *args):
    return subprocess.run([f"{BUILD}/bench/{name}", *map(str, args)], capture_output=True,
                          text=True, check=True).stdout


def number(pattern, text):
    return [float(v) for v in re.search(pattern, text).groups()]


def measure_other(command, seconds, pointer=False):
    run = Process(command)
    time.sleep(2)
    stretch = Stretch(run.process.pid)
    end = time.monotonic() + seconds
    spots = [(300, 300), (1100, 650), (500, 700), (1000, 250)]
    while time.monotonic() < end:
        if pointer:  # somewhere new for the cat to run to
            subprocess.run(["xdotool", "mousemove", *map(str, spots[0])])
            spots.append(spots.pop(0))
        time.sleep(min(10, max(0, end - time.monotonic())))
    result = stretch.end()
    result["rss"] = run.stop()
    return result


def beside(windows):
    """Medians over the windows with a floor beside Pimlo."""
    return {"cpu": statistics.median(w["pimlo"] for w in windows),
            "floor": statistics.median(w["floor"] for w in windows),
            "ratio": statistics.median(w["pimlo"] / w["floor"] for w in windows),
            "x": statistics.median(w["x"] for w in windows), "n": len(windows)}


def table(r):
    pct = lambda v: f"{v:.2f} %"
    mb = lambda v: f"{v:.1f} MB"
    rf, wf, chat = r["resting floor"], r["walking floor"], r["chat"]
    rest, walk, cw, cl = r["rests"], r["walks"], r["chat window"], r["chat list"]
    rows = [
        ("floor: blit every 42 ms", pct(rf["cpu"]), pct(rf["x"]), mb(rf["rss"]), "", ""),
        ("Pimlo resting (16 s after the launch nap)", pct(chat["rest"]["cpu"]),
         pct(chat["rest"]["x"]), "", "", ""),
        (f"Pimlo resting beside the resting floor (median of {rest['n']} × 16 s)",
         f"{pct(rest['cpu'])} vs {pct(rest['floor'])}: **{rest['ratio']:.2f}×**",
         f"{pct(rest['x'])} (both)", "", "", "≤ 1.05×"),
        ("floor: move + blit every 33 ms", pct(wf["cpu"]), pct(wf["x"]), mb(wf["rss"]), "", ""),
        ("Pimlo walking (its third trip)", pct(chat["walk"]["cpu"]), pct(chat["walk"]["x"]), "", "",
         ""),
        (f"Pimlo walking beside the walking floor (median of {walk['n']} trips)",
         f"{pct(walk['cpu'])} vs {pct(walk['floor'])}: **{walk['ratio']:.2f}×**",
         f"{pct(walk['x'])} (both)", "", "", "≤ 1.2×"),
        ("Pimlo after three trips", "", "", f"**{mb(r['rss'])}**", "", "≤ 60 MB"),
        ("Pimlo after one trip, anonymous / file-backed / shared memory", "", "",
         " / ".join(mb(chat["parts"].get(k, 0)) for k in ("RssAnon", "RssFile", "RssShmem")),
         "", ""),
        ("Pimlo launch to first frame (the ready line)", "", "", "", f"{r['ready']:.0f} ms",
         "≤ 400 ms"),
        ("first opening of the chat window (menu's 聊天 to the window mapped)", "", "",
         f"+{chat['open_rss'] - chat['rest_rss']:.1f} MB", f"{chat['first_open']:.0f} ms",
         "≤ 150 ms, ≤ +20 MB"),
        ("Pimlo with the chat window open and idle (the pet resting too)",
         pct(chat["idle"]["cpu"]), pct(chat["idle"]["x"]), mb(chat["open_rss"]), "", ""),
        (f"a chat turn, Ctrl+Return to 1.5 s after the request (mean of {TURNS})",
         f"{chat['turn_ms']:.0f} ms CPU", f"{chat['turn_x_ms']:.0f} ms CPU",
         mb(chat["turn_rss"]), f"{chat['turn_wait']:.0f} ms to the request", ""),
        ("chat window bench: first show", "", "", f"+{cw['empty']:.1f} MB",
         f"{cw['show']:.0f} ms", "≤ 150 ms, ≤ +20 MB"),
        ("chat window bench: shown and idle, empty / 500 lines",
         f"{cw['idle_empty']:.2f} / {cw['idle_full']:.2f} %", "", f"+{cw['full']:.1f} MB", "",
         "≤ 0.3 %, ≤ +35 MB"),
        ("chat list bench: append and scroll with 500 lines (median / worst of 20)", "", "", "",
         f"{cl['append'][0]:.1f} / {cl['append'][1]:.1f} ms", "≤ 16 ms"),
        ("oneko (the pointer moved every 10 s)", pct(r["oneko"]["cpu"]), pct(r["oneko"]["x"]),
         mb(r["oneko"]["rss"]), "", ""),
        ("xpenguins (its default penguins)", pct(r["xpenguins"]["cpu"]),
         pct(r["xpenguins"]["x"]), mb(r["xpenguins"]["rss"]), "", ""),
    ]
    lines = ["| | CPU | X server | RSS | time | target |", "|---|---|---|---|---|---|"]
    lines += ["| " + " | ".join(row) + " |" for row in rows]
    return "\n".join(lines)


def write(path, text):
    with open(path) as f:
        doc = f.read()
    start, end = doc.index(BEGIN) + len(BEGIN), doc.index(END)
    with open(path, "w") as f:
        f.write(doc[:start] + "\n" + text + "\n" + doc[end:])


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--seconds", type=float, default=30)
    parser.add_argument("--write", metavar="FILE")
    args = parser.parse_args()
    pin_desktop()
    began, load_before, started = time.strftime("%Y-%m-%d %H:%M"), load(), time.monotonic()

    rests, walks, rss, ready = measure(3)
    r = {"rests": beside(rests), "walks": beside(walks), "rss": rss, "ready": ready,
         "resting floor": alone(floor("42"), args.seconds),
         "walking floor": alone(floor("33", "move"), args.seconds)}
    r["chat"] = measure_alone_and_chat(args.seconds)
    out = bench("pimlo-bench-chat-window", int(args.seconds // 2))
    show, = number(r"first show.*?: (\d+) ms", out)
    empty, full = number(r"RSS added: empty ([\d.]+) MB.*?500 lines ([\d.]+) MB", out)
    idle_empty, idle_full = number(r"CPU shown and idle: ([\d.]+) % empty, ([\d.]+) %", out)
    r["chat window"] = {"show": show, "empty": empty, "full": full, "idle_empty": idle_empty,
                        "idle_full": idle_full}
    out = bench("pimlo-bench-chat-list", 20)
    r["chat list"] = {"append": number(r"append and scroll .*?: ([\d.]+) / ([\d.]+) ms", out)}
    r["oneko"] = measure_other(["/usr/games/oneko"], args.seconds, pointer=True)
    r["xpenguins"] = measure_other(["xpenguins"], args.seconds)

    text = (f"Made by `tests/e2e/with-desktop python3 bench/pimlo_numbers.py` on {began}, in one "
            f"run of {(time.monotonic() - started) / 60:.0f} minutes, {args.seconds:.0f} s per "
            f"steady reading; 1-minute load average {load_before:.2f} before and {load():.2f} "
            f"after, on 2 cores, the desktop on one of them.\n\n{table(r)}")
    if r["chat"]["misses"]:
        text += "\n\nDriver misses: " + "; ".join(r["chat"]["misses"])
    print(text)
    if args.write:
        write(args.write, text)


if __name__ == "__main__":
    main()
