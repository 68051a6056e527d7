#!/usr/bin/env python3
"""same_answers.py [--races N] [--work DIR] [--show N] [--cache GLOB]
                  [--loose-cursors] [--added-fields-ok] [--dropped-fields F,...]
                  OLD NEW

Whether two builds of the companion give the library app's page the same
answers. OLD and NEW are program commands, each one word or a quoted line
("qemu-i386-static build/i386/tools/replay-autosave"). One library is made
(bench/long_season.py: N races, default 5000, and a few of every other kind
of line and file, accented racers among them), copied once for each
program, and each program's `serve` is started on its own copy with its own
port. Both are asked the same read queries (the list at its page
boundaries, every sort both ways, every filter, searches, personal bests,
the facts, charts, state, friends, leaderboards, race details) and the same
actions in the same order (keep and unkeep, Watch, imports of a share and
a card, alias, a friend's replay removed, Tidy previewed and applied,
share and card previews, refusals), the lists asked again after each. The
save folders are compared at the end.

  python3 bench/same_answers.py /tmp/pre35/replay-autosave build/release/tools/replay-autosave

Prints each difference and "N of N queries gave the same answer"; exits 1
when any answer or the folders differ. Every query and the old program's
answer go to WORK/answers.jsonl (WORK: --work, default /tmp/same_answers).
The folders are compared by their files' names and sizes, the caches
(--cache, default *.index and *.index-*) aside.

What legitimately differs from run to run is made alike before the answers
are compared:
  - cursors: each server's versions start at its index's birth time, so
    every "cursor" is compared as its distance from the server's first one
    (with --loose-cursors, only as being a cursor: a program that counts
    its changes otherwise still answers the page rightly);
  - times of the run, in "state" and "game" (size@time of the record, the
    marks, Dir, the game's replay) and "imported" (when a share came);
  - each copy's own folder, wherever an answer names it;
  - the pages' shells (GET /, GET /race): their nonce is new each time and
    they embed the page's scripts, so only their status and type are
    compared.
The token, the port and the address are each server's own and never part
of an answer. --added-fields-ok lets the new program's answers carry fields
the old ones lack (the old page reads none of them); a changed or missing
field is still a difference. --dropped-fields rows,cursor leaves those fields
of an action's (POST) answer out of the comparison where the new program
does not send them (its page asks /state after an action instead).
"""
import argparse
import fnmatch
import http.client
import json
import os
import re
import shlex
import shutil
import socket
import subprocess
import sys
import time
import urllib.parse

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, here)
sys.path.insert(0, os.path.join(here, "..", "tests", "cli", "friends"))
import big_share  # noqa: E402
import long_season  # noqa: E402

# How long a server may take to print its address, and its index to be built.
start_seconds, index_seconds = 60, 600
# What --loose-cursors and --added-fields-ok allow.
loose = {"cursors": False, "added": False, "dropped": set()}
# The places of one difference shown.
differences_shown = 5
# The game's code page, in which the plug-in writes the record.
game_code_page = "cp1252"


