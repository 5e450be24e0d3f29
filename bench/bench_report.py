#!/usr/bin/python3
"""Output checks and the figures table of the benchmark (called by run.sh).

    bench_report.py check  --plan PLAN --direction D --out CHECK.json
    bench_report.py report --plan PLAN --work DIR --mode MODE [--results FILE]
                           [--summary FILE.json] [--sweep SIZES]
    bench_report.py alternate --runs N --warmup N --name NAME --command COMMAND
                           --output FILE --json FILE --ours-name NAME
                           --ours-command COMMAND --ours-output FILE --json-ours FILE

PLAN is a tab-separated file that run.sh writes, one command a line:

    direction  key  role  name  input  output  small_input  small_output  command

role is "ours", "peer" or "floor"; key is a short file-name-safe name.
run.sh leaves, for each direction D, in WORK:

    json/D-big-KEY.json, json/D-small-KEY.json   hyperfine --export-json
    mem/D-KEY.txt                        /usr/bin/time -v report
    skip/D-KEY.txt                       why a command was not measured
    json/D-check.json                    written by "check"
    json/D-big-io.json, json/D-big-ours-alt.json
                                         the I/O floor and ours, timed in turn by "alternate"
    json/sweep-D-SIZE-KEY.json           hyperfine, time against input size

"alternate" times ours and another command in turn, ours first in one round and second in
the next, each output file removed (untimed) before its run, and writes each one's times
as hyperfine does. The summary is the figures the charts (charts.py) are drawn from.
"""

import argparse
import json
import os
import platform
import re
import shlex
import subprocess
import sys
import time

MB = 10**6
CHUNK = 1 << 20

PLAN_FIELDS = ("direction", "key", "role", "name", "input", "output",
               "small_input", "small_output", "command")

# What the converters must reach, on the 100 MB files.
TARGET_ICONV_SPEEDUP = 4.0
TARGET_CP_SLOWDOWN = 3.0
TARGET_FLOOR_SLOWDOWN = 1.25
TARGET_MEMORY_SLACK = 16 * 2**20


# ------------------------------------------------------------ comparison

def unit_of(path):
    """Code unit width of a converter's output file: 2 for UTF-16."""
    return 2 if path.endswith(".utf16") else 1


def normalise_line_ends(data, unit):
    """CR LF -> LF, in 8-bit text (unit 1) or UTF-16LE text (unit 2).

    In UTF-16 only code-unit-aligned CR LF pairs count."""
    if unit == 1:
        return data.replace(b"\r\n", b"\n")
    crlf, lf = b"\r\x00\n\x00", b"\n\x00"
    pieces = data.split(crlf)
    if all(len(p) % 2 == 0 for p in pieces[:-1]):
        return lf.join(pieces)
    out = []
    start = 0
    i = data.find(crlf)
    while i >= 0:
        if i % 2 == 0:
            out.append(data[start:i])
            out.append(lf)
            start = i + 4
            i = data.find(crlf, start)
        else:
            i = data.find(crlf, i + 1)
    out.append(data[start:])
    return b"".join(out)


def first_difference(a, b):
    """Offset of the first byte where a and b differ, or None if equal.

    When one is a prefix of the other, the offset is the shorter length."""
    if a == b:
        return None
    n = min(len(a), len(b))
    ma, mb = memoryview(a), memoryview(b)
    pos = 0
    while pos < n:
        end = min(pos + CHUNK, n)
        if ma[pos:end] != mb[pos:end]:
            for i in range(pos, end):
                if a[i] != b[i]:
                    return i
        pos = end
    return n


def line_and_column(data, offset, unit):
    """1-based line and byte column of offset in LF-normalised data."""
    nl = b"\n" if unit == 1 else b"\n\x00"
    line_start = data.rfind(nl, 0, offset)
    while unit == 2 and line_start >= 0 and line_start % 2:
        line_start = data.rfind(nl, 0, line_start)
    line_start = 0 if line_start < 0 else line_start + len(nl)
    line = data.count(nl, 0, line_start) + 1
    return line, offset - line_start + 1


def hex_around(data, offset, width=8):
    return data[max(0, offset - width):offset + width].hex(" ")


