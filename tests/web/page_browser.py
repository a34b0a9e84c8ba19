"""Runs the web page in a browser, driven through the browser's own remote
protocol: Chromium's DevTools pipe, Firefox's Marionette socket (Debian has no
driver program for either), or WebKitWebDriver's HTTP for WebKitGTK's
MiniBrowser. Firefox and WebKit take the same W3C WebDriver commands.

    page_browser.py ENGINE WORK_DIR STEP [STEP...]

ENGINE is chromium, firefox, webkit, or chromium-nosimd: Chromium told its
processor lacks SSE4.1, which its WebAssembly SIMD needs, so that it has none.
Chromium and Firefox run headless; MiniBrowser has no such mode and gets an
Xvfb display of its own. The steps run in order, each in a fresh page, and
print one line each:
    dom URL FILE             the page's HTML once its title is "done" or it
                             shows a message
    live URL FIRST SECOND    two pictures of the live page one second of real
                             time apart, the first after its first frame
    step URL SECONDS         the frame-step line after SECONDS of running: the
                             lowest of eight readings a second apart
The browser's profile and log go to WORK_DIR.
"""
import base64
import glob
import json
import os
import shutil
import socket
import subprocess
import sys
import time
import urllib.error
import urllib.request


def fail(text):
    sys.exit(f"page-browser: {text}")


