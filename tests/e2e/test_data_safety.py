"""No file of the user's is lost or left half-written: conversions onto the input itself
(by name, link or "-b") on a disk that fills up or in a run that is killed, "-t" that keeps
the file itself, binary.tmp named as input or output, pipes and FIFOs as inputs, many runs
at once in one directory, tables that cannot be tables, and bounded error reports."""

import contextlib
import os
import re
import resource
import signal
import stat
import subprocess
import sys
import threading
import unittest

import kelvo_e2e as k
from japanese_text import PROSE, crlf, euc_jp
from kelvo_e2e import Sandbox

BOM = b"\xff\xfe"
# Input of each program, its table, and its write-failure number.
PROGRAMS = {
    "tamorlek": (BOM + crlf(PROSE).encode("utf-16-le"), "UTF16~EUC-JP.bin", 815),
    "brenodax": (euc_jp(crlf(PROSE)), "EUC-JP~UTF16.bin", 133),
    "quilvar": (euc_jp(crlf(PROSE)), "EUC-JP~Shift_JIS.bin", 88),
}
NUMBERS = {  # binary.tmp refused, table size, lock, -w report
    "tamorlek": (830, 831, 832, 834),
    "brenodax": (194, 195, 196, 197),
    "quilvar": (129, 130, 131, 132),
}
POSIX = not k.LAUNCHER and os.name == "posix"


def big(program, times=400):
    """An input of about 200 to 300 KB for the program."""
    data = PROGRAMS[program][0]
    return data[:2] + data[2:] * times if program == "tamorlek" else data * times


def leftovers(directory):
    """Temporary files of replacements left in a directory."""
    return [n for n in os.listdir(directory) if re.fullmatch(r"kelvo-[0-9a-f-]+\.tmp", n)]


class Workspace(Sandbox):
    """A sandbox whose programs find their tables in the default directory and a settings
    file each, so that a normal run leaves no error log at all."""

    def __init__(self, path=None):
        super().__init__()
        if path is not None:
            self.path = path
        for program in PROGRAMS:
            self.write(f"set_{program}.txt", b"")
        self.write("surro.csv", BOM + "\U00027DA0,D85F,DDA0,27DA0,31,414,\u8ce3\r\n"
                   .encode("utf-16-le"))
        self.write("surro.txt", b"27DA0,\r\n")


class SafetyTest(unittest.TestCase):

    def setUp(self):
        tables = [table for _, table, _ in PROGRAMS.values()]
        self._default = k.default_dir(*tables)
        self._default.__enter__()
        self.addCleanup(self._default.__exit__, None, None, None)
        self.box = Workspace()
        self.addCleanup(self.box.__exit__, None, None, None)

    def reference(self, program, data, args=()):
        """What the program writes for data in a regular file."""
        with Workspace() as ref:
            ref.write("ref.in", data)
            result = ref.run(program, list(args) + ["ref.in", "ref.out"])
            self.assertEqual(result.returncode, 0, ref.error_logs())
            return ref.read("ref.out")


class OntoItself(SafetyTest):

    def test_same_file_by_name_link_and_binary_tmp(self):
        # The input is replaced whole; a symbolic link stays a link to the new content; the
        # permission bits stay.
        for program in PROGRAMS:
            data = PROGRAMS[program][0]
            expected = self.reference(program, data)
            for how in ("name", "symlink", "-b"):
                if how == "symlink" and not POSIX:
                    continue
                with self.subTest(program=program, how=how):
                    box = self.box
                    box.write("in.txt", data)
                    os.chmod(box.file("in.txt"), 0o640)
                    out, args = "in.txt", []
                    if how == "symlink":
                        if box.exists("link.txt"):
                            os.remove(box.file("link.txt"))
                        os.symlink("in.txt", box.file("link.txt"))
                        out = "link.txt"
                    elif how == "-b":
                        args = ["-b"]
                    result = box.run(program, args + ["in.txt", out])
                    self.assertEqual(result.returncode, 0, box.error_logs())
                    self.assertEqual(box.read("in.txt"), expected)
                    if POSIX:
                        self.assertEqual(stat.S_IMODE(os.stat(box.file("in.txt")).st_mode), 0o640)
                    if how == "symlink":
                        self.assertTrue(os.path.islink(box.file("link.txt")))
                    self.assertEqual(leftovers(box.path), [])
                    self.assertFalse(box.exists("binary.tmp"))

    @unittest.skipUnless(POSIX and os.geteuid() == 0, "needs to change a file's owner")
    def test_owner_and_group_are_kept(self):
        box = self.box
        box.write("in.txt", PROGRAMS["quilvar"][0])
        os.chown(box.file("in.txt"), 1234, 2345)
        self.assertEqual(box.run("quilvar", ["in.txt", "in.txt"]).returncode, 0)
        info = os.stat(box.file("in.txt"))
        self.assertEqual((info.st_uid, info.st_gid), (1234, 2345))


