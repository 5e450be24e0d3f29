#!/usr/bin/python3
"""Build the benchmark corpus from Debian's Japanese manual pages.

The text comes from the packages manpages-ja and manpages-ja-dev, rendered
to plain text.  Only characters that every converter in the benchmark
carries the same way are kept: those that survive a round trip through
code page 932 and whose EUC-JP-MS form (as the system iconv gives it) is
one or two bytes and decodes back to the same character.  Tabs and line
ends stay.

For each size the text is repeated until the EUC-JP file reaches the size,
cut at a line boundary, and written three times, all with CR LF line ends:

    ja-SIZE.utf16   UTF-16LE with a byte-order mark FF FE
    ja-SIZE.euc     EUC-JP (EUC-JP-MS, two-byte codes only)
    ja-SIZE.sjis    Shift_JIS (code page 932)

The corpus lives outside the repository: --dir, else $KELVO_BENCH_DIR,
else /tmp/kelvo-bench.  The rendered text is cached under DIR/cache, so a
second run only writes the requested files.  The same manual pages always
give the same bytes.
"""

import argparse
import bisect
import concurrent.futures
import gzip
import hashlib
import json
import os
import re
import shutil
import subprocess
import sys
import unicodedata

MAN_ROOT = "/usr/share/man/ja"
PACKAGES = ("manpages-ja", "manpages-ja-dev")
# Bump when the rendering or the filtering changes, so old caches are ignored.
TEXT_FORMAT = 3
ENCODINGS = ("utf16", "euc", "sjis")
DEFAULT_SIZES = "1k,1m,100m"
GROFF_BATCH = 64

SUFFIXES = {"": 1, "k": 10**3, "m": 10**6, "g": 10**9}


def parse_size(text):
    """'1k' -> 1000, '1m' -> 1000000, '100m' -> 100000000 (decimal units)."""
    m = re.fullmatch(r"\s*(\d+)\s*([kmgKMG]?)\s*", text)
    if not m or int(m.group(1)) == 0:
        raise ValueError("bad size %r (use e.g. 1k, 1m, 100m)" % text)
    return int(m.group(1)) * SUFFIXES[m.group(2).lower()]


def size_label(text):
    """Canonical file label of a size argument: ' 100M ' -> '100m'."""
    parse_size(text)
    return text.strip().lower()


def default_dir():
    return os.environ.get("KELVO_BENCH_DIR") or "/tmp/kelvo-bench"


# ---------------------------------------------------------------- sources

def list_pages(root):
    """Relative paths of the real page files under root/man*/, sorted.

    Symbolic links are left out: they only repeat a page under another name.
    """
    pages = []
    for dirpath, dirnames, filenames in os.walk(root):
        dirnames.sort()
        for name in filenames:
            path = os.path.join(dirpath, name)
            if os.path.islink(path) or not os.path.isfile(path):
                continue
            rel = os.path.relpath(path, root)
            if rel.split(os.sep)[0].startswith("man"):
                pages.append(rel)
    pages.sort()
    return pages


def read_raw(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] == b"\x1f\x8b":
        data = gzip.decompress(data)
    return data


def decode_source(data):
    try:
        return data.decode("utf-8")
    except UnicodeDecodeError:
        return data.decode("euc_jp", errors="replace")


MDOC_RE = re.compile(r"^\.(?:Dd|Dt|Sh)(?:[ \t]|$)", re.M)
SO_ONLY_RE = re.compile(r"\A(?:[ \t]*\n|\.\\\".*\n)*\.so[ \t]+\S+\s*\Z")


def is_mdoc(src):
    return MDOC_RE.search(src) is not None


def is_redirect(src):
    """A page that only says '.so other/page' carries no text of its own."""
    return SO_ONLY_RE.match(src) is not None


# -------------------------------------------------------------- rendering

# Left-justified and without hyphenation: justification would pad the
# Japanese lines with runs of spaces that no one writes.
ROFF_PROLOGUE = ".ad l\n.nh\n"

