#!/usr/bin/env python3
"""Posts one translation to tarnix-service through its socket unit's address
and prints the time from the first connection to the answer.

  first-answer.py HOST:PORT                  the socket systemd holds for the user
  first-answer.py HOST:PORT --hand-over BIN  no user systemd: listens on the
      address itself and starts BIN the way systemd does on the first
      connection (the socket on descriptor 3, LISTEN_FDS=1, LISTEN_PID)
"""
import http.client
import os
import signal
import socket
import sys
import time

host, port = sys.argv[1].rsplit(":", 1)
port = int(port)
hand_over = sys.argv[3] if len(sys.argv) > 3 and sys.argv[2] == "--hand-over" else None
service = None
if hand_over:
    listening = socket.socket()
    listening.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)  # as systemd does
    try:
        listening.bind((host, port))
    except OSError:
        print(f"{host}:{port} is taken here; using a free port for the hand-over")
        listening.bind((host, 0))
        port = listening.getsockname()[1]
    listening.listen(128)
started = time.monotonic()
if hand_over:
    service = os.fork()
    if service == 0:
        os.dup2(listening.fileno(), 3)
        os.set_inheritable(3, True)
        os.environ.update(LISTEN_FDS="1", LISTEN_PID=str(os.getpid()))
        os.execv(hand_over, [hand_over])

try:
    connection = http.client.HTTPConnection(host, port, timeout=120)
    connection.request("POST", "/", "sl=en&tl=es&text=Good%20morning",
                       {"Content-Type": "application/x-www-form-urlencoded"})
    answer = connection.getresponse()
    page = answer.read().decode()
    seconds = time.monotonic() - started
    if answer.status != 200 or "result_box" not in page:
        sys.exit(f"tarnix-service answered {answer.status}:\n{page}")
    print(f"tarnix-service answered 200 through {host}:{port} {seconds:.2f} s after the first connection")
finally:
    if service:
        os.kill(service, signal.SIGTERM)
        os.waitpid(service, 0)
