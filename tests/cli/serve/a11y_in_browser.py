#!/usr/bin/env python3
"""a11y_in_browser.py ADDRESS STATIC_PAGE AXE_SCRIPT ARTIFACTS FRIEND

The library app as a player who goes by keyboard, in the dark or on a
phone would meet it, in headless Chromium (browser.py). In the light theme
and in the dark one: axe-core (AXE_SCRIPT, run inside the page) finds no
violation on the main page, with Tidy open and the answers of the actions
shown, with the Friends view showing a friend imported, their races, and its
leaderboard, and on a race's details; the keys alone (Tab, Enter, Space, arrows,
digits) open Tidy and preview it, use the filters and a sort header, Watch
and Keep a race and open its details, every focused element showing a ring
that stands out from what is behind it. The static page (STATIC_PAGE) has
no violation in either theme. At a phone's 390 px, in both themes, with
the game at a long path and names at length (long_names.sh; FRIEND is how
the Friends view shows the friend), no element of the list with Tidy
previewed, the Friends view with the friend's races, a race's details or
the static page reaches past the screen's edge. Keeps
screenshots of the dark theme and the phone in ARTIFACTS. Exit status 1 on
any failure."""
import base64, json, os, sys

from browser import Browser

address, static_page, axe_script, artifacts, friend = sys.argv[1:6]
base = address.split("/#", 1)[0]
failures = []
phone_width = 390  # CSS pixels, a common phone held upright
# Presses of Tab allowed to reach one control: the whole page of a season.
tab_limit = 200


def fail(what):
    print("FAIL: " + what)
    failures.append(what)


with open(axe_script, encoding="utf-8") as f:
    axe_source = f.read()

# What axe-core finds, one line per rule broken, with the first few places.
axe_report = """axe.run(document, {resultTypes: ['violations']}).then(r => r.violations.map(v =>
  v.id + ' (' + v.nodes.length + '): ' + v.help + ': ' + v.nodes.slice(0, 3).map(n =>
    n.target.join(' ') + ' [' + n.any.concat(n.all, n.none).map(c => c.message).join(' ') + ']'
  ).join('; ')))"""

# The focused element's ring: an outline of at least 2px (or a box shadow)
# whose colour has at least 3:1 against the background behind it, not cut
# off by a box around it. Empty when it has one, else what is wrong; null
# when nothing is focused.
focus_ring = """(() => {
  const e = document.activeElement;
  if (!e || e === document.body) return null;
  const rgb = c => (c.match(/[\\d.]+/g) || []).map(Number);
  const lum = c => {
    const f = v => (v /= 255) <= 0.03928 ? v / 12.92 : Math.pow((v + 0.055) / 1.055, 2.4);
    return 0.2126 * f(c[0]) + 0.7152 * f(c[1]) + 0.0722 * f(c[2]);
  };
  let behind = [255, 255, 255];
  for (let p = e.parentElement; p; p = p.parentElement) {
    const c = rgb(getComputedStyle(p).backgroundColor);
    if (c.length === 3 || (c.length === 4 && c[3] > 0)) { behind = c; break; }
  }
  const s = getComputedStyle(e);
  const name = e.tagName.toLowerCase() + (e.id ? '#' + e.id : '') +
               (e.getAttribute('data-do') ? '[' + e.getAttribute('data-do') + ']' : '');
  let ring = null;
  if (s.outlineStyle !== 'none' && parseFloat(s.outlineWidth) >= 2) ring = rgb(s.outlineColor);
  else if (s.boxShadow !== 'none') ring = rgb(s.boxShadow);
  if (!ring) return name + ' shows no focus ring';
  // A box that scrolls clips what reaches past its edge.
  const r = e.getBoundingClientRect();
  const out = s.outlineStyle !== 'none' ? parseFloat(s.outlineOffset) + parseFloat(s.outlineWidth) : 0;
  for (let p = e.parentElement; p && p !== document.body; p = p.parentElement) {
    const ps = getComputedStyle(p);
    if (ps.overflowX === 'visible' && ps.overflowY === 'visible') continue;
    const b = p.getBoundingClientRect();
    if (r.left - out < b.left || r.top - out < b.top || r.right + out > b.right || r.bottom + out > b.bottom)
      return name + "'s focus ring is cut off by its box " + p.tagName.toLowerCase() + '.' + p.className;
  }
  const a = lum(ring), b = lum(behind);
  const ratio = (Math.max(a, b) + 0.05) / (Math.min(a, b) + 0.05);
  return ratio >= 3 ? '' : name + "'s focus ring has " + ratio.toFixed(2) + ':1';
})()"""

# The rows may come from the server or be drawn by the page's script.
rows_there = "document.querySelectorAll('#replays tbody tr .actions').length > 0"
static_rows_there = ("document.querySelectorAll('#replays tbody tr').length > 0 && "
                     "document.querySelectorAll('#others tbody tr').length > 0")
active = "document.activeElement"


def in_theme(browser, theme):
    browser.page("Emulation.setEmulatedMedia",
                 features=[{"name": "prefers-color-scheme", "value": theme}])