ANSI_RE = re.compile(r"\x1b\[[0-9;?]*[ -/]*[@-~]|\x1b\][^\x07\x1b]*(?:\x07|\x1b\\)|\x1b[@-Z\\-_]")
OVERSTRIKE_RE = re.compile(r"[^\x08\n]\x08")
BLANK_RUN_RE = re.compile(r"\n{3,}")


def groff_available():
    return shutil.which("groff") is not None


def render_groff(sources, macros):
    """Render roff sources with groff to UTF-8 terminal text."""
    cmd = ["groff", "-t", "-Kutf-8", "-Tutf8", "-" + macros, "-rHY=0",
           "-P-cbou", "-Wall"]
    data = "".join(ROFF_PROLOGUE + s + ("" if s.endswith("\n") else "\n")
                   for s in sources)
    env = dict(os.environ, LC_ALL="C.UTF-8")
    p = subprocess.run(cmd, input=data.encode("utf-8"), stdout=subprocess.PIPE,
                       stderr=subprocess.DEVNULL, env=env)
    # groff reports trouble with a page by its exit status but still
    # prints what it could render; keep that.
    return p.stdout.decode("utf-8", errors="replace")


ROFF_ESCAPES = [
    (re.compile(r"\\f(?:\[[^\]]*\]|\(..|.)"), ""),      # font changes
    (re.compile(r"\\s[+-]?(?:\[[^\]]*\]|\(..|\d)"), ""),  # size changes
    (re.compile(r"\\\*(?:\[[^\]]*\]|\(..|.)"), ""),     # strings
    (re.compile(r"\\[nkg](?:\[[^\]]*\]|\(..|.)"), ""),  # registers
    (re.compile(r"\\[hvwlLoDbxXNRZz]'[^']*'"), ""),     # drawing and motion
    (re.compile(r"\\\(em|\\\[em\]"), "\u2014"),
    (re.compile(r"\\\((?:lq|rq)|\\\[(?:lq|rq)\]"), "\""),
    (re.compile(r"\\\(..|\\\[[^\]]*\]"), ""),           # other named glyphs
]
SINGLE_ESCAPES = {"e": "\\", "-": "-", " ": " ", "0": " ", "~": " ",
                  "&": "", "|": "", "^": "", "%": "", "c": ""}
SINGLE_ESCAPE_RE = re.compile(r"\\(.)")
TEXT_MACROS = {"SH", "SS", "B", "I", "BR", "BI", "IB", "IR", "RB", "RI",
               "SM", "SB", "TP", "IP", "Nm", "Nd", "Sh", "Ss", "Fl", "Ar",
               "Pa", "Xr", "Dq", "Sq", "Ql", "Em", "Li", "Cm", "Ic", "Ev"}


def strip_roff(src):
    """Crude roff-to-text for machines without groff: keep the words."""
    out = []
    for line in src.split("\n"):
        if line.startswith((".\\\"", "'\\\"", '.\\"')):
            continue
        if line[:1] in (".", "'"):
            parts = line[1:].split(None, 1)
            if not parts or parts[0] not in TEXT_MACROS or len(parts) < 2:
                if parts and parts[0] in ("PP", "LP", "P", "SH", "SS", "sp", "br", "Pp"):
                    out.append("")
                continue
            line = parts[1].replace('"', "")
        for regex, repl in ROFF_ESCAPES:
            line = regex.sub(repl, line)
        line = SINGLE_ESCAPE_RE.sub(lambda m: SINGLE_ESCAPES.get(m.group(1), m.group(1)), line)
        out.append(line)
    return "\n".join(out) + "\n"


def clean_rendered(text):
    """Plain text from terminal output: no escapes, overstrikes or
    trailing blanks, at most one blank line in a row."""
    text = ANSI_RE.sub("", text)
    while "\x08" in text:
        new = OVERSTRIKE_RE.sub("", text)
        if new == text:
            text = text.replace("\x08", "")
            break
        text = new
    text = text.replace("\r\n", "\n").replace("\r", "\n")
    text = "\n".join(line.rstrip() for line in text.split("\n"))
    text = BLANK_RUN_RE.sub("\n\n", text).strip("\n")
    return text + "\n" if text else ""