def make_library(game, races):
    """The game's folder: its INI, Dir with a long season, and a few of every
    other kind: accented racers, a race whose file is gone, a file the
    record does not name, a line that cannot be read."""
    saves = os.path.join(game, "SaveData", "Saves")
    os.makedirs(saves)
    os.makedirs(os.path.join(game, "Replays"))
    game_replay = os.path.join(game, "Replays", "replay.rp4")
    open(game_replay, "wb").write(b"the game's own replay")
    # Long ago: a replay written just now is one the game may still be saving.
    os.utime(game_replay, (long_season.start, long_season.start))
    open(os.path.join(game, "replay_autosave.ini"), "wb").write(b"[ReplayAutosave]\r\nRecord = 1\r\n")
    long_season.make(saves, races)
    extra = []
    accented = ["Zo\u00eb", "Ren\u00e9e", "Ana", "Rival:One"]
    for k in range(6):
        i = races + k
        name = long_season.race_name(i)
        path = os.path.join(saves, name)
        open(path, "w").write("r")
        os.utime(path, (long_season.race_time(i), long_season.race_time(i)))
        names = ["Player"] + accented[k % 4:] + accented[:k % 4]
        extra.append(long_season.race_line(i, races + 6, names[:4]))
    # The newest race (named as of a later day): its file is gone.
    extra.append(long_season.race_line(races + 6, races + 7, ["Player", "Ana", "Speedy", "Racer4"],
                                       name="2031-01-01_10-00-00_SR_ALPINE_3L.rp4"))
    extra.append("not,a,race,line")
    with open(os.path.join(saves, "replays.csv"), "ab") as record:
        record.write(("\r\n".join(extra) + "\r\n").encode(game_code_page))
    open(os.path.join(saves, "stray copy.rp4"), "w").write("r")
    open(os.path.join(saves, "notes.txt"), "w").write("not a replay")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Server:
    """One program's serve on its own copy of the game's folder."""

    def __init__(self, label, command, game, work):
        self.label, self.game = label, os.path.realpath(game)
        # The folder as answers name it: here, and as Wine shows it to a Windows build.
        self.names = [self.game, "Z:" + self.game.replace("/", "\\")]
        self.port = free_port()
        self.out = open(os.path.join(work, label + ".out"), "w+")
        self.process = subprocess.Popen(
            command + ["serve", "--ini", "replay_autosave.ini", "--no-open", "--port", str(self.port)],
            cwd=self.game, stdout=self.out, stderr=subprocess.STDOUT)
        self.token = None
        self.base = None  # the first cursor, which every other is measured from
        self.cursor = None  # the latest cursor an answer told
        deadline = time.time() + start_seconds
        while self.token is None:
            self.out.seek(0)
            found = re.search(r"http://127\.0\.0\.1:%d/#token=([0-9a-f]+)" % self.port, self.out.read())
            if found:
                self.token = found.group(1)
            elif self.process.poll() is not None or time.time() > deadline:
                self.out.seek(0)
                sys.exit("%s: serve printed no address:\n%s" % (label, self.out.read()))
            else:
                time.sleep(0.1)

    def ask(self, method, path, body=None, kind="application/x-www-form-urlencoded", token=True):
        """The answer as (status, type, body bytes)."""
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=600)
        headers = {"Authorization": "Bearer " + self.token} if token else {}
        if body is not None:
            headers["Content-Type"] = kind
        connection.request(method, path, body=body, headers=headers)
        answer = connection.getresponse()
        data = answer.read()
        connection.close()
        return answer.status, answer.getheader("Content-Type", ""), data

    def wait_for_index(self):
        deadline = time.time() + index_seconds
        while True:
            status, _, data = self.ask("GET", "/state")
            answer = json.loads(data) if status == 200 else {}
            if answer.get("indexing") is None and isinstance(answer.get("cursor"), int):
                self.base = self.cursor = answer["cursor"]
                return
            if time.time() > deadline:
                sys.exit("%s: the index was not built in %d s" % (self.label, index_seconds))
            time.sleep(0.2)

    def stop(self):
        self.process.terminate()
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()


def alike(server, value, key=None):
    """The answer with what differs from run to run made alike."""
    if isinstance(value, dict):
        return {k: alike(server, v, k) for k, v in value.items()}
    if isinstance(value, list):
        return [alike(server, v) for v in value]
    if key == "cursor" and isinstance(value, int) and not isinstance(value, bool):
        server.cursor = value
        return "<a cursor>" if loose["cursors"] else "base%+d" % (value - server.base)
    if isinstance(value, str):
        for name in server.names:
            value = value.replace(name, "<GAME>")
        if key in ("state", "game"):
            value = re.sub(r"@-?\d+", "@<time>", value)
        if key == "imported" and value:
            value = "<time>"
    return value


def answer_of(server, method, path, body, kind, shell, token):
    try:
        status, content_type, data = server.ask(method, path, body, kind, token)
    except (OSError, http.client.HTTPException) as failed:
        # A server that fell over answers every later query so: each is a difference.
        return {"failed": "%s: %s" % (type(failed).__name__, failed)}
    if shell:
        return {"status": status, "type": content_type}
    text = data.decode("utf-8", "replace")
    if content_type.startswith("application/json"):
        try:
            return {"status": status, "json": alike(server, json.loads(text))}
        except ValueError:
            pass
    return {"status": status, "type": content_type, "text": alike(server, text)}


