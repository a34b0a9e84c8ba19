"""Two pictures of a live page one second of real time apart, through the
DevTools pipe of a Chromium started with --remote-debugging-pipe (commands on
its fd 3, replies on its fd 4, each message JSON ended by a NUL byte).

    live_pictures.py TO_BROWSER FROM_BROWSER URL FIRST.png SECOND.png

The first picture is taken once the page's frame-step line shows a time, that
is after its first frame. The browser is closed at the end.
"""
import base64
import json
import sys
import time


class Browser:
    def __init__(self, to_browser, from_browser):
        self.out = open(to_browser, "wb", buffering=0)
        self.inp = open(from_browser, "rb", buffering=0)
        self.pending = b""
        self.last_id = 0

    def call(self, method, params=None, session=None):
        self.last_id += 1
        message = {"id": self.last_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        self.out.write(json.dumps(message).encode() + b"\0")
        while True:
            while b"\0" not in self.pending:
                chunk = self.inp.read(65536)
                if not chunk:
                    sys.exit(f"live-pictures: the browser closed its pipe during {method}")
                self.pending += chunk
            text, self.pending = self.pending.split(b"\0", 1)
            reply = json.loads(text)
            if reply.get("id") == self.last_id:
                if "error" in reply:
                    sys.exit(f"live-pictures: {method}: {reply['error']}")
                return reply["result"]


def main(to_browser, from_browser, url, first, second):
    browser = Browser(to_browser, from_browser)
    target = browser.call("Target.createTarget", {"url": url})["targetId"]
    session = browser.call("Target.attachToTarget", {"targetId": target, "flatten": True})["sessionId"]

    def frame_time_line():
        expression = "document.getElementById('frame-time')?.textContent ?? ''"
        reply = browser.call("Runtime.evaluate", {"expression": expression, "returnByValue": True}, session)
        return reply["result"].get("value", "")

    deadline = time.monotonic() + 30
    while not frame_time_line():
        if time.monotonic() > deadline:
            sys.exit("live-pictures: no frame drawn within 30 s")
        time.sleep(0.1)
    for path in (first, second):
        if path == second:
            time.sleep(1.0)
        picture = browser.call("Page.captureScreenshot", {"format": "png"}, session)["data"]
        with open(path, "wb") as file:
            file.write(base64.b64decode(picture))
    browser.call("Browser.close")


if __name__ == "__main__":
    main(*sys.argv[1:6])
