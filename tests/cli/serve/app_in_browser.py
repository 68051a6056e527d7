#!/usr/bin/env python3
"""app_in_browser.py ADDRESS SAVES GAME_REPLAY NEW_RACE SCREENSHOT COMPANION SHARE [REMOVAL]

The library app in headless Chromium, driven through its DevTools protocol
(over --remote-debugging-pipe, so nothing but the standard library is
needed). The table shows each lap as the app's answer writes it. Clicks
as a player would and checks what follows: Watch puts the replay in the
game's place and says so in the page; Keep marks the row; a
race saved while the page is open (NEW_RACE: a command that saves one)
appears without a reload, and its track's chart shows it on its axes; Tidy
previews in a player's words what would go and removes those replays, never
one kept (COMPANION: a command that runs the companion in the game folder);
the details page shows every racer; a friend's SHARE imported by the
Friends view's file picker shows the friend and their time on the
leaderboard, her races open with Keep (her own marks) and Remove (from
her folder and record), and Remove takes their folder. Tidy by keyboard:
Enter held after the preview leaves the focus on Cancel and removes
nothing; Tab to the button that says what it does and Enter remove what
the preview said, and the list's counts follow. The page survives
a reload; a new tab without the address says how to get it; and another
program's web server, visited from the app's page, learns nothing of the
app's token (no header, cookie, address or Referer of its requests holds
it). Saves a screenshot of the page to SCREENSHOT. REMOVAL: the words of
Tidy's preview for where replays go (default "deleted for good"). Exit
status 1 on any failure."""
import base64, http.server, json, os, re, subprocess, sys, filecmp, threading, time, urllib.parse, urllib.request

from browser import Browser

address, saves, game_replay, new_race, screenshot, companion, share = sys.argv[1:8]
# Where Tidy's replays go, in the preview's words: deleted on Linux, into
# the Recycle Bin on Windows.
removal = sys.argv[8] if len(sys.argv) > 8 else "deleted for good"
failures = []


def fail(what):
    print("FAIL: " + what)
    failures.append(what)


# Per chart (by track and type): the races its summary counts, its dots,
# and whether every dot lies inside the drawing.
charts = """Object.fromEntries(Array.from(document.querySelectorAll('.chart svg')).map(svg => {
  const c = svg.parentNode, dots = Array.from(c.querySelectorAll('.chart-point circle'));
  return [c.querySelector('h3').textContent,
          [parseInt(c.querySelector('.chart-summary').textContent) || 0, dots.length,
           dots.every(d => +d.getAttribute('cx') >= 0 && +d.getAttribute('cx') <= svg.viewBox.baseVal.width)]];
}))"""
tidy_said = "document.getElementById('tidy-said').textContent"
# What the app said beside a replay's row.
said_of = "document.querySelector('.actions[data-file=\"%s\"]').parentNode.querySelector('.said').textContent"
# Rows are drawn by the page's script once the app answered.
rows_drawn = "document.querySelectorAll('#replays tbody tr').length > 0"

base = address.split("/#", 1)[0]
token = address.split("#token=", 1)[1]


# Another program's web server on this computer: it keeps every request's
# line and headers, and its page asks the app for its rows as it can.
class Other(http.server.BaseHTTPRequestHandler):
    seen = []

    def do_GET(self):
        Other.seen.append(self.requestline + "\n" + str(self.headers))
        page = ("<!DOCTYPE html><title>other</title><script>fetch('%s/api/rows', "
                "{credentials: 'include', mode: 'no-cors'}).finally(() => "
                "{ document.title = 'asked'; });</script>" % base).encode()
        self.send_response(200)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(page)))
        self.end_headers()
        self.wfile.write(page)

    def log_message(self, *args):
        pass


other = http.server.HTTPServer(("127.0.0.1", 0), Other)
threading.Thread(target=other.serve_forever, daemon=True).start()
other_address = "http://127.0.0.1:%d/visited" % other.server_address[1]

