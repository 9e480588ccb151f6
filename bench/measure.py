#!/usr/bin/python3
"""Runs every Kirune benchmark of an already built tree and prints all figures as one markdown report.

    measure.py BUILD_DIR [--quick]

BUILD_DIR is a Release build with the benchmarks, kirune-print and kirune in it (bench/run makes one).
--quick takes fewer rounds, for a look during development; the published figures come without it.

Whole processes are timed here from their start to their exit (or, for the window, to its first
frame), peak memory is the kernel's maximum resident set size as /usr/bin/time -v reports it.
"""
import json
import os
import pathlib
import platform
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent
PYTHON = "/usr/bin/python3"  # Debian's, which has python3-reportlab
REFERENCE = ROOT / "bench" / "reference_plain_text.py"
CUPS_SCRIPT = ROOT / "tests" / "printing" / "cups_spooler.sh"

# The run compared: "わり算混合" x 100 problems, answers on; SpinEdit1 sheets give 2 * SpinEdit1 pages.
PRESET = "BitBtn108"


def kirune_print_args(exe, sheets, pdf):
    return [str(exe), PRESET, "--set", f"SpinEdit1={sheets}", "--set", "CheckBox15=1", "--seed", "1",
            "--pdf", str(pdf)]


def kirune_trace_args(exe, sheets, trace):
    return kirune_print_args(exe, sheets, trace)[:-2] + ["--trace", str(trace)]


# Targets.
RATIO_MAX = 1.0
PDF_OVER_TRACE_MAX = 1.6
SHEET_WITH_ANSWERS_MS_MAX = 5.0
KB_PER_PAGE_MAX = 20.0
DOCUMENT_MS_MAX = 20.0
PAGE_TIME_SPREAD_MAX = 0.20
CLI_RSS_MB_MAX = 60.0
STARTUP_MS_MAX = 300.0
WINDOW_RSS_MB_MAX = 80.0


def log(message):
    print(message, file=sys.stderr, flush=True)


def machine():
    cpu = "unknown"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    with open("/proc/meminfo") as f:
        mem_kb = int(re.search(r"MemTotal:\s+(\d+)", f.read()).group(1))
    commit = subprocess.run(["git", "-C", str(ROOT), "rev-parse", "--short", "HEAD"], capture_output=True,
                            text=True).stdout.strip()
    return {
        "nproc": os.cpu_count(),
        "cpu": cpu,
        "memory": f"{mem_kb / 1024 / 1024:.1f} GiB",
        "kernel": platform.release(),
        "commit": commit,
        "date": time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime()),
    }


def load_average():
    return " ".join(f"{x:.2f}" for x in os.getloadavg())