def compare_outputs(ours_path, peer_path):
    """Compare our output file with a peer's.

    status: "identical" (same bytes), "line-ends" (same bytes once CR LF
    is read as LF), "differs", or "missing" (a file is absent)."""
    for p in (ours_path, peer_path):
        if not os.path.exists(p):
            return {"status": "missing", "file": p}
    with open(ours_path, "rb") as f:
        ours = f.read()
    with open(peer_path, "rb") as f:
        peer = f.read()
    raw = first_difference(ours, peer)
    if raw is None:
        return {"status": "identical", "bytes": len(ours)}
    unit = unit_of(ours_path)
    n_ours = normalise_line_ends(ours, unit)
    n_peer = normalise_line_ends(peer, unit)
    off = first_difference(n_ours, n_peer)
    result = {"raw_offset": raw, "ours_bytes": len(ours), "peer_bytes": len(peer),
              "ours_crlf": ours.count(b"\r\n" if unit == 1 else b"\r\x00\n\x00"),
              "peer_crlf": peer.count(b"\r\n" if unit == 1 else b"\r\x00\n\x00")}
    if off is None:
        result["status"] = "line-ends"
        return result
    line, col = line_and_column(n_ours, off, unit)
    result.update(status="differs", offset=off, line=line, column=col,
                  ours_hex=hex_around(n_ours, off), peer_hex=hex_around(n_peer, off))
    return result


def describe(result):
    """One-line account of a comparison."""
    s = result["status"]
    if s == "identical":
        return "identical"
    if s == "line-ends":
        return ("identical once line ends are normalised (raw bytes differ at "
                "offset %d; CR LF: ours %d, peer %d)"
                % (result["raw_offset"], result["ours_crlf"], result["peer_crlf"]))
    if s == "missing":
        return "no output (%s)" % result["file"]
    return ("DIFFERS at line %d, column %d (offset %d once line ends are "
            "normalised; raw offset %d): ours [%s] peer [%s]"
            % (result["line"], result["column"], result["offset"],
               result["raw_offset"], result["ours_hex"], result["peer_hex"]))


# ------------------------------------------------------------ plan, runs

def read_plan(path):
    rows = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if not line:
                continue
            fields = line.split("\t")
            if len(fields) != len(PLAN_FIELDS):
                raise SystemExit("bad plan line: %r" % line)
            rows.append(dict(zip(PLAN_FIELDS, fields)))
    return rows


def check_direction(plan, direction):
    """Compare our output with each peer's, on both file sizes."""
    rows = [r for r in plan if r["direction"] == direction]
    ours = [r for r in rows if r["role"] == "ours"]
    checks = {}
    if not ours:
        return checks
    me = ours[0]
    for r in rows:
        if r["role"] != "peer":
            continue
        checks[r["key"]] = {
            "big": compare_outputs(me["output"], r["output"]),
            "small": compare_outputs(me["small_output"], r["small_output"]),
        }
    return checks