def batches(pages):
    """Group pages for rendering: man(7) pages in runs of GROFF_BATCH,
    mdoc(7) pages one at a time (they cannot share a run with man pages)."""
    groups = []
    run = []
    for src in pages:
        if is_mdoc(src):
            if run:
                groups.append(("man", run))
                run = []
            groups.append(("mdoc", [src]))
        else:
            run.append(src)
            if len(run) == GROFF_BATCH:
                groups.append(("man", run))
                run = []
    if run:
        groups.append(("man", run))
    return groups


def render_all(sources, renderer, jobs):
    if renderer == "strip":
        return "".join(clean_rendered(strip_roff(s)) for s in sources)
    groups = batches(sources)
    with concurrent.futures.ThreadPoolExecutor(max_workers=jobs) as pool:
        parts = list(pool.map(lambda g: render_groff(g[1], g[0]), groups))
    return "".join(clean_rendered(p) for p in parts)


# -------------------------------------------------------------- filtering

def iconv(data, src, dst, drop=False):
    cmd = ["iconv"] + (["-c"] if drop else []) + ["-f", src, "-t", dst]
    p = subprocess.run(cmd, input=data, stdout=subprocess.PIPE,
                       stderr=subprocess.PIPE)
    if p.returncode != 0 and not drop:
        raise RuntimeError("iconv %s -> %s failed: %s"
                           % (src, dst, p.stderr.decode(errors="replace").strip()))
    return p.stdout


def cp932_round_trips(c):
    try:
        return c.encode("cp932").decode("cp932") == c
    except UnicodeError:
        return False


def kept_characters(chars):
    """The characters of `chars` that the corpus may hold.

    Printable ASCII, tab and line feed, and every other character that
    - is not a control, surrogate, private-use or unassigned code point;
    - survives encoding to code page 932 and back;
    - has a one- or two-byte EUC-JP-MS form in the system iconv (not a
      three-byte JIS X 0212 code), which decodes back to it.
    """
    keep = set()
    candidates = []
    for c in sorted(set(chars)):
        o = ord(c)
        if c in "\t\n" or 0x20 <= o < 0x7F:
            keep.add(c)
        elif o < 0x80 or unicodedata.category(c) in ("Cc", "Cs", "Co", "Cn"):
            continue
        elif cp932_round_trips(c):
            candidates.append(c)
    if not candidates:
        return keep
    forms = iconv("".join(c + "\n" for c in candidates).encode("utf-8"),
                  "UTF-8", "EUC-JP-MS", drop=True).split(b"\n")[:-1]
    if len(forms) != len(candidates):
        raise RuntimeError("iconv lost lines while checking EUC-JP-MS forms")
    two_byte = [(c, f) for c, f in zip(candidates, forms)
                if 1 <= len(f) <= 2 and f[0] != 0x8F]
    if not two_byte:
        return keep
    back = iconv(b"".join(f + b"\n" for _, f in two_byte),
                 "EUC-JP-MS", "UTF-8", drop=True).decode("utf-8").split("\n")[:-1]
    if len(back) != len(two_byte):
        raise RuntimeError("iconv lost lines while decoding EUC-JP-MS forms")
    keep.update(c for (c, _), b in zip(two_byte, back) if b == c)
    return keep


def filter_text(text):
    """Drop the characters the corpus may not hold; tidy the lines again.

    Returns the text and a {character: count} map of what was dropped.
    """
    keep = kept_characters(text)
    dropped = {}
    for c in set(text) - keep:
        dropped[c] = text.count(c)
    if dropped:
        table = {ord(c): None for c in dropped}
        text = text.translate(table)
    return clean_rendered(text), dropped


# ---------------------------------------------------------------- corpus

