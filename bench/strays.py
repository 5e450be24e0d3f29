#!/usr/bin/python3
"""Time brenodax and quilvar on EUC-JP text with stray bytes against the clean text.

    bench/strays.py [--size SIZE] [--every N] [--runs N] BUILD_BIN_DIR

The clean file is the benchmark corpus's ja-SIZE.euc (made by make_corpus.py
when missing). The stray file is the same text with one invalid byte put in
at the first character boundary after every N bytes (default 100): a
character cut to its first byte where an ASCII byte follows, else one of
80h, A0h and FFh, which start no sequence. Each program converts both files
(hyperfine, --runs runs after a warm-up); the stray file may take at most
twice the processor time (user and system) of the clean one, which a busy
machine disturbs less than the wall time, or the script exits with status 1.
The programs find their tables in the working directory, copied there from
--tables (default BUILD_BIN_DIR/../share/kelvo).
"""

import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, here)

import make_corpus  # noqa: E402

# Bytes that start no EUC-JP sequence, and a first byte left without its second.
NO_START = (0x80, 0xA0, 0xFF)
CUT_LEAD = 0xB0
LIMIT = 2.0
PROGRAMS = {"brenodax": ("EUC-JP~UTF16.bin", "u16"), "quilvar": ("EUC-JP~Shift_JIS.bin", "sjis")}


def sequence_length(data, at):
    """Bytes of the EUC-JP character at `at` (ASCII, two-byte, 8Fh three-byte)."""
    b = data[at]
    if b < 0x80:
        return 1
    return 3 if b == 0x8F else 2


def insert_strays(data, every):
    """The bytes with one stray byte after every `every` bytes, at character boundaries;
    returns (bytes, number of strays)."""
    out = bytearray()
    at = count = since = 0
    while at < len(data):
        if since >= every:
            if data[at] < 0x80:
                out.append(CUT_LEAD)
            else:
                out.append(NO_START[count % len(NO_START)])
            count += 1
            since = 0
        n = sequence_length(data, at)
        out += data[at:at + n]
        at += n
        since += n
    return bytes(out), count


def tables_for(work, tables):
    """Puts the programs' tables and empty settings files in work, so that no run writes
    an error log."""
    for program, (table, _) in PROGRAMS.items():
        shutil.copy(os.path.join(tables, table), work)
        open(os.path.join(work, "set_%s.txt" % program), "wb").close()


def timings(work, bin_dir, program, source, runs):
    """hyperfine's median wall time and mean processor time (user + system) of one
    conversion."""
    out = os.path.join(work, "out." + PROGRAMS[program][1])
    report = os.path.join(work, "%s-%s.json" % (program, os.path.basename(source)))
    command = "%s %s %s" % (os.path.join(bin_dir, program), source, out)
    subprocess.run(["hyperfine", "-N", "--runs", str(runs), "--warmup", "1",
                    "--prepare", "rm -f " + out, "--export-json", report, command],
                   cwd=work, check=True, stdout=subprocess.DEVNULL)
    with open(report) as f:
        result = json.load(f)["results"][0]
    return result["median"], result["user"] + result["system"]


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("bin_dir")
    ap.add_argument("--size", default="10m")
    ap.add_argument("--every", type=int, default=100)
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--dir", default=None, help="corpus directory (as make_corpus.py)")
    ap.add_argument("--tables", default=None,
                    help="where the tables are (default BUILD_BIN_DIR/../share/kelvo)")
    args = ap.parse_args(argv)
    bin_dir = os.path.abspath(args.bin_dir)
    corpus = os.path.abspath(args.dir or make_corpus.default_dir())
    label = make_corpus.size_label(args.size)
    clean = make_corpus.corpus_path(corpus, label, "euc")
    if not os.path.exists(clean):
        make_corpus.main(["--dir", corpus, "--sizes", label, "-q"])
    with open(clean, "rb") as f:
        data, count = insert_strays(f.read(), args.every)
    failed = False
    with tempfile.TemporaryDirectory(dir=corpus) as work:
        stray = os.path.join(work, "strays-%s.euc" % label)
        with open(stray, "wb") as f:
            f.write(data)
        tables_for(work, args.tables or os.path.join(bin_dir, "..", "share", "kelvo"))
        print("| program | clean: wall / processor (s) | %d strays: wall / processor (s) "
              "| processor ratio |" % count)
        print("| --- | --: | --: | --: |")
        for program in PROGRAMS:
            wall, busy = timings(work, bin_dir, program, clean, args.runs)
            cut_wall, cut_busy = timings(work, bin_dir, program, stray, args.runs)
            ratio = cut_busy / busy
            failed |= ratio > LIMIT
            print("| %s | %.3f / %.3f | %.3f / %.3f | %.2f |"
                  % (program, wall, busy, cut_wall, cut_busy, ratio))
    if failed:
        print("strays: a stray file took more than %.0f times the clean one" % LIMIT,
              file=sys.stderr)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
