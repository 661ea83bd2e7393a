#!/usr/bin/env python3
"""Soak run: the real pimlo binary on the private X desktop of tests/e2e/with-desktop, with a tray
host, a keyring holding a key and a local chat server, used like a person would for a while:
it walks by itself, is petted, dragged, its menu opened and dismissed or used (打招呼, 开心, 睡觉),
and it chats through the menu's 聊天 (pasted text, Ctrl+Return, now and then a new conversation).
Its resident memory is sampled every 10 s.

The verdict: no stderr line other than the known log lines, every chat turn answered, the menu
and chat window there whenever opened, a clean exit through the menu's 退出, and an RSS slope
(least squares) after the first five minutes under 1 MB per hour.

Usage: tests/e2e/with-desktop python3 bench/soak.py [--minutes 60] [--seed 1] [--csv FILE]
--csv writes every sample with the things done since the one before. PIMLO_BUILD_DIR picks the
build (default build/)."""

import argparse
import http.server
import json
import os
import random
import re
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "../tests/e2e"))
from desktop import Pimlo, geometry, screen_size  # noqa: E402
from desktop_bench import rss_mb  # noqa: E402

KNOWN = re.compile(r"Pimlo idle animation ready: |Pimlo movement: (idle|outward|returning) ")
CHAT_TITLE = "^与 Pimlo 聊天$"
MESSAGES = ["你好，Pimlo", "今天天气怎么样？", "讲个笑话吧 😄", "晚安", "我们去散步吧",
            "Pimlo 喜欢吃什么？"]
REPLIES = ["你好呀，我是 Pimlo！", "今天阳光很好 ☀️", "我最喜欢晒太阳啦。", "晚安，做个好梦 🌙"]
SAMPLE_EVERY = 10.0
WARM_UP = 300.0


class ChatServer(http.server.ThreadingHTTPServer):
    """Answers every chat-completions request with a short reply after a delay in seconds."""

    def __init__(self, delay=(0.2, 1.5)):
        self.requests, self.delay = 0, delay
        super().__init__(("127.0.0.1", 0), self.Handler)
        threading.Thread(target=self.serve_forever, daemon=True).start()

    class Handler(http.server.BaseHTTPRequestHandler):
        def do_POST(self):
            self.rfile.read(int(self.headers["Content-Length"]))
            time.sleep(random.uniform(*self.server.delay))
            answer = {"choices": [{"message": {"role": "assistant",
                                               "content": random.choice(REPLIES)}}]}
            data = json.dumps(answer).encode()
            self.send_response(200)
            self.send_header("Content-Type", "application/json")
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            self.wfile.write(data)
            self.server.requests += 1

        def log_message(self, *args):
            pass


def xdotool(*args):
    return subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True).stdout


def wait_for(predicate, timeout):
    deadline = time.monotonic() + timeout
    while not (value := predicate()) and time.monotonic() < deadline:
        time.sleep(0.05)
    return value


def slope_per_hour(samples):
    n = len(samples)
    if n < 2:
        return 0.0
    mt = sum(t for t, _ in samples) / n
    mr = sum(r for _, r in samples) / n
    var = sum((t - mt) ** 2 for t, _ in samples)
    return 3600 * sum((t - mt) * (r - mr) for t, r in samples) / var if var else 0.0


