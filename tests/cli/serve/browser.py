"""Headless Chromium driven through its DevTools protocol, over
--remote-debugging-pipe, so that the browser tests need nothing but
Python's standard library. Used by app_in_browser.py and a11y_in_browser.py."""
import json, os, subprocess, tempfile, time

# Keys as the tests press them: (key code, code, the text it types).
keys = {"Tab": (9, "Tab", None), "Enter": (13, "Enter", "\r"), " ": (32, "Space", " "),
        "ArrowDown": (40, "ArrowDown", None), "ArrowUp": (38, "ArrowUp", None)}
keys.update({d: (48 + int(d), "Digit" + d, d) for d in "0123456789"})


class Browser:
    def __init__(self):
        self.profile = tempfile.mkdtemp(prefix="ra-app-profile.")
        # The browser reads fd 3 and writes fd 4; ours stay above them.
        to_browser_r, self.to_browser = (os.dup(fd) for fd in os.pipe())
        self.from_browser, from_browser_w = (os.dup(fd) for fd in os.pipe())
        self.proc = subprocess.Popen(
            ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "--disable-sync",
             "--remote-debugging-pipe", "--window-size=1200,900",
             "--user-data-dir=" + self.profile, "about:blank"],
            pass_fds=(3, 4), stderr=subprocess.DEVNULL,
            preexec_fn=lambda: (os.dup2(to_browser_r, 3), os.dup2(from_browser_w, 4)))
        os.close(to_browser_r)
        os.close(from_browser_w)
        self.buffer, self.next_id = b"", 0
        target = self.call("Target.createTarget", url="about:blank")["targetId"]
        self.session = self.call("Target.attachToTarget", targetId=target, flatten=True)["sessionId"]

    def call(self, method, session=None, **params):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params}
        if session:
            message["sessionId"] = session
        os.write(self.to_browser, json.dumps(message).encode() + b"\0")
        while True:
            while b"\0" not in self.buffer:
                chunk = os.read(self.from_browser, 1 << 16)
                if not chunk:
                    raise RuntimeError("the browser closed its pipe")
                self.buffer += chunk
            text, self.buffer = self.buffer.split(b"\0", 1)
            answer = json.loads(text)
            if answer.get("id") == self.next_id:
                if "error" in answer:
                    raise RuntimeError(method + ": " + str(answer["error"]))
                return answer["result"]

    def page(self, method, **params):
        return self.call(method, self.session, **params)

    def js(self, expression):
        result = self.page("Runtime.evaluate", expression=expression, awaitPromise=True,
                           returnByValue=True)
        return result["result"].get("value")

    def key_down(self, key, repeat=False):
        """The key goes down (with repeat, again while it is held down)."""
        code, name, text = keys[key]
        down = {"type": "keyDown" if text else "rawKeyDown", "key": key, "code": name,
                "windowsVirtualKeyCode": code, "nativeVirtualKeyCode": code, "autoRepeat": repeat}
        if text:
            down["text"] = text
        self.page("Input.dispatchKeyEvent", **down)

    def key_up(self, key):
        code, name, _ = keys[key]
        self.page("Input.dispatchKeyEvent", type="keyUp", key=key, code=name,
                  windowsVirtualKeyCode=code, nativeVirtualKeyCode=code)

    def press(self, key):
        self.key_down(key)
        self.key_up(key)

    def wait_for(self, expression, seconds=15):
        """True once expression holds. A page that navigates meanwhile (a
        link followed) is asked again once the next one is there."""
        end = time.time() + seconds
        while time.time() < end:
            try:
                if self.js(expression):
                    return True
            except RuntimeError as e:
                if "navigated or closed" not in str(e):
                    raise
            time.sleep(0.2)
        return False

    def open(self, url):
        self.page("Page.navigate", url=url)
        return self.wait_for("document.readyState === 'complete' && !!document.body")

    def close(self):
        self.proc.kill()
        self.proc.wait()
        subprocess.run(["rm", "-rf", self.profile], stderr=subprocess.DEVNULL)
