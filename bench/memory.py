#!/usr/bin/env python3
"""Peak resident memory of every path of the three programs on a large input.

    bench/memory.py BIN_DIR [--size 1g] [--limit-mb N] [--reference REF_BIN_DIR]

Builds inputs of SIZE bytes (or just over) from the benchmark corpus's 100 MB files, runs
each program on each path that streams a file (a file, standard input, field selection, a
file converted onto itself, -b, -t, standard output) and prints a Markdown table of peak
resident memory and wall time. With --limit-mb, every run gets that address-space limit
(RLIMIT_AS). With --reference, the same path is run with the programs of REF_BIN_DIR,
without a limit, and the two outputs must be identical (compared by SHA-256).
"""

import argparse
import hashlib
import os
import resource
import shutil
import subprocess
import sys
import time

BOM = b"\xff\xfe"
TABLES = ("UTF16~EUC-JP.bin", "EUC-JP~UTF16.bin", "EUC-JP~Shift_JIS.bin",
          "MS932~UTF16.bin", "MS932~EUC-JP.bin")

# (program, path, arguments, input kind); IN and OUT stand for the input and output files,
# "<IN" feeds the input through a pipe, ">OUT" sends standard output to the output file.
PATHS = [
    ("tamorlek", "file", ["IN", "OUT"], "utf16"),
    ("tamorlek", "field selection -r1", ["-r1", "IN", "OUT"], "utf16"),
    ("tamorlek", "onto itself", ["IN", "IN"], "utf16"),
    ("tamorlek", "-b onto itself", ["-b", "IN", "IN"], "utf16"),
    ("tamorlek", "-t", ["-t", "IN", "OUT"], "utf16"),
    ("brenodax", "file", ["IN", "OUT"], "euc"),
    ("brenodax", "standard input", ["-o", "OUT", "<IN"], "euc"),
    ("brenodax", "onto itself", ["IN", "IN"], "euc"),
    ("brenodax", "-b onto itself", ["-b", "IN", "IN"], "euc"),
    ("quilvar", "file", ["IN", "OUT"], "euc"),
    ("quilvar", "standard output", ["--out", "IN", ">OUT"], "euc"),
    ("quilvar", "onto itself", ["IN", "IN"], "euc"),
]


def parse_size(text):
    units = {"k": 10**3, "m": 10**6, "g": 10**9}
    if text[-1].lower() in units:
        return int(float(text[:-1]) * units[text[-1].lower()])
    return int(text)


def make_input(corpus, kind, size, path):
    """The corpus's 100 MB file of that kind repeated (one byte-order mark at the start)
    until the file holds at least size bytes."""
    if os.path.exists(path) and os.path.getsize(path) >= size:
        return
    with open(os.path.join(corpus, "ja-100m." + kind), "rb") as f:
        piece = f.read()
    head = b""
    if piece.startswith(BOM):
        head, piece = BOM, piece[len(BOM):]
    with open(path + ".part", "wb") as out:
        out.write(head)
        written = len(head)
        while written < size:
            out.write(piece)
            written += len(piece)
    os.replace(path + ".part", path)