def text_key(root, pages, renderer):
    h = hashlib.sha256()
    h.update(("format %d renderer %s\n" % (TEXT_FORMAT, renderer)).encode())
    for rel in pages:
        with open(os.path.join(root, rel), "rb") as f:
            h.update(rel.encode() + b"\0" + hashlib.sha256(f.read()).digest())
    return h.hexdigest()[:16]


def package_versions():
    try:
        p = subprocess.run(["dpkg-query", "-W", "-f", "${Package} ${Version}\\n"]
                           + list(PACKAGES), stdout=subprocess.PIPE,
                           stderr=subprocess.DEVNULL)
        return p.stdout.decode().strip().splitlines()
    except OSError:
        return []


def write_atomic(path, data):
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, path)


def build_text(root, cache_dir, renderer, jobs, log):
    """The filtered corpus text (LF line ends), from the cache if there."""
    pages = list_pages(root)
    if not pages:
        raise SystemExit("no manual pages under %s: install manpages-ja and "
                         "manpages-ja-dev (apt-get install manpages-ja "
                         "manpages-ja-dev)" % root)
    key = text_key(root, pages, renderer)
    path = os.path.join(cache_dir, "text-%s.txt" % key)
    if os.path.exists(path):
        with open(path, "rb") as f:
            return key, f.read().decode("utf-8"), None
    log("rendering %d manual pages from %s with %s ..." % (len(pages), root, renderer))
    sources = []
    for rel in pages:
        src = decode_source(read_raw(os.path.join(root, rel)))
        if not is_redirect(src):
            sources.append(src)
    text, dropped = filter_text(render_all(sources, renderer, jobs))
    if not text:
        raise SystemExit("rendering gave no text")
    os.makedirs(cache_dir, exist_ok=True)
    write_atomic(path, text.encode("utf-8"))
    report = {"pages": len(sources), "characters": len(text),
              "dropped": {"U+%04X" % ord(c): n for c, n in
                          sorted(dropped.items(), key=lambda kv: (-kv[1], kv[0]))}}
    write_atomic(os.path.join(cache_dir, "text-%s.json" % key),
                 json.dumps(report, indent=1, ensure_ascii=False).encode("utf-8"))
    return key, text, report


def line_ends(data, newline):
    """Offsets just past each line end in data (a list, ascending)."""
    ends = []
    step = len(newline)
    i = data.find(newline)
    while i >= 0:
        ends.append(i + step)
        i = data.find(newline, i + step)
    return ends


class Encoded:
    """The corpus text in one encoding, CR LF line ends, without header."""

    def __init__(self, name, header, body, ends):
        self.name = name
        self.header = header
        self.body = body
        self.ends = ends


def encode_all(text):
    crlf = text.replace("\n", "\r\n")
    euc = iconv(crlf.encode("utf-8"), "UTF-8", "EUC-JP-MS")
    sjis = crlf.encode("cp932")
    utf16 = crlf.encode("utf-16-le")
    # In EUC-JP and Shift_JIS no byte of a two-byte code is 0Ah, so every
    # LF byte ends a line.  UTF-16 line ends follow from the text itself.
    char_ends = [i + 1 for i, c in enumerate(crlf) if c == "\n"]
    out = {
        "euc": Encoded("euc", b"", euc, line_ends(euc, b"\n")),
        "sjis": Encoded("sjis", b"", sjis, line_ends(sjis, b"\n")),
        "utf16": Encoded("utf16", b"\xff\xfe", utf16, [2 * i for i in char_ends]),
    }
    lines = text.count("\n")
    for enc in out.values():
        if len(enc.ends) != lines or enc.ends[-1] != len(enc.body):
            raise RuntimeError("%s encoding does not keep the %d lines" % (enc.name, lines))
    return out


def plan(target, ends):
    """How to reach `target` bytes with whole lines of a text whose line
    ends lie at `ends`: (full repeats, lines of the partial copy).

    The result is the longest such cut that is not over target, but never
    less than one line."""
    total = ends[-1]
    repeats, rest = divmod(target, total)
    lines = bisect.bisect_right(ends, rest)
    if repeats == 0 and lines == 0:
        lines = 1
    return repeats, lines


