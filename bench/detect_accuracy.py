#!/usr/bin/python3
"""How often kelvo's encoding detection is right, beside nkf --guess.

    bench/detect_accuracy.py [--probe PROBE | --detector 'CMD ...'] [--dir DIR]
                             [--lines N] [--jobs N] [--no-nkf]

Three sets of files, made from Debian's Japanese manual pages (manpages-ja,
manpages-ja-dev), each rendered on its own with groff as bench/make_corpus.py
renders them:

  pages      every page whole in UTF-8, UTF-16LE with and without a
             byte-order mark, EUC-JP (iconv EUC-JP-MS) and Shift_JIS (iconv
             CP932); a page iconv cannot convert to all of them is skipped;
  lines      single lines of those pages, line feed included, of 16 to 200
             bytes in the encoding at hand, in UTF-8, UTF-16LE, EUC-JP and
             Shift_JIS (a sample of --lines distinct lines, default 20000);
  half-width short texts with half-width katakana, in UTF-8, EUC-JP and
             Shift_JIS: the lines that hold katakana with every katakana made
             half-width, once with the rest of the line ("mixed", with kanji
             and kana) and once with only the ASCII of the line beside the
             katakana ("alone"), again 16 to 200 bytes.

A file whose bytes are all ASCII is right when found ASCII, whatever it was
written as.  A verdict is right, wrong or undecided; "single" counts the wrong
verdicts on files that only one of UTF-8, EUC-JP, Shift_JIS (and UTF-16, for
a file with NUL bytes) decodes.  nkf --guess runs on the same files; it never
says undecided.

The detector is the probe built with the tests (build/dev/tests/
kelvo_detect_probe), which prints "WORD<TAB>PATH<TAB>..." per file, WORD one
of ascii, utf-8, utf-16le, utf-16be, euc-jp, shift_jis, binary, undecided.
--detector takes another command that is given the file names and prints the
same (see parse_verdict to read another format).

Needs iconv, groff, nkf and the manual pages; the rendered pages are cached
in DIR/detect (DIR: --dir, else $KELVO_BENCH_DIR, else /tmp/kelvo-bench).
"""

import argparse
import concurrent.futures
import hashlib
import json
import os
import random
import re
import shlex
import shutil
import subprocess
import sys
import unicodedata

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import make_corpus  # noqa: E402

ENCODINGS = {
    # name: (iconv target, what is right for it)
    "utf-8": ("UTF-8", "utf-8"),
    "utf-16le-bom": ("UTF-16LE", "utf-16le"),
    "utf-16le": ("UTF-16LE", "utf-16le"),
    "euc-jp": ("EUC-JP-MS", "euc-jp"),
    "shift_jis": ("CP932", "shift_jis"),
}
LINE_ENCODINGS = ("utf-8", "utf-16le", "euc-jp", "shift_jis")
HALF_ENCODINGS = ("utf-8", "euc-jp", "shift_jis")
VERDICTS = ("ascii", "utf-8", "utf-16le", "utf-16be", "euc-jp", "shift_jis", "binary",
            "undecided")
NKF_NAMES = [
    (re.compile(r"^ASCII"), "ascii"),
    (re.compile(r"^UTF-8"), "utf-8"),
    (re.compile(r"^UTF-16 ?BE"), "utf-16be"),
    (re.compile(r"^UTF-16"), "utf-16le"),
    (re.compile(r"^(EUC-JP|eucJP|CP51932)"), "euc-jp"),
    (re.compile(r"^(Shift_JIS|CP932|Windows-31J)"), "shift_jis"),
    (re.compile(r"^BINARY"), "binary"),
]
MIN_BYTES, MAX_BYTES = 16, 200
BATCH = 400


def log(text):
    print("detect: " + text, file=sys.stderr, flush=True)


# ------------------------------------------------------------------ the texts

def render_page(path):
    src = make_corpus.decode_source(make_corpus.read_raw(path))
    if make_corpus.is_redirect(src):
        return ""
    macros = "mdoc" if make_corpus.is_mdoc(src) else "man"
    return make_corpus.clean_rendered(make_corpus.render_groff([src], macros))