def differences_of(old, new, where="answer"):
    """Each place where the answers differ, as (where, (old, new)): a list
    compared item by item while both have one, then as its whole rest."""
    if isinstance(old, dict) and isinstance(new, dict):
        for key in sorted(set(old) | set(new)):
            if key not in old and loose["added"]:
                continue
            if key not in old or key not in new:
                yield "%s.%s" % (where, key), (old.get(key, "<absent>"), new.get(key, "<absent>"))
            else:
                yield from differences_of(old[key], new[key], "%s.%s" % (where, key))
    elif isinstance(old, list) and isinstance(new, list):
        for i, (a, b) in enumerate(zip(old, new)):
            yield from differences_of(a, b, "%s[%d]" % (where, i))
        if len(old) != len(new):
            n = min(len(old), len(new))
            yield "%s[%d:] (lengths %d and %d)" % (where, n, len(old), len(new)), (old[n:], new[n:])
    elif old != new:
        yield where, (old, new)


class Comparison:
    def __init__(self, old, new, show, log):
        self.old, self.new, self.show, self.log = old, new, show, log
        self.asked = self.same = 0
        self.last = {}  # each server's latest answer, for queries built from it

    def ask(self, what, method, path, body=None, kind="application/x-www-form-urlencoded", shell=False,
            token=True):
        """One query of both servers. path and body may be functions of the
        server and its last answer (a cursor, a plan), so that each is asked
        with its own."""
        answers = []
        for server in (self.old, self.new):
            p = path(server, self.last.get(server.label)) if callable(path) else path
            b = body(server, self.last.get(server.label)) if callable(body) else body
            if isinstance(b, str):
                b = b.encode("utf-8")
            answer = answer_of(server, method, p, b, kind, shell, token)
            self.last[server.label] = answer
            answers.append(answer)
        self.asked += 1
        if self.log:
            self.log.write(json.dumps({"query": what, "old": answers[0]}, ensure_ascii=False) + "\n")
        old_json, new_json = (a.get("json") if isinstance(a, dict) else None for a in answers)
        if method == "POST" and isinstance(old_json, dict) and isinstance(new_json, dict):
            # The fields the new program's actions no longer send, by design.
            old_json = {k: v for k, v in old_json.items() if k not in loose["dropped"] or k in new_json}
            answers = [dict(answers[0], json=old_json), answers[1]]
        # Differences as the options count them (a field only the new
        # answer has is none with --added-fields-ok).
        differences = [] if answers[0] == answers[1] else list(differences_of(answers[0], answers[1]))
        if not differences:
            self.same += 1
            return answers[0]
        print("DIFFERENT: %s (%s %s)" % (what, method, path if not callable(path) else p))
        for where, values in differences[:differences_shown]:
            print("  at %s:" % where)
            if all(isinstance(v, str) for v in values):
                # Two texts from a little before where they part.
                at = next((i for i, (a, b) in enumerate(zip(*values)) if a != b), min(map(len, values)))
                values = tuple(("..." if at > 40 else "") + v[max(0, at - 40):] for v in values)
            for label, value in zip(("old", "new"), values):
                text = json.dumps(value, ensure_ascii=False, sort_keys=True)
                print("    %s: %s" % (label, text if len(text) <= self.show else text[:self.show] + "..."))
        if len(differences) > differences_shown:
            print("  and %d more places" % (len(differences) - differences_shown))
        return answers[0]

    def get(self, path, what=None, **options):
        return self.ask(what or path, "GET", path, **options)

    def post(self, path, fields=None, what=None, **options):
        plain = callable(fields) or isinstance(fields, (str, bytes))
        body = fields if plain else urllib.parse.urlencode(fields or {})
        return self.ask(what or path + " " + (body if isinstance(body, str) else ""), "POST", path, body,
                        **options)


