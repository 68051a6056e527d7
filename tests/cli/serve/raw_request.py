#!/usr/bin/env python3
"""raw_request.py PORT SECONDS

Sends standard input to 127.0.0.1:PORT as it comes (a byte at a time, if
that is how it comes), reads the answer meanwhile, and prints its status
line (or "closed" when the app closed the connection without one), then the
seconds until the connection ended. Whatever the app does to the sending,
the answer is read: it may refuse a request before the request is whole."""
import os, socket, sys, threading, time

port, seconds = int(sys.argv[1]), float(sys.argv[2])
start = time.monotonic()
conn = socket.create_connection(("127.0.0.1", port), timeout=seconds)


def send():
    try:
        while True:
            chunk = sys.stdin.buffer.read1(65536)
            if not chunk:
                break
            conn.sendall(chunk)
    except OSError:
        pass  # the app stopped reading: that is its answer


threading.Thread(target=send, daemon=True).start()
answer = b""
try:
    while time.monotonic() - start < seconds:
        piece = conn.recv(65536)
        if not piece:
            break
        answer += piece
except OSError:
    pass
line = answer.split(b"\r\n", 1)[0].decode("latin-1") if answer else "closed"
print("%s|%.1f" % (line, time.monotonic() - start), flush=True)
# The sender may still wait for standard input: end without it.
os._exit(0)