def timed_run(args, env=None, cwd=None):
    """Wall time in seconds and peak RSS in MB of one process, run under /usr/bin/time -v."""
    with tempfile.NamedTemporaryFile("r", suffix=".time") as report:
        start = time.perf_counter()
        done = subprocess.run(["/usr/bin/time", "-v", "-o", report.name] + list(args), env=env, cwd=cwd,
                              stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        elapsed = time.perf_counter() - start
        if done.returncode != 0:
            raise RuntimeError(f"{args[0]} failed ({done.returncode}): {done.stderr.strip()}")
        rss_kb = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", report.read()).group(1))
    return elapsed, rss_kb / 1024


# Google Benchmark executables.

def run_benchmark(exe, repetitions, env=None, extra=("--benchmark_min_time=0.1",)):
    """Median real time (ms) and label of every benchmark of `exe`."""
    with tempfile.NamedTemporaryFile("r", suffix=".json") as out:
        args = [str(exe), f"--benchmark_repetitions={repetitions}", "--benchmark_report_aggregates_only=true",
                f"--benchmark_out={out.name}", "--benchmark_out_format=json"] + list(extra)
        done = subprocess.run(args, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        if done.returncode != 0:
            raise RuntimeError(f"{exe.name} failed ({done.returncode}): {done.stderr.strip()}")
        data = json.load(out)
    results = {}
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}
    for b in data["benchmarks"]:
        if b.get("aggregate_name") != "median":
            continue
        name = b["run_name"]
        results[name] = {"ms": b["real_time"] * scale[b["time_unit"]],
                         "cpu_ms": b["cpu_time"] * scale[b["time_unit"]], "label": b.get("label", "")}
    return results


def fmt_ms(ms):
    if ms < 0.01:
        return f"{ms * 1000:.2f} µs"
    if ms < 1:
        return f"{ms * 1000:.0f} µs"
    if ms < 100:
        return f"{ms:.2f} ms"
    return f"{ms:.0f} ms"


def problems_section(build, reps):
    exe = build / "bench" / "kirune_bench_problems"
    if not exe.exists():
        return ["_kirune_bench_problems not built_"]
    r = run_benchmark(exe, reps)
    lines = ["| kind (`shurui`) | pool | generate (`print01Click`) | shuffle (`swapClick`) | "
             "one sheet: `startSheet` + 100 × `dealNext` |", "|---|---:|---:|---:|---:|"]
    for kind in range(20):
        gen = r[f"BM_Generate/{kind}"]
        name, _, pool = gen["label"].rpartition(" pool ")
        lines.append(f"| {kind} `{name}` | {pool} | {fmt_ms(gen['ms'])} | "
                     f"{fmt_ms(r[f'BM_Shuffle/{kind}']['ms'])} | "
                     f"{fmt_ms(r[f'BM_StartSheetAndDeal100/{kind}']['ms'])} |")
    return lines


def render_section(build, reps):
    exe = build / "bench" / "kirune_bench_render"
    if not exe.exists():
        return ["_kirune_bench_render not built_"]
    r = run_benchmark(exe, reps)
    lines = ["| engine, one sheet | into `TraceCanvas` (null stream) |", "|---|---:|"]
    for name, v in r.items():
        lines.append(f"| {v['label']} | {fmt_ms(v['ms'])} |")
    return lines


def printing_section(build, reps, env):
    exe = build / "bench" / "kirune_bench_printing"
    if not exe.exists():
        return ["_kirune_bench_printing not built_"], None, None
    # A raster page takes seconds: fewer rounds of those.
    r = run_benchmark(exe, reps, env=env, extra=("--benchmark_min_time=0.1", "--benchmark_filter=-Png"))
    r.update(run_benchmark(exe, 3, env=env, extra=("--benchmark_filter=Png",)))
    lines = ["| what | median time |", "|---|---:|"]
    document_ms = None
    sheet_ms = None
    for name, v in r.items():
        lines.append(f"| {v['label']} | {fmt_ms(v['ms'])} |")
        if name.startswith("BM_DocumentToSpooler"):
            document_ms = v["ms"]
        if name.startswith("BM_SheetWithAnswersToPdf"):
            sheet_ms = v["ms"]
    return lines, document_ms, sheet_ms


# Whole processes.

def side_by_side(kirune_print, rounds, work):
    """Alternating runs of kirune-print and the reference, each round in swapped order."""
    k_pdf, r_pdf = work / "kirune.pdf", work / "reference.pdf"
    runs = {"kirune": [], "reference": []}
    rss = {"kirune": 0.0, "reference": 0.0}
    commands = {
        "kirune": kirune_print_args(kirune_print, 100, k_pdf),
        "reference": [PYTHON, str(REFERENCE), str(r_pdf), "100"],
    }
    # One untimed run of each first: the page cache holds both programs and their libraries after it.
    for name in commands:
        timed_run(commands[name])
    for i in range(rounds):
        order = ["kirune", "reference"] if i % 2 == 0 else ["reference", "kirune"]
        for name in order:
            seconds, peak = timed_run(commands[name])
            runs[name].append(seconds)
            rss[name] = max(rss[name], peak)
    pages = {n: pdf_pages(p) for n, p in (("kirune", k_pdf), ("reference", r_pdf))}
    sizes = {"kirune": k_pdf.stat().st_size, "reference": r_pdf.stat().st_size}
    ratios = [k / r for k, r in zip(runs["kirune"], runs["reference"])]
    return {
        "median": {n: statistics.median(v) for n, v in runs.items()},
        "min": {n: min(v) for n, v in runs.items()},
        "ratio": statistics.median(runs["kirune"]) / statistics.median(runs["reference"]),
        "ratio_of_rounds": statistics.median(ratios),
        "rss": rss,
        "pages": pages,
        "kb_per_page": {n: sizes[n] / 1024 / pages[n] for n in sizes},
        "rounds": rounds,
    }


def pdf_over_trace(kirune_print, rounds, work):
    """The 200-page run to PDF and the engine's own --trace of the same work, in alternating pairs:
    what writing the PDF costs over drawing nothing."""
    pdf, trace = work / "paired.pdf", work / "paired.trace"
    commands = {"pdf": kirune_print_args(kirune_print, 100, pdf),
                "trace": kirune_trace_args(kirune_print, 100, trace)}
    for c in commands.values():
        timed_run(c)
    runs = {"pdf": [], "trace": []}
    for i in range(rounds):
        for name in (["pdf", "trace"] if i % 2 == 0 else ["trace", "pdf"]):
            runs[name].append(timed_run(commands[name])[0])
    ratios = [p / t for p, t in zip(runs["pdf"], runs["trace"])]
    return {"median": {n: statistics.median(v) for n, v in runs.items()}, "ratio": statistics.median(ratios),
            "rounds": rounds, "kb": pdf.stat().st_size / 1024}


def pdf_pages(pdf):
    out = subprocess.run(["pdfinfo", str(pdf)], capture_output=True, text=True, check=True).stdout
    return int(re.search(r"Pages:\s+(\d+)", out).group(1))


def scaling(kirune_print, counts, rounds, work):
    """The sheet counts in alternation, round after round, so a slow spell of the machine falls on all
    of them. Short runs get twelve times the rounds: what ten sheets add to one is about 5 ms, against
    a start-up of 35 ms that varies by a few milliseconds from run to run, so their medians need the
    most runs to settle. Longer runs come every few rounds, spread over the whole measurement rather
    than bunched at its start, so that they too see the machine as the short ones do. The start-up
    alone is the same run with 0 sheets (no document)."""
    counts = (0,) + tuple(counts)
    times = {n: [] for n in counts}
    peaks = {n: 0.0 for n in counts}
    for i in range(rounds * 12):
        for n in counts:
            every = 1 if n <= 10 else 12 if n < 1000 else 24
            if i % every != 0:
                continue
            seconds, peak = timed_run(kirune_print_args(kirune_print, n, work / f"scaling-{n}.pdf"))
            times[n].append(seconds)
            peaks[n] = max(peaks[n], peak)
    median = {n: statistics.median(t) for n, t in times.items()}
    # The first sheet also pays what every run pays once: fonts looked up and embedded, pictures
    # embedded. The cost of a page is what each further page adds.
    first = counts[1]
    rows = []
    for n in counts[1:]:
        pages = 2 * n
        rows.append({"sheets": n, "pages": pages, "median_s": median[n], "ms_per_page": median[n] * 1000 / pages,
                     "ms_per_page_net": ((median[n] - median[first]) * 1000 / (pages - 2 * first)
                                         if n != first else None),
                     "rss": peaks[n], "kb_per_page": (work / f"scaling-{n}.pdf").stat().st_size / 1024 / pages})
    return {"startup_s": median[0], "startup_rss": peaks[0], "rows": rows}


def instructions(kirune_print, sheets, work):
    """Instructions the whole process executes (valgrind --tool=callgrind): repeatable where time is not."""
    out = work / f"callgrind-{sheets}.out"
    done = subprocess.run(["valgrind", "--tool=callgrind", f"--callgrind-out-file={out}"]
                          + kirune_print_args(kirune_print, sheets, work / "callgrind.pdf"),
                          capture_output=True, text=True)
    if done.returncode != 0:
        raise RuntimeError(f"valgrind failed: {done.stderr.strip()[-500:]}")
    return int(re.search(r"refs:\s+([\d,]+)", done.stderr).group(1).replace(",", ""))


def start_xvfb():
    """A private X server on a free display; returns (process, display)."""
    read, write = os.pipe()
    proc = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1920x1080x24", "-nolisten",
                             "tcp"], pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    with os.fdopen(read) as f:
        display = f.readline().strip()
    if not display:
        proc.kill()
        raise RuntimeError("Xvfb did not start")
    return proc, f":{display}"


