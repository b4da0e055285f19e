#!/usr/bin/env python3
"""Load on a translation memory shared in PostgreSQL: 8 tarnix-service on one
database (a cluster started here, on loopback, as nobody under root), each
running 20-language runs of texts of its own and texts all share, for SECONDS
(at most 60). Fails on a wrong answer, two services answering one key
differently, a key not stored exactly once with the answer given, or an error
or deadlock in the server's log.   load/shared-memory.py BUILD_DIR [SECONDS]"""
import concurrent.futures, glob, os, re, shutil, socket, subprocess, sys, tempfile, threading, time
from urllib.request import Request, urlopen

build, seconds = sys.argv[1], min(int(sys.argv[2]) if len(sys.argv) > 2 else 60, 60)
TARGETS = "zh-CN zh-TW es fr ru uk de ja ko it pl ro pt ar iw tr id hi vi fa".split()
pg = sorted(glob.glob("/usr/lib/postgresql/*/bin"), key=lambda p: int(p.split("/")[-2]))[-1]
as_owner = ["runuser", "-u", "nobody", "--"] if os.geteuid() == 0 else []

def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]

scratch = tempfile.mkdtemp()
if as_owner:
    shutil.chown(scratch, "nobody")
data, port, processes = f"{scratch}/data", free_port(), []
def pg_ctl(*args):
    subprocess.run(as_owner + [f"{pg}/pg_ctl", "-D", data, "-w", *args], check=True, stdout=subprocess.DEVNULL)
try:
    subprocess.run(as_owner + [f"{pg}/initdb", "-D", data, "-U", "tarnix", "--auth=trust", "--no-sync"],
                   check=True, stdout=subprocess.DEVNULL)
    pg_ctl("-l", f"{scratch}/server.log", "-o", f"-p {port} -k {scratch} -c listen_addresses=127.0.0.1", "start")
    with open(f"{scratch}/service.conf", "w") as conf:
        conf.write(f"[memory]\nurl = postgresql://tarnix@127.0.0.1:{port}/postgres\n")
    engine = subprocess.Popen([sys.executable, "load/echo-engine.py", "--numbered"], stdout=subprocess.PIPE, text=True)
    processes.append(engine)
    engine_url = f"http://127.0.0.1:{engine.stdout.readline().strip()}"
    services = []
    for _ in range(8):
        services.append(free_port())
        processes.append(subprocess.Popen([f"{build}/service/tarnix-service", "--config", f"{scratch}/service.conf",
                                           "--port", str(services[-1]), "--engine", "libretranslate", "--engine-url",
                                           engine_url], stderr=subprocess.DEVNULL))
    time.sleep(2)

    answers, wrong, lock, deadline = {}, [], threading.Lock(), time.time() + seconds
    def ask(service, text, target):
        body = f"sl=en&tl={target}&text={text.replace(' ', '%20')}".encode()
        with urlopen(Request(f"http://127.0.0.1:{service}/", body), timeout=30) as reply:
            page = reply.read().decode()
        answer = re.search(r"<span id=result_box class=short_text>(.*?)</span>", page, re.S)
        with lock:
            if not answer or not re.fullmatch(re.escape(text) + r" #\d+", answer.group(1)):
                wrong.append((text, target, page[:200]))
            else:
                answers.setdefault((text, target), set()).add(answer.group(1))
    def runs(n, service):
        with concurrent.futures.ThreadPoolExecutor(20) as pool:
            run = 0
            while time.time() < deadline:
                text = f"shared {run % 40}" if run % 2 else f"own {n} {run}"
                list(pool.map(lambda target: ask(service, text, target), TARGETS))
                run += 1
    with concurrent.futures.ThreadPoolExecutor(8) as pool:
        list(pool.map(runs, range(8), services))

    rows = subprocess.run(["psql", "-h", scratch, "-p", str(port), "-U", "tarnix", "-d", "postgres", "-AtF", "\t", "-c",
                           "SELECT text, target, translation FROM translations"], capture_output=True, text=True,
                          check=True).stdout.splitlines()
    stored = {}
    for row in rows:
        text, target, translation = row.split("\t")
        stored.setdefault((text, target), []).append(translation)
    split = {key: seen for key, seen in answers.items() if len(seen) != 1}
    unstored = [key for key, seen in answers.items() if len(stored.get(key, [])) != 1 or stored[key][0] not in seen]
    # A look-up over its 200 ms is cancelled and skipped, as designed; anything else is a fault.
    log = [line for line in open(f"{scratch}/server.log") if re.search(r"ERROR|FATAL|PANIC|deadlock", line)]
    skipped = sum("canceling statement due to statement timeout" in line for line in log)
    log = [line for line in log if "canceling statement due to statement timeout" not in line]
    print(f"shared memory load: {sum(len(v) for v in answers.values())} distinct answers to {len(answers)} keys "
          f"over {seconds} s, {len(wrong)} wrong, {len(split)} keys answered differently, {len(unstored)} not stored "
          f"once with the answer, {len(log)} errors in the server log ({skipped} statements over their time limit)")
    for problem in wrong[:3] + list(split.items())[:3] + unstored[:3] + log[:3]:
        print("  ", problem)
    sys.exit(1 if wrong or split or unstored or log else 0)
finally:
    for process in processes:
        process.terminate()
    pg_ctl("-m", "fast", "stop")
    shutil.rmtree(scratch, ignore_errors=True)
