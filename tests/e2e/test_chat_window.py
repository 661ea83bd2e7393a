"""One chat turn as a person has it, on the test desktop: the real binary with --show-chat, a
real keyring on the private session bus, a local chat server, and the controls found and pressed
through AT-SPI as a screen reader finds them."""

import http.server
import json
import os
import re
import subprocess
import tempfile
import threading
import time
import unittest

import pyatspi

from desktop import READY, Pimlo

TITLE = "与 Pimlo 聊天"
REPLY = "你好呀，我是 Pimlo！"


class ChatServer(http.server.ThreadingHTTPServer):
    """Answers like the chat service: 401 for a message with 拒绝 in it, a reply otherwise."""

    def __init__(self):
        self.requests = []
        super().__init__(("127.0.0.1", 0), self.Handler)
        threading.Thread(target=self.serve_forever, daemon=True).start()

    class Handler(http.server.BaseHTTPRequestHandler):
        def do_POST(self):
            body = json.loads(self.rfile.read(int(self.headers["Content-Length"])))
            self.server.requests.append((self.path, self.headers["Authorization"], body))
            refused = "拒绝" in body["messages"][-1]["content"]
            answer = {"choices": [{"message": {"role": "assistant", "content": REPLY}}]}
            data = b"{}" if refused else json.dumps(answer).encode()
            self.send_response(401 if refused else 200)
            self.send_header("Content-Type", "application/json")
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            self.wfile.write(data)

        def log_message(self, *args):
            pass


def start(*command, **kwargs):
    return subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **kwargs)


def xdotool(*args):
    return subprocess.run(["xdotool", *map(str, args)], check=True, capture_output=True,
                          text=True).stdout


def until(predicate, what, timeout=10):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(0.1)
    raise AssertionError(f"timed out waiting for {what}")


class ChatTurn(unittest.TestCase):
    def setUp(self):
        self.home = tempfile.TemporaryDirectory()
        env = dict(os.environ, HOME=self.home.name, XDG_CONFIG_HOME=self.home.name + "/config",
                   XDG_DATA_HOME=self.home.name + "/data")
        self.services = [start("gnome-keyring-daemon", "--foreground", "--unlock",
                               "--components=secrets", stdin=subprocess.PIPE, env=env)]
        self.services[0].stdin.write(b"pimlo-test")
        self.services[0].stdin.close()
        self.services.append(start("/usr/libexec/at-spi-bus-launcher", "--launch-immediately",
                                   "--a11y=1"))
        self.server = ChatServer()
        env.update(PIMLO_API_BASE=f"http://127.0.0.1:{self.server.server_port}",
                   QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        self.pimlo = Pimlo(args=["--show-chat"], env=env)

    def tearDown(self):
        self.pimlo.stop()
        self.server.shutdown()
        for service in self.services:
            service.terminate()
            service.wait()
        self.home.cleanup()

    def app(self):
        for app in pyatspi.Registry.getDesktop(0):
            if app and app.get_process_id() == self.pimlo.process.pid:
                return app
        return None

    def find(self, role, name=None, pattern=None, within=None):
        """The first showing accessible of this role whose name is name or matches pattern."""
        def match(node):
            if node.getRole() != role or not node.getState().contains(pyatspi.STATE_SHOWING):
                return False
            return (name is None or node.name == name) and \
                (pattern is None or re.search(pattern, node.name))
        return until(lambda: self.app() and pyatspi.findDescendant(within or self.app(), match),
                     f"{role} {name or pattern}")

    def gone(self, role, name):
        until(lambda: not pyatspi.findDescendant(
            self.app(), lambda n: n.getRole() == role and n.name == name and
            n.getState().contains(pyatspi.STATE_SHOWING)), f"{name} to go")

    def press(self, name, within=None):
        button = self.find(pyatspi.ROLE_PUSH_BUTTON, name, within=within)
        button.queryAction().doAction(0)

    def bubbles(self):
        return [n.name for n in pyatspi.findAllDescendants(
            self.app(), lambda n: n.getRole() == pyatspi.ROLE_LABEL and
            n.description in ("你", "Pimlo"))]

    def type_and_send(self, text, window):
        subprocess.run(["xclip", "-selection", "clipboard", "-i"], input=text.encode(),
                       check=True)
        xdotool("windowactivate", "--sync", window)
        xdotool("key", "--clearmodifiers", "ctrl+v")
        xdotool("key", "--clearmodifiers", "ctrl+Return")

    def test_a_whole_conversation(self):
        self.pimlo.wait_for_line(lambda line: line == READY)
        search = ["xdotool", "search", "--all", "--onlyvisible", "--pid",
                  str(self.pimlo.process.pid), "--name", f"^{TITLE}$"]
        window = until(lambda: subprocess.run(search, capture_output=True, text=True).stdout.split(),
                       "the chat window")[0]
        time.sleep(0.5)  # typing right after the window maps loses keys
        self.find(pyatspi.ROLE_LABEL, "你好呀 👋")

        # No key yet: the message waits and the settings open by themselves.
        self.type_and_send("你好，Pimlo", window)
        self.find(pyatspi.ROLE_LABEL, "先填写 API Key，再点击重试。")
        key_field = self.find(pyatspi.ROLE_PASSWORD_TEXT)
        time.sleep(0.5)  # the dialog has just mapped
        key_field.queryComponent().grabFocus()
        xdotool("type", "--delay", "50", "sk-e2e-key")
        self.press("保存")
        self.find(pyatspi.ROLE_LABEL, pattern="^已保存到钥匙串")
        self.press("完成")
        self.gone(pyatspi.ROLE_PASSWORD_TEXT, "")

        self.press("重试")
        until(lambda: self.bubbles() == ["你好，Pimlo", REPLY], "the reply bubble")
        path, authorization, body = self.server.requests[-1]
        self.assertEqual((path, authorization), ("/chat/completions", "Bearer sk-e2e-key"))
        self.assertEqual(body["messages"][-1], {"role": "user", "content": "你好，Pimlo"})

        self.type_and_send("请拒绝我", window)
        self.find(pyatspi.ROLE_LABEL, pattern="^API Key 无效")
        self.press("放弃本次")
        until(lambda: self.bubbles() == ["你好，Pimlo", REPLY], "the refused line to go")

        self.press("新对话")
        self.press("新对话", within=self.find(pyatspi.ROLE_ALERT))
        self.find(pyatspi.ROLE_LABEL, "你好呀 👋")
        self.assertEqual(self.bubbles(), [])

        # The pet stood still while the chat was open, and walks again 20 s after it closes.
        self.assertFalse([l for l in self.pimlo.lines() if l.startswith("Pimlo movement")])
        xdotool("windowactivate", "--sync", window)
        xdotool("key", "--clearmodifiers", "alt+F4")
        closed = time.monotonic()
        self.pimlo.wait_for_line(lambda line: line.startswith("Pimlo movement: outward"), 30)
        self.assertGreater(time.monotonic() - closed, 19)


if __name__ == "__main__":
    unittest.main()