def write_file(path, enc, repeats, lines):
    tmp = path + ".tmp"
    h = hashlib.sha256()
    size = 0
    with open(tmp, "wb") as f:
        parts = [enc.header] + [enc.body] * repeats
        if lines:
            parts.append(enc.body[:enc.ends[lines - 1]])
        for part in parts:
            f.write(part)
            h.update(part)
            size += len(part)
    os.replace(tmp, path)
    return size, h.hexdigest()


def corpus_path(directory, label, encoding):
    return os.path.join(directory, "ja-%s.%s" % (label, encoding))


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--dir", default=None,
                    help="corpus directory (default: $KELVO_BENCH_DIR or /tmp/kelvo-bench)")
    ap.add_argument("--sizes", default=DEFAULT_SIZES,
                    help="comma-separated sizes of the EUC-JP files (default %s)" % DEFAULT_SIZES)
    ap.add_argument("--man-root", default=MAN_ROOT, help="Japanese manual page tree")
    ap.add_argument("--renderer", choices=("auto", "groff", "strip"), default="auto",
                    help="groff, or a plain roff stripper (auto: groff if installed)")
    ap.add_argument("--jobs", type=int, default=min(2, os.cpu_count() or 1))
    ap.add_argument("--force", action="store_true", help="rewrite files that are up to date")
    ap.add_argument("-q", "--quiet", action="store_true")
    args = ap.parse_args(argv)

    def log(msg):
        if not args.quiet:
            print("make_corpus: " + msg, file=sys.stderr, flush=True)

    try:
        labels = [size_label(s) for s in args.sizes.split(",") if s.strip()]
    except ValueError as e:
        ap.error(str(e))
    if not labels:
        ap.error("no sizes given")
    for tool in ("iconv",):
        if shutil.which(tool) is None:
            raise SystemExit("make_corpus: %s not found" % tool)
    renderer = args.renderer
    if renderer == "auto":
        renderer = "groff" if groff_available() else "strip"
    elif renderer == "groff" and not groff_available():
        raise SystemExit("make_corpus: groff not found (apt-get install groff-base)")

    directory = os.path.abspath(args.dir or default_dir())
    os.makedirs(directory, exist_ok=True)
    key, text, report = build_text(args.man_root, os.path.join(directory, "cache"),
                                   renderer, args.jobs, log)
    if report:
        log("%d pages, %d characters kept, %d distinct characters dropped"
            % (report["pages"], report["characters"], len(report["dropped"])))

    manifest_path = os.path.join(directory, "corpus.json")
    try:
        with open(manifest_path) as f:
            manifest = json.load(f)
        if manifest.get("text") != key:
            manifest = {}
    except (OSError, ValueError):
        manifest = {}
    files = manifest.get("files", {})

    encoded = None
    for label in labels:
        target = parse_size(label)
        for encoding in ("euc", "sjis", "utf16"):
            path = corpus_path(directory, label, encoding)
            name = os.path.basename(path)
            entry = files.get(name)
            if (not args.force and entry and entry.get("target") == target
                    and os.path.exists(path) and os.path.getsize(path) == entry["bytes"]):
                continue
            if encoded is None:
                encoded = encode_all(text)
            repeats, lines = plan(target, encoded["euc"].ends)
            size, digest = write_file(path, encoded[encoding], repeats, lines)
            files[name] = {"target": target, "bytes": size, "sha256": digest,
                           "lines": repeats * len(encoded["euc"].ends) + lines}
            log("wrote %s (%d bytes)" % (path, size))

    manifest = {"text": key, "renderer": renderer, "source": args.man_root,
                "packages": package_versions(), "files": dict(sorted(files.items()))}
    write_atomic(manifest_path, (json.dumps(manifest, indent=1) + "\n").encode())
    return 0


if __name__ == "__main__":
    sys.exit(main())