def q(path, **params):
    return path + ("?" + urllib.parse.urlencode(params) if params else "")


def raw_file(file, fields=""):
    """A form as the page sends it: the row's id (already percent-encoded) as file=."""
    return fields + ("&" if fields else "") + "file=" + file


def ids_of(answer, key="rows"):
    return [r["id"] for r in answer.get("json", {}).get(key, [])]


def list_queries(c, races, when):
    """The list at its boundaries, every sort both ways, each filter."""
    total = races + 7  # the accented races, and the race whose file is gone
    for sort in ("when", "type", "track", "laps", "cars", "weather", "lap", "yours", "file", "nosuch"):
        for desc in ("1", "0"):
            c.get(q("/api/rows", sort=sort, desc=desc, limit=100), "%s: sort %s desc=%s" % (when, sort, desc))
    for offset in (0, 1, 99, 100, 101, total // 2, total - 101, total - 100, total - 99, total - 1, total,
                   total + 1, total + 2, 999999999, "1000000000", "-1", "x"):
        for desc in ("1", "0"):
            c.get(q("/api/rows", offset=offset, limit=100, desc=desc),
                  "%s: offset %s desc=%s" % (when, offset, desc))
    for limit in (0, 1, 2, 499, 500, 501, 1000, 5000, "", "abc"):
        c.get(q("/api/rows", limit=limit, offset=total - 3), "%s: limit %r near the end" % (when, limit))
    c.get("/api/rows", "%s: no parameters" % when)
    c.get(q("/api/rows", kind="other", limit=500), "%s: the other files" % when)
    c.get(q("/api/rows", kept=1, limit=100), "%s: kept" % when)
    c.get(q("/api/facts"), "%s: facts" % when)


def read_queries(c, races):
    list_queries(c, races, "new library")
    for track in long_season.tracks + ["alpine", "Coast", "NOWHERE", ""]:
        c.get(q("/api/rows", track=track, limit=100))
    for kind in long_season.types + ["sr", "XX"]:
        c.get(q("/api/rows", type=kind, limit=100, sort="lap", desc=0))
    for weather in ("DRY", "wet", "FOG"):
        c.get(q("/api/rows", weather=weather, limit=100))
    c.get(q("/api/rows", track="ALPINE", type="SR", weather="WET", limit=100, sort="yours", desc=0))
    c.get(q("/api/rows", track="CITY", pb=1, racer="Player", limit=100))
    for sort in ("lap", "yours", "file", "track"):
        for desc in ("1", "0"):
            c.get(q("/api/rows", track="ALPINE", sort=sort, desc=desc, limit=100, offset=100))
            c.get(q("/api/rows", pb=1, racer="Ana", sort=sort, desc=desc, limit=20))
            c.get(q("/api/rows", q="Ren\u00e9e", sort=sort, desc=desc, racer="Ren\u00e9e", limit=20))
    for racer in ("Player", "Ana", "Speedy", "Zo\u00eb", "Ren\u00e9e", "<script>", "Rival:One", "Nobody", ""):
        c.get(q("/api/rows", pb=1, racer=racer, limit=100))
        c.get(q("/api/rows", sort="yours", desc=0, racer=racer, limit=100))
        c.get(q("/api/facts", racer=racer))
    for text in ("a", "sp", "spe", "speedy", "SPEEDY", "Rival:One", "<script>", "Racer?3", "2020-03",
                 "2020-03-04_09-05-09_TT_ALPINE_3L", "ALPINE_3L.rp4", "stray", "Zo\u00eb", "zo\u00eb",
                 "ZO\u00cb", "Ren\u00e9e", "ren\u00e9", "Renee", "\u00e9", "nothing at all like it",
                 "x" * 300, '"quoted"', "%", "_", "'; DROP TABLE entries; --"):
        c.get(q("/api/rows", q=text, limit=100))
    c.get(q("/api/rows", q="speedy", track="COAST", sort="lap", desc=1, limit=50))
    c.get(q("/api/rows", q="Zo\u00eb", pb=1, racer="Zo\u00eb", limit=50))
    c.get(q("/api/rows", kind="other", q="stray", limit=50))
    for track, kind in (("ALPINE", "SR"), ("CITY", "ST"), ("COAST", "SK"), ("CANYON", "TC"), ("alpine", "sr"),
                        ("NOWHERE", "SR"), ("", "")):
        for window in ("30", "90", "365", "all"):
            c.get(q("/api/chart", track=track, type=kind, window=window))
    for racer in ("Ana", "Zo\u00eb", "Nobody"):
        c.get(q("/api/chart", track="ALPINE", type="SR", racer=racer))
    c.get(q("/api/chart", track="ALPINE", type="SR", window="7"))
    c.get(q("/api/chart", track="ALPINE", type="SR", friend="Nobody"))
    c.get("/state")
    c.get(lambda s, _: "/state?since=%d" % s.cursor, "state since its cursor")
    c.get(lambda s, _: "/state?since=%d" % (s.cursor + 1), "state since a cursor yet to come")
    for since in ("0", "abc", "", "99999999999999999999"):
        c.get(q("/state", since=since))
    first = ids_of(c.get(q("/api/rows", limit=5)))
    for file in first + ["2031-01-01_10-00-00_SR_ALPINE_3L.rp4", "stray%20copy.rp4", "nosuch.rp4",
                         "..%2Fx.rp4", "C%3A%5Cx.rp4", ""]:
        c.get("/api/race?file=" + file, "race details of %r" % file)
    c.get("/api/friends", "friends before any import")
    c.get(q("/api/leaderboard", track="ALPINE", type="SR"), "a leaderboard before any import")
    c.get("/api/import", "no import under way")
    c.get("/", "the library's shell", shell=True, token=False)
    c.get(q("/race", file=first[0] if first else ""), "a race's shell", shell=True, token=False)
    c.get("/api/rows", "without the token", token=False)
    c.get("/api/nosuch", "an unknown route")
    c.get("/keep", "an action asked with GET")
    c.post("/api/rows", {}, "a read asked with POST")


