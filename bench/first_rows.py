#!/usr/bin/env python3
"""first_rows.py ADDRESS [TRIES]

How long headless Chromium takes from asking for the library app's page
(ADDRESS, as serve prints it) to showing its first rows: milliseconds from
the navigation's start to the first row of the table in the page, as the
page itself counts them (performance.now()), best and median of TRIES
(default 5) fresh loads. A figure, not a test."""
import os, statistics, sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "cli",
                                "serve"))
from browser import Browser

address = sys.argv[1]
tries = int(sys.argv[2]) if len(sys.argv) > 2 else 5
# Set in each new document before its own scripts run: the moment a row
# of the table is first there.
watch_rows = """
new MutationObserver(function (changes, observer) {
  if (document.querySelector('#replays tbody tr')) {
    window.firstRowsAt = performance.now();
    observer.disconnect();
  }
}).observe(document, {childList: true, subtree: true});
"""

browser = Browser()
try:
    browser.page("Page.enable")
    browser.page("Page.addScriptToEvaluateOnNewDocument", source=watch_rows)
    times = []
    for _ in range(tries):
        # From another page: the address again from the page itself would
        # only move within it.
        browser.open("about:blank")
        browser.page("Page.navigate", url=address)
        if not browser.wait_for("typeof window.firstRowsAt === 'number'", 60):
            sys.exit("no row appeared within 60 s")
        times.append(browser.js("window.firstRowsAt") / 1000)
    print("best %.3f s, median %.3f s" % (min(times), statistics.median(times)))
finally:
    browser.close()
