#!/usr/bin/env python3
# Load on a translation memory shared in PostgreSQL: 8 tarnix-service on one
# database (a cluster started here, on loopback, as nobody under root), each
# running 20-language runs of texts of its own and texts all share, for SECONDS
# (at most 60). Fails on a wrong answer, two services answering one key
# differently, a key not stored exactly once with the answer given, or an error
# or deadlock in the server's log. A statement over its time limit (a starved
# machine) has its service skip the memory for a while, as designed; keys asked
# meanwhile may be answered and stored apart, so such a run is judged on wrong
# answers and errors alone, and says so.   load/shared-memory.py BUILD_DIR [SECONDS]
import collections, concurrent.futures, itertools, re, shutil, socket, subprocess, sys, tempfile, threading, time
from urllib.request import Request, urlopen

build, seconds = sys.argv[1], min(int(sys.argv[2]) if len(sys.argv) > 2 else 60, 60)
TARGETS = "zh-CN zh-TW es fr ru uk de ja ko it pl ro pt ar iw tr id hi vi fa".split()

def free_port():
    with socket.socket() as s:
        return s.bind(("127.0.0.1", 0)) or s.getsockname()[1]

scratch, port, processes = tempfile.mkdtemp(), free_port(), []
try:
    subprocess.run(["tests/support/postgres.sh", "start", scratch, str(port)], check=True)
    with open(f"{scratch}/service.conf", "w") as conf:
        conf.write(f"[memory]\nurl = postgresql://tarnix@127.0.0.1:{port}/postgres\n")
    processes.append(subprocess.Popen([sys.executable, "load/echo-engine.py", "--numbered"], stdout=subprocess.PIPE,
                                      text=True))
    engine_url, services = f"http://127.0.0.1:{processes[0].stdout.readline().strip()}", [free_port() for _ in range(8)]
    for service in services:  # each says on stderr when it listens
        processes.append(subprocess.Popen([f"{build}/service/tarnix-service", "--config", f"{scratch}/service.conf",
                                           "--port", str(service), "--engine", "libretranslate", "--engine-url",
                                           engine_url], stderr=subprocess.PIPE, text=True))
        assert "listening" in processes[-1].stderr.readline()
        threading.Thread(target=processes[-1].stderr.read, daemon=True).start()

    answers, wrong, lock, deadline = {}, [], threading.Lock(), time.time() + seconds
    def ask(service, text, target):
        body = f"sl=en&tl={target}&text={text.replace(' ', '%20')}".encode()
        with urlopen(Request(f"http://127.0.0.1:{service}/", body), timeout=30) as reply:
            page = reply.read().decode()
        answer = re.search(r"class=short_text>(" + re.escape(text) + r" #\d+)</span>", page)
        with lock:
            if answer:
                answers.setdefault((text, target), set()).add(answer[1])
            else:
                wrong.append((text, target, page[:200]))
    def runs(n, service):
        with concurrent.futures.ThreadPoolExecutor(20) as pool:
            for run in itertools.takewhile(lambda _: time.time() < deadline, itertools.count()):
                text = f"shared {run % 40}" if run % 2 else f"own {n} {run}"
                list(pool.map(lambda target: ask(service, text, target), TARGETS))
    with concurrent.futures.ThreadPoolExecutor(8) as pool:
        list(pool.map(runs, range(8), services))

    rows = subprocess.run(["psql", "-h", scratch, "-p", str(port), "-U", "tarnix", "-d", "postgres", "-AtF", "\t", "-c",
                           "SELECT text, target, translation FROM translations"], capture_output=True, text=True,
                          check=True).stdout.splitlines()
    stored = collections.defaultdict(list)
    for text, target, translation in (row.split("\t") for row in rows):
        stored[text, target].append(translation)
    split = {key: seen for key, seen in answers.items() if len(seen) != 1}
    unstored = [key for key, seen in answers.items() if len(stored[key]) != 1 or stored[key][0] not in seen]
    # A look-up over its 200 ms is cancelled and skipped, as designed; anything else is a fault.
    log = [line for line in open(f"{scratch}/server.log") if re.search(r"ERROR|FATAL|PANIC|deadlock", line)]
    skipped = len(log) - len(log := [line for line in log if "due to statement timeout" not in line])
    print(f"shared memory load: {len(answers)} keys in {seconds} s, {len(wrong)} wrong answers, {len(split)} keys "
          f"answered differently, {len(unstored)} not stored once with the answer, {len(log)} errors in the server "
          f"log ({skipped} statements over their time limit)", *(wrong[:3] + list(split.items())[:3] + unstored[:3]
                                                                  + log[:3]), sep="\n  ")
    if skipped and (split or unstored):
        print("  (the memory was skipped while statements ran over their limit: keys answered or stored apart are "
              "not counted as faults in this run)")
    sys.exit(1 if wrong or log or (not skipped and (split or unstored)) else 0)
finally:
    for process in processes:
        process.terminate()
    subprocess.run(["tests/support/postgres.sh", "stop", scratch])
    shutil.rmtree(scratch, ignore_errors=True)