def friends_queries(c):
    c.get("/api/friends")
    c.get("/api/import")
    for friend in ("Zo\u00eb", "Ren\u00e9e"):
        for offset, limit in ((0, ""), (0, 10), (95, 10), (119, 10), (120, 10), (299, 10), (300, 10),
                              (1000, 10), ("x", "y"), (0, 100000)):
            c.get(q("/api/friend-races", friend=friend, offset=offset, limit=limit))
    for friend in ("zo\u00eb", "Nobody", "", "../Zo\u00eb"):
        c.get(q("/api/friend-races", friend=friend))
    for track in ("ALPINE", "COAST", "CITY", "CANYON", "alpine", ""):
        for kind in ("SR", "ST", ""):
            c.get(q("/api/leaderboard", track=track, type=kind))
    for friend in ("Zo\u00eb", "Ren\u00e9e"):
        for window in ("all", "365"):
            c.get(q("/api/chart", track="ALPINE", type="SR", window=window, friend=friend))
    c.get(q("/api/rows", q="Zo\u00eb", limit=20), "the player's list is not a friend's")


def actions(c, races):
    before = lambda s, _: s.cursor  # noqa: E731
    newest = ids_of(c.get(q("/api/rows", limit=10, offset=1)))
    start = {}
    for server in (c.old, c.new):
        start[server.label] = server.cursor
    since_start = lambda s, _: "/state?since=%d" % start[s.label]  # noqa: E731
    # Keep and unkeep, the list after each.
    c.post("/keep", raw_file(newest[0]), "keep the newest")
    c.post("/keep", raw_file(newest[1]), "keep the second")
    c.post("/keep", raw_file(newest[1]), "keep the second again")
    c.get(q("/api/rows", kept=1), "kept after keeping two")
    c.get(since_start, "state since before the marks")
    c.post("/unkeep", raw_file(newest[0]), "unkeep the newest")
    c.post("/unkeep", raw_file(newest[0]), "unkeep it again")
    c.get(q("/api/rows", kept=1), "kept after unkeeping one")
    c.get(q("/api/rows", limit=12), "the newest after the marks")
    c.post("/keep", raw_file("nosuch.rp4"), "keep a file not in the list")
    c.post("/keep", raw_file("..%2F..%2Freplay_autosave.ini"), "keep a path")
    c.post("/keep", "", "keep without a file")
    # Watch: the game's replay, and the backup of what it had.
    cursor = {}
    for server in (c.old, c.new):
        cursor[server.label] = server.cursor
    c.post("/watch", raw_file(newest[2]), "watch the third newest")
    c.get("/state", "state after Watch")
    c.get(lambda s, _: "/state?since=%d" % cursor[s.label], "state since before Watch")
    c.get(q("/api/rows", limit=12), "the newest after Watch")
    c.get(q("/api/rows", kind="other", limit=50), "the other files after Watch")
    c.post("/watch", raw_file("2031-01-01_10-00-00_SR_ALPINE_3L.rp4"), "watch a race whose file is gone")
    c.post("/watch", raw_file("nosuch.rp4"), "watch a file not in the list")
    # A friend's share and another's card, then what Friends shows.
    share, card = os.path.join(c.work, "zoe.rpshare"), os.path.join(c.work, "renee.rpcard")
    big_share.make(share, "share", 120, "Zo\u00eb")
    big_share.make(card, "card", 300, "Ren\u00e9e")
    octets = "application/octet-stream"
    c.post("/import?name=zoe.rpshare", lambda s, _: open(share, "rb").read(), "import a share", kind=octets)
    c.post("/import?name=renee.rpcard", lambda s, _: open(card, "rb").read(), "import a card", kind=octets)
    c.post("/import?name=zoe.rpshare", lambda s, _: open(share, "rb").read(), "import the share again",
           kind=octets)
    c.post("/import?name=junk.rpshare", b"not a share at all", "import a file that is no share", kind=octets)
    c.post("/import/cancel", {}, "cancel with no import under way")
    friends_queries(c)
    theirs = ids_of(c.get(q("/api/friend-races", friend="Zo\u00eb", limit=5)), "races")
    for file in theirs[:2]:
        c.get("/api/race?file=" + file, "a friend's race details")
    c.post("/keep", raw_file(theirs[0]), "keep a friend's replay")
    c.get(q("/api/friend-races", friend="Zo\u00eb", limit=5), "a friend's races after a mark")
    c.post("/unkeep", raw_file(theirs[0]), "unkeep a friend's replay")
    c.post("/watch", raw_file(theirs[1]), "watch a friend's replay")
    c.post("/alias", {"old": "Ren\u00e9e2", "new": "Ren\u00e9e Deux"}, "alias a racer")
    c.post("/alias", {"old": "Zo\u00eb", "new": ""}, "alias to nothing")
    c.post("/alias", {"old": "", "new": "x"}, "alias of nobody")
    c.get("/api/friends", "friends after an alias")
    c.get(q("/api/leaderboard", track="ALPINE", type="SR"), "a leaderboard after an alias")
    c.post("/remove", raw_file(theirs[2]), "remove a friend's replay")
    c.post("/remove", raw_file(theirs[2]), "remove it again")
    c.post("/remove", raw_file(newest[3]), "remove one of the player's own")
    c.get(q("/api/friend-races", friend="Zo\u00eb", limit=5), "a friend's races after a removal")
    c.post("/friend/remove", {"friend": "Ren\u00e9e"}, "remove a friend")
    c.post("/friend/remove", {"friend": "Nobody"}, "remove a friend who is not there")
    c.get("/api/friends", "friends after a friend was removed")
    # Share and card: what they would hold (the files themselves carry
    # their time of making).
    c.post("/share", raw_file(newest[4]), "a share's privacy report")
    c.post("/share", raw_file(newest[4], "hide_names=1"), "a share's report, names hidden")
    c.post("/share", raw_file("nosuch.rp4"), "share a file not in the list")
    c.post("/card", {}, "a card's privacy report")
    # Tidy: the preview, its plan applied, the list after.
    keep = races - 25
    c.post("/tidy", {}, "tidy with no policy")
    c.post("/tidy", {"keep": "x"}, "tidy with a wrong count")
    c.post("/tidy", {"keep": keep, "apply": "1"}, "tidy applied without a preview")
    c.post("/tidy", {"keep": races * 2}, "tidy preview: nothing goes")
    c.post("/tidy", {"older_than": "100000"}, "tidy preview by age: nothing goes")
    c.post("/tidy", {"keep": keep}, "tidy preview")
    plan = lambda s, last: urllib.parse.urlencode(  # noqa: E731
        {"keep": keep, "apply": "1", "plan": last.get("json", {}).get("plan", "")})
    c.post("/tidy", plan, "tidy applied with its preview's plan")
    c.post("/tidy", {"keep": keep, "apply": "1", "plan": "0" * 64}, "tidy applied with a stale plan")
    list_queries(c, races, "after the actions")
    c.get("/state", "state at the end")
    c.get(since_start, "state since before the actions")
    c.get("/api/friends", "friends at the end")


