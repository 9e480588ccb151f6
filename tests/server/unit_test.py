#!/usr/bin/env python3
"""kirune-serve.service, checked without a running systemd.

1. systemd-analyze verify: every line is one this systemd knows (an unknown key is ignored with a
   warning, so a typo would silently drop a protection).
2. systemd-analyze security --offline=true rates the sandbox 3.0 or less.
3. kirune-serve itself, run under strace while it starts, serves the page, the presets and a PDF and
   tries the CUPS socket, stays inside the unit's sandbox: every system call passes the unit's
   SystemCallFilter, every socket is of a family RestrictAddressFamilies allows, no memory is mapped
   writable and executable (MemoryDenyWriteExecute), and nothing is opened for writing but its cache
   and runtime directories.

Usage: unit_test.py UNIT_FILE KIRUNE_SERVE
"""
import functools
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.request

LIMIT = 3.0
unit_path, serve = sys.argv[1], os.path.abspath(sys.argv[2])
failures = []


def fail(message):
    failures.append(message)
    print("FAIL:", message, file=sys.stderr)


for tool in ("systemd-analyze", "strace"):
    if not shutil.which(tool):
        sys.exit(f"{tool} missing: run scripts/setup")

unit = open(unit_path, encoding="utf-8").read()
directives = [tuple(line.split("=", 1)) for line in unit.splitlines() if re.match(r"^[A-Za-z]+=", line)]


def values(key):
    return [v for k, v in directives if k == key]


def stop(tracer, sig=signal.SIGTERM):
    """Signals the server strace runs (strace itself does not pass SIGTERM on)."""
    try:
        children = open(f"/proc/{tracer.pid}/task/{tracer.pid}/children").read().split()
    except OSError:
        return
    for child in children:
        os.kill(int(child), sig)


