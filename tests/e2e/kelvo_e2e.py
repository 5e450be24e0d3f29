"""Shared helpers for the end-to-end tests: run the built programs in temporary
directories, control the default table directory, and read the error-log files."""

import contextlib
import os
import re
import shlex
import shutil
import subprocess
import tempfile
import unittest

SOURCE_DIR = os.environ.get(
    "KELVO_SOURCE_DIR", os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..")))
BUILD_DIR = os.environ.get("KELVO_BUILD_DIR", os.path.join(SOURCE_DIR, "build", "dev"))
BIN_DIR = os.environ.get("KELVO_BIN_DIR", os.path.join(BUILD_DIR, "bin"))
DEFAULT_DIR = os.environ.get("KELVO_DEFAULT_DIR", os.path.join(BUILD_DIR, "default-dir") + "/")
LAUNCHER = shlex.split(os.environ.get("KELVO_LAUNCHER", ""))
# The programs under test are Windows programs (run through the launcher, wine).
WINDOWS = os.environ.get("KELVO_TARGET") == "Windows"
# The "ANSI" code page of logs, settings files and console text: UTF-8 on POSIX; on Windows
# the system's, which the test prefix sets to 932.
ANSI = "cp932" if WINDOWS else "utf-8"
# The default table directory as the programs name it in their messages.
DEFAULT_DIR_NAME = "C:\\Kelvo\\" if WINDOWS else DEFAULT_DIR
DATA_DIR = os.path.join(SOURCE_DIR, "data")
SOURCE_TABLES = ("MS932~UTF16.bin", "MS932~EUC-JP.bin")
DERIVED_TABLES = {
    "tamorlek": "UTF16~EUC-JP.bin",
    "brenodax": "EUC-JP~UTF16.bin",
    "quilvar": "EUC-JP~Shift_JIS.bin",
}
# Exit code -1 as a POSIX process status.
EXIT_MINUS_ONE = 255


def fails_on_windows(fault):
    """Marks a test that the product fault described makes fail on Windows: an expected
    failure there, and an unexpected success (a failed run) once the fault is mended."""
    def mark(test):
        return unittest.expectedFailure(test) if WINDOWS else test
    return mark


def program(name):
    path = os.path.join(BIN_DIR, name)
    if os.path.exists(path + ".exe"):
        path += ".exe"
    return path


def run(name, args=(), cwd=None, stdin=b"", env=None, timeout=120, **options):
    """Runs a program with the launcher prefix; returns the CompletedProcess (bytes). Further
    options go to subprocess.run; stdin None gives the program an empty standard input."""
    full_env = dict(os.environ)
    if env:
        full_env.update(env)
    if stdin is None:
        options.setdefault("stdin", subprocess.DEVNULL)
    return subprocess.run(LAUNCHER + [program(name)] + list(args), cwd=cwd, input=stdin,
                          capture_output=True, env=full_env, timeout=timeout, **options)


class Sandbox:
    """A temporary current directory for one run or a few runs."""

    def __init__(self):
        self._dir = tempfile.TemporaryDirectory(prefix="kelvo-e2e-")
        self.path = self._dir.name

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self._dir.cleanup()

    def file(self, name):
        return os.path.join(self.path, name)

    def write(self, name, data):
        if isinstance(data, str):
            data = data.encode("utf-8")
        with open(self.file(name), "wb") as f:
            f.write(data)

    def read(self, name):
        with open(self.file(name), "rb") as f:
            return f.read()

    def exists(self, name):
        return os.path.exists(self.file(name))

    def names(self):
        return sorted(os.listdir(self.path))

    def run(self, name, args=(), stdin=b"", env=None):
        return run(name, args, cwd=self.path, stdin=stdin, env=env)

    def error_logs(self):
        """The error-log messages in the order of their running number."""
        logs = []
        for entry in os.listdir(self.path):
            m = re.fullmatch(r"err(-?\d+)-(\d{0,2})-(\S{0,2})\.txt", entry)
            if m:
                logs.append((int(m.group(1)), self.read(entry).decode(ANSI)))
        return [text for _, text in sorted(logs)]

    def put_tables(self, *names):
        """Copies derived or source tables into this directory."""
        for name in names:
            shutil.copyfile(table_path(name), self.file(name))


class TableSandboxTest(unittest.TestCase):
    """Each test runs in a fresh Sandbox (self.box) that holds the derived table TABLE, with
    an empty default table directory, so the program finds its table in the current one."""

    TABLE = None

    def setUp(self):
        self.box = Sandbox()
        self.addCleanup(self.box.__exit__, None, None, None)
        self.box.put_tables(self.TABLE)
        default = default_dir()
        default.__enter__()
        self.addCleanup(default.__exit__, None, None, None)


@contextlib.contextmanager
def default_dir(*names):
    """Fills the default table directory with the named tables for the duration."""
    os.makedirs(DEFAULT_DIR, exist_ok=True)
    _empty(DEFAULT_DIR)
    try:
        for name in names:
            shutil.copyfile(table_path(name), os.path.join(DEFAULT_DIR, name))
        yield DEFAULT_DIR
    finally:
        _empty(DEFAULT_DIR)


def _empty(directory):
    for entry in os.listdir(directory):
        path = os.path.join(directory, entry)
        if os.path.isdir(path):
            shutil.rmtree(path)
        else:
            os.chmod(path, 0o644)
            os.remove(path)


_TABLE_CACHE = os.path.join(BUILD_DIR, "e2e-tables")


def table_path(name):
    """Path of a source table or of a table derived by the programs of this build."""
    if name in SOURCE_TABLES:
        return os.path.join(DATA_DIR, name)
    return os.path.join(derive_tables(), name)


def derive_tables():
    """Derives the three tables once per build (each program run without arguments)."""
    stamp = max(os.path.getmtime(program(p)) for p in DERIVED_TABLES)
    stamp = max([stamp] + [os.path.getmtime(os.path.join(DATA_DIR, s)) for s in SOURCE_TABLES])
    ready = all(os.path.exists(os.path.join(_TABLE_CACHE, t)) and
                os.path.getmtime(os.path.join(_TABLE_CACHE, t)) >= stamp
                for t in DERIVED_TABLES.values())
    if ready:
        return _TABLE_CACHE
    os.makedirs(_TABLE_CACHE, exist_ok=True)
    with Sandbox() as box, default_dir():
        for source in SOURCE_TABLES:
            shutil.copyfile(os.path.join(DATA_DIR, source), box.file(source))
            shutil.copyfile(os.path.join(DATA_DIR, source), os.path.join(DEFAULT_DIR, source))
        for prog, table in DERIVED_TABLES.items():
            result = box.run(prog)
            if result.returncode != 0 or not box.exists(table):
                raise RuntimeError(f"{prog} could not derive {table}: {result.returncode}")
            shutil.copyfile(box.file(table), os.path.join(_TABLE_CACHE, table))
    return _TABLE_CACHE