def no_violations(browser, where):
    if not browser.js("typeof axe !== 'undefined'"):
        browser.page("Runtime.evaluate", expression=axe_source)
    found = browser.js(axe_report)
    if found is None:
        fail(where + ": axe-core did not run")
    for violation in found or []:
        fail(where + ": " + violation)


class Keyboard:
    """Tabs through the page as a player would, checking each ring."""

    def __init__(self, browser, theme):
        self.browser, self.theme, self.rings = browser, theme, set()

    def tab_to(self, selector, what):
        for _ in range(tab_limit):
            self.browser.press("Tab")
            ring = self.browser.js(focus_ring)
            if ring and ring not in self.rings:
                self.rings.add(ring)
                fail("%s theme: %s" % (self.theme, ring))
            if self.browser.js("%s.matches(%s)" % (active, json.dumps(selector))):
                return True
        fail("%s theme: Tab never reached %s" % (self.theme, what))
        return False

    def use_select(self, selector, what):
        """Picks the next choice with the arrows, sees fewer rows, and back."""
        if not self.tab_to(selector, what):
            return
        shown = "document.getElementById('shown').textContent"
        before = self.browser.js(shown)
        self.browser.press("ArrowDown")
        if not self.browser.wait_for("%s !== %s" % (shown, json.dumps(before)), 5):
            fail("%s theme: ArrowDown on %s left %r" % (self.theme, what, before))
        self.browser.press("ArrowUp")
        if not self.browser.wait_for("%s === %s" % (shown, json.dumps(before)), 5):
            fail("%s theme: ArrowUp on %s did not give all rows back" % (self.theme, what))


def keyboard_path(browser, theme):
    """Every action of the main page by keys alone; ends on a race's details."""
    k = Keyboard(browser, theme)
    # Tidy: open the panel, ask to keep the newest 5, preview.
    if k.tab_to("#tidy summary", "Tidy"):
        browser.press("Enter")
        if not browser.js("document.getElementById('tidy').open"):
            fail(theme + " theme: Enter did not open Tidy")
    if k.tab_to("#tidy-form [name=keep]", "Tidy's Keep the newest"):
        browser.press("5")
    if k.tab_to("#tidy-preview", "Tidy's Preview"):
        browser.press("Enter")
        if not browser.wait_for("!document.getElementById('tidy-apply').hidden"):
            fail(theme + " theme: the preview offers nothing to remove: %r" %
                 browser.js("document.getElementById('tidy-said').textContent"))
        k.tab_to("#tidy-apply", "the button of Tidy that removes")

    k.use_select("#filter-track", "the Track filter")
    k.use_select("#filter-type", "the Type filter")

    sort = "document.querySelector('th[data-key=lap]').getAttribute('aria-sort')"
    if k.tab_to("th[data-key=lap] button", "the Fastest lap header"):
        before = browser.js(sort)
        browser.press("Enter")
        if browser.js(sort) == before:
            fail(theme + " theme: Enter on the Fastest lap header did not sort (%r)" % before)

    # The first race not kept yet (the light theme's stays kept, so that the
    # dark one shows a mark too): Watch it, keep it, open it.
    file = browser.js("document.querySelector('#replays .actions [data-do=keep]')"
                      ".parentNode.getAttribute('data-file')")
    row = "#replays .actions[data-file=\"%s\"] " % file
    if k.tab_to(row + "[data-do=watch]", "Watch"):
        browser.press("Enter")
        # An answer beside the row that is no failure (the game may play it
        # already).
        result = "document.querySelector('%s').closest('td').querySelector('.said')" % (row + "[data-do=watch]")
        if not browser.wait_for("%s.textContent !== '' && !%s.classList.contains('failed')" % (result, result)):
            fail(theme + " theme: Enter on Watch showed %r" % browser.js(result + ".textContent"))
    if k.tab_to(row + "[data-do=keep]", "Keep"):
        browser.press(" ")
        if not browser.wait_for("!!document.querySelector('%s[data-do=unkeep]')" % row):
            fail(theme + " theme: Space on Keep did not mark the race")
    # The answers shown and Tidy open, as the player left them.
    no_violations(browser, "main page, Tidy open, answers shown (%s)" % theme)
    if k.tab_to(row + "a", "Details"):
        browser.press("Enter")
        if not browser.wait_for("location.pathname === '/race' && !!document.getElementById('racers')"):
            fail(theme + " theme: Enter on Details did not open the details")


def screenshot(browser, name):
    shot = browser.page("Page.captureScreenshot", format="png")["data"]
    with open(os.path.join(artifacts, name), "wb") as out:
        out.write(base64.b64decode(shot))


