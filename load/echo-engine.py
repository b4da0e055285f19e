#!/usr/bin/env python3
"""A LibreTranslate stand-in for the load test: answers /translate at once with
the text it was given, so that the load measures tarnix-service, not an engine.
With --numbered, each answer ends in " #n", n counting its requests, so that
two answers to the same text differ. Prints its port on the first line of stdout."""
import itertools
import json
import sys
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs

LANGUAGES = "en zh zt es fr ru uk de ja ko it pl ro pt ar he tr id hi vi fa".split()
NUMBERED = "--numbered" in sys.argv
COUNTER = itertools.count(1)


class Echo(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    disable_nagle_algorithm = True  # headers and body go out in two writes

    def answer(self, payload):
        body = json.dumps(payload).encode()
        self.send_response(200)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        self.answer([{"code": c, "name": c, "targets": LANGUAGES} for c in LANGUAGES])

    def do_POST(self):
        raw = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        if self.headers.get("Content-Type", "").startswith("application/json"):
            fields = json.loads(raw)
        else:
            fields = {k: v[0] for k, v in parse_qs(raw.decode()).items()}
        text = fields.get("q", "")
        self.answer({"translatedText": f"{text} #{next(COUNTER)}" if NUMBERED else text})

    def log_message(self, *args):
        pass


server = ThreadingHTTPServer(("127.0.0.1", 0), Echo)
print(server.server_address[1], flush=True)
server.serve_forever()