def tree(root, caches):
    """The folder's files and their sizes, the caches aside."""
    listed = {}
    for folder, _, files in os.walk(root):
        for name in files:
            if any(fnmatch.fnmatch(name, cache) for cache in caches):
                continue
            path = os.path.join(folder, name)
            listed[os.path.relpath(path, root)] = os.path.getsize(path)
    return listed


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[1],
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("old")
    parser.add_argument("new")
    parser.add_argument("--races", type=int, default=5000)
    parser.add_argument("--work", default="/tmp/same_answers")
    parser.add_argument("--show", type=int, default=300, help="characters of each differing value shown")
    parser.add_argument("--cache", action="append", default=["*.index", "*.index-*"],
                        help="a name (glob) of a cache file, left out of the folders' comparison")
    parser.add_argument("--loose-cursors", action="store_true",
                        help="a cursor is compared only as being one, not by its steps")
    parser.add_argument("--added-fields-ok", action="store_true",
                        help="a field only the new program's answer has is no difference")
    parser.add_argument("--dropped-fields", default="",
                        help="FIELD,...: fields of an action's answer the new program leaves out on "
                             "purpose (e.g. rows,cursor, which its page asks /state for)")
    options = parser.parse_args()
    loose["cursors"], loose["added"] = options.loose_cursors, options.added_fields_ok
    loose["dropped"] = set(f for f in options.dropped_fields.split(",") if f)
    old_command, new_command = shlex.split(options.old), shlex.split(options.new)
    shutil.rmtree(options.work, ignore_errors=True)
    os.makedirs(options.work)
    made = os.path.join(options.work, "library")
    make_library(made, options.races)
    games = {}
    for label in ("old", "new"):
        games[label] = os.path.join(options.work, label, "game")
        shutil.copytree(made, games[label], symlinks=True)
    start = time.time()
    servers = []
    try:
        servers.append(Server("old", old_command, games["old"], options.work))
        servers.append(Server("new", new_command, games["new"], options.work))
        old, new = servers
        old.wait_for_index()
        new.wait_for_index()
        print("library: %d races; both servers started, their indexes built, in %.1f s" %
              (options.races, time.time() - start))
        c = Comparison(old, new, options.show, open(os.path.join(options.work, "answers.jsonl"), "w"))
        c.work = options.work
        read_queries(c, options.races)
        reads = c.asked
        actions(c, options.races)
        print("%d read queries, then %d actions and the queries after them" % (reads, c.asked - reads))
    finally:
        for server in servers:
            server.stop()
    files = [tree(games["old"], options.cache), tree(games["new"], options.cache)]
    same_files = files[0] == files[1]
    if not same_files:
        print("DIFFERENT: the game's folders after the actions")
        for name in sorted(set(files[0]) | set(files[1])):
            if files[0].get(name) != files[1].get(name):
                print("  %s: old %s, new %s" % (name, files[0].get(name), files[1].get(name)))
    print("%d of %d queries gave the same answer; the folders after them are %s" %
          (c.same, c.asked, "the same" if same_files else "different"))
    return 0 if c.same == c.asked and same_files else 1


if __name__ == "__main__":
    sys.exit(main())
