#!/usr/bin/env python3
"""idle_flood.py PORT TOKEN [STRANGERS [REQUESTS]]

Another program of the computer against the library app at 127.0.0.1:PORT:
it holds STRANGERS connections (default 200) open, each opened again as
soon as the app closes it; one in three asks for the page's shell once and
never reads the answer (more than the app has threads). Once all were open, the player's REQUESTS (default 40)
come one after the other, each on a connection of its own as the browser's
do: GET /state with the token (TOKEN), given one second each, from a
second after the strangers were all there. Prints the
share answered within the second, their median and 95th percentile, and
how many times the strangers connected; exit status 1 when fewer than 95 %
were answered. Bounded: the strangers stop with the player's last request,
and within two minutes whatever happens."""
import multiprocessing, os, selectors, socket, statistics, sys, time

port, token = int(sys.argv[1]), sys.argv[2]
strangers = int(sys.argv[3]) if len(sys.argv) > 3 else 200
requests = int(sys.argv[4]) if len(sys.argv) > 4 else 40
within = 1.0  # seconds a player's request may take
at_most = 120.0  # seconds the strangers stay, whatever happens
greedy = b"GET / HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n\r\n" % port


def strangers_loop(ready, done, count):
    chosen = selectors.DefaultSelector()
    opened = 0
    held = []  # the greedy ones, once they asked

    def connect(n):
        nonlocal opened
        s = socket.socket()
        s.setblocking(False)
        s.connect_ex(("127.0.0.1", port))
        opened += 1
        # Watched for its end once it is connected (writable).
        chosen.register(s, selectors.EVENT_WRITE, n)

    for n in range(strangers):
        connect(n)
    told = False
    end = time.monotonic() + at_most
    while not done.is_set() and time.monotonic() < end:
        for key, events in chosen.select(0.05):
            s, n = key.fileobj, key.data
            if events & selectors.EVENT_WRITE:
                # Connected: the greedy ones ask once and never read; the
                # others say nothing. Either is watched for its end.
                chosen.modify(s, selectors.EVENT_READ, n)
                if n % 3 == 0:
                    try:
                        s.send(greedy)
                    except OSError:
                        pass
                    chosen.unregister(s)  # held, unread, until the end
                    held.append(s)
                continue
            try:
                gone = s.recv(1) == b""
            except BlockingIOError:
                gone = False
            except OSError:
                gone = True
            if gone:
                chosen.unregister(s)
                s.close()
                connect(n)
        if not told and opened >= strangers:
            told = True
            ready.set()
    count.value = opened


def player_request():
    start = time.monotonic()
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=within) as s:
            s.sendall(b"GET /state HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nAuthorization: Bearer %s\r\n"
                      b"Connection: close\r\n\r\n" % (port, token.encode()))
            answer = b""
            while time.monotonic() - start < within:
                s.settimeout(max(0.01, within - (time.monotonic() - start)))
                piece = s.recv(65536)
                if not piece:
                    break
                answer += piece
    except OSError:
        return None
    took = time.monotonic() - start
    return took if answer.startswith(b"HTTP/1.1 200") and took <= within else None


ready, done = multiprocessing.Event(), multiprocessing.Event()
count = multiprocessing.Value("l", 0)
flood = multiprocessing.Process(target=strangers_loop, args=(ready, done, count), daemon=True)
flood.start()
if not ready.wait(30):
    print("the strangers could not open %d connections within 30 s" % strangers)
# The greedy ones' pages are answered within this; a thread held writing to
# one would be held for the write timeout (5 s), well into the requests.
time.sleep(1.0)
times = []
for _ in range(requests):
    times.append(player_request())
    time.sleep(0.1)
done.set()
flood.join(10)
answered = sorted(t for t in times if t is not None)
share = len(answered) / requests
p95 = answered[max(0, int(round(0.95 * len(answered))) - 1)] if answered else float("nan")
print("%d of %d player requests answered within %.0f s (%.0f %%), median %.3f s, 95th %.3f s; "
      "%d strangers connected %d times" %
      (len(answered), requests, within, 100 * share,
       statistics.median(answered) if answered else float("nan"), p95, strangers, count.value))
sys.exit(0 if share >= 0.95 else 1)
