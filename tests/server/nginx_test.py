#!/usr/bin/env python3
"""The README's nginx example, run: Debian's nginx in front of two kirune-serve on loopback, one of them
killed with SIGKILL while four clients download, and every GET answered in full with the right bytes.

The configuration is read from the README itself (the block after "With nginx, for example"), with the
two machines' addresses and port 80 replaced by loopback ones, so the example and the test cannot drift.

Usage: nginx_test.py KIRUNE_SERVE README.md
"""
import http.client
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

serve, readme = os.path.abspath(sys.argv[1]), sys.argv[2]
CLIENTS, PER_CLIENT = 4, 60
KILL_AFTER = 40  # answers received before one server is killed
PATHS = ["/sheets.pdf?preset=BitBtn13&sheets=3&answers=1&seed=5", "/api/presets", "/healthz",
         "/sheets.pdf?preset=BitBtn108&sheets=2&seed=9", "/"]

nginx = shutil.which("nginx") or ("/usr/sbin/nginx" if os.path.exists("/usr/sbin/nginx") else None)
if not nginx:
    sys.exit("nginx missing: run scripts/setup")

text = open(readme, encoding="utf-8").read()
block = re.search(r"With nginx, for example[^\n]*\n(?:[^\n]+\n)*\n((?:    [^\n]*\n|\n)+)", text)
if not block:
    sys.exit("no nginx example in the README")
example = "\n".join(line[4:] for line in block.group(1).splitlines())
for needed in ("10.0.0.11:8080", "10.0.0.12:8080", "listen 80;"):
    if needed not in example:
        sys.exit(f"the README's nginx example has no {needed!r}:\n{example}")


def start_server():
    child = subprocess.Popen([serve, "--listen", "127.0.0.1:0", "--workers", "1"], stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL, text=True, env={**os.environ, "QT_QPA_PLATFORM": "offscreen"})
    line = child.stdout.readline()
    port = re.search(r"http://127\.0\.0\.1:(\d+)/", line)
    if not port:
        child.kill()
        sys.exit(f"kirune-serve did not start: {line}")
    return child, f"127.0.0.1:{port.group(1)}"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def get(conn, path):
    conn.request("GET", path)
    res = conn.getresponse()
    return res.status, res.read()


work = tempfile.mkdtemp(prefix="kirune-nginx-")
os.chmod(work, 0o755)  # nginx's workers run as nobody when the test runs as root
children = []
try:
    a, addr_a = start_server()
    b, addr_b = start_server()
    children += [a, b]
    proxy_port = free_port()
    for d in ("body", "proxy", "fastcgi", "uwsgi", "scgi"):
        os.mkdir(os.path.join(work, d))
        os.chmod(os.path.join(work, d), 0o777)
    site = (example.replace("10.0.0.11:8080", addr_a).replace("10.0.0.12:8080", addr_b)
            .replace("listen 80;", f"listen 127.0.0.1:{proxy_port};"))
    conf = os.path.join(work, "nginx.conf")
    open(conf, "w").write(f"""
daemon off;
worker_processes 1;
pid {work}/nginx.pid;
error_log {work}/error.log info;
events {{ worker_connections 256; }}
http {{
    log_format kirune '$status $upstream_addr $upstream_status $request_uri';
    access_log {work}/access.log kirune;
    client_body_temp_path {work}/body;
    proxy_temp_path {work}/proxy;
    fastcgi_temp_path {work}/fastcgi;
    uwsgi_temp_path {work}/uwsgi;
    scgi_temp_path {work}/scgi;
{site}
}}
""")
    proxy = subprocess.Popen([nginx, "-p", work, "-e", f"{work}/error.log", "-c", conf])
    children.append(proxy)
    for _ in range(100):
        try:
            socket.create_connection(("127.0.0.1", proxy_port), timeout=1).close()
            break
        except OSError:
            if proxy.poll() is not None:
                sys.exit(f"nginx ended: {open(f'{work}/error.log').read()}")
            time.sleep(0.1)

    # What each address must give, straight from one server.
    direct = http.client.HTTPConnection(addr_b, timeout=30)
    expected = {}
    for path in PATHS:
        status, body = get(direct, path)
        assert status == 200, (path, status)
        expected[path] = body
    direct.close()

    done = 0
    lock = threading.Lock()
    killed = threading.Event()
    failures = []

    def client(n):
        global done
        conn = http.client.HTTPConnection("127.0.0.1", proxy_port, timeout=60)
        for i in range(PER_CLIENT):
            path = PATHS[(n + i) % len(PATHS)]
            try:
                status, body = get(conn, path)
            except (OSError, http.client.HTTPException) as e:
                failures.append(f"{path}: {e!r}")
                conn.close()
                conn = http.client.HTTPConnection("127.0.0.1", proxy_port, timeout=60)
                continue
            if status != 200 or body != expected[path]:
                failures.append(f"{path}: {status}, {len(body)} bytes")
            with lock:
                done += 1
                if done == KILL_AFTER:
                    a.send_signal(signal.SIGKILL)
                    killed.set()
        conn.close()

    threads = [threading.Thread(target=client, args=(n,)) for n in range(CLIENTS)]
    for t in threads:
        t.start()
    for t in threads:
        t.join(timeout=120)
    assert not any(t.is_alive() for t in threads), "clients still waiting after 120 s"
    assert killed.is_set()
    a.wait(timeout=10)
    # nginx writes a request's log line after the client already has the last byte; a graceful stop
    # writes every line still owed, so the count below cannot race the last answers.
    proxy.send_signal(signal.SIGQUIT)
    proxy.wait(timeout=30)

    log = open(f"{work}/access.log").read().splitlines()
    served_by = [line.split()[1] for line in log]
    errors = open(f"{work}/error.log").read()
    cut = [line for line in errors.splitlines() if addr_a in line and "[error]" in line]
    print(f"{len(log)} requests through nginx: {served_by.count(addr_a)} by the killed server, "
          f"{sum(addr_b in s for s in served_by)} by the other; {len(cut)} upstream errors at the killed one")
    for line in cut[:3]:
        print("  " + line[line.find("[error]"):][:160])
    assert not failures, f"{len(failures)} GETs lost: {failures[:5]}"
    assert len(log) == CLIENTS * PER_CLIENT, len(log)
    assert served_by[:KILL_AFTER].count(addr_a) > 0, "the killed server had no share of the load"
    assert cut, "nginx never met the killed server, so nothing was failed over"
    print("nginx: ok")
finally:
    for child in children:
        if child.poll() is None:
            child.send_signal(signal.SIGTERM)
            try:
                child.wait(timeout=10)
            except subprocess.TimeoutExpired:
                child.kill()
    shutil.rmtree(work, ignore_errors=True)