class Chromium:
    """Commands on the browser's fd 3, replies on its fd 4, each a JSON text
    ended by a NUL byte."""

    def __init__(self, work, simd=True):
        to_read, self.to_browser = os.pipe()
        self.from_browser, from_write = os.pipe()

        def give_pipes():  # copies first: either end may already be fd 3 or 4
            commands, replies = os.dup(to_read), os.dup(from_write)
            os.dup2(commands, 3)
            os.dup2(replies, 4)

        command = ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                   "--disable-component-update", "--disable-sync", "--no-first-run", "--disable-quic",
                   f"--user-data-dir={work}/profile", "--window-size=800,700", "--remote-debugging-pipe"]
        if not simd:
            command.append("--js-flags=--no-enable-sse4-1")
        with open(f"{work}/browser.log", "ab") as log:
            self.process = subprocess.Popen(command, stdout=log, stderr=log, close_fds=False, preexec_fn=give_pipes)
        os.close(to_read)
        os.close(from_write)
        self.pending = b""
        self.last_id = 0
        self.session = None
        self.target = None

    def call(self, method, params=None, session=None):
        self.last_id += 1
        message = {"id": self.last_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        os.write(self.to_browser, json.dumps(message).encode() + b"\0")
        while True:
            while b"\0" not in self.pending:
                chunk = os.read(self.from_browser, 1 << 16)
                if not chunk:
                    fail(f"chromium closed its pipe during {method}")
                self.pending += chunk
            text, self.pending = self.pending.split(b"\0", 1)
            reply = json.loads(text)
            if reply.get("id") == self.last_id:
                if "error" in reply:
                    fail(f"chromium: {method}: {reply['error']}")
                return reply["result"]

    def open(self, url):
        if self.target:
            self.call("Target.closeTarget", {"targetId": self.target})
        self.target = self.call("Target.createTarget", {"url": url})["targetId"]
        self.session = self.call("Target.attachToTarget", {"targetId": self.target, "flatten": True})["sessionId"]

    def evaluate(self, expression):
        reply = self.call("Runtime.evaluate", {"expression": expression, "returnByValue": True}, self.session)
        return reply["result"].get("value")

    def screenshot(self):
        return base64.b64decode(self.call("Page.captureScreenshot", {"format": "png"}, self.session)["data"])

    def close(self):
        self.call("Browser.close")
        self.process.wait(30)


class WebDriver:
    """The W3C WebDriver commands the steps use. A subclass sends them, by
    their Marionette names, through `command` and returns the reply's value."""

    def open(self, url):
        self.command("Navigate", {"url": url})

    def evaluate(self, expression):
        return self.command("ExecuteScript", {"script": f"return ({expression});", "args": []})

    def screenshot(self):
        return base64.b64decode(self.command("TakeScreenshot", {}))


class Firefox(WebDriver):
    """A TCP socket on loopback; each message is LENGTH:JSON, the browser
    speaks first, a command is [0, ID, NAME, PARAMS] and its reply
    [1, ID, ERROR, RESULT]."""

    PREFERENCES = {
        "marionette.port": 0,  # any free port, written to MarionetteActivePort in the profile
        "browser.shell.checkDefaultBrowser": False,
        "browser.startup.homepage_override.mstone": "ignore",
        "datareporting.policy.dataSubmissionEnabled": False,
        "toolkit.telemetry.reportingpolicy.firstRun": False,
        "app.update.disabledForTesting": True,
        "extensions.update.enabled": False,
        "browser.safebrowsing.update.enabled": False,
        "network.captive-portal-service.enabled": False,
        "network.connectivity-service.enabled": False,
    }

    def __init__(self, work):
        profile = f"{work}/profile"
        os.makedirs(profile, exist_ok=True)
        with open(f"{profile}/user.js", "w") as file:
            for name, value in self.PREFERENCES.items():
                file.write(f"user_pref({json.dumps(name)}, {json.dumps(value)});\n")
        port_file = f"{profile}/MarionetteActivePort"
        if os.path.exists(port_file):
            os.remove(port_file)
        environment = dict(os.environ, HOME=work, MOZ_HEADLESS="1")
        command = ["firefox-esr", "--headless", "--marionette", "-no-remote", "-profile", profile,
                   "--window-size=800,700"]
        with open(f"{work}/browser.log", "ab") as log:
            self.process = subprocess.Popen(command, stdout=log, stderr=log, env=environment)
        deadline = time.monotonic() + 60
        while not (os.path.exists(port_file) and open(port_file).read().strip()):
            if self.process.poll() is not None or time.monotonic() > deadline:
                fail(f"firefox-esr gave no Marionette port (see {work}/browser.log)")
            time.sleep(0.2)
        port = int(open(port_file).read())
        self.socket = socket.create_connection(("127.0.0.1", port), timeout=300)
        self.pending = b""
        self.last_id = 0
        self.receive()  # the greeting
        self.call("WebDriver:NewSession", {"capabilities": {}})

    def receive(self):
        while b":" not in self.pending:
            self.more()
        length, self.pending = self.pending.split(b":", 1)
        while len(self.pending) < int(length):
            self.more()
        text, self.pending = self.pending[:int(length)], self.pending[int(length):]
        return json.loads(text)

    def more(self):
        chunk = self.socket.recv(1 << 16)
        if not chunk:
            fail("firefox-esr closed its Marionette socket")
        self.pending += chunk

    def call(self, name, params):
        self.last_id += 1
        text = json.dumps([0, self.last_id, name, params]).encode()
        self.socket.sendall(str(len(text)).encode() + b":" + text)
        while True:
            reply = self.receive()
            if reply[0] == 1 and reply[1] == self.last_id:
                if reply[2]:
                    fail(f"firefox-esr: {name}: {reply[2]}")
                return reply[3]

    def command(self, name, params):
        return self.call(f"WebDriver:{name}", params).get("value")

    def close(self):
        try:
            self.call("Marionette:Quit", {"flags": ["eForceQuit"]})
        except SystemExit:
            pass  # it may close the socket before it answers
        self.process.wait(30)


class WebKit(WebDriver):
    """WebKitWebDriver on a loopback port, which starts MiniBrowser itself: each
    command an HTTP request on the session's path, its reply {"value": ...}."""

    PATHS = {"Navigate": ("POST", "url"), "ExecuteScript": ("POST", "execute/sync"),
             "TakeScreenshot": ("GET", "screenshot")}

    def __init__(self, work):
        browsers = glob.glob("/usr/lib/*/webkit2gtk-4.1/MiniBrowser")
        if not shutil.which("WebKitWebDriver") or not browsers:
            fail("no WebKitWebDriver or MiniBrowser: install the Debian package webkit2gtk-driver")
        self.log = open(f"{work}/browser.log", "ab")
        self.processes = []  # stopped last first: the driver ends its browser, then the display goes
        try:
            self.start(browsers[0])
        except BaseException:
            self.stop()
            raise

    def start(self, browser):
        xvfb = self.run(["Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                        stdout=subprocess.PIPE)
        display = xvfb.stdout.readline().decode().strip()
        if not display:
            fail("Xvfb did not start (see browser.log)")
        with socket.socket() as probe:  # a free port, for the driver to take
            probe.bind(("127.0.0.1", 0))
            self.port = probe.getsockname()[1]
        driver = self.run(["WebKitWebDriver", f"--port={self.port}"], env=dict(os.environ, DISPLAY=f":{display}"))
        deadline = time.monotonic() + 30
        while not self.answers():
            if driver.poll() is not None or time.monotonic() > deadline:
                fail("WebKitWebDriver did not start (see browser.log)")
            time.sleep(0.1)
        options = {"binary": browser, "args": ["--automation"]}
        self.session = self.request("POST", "/session", {"capabilities": {"alwaysMatch": {
            "browserName": "MiniBrowser", "webkitgtk:browserOptions": options}}})["sessionId"]

    def run(self, command, stdout=None, env=None):
        self.processes.append(subprocess.Popen(command, stdout=stdout or self.log, stderr=self.log, env=env))
        return self.processes[-1]

    def answers(self):
        try:
            return self.request("GET", "/status")["ready"]
        except OSError:
            return False

    def request(self, method, path, body=None):
        data = None if body is None else json.dumps(body).encode()
        request = urllib.request.Request(f"http://127.0.0.1:{self.port}{path}", data=data, method=method,
                                         headers={"Content-Type": "application/json"})
        try:
            with urllib.request.urlopen(request, timeout=300) as reply:
                return json.load(reply)["value"]
        except urllib.error.HTTPError as error:
            problem = json.load(error).get("value", {})
            fail(f"webkit: {method} {path}: {problem.get('error')}: {problem.get('message')}")

    def command(self, name, params):
        method, path = self.PATHS[name]
        return self.request(method, f"/session/{self.session}/{path}", params if method == "POST" else None)

    def stop(self):
        for process in reversed(self.processes):
            process.terminate()
            process.wait(30)

    def close(self):
        try:
            self.request("DELETE", f"/session/{self.session}")
        finally:
            self.stop()


FRAME_TIME = "document.getElementById('frame-time')?.textContent ?? ''"
FINISHED = "document.title === 'done' || !!document.getElementById('message')?.textContent"


def wait_for(browser, expression, seconds, what):
    deadline = time.monotonic() + seconds
    while not browser.evaluate(expression):
        if time.monotonic() > deadline:
            fail(f"{what} within {seconds} s")
        time.sleep(0.1)


def step_dom(browser, url, path):
    browser.open(url)
    wait_for(browser, FINISHED, 120, f"{url} neither finished nor showed a message")
    with open(path, "w") as file:
        file.write(browser.evaluate("document.documentElement.outerHTML"))
    print(f"dom {path}")


def step_live(browser, url, first, second):
    browser.open(url)
    wait_for(browser, FRAME_TIME, 30, f"{url} drew no frame")
    for path in (first, second):
        if path == second:
            time.sleep(1.0)
        with open(path, "wb") as file:
            file.write(browser.screenshot())
    title = browser.evaluate("document.title")
    heading = browser.evaluate("document.getElementById('title')?.textContent ?? ''")
    print(f"live {first} {second}: title '{title}' heading '{heading}': {browser.evaluate(FRAME_TIME)}")


def step_time(browser, url, seconds):
    browser.open(url)
    wait_for(browser, FRAME_TIME, 30, f"{url} drew no frame")
    time.sleep(float(seconds))
    readings = []
    for _ in range(8):
        readings.append(browser.evaluate(FRAME_TIME))
        time.sleep(1.0)
    lowest = min(readings, key=lambda line: float(line.split()[2]))
    print(f"step {url}: lowest of {len(readings)} readings a second apart: {lowest}")


STEPS = {"dom": (step_dom, 2), "live": (step_live, 3), "step": (step_time, 2)}


def main(engine, work, steps):
    os.makedirs(work, exist_ok=True)
    engines = {"chromium": lambda: Chromium(work), "firefox": lambda: Firefox(work), "webkit": lambda: WebKit(work),
               "chromium-nosimd": lambda: Chromium(work, simd=False)}
    if engine not in engines:
        fail(f"unknown engine {engine}; use {', '.join(engines)}")
    browser = engines[engine]()
    try:
        while steps:
            name = steps.pop(0)
            if name not in STEPS or len(steps) < STEPS[name][1]:
                fail(f"unknown or short step {name}; see --help")
            run, count = STEPS[name]
            run(browser, *steps[:count])
            del steps[:count]
    finally:
        browser.close()


if __name__ == "__main__":
    if len(sys.argv) < 4 or sys.argv[1] == "--help":
        print(__doc__)
        sys.exit(0 if sys.argv[1:2] == ["--help"] else 2)
    main(sys.argv[1], sys.argv[2], sys.argv[3:])