@contextlib.contextmanager
def short_of_space(box, room):
    """A directory in which only about `room` more bytes fit: a small tmpfs filled up where
    the tests may mount one, else the sandbox with every file limited to `room` bytes.
    Yields (directory, preexec function for the run)."""
    mount = box.file("small")
    os.mkdir(mount)
    mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=2m", "tmpfs", mount],
                             capture_output=True).returncode == 0 if os.geteuid() == 0 else False
    try:
        if mounted:
            yield mount, None
        else:
            def limit():
                signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
                resource.setrlimit(resource.RLIMIT_FSIZE, (room, room))
            yield mount, limit
    finally:
        if mounted:
            subprocess.run(["umount", "-l", mount], capture_output=True)


def fill(directory, room):
    """Fills the file system of directory until about `room` bytes are free."""
    info = os.statvfs(directory)
    free = info.f_bavail * info.f_frsize
    if free > room:
        with open(os.path.join(directory, "filler"), "wb") as f:
            f.write(b"\0" * (free - room))


@unittest.skipUnless(POSIX, "needs a small file system or a file-size limit")
class FullDisk(SafetyTest):

    def test_input_survives_a_disk_that_fills_up(self):
        room = 64 * 1024
        for program, (_, table, write_number) in PROGRAMS.items():
            for args in ([], ["-b"]):
                with self.subTest(program=program, args=args):
                    data = big(program)
                    with Sandbox() as outer, short_of_space(outer, room) as (work, limit):
                        box = Workspace(work)
                        box.write("in.txt", data)
                        if limit is None:
                            fill(work, room)
                        result = k.run(program, args + ["in.txt", "in.txt"], cwd=work,
                                       preexec_fn=limit)
                        self.assertEqual(result.returncode, 1)
                        self.assertEqual(box.read("in.txt"), data)
                        self.assertEqual(leftovers(work), [])
                        # The report goes to a log, or to standard error when not even a
                        # log fits on the disk, there followed by its cause in the system's
                        # words.
                        target = "binary.tmp" if args else "in.txt"
                        report = f"Rewrite() error-{write_number}: {target}"
                        shown = result.stderr.decode()
                        cause = f"cannot write '{target}': "
                        self.assertTrue(box.error_logs()[-1:] == [report] or
                                        shown.endswith(report + "\n") or
                                        re.search(re.escape(report + "\n" + cause) + r".+\n\Z",
                                                  shown) is not None,
                                        (box.error_logs(), result.stderr))

    def test_killed_run_leaves_no_old_bytes_behind(self):
        # A different output is emptied when it is opened: a run killed part way leaves a
        # short file, never new bytes followed by the old file's rest.
        limit = 64 * 1024

        def small_files():
            resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))

        for program in PROGRAMS:
            with self.subTest(program=program):
                box = self.box
                data = big(program)
                expected = self.reference(program, data)
                box.write("in.txt", data)
                box.write("out.txt", b"X" * (4 * limit))
                result = k.run(program, ["in.txt", "out.txt"], cwd=box.path,
                               preexec_fn=small_files)
                self.assertEqual(result.returncode, -signal.SIGXFSZ)
                out = box.read("out.txt")
                self.assertLessEqual(len(out), limit)
                self.assertTrue(expected.startswith(out), "the output is not the new text's start")


class SameTime(SafetyTest):

    def test_t_renews_the_time_and_keeps_the_file(self):
        for program in PROGRAMS:
            for keep in ([], ["-y"]):
                with self.subTest(program=program, keep=keep):
                    box = self.box
                    data = PROGRAMS[program][0]
                    box.write("in.txt", data)
                    os.chmod(box.file("in.txt"), 0o600)
                    name = "in.txt"
                    if POSIX:
                        for link in ("hard.txt", "soft.txt"):
                            if box.exists(link) or os.path.islink(box.file(link)):
                                os.remove(box.file(link))
                        os.link(box.file("in.txt"), box.file("hard.txt"))
                        os.symlink("in.txt", box.file("soft.txt"))
                        name = "soft.txt"
                    os.utime(box.file("in.txt"), (946684800, 946684800))
                    before = os.stat(box.file("in.txt"))
                    result = box.run(program, ["-t"] + keep + [name, "out.txt"])
                    self.assertEqual(result.returncode, 0, box.error_logs())
                    after = os.stat(box.file("in.txt"))
                    self.assertEqual(box.read("in.txt"), data)
                    self.assertEqual(box.read("out.txt"), self.reference(program, data))
                    self.assertGreater(after.st_mtime, before.st_mtime + 1000)
                    if POSIX:
                        self.assertEqual((after.st_ino, after.st_nlink, after.st_mode),
                                         (before.st_ino, 2, before.st_mode))
                        self.assertTrue(os.path.islink(box.file("soft.txt")))
                    self.assertEqual(box.exists("binary.tmp"), bool(keep))
                    if keep:
                        self.assertEqual(box.read("binary.tmp"), data)
                        os.remove(box.file("binary.tmp"))


