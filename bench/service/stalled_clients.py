#!/usr/bin/env python3
"""tarnix-service with many stalled clients: a good request's latency while
they are open, against the same request with none open (the reference,
measured in the same run), and the service's open descriptors before, while
and after its request time-out and the moment a closed connection still reads.

  bench/service/stalled_clients.py build/service/tarnix-service [CONNECTIONS]

Each stalled client sends its headers and half its body, then nothing. The
good requests are same-language translations, which the service answers
without an engine, so the figures are the HTTP side's alone.
"""
import os
import resource
import socket
import statistics
import subprocess
import sys
import time

binary = sys.argv[1]
count = int(sys.argv[2]) if len(sys.argv) > 2 else 1000
soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
resource.setrlimit(resource.RLIMIT_NOFILE, (max(soft, min(hard, count + 256)), hard))

probe = socket.socket()
probe.bind(("127.0.0.1", 0))
port = probe.getsockname()[1]
probe.close()
service = subprocess.Popen([binary, "--port", str(port), "--engine", "libretranslate",
                            "--engine-url", "http://127.0.0.1:9"], stderr=subprocess.DEVNULL)
body = b"sl=en&tl=en&text=Hello"
request = (b"POST / HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/x-www-form-urlencoded\r\n"
           b"Content-Length: %d\r\n\r\n" % len(body)) + body


def descriptors():
    return len(os.listdir(f"/proc/{service.pid}/fd"))


def good_ms():
    start = time.perf_counter()
    with socket.create_connection(("127.0.0.1", port), timeout=30) as client:
        client.sendall(request)
        answer = b""
        while b"</html>" not in answer:
            chunk = client.recv(65536)
            if not chunk:
                break
            answer += chunk
    assert answer.startswith(b"HTTP/1.1 200 "), answer[:80]
    return (time.perf_counter() - start) * 1000


def closed(client):
    client.setblocking(False)
    try:
        while True:  # a 408 page, then the end
            if not client.recv(65536):
                return True
    except BlockingIOError:
        return False
    except OSError:  # reset: closed to make room
        return True


def median_ms(runs=30):
    return statistics.median(good_ms() for _ in range(runs))


try:
    for _ in range(100):
        try:
            good_ms()
            break
        except OSError:
            time.sleep(0.1)
    idle_fds = descriptors()
    reference = median_ms()

    stalled = []
    opened = time.monotonic()
    for _ in range(count):
        client = socket.create_connection(("127.0.0.1", port), timeout=30)
        client.sendall(request[:-len(body) // 2])
        stalled.append(client)
    last_opened = time.monotonic()
    time.sleep(0.5)
    while_fds = descriptors()
    loaded = median_ms()
    print(f"{count} stalled connections opened in {time.monotonic() - opened:.1f} s")
    print(f"service descriptors: {idle_fds} idle, {while_fds} with {count} stalled clients")
    print(f"good request: {reference:.2f} ms alone, {loaded:.2f} ms with them open: {loaded / reference:.2f}x")

    still_open = sum(1 for client in stalled if not closed(client))
    print(f"stalled connections the service still holds: {still_open}")
    # The request time-out (30 s), then up to 2 s in which a closed
    # connection still reads what its client sends.
    time.sleep(max(0.0, last_opened + 33 - time.monotonic()))
    print(f"service descriptors 33 s after the last stalled client: {descriptors()}; "
          f"stalled connections it still holds: {sum(1 for client in stalled if not closed(client))}")
    for client in stalled:
        client.close()
finally:
    service.terminate()
    service.wait()