def digest(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        while block := f.read(1 << 22):
            h.update(block)
    return h.hexdigest()


def run(bin_dir, program, args, source, work, limit_mb):
    """Runs one path in work on a hard link of source; returns (peak RSS KB, seconds,
    SHA-256 of the result)."""
    for name in os.listdir(work):
        if name.startswith(("in.", "out.", "binary.tmp", "err")):
            os.remove(os.path.join(work, name))
    given = os.path.join(work, "in.dat")
    os.link(source, given)
    result = os.path.join(work, "out.dat")
    words, stdin, stdout = [], subprocess.DEVNULL, subprocess.DEVNULL
    for a in args:
        if a == "IN":
            words.append("in.dat")
        elif a == "OUT":
            words.append("out.dat")
        elif a == "<IN":
            stdin = "pipe"
        elif a == ">OUT":
            stdout = open(result, "wb")
        else:
            words.append(a)
    if "OUT" not in args and ">OUT" not in args:
        result = given

    def limited():
        if limit_mb:
            limit = limit_mb << 20
            resource.setrlimit(resource.RLIMIT_AS, (limit, limit))

    feeder = None
    if stdin == "pipe":
        feeder = subprocess.Popen(["cat", given], stdout=subprocess.PIPE)
        stdin = feeder.stdout
    # GNU time measures the program: a resident-set peak read by wait4 here would include
    # this interpreter's, which the forked child keeps until it starts the program.
    measured = os.path.join(work, "time.txt")
    start = time.monotonic()
    child = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", measured,
                              os.path.join(bin_dir, program)] + words, cwd=work, stdin=stdin,
                             stdout=stdout, preexec_fn=limited)
    status = child.wait()
    seconds = time.monotonic() - start
    if feeder:
        feeder.stdout.close()
        feeder.wait()
    if stdout is not subprocess.DEVNULL:
        stdout.close()
    code = status
    if code != 0:
        logs = [n for n in os.listdir(work) if n.startswith("err")]
        texts = [open(os.path.join(work, n), "rb").read() for n in logs]
        sys.exit(f"{program} {' '.join(args)}: exit {code} {texts}")
    with open(measured) as f:
        peak = int(f.read().split()[-1])
    return peak, seconds, digest(result)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("bin_dir")
    parser.add_argument("--size", default="1g")
    parser.add_argument("--limit-mb", type=int, default=0)
    parser.add_argument("--reference")
    parser.add_argument("--tables", default=None,
                        help="directory of the table files (default: BIN_DIR/../share/kelvo)")
    parser.add_argument("--dir", default=os.environ.get("KELVO_BENCH_DIR", "/tmp/kelvo-bench"))
    options = parser.parse_args()

    options.bin_dir = os.path.abspath(options.bin_dir)
    if options.reference:
        options.reference = os.path.abspath(options.reference)
    size = parse_size(options.size)
    big = os.path.join(options.dir, "memory")
    os.makedirs(big, exist_ok=True)
    inputs = {}
    for kind in ("utf16", "euc"):
        inputs[kind] = os.path.join(big, f"ja-{options.size}.{kind}")
        make_input(options.dir, kind, size, inputs[kind])

    tables = options.tables or os.path.join(options.bin_dir, "..", "share", "kelvo")
    work = os.path.join(big, "work")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    for name in TABLES:
        if os.path.exists(os.path.join(tables, name)):
            shutil.copy(os.path.join(tables, name), work)
    for name in ("set_tamorlek.txt", "set_brenodax.txt", "set_quilvar.txt"):
        open(os.path.join(work, name), "wb").close()

    limit = f", address space limited to {options.limit_mb} MB" if options.limit_mb else ""
    print(f"Input: {os.path.getsize(inputs['utf16']):,} bytes of UTF-16, "
          f"{os.path.getsize(inputs['euc']):,} bytes of EUC-JP{limit}.\n")
    header = "| program | path | peak RSS MB | time s |"
    if options.reference:
        header += " same bytes as reference |"
    print(header)
    print("|---|---|--:|--:|" + ("---|" if options.reference else ""))
    failed = False
    for program, path, args, kind in PATHS:
        rss, seconds, ours = run(options.bin_dir, program, args, inputs[kind], work,
                                 options.limit_mb)
        line = f"| {program} | {path} | {rss / 1024:.1f} | {seconds:.1f} |"
        if options.reference:
            _, _, theirs = run(options.reference, program, args, inputs[kind], work, 0)
            line += " yes |" if ours == theirs else " **no** |"
            failed |= ours != theirs
        print(line, flush=True)
    for name in os.listdir(work):
        if name.endswith(".dat"):
            os.remove(os.path.join(work, name))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
