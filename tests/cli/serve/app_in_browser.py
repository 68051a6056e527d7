#!/usr/bin/env python3
"""app_in_browser.py ADDRESS SAVES GAME_REPLAY NEW_RACE SCREENSHOT COMPANION

The library app in headless Chromium, driven through its DevTools protocol
(over --remote-debugging-pipe, so nothing but the standard library is
needed). Clicks as a player would and checks what follows: Watch puts the
replay in the game's place and says so in the page; Keep marks the row; a
race saved while the page is open (NEW_RACE: a command that saves one)
appears without a reload, and its track's chart shows it on its axes; Tidy
previews what prune's dry run says (COMPANION: a command that runs the
companion in the game folder) and removes those replays but never one kept;
the details page shows every racer. Saves a screenshot of the page to
SCREENSHOT. Exit status 1 on any failure."""
import base64, json, os, subprocess, sys, tempfile, time, filecmp

address, saves, game_replay, new_race, screenshot, companion = sys.argv[1:7]
failures = []


def fail(what):
    print("FAIL: " + what)
    failures.append(what)


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

    def wait_for(self, expression, seconds=15):
        end = time.time() + seconds
        while time.time() < end:
            if self.js(expression):
                return True
            time.sleep(0.2)
        return False

    def open(self, url):
        self.page("Page.navigate", url=url)
        return self.wait_for("document.readyState === 'complete' && !!document.body")

    def close(self):
        self.proc.kill()
        self.proc.wait()
        subprocess.run(["rm", "-rf", self.profile])


# Per chart (by track and type): the races its summary counts, its dots,
# and whether every dot lies inside the drawing.
charts = """Object.fromEntries(Array.from(document.querySelectorAll('.chart svg')).map(svg => {
  const c = svg.parentNode, dots = Array.from(c.querySelectorAll('.chart-point circle'));
  return [c.querySelector('h3').textContent,
          [parseInt(c.querySelector('.chart-summary').textContent) || 0, dots.length,
           dots.every(d => +d.getAttribute('cx') >= 0 && +d.getAttribute('cx') <= svg.viewBox.baseVal.width)]];
}))"""
tidy_result = "document.getElementById('tidy-result').textContent"

browser = Browser()
try:
    if not browser.open(address):
        fail("the page did not load")
    rows = browser.js("document.querySelectorAll('#replays tbody tr').length")
    files = browser.js("Array.from(document.querySelectorAll('#replays .actions'))"
                       ".map(a => a.getAttribute('data-file'))")
    if not files:
        fail("no row has the app's buttons (%s rows)" % rows)
        raise SystemExit(1)

    # Watch the oldest race that is there.
    watched = files[-1]
    browser.js("document.querySelector('.actions[data-file=\"%s\"] [data-do=watch]').click()" % watched)
    if not browser.wait_for("document.getElementById('result').textContent.indexOf('The game will play') === 0"):
        fail("Watch showed: %r" % browser.js("document.getElementById('result').textContent"))
    elif not filecmp.cmp(os.path.join(saves, watched), game_replay, shallow=False):
        fail("Watch did not put %s in the game's place" % watched)

    # Keep: the row shows the mark after the page took the answer.
    kept = files[0]
    browser.js("document.querySelector('.actions[data-file=\"%s\"] [data-do=keep]').click()" % kept)
    if not browser.wait_for("!!document.querySelector('.actions[data-file=\"%s\"] [data-do=unkeep]')" % kept):
        fail("Keep did not turn into Unkeep for %s" % kept)

    # A race saved while the page is open appears by itself.
    before = browser.js("document.querySelectorAll('#replays tbody tr').length")
    charts_before = browser.js(charts)
    browser.js("window.ra_unreloaded = true")
    subprocess.run(new_race, shell=True, check=True, stdout=subprocess.DEVNULL)
    if not browser.wait_for("document.querySelectorAll('#replays tbody tr').length === %d" % (before + 1), 10):
        fail("the new race did not appear (rows %s, were %d)" %
             (browser.js("document.querySelectorAll('#replays tbody tr').length"), before))
    if not browser.js("window.ra_unreloaded === true"):
        fail("the page was reloaded to show the new race")
    # Its track's chart has one race more, every dot inside the plot.
    charts_after = browser.js(charts)
    grown = [t for t in charts_after if charts_after[t] != charts_before.get(t)]
    if len(grown) != 1 or [charts_after[t] for t in grown] != [
            [charts_before[grown[0]][0] + 1, charts_before[grown[0]][1] + 1, True]]:
        fail("the charts after the new race: %r, were %r" % (charts_after, charts_before))
    # A chart's dot opens its race's details; the removed race has none.
    dots = browser.js("Array.from(document.querySelectorAll('.chart-point'))"
                      ".map(a => a.getAttribute('href') || '')")
    linked = [d for d in dots if d.startswith("/race?file=")]
    if not dots or len(linked) != len(dots) - 1:
        fail("the charts' dots do not link to their races' details: %r" % dots)

    shot = browser.page("Page.captureScreenshot", format="png")["data"]
    with open(screenshot, "wb") as out:
        out.write(base64.b64decode(shot))

    # Tidy with a policy that would remove the oldest replay, kept too now:
    # the preview is prune's dry run, and applying it leaves the kept ones.
    oldest = files[-1]
    browser.js("document.querySelector('.actions[data-file=\"%s\"] [data-do=keep]').click()" % oldest)
    if not browser.wait_for("!!document.querySelector('.actions[data-file=\"%s\"] [data-do=unkeep]')" % oldest):
        fail("Keep did not turn into Unkeep for %s" % oldest)
    browser.js("document.getElementById('tidy').open = true;"
               "document.querySelector('#tidy-form [name=keep]').value = '1';"
               "document.getElementById('tidy-preview').click()")
    if not browser.wait_for("!document.getElementById('tidy-apply').disabled"):
        fail("the Tidy preview offers no removal: %r" % browser.js(tidy_result))
    dry_run = subprocess.run(companion + " prune --ini replay_autosave.ini --keep 1", shell=True,
                             cwd=os.path.dirname(os.path.dirname(saves)), capture_output=True, text=True)
    said = (dry_run.stdout + dry_run.stderr).replace("\r\n", "\n").rstrip("\n")
    preview = browser.js(tidy_result).rstrip("\n")
    if dry_run.returncode != 0 or said != preview:
        fail("the Tidy preview is not prune's dry run:\n%s\n--- prune said (%d):\n%s" %
             (preview, dry_run.returncode, said))
    browser.js("document.getElementById('tidy-apply').click()")
    if not browser.wait_for("%s.indexOf('Removing ') === 0" % tidy_result):
        fail("Tidy's apply showed: %r" % browser.js(tidy_result))
    there = set(os.listdir(saves))
    for f in files:
        if (f in (kept, oldest)) != (f in there):
            fail("after Tidy %s is %s" % (f, "there" if f in there else "gone"))

    # The details of a race, opened by its address: every racer.
    browser.js("document.querySelector('.actions[data-file=\"%s\"] a').click()" % kept)
    if not browser.wait_for("location.pathname === '/race' && !!document.getElementById('racers')"):
        fail("the details page did not open")
    racers = browser.js("Array.from(document.querySelectorAll('#racers tbody tr'))"
                        ".map(r => r.cells[1].textContent)")
    if racers != ["Player (you)", "<script>", "Racer3"]:
        fail("the details show the racers %r" % racers)
finally:
    browser.close()
sys.exit(1 if failures else 0)
