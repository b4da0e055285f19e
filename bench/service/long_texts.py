#!/usr/bin/env python3
"""Long texts through tarnix-service: the largest text each engine kind gives
back whole, and the time per kilobyte of a long text against that of a short
one (the reference, measured in the same run).

  bench/service/long_texts.py build/service/tarnix-service [--direct-apy]

Each text is N English sentences, each with its own number (identical
pieces would be translated once), sent English to Spanish; it is whole when
the answer holds N of them. Engines:
 - apertium: the service with its own APy (Debian's apertium-apy and
   apertium-eng-spa);
 - libretranslate: the service on a LibreTranslate stand-in that refuses a
   request over 5,000 characters as libretranslate.com does (char_limit) and
   otherwise answers the text itself;
 - --direct-apy also asks APy itself, without the service, for the largest
   text it translates whole in one request (the service's own APy).
The memory is in a scratch folder, so every text is translated.
"""
import http.server
import json
import os
import re
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse
import urllib.request

binary = sys.argv[1]
direct = "--direct-apy" in sys.argv
sentence = "The quick brown fox {} jumps over the lazy dog. "


def sentences(count, first=0):
    return "".join(sentence.format(first + i) for i in range(count))

scratch = tempfile.mkdtemp(prefix="tarnix-long-")


def free_port():
    probe = socket.socket()
    probe.bind(("127.0.0.1", 0))
    port = probe.getsockname()[1]
    probe.close()
    return port


class LimitedEcho(http.server.BaseHTTPRequestHandler):
    """LibreTranslate's /translate and /languages, 5,000 characters at most."""

    def answer(self, status, document):
        body = json.dumps(document).encode()
        self.send_response(status)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        self.answer(200, [{"code": c, "name": c, "targets": ["en", "es"]} for c in ("en", "es")])

    def do_POST(self):
        length = int(self.headers.get("Content-Length", 0))
        raw = self.rfile.read(length)
        query = json.loads(raw) if raw.startswith(b"{") else {
            k: v[0] for k, v in urllib.parse.parse_qs(raw.decode()).items()}
        text = query.get("q", "")
        if len(text) > 5000:
            self.answer(400, {"error": f"Invalid request: request ({len(text)}) exceeds text limit (5000)"})
        else:
            self.answer(200, {"translatedText": text.replace("fox", "zorro")})

    def log_message(self, *args):
        pass


def start_service(extra):
    port = free_port()
    env = dict(os.environ, XDG_DATA_HOME=scratch + "/data-" + str(port), XDG_CONFIG_HOME=scratch + "/config")
    service = subprocess.Popen([binary, "--port", str(port)] + extra, env=env,
                               stderr=subprocess.PIPE, text=True)
    first = service.stderr.readline()
    threading.Thread(target=lambda: [None for _ in service.stderr], daemon=True).start()
    if "listening" not in first:
        sys.exit("service did not start: " + first)
    return service, port, first


def translate(port, text):
    body = ("sl=en&tl=es&text=" + urllib.parse.quote_plus(text)).encode()
    request = urllib.request.Request(f"http://127.0.0.1:{port}/", body,
                                     {"Content-Type": "application/x-www-form-urlencoded"})
    start = time.monotonic()
    try:
        with urllib.request.urlopen(request, timeout=300) as reply:
            page = reply.read().decode()
            status = reply.status
    except urllib.error.HTTPError as error:
        page, status = error.read().decode(), error.code
    return status, page.count("zorro"), time.monotonic() - start


def run(kind, port, counts):
    translate(port, sentences(1, 10**6))  # warms the engine
    one = len(sentences(1, 10**6))
    short = min(translate(port, sentences(1, 10**6 + i))[2] for i in range(1, 21)) / (one / 1024)
    print(f"{kind}: short text ({one} characters) {short * one / 1024 * 1000:.1f} ms, {short * 1000:.1f} ms per KiB")
    largest = 0
    for count in counts:
        text = sentences(count)
        status, whole, seconds = translate(port, text)
        kib = len(text) / 1024
        ok = status == 200 and whole == count
        largest = max(largest, len(text)) if ok else largest
        print(f"  {count:>6} sentences, {kib:7.1f} KiB: {status}, {whole} back, {seconds:6.2f} s, "
              f"{seconds / kib * 1000:7.1f} ms per KiB = {seconds / kib / short:5.2f}x the short text's")
    print(f"  largest whole: {largest:,} characters")


counts = [10, 100, 1000, 2000, 5000, 10000, 19000]
service, port, first = start_service([])
run("apertium", port, counts)
if direct:
    apy = re.search(r"APy at (http://[0-9.:]+)", first).group(1)
    lo, hi = 1, 4000
    while lo < hi:  # the largest count APy gives back whole in one request
        mid = (lo + hi + 1) // 2
        data = urllib.parse.urlencode({"langpair": "eng|spa", "q": sentences(mid), "markUnknown": "no"}).encode()
        with urllib.request.urlopen(f"{apy}/translate", data, timeout=120) as reply:
            got = json.loads(reply.read())["responseData"]["translatedText"].count("zorro")
        lo, hi = (mid, hi) if got == mid else (lo, mid - 1)
    print(f"APy alone, one request: whole up to {lo} sentences ({len(sentences(lo)):,} characters)")
service.terminate()
service.wait()

stand_in = http.server.ThreadingHTTPServer(("127.0.0.1", 0), LimitedEcho)
threading.Thread(target=stand_in.serve_forever, daemon=True).start()
service, port, _ = start_service(["--engine", "libretranslate", "--engine-url",
                                  f"http://127.0.0.1:{stand_in.server_address[1]}"])
run("libretranslate (5,000-character stand-in)", port, counts)
service.terminate()
service.wait()
