"""Memory that does not grow with the input: every path (a file, standard input, field
selection, a file converted onto itself, the copies of -b and -t) converts an input larger
than the address space it is given, with the bytes that the same path gives for a small
input, and stays small in resident memory."""

import os
import resource
import subprocess
import unittest

import kelvo_e2e as k
from japanese_text import PROSE, crlf, euc_jp
from kelvo_e2e import Sandbox

# The address space of every run, and an input that could not be held in it whole.
ADDRESS_SPACE = 256 << 20
INPUT_SIZE = ADDRESS_SPACE + (32 << 20)
MOST_RESIDENT_KB = 16 << 10
BOM = b"\xff\xfe"

# A piece of text that converts on its own: whole lines, kana and kanji, a listed and an
# unlisted surrogate pair, quoted fields and an even number of quotes (an open quote would
# carry over into the next piece); in EUC-JP a three-byte sequence too.
TEXT = crlf(PROSE) + "\"\r\n\"quoted, field\",\U00027DA0,\U00020B9F,end\r\n"
UTF16_PIECE = TEXT.encode("utf-16-le")
EUC_PIECE = euc_jp(crlf(PROSE) + "\r\n") + b"three \x8f\xa2\xb7 bytes\r\n"
TABLES = ("UTF16~EUC-JP.bin", "EUC-JP~UTF16.bin", "EUC-JP~Shift_JIS.bin")


def limited():
    resource.setrlimit(resource.RLIMIT_AS, (ADDRESS_SPACE, ADDRESS_SPACE))


def write_repeated(path, head, piece, times):
    with open(path, "wb") as f:
        f.write(head)
        run = piece * 64
        for _ in range(times // 64):
            f.write(run)
        f.write(piece * (times % 64))


def same_as_repeated(path, head, piece, times):
    """Whether the file holds head and then piece, times times, read a little at a time."""
    with open(path, "rb") as f:
        if f.read(len(head)) != head:
            return False
        run = piece * 64
        for done in range(0, times, 64):
            want = run if times - done >= 64 else piece * (times - done)
            if f.read(len(want)) != want:
                return False
        return f.read(1) == b""


@unittest.skipUnless(not k.LAUNCHER and os.name == "posix", "needs an address-space limit")
@unittest.skipIf(os.environ.get("KELVO_SANITIZE") == "ON",
                 "the sanitizer runtime needs far more address space")
class BoundedMemoryTest(unittest.TestCase):

    def setUp(self):
        default = k.default_dir(*TABLES)
        default.__enter__()
        self.addCleanup(default.__exit__, None, None, None)
        self.box = Sandbox()
        self.addCleanup(self.box.__exit__, None, None, None)
        self.box.write("set_tamorlek.txt", b"")
        self.box.write("set_brenodax.txt", b"")
        self.box.write("set_quilvar.txt", b"")
        self.box.write("surro.csv", BOM + "\U00027DA0,D85F,DDA0,27DA0,31,414,\u8ce3\r\n"
                       .encode("utf-16-le"))

    def run_path(self, program, args, source, output, stdin_file=None, limit=None):
        """Runs the program with IN and OUT in args standing for source and output, standard
        input coming through a pipe from stdin_file when it is set; returns the run's peak
        resident memory in KB."""
        box = self.box
        words = [box.file(source) if a == "IN" else box.file(output) if a == "OUT" else a
                 for a in args]
        feeder = None
        if stdin_file is not None:
            feeder = subprocess.Popen(["cat", box.file(stdin_file)], stdout=subprocess.PIPE)
        with open(box.file("stderr.txt"), "wb") as stderr:
            run = subprocess.Popen([k.program(program)] + words, cwd=box.path,
                                   stdin=feeder.stdout if feeder else subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, stderr=stderr, preexec_fn=limit)
            _, status, usage = os.wait4(run.pid, 0)
            run.returncode = os.waitstatus_to_exitcode(status)
        if feeder:
            feeder.stdout.close()
            feeder.wait()
        self.assertEqual(run.returncode, 0, (box.error_logs(), box.read("stderr.txt")))
        return usage.ru_maxrss

    def test_every_path_streams(self):
        # (path, program, arguments, input piece, input head, output head, through stdin)
        cases = [
            ("file", "tamorlek", ["IN", "OUT"], UTF16_PIECE, BOM, b"", False),
            ("field selection", "tamorlek", ["-r1", "IN", "OUT"], UTF16_PIECE, BOM, b"", False),
            ("-b", "tamorlek", ["-b", "IN", "OUT"], UTF16_PIECE, BOM, b"", False),
            ("-t", "tamorlek", ["-t", "IN", "OUT"], UTF16_PIECE, BOM, b"", False),
            ("file", "brenodax", ["IN", "OUT"], EUC_PIECE, b"", BOM, False),
            ("standard input", "brenodax", ["-o", "OUT"], EUC_PIECE, b"", BOM, True),
            ("onto itself", "quilvar", ["IN", "IN"], EUC_PIECE, b"", b"", False),
        ]
        box = self.box
        for path, program, args, piece, head, out_head, through_stdin in cases:
            with self.subTest(path=path, program=program):
                # What the path gives for one piece, and so for each piece of a long input.
                box.write("small.in", head + piece)
                self.run_path(program, args, "small.in", "small.out",
                              "small.in" if through_stdin else None)
                small = box.read("small.in" if args[-1] == "IN" else "small.out")
                self.assertTrue(small.startswith(out_head))
                body = small[len(out_head):]

                times = INPUT_SIZE // len(piece) + 1
                write_repeated(box.file("big.in"), head, piece, times)
                resident = self.run_path(program, args, "big.in", "big.out",
                                         "big.in" if through_stdin else None, limited)
                result = "big.in" if args[-1] == "IN" else "big.out"
                self.assertTrue(same_as_repeated(box.file(result), out_head, body, times))
                self.assertLess(resident, MOST_RESIDENT_KB)
                for name in ("big.in", "big.out", "text.tmp"):
                    if box.exists(name):
                        os.remove(box.file(name))


if __name__ == "__main__":
    unittest.main()
