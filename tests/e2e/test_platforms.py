"""Each program behaves the same on POSIX and on Windows: the same runs through the native
build and through the Windows build (under the launcher) give byte-identical outputs, the
same exit codes and the same log texts, once each platform's "ANSI" code page is decoded and
its default directory's name put in one form. Inputs are the bundled sample and a slice of
the benchmark corpus.

Runs only in the Windows test build; the native programs come from KELVO_NATIVE_BUILD_DIR,
else build/dev."""

import os
import re
import subprocess
import sys
import unittest

import kelvo_e2e as k
from japanese_text import iconv

NATIVE_BUILD = os.environ.get("KELVO_NATIVE_BUILD_DIR",
                              os.path.join(k.SOURCE_DIR, "build", "dev"))
CORPUS_DIR = os.environ.get("KELVO_BENCH_DIR", os.path.join(k.SOURCE_DIR, "build", "bench"))
SLICE = "256k"
TABLES = tuple(k.DERIVED_TABLES.values())
# Text files of the programs, written in the ANSI code page.
TEXT_FILE = re.compile(r"err-?\d+-\d{0,2}-\S{0,2}\.txt|error\.txt|data\.txt")
LOG_NAME = re.compile(r"err(-?\d+)-\d{0,2}-\S{0,2}\.txt")
DEFAULT_NAME = "<default>"


def native_bin_dir():
    """The directory of the native programs: bin/ of the build tree, or the tree itself."""
    bin_dir = os.path.join(NATIVE_BUILD, "bin")
    return bin_dir if os.path.isdir(bin_dir) else NATIVE_BUILD


def native_default_dir():
    """The default table directory of the native programs, as they name it: a relative one
    taken from their own directory."""
    with open(os.path.join(NATIVE_BUILD, "CMakeCache.txt"), encoding="utf-8") as cache:
        for line in cache:
            if line.startswith("KELVO_TABLE_DIR:"):
                directory = line.split("=", 1)[1].rstrip("\n")
                if not os.path.isabs(directory):
                    directory = os.path.normpath(os.path.join(native_bin_dir(), directory)) + "/"
                return directory
    raise RuntimeError("no KELVO_TABLE_DIR in " + NATIVE_BUILD)


class Platform:
    """One build of the programs: how to run them and how to read their text."""

    def __init__(self, launcher, bin_dir, default_dir, default_name, ansi):
        self.launcher, self.bin_dir, self.ansi = launcher, bin_dir, ansi
        self.default_dir, self.default_name = default_dir, default_name

    def program(self, name):
        path = os.path.join(self.bin_dir, name)
        return path + ".exe" if os.path.exists(path + ".exe") else path

    def text(self, data):
        return data.decode(self.ansi).replace(self.default_name, DEFAULT_NAME)

    def run(self, files, program, args, stdin, console):
        """Runs one program in a fresh directory holding the files; returns what can be
        compared: exit code, standard output and every file left (logs by number)."""
        with k.Sandbox() as box:
            for name, data in files.items():
                box.write(name, data)
            result = subprocess.run(self.launcher + [self.program(program)] + args,
                                    cwd=box.path, input=stdin, capture_output=True,
                                    timeout=120)
            left = {}
            for name in box.names():
                data = box.read(name)
                if TEXT_FILE.fullmatch(name):
                    data = self.text(data)
                log = LOG_NAME.fullmatch(name)
                left["err%s.txt" % log.group(1) if log else name] = data
            stdout = self.text(result.stdout) if console else result.stdout
            return result.returncode, stdout, left


WINDOWS = Platform(k.LAUNCHER, k.BIN_DIR, k.DEFAULT_DIR, "C:\\Kelvo\\", "cp932")