work = tempfile.mkdtemp(prefix="kirune-unit-")
server = None
try:
    # 1. verify wants the program the unit starts: the built one stands in for /usr/bin/kirune-serve.
    copy = os.path.join(work, "kirune-serve.service")
    text = re.sub(r"^ExecStart=/usr/bin/kirune-serve ", f"ExecStart={serve} ", unit, flags=re.M)
    if text == unit:
        fail("the unit does not start /usr/bin/kirune-serve")
    open(copy, "w", encoding="utf-8").write(text)
    verify = subprocess.run(["systemd-analyze", "verify", "--man=no", copy], capture_output=True, text=True)
    if verify.returncode != 0 or verify.stdout.strip() or verify.stderr.strip():
        fail(f"systemd-analyze verify:\n{verify.stdout}{verify.stderr}")

    # 2. The exposure level.
    security = subprocess.run(["systemd-analyze", "security", "--offline=true", copy], capture_output=True, text=True)
    if security.stderr.strip():
        fail(f"systemd-analyze security:\n{security.stderr}")
    level = re.search(r"Overall exposure level for kirune-serve\.service: ([0-9.]+)", security.stdout)
    if not level:
        fail(f"no exposure level in:\n{security.stdout}")
    else:
        print(f"exposure level {level.group(1)} (at most {LIMIT})")
        if float(level.group(1)) > LIMIT:
            fail("exposure level above the limit:\n" + "\n".join(
                line for line in security.stdout.splitlines() if line.startswith("✗")))

    # 3. kirune-serve under strace, with the unit's environment and directories.
    cache, runtime = os.path.join(work, "cache"), os.path.join(work, "run")
    os.mkdir(cache)
    # Made as systemd makes it (0755 unless the unit says otherwise); Qt refuses a runtime directory
    # others may read and would make one of its own in /tmp.
    os.mkdir(runtime)
    os.chmod(runtime, int((values("RuntimeDirectoryMode") or ["0755"])[-1], 8))
    env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "LANG": "C.UTF-8"}
    for line in values("Environment"):
        name, value = line.strip('"').split("=", 1)
        env[name] = value
    env.update(XDG_CACHE_HOME=cache, XDG_RUNTIME_DIR=runtime, HOME=work)
    trace = os.path.join(work, "trace")
    server = subprocess.Popen(["strace", "-f", "-qq", "-o", trace, serve, "--listen", "127.0.0.1:0", "--workers", "2",
                               "--printer", "default"], env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              text=True, cwd="/")
    said = server.stdout.readline()
    port = re.search(r"http://127\.0\.0\.1:(\d+)/", said)
    if not port:
        server.kill()
        sys.exit(f"kirune-serve did not start: {said}{server.stdout.read()}")
    base = f"http://127.0.0.1:{port.group(1)}"
    for path in ("/", "/kirune.js", "/api/presets", "/healthz", "/sheets.pdf?preset=BitBtn13&sheets=2&answers=1"):
        with urllib.request.urlopen(base + path, timeout=30) as res:
            if res.status != 200 or not res.read():
                fail(f"GET {path}: {res.status}")
    # With no spooler running the answer is a refusal, but the server has tried the CUPS socket.
    request = urllib.request.Request(base + "/print", data=b"preset=BitBtn13", headers={"X-Kirune-Page": "1"})
    try:
        urllib.request.urlopen(request, timeout=30).read()
    except urllib.error.HTTPError as e:
        e.read()
    # The server ends on SIGTERM as under systemd; strace ends with it.
    stop(server)
    try:
        server.wait(timeout=30)
    except subprocess.TimeoutExpired:
        fail("kirune-serve did not end on SIGTERM")

    calls = open(trace, encoding="utf-8", errors="replace").read().splitlines()
    started = [m for m in (re.match(r"^\d+ +([a-z_0-9]+)\((.*)", line) for line in calls) if m]
    # The first execve is strace starting the server; the unit's filter applies from there on.
    used = {m.group(1) for m in started[1:]}

    @functools.lru_cache(None)
    def expand(group):
        out = subprocess.run(["systemd-analyze", "syscall-filter", group], capture_output=True, text=True).stdout
        names = set()
        for line in out.splitlines()[1:]:
            name = line.strip()
            if name and not name.startswith("#"):
                names |= expand(name) if name.startswith("@") else {name}
        return frozenset(names)

    def names(entry):
        out = set()
        for item in entry.split():
            out |= expand(item) if item.startswith("@") else {item}
        return out

    allowed, denied = set(), set()
    for entry in values("SystemCallFilter"):
        if entry.startswith("~"):
            denied |= names(entry[1:])
        else:
            allowed |= names(entry)
    if not allowed:
        fail("the unit has no SystemCallFilter allow list")
    refused = sorted(c for c in used if c not in allowed or c in denied)
    if refused:
        fail(f"system calls the unit's filter refuses: {refused}")

    families = set(" ".join(values("RestrictAddressFamilies")).split())
    opened = {m.group(2).split(",")[0] for m in started if m.group(1) == "socket"}
    if not opened or not opened <= families:
        fail(f"socket families {sorted(opened)}, the unit allows {sorted(families)}")
    if not {"AF_INET", "AF_UNIX"} <= opened:
        fail(f"the run did not bind its port and try the CUPS socket: {sorted(opened)}")

    if values("MemoryDenyWriteExecute") == ["yes"]:
        wx = [m.group(0) for m in started
              if m.group(1) in ("mmap", "mprotect", "pkey_mprotect") and "PROT_WRITE" in m.group(2) and "PROT_EXEC" in m.group(2)]
        if wx:
            fail(f"writable and executable memory: {wx[:3]}")

    writable = (cache, runtime, "/proc/self/fd/", "/dev/null")
    writes = [m.group(0) for m in started if m.group(1) in ("open", "openat", "creat", "mkdir", "mkdirat", "rename",
                                                             "unlink", "unlinkat")
              and (m.group(1) not in ("open", "openat") or re.search(r"O_WRONLY|O_RDWR|O_CREAT", m.group(2)))
              and not any(f'"{w}' in m.group(2) for w in writable)]
    if writes:
        fail(f"writes outside the cache and runtime directories: {writes[:5]}")
finally:
    if server and server.poll() is None:
        stop(server, signal.SIGKILL)
        server.kill()
        server.wait()
    shutil.rmtree(work, ignore_errors=True)

if failures:
    sys.exit(1)
print("unit: ok")
