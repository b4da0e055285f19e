#!/usr/bin/env python3
"""Raw-socket framing cases against tarnix-service (or any HTTP server on a
loopback port): for each case the statuses answered, in order, whether the
server closed the connection, and how long the last answer took.

  bench/service/framing_probe.py build/service/tarnix-service
  bench/service/framing_probe.py --port PORT     (a server already running)

Each case is written in pieces with pauses between them; the answers are
read until the server closes or is quiet for 1.5 s. The requests need no
engine (same-language texts), so any engine address does. The same table,
cut to the rows that need no timing, is test_service_guards' framing table.
"""
import socket
import subprocess
import sys
import time

args = sys.argv[1:]
service = None
if args[0] == "--port":
    port = int(args[1])
else:
    probe = socket.socket()
    probe.bind(("127.0.0.1", 0))
    port = probe.getsockname()[1]
    probe.close()
    service = subprocess.Popen([args[0], "--port", str(port), "--engine", "libretranslate",
                                "--engine-url", "http://127.0.0.1:9"], stderr=subprocess.DEVNULL)

FORM = b"Content-Type: application/x-www-form-urlencoded\r\n"
BODY = b"sl=en&tl=en&text=Hi"


def post(headers=b"", body=BODY, host=b"127.0.0.1"):
    return (b"POST / HTTP/1.1\r\nHost: " + host + b"\r\n" + FORM + headers
            + b"Content-Length: %d\r\n\r\n" % len(body) + body)


def chunked(chunks, trailer=b""):
    return (b"POST / HTTP/1.1\r\nHost: 127.0.0.1\r\n" + FORM + b"Transfer-Encoding: chunked\r\n\r\n"
            + chunks + b"0\r\n" + trailer + b"\r\n")


many_lines = b"".join(b"X-Line-%d: %d\r\n" % (i, i) for i in range(101))
# (name, pieces with the pause after each in seconds, expected statuses, whether the server closes)
CASES = [
    ("pipelined, split 30 bytes into the second", [(post() + post()[:30], 0.3), (post()[30:], 0)], [200, 200], False),
    ("three pipelined, the third Connection: close", [(post() * 2 + post(b"Connection: close\r\n"), 0)],
     [200, 200, 200], True),
    ("good then malformed in one write", [(post() + b"POST / HTTP/1.1\r\nNoColonHere\r\n\r\n", 0)], [200, 400], True),
    ("chunked with a trailer field", [(chunked(b"13\r\n" + BODY + b"\r\n", b"X-T: 1\r\n"), 0)], [200], False),
    ("chunked in pieces", [(chunked(b"13\r\n" + BODY + b"\r\n")[:70], 0.2), (chunked(b"13\r\n" + BODY + b"\r\n")[70:], 0)],
     [200], False),
    ("bytes after a body: the next request", [(post() + b"GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 0)],
     [200, 405], False),
    ("bytes after a body: garbage", [(post() + b"GARBAGE\r\n\r\n", 0)], [200, 400], True),
    ("chunk data ended by a bare LF", [(chunked(b"13\r\n" + BODY + b"\n"), 0)], [400], True),
    ("101 header lines", [(post(many_lines), 0)], [431], True),
    ("Upgrade: websocket on a GET", [(b"GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: Upgrade\r\n"
                                      b"Upgrade: websocket\r\nSec-WebSocket-Version: 13\r\n"
                                      b"Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n", 0)], [405], False),
    ("Upgrade: websocket on a POST", [(post(b"Connection: Upgrade\r\nUpgrade: websocket\r\n"), 0)], [200], False),
    ("TRACE", [(b"TRACE / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 0)], [405], False),
    ("absolute-form target naming another host",
     [(post().replace(b"POST / ", b"POST http://evil.example/ "), 0)], [421], False),
    ("absolute-form target naming loopback",
     [(post().replace(b"POST / ", b"POST http://127.0.0.1/ "), 0)], [200], False),
    ("a header line without a colon", [(post(b"NoColonHere\r\n"), 0)], [400], True),
    ("two Content-Lengths", [(post(b"Content-Length: 5\r\n"), 0)], [400], True),
    ("Content-Length and chunked", [(post(b"Transfer-Encoding: chunked\r\n"), 0)], [400], True),
    ("Transfer-Encoding gzip", [(post().replace(b"Content-Length: 19", b"Transfer-Encoding: gzip"), 0)], [501], True),
    # RFC 9112 5.2: a folded line is refused or joined with a space; Beast joins it.
    ("folded header line", [(post(b"X-Note: a\r\n b\r\n"), 0)], [200], False),
    ("HTTP/1.1 without Host", [(post().replace(b"Host: 127.0.0.1\r\n", b""), 0)], [400], False),
    ("two Host headers", [(post(b"Host: 127.0.0.1\r\n"), 0)], [400], False),
    ("HEAD, then a POST", [(b"HEAD / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n" + post(), 0)], [405, 200], False),
    ("HTTP/1.0 without keep-alive", [(post().replace(b"HTTP/1.1", b"HTTP/1.0"), 0)], [200], True),
    ("TLS client hello", [(b"\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 0)], [400], True),
    ("HTTP/2 preface", [(b"PRI * HTTP/2.0\r\n\r\nSM\r\n\r\n", 0)], [400], True),
]


def read_answers(client, wait, heads):
    """The statuses of the whole answers received, whether the peer closed,
    and the time of the last byte. The first `heads` answers are to HEAD
    requests, so they have no body whatever their Content-Length says."""
    data, closed, last = b"", False, time.monotonic()
    client.settimeout(wait)
    try:
        while True:
            chunk = client.recv(65536)
            if not chunk:
                closed = True
                break
            data += chunk
            last = time.monotonic()
    except socket.timeout:
        pass
    except ConnectionResetError:
        closed = True
    statuses = []
    while data.startswith(b"HTTP/1."):
        end = data.find(b"\r\n\r\n")
        if end < 0:
            break
        head = data[:end].decode("latin-1")
        status = int(head[9:12])
        length = 0
        for line in head.split("\r\n")[1:]:
            name, _, value = line.partition(":")
            if name.strip().lower() == "content-length":
                length = int(value)
        if status >= 200:  # an interim 100 Continue is no answer
            statuses.append(status)
        data = data[end + 4 + (0 if len(statuses) <= heads and status >= 200 else length):]
    if data:
        statuses.append("?" + repr(data[:30]))
    return statuses, closed, last


try:
    for _ in range(100):
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            break
        except OSError:
            time.sleep(0.1)
    failures = 0
    for name, pieces, expected, closes in CASES:
        with socket.create_connection(("127.0.0.1", port), timeout=5) as client:
            start = time.monotonic()
            for piece, pause in pieces:
                client.sendall(piece)
                time.sleep(pause)
            sent = time.monotonic()
            heads = 1 if pieces[0][0].startswith(b"HEAD ") else 0
            statuses, closed, last = read_answers(client, 1.5, heads)
        ok = statuses == expected and closed == closes
        failures += not ok
        print(f"{'ok  ' if ok else 'FAIL'} {name}: {statuses} {'closed' if closed else 'open'}"
              f" (expected {expected} {'closed' if closes else 'open'}); last byte {1000 * (last - sent):.0f} ms"
              f" after the last write")
    print(f"{len(CASES) - failures} of {len(CASES)} cases as expected")
finally:
    if service:
        service.terminate()
        service.wait()