def startup_runs(kirune, platform_env, rounds):
    """Time from spawning the window until it reports its first frame, and its peak memory."""
    env = dict(os.environ, **platform_env, KIRUNE_STARTUP_PROBE="1")
    spawn_ms, self_ms, peaks = [], [], []
    for i in range(rounds + 1):
        with tempfile.NamedTemporaryFile("r", suffix=".time") as report:
            start = time.perf_counter()
            proc = subprocess.Popen(["/usr/bin/time", "-v", "-o", report.name, str(kirune)], env=env,
                                    stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
            line = proc.stdout.readline()
            seen = time.perf_counter()
            proc.stdout.read()
            err = proc.stderr.read()
            if proc.wait() != 0 or "first frame" not in line:
                raise RuntimeError(f"kirune did not report its first frame: {line!r} {err.strip()}")
            rss_kb = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", report.read()).group(1))
        if i == 0:
            continue  # the first run fills the page cache
        spawn_ms.append((seen - start) * 1000)
        self_ms.append(float(re.search(r"([\d.]+) ms", line).group(1)))
        peaks.append(rss_kb / 1024)
    return {"spawn_ms": statistics.median(spawn_ms), "self_ms": statistics.median(self_ms),
            "rss": max(peaks)}


def met(ok):
    return "met" if ok else "**missed**"


def main():
    build = pathlib.Path(sys.argv[1]).resolve()
    quick = "--quick" in sys.argv[2:]
    reps = 3 if quick else 9
    rounds = 3 if quick else 11
    comparison_rounds = 3 if quick else 21
    m = machine()
    load_before = load_average()
    log(f"measuring in {build} (load {load_before})")
    kirune_print = build / "cli" / "kirune-print"
    kirune = build / "app" / "kirune"
    out = []
    out.append(f"Machine: {m['nproc']} cores, {m['cpu']}, {m['memory']} memory, Linux {m['kernel']}; "
               f"commit {m['commit']}, {m['date']}; load average at start {load_before}.")
    out.append("")
    targets = []

    with tempfile.TemporaryDirectory(prefix="kirune-bench-") as tmp:
        work = pathlib.Path(tmp)

        log("whole-process comparison")
        if kirune_print.exists():
            s = side_by_side(kirune_print, comparison_rounds, work)
            out.append(f"### The 200-page run, side by side ({s['rounds']} alternating rounds, medians)")
            out.append("")
            out.append("| program | median | fastest | peak memory | pages | PDF per page |")
            out.append("|---|---:|---:|---:|---:|---:|")
            for n, title in (("kirune", "`kirune-print BitBtn108` (pictures)"),
                             ("reference", "`reference_plain_text.py` (ReportLab, text only)")):
                out.append(f"| {title} | {s['median'][n] * 1000:.0f} ms | {s['min'][n] * 1000:.0f} ms | "
                           f"{s['rss'][n]:.1f} MB | {s['pages'][n]} | {s['kb_per_page'][n]:.1f} KB |")
            out.append("")
            out.append(f"Kirune ÷ reference: **{s['ratio']:.2f}** (ratio of the medians; median of the "
                       f"per-round ratios {s['ratio_of_rounds']:.2f}).")
            out.append("")
            targets.append(("200-page run, Kirune ÷ plain-text reference", f"<= {RATIO_MAX:.1f}",
                            f"{s['ratio']:.2f}", s["ratio"] <= RATIO_MAX))
            targets.append(("PDF size per page of that run", f"<= {KB_PER_PAGE_MAX:.0f} KB",
                            f"{s['kb_per_page']['kirune']:.1f} KB",
                            s["kb_per_page"]["kirune"] <= KB_PER_PAGE_MAX))

            log("PDF over trace")
            pt = pdf_over_trace(kirune_print, comparison_rounds, work)
            out.append(f"### The 200-page run to PDF against its `--trace` ({pt['rounds']} alternating pairs)")
            out.append("")
            out.append(f"`--pdf` {pt['median']['pdf'] * 1000:.0f} ms, `--trace` {pt['median']['trace'] * 1000:.0f} ms "
                       f"(medians); PDF ÷ trace, median of the pairs: **{pt['ratio']:.2f}**; "
                       f"the PDF is {pt['kb']:.0f} KB.")
            out.append("")
            targets.append(("200-page run to PDF ÷ its --trace (paired)", f"<= {PDF_OVER_TRACE_MAX:.1f}",
                            f"{pt['ratio']:.2f}", pt["ratio"] <= PDF_OVER_TRACE_MAX))

            log("scaling")
            sc = scaling(kirune_print, (1, 10, 100, 1000), 3 if quick else 21, work)
            rows = sc["rows"]
            out.append("### Scaling: the same run with 1 to 1000 sheets (answers on: 2 pages a sheet)")
            out.append("")
            out.append(f"Start-up alone (the same command with 0 sheets, which prints nothing): "
                       f"{sc['startup_s'] * 1000:.0f} ms, {sc['startup_rss']:.1f} MB.")
            out.append("")
            out.append("| sheets | pages | median wall time | per page | each page beyond the first sheet | "
                       "peak memory | PDF per page |")
            out.append("|---:|---:|---:|---:|---:|---:|---:|")
            for r in rows:
                net = "" if r["ms_per_page_net"] is None else f"{r['ms_per_page_net']:.2f} ms"
                out.append(f"| {r['sheets']} | {r['pages']} | {r['median_s'] * 1000:.0f} ms | "
                           f"{r['ms_per_page']:.2f} ms | {net} | {r['rss']:.1f} MB | {r['kb_per_page']:.1f} KB |")
            out.append("")
            if shutil.which("valgrind"):
                log("instruction counts")
                counts = {n: instructions(kirune_print, n, work) for n in (1, 10, 100)}
                per10 = (counts[10] - counts[1]) / 18
                per100 = (counts[100] - counts[1]) / 198
                out.append(f"Instructions (callgrind, repeatable on a busy machine): 1 sheet "
                           f"{counts[1] / 1e6:.0f} M; each page beyond the first sheet {per10 / 1e6:.2f} M "
                           f"over 10 sheets, {per100 / 1e6:.2f} M over 100 sheets.")
                out.append("")
            per_page = [r["ms_per_page_net"] for r in rows if r["sheets"] >= 10]
            spread = max(per_page) / min(per_page) - 1
            peak = max(r["rss"] for r in rows)
            targets.append(("Time per page (each page beyond the first sheet), 10 to 1000 sheets",
                            f"within {PAGE_TIME_SPREAD_MAX:.0%}", f"{spread:.0%} apart",
                            spread <= PAGE_TIME_SPREAD_MAX))
            targets.append(("Peak memory of the CLI run, any sheet count", f"<= {CLI_RSS_MB_MAX:.0f} MB",
                            f"{peak:.1f} MB", peak <= CLI_RSS_MB_MAX))
        else:
            out.append("_kirune-print not built_")

        log("start-up")
        if kirune.exists():
            out.append("### Window start-up: process start to the first frame of the main window")
            out.append("")
            out.append("| platform | median, measured by the caller | median, as the window reports it | "
                       "peak memory |")
            out.append("|---|---:|---:|---:|")
            startup = {}
            startup["offscreen"] = startup_runs(kirune, {"QT_QPA_PLATFORM": "offscreen"}, rounds)
            xvfb, display = start_xvfb()
            try:
                startup["Xvfb (xcb)"] = startup_runs(kirune, {"QT_QPA_PLATFORM": "xcb", "DISPLAY": display},
                                                     rounds)
            finally:
                xvfb.send_signal(signal.SIGTERM)
                xvfb.wait()
            for name, v in startup.items():
                out.append(f"| {name} | {v['spawn_ms']:.0f} ms | {v['self_ms']:.0f} ms | {v['rss']:.1f} MB |")
            out.append("")
            worst = max(v["spawn_ms"] for v in startup.values())
            worst_rss = max(v["rss"] for v in startup.values())
            targets.append(("Window start-up to first frame", f"<= {STARTUP_MS_MAX:.0f} ms",
                            f"{worst:.0f} ms", worst <= STARTUP_MS_MAX))
            targets.append(("Window peak memory", f"<= {WINDOW_RSS_MB_MAX:.0f} MB", f"{worst_rss:.1f} MB",
                            worst_rss <= WINDOW_RSS_MB_MAX))
        else:
            out.append("_kirune not built_")

        log("benchmarks: printing")
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        cups_dir = None
        if (build / "bench" / "kirune_bench_printing").exists() and CUPS_SCRIPT.exists():
            cups_dir = pathlib.Path(tempfile.mkdtemp(prefix="kirune-bench-cups-"))
            subprocess.run(["bash", str(CUPS_SCRIPT), "start", str(cups_dir)], check=True,
                           stdout=subprocess.DEVNULL)
            env["CUPS_SERVER"] = str(cups_dir / "cups.sock")
        try:
            lines, document_ms, sheet_ms = printing_section(build, reps, env)
        finally:
            if cups_dir:
                subprocess.run(["bash", str(CUPS_SCRIPT), "stop", str(cups_dir)], check=False)
                shutil.rmtree(cups_dir, ignore_errors=True)
        out.append("### Pages and documents: PDF by Kirune's writer, PNG through Qt (`QtPageCanvas`), "
                   "A4 at 600 dpi")
        out.append("")
        out += lines
        out.append("")
        if sheet_ms is not None:
            targets.append(("One sheet with answers to PDF, in process", f"<= {SHEET_WITH_ANSWERS_MS_MAX:.0f} ms",
                            fmt_ms(sheet_ms), sheet_ms <= SHEET_WITH_ANSWERS_MS_MAX))
        if document_ms is not None:
            targets.append(("One document, engine start to hand-over to the spooler",
                            f"<= {DOCUMENT_MS_MAX:.0f} ms", fmt_ms(document_ms), document_ms <= DOCUMENT_MS_MAX))

        log("benchmarks: engines")
        out.append("### Engines alone")
        out.append("")
        out += render_section(build, reps)
        out.append("")
        log("benchmarks: problems")
        out.append("### Problem generation, per kind")
        out.append("")
        out += problems_section(build, reps)
        out.append("")

    summary = ["### Targets", "", "| target | goal | measured | |", "|---|---|---|---|"]
    for name, goal, value, ok in targets:
        summary.append(f"| {name} | {goal} | {value} | {met(ok)} |")
    summary.append("")
    print("\n".join([out[0], ""] + summary + out[2:]))
    print(f"Load average at the end: {load_average()}.")


if __name__ == "__main__":
    main()