def rendered_pages(cache_dir, jobs):
    """[(page, text)] of every page with text, rendered one by one (cached)."""
    root = make_corpus.MAN_ROOT
    pages = make_corpus.list_pages(root)
    if not pages:
        raise SystemExit("no manual pages under %s: install manpages-ja and manpages-ja-dev"
                         % root)
    key = make_corpus.text_key(root, pages, "groff-each")
    path = os.path.join(cache_dir, "pages-%s.json" % key)
    if os.path.exists(path):
        with open(path, encoding="utf-8") as f:
            return [tuple(p) for p in json.load(f)]
    log("rendering %d manual pages one by one ..." % len(pages))
    with concurrent.futures.ThreadPoolExecutor(max_workers=jobs) as pool:
        texts = list(pool.map(lambda rel: render_page(os.path.join(root, rel)), pages))
    result = [(rel, text) for rel, text in zip(pages, texts) if text]
    os.makedirs(cache_dir, exist_ok=True)
    make_corpus.write_atomic(path, json.dumps(result, ensure_ascii=False).encode("utf-8"))
    return result


def iconv_or_none(data, target):
    p = subprocess.run(["iconv", "-f", "UTF-8", "-t", target], input=data,
                       stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    return p.stdout if p.returncode == 0 else None


def split_lines(data, unit):
    """The lines of data, each with its line feed (all texts end with one)."""
    newline = b"\n" if unit == 1 else b"\n\0"
    out, start = [], 0
    while start < len(data):
        i = data.find(newline, start)
        while unit == 2 and (i - start) % 2:
            i = data.find(newline, i + 1)
        out.append(data[start:i + len(newline)])
        start = i + len(newline)
    return out


def encode_many(texts):
    """[{encoding: bytes} or None] of texts that each end with their only line feed:
    converted together by iconv, split into halves where one of them fails."""
    if not texts:
        return []
    raw = "".join(texts).encode("utf-8")
    converted = {"utf-8": raw}
    for name, (target, _) in ENCODINGS.items():
        if name not in converted and name != "utf-16le-bom":
            converted[name] = iconv_or_none(raw, target)
            if converted[name] is None:
                if len(texts) == 1:
                    return [None]
                half = len(texts) // 2
                return encode_many(texts[:half]) + encode_many(texts[half:])
    split = {name: split_lines(data, 2 if name == "utf-16le" else 1)
             for name, data in converted.items()}
    if any(len(parts) != len(texts) for parts in split.values()):
        raise RuntimeError("iconv changed the number of lines")
    out = []
    for i in range(len(texts)):
        forms = {name: parts[i] for name, parts in split.items()}
        forms["utf-16le-bom"] = b"\xff\xfe" + forms["utf-16le"]
        out.append(forms)
    return out


def encode_text(text):
    """{encoding: bytes} of a whole text, or None when iconv cannot convert it to one."""
    raw = text.encode("utf-8")
    out = {}
    for name, (target, _) in ENCODINGS.items():
        if name == "utf-16le-bom":
            continue
        data = raw if name == "utf-8" else iconv_or_none(raw, target)
        if data is None:
            return None
        out[name] = data
    out["utf-16le-bom"] = b"\xff\xfe" + out["utf-16le"]
    return out


def half_width_table():
    """Full-width katakana (and their marks) to half-width, from the half-width forms'
    compatibility decompositions."""
    table = {}
    for code in range(0xFF61, 0xFFA0):
        half = chr(code)
        table[unicodedata.normalize("NFKC", half)] = half
    table["\u3099"] = "\uff9e"
    table["\u309a"] = "\uff9f"
    return table


HALF = half_width_table()
KATAKANA_RE = re.compile(r"[\u30a1-\u30fa\u30fc]+")


def to_half_width(run):
    """The katakana run in half-width forms, or None when one of them has none."""
    out = []
    for c in run:
        for part in unicodedata.normalize("NFD", c):
            if part not in HALF:
                return None
            out.append(HALF[part])
    return "".join(out)


def half_width_lines(lines):
    """(mixed, alone) texts with half-width katakana made from lines holding katakana."""
    mixed, alone = [], []
    for line in lines:
        runs = KATAKANA_RE.findall(line)
        if not runs:
            continue
        halves = [to_half_width(r) for r in runs]
        if any(h is None for h in halves):
            continue
        pieces = KATAKANA_RE.split(line)
        full = pieces[0]
        only = "".join(c for c in pieces[0] if ord(c) < 0x80)
        for half, piece in zip(halves, pieces[1:]):
            full += half + piece
            only += half + "".join(c for c in piece if ord(c) < 0x80)
        mixed.append(full)
        alone.append(re.sub(r"  +", " ", only).strip())
    return mixed, alone


# ------------------------------------------------------------------ verdicts

def ascii_only(data):
    return all(b < 0x80 for b in data) and 0 not in data


def right_verdict(data, encoding):
    if ascii_only(data):
        return "ascii"
    return ENCODINGS[encoding][1]


def decodes(data, encoding):
    if encoding in ("utf-16le", "utf-16be"):
        try:
            text = data.decode(encoding)
        except UnicodeDecodeError:
            return False
        return not any(ord(c) < 0x20 and c not in "\t\n\f\r" for c in text)
    if encoding == "euc-jp":
        try:
            data.decode("euc_jp")
            return True
        except UnicodeDecodeError:
            p = subprocess.run(["iconv", "-f", "EUC-JP-MS", "-t", "UTF-8"], input=data,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            return p.returncode == 0
    try:
        data.decode({"utf-8": "utf-8", "shift_jis": "cp932"}[encoding])
        return True
    except UnicodeDecodeError:
        return False


def only_one_decodes(data):
    if data[:2] in (b"\xff\xfe", b"\xfe\xff") or ascii_only(data):
        return True
    names = ("utf-16le", "utf-16be") if 0 in data else ("utf-8", "euc-jp", "shift_jis")
    return sum(decodes(data, n) for n in names) == 1


def parse_verdict(line):
    """(path, verdict word) from one line of the detector's output."""
    word, path = line.split("\t")[:2]
    return path, word


def run_detector(command, paths):
    verdicts = {}
    for i in range(0, len(paths), BATCH):
        chunk = paths[i:i + BATCH]
        p = subprocess.run(command + chunk, stdout=subprocess.PIPE, check=True)
        for line in p.stdout.decode("utf-8", errors="replace").splitlines():
            path, word = parse_verdict(line)
            verdicts[path] = word
    return verdicts


def nkf_word(name):
    """Our word for what nkf --guess names ("EUC-JP (LF)" -> "euc-jp")."""
    for pattern, verdict in NKF_NAMES:
        if pattern.match(name):
            return verdict
    return "?"


def run_nkf(paths):
    verdicts = {}
    for i in range(0, len(paths), BATCH):
        chunk = paths[i:i + BATCH]
        p = subprocess.run(["nkf", "--guess"] + chunk, stdout=subprocess.PIPE, check=True)
        for line in p.stdout.decode("utf-8", errors="replace").splitlines():
            path, _, name = line.rpartition(": ")
            verdicts[path] = nkf_word(name)
    return verdicts


# ------------------------------------------------------------------ the table

class Tally:
    def __init__(self):
        self.files = self.right = self.wrong = self.undecided = self.single = 0
        self.nkf_right = 0
        self.examples = []

    def add(self, data, path, want, got, nkf):
        self.files += 1
        if got == want:
            self.right += 1
        elif got == "undecided":
            self.undecided += 1
        else:
            self.wrong += 1
            if only_one_decodes(data):
                self.single += 1
            if len(self.examples) < 5:
                self.examples.append("%s: %s, want %s" % (path, got, want))
        if nkf == want:
            self.nkf_right += 1


def percent(part, whole):
    return "%.2f" % (100.0 * part / whole) if whole else "-"


def write_files(base, name, encoded, encodings, limit):
    """Writes each text in each encoding; returns [(set, encoding, path, bytes)]."""
    out = []
    for index, forms in enumerate(encoded):
        if forms is None:
            continue
        for encoding in encodings:
            data = forms[encoding]
            if limit and not MIN_BYTES <= len(data) <= MAX_BYTES:
                continue
            path = os.path.join(base, name, encoding, "%06d" % index)
            with open(path, "wb") as f:
                f.write(data)
            out.append((name, encoding, path, data))
    return out


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--dir", default=make_corpus.default_dir())
    parser.add_argument("--probe", default=os.path.join(
        os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
        "build", "dev", "tests", "kelvo_detect_probe"))
    parser.add_argument("--detector", help="command given the file names instead of the probe")
    parser.add_argument("--lines", type=int, default=20000,
                        help="distinct lines sampled for the line sets (0: all)")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 1)
    parser.add_argument("--no-nkf", action="store_true")
    args = parser.parse_args()

    command = shlex.split(args.detector) if args.detector else [args.probe]
    if not shutil.which(command[0]):
        raise SystemExit("detector %s not found (build the tests, or give --probe)" % command[0])
    cache = os.path.join(args.dir, "detect")
    pages = rendered_pages(cache, args.jobs)

    work = os.path.join(cache, "files")
    shutil.rmtree(work, ignore_errors=True)
    for name, encodings in (("pages", ENCODINGS), ("lines", LINE_ENCODINGS),
                            ("half-mixed", HALF_ENCODINGS), ("half-alone", HALF_ENCODINGS)):
        for encoding in encodings:
            os.makedirs(os.path.join(work, name, encoding))

    texts = [text for _, text in pages]
    with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
        forms = list(pool.map(encode_text, texts))
    kept = [t for t, f in zip(texts, forms) if f is not None]
    log("%d pages, %d converted by iconv to every encoding" % (len(texts), len(kept)))
    files = write_files(work, "pages", [f for f in forms if f is not None], ENCODINGS, False)

    lines = sorted({line for text in kept for line in text.split("\n")
                    if line.strip() and any(ord(c) >= 0x80 for c in line)})
    rng = random.Random(1)
    sample = lines if not args.lines or len(lines) <= args.lines else rng.sample(lines, args.lines)
    log("%d distinct lines with Japanese, %d sampled" % (len(lines), len(sample)))
    files += write_files(work, "lines", encode_many([s + "\n" for s in sample]),
                         LINE_ENCODINGS, True)
    mixed, alone = half_width_lines(sample)
    for name, texts in (("half-mixed", mixed), ("half-alone", alone)):
        files += write_files(work, name, encode_many([s + "\n" for s in texts]),
                             HALF_ENCODINGS, True)

    paths = [f[2] for f in files]
    ours = run_detector(command, paths)
    theirs = {} if args.no_nkf else run_nkf(paths)
    tallies = {}
    for name, encoding, path, data in files:
        tally = tallies.setdefault((name, encoding), Tally())
        tally.add(data, path, right_verdict(data, encoding), ours.get(path, "?"),
                  theirs.get(path))

    print("| set | written as | files | right % | wrong | wrong, one decoding | undecided % "
          "| nkf --guess right % |")
    print("|---|---|--:|--:|--:|--:|--:|--:|")
    totals = {}
    for (name, encoding), t in tallies.items():
        print("| %s | %s | %d | %s | %d | %d | %s | %s |" % (
            name, encoding, t.files, percent(t.right, t.files), t.wrong, t.single,
            percent(t.undecided, t.files), percent(t.nkf_right, t.files) if theirs else "-"))
        total = totals.setdefault(name, Tally())
        for field in ("files", "right", "wrong", "undecided", "single", "nkf_right"):
            setattr(total, field, getattr(total, field) + getattr(t, field))
    for name, t in totals.items():
        print("| **%s** | all | %d | %s | %d (%s %%) | %d | %s | %s |" % (
            name, t.files, percent(t.right, t.files), t.wrong, percent(t.wrong, t.files),
            t.single, percent(t.undecided, t.files),
            percent(t.nkf_right, t.files) if theirs else "-"))
    for t in tallies.values():
        for example in t.examples:
            log("wrong: " + example)


if __name__ == "__main__":
    main()