browser = Browser()
try:
    if not browser.open(address) or not browser.wait_for(rows_drawn):
        fail("the page did not load")
    if browser.js("location.hash").find("token") >= 0:
        fail("the address bar still shows the token: " + browser.js("location.href"))
    # A reload works within the tab.
    browser.js("window.ra_before_reload = true")
    browser.page("Page.reload")
    if not browser.wait_for("!window.ra_before_reload && " + rows_drawn):
        fail("the page did not load again after a reload")
    rows = browser.js("document.querySelectorAll('#replays tbody tr').length")
    files = browser.js("Array.from(document.querySelectorAll('#replays .actions'))"
                       ".map(a => a.getAttribute('data-file'))")
    if not files:
        fail("no row has the app's buttons (%s rows)" % rows)
        raise SystemExit(1)

    # Each lap the table shows is the app's text of it: the race's fastest
    # lap and the chosen racer's own (lap_text, yours_text; "-" for none).
    racer = browser.js("window.raLibraryPage.racer()")
    asked = urllib.request.Request(base + "/api/rows?limit=500&racer=" + urllib.parse.quote(racer),
                                   headers={"Authorization": "Bearer " + token})
    with urllib.request.urlopen(asked, timeout=10) as answer:
        texts = {r["id"]: [r["lap_text"] or "-", r["yours_text"] or "-"] for r in json.load(answer)["rows"]}
    shown = browser.js("""(() => {
      const keys = Array.from(document.querySelectorAll('#replays thead th')).map(th => th.getAttribute('data-key'));
      return Array.from(document.querySelectorAll('#replays tbody tr')).map(tr => [tr.getAttribute('data-id'),
        ['lap', 'yours'].map(k => tr.cells[keys.indexOf(k)].firstChild.textContent)]);
    })()""")
    if not any(lap != "-" for _, (lap, _) in shown) or any(texts.get(i) != laps for i, laps in shown):
        fail("the table's laps are not the app's texts: %r, want %r" % (shown, texts))

    # Watch the oldest race that is there.
    watched = files[-1]
    browser.js("document.querySelector('.actions[data-file=\"%s\"] [data-do=watch]').click()" % watched)
    # Its answer beside the row, which is marked until the game's replay changes.
    if not browser.wait_for((said_of % watched) + ".indexOf('The game will play') === 0"):
        fail("Watch showed beside its row: %r" % browser.js(said_of % watched))
    elif not filecmp.cmp(os.path.join(saves, watched), game_replay, shallow=False):
        fail("Watch did not put %s in the game's place" % watched)
    loaded = ("Array.from(document.querySelectorAll('#replays .loaded')).filter(m => !m.hidden)"
              ".map(m => m.parentNode.querySelector('.actions').getAttribute('data-file'))")
    if browser.js(loaded) != [watched]:
        fail("the rows marked loaded in the game: %r, want [%r]" % (browser.js(loaded), watched))

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
    # Its track's chart has one race more, every dot inside the plot (the
    # charts are drawn again after the rows, from their own answers).
    def one_chart_grown():
        after = browser.js(charts) or {}
        grown = [t for t in after if after[t] != charts_before.get(t)]
        return after, len(grown) == 1 and [after[t] for t in grown] == [
            [charts_before[grown[0]][0] + 1, charts_before[grown[0]][1] + 1, True]]
    deadline = time.time() + 10
    charts_after, grown = one_chart_grown()
    while not grown and time.time() < deadline:
        time.sleep(0.2)
        charts_after, grown = one_chart_grown()
    if not grown:
        fail("the charts after the new race: %r, were %r" % (charts_after, charts_before))
    # A chart's dot opens its race's details, a removed race's too: the
    # record still tells them.
    dots = browser.js("Array.from(document.querySelectorAll('.chart-point'))"
                      ".map(a => a.getAttribute('href') || '')")
    linked = [d for d in dots if d.startswith("/race?file=")]
    if not dots or len(linked) != len(dots):
        fail("the charts' dots do not link to their races' details: %r" % dots)

    # Friends: a share picked in the file input is imported; the friend,
    # and their time on the leaderboard, appear without a reload.
    picker = browser.page("Runtime.evaluate", expression="document.getElementById('import-file')")
    browser.page("DOM.setFileInputFiles", files=[share], objectId=picker["result"]["objectId"])
    friend_rows = "Array.from(document.querySelectorAll('#friends-list .friend-name')).map(c => c.textContent)"
    if not browser.wait_for(friend_rows + ".join() === 'Renée'"):
        fail("the Friends view after the import: %r, said %r" %
             (browser.js(friend_rows), browser.js("document.getElementById('friends-said').textContent")))
    # The import in one sentence, each replay in its details.
    told = browser.js("document.getElementById('friends-said').textContent")
    details = browser.js("(document.querySelector('.import-details pre') || {}).textContent || ''")
    if not re.fullmatch(r"Added [1-9][0-9]* of Renée's races \(0 already here\)\.", (told or "").strip()) or \
            "new replay: " not in details:
        fail("the import said %r, its details %r" % (told, details))
    board = ("Array.from(document.querySelectorAll('#friends-boards tr')).filter(r => r.cells.length)"
             ".map(r => Array.from(r.cells).map(c => c.textContent).slice(1, 6).join('|'))")
    rows_on_board = browser.js(board) or []
    if not any(r.startswith("Renée|") and r.endswith("|with its replay (watch to check)") for r in rows_on_board) or \
            not any(r.startswith("Zoë (you)|") for r in rows_on_board):
        fail("the leaderboard shows %r" % rows_on_board)
    if not os.path.isdir(os.path.join(saves, "Friends", "Renée")):
        fail("the import wrote no Friends/Renée")

    # Her shared replay plays in the game as the player's own do.
    watch_hers = "Array.from(document.querySelectorAll('#friends-boards button')).find(b => b.textContent === 'Watch')"
    browser.js(watch_hers + ".click()")
    said = watch_hers + ".parentNode.querySelector('.said')"
    if not browser.wait_for("%s.textContent !== '' && !%s.classList.contains('failed')" % (said, said)):
        fail("Watch of Renée's shared lap said %r" % browser.js(said + ".textContent"))

    shot = browser.page("Page.captureScreenshot", format="png")["data"]
    with open(screenshot, "wb") as out:
        out.write(base64.b64decode(shot))

    # Her races open from her row, each button naming the race; Keep marks
    # it in her folder's own marks, and Remove, once confirmed, takes it
    # from her folder and her record.
    hers = os.path.join(saves, "Friends", "Renée")
    her_race = [f for f in os.listdir(hers) if f.endswith(".rp4")][0]
    race_button = "Array.from(document.querySelectorAll('#friend-races button')).find(b => b.textContent === '%s')"
    browser.js("document.querySelector('[aria-label=\"Races of Renée\"]').click()")
    if not browser.wait_for("!!" + race_button % "Keep"):
        fail("Renée's races did not open: %r" % browser.js("document.getElementById('friend-races').textContent"))
    elif not browser.js("/^Keep Renée's \\S+, \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d$/.test(%s.getAttribute('aria-label'))"
                        % (race_button % "Keep")):
        fail("Keep of Renée's race is named %r" % browser.js((race_button % "Keep") + ".getAttribute('aria-label')"))
    browser.js((race_button % "Keep") + ".click()")
    if not browser.wait_for("!!" + race_button % "Unkeep"):
        fail("Keep of Renée's race did not turn into Unkeep")
    with open(os.path.join(hers, "replays.keep"), "rb") as marks:
        if her_race.encode() not in marks.read():
            fail("Renée's replays.keep does not name " + her_race)
    browser.js((race_button % "Unkeep") + ".click()")
    browser.wait_for("!!" + race_button % "Keep")
    browser.js((race_button % "Remove") + ".click()")
    browser.js("document.querySelector('#friend-races .confirm button').click()")
    if not browser.wait_for("document.querySelectorAll('#friend-races tbody tr').length === 0"):
        fail("Renée's removed race is still listed: %r" %
             browser.js("document.getElementById('friend-races').textContent"))
    with open(os.path.join(hers, "replays.csv"), "rb") as record:
        if os.path.exists(os.path.join(hers, her_race)) or her_race.encode() in record.read():
            fail("Remove left %s in Renée's folder or record" % her_race)

    # Remove asks first, naming the friend; then their folder goes.
    browser.js("document.querySelector('[aria-label=\"Remove Renée\"]').click()")
    browser.js("Array.from(document.querySelectorAll('#friends .confirm button'))"
               ".find(b => b.textContent === 'Remove Renée').click()")
    if not browser.wait_for(friend_rows + ".length === 0"):
        fail("Renée is still in the Friends view: %r" % browser.js(friend_rows))
    if os.path.exists(os.path.join(saves, "Friends", "Renée")):
        fail("Remove left Friends/Renée")

    # Tidy with a policy that would remove the oldest replay, kept too now,
    # by keyboard as a player goes: Tidy, Enter, Tab, the number, Enter.
    oldest = files[-1]
    browser.js("document.querySelector('.actions[data-file=\"%s\"] [data-do=keep]').click()" % oldest)
    if not browser.wait_for("!!document.querySelector('.actions[data-file=\"%s\"] [data-do=unkeep]')" % oldest):
        fail("Keep did not turn into Unkeep for %s" % oldest)
    focused = "document.activeElement && document.activeElement.id"
    browser.js("document.querySelector('#tidy summary').focus()")
    browser.press("Enter")
    browser.press("Tab")
    if not browser.js("document.activeElement.name === 'keep'"):
        fail("Tab from Tidy's summary did not reach its Keep the newest")
    browser.press("1")
    # Enter goes down and stays down: the preview comes, the focus on
    # Cancel, and the key's repeats there remove nothing.
    browser.key_down("Enter")
    if not browser.wait_for("!document.getElementById('tidy-apply').hidden"):
        fail("the Tidy preview offers no removal: %r" % browser.js(tidy_said))
    if browser.js(focused) != "tidy-cancel":
        fail("after the preview the focus is on %r, not Cancel" % browser.js(focused))
    for _ in range(3):
        browser.key_down("Enter", repeat=True)
    browser.key_up("Enter")
    time.sleep(1)
    if browser.js(focused) != "tidy-cancel" or browser.js("document.getElementById('tidy-plan').hidden"):
        fail("Enter held after the preview left the focus on %r" % browser.js(focused))
    gone_early = [f for f in files if not os.path.exists(os.path.join(saves, f))]
    if gone_early:
        fail("Enter held after the preview removed %r" % gone_early)
    # The player's words: how many go, the space freed, where they go; no
    # console option in sight; the button says what it does.
    # The Windows program (on Wine) has a Recycle Bin, Linux none.
    going = [f for f in files if f not in (kept, oldest)]
    recycled = removal != "deleted for good"
    preview = browser.js(tidy_said)
    if (not preview.startswith("%d replays would go, freeing " % len(going)) or
            removal not in preview or "--" in preview or "prune" in preview):
        fail("the Tidy preview says: %r" % preview)
    freed = re.search(r"freeing (.+?)\. ", preview)
    words = browser.js("document.getElementById('tidy-apply').textContent")
    if not freed or words != ("Move %d replays (%s) to the Recycle Bin" if recycled else
                              "Delete %d replays (%s) for good") % (len(going), freed.group(1)):
        fail("the button that removes says %r" % words)
    # The deliberate step: Tab to that button, Enter. It removes what the
    # preview said, and the list's counts are the list's after it.
    browser.press("Tab")
    if browser.js(focused) != "tidy-apply":
        fail("Tab from Cancel reached %r, not the button that removes" % browser.js(focused))
    browser.press("Enter")
    if not browser.wait_for("%s.indexOf('%d replays removed') === 0" % (tidy_said, len(going))):
        fail("Tidy's apply showed: %r" % browser.js(tidy_said))
    there = set(os.listdir(saves))
    for f in files:
        if (f in (kept, oldest)) != (f in there):
            fail("after Tidy %s is %s" % (f, "there" if f in there else "gone"))
    # Their rows stay as removed ones (the record keeps the races), without
    # the buttons of a replay that is there, and the counts are the list's.
    counted = "document.getElementById('shown').textContent"
    listed = "document.querySelectorAll('#replays tbody tr').length"
    want = "%d of %d shown" % (before + 1, before + 1)
    buttons = "Array.from(document.querySelectorAll('#replays .actions')).map(a => a.getAttribute('data-file'))"
    if not browser.wait_for("%s === %s && %s === %d && !%s.some(f => %s.includes(f))" %
                            (counted, json.dumps(want), listed, before + 1, buttons, json.dumps(going))):
        fail("after Tidy the list says %r of its %d rows (want %r), with the buttons of %r" %
             (browser.js(counted), browser.js(listed), want, browser.js(buttons)))
    if not browser.js("window.ra_unreloaded === true"):
        fail("the page was reloaded after Tidy")

    # The details of a race, opened by its address: every racer.
    browser.js("document.querySelector('.actions[data-file=\"%s\"] a').click()" % kept)
    if not browser.wait_for("location.pathname === '/race' && !!document.getElementById('racers')"):
        fail("the details page did not open")
    racers = browser.js("Array.from(document.querySelectorAll('#racers tbody tr'))"
                        ".map(r => r.cells[1].textContent)")
    if racers != ["Zoë (you)", "<script>", "Renée"]:
        fail("the details show the racers %r" % racers)

    # A new tab has no token: it says how to get the address, and shows nothing else.
    tab = browser.call("Target.createTarget", url=base + "/")["targetId"]
    in_tab = browser.call("Target.attachToTarget", targetId=tab, flatten=True)["sessionId"]
    notice = "(() => { const n = document.getElementById('no-token'); return !!n && !n.hidden; })()"
    end = time.time() + 15
    while time.time() < end and not browser.call("Runtime.evaluate", in_tab, expression=notice,
                                                  returnByValue=True)["result"].get("value"):
        time.sleep(0.2)
    said = browser.call("Runtime.evaluate", in_tab, returnByValue=True,
                        expression="document.body.innerText")["result"].get("value") or ""
    if "replay-autosave serve" not in said or "printed" not in said:
        fail("a new tab without the address says: %r" % said[:300])

    # Another program's page, opened from the app's: none of its requests
    # holds the token, as a header, a cookie, in its address or Referer.
    browser.js("const a = document.createElement('a'); a.href = %r; a.textContent = 'x';"
               "document.body.appendChild(a); a.click()" % other_address)
    if not browser.wait_for("document.title === 'asked'"):
        fail("the other program's page did not load")
    if not Other.seen:
        fail("the other program's server saw no request")
    for request in Other.seen:
        low = request.lower()
        if token in request or "ra_token" in low or "\ncookie:" in low or \
                "\nreferer: " + base.lower() in low:
            fail("another program's server received: %r" % request)
finally:
    other.shutdown()
    browser.close()
sys.exit(1 if failures else 0)