class BinaryTmpItself(SafetyTest):

    def test_binary_tmp_as_input_or_output_is_refused(self):
        cases = [
            (["-t", "binary.tmp", "out.txt"], "binary.tmp"),
            (["-b", "binary.tmp", "out.txt"], "binary.tmp"),
            (["-b", "in.txt", "binary.tmp"], "binary.tmp"),
            (["-b", "in.txt", "./binary.tmp"], "./binary.tmp"),
            (["-t", "-y", "in.txt", "binary.tmp"], "binary.tmp"),
        ]
        for program in PROGRAMS:
            data = PROGRAMS[program][0]
            for args, name in cases:
                with self.subTest(program=program, args=args):
                    box = self.box
                    box.write("binary.tmp", data)
                    box.write("in.txt", data)
                    result = box.run(program, args)
                    self.assertEqual(result.returncode, 1)
                    self.assertEqual(box.read("binary.tmp"), data)
                    self.assertEqual(box.read("in.txt"), data)
                    self.assertFalse(box.exists("out.txt"))
                    self.assertEqual(box.error_logs()[-1],
                                     f"Rewrite() error-{NUMBERS[program][0]}: {name}")


class Streams(SafetyTest):

    def check(self, program, data, args, run):
        expected = self.reference(program, data, args)
        result = run()
        self.assertEqual(result.returncode, 0, self.box.error_logs())
        self.assertEqual(self.box.read("out.txt"), expected)

    @unittest.skipUnless(POSIX, "needs /dev/stdin, pipes and FIFOs")
    def test_pipes_fifos_and_devices_are_read_to_their_end(self):
        box = self.box
        for program, extra in [("tamorlek", []), ("tamorlek", ["-r1"]), ("brenodax", []),
                               ("quilvar", []), ("quilvar", ["-s"])]:
            data = big(program, 40)
            with self.subTest(program=program, extra=extra, source="/dev/stdin"):
                self.check(program, data, extra, lambda: box.run(
                    program, extra + ["/dev/stdin", "out.txt"], stdin=data))
            with self.subTest(program=program, extra=extra, source="fifo"):
                fifo = box.file("fifo")
                if not os.path.exists(fifo):
                    os.mkfifo(fifo)

                def feed():
                    with open(fifo, "wb") as f:
                        f.write(data)

                writer = threading.Thread(target=feed)
                writer.start()
                self.check(program, data, extra, lambda: box.run(
                    program, extra + ["fifo", "out.txt"]))
                writer.join()
            with self.subTest(program=program, extra=extra, source="/dev/fd"):
                read_end, write_end = os.pipe()

                def feed_pipe():
                    with os.fdopen(write_end, "wb") as f:
                        f.write(data)

                writer = threading.Thread(target=feed_pipe)
                writer.start()
                try:
                    self.check(program, data, extra, lambda: k.run(
                        program, extra + [f"/dev/fd/{read_end}", "out.txt"], cwd=box.path,
                        pass_fds=(read_end,), stdin=None))
                finally:
                    writer.join()
                    os.close(read_end)