def corpus_slice():
    """The UTF-16 and EUC-JP files of 256 kB of the benchmark corpus (made from the Japanese
    manual pages)."""
    result = subprocess.run([sys.executable, os.path.join(k.SOURCE_DIR, "bench", "make_corpus.py"),
                             "--dir", CORPUS_DIR, "--sizes", SLICE, "--quiet"],
                            capture_output=True, timeout=1200)
    if result.returncode != 0:
        raise RuntimeError(result.stderr.decode(errors="replace"))
    files = {}
    for encoding in ("utf16", "euc"):
        with open(os.path.join(CORPUS_DIR, "ja-%s.%s" % (SLICE, encoding)), "rb") as f:
            files[encoding] = f.read()
    return files


@unittest.skipUnless(k.WINDOWS, "compares the Windows build with the native one")
class SameOnBothPlatforms(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        if not os.path.exists(os.path.join(native_bin_dir(), "tamorlek")):
            raise unittest.SkipTest("no native build in " + NATIVE_BUILD)
        cls.native = Platform([], native_bin_dir(), native_default_dir(), native_default_dir(),
                              "utf-8")
        with open(os.path.join(k.DATA_DIR, "sample.txt"), "rb") as f:
            sample = f.read()
        corpus = corpus_slice()
        tables = {}
        for name in TABLES + k.SOURCE_TABLES:
            with open(k.table_path(name), "rb") as f:
                tables[name] = f.read()
        cls.tables = tables
        cls.inputs = {
            "sample.u16": sample,
            # The sample's fields, split at its ideographic commas.
            "sample.csv": sample.decode("utf-16-le").replace("\u3001", ",").encode("utf-16-le"),
            # Everything of the sample that EUC-JP holds.
            "sample.euc": iconv(sample, "UTF-16", "EUC-JP-MS", lenient=True),
            "corpus.u16": corpus["utf16"],
            "corpus.euc": corpus["euc"],
        }

    def compare(self, cases):
        """Runs each case (program, arguments, input names, standard input name, console,
        tables) on both platforms with empty default directories and compares."""
        os.makedirs(self.native.default_dir, exist_ok=True)
        with k.default_dir():
            for program, args, inputs, stdin, console, tables in cases:
                files = {name: self.inputs.get(name, b"") for name in inputs}
                for table in tables:
                    files[table] = self.tables[table]
                stdin_bytes = self.inputs[stdin] if stdin else b""
                with self.subTest(program=program, args=args):
                    self.assertEqual(os.listdir(self.native.default_dir), [])
                    native = self.native.run(files, program, args, stdin_bytes, console)
                    windows = WINDOWS.run(files, program, args, stdin_bytes, console)
                    self.assertEqual(windows[0], native[0], "exit code")
                    self.assertEqual(windows[1], native[1], "standard output")
                    self.assertEqual(sorted(windows[2]), sorted(native[2]), "files left")
                    for name in native[2]:
                        self.assertEqual(windows[2][name], native[2][name], name)

    def test_conversions(self):
        T, B, Q = (["UTF16~EUC-JP.bin"], ["EUC-JP~UTF16.bin"], ["EUC-JP~Shift_JIS.bin"])
        cases = [
            # program, arguments, input files, standard input, console text, tables
            ("tamorlek", ["sample.u16", "out.euc"], ["sample.u16"], None, False, T),
            ("tamorlek", ["-LF", "-s", "sample.u16", "out.euc"], ["sample.u16"], None, False, T),
            ("tamorlek", ["-0", "-u", "sample.u16"], ["sample.u16"], None, False, T),
            ("tamorlek", ["-r2", "sample.csv", "out.euc"], ["sample.csv"], None, False, T),
            ("tamorlek", ["corpus.u16", "out.euc"], ["corpus.u16"], None, False, T),
            ("tamorlek", ["-LF", "corpus.u16", "out.euc"], ["corpus.u16"], None, False, T),
            ("brenodax", ["sample.euc", "out.u16"], ["sample.euc"], None, False, B),
            ("brenodax", ["-s", "-LF", "corpus.euc", "out.u16"], ["corpus.euc"], None, False, B),
            ("brenodax", ["-0", "corpus.euc"], ["corpus.euc"], None, False, B),
            ("brenodax", ["-o", "out.u16"], [], "corpus.euc", False, B),
            ("brenodax", ["--out", "sample.euc"], ["sample.euc"], None, False, B),
            ("quilvar", ["sample.euc", "out.sjis"], ["sample.euc"], None, False, Q),
            ("quilvar", ["corpus.euc", "out.sjis"], ["corpus.euc"], None, False, Q),
            ("quilvar", ["-s", "-LF", "corpus.euc", "out.sjis"], ["corpus.euc"], None, False, Q),
            ("quilvar", ["--out", "corpus.euc"], ["corpus.euc"], None, False, Q),
        ]
        self.compare(cases)

    def test_names_in_place_reports_and_failures(self):
        T, B, Q = (["UTF16~EUC-JP.bin"], ["EUC-JP~UTF16.bin"], ["EUC-JP~Shift_JIS.bin"])
        self.inputs["\u5165\u529b.u16"] = self.inputs["sample.u16"]
        self.inputs["\u8868.euc"] = self.inputs["sample.euc"]
        cases = [
            # Japanese file names; the second ends in a 5Ch trail byte in Shift_JIS.
            ("tamorlek", ["\u5165\u529b.u16", "\u51fa\u529b.euc"], ["\u5165\u529b.u16"],
             None, False, T),
            ("quilvar", ["\u8868.euc", "\u8868\u8868.sjis"], ["\u8868.euc"], None, False, Q),
            # In place through binary.tmp, kept or not, and with a renewed time stamp.
            ("tamorlek", ["-b", "sample.u16", "sample.u16"], ["sample.u16"], None, False, T),
            ("brenodax", ["-b", "-y", "sample.euc", "sample.euc"], ["sample.euc"], None, False,
             B),
            ("quilvar", ["-b", "corpus.euc", "corpus.euc"], ["corpus.euc"], None, False, Q),
            ("quilvar", ["-t", "sample.euc", "out.sjis"], ["sample.euc"], None, False, Q),
            ("tamorlek", ["sample.u16", "./sample.u16"], ["sample.u16"], None, False, T),
            # The table report, on the console and in data.txt.
            ("brenodax", ["-w", "sample.euc", "out.u16"], ["sample.euc"], None, True, B),
            ("quilvar", ["-G"], [], None, True, []),
            # Failures: a missing input, a missing table (the search reports the default
            # directory), a settings file that names a missing table.
            ("quilvar", ["none.euc", "out.sjis"], [], None, False, Q),
            ("tamorlek", ["-d", "sample.u16", "out.euc"], ["sample.u16", "surro.csv", "surro.txt"],
             None, False, []),
            ("brenodax", ["-a", "sample.euc", "out.u16"], ["sample.euc", "set_brenodax.txt"],
             None, False, B),
        ]
        self.inputs["set_brenodax.txt"] = b"missing.bin\r\n-s\r\n"
        # Surrogate lists ready, so that tamorlek does not search for its table (along the
        # platforms' different program-search variables) to build them.
        self.inputs["surro.csv"] = b"\xff\xfe" + "\U00027DA0,D85F,DDA0,27DA0,31,414,\u8CE3\r\n".encode(
            "utf-16-le")
        self.inputs["surro.txt"] = b"27DA0,\r\n"
        self.compare(cases)

    def test_derivation(self):
        sources = list(k.SOURCE_TABLES)
        # The sparse source only in the current directory: the search first reports the
        # default directory.
        self.compare([(prog, [], [], None, False, sources) for prog in k.DERIVED_TABLES])

    def test_in_place_without_binary_tmp(self):
        self.compare([
            ("brenodax", ["sample.euc", "./sample.euc"], ["sample.euc"], None, False,
             ["EUC-JP~UTF16.bin"]),
            ("quilvar", ["sample.euc", "./sample.euc"], ["sample.euc"], None, False,
             ["EUC-JP~Shift_JIS.bin"]),
        ])


if __name__ == "__main__":
    unittest.main()