# Every element whose right edge passes the screen's, as tag.class "text";
# what a box that hides its overflow (a table head left to screen readers)
# clips away is not on the screen.
past_edge = """((width) => {
  const clipping = e => ['hidden', 'clip'].includes(getComputedStyle(e).overflowX);
  return Array.from(document.body.querySelectorAll('*')).filter(e => {
    const r = e.getBoundingClientRect();
    if (!r.width && !r.height) return false;
    let right = r.right;
    for (let p = e.parentElement; p; p = p.parentElement) {
      if (clipping(p)) right = Math.min(right, p.getBoundingClientRect().right);
    }
    return right > r.left && right > width + 0.5;
  }).map(e => {
    const name = e.tagName.toLowerCase() + (typeof e.className === 'string' && e.className ?
                 '.' + e.className.trim().split(/\\s+/).join('.') : '');
    return name + ' "' + (e.textContent || '').trim().slice(0, 40) + '" reaches ' +
           Math.round(e.getBoundingClientRect().right) + ' px';
  });
})(%d)"""


def within_phone(browser, where):
    """No sideways scrolling, and every element on the screen."""
    wide = browser.js("document.scrollingElement.scrollWidth")
    if wide > phone_width:
        fail("%s at %d px scrolls sideways: %d px wide" % (where, phone_width, wide))
    outside = browser.js(past_edge % phone_width) or []
    for e in outside[:8]:
        fail("%s at %d px: past the edge: %s" % (where, phone_width, e))
    if len(outside) > 8:
        fail("%s at %d px: %d more elements past the edge" % (where, phone_width, len(outside) - 8))


# The Friends view drew its friend and leaderboard from the app's answer.
friends_there = ("document.querySelectorAll('#friends-list tbody tr').length > 0 && "
                 "document.querySelectorAll('#friends-boards table').length > 0")



def open_races(browser, where):
    """Opens the friend's races, so that what is checked next covers them."""
    browser.js("Array.from(document.querySelectorAll('#friends-list button')).find(b => "
               "b.getAttribute('aria-label') === %s).click()" % json.dumps("Races of " + friend))
    if not browser.wait_for("document.querySelectorAll('#friend-races tbody button').length > 0"):
        fail(where + ": %s's races did not open" % friend)


def open_tidy(browser, where):
    """Tidy open and previewed, with its buttons shown."""
    browser.js("document.getElementById('tidy').open = true;"
               "document.querySelector('#tidy-form [name=keep]').value = '3';"
               "document.getElementById('tidy-preview').click()")
    if not browser.wait_for("!document.getElementById('tidy-apply').hidden"):
        fail(where + ": the Tidy preview offers nothing to remove")


browser = Browser()
try:
    browser.page("Emulation.setFocusEmulationEnabled", enabled=True)
    if not browser.open(address) or not browser.wait_for(rows_there):
        fail("the app's page did not load with its rows")
        raise SystemExit(1)
    for theme in ("light", "dark"):
        in_theme(browser, theme)
        if not browser.open(base + "/") or not browser.wait_for(rows_there):
            fail(theme + " theme: the app's page did not load with its rows")
            continue
        if not browser.wait_for(friends_there):
            fail(theme + " theme: the Friends view shows no friend")
        open_races(browser, theme + " theme")
        no_violations(browser, "main page (%s)" % theme)
        keyboard_path(browser, theme)
        if browser.js("location.pathname") == "/race":
            no_violations(browser, "details page (%s)" % theme)
    screenshot(browser, "a11y-dark-details.png")

    for theme in ("light", "dark"):
        in_theme(browser, theme)
        if browser.open("file://" + static_page) and browser.wait_for(static_rows_there):
            no_violations(browser, "static page (%s)" % theme)
        else:
            fail("the static page did not load with its table of other files")

    # On a phone, in both themes: the list with Tidy previewed, the Friends
    # view with the friend's races, a race's details and the static page.
    browser.page("Emulation.setDeviceMetricsOverride", width=phone_width, height=844,
                 deviceScaleFactor=2, mobile=True)
    for theme in ("light", "dark"):
        in_theme(browser, theme)
        if not (browser.open(base + "/") and browser.wait_for(rows_there) and
                browser.wait_for(friends_there)):
            fail("the app's page did not load on the phone (%s)" % theme)
            continue
        open_races(browser, "phone")
        open_tidy(browser, "phone")
        # The charts offer the friend to compare with once the view has them.
        if not browser.wait_for("!!document.querySelector('.chart select[data-control=friend]')"):
            fail("phone (%s): no chart offers the friend to compare with" % theme)
        within_phone(browser, "the main page (%s)" % theme)
        if theme == "light":
            no_violations(browser, "main page (phone)")
            browser.js("document.getElementById('replays').scrollIntoView()")
            screenshot(browser, "a11y-phone.png")
        details = browser.js("document.querySelector('#replays .actions a').href")
        if browser.open(details) and browser.wait_for("!!document.getElementById('racers')"):
            within_phone(browser, "the details page (%s)" % theme)
        else:
            fail("phone (%s): the details did not open" % theme)
        if browser.open("file://" + static_page) and browser.wait_for(static_rows_there):
            within_phone(browser, "the static page (%s)" % theme)
        else:
            fail("phone (%s): the static page did not load" % theme)
finally:
    browser.close()
sys.exit(1 if failures else 0)