class ManyAtOnce(SafetyTest):

    def start(self, program, args, stdin=None, cwd=None):
        return subprocess.Popen(k.LAUNCHER + [k.program(program)] + args, cwd=cwd or self.box.path,
                                stdin=subprocess.PIPE if stdin is not None else subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)

    def finish(self, runs, inputs=None):
        """Feeds every run its standard input at the same time and waits for all of them."""
        threads = [threading.Thread(target=run.communicate,
                                    args=(inputs[i] if inputs else None, 300))
                   for i, run in enumerate(runs)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        self.assertEqual([run.returncode for run in runs], [0] * len(runs))

    def test_concurrent_runs_keep_their_own_data(self):
        box = self.box
        count = 30
        texts = [euc_jp(f"{n}行目の文章です。\r\n" * (200 + n)) for n in range(count)]
        # Standard input through text.tmp, all at once.
        runs = [self.start("brenodax", ["-o", f"o{n}.txt"], stdin=True) for n in range(count)]
        self.finish(runs, texts)
        for n in range(count):
            box.write(f"in{n}.txt", texts[n])
        expected = [self.reference("brenodax", t) for t in texts]
        for n in range(count):
            self.assertEqual(box.read(f"o{n}.txt"), expected[n], n)
        # "-b" and "-t" runs share binary.tmp.
        for args in (["-b"], ["-t"], ["-b", "-t"]):
            runs = [self.start("brenodax", args + [f"in{n}.txt", f"b{n}.txt"])
                    for n in range(count)]
            self.finish(runs)
            for n in range(count):
                self.assertEqual(box.read(f"b{n}.txt"), expected[n], (args, n))
                self.assertEqual(box.read(f"in{n}.txt"), texts[n], (args, n))
            self.assertFalse(box.exists("binary.tmp"))
        self.assertEqual(box.error_logs(), [])

    def test_running_numbers_never_repeat(self):
        box = self.box
        os.remove(box.file("set_quilvar.txt"))  # every run logs the missing settings file
        box.write("in.txt", PROGRAMS["quilvar"][0])
        count = 40
        runs = [self.start("quilvar", ["in.txt", f"o{n}.txt"]) for n in range(count)]
        self.finish(runs)
        numbers = sorted(int(re.match(r"err(\d+)-", n).group(1))
                         for n in os.listdir(box.path) if re.match(r"err\d+-", n))
        self.assertEqual(numbers, list(range(1, count + 1)))
        self.assertEqual(box.read("serial.txt"), str(count).encode())

    def test_concurrent_derivations(self):
        with Sandbox() as box:
            for source in k.SOURCE_TABLES:
                box.put_tables(source)
            runs = [self.start("brenodax", [], cwd=box.path) for _ in range(100)]
            self.finish(runs)
            self.assertEqual(box.read("EUC-JP~UTF16.bin"),
                             open(k.table_path("EUC-JP~UTF16.bin"), "rb").read())
            self.assertEqual(leftovers(box.path), [])


class RefusedInputs(SafetyTest):

    def test_a_table_of_no_whole_records_is_refused(self):
        for program, (data, table, _) in PROGRAMS.items():
            for content in (b"", open(k.table_path(table), "rb").read()[:-2]):
                with self.subTest(program=program, size=len(content)), k.default_dir():
                    box = self.box
                    box.write(table, content)
                    box.write("in.txt", data)
                    result = box.run(program, ["in.txt", "out.txt"])
                    self.assertEqual(result.returncode, 1)
                    self.assertEqual(box.error_logs()[-1],
                                     f"FileSize() error-{NUMBERS[program][1]}: {table}")
                    os.remove(box.file(table))
                    for log in os.listdir(box.path):
                        if log.startswith("err"):
                            os.remove(box.file(log))

    def test_a_broken_surrogate_list_cannot_flood_the_directory(self):
        box = self.box
        lines = "".join(f"bad line {n}\r\n" for n in range(1000)) + "\r\n"
        box.write("surro.csv", BOM + lines.encode("utf-16-le"))
        box.write("in.txt", PROGRAMS["tamorlek"][0])
        result = box.run("tamorlek", ["in.txt", "out.txt"])
        self.assertEqual(result.returncode, 0)
        logs = box.error_logs()
        self.assertEqual(len(logs), 20 * 3 + 1)
        self.assertEqual(logs[-1], "LoadSurrogateList() error-833: surro.csv: 981 more lines refused")
        self.assertEqual(logs[-2], "LoadSurrogateList() error-790: surro.csv line 20: bad line 19")

    def test_a_report_that_cannot_be_written_fails_the_run(self):
        for program, (data, _, _) in PROGRAMS.items():
            with self.subTest(program=program, what="data.txt"):
                box = self.box
                box.write("in.txt", data)
                if box.exists("data.txt"):
                    os.remove(box.file("data.txt"))
                os.mkdir(box.file("data.txt"))
                result = box.run(program, ["-w", "in.txt", "out.txt"])
                os.rmdir(box.file("data.txt"))
                self.assertEqual(result.returncode, 1)
                self.assertIn(f"Rewrite() error-{NUMBERS[program][3]}: data.txt", box.error_logs())
            if POSIX and os.path.exists("/dev/full"):
                with self.subTest(program=program, what="standard output"), \
                        open("/dev/full", "wb") as full:
                    result = subprocess.run(k.LAUNCHER + [k.program(program), "-w", "in.txt",
                                                          "out.txt"],
                                            cwd=box.path, stdout=full, stderr=subprocess.PIPE)
                    self.assertEqual(result.returncode, 1)


if __name__ == "__main__":
    unittest.main()