def median(values):
    v = sorted(values)
    n = len(v)
    if n == 0:
        return None
    return v[n // 2] if n % 2 else (v[n // 2 - 1] + v[n // 2]) / 2


def load_hyperfine(path):
    """{command name: (median seconds, runs, failed runs)} from a hyperfine export."""
    try:
        with open(path) as f:
            data = json.load(f)
    except (OSError, ValueError):
        return {}
    out = {}
    for r in data.get("results", []):
        times = r.get("times") or []
        codes = r.get("exit_codes") or []
        med = r.get("median")
        if med is None:
            med = median(times)
        out[r["command"]] = (med, len(times), sum(1 for c in codes if c))
    return out


def parse_time_v(text):
    """(peak RSS in bytes, exit status) from a GNU time -v report."""
    rss = re.search(r"Maximum resident set size \(kbytes\):\s*(\d+)", text)
    status = re.search(r"Exit status:\s*(\d+)", text)
    return (int(rss.group(1)) * 1024 if rss else None,
            int(status.group(1)) if status else None)


def read_text(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read()
    except OSError:
        return None


# ----------------------------------------------------------------- table

def fmt(value, pattern, missing="—"):
    return missing if value is None else format(value, pattern)


def fmt_size(n):
    if n >= MB:
        return "%.1f MB" % (n / MB)
    if n >= 1000:
        return "%.1f KB" % (n / 1000)
    return "%d B" % n


def first_line(cmd):
    try:
        p = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                           timeout=10)
        lines = p.stdout.decode(errors="replace").strip().splitlines()
        return lines[0].strip() if lines else "?"
    except (OSError, subprocess.SubprocessError):
        return "?"


def machine_line():
    model = "?"
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    model = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    osname = platform.system()
    try:
        with open("/etc/os-release") as f:
            for line in f:
                if line.startswith("PRETTY_NAME="):
                    osname = line.split("=", 1)[1].strip().strip('"')
    except OSError:
        pass
    return "%d-core %s (%s), %s" % (os.cpu_count() or 0, platform.machine(), model, osname)


def direction_section(plan, direction, work, mode):
    rows = [r for r in plan if r["direction"] == direction]
    big, small = {}, {}
    for r in rows:
        for size, into in (("big", big), ("small", small)):
            into.update(load_hyperfine(os.path.join(
                work, "json", "%s-%s-%s.json" % (direction, size, r["key"]))))
    try:
        with open(os.path.join(work, "json", direction + "-check.json")) as f:
            checks = json.load(f)
    except (OSError, ValueError):
        checks = {}

    def figures(r):
        skip = read_text(os.path.join(work, "skip", "%s-%s.txt" % (direction, r["key"])))
        b = big.get(r["name"])
        s = small.get(r["name"])
        rss, status = parse_time_v(read_text(os.path.join(
            work, "mem", "%s-%s.txt" % (direction, r["key"]))) or "")
        return {"skip": skip.strip() if skip else None,
                "time": b[0] if b else None, "failed": (b[2] if b else 0) + (s[2] if s else 0),
                "latency": s[0] if s else None, "rss": rss, "status": status}

    ours = next((r for r in rows if r["role"] == "ours"), None)
    in_bytes = os.path.getsize(rows[0]["input"]) if rows and os.path.exists(rows[0]["input"]) else None
    small_bytes = (os.path.getsize(rows[0]["small_input"])
                   if rows and os.path.exists(rows[0]["small_input"]) else None)
    fig = {r["key"]: figures(r) for r in rows}
    me = fig[ours["key"]] if ours else None

    title = "%s: %s → %s" % (ours["name"] if ours else direction,
                             ext_name(rows[0]["input"]), ext_name(rows[0]["output"]))
    lines = ["## " + title, ""]
    lines.append("Input %s (%s); latency on %s (%s). Each time is a median%s."
                 % (os.path.basename(rows[0]["input"]), fmt_size(in_bytes or 0),
                    os.path.basename(rows[0]["small_input"]), fmt_size(small_bytes or 0),
                    " of one run (quick mode)" if mode == "quick" else ""))
    lines.append("")
    lines.append("| command | MB/s | time ms | %s vs it | 1 KB latency ms | peak RSS MB | output vs ours |"
                 % (ours["name"] if ours else "ours"))
    lines.append("|---|--:|--:|--:|--:|--:|---|")
    notes = []
    for r in rows:
        f = fig[r["key"]]
        if f["skip"]:
            lines.append("| %s | not measured: %s | | | | | |" % (r["name"], f["skip"]))
            continue
        tp = in_bytes / f["time"] / MB if (in_bytes and f["time"]) else None
        ratio = "—"
        if r["role"] != "ours" and me and me["time"] and f["time"] and not me["skip"]:
            ratio = "%.2f×" % (f["time"] / me["time"])
        check = "—"
        c = checks.get(r["key"])
        if c:
            check = short_status(c)
            for size in ("big", "small"):
                if c[size]["status"] not in ("identical",):
                    notes.append("- %s vs %s (%s file): %s"
                                 % (ours["name"], r["name"], size_word(size), describe(c[size])))
        elif r["role"] == "ours":
            check = "(this)"
        failed = " (%d runs failed)" % f["failed"] if f["failed"] else ""
        lines.append("| %s%s | %s | %s | %s | %s | %s | %s |"
                     % (r["name"], failed, fmt(tp, ".1f"), fmt(f["time"] * 1000 if f["time"] is not None else None, ".1f"), ratio,
                        fmt(f["latency"] * 1000 if f["latency"] is not None else None, ".2f"),
                        fmt(f["rss"] / 2**20 if f["rss"] is not None else None, ".1f"),
                        check))
    lines.append("")
    lines.append("MB = 10^6 bytes of input; \"%s vs it\" is that command's time over %s's "
                 "(above 1: %s is faster); peak RSS is the largest process of the command."
                 % ((ours["name"],) * 3 if ours else ("ours",) * 3))
    if notes:
        lines.append("")
        lines.append("Output checks:")
        lines.extend(notes)
    if ours and me and not me["skip"]:
        lines.append("")
        lines.extend(targets(rows, fig, ours, in_bytes, mode, work))
    lines.append("")
    return lines


def ext_name(path):
    return {"utf16": "UTF-16LE", "euc": "EUC-JP", "sjis": "Shift_JIS"}.get(
        path.rsplit(".", 1)[-1], path)


def size_word(size):
    return "big" if size == "big" else "1 KB"


def short_status(c):
    big, small = c["big"]["status"], c["small"]["status"]
    if big == small == "identical":
        return "identical"
    if {big, small} <= {"identical", "line-ends"}:
        return "same after line ends"
    if "differs" in (big, small):
        return "**DIFFERS**"
    return "**no output**"


def floor_ratio(work, direction):
    """Our median time over the I/O floor's, both from the run that timed them in turn."""
    ours = load_hyperfine(os.path.join(work, "json", direction + "-big-ours-alt.json"))
    floor = load_hyperfine(os.path.join(work, "json", direction + "-big-io.json"))
    if not ours or not floor:
        return None
    t_ours, t_floor = next(iter(ours.values()))[0], next(iter(floor.values()))[0]
    return t_ours / t_floor if t_ours and t_floor else None


def targets(rows, fig, ours, in_bytes, mode, work):
    me = fig[ours["key"]]
    by_key = {r["key"]: r for r in rows}
    out = ["Targets%s:" % (" (quick run, indicative only)" if mode == "quick" else "")]

    def peer_time(key):
        f = fig.get(key)
        return f["time"] if f and not f["skip"] else None

    iconv_t, cp_t = peer_time("iconv"), peer_time("cp")
    if me["time"] and iconv_t:
        x = iconv_t / me["time"]
        out.append("- throughput at least %.0f× plain iconv: %s (%.2f×)"
                   % (TARGET_ICONV_SPEEDUP, met(x >= TARGET_ICONV_SPEEDUP), x))
    if me["time"] and cp_t:
        x = me["time"] / cp_t
        out.append("- time within %.0f× cp: %s (%.2f×)"
                   % (TARGET_CP_SLOWDOWN, met(x <= TARGET_CP_SLOWDOWN), x))
    floor = floor_ratio(work, ours["direction"])
    if floor is not None:
        out.append("- time at most %.2f× the I/O floor (timed in turn): %s (%.2f×)"
                   % (TARGET_FLOOR_SLOWDOWN, met(floor <= TARGET_FLOOR_SLOWDOWN), floor))
    nkf = fig.get("nkf")
    if me["latency"] is not None and nkf and nkf["latency"] is not None and not nkf["skip"]:
        out.append("- 1 KB latency no worse than nkf: %s (%.2f ms vs %.2f ms)"
                   % (met(me["latency"] <= nkf["latency"]), me["latency"] * 1000,
                      nkf["latency"] * 1000))
    out_path = by_key[ours["key"]]["output"]
    if me["rss"] is not None and in_bytes and os.path.exists(out_path):
        budget = in_bytes + os.path.getsize(out_path) + TARGET_MEMORY_SLACK
        out.append("- peak memory at most input + output + 16 MB: %s (%.1f MB of %.1f MB)"
                   % (met(me["rss"] <= budget), me["rss"] / 2**20, budget / 2**20))
    return out


def met(ok):
    return "met" if ok else "**not met**"


def summary(plan, work, sweep_sizes):
    """The figures of the charts: each command's throughput on the big file, and each
    command's median time at each size of the sweep."""
    out = {"directions": []}
    for direction in dict.fromkeys(r["direction"] for r in plan):
        rows = [r for r in plan if r["direction"] == direction]
        ours = next(r for r in rows if r["role"] == "ours")
        in_bytes = os.path.getsize(rows[0]["input"]) if os.path.exists(rows[0]["input"]) else None
        throughput = {}
        for r in rows:
            timed = load_hyperfine(os.path.join(work, "json", "%s-big-%s.json"
                                                % (direction, r["key"])))
            t = timed.get(r["name"], (None,))[0]
            if t and in_bytes:
                throughput[r["name"]] = in_bytes / t / MB
        times = {}
        for size in sweep_sizes:
            for key in ("ours", "iconv", "nkf", "cp", "io"):
                timed = load_hyperfine(os.path.join(work, "json", "sweep-%s-%s-%s.json"
                                                    % (direction, size, key)))
                if timed:
                    times.setdefault(key, {})[size] = next(iter(timed.values()))[0]
        out["directions"].append({
            "direction": direction, "ours": ours["name"],
            "from": ext_name(rows[0]["input"]), "to": ext_name(rows[0]["output"]),
            "throughput": throughput, "floor_ratio": floor_ratio(work, direction),
            "sweep": times})
    return out


def report(plan, work, mode):
    directions = []
    for r in plan:
        if r["direction"] not in directions:
            directions.append(r["direction"])
    lines = ["# Kelvo benchmark (%s run)" % mode, ""]
    lines.append("- machine: " + machine_line())
    lines.append("- date: %s; load average at the end: %s"
                 % (time.strftime("%Y-%m-%d %H:%M %Z"), load_average()))
    lines.append("- tools: %s; nkf %s; %s" % (
        first_line(["iconv", "--version"]), nkf_version(), first_line(["hyperfine", "--version"])))
    lines.append("")
    for d in directions:
        lines.extend(direction_section(plan, d, work, mode))
    return "\n".join(lines)


def load_average():
    try:
        with open("/proc/loadavg") as f:
            return " ".join(f.read().split()[:3])
    except OSError:
        return "?"


def nkf_version():
    line = first_line(["nkf", "--version"])
    m = re.search(r"Version\s+(\S+)", line)
    return m.group(1) if m else line


def alternate(args):
    """Times ours and the other command in turn; writes both as hyperfine exports."""
    contenders = [(args.ours_name, shlex.split(args.ours_command), args.ours_output,
                   args.json_ours),
                  (args.name, shlex.split(args.command), args.output, args.json)]
    times = {name: [] for name, *_ in contenders}
    codes = {name: [] for name, *_ in contenders}
    for n in range(args.warmup + args.runs):
        for name, command, output, _ in (contenders if n % 2 == 0 else contenders[::-1]):
            try:
                os.remove(output)
            except FileNotFoundError:
                pass
            start = time.perf_counter()
            code = subprocess.call(command, stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            took = time.perf_counter() - start
            if n >= args.warmup:
                times[name].append(took)
                codes[name].append(code)
    for name, _, _, path in contenders:
        with open(path, "w") as f:
            json.dump({"results": [{"command": name, "times": times[name],
                                    "median": median(times[name]),
                                    "exit_codes": codes[name]}]}, f)
    return 0


def main(argv=None):
    ap = argparse.ArgumentParser(description="benchmark output checks and figures")
    sub = ap.add_subparsers(dest="cmd", required=True)
    c = sub.add_parser("check")
    c.add_argument("--plan", required=True)
    c.add_argument("--direction", required=True)
    c.add_argument("--out", required=True)
    r = sub.add_parser("report")
    r.add_argument("--plan", required=True)
    r.add_argument("--work", required=True)
    r.add_argument("--mode", default="full")
    r.add_argument("--results", help="also write the table to this file")
    r.add_argument("--summary", help="also write the figures of the charts to this JSON file")
    r.add_argument("--sweep", default="", help="the sizes of the sweep, comma-separated")
    a = sub.add_parser("alternate")
    for name in ("--name", "--command", "--output", "--json", "--ours-name",
                 "--ours-command", "--ours-output", "--json-ours"):
        a.add_argument(name, required=True)
    a.add_argument("--runs", type=int, default=5)
    a.add_argument("--warmup", type=int, default=1)
    args = ap.parse_args(argv)
    if args.cmd == "alternate":
        return alternate(args)

    plan = read_plan(args.plan)
    if args.cmd == "check":
        checks = check_direction(plan, args.direction)
        with open(args.out, "w") as f:
            json.dump(checks, f, indent=1)
        ours = next((x["name"] for x in plan
                     if x["direction"] == args.direction and x["role"] == "ours"), "ours")
        names = {x["key"]: x["name"] for x in plan if x["direction"] == args.direction}
        for key, c in checks.items():
            for size in ("big", "small"):
                if c[size]["status"] in ("differs", "missing"):
                    print("bench: MISMATCH %s vs %s (%s file): %s"
                          % (ours, names[key], size_word(size), describe(c[size])),
                          file=sys.stderr)
        return 0
    text = report(plan, args.work, args.mode)
    print(text)
    if args.summary:
        sizes = [x for x in args.sweep.split(",") if x]
        with open(args.summary, "w", encoding="utf-8") as f:
            json.dump(summary(plan, args.work, sizes), f, indent=1)
    if args.results:
        tmp = args.results + ".tmp"
        with open(tmp, "w", encoding="utf-8") as f:
            f.write(text + "\n")
        os.replace(tmp, args.results)
    return 0


if __name__ == "__main__":
    sys.exit(main())