class Session:
    """The private home, keyring, tray host and chat server the pet runs with."""

    def __init__(self, delay=(0.2, 1.5)):
        self.home = tempfile.TemporaryDirectory(prefix="pimlo-soak-")
        h = self.home.name
        self.env = dict(os.environ, HOME=h, XDG_CONFIG_HOME=h + "/config",
                        XDG_DATA_HOME=h + "/data", XDG_CACHE_HOME=h + "/cache")
        for k in ("http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy"):
            self.env.pop(k, None)
        quiet = dict(stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.keyring = subprocess.Popen(["gnome-keyring-daemon", "--foreground", "--unlock",
                                         "--components=secrets"], stdin=subprocess.PIPE,
                                        env=self.env, **quiet)
        self.keyring.stdin.write(b"pimlo-soak")
        self.keyring.stdin.close()
        # Storing before the daemon owns its name would start a second one by bus activation.
        owned = wait_for(lambda: "true" in subprocess.run(
            ["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
             "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner",
             "string:org.freedesktop.secrets"], capture_output=True, text=True).stdout, 10)
        if not owned:
            raise SystemExit("soak: the keyring did not start")
        stored = wait_for(lambda: subprocess.run(
            ["secret-tool", "store", "--label=x", "xdg:schema", "local.pimlo.deepseek.ApiKey",
             "service", "local.pimlo.deepseek", "account", "api-key"], input=b"sk-soak-key",
            env=self.env, **quiet).returncode == 0, 10)
        if not stored:
            raise SystemExit("soak: could not store the key in the keyring")
        self.tray = subprocess.Popen(["trayer", "--edge", "top", "--align", "right",
                                      "--widthtype", "request", "--height", "24"], **quiet)
        self.server = ChatServer(delay)
        self.env["PIMLO_API_BASE"] = f"http://127.0.0.1:{self.server.server_port}"

    def close(self):
        self.server.shutdown()
        for p in (self.tray, self.keyring):
            p.terminate()
            p.wait()
        self.home.cleanup()


class Person:
    """Drives the pet with xdotool; each method is one thing a person does."""

    def __init__(self, pimlo, server, rng):
        self.pimlo, self.server, self.rng = pimlo, server, rng
        self.width, self.height = screen_size()
        # The docked tray icon is named like the pet: the pet is the 200 x 200 one.
        pets = wait_for(lambda: [w for w in self.windows("^Pimlo$")
                                 if geometry(w)["width"] == 200], 15)
        if not pets:
            raise SystemExit("soak: the pet window did not appear")
        self.pet = pets[0]
        self.misses = []
        self.turns = 0
        self.counts = {}
        self.done = []  # (seconds since the start, what)
        self.started = time.monotonic()

    def windows(self, name=""):
        out = xdotool("search", "--all", "--onlyvisible", "--pid", self.pimlo.process.pid,
                      "--name", name)
        return {int(w) for w in out.split()}

    def miss(self, what):
        self.misses.append(f"{time.strftime('%H:%M:%S')} {what}")

    def on_pet(self):
        g = geometry(self.pet)
        return g["x"] + 100, g["y"] + 120

    def rest_pointer(self):
        xdotool("mousemove", 5, self.height - 5)

    def open_menu(self):
        before = self.windows()
        xdotool("mousemove", *self.on_pet(), "click", 3)
        if not wait_for(lambda: self.windows() - before, 3):
            self.miss("the menu did not open")
            return False
        return True

    def time_first_chat(self):
        """Milliseconds from choosing 聊天 to its window, highlighted a moment before as a person
        does (the highlight loads the chat module)."""
        self.open_menu()
        time.sleep(0.5)
        xdotool("key", *["Down"] * 4)
        time.sleep(0.5)
        xdotool("key", "Return")
        pressed = time.monotonic()
        while not self.windows(CHAT_TITLE) and time.monotonic() - pressed < 5:
            time.sleep(0.002)
        return (time.monotonic() - pressed) * 1000

    def choose(self, item):
        if self.open_menu():
            time.sleep(self.rng.uniform(0.3, 1.5))
            xdotool("key", *["Down"] * item, "Return")
            return True
        return False

    def walk(self):
        time.sleep(self.rng.uniform(15, 40))

    def pet_it(self):
        xdotool("mousemove", *self.on_pet(), "click", 1)
        self.rest_pointer()
        time.sleep(2)

    def drag(self):
        x, y = self.on_pet()
        tx = self.rng.randrange(100, self.width - 100)
        ty = self.rng.randrange(150, self.height - 80)
        xdotool("mousemove", x, y, "mousedown", 1)
        for step in range(1, 11):
            xdotool("mousemove", x + (tx - x) * step // 10, y + (ty - y) * step // 10)
            time.sleep(0.03)
        xdotool("mouseup", 1)
        self.rest_pointer()
        time.sleep(1)

    def dismiss_menu(self):
        if self.open_menu():
            time.sleep(self.rng.uniform(0.5, 4))
            xdotool("key", "Escape")
        self.rest_pointer()

    def act(self):
        self.choose(self.rng.randrange(1, 4))  # 打招呼, 开心, 睡觉
        self.rest_pointer()
        time.sleep(self.rng.uniform(3, 7))

    def chat(self):
        if not self.choose(4):
            return
        found = wait_for(lambda: self.windows(CHAT_TITLE), 5)
        if not found:
            self.miss("the chat window did not open")
            return
        window = found.pop()
        time.sleep(0.6)  # keys typed right after the window maps are lost
        for _ in range(self.rng.randrange(1, 4)):
            before = self.server.requests
            subprocess.run(["xclip", "-selection", "clipboard", "-i"],
                           input=self.rng.choice(MESSAGES).encode(), check=True)
            xdotool("windowactivate", "--sync", window)
            xdotool("key", "--clearmodifiers", "ctrl+v")
            xdotool("key", "--clearmodifiers", "ctrl+Return")
            if not wait_for(lambda: self.server.requests > before, 10):
                self.miss("a chat turn got no reply")
            self.turns += 1
            time.sleep(self.rng.uniform(1, 4))
        if self.rng.random() < 0.4:
            # A new conversation from the keyboard: Tab reaches the header's button past the
            # disabled send button; in the confirmation, Tab moves from 取消 to 新对话.
            xdotool("windowactivate", "--sync", window)
            xdotool("key", "--clearmodifiers", "Tab", "space")
            time.sleep(0.8)
            xdotool("key", "--clearmodifiers", "Tab", "space")
            time.sleep(0.5)
        xdotool("windowactivate", "--sync", window)
        xdotool("key", "--clearmodifiers", "alt+F4")
        if not wait_for(lambda: not self.windows(CHAT_TITLE), 5):
            self.miss("the chat window did not close")

    def quit(self):
        self.choose(5)
        try:
            return self.pimlo.process.wait(10)
        except subprocess.TimeoutExpired:
            self.miss("退出 did not end the process")
            return None

    def anything(self):
        name, what = self.rng.choices(
            [("walk", self.walk), ("pet", self.pet_it), ("drag", self.drag),
             ("menu", self.dismiss_menu), ("action", self.act), ("chat", self.chat)],
            weights=[4, 2, 2, 2, 3, 2])[0]
        self.counts[name] = self.counts.get(name, 0) + 1
        self.done.append((time.monotonic() - self.started, name))
        what()


def sample(pimlo, started, samples, stop):
    while not stop.wait(SAMPLE_EVERY):
        if pimlo.process.poll() is not None:
            return
        samples.append((time.monotonic() - started, rss_mb(pimlo.process.pid)))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--minutes", type=float, default=60)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--csv", metavar="FILE")
    args = parser.parse_args()
    rng = random.Random(args.seed)

    session = Session()
    pimlo = Pimlo(env=session.env)
    started = time.monotonic()
    samples, stop = [], threading.Event()
    threading.Thread(target=sample, args=(pimlo, started, samples, stop), daemon=True).start()
    person = Person(pimlo, session.server, rng)
    person.started = started
    code = None
    try:
        pimlo.wait_for_line(lambda line: line.startswith("Pimlo idle animation ready"))
        end = started + 60 * args.minutes
        minute = 0
        while time.monotonic() < end and pimlo.process.poll() is None:
            person.anything()
            if (time.monotonic() - started) // 60 > minute and samples:
                minute = int((time.monotonic() - started) // 60)
                print(f"{minute:3d} min  RSS {samples[-1][1]:6.1f} MB  {person.counts}",
                      flush=True)
        code = person.quit() if pimlo.process.poll() is None else pimlo.process.returncode
    finally:
        stop.set()
        pimlo.stop()
        session.close()

    if args.csv:
        with open(args.csv, "w") as f:
            f.write("seconds,rss_mb,done\n")
            previous = 0.0
            for t, r in samples:
                done = " ".join(n for d, n in person.done if previous < d <= t)
                f.write(f"{t:.0f},{r:.2f},{done}\n")
                previous = t
    errors = [line for line in pimlo.lines() if not KNOWN.match(line)]
    later = [s for s in samples if s[0] >= WARM_UP]
    slope = slope_per_hour(later)
    rss = [r for _, r in samples]
    print(f"\nran {(time.monotonic() - started) / 60:.1f} min: {person.counts}, "
          f"{person.turns} chat turns, {session.server.requests} replies")
    print(f"RSS: {len(samples)} samples, first {rss[0] if rss else 0:.1f} MB, "
          f"after 5 min {later[0][1] if later else 0:.1f} MB, last {rss[-1] if rss else 0:.1f} "
          f"MB, max {max(rss, default=0):.1f} MB; slope after 5 min {slope:+.2f} MB/h "
          f"over {len(later)} samples")
    for line in errors:
        print(f"error line: {line}")
    for miss in person.misses:
        print(f"miss: {miss}")
    print(f"exit code {code}")
    ok = not errors and not person.misses and code == 0 and len(later) >= 2 and slope < 1.0
    print("verdict:", "PASS" if ok else "FAIL")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
