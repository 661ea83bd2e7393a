"""A chat turn as a person has it: --show-chat, a real keyring, a local chat server, the controls
found and pressed over AT-SPI as a screen reader finds them, and the pet walking on after it."""

import http.server
import json
import os
import subprocess
import tempfile
import threading
import time
import unittest

import pyatspi

from desktop import READY, Pimlo, start, wait_for, windows, xdotool

REPLY = "你好呀，我是 Pimlo！"
ANSWER = json.dumps({"choices": [{"message": {"role": "assistant", "content": REPLY}}]}).encode()


class ChatService(http.server.BaseHTTPRequestHandler):
    requests = []
    log_message = lambda *args: None

    def do_POST(self):
        body = json.loads(self.rfile.read(int(self.headers["Content-Length"])))
        self.requests.append((self.path, self.headers["Authorization"], body))
        time.sleep(30 * (len(self.requests) > 1))  # time to press "停止" on the later ones
        self.send_response(200)
        self.send_header("Content-Length", str(len(ANSWER)))
        self.end_headers()
        self.wfile.write(ANSWER)


class ChatTurn(unittest.TestCase):
    def setUp(self):
        home = self.enterContext(tempfile.TemporaryDirectory())
        env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=home + "/config",
                   XDG_DATA_HOME=home + "/data", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        keyring = start(self.addCleanup, "gnome-keyring-daemon", "--foreground", "--unlock",
                        "--components=secrets", stdin=subprocess.PIPE, env=env)
        keyring.stdin.write(b"pimlo-test")
        keyring.stdin.close()
        start(self.addCleanup, "/usr/libexec/at-spi-bus-launcher", "--launch-immediately",
              "--a11y=1")
        server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), ChatService)
        server.handle_error = lambda *args: None  # the answer to a stopped turn finds no reader
        threading.Thread(target=server.serve_forever, daemon=True).start()
        self.addCleanup(lambda: (server.shutdown(), server.server_close()))
        env["PIMLO_API_BASE"] = f"http://127.0.0.1:{server.server_port}"
        self.pimlo = Pimlo(args=["--show-chat"], env=env)
        self.addCleanup(self.pimlo.stop)

    def showing(self, role, name=None, prefix=""):
        """The first showing accessible of this role named name, or starting with prefix."""
        app = next((a for a in pyatspi.Registry.getDesktop(0)
                    if a and a.get_process_id() == self.pimlo.process.pid), None)
        match = lambda n: n.getRole() == role and n.getState().contains(pyatspi.STATE_SHOWING) \
            and name in (None, n.name) and n.name.startswith(prefix)
        return app and pyatspi.findDescendant(app, match)

    def find(self, role, name=None, prefix=""):
        return wait_for(lambda: self.showing(role, name, prefix), f"{role} {name}{prefix}")

    def press(self, name):
        self.find(pyatspi.ROLE_PUSH_BUTTON, name).queryAction().doAction(0)

    def test_a_whole_conversation(self):
        self.pimlo.wait_for_line(lambda line: line == READY)
        (window,) = wait_for(lambda: windows(self.pimlo.process.pid, "^与 Pimlo 聊天$"), "chat")
        time.sleep(0.5)  # typing right after the window maps loses keys
        self.find(pyatspi.ROLE_LABEL, "你好呀 👋")

        # No key yet: the message waits and the settings open by themselves.
        subprocess.run(["xclip", "-selection", "clipboard", "-i"], input="你好，Pimlo".encode(),
                       check=True)
        xdotool("windowactivate", "--sync", window, "key", "--clearmodifiers", "ctrl+v")
        xdotool("key", "--clearmodifiers", "ctrl+Return")
        self.find(pyatspi.ROLE_LABEL, "先填写 API Key，再点击重试。")
        key_field = self.find(pyatspi.ROLE_PASSWORD_TEXT)
        time.sleep(0.5)  # the dialog has just mapped
        key_field.queryComponent().grabFocus()
        xdotool("type", "--delay", "50", "sk-e2e-key")
        self.press("保存")
        self.find(pyatspi.ROLE_LABEL, prefix="已保存到钥匙串")
        self.press("完成")
        wait_for(lambda: not self.showing(pyatspi.ROLE_PASSWORD_TEXT), "the settings to close")

        # Each button clicked with the mouse, what it opens closed, what it starts ended: the keys
        # typed next land in the message field, and no prompt opens.
        field = self.find(pyatspi.ROLE_TEXT, "消息").queryText()
        for n, (button, then) in enumerate([
                ("API Key 设置", "完成"), ("API Key", "完成"), ("新对话", "取消"), ("重试", REPLY),
                ("发送", None), ("停止", "已停止回复，可以重试。"), ("放弃本次", None)]):
            x, y, w, h = self.find(pyatspi.ROLE_PUSH_BUTTON, button).queryComponent().getExtents(
                pyatspi.DESKTOP_COORDS)
            xdotool("mousemove", x + w // 2, y + h // 2, "click", "1")
            if then in ("完成", "取消"):
                self.press(then)
                wait_for(lambda: not self.showing(pyatspi.ROLE_PUSH_BUTTON, then), "it to close")
            elif then:
                self.find(pyatspi.ROLE_LABEL, then)
            xdotool("type", "--delay", "50", f" {n}")
            wait_for(lambda: field.getText(0, -1).endswith(f" {n}"), f"the keys after {button}")
            self.assertFalse(self.showing(pyatspi.ROLE_ALERT))
        self.assertEqual(ChatService.requests[0][:2], ("/chat/completions", "Bearer sk-e2e-key"))
        self.assertEqual(ChatService.requests[0][2]["messages"][-1],
                         {"role": "user", "content": "你好，Pimlo"})

        # The pet stood still while the chat was open, and walks again 20 s after it closes.
        self.assertFalse([l for l in self.pimlo.lines() if l.startswith("Pimlo movement")])
        xdotool("windowactivate", "--sync", window, "key", "--clearmodifiers", "alt+F4")
        closed = time.monotonic()
        self.pimlo.wait_for_line(lambda line: line.startswith("Pimlo movement: outward"), 30)
        self.assertGreater(time.monotonic() - closed, 19)


if __name__ == "__main__":
    unittest.main()
