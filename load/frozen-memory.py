#!/usr/bin/env python3
# A shared memory whose PostgreSQL stops answering: one tarnix-service on a
# database (a cluster started here, on loopback), its server and backends
# stopped with SIGSTOP for SECONDS (their sockets stay open, so only the
# service's own deadline helps), then continued. Prints the slowest answer
# while the database is stopped (every request is asked of the engine then)
# and how long after SIGCONT a memory hit comes back; fails on an answer that
# is not 200 or a wrong translation.   load/frozen-memory.py BUILD_DIR [SECONDS]
import os, shutil, signal, socket, subprocess, sys, tempfile, threading, time
from urllib.request import Request, urlopen

build, seconds = sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 20

def free_port():
    with socket.socket() as s:
        return s.bind(("127.0.0.1", 0)) or s.getsockname()[1]

def ask(service, text):
    started = time.monotonic()
    body = f"sl=en&tl=es&text={text.replace(' ', '%20')}".encode()
    with urlopen(Request(f"http://127.0.0.1:{service}/", body), timeout=60) as reply:
        page = reply.read().decode()
        ok = reply.status == 200 and f"{text} #" in page
        return ok, time.monotonic() - started, reply.headers.get("X-Tarnix-Memory") == "yes"

def freeze(scratch, sig):
    server = open(f"{scratch}/data/postmaster.pid").readline().strip()
    subprocess.run(["pkill", f"-{sig}", "-P", server])
    os.kill(int(server), getattr(signal, f"SIG{sig}"))

scratch, port, processes = tempfile.mkdtemp(), free_port(), []
try:
    subprocess.run(["tests/support/postgres.sh", "start", scratch, str(port)], check=True)
    with open(f"{scratch}/service.conf", "w") as conf:
        conf.write(f"[memory]\nurl = postgresql://tarnix@127.0.0.1:{port}/postgres\n")
    processes.append(subprocess.Popen([sys.executable, "load/echo-engine.py", "--numbered"], stdout=subprocess.PIPE,
                                      text=True))
    engine_url, service = f"http://127.0.0.1:{processes[0].stdout.readline().strip()}", free_port()
    processes.append(subprocess.Popen([f"{build}/service/tarnix-service", "--config", f"{scratch}/service.conf",
                                       "--port", str(service), "--engine", "libretranslate", "--engine-url",
                                       engine_url], stderr=subprocess.PIPE, text=True))
    assert "listening" in processes[-1].stderr.readline()
    threading.Thread(target=processes[-1].stderr.read, daemon=True).start()
    assert ask(service, "Kept across")[0] and ask(service, "Kept across")[2], "no memory hit before the stop"

    freeze(scratch, "STOP")
    stopped, slowest, wrong, n = time.monotonic(), 0.0, 0, 0
    while time.monotonic() - stopped < seconds:
        ok, took, _ = ask(service, "Kept across" if n % 2 else f"Frozen {n}")
        slowest, wrong, n = max(slowest, took), wrong + (not ok), n + 1
        time.sleep(0.1)
    freeze(scratch, "CONT")
    thawed, back = time.monotonic(), None
    while back is None and time.monotonic() - thawed < 60:
        ok, _, hit = ask(service, "Kept across")
        wrong += not ok
        back = time.monotonic() - thawed if hit else None
        time.sleep(0.05)
    print(f"frozen memory: {n} requests in {seconds} s with the database stopped, the slowest answered in "
          f"{slowest * 1000:.0f} ms, {wrong} wrong; memory hits again {back:.2f} s after it continued"
          if back is not None else f"frozen memory: no memory hit within 60 s after the database continued")
    sys.exit(1 if wrong or back is None else 0)
finally:
    for process in processes:
        process.terminate()
    subprocess.run(["tests/support/postgres.sh", "stop", scratch])
    shutil.rmtree(scratch, ignore_errors=True)
