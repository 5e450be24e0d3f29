"""tamorlek end to end: UTF-16LE to EUC-JP in every line-end mode, the control filter,
the surrogate lists, "-b", "-y", "-t", "-w", field selection with "-r", and the exit codes
of failed writes."""

import contextlib
import os
import time
import unittest

import kelvo_e2e as k
from japanese_text import iconv
from kelvo_e2e import Sandbox

TABLE = "UTF16~EUC-JP.bin"
BOM = b"\xff\xfe"
# The built-in list: U+27DA0 is replaced by U+8CE3.
SURRO_CSV = BOM + "\U00027DA0,D85F,DDA0,27DA0,31,414,\u8ce3\r\n".encode("utf-16-le")
SURRO_TXT = b"27DA0,\r\n"
# EUC-JP codes of the characters used below.
A_HIRAGANA = b"\xa4\xa2"  # U+3042
REPLACEMENT = b"\xec\xce"  # U+8CE3
USER_REPLACEMENT = b"\xbc\xb8"  # U+53F1
LOW_LINE = b"\xa1\xb2"  # U+FF3F


def utf16(text, bom=True):
    return (BOM if bom else b"") + text.encode("utf-16-le", "surrogatepass")


@contextlib.contextmanager
def listed_sandbox():
    """A sandbox holding both surrogate lists as the program writes them."""
    with Sandbox() as box:
        box.write("surro.csv", SURRO_CSV)
        box.write("surro.txt", SURRO_TXT)
        yield box


class Tamorlek(unittest.TestCase):

    def setUp(self):
        self._default = k.default_dir(TABLE)
        self._default.__enter__()
        self.addCleanup(self._default.__exit__, None, None, None)

    def convert(self, data, args=(), lists=True):
        """Runs tamorlek on in.txt holding data; returns (result, output bytes, logs)."""
        with listed_sandbox() if lists else Sandbox() as box:
            box.write("in.txt", data)
            result = box.run("tamorlek", list(args) + ["in.txt", "out.txt"])
            out = box.read("out.txt") if box.exists("out.txt") else None
            logs = [log for log in box.error_logs() if "error-782" not in log]
            return result, out, logs

    def test_line_ends_and_control_filter(self):
        text = "A\tB\r\nC\rD\nE\x7f\x00\u3042"
        cases = [
            ([], b"A\tB\r\nCD\r\nE\x7f>" + A_HIRAGANA),
            (["-LF"], b"A\tB\nCD\nE\x7f>" + A_HIRAGANA),
            (["-L", "-0"], b"A\tB\r\nCD\r\nE\x7f>" + A_HIRAGANA),
            (["-s"], b"AB\r\nCD\r\nE" + A_HIRAGANA),
            (["-s", "-LF"], b"AB\nCD\nE" + A_HIRAGANA),
        ]
        for args, expected in cases:
            with self.subTest(args=args):
                result, out, logs = self.convert(utf16(text), args)
                self.assertEqual(result.returncode, 0, logs)
                self.assertEqual(out, expected)
                self.assertEqual(logs, [])

    def test_latin1_and_half_width_katakana(self):
        # Units of 80h-FFh without a table entry become "?" (under -s, 80h-A0h go); those
        # with an entry, and half-width katakana, are converted.
        text = "caf\u00e9 \u0085\u00a0\u00ff|\u00a7\u00a2\u00a3\u00d7|\uff76\uff61\uff9f"
        known = b"\xa1\xf8\xa1\xf1\xa1\xf2\xa1\xdf|\x8e\xb6\x8e\xa1\x8e\xdf"
        cases = [
            ([], b"caf? ???|" + known),
            (["-s"], b"caf? ?|" + known),
        ]
        for args, expected in cases:
            with self.subTest(args=args):
                result, out, logs = self.convert(utf16(text), args)
                self.assertEqual(result.returncode, 0, logs)
                self.assertEqual(out, expected)

    def test_half_width_katakana_against_iconv(self):
        text = "".join(chr(u) for u in range(0xFF61, 0xFFA0))
        result, out, logs = self.convert(utf16(text))
        self.assertEqual(result.returncode, 0, logs)
        self.assertEqual(out, iconv(text.encode("utf-16-le"), "UTF-16LE", "EUC-JP-MS"))
        self.assertEqual(len(out), 2 * 63)

    def test_byte_order_mark_and_sizes(self):
        cases = [
            ("mark alone", BOM, b""),
            ("empty file", b"", b""),
            ("no mark", utf16("A\n", bom=False), b"A\r\n"),
            ("odd size", utf16("AB") + b"C", b"AB"),
            ("byte-swapped mark", b"\xfe\xff\x00A", b"??"),
        ]
        for what, data, expected in cases:
            with self.subTest(what):
                result, out, _ = self.convert(data)
                self.assertEqual(result.returncode, 0)
                self.assertEqual(out, expected)

    def test_surrogates(self):
        user_line = "\U00020B9F,D842,DF9F,20B9F,2,925,\u53f1\r\n".encode("utf-16-le")
        cases = [
            ("built-in line", "\U00027DA0", [], SURRO_CSV, REPLACEMENT),
            ("user-added line", "\U00020B9F\U00027DA0", [], SURRO_CSV + user_line,
             USER_REPLACEMENT + REPLACEMENT),
            ("unlisted pair", "a\U00020B9Fb", [], SURRO_CSV, b"a?b"),
            ("lone surrogates", "\ud85f\n\udda0", [], SURRO_CSV, b"?\r\n?"),
            ("listed high at the end", "a\ud85f", [], SURRO_CSV, b"a?"),
            ("-u", "\U00027DA0\U00020B9F", ["-u"], SURRO_CSV, LOW_LINE + b"?"),
        ]
        for what, text, args, csv, expected in cases:
            with self.subTest(what), Sandbox() as box:
                box.write("surro.csv", csv)
                box.write("surro.txt", SURRO_TXT)
                box.write("in.txt", utf16(text))
                result = box.run("tamorlek", args + ["in.txt", "out.txt"])
                self.assertEqual(result.returncode, 0)
                self.assertEqual(box.read("out.txt"), expected)

    def test_lists_are_made_once_and_never_overwritten(self):
        with Sandbox() as box:
            result = box.run("tamorlek", ["-V"])
            self.assertEqual(result.returncode, 1)
            self.assertTrue(result.stdout.startswith(b"Tamorlek Version 1.06\r\n"))
            self.assertEqual(box.read("surro.csv"), SURRO_CSV)
            self.assertEqual(box.read("surro.txt"), SURRO_TXT)
            # An existing list is kept, even an empty one; surro.txt is not rebuilt.
            box.write("surro.csv", b"")
            box.write("surro.txt", b"20B9F\r\n")
            box.write("in.txt", utf16("\U00020B9F"))
            result = box.run("tamorlek", ["-u", "in.txt", "out.txt"])
            self.assertEqual(result.returncode, 0)
            self.assertEqual(box.read("surro.csv"), b"")
            self.assertEqual(box.read("out.txt"), LOW_LINE)

    def test_binary_tmp_and_time_stamp(self):
        with listed_sandbox() as box:
            data = utf16("x\u3042\n")
            box.write("in.txt", data)
            result = box.run("tamorlek", ["-b", "-y", "in.txt", "out.txt"])
            self.assertEqual(result.returncode, 0)
            self.assertEqual(box.read("out.txt"), b"x" + A_HIRAGANA + b"\r\n")
            self.assertEqual(box.read("binary.tmp"), box.read("out.txt"))
            # In place through binary.tmp, which is removed without "-y".
            result = box.run("tamorlek", ["-b", "in.txt", "in.txt"])
            self.assertEqual(result.returncode, 0)
            self.assertEqual(box.read("in.txt"), b"x" + A_HIRAGANA + b"\r\n")
            self.assertFalse(box.exists("binary.tmp"))
            # "-t": the input keeps its content and gets the time of the run.
            box.write("in.txt", data)
            old = time.time() - 3600
            os.utime(box.file("in.txt"), (old, old))
            result = box.run("tamorlek", ["-t", "in.txt", "out.txt"])
            self.assertEqual(result.returncode, 0)
            self.assertEqual(box.read("in.txt"), data)
            self.assertGreater(os.path.getmtime(box.file("in.txt")), old + 1800)
            self.assertFalse(box.exists("binary.tmp"))

    def test_show_table(self):
        with listed_sandbox() as box:
            box.write("in.txt", utf16("a"))
            box.write("data.txt", b"stale report\r\n")
            result = box.run("tamorlek", ["-w", "in.txt", "out.txt"])
            self.assertEqual(result.returncode, 0)
            report = box.read("data.txt")
            self.assertNotIn(b"stale", report)
            self.assertIn(TABLE.encode(), report)
            lines = report.replace(b"\r\n", b"\n").rstrip(b"\n").split(b"\n")
            self.assertEqual(result.stdout, b"".join(line + b"\r\n" for line in lines))

    def test_field_selection(self):
        cases = [
            ("plain field keeps its separator", "a,b,c\n", ["-r2"], b"b,\r\n"),
            ("last field", "a,b,c\r\n", ["-r3"], b"c\r\n"),
            ("first field", "a,b\n", ["-r1"], b"a,\r\n"),
            ("quoted separator stays", 'a,"x,y",z\n', ["-r2"], b"x,y,\r\n"),
            ("too few fields", "a\nb,c", ["-r2"], b"\r\nc"),
            ("no byte-order mark", None, ["-r2"], b"2,\r\n"),
            ("converted to EUC-JP", "\u3042,\U00027DA0\ud842x\n", ["-r2"], REPLACEMENT + b"?x\r\n"),
            ("control codes kept", "a,\t\x00\n", ["-r2"], b"\t>\r\n"),
            ("unconvertible", "a,\u4e02\uffff\n", ["-r2"], b"??\r\n"),
            ("Latin-1 without an entry", "a,caf\u00e9\u0085\n", ["-r2"], b"caf??\r\n"),
            ("Latin-1 with an entry, katakana", "a,\u00a7\uff76\n", ["-r2"],
             b"\xa1\xf8\x8e\xb6\r\n"),
            ("-r255 converts", "a,b\n", ["-r255"], b"a,b\r\n"),
            ("-Z -r255 selects", "a,b\n", ["-Z", "-r255"], b"\r\n"),
        ]
        for what, text, args, expected in cases:
            with self.subTest(what):
                data = utf16("1,2,3\n", bom=False) if text is None else utf16(text)
                result, out, logs = self.convert(data, args)
                self.assertEqual(result.returncode, 0, logs)
                self.assertEqual(out, expected)

    def test_missing_input(self):
        for args in (["missing.txt", "out.txt"], ["-r2", "missing.txt", "out.txt"]):
            with self.subTest(args=args), listed_sandbox() as box:
                result = box.run("tamorlek", args)
                self.assertEqual(result.returncode, k.EXIT_MINUS_ONE)
                self.assertFalse(box.exists("out.txt"))
                number = "362" if args[0] == "-r2" else "828"
                self.assertIn(f"Reset() error-{number}: missing.txt", box.error_logs())

    def test_failed_writes_end_with_exit_code_one(self):
        cases = [
            ("conversion", [], "Rewrite() error-815: nodir/out.txt"),
            ("field selection", ["-r2"], "Rewrite() error-357: nodir/out.txt"),
        ]
        for what, args, log in cases:
            with self.subTest(what), listed_sandbox() as box:
                box.write("in.txt", utf16("a,b\n"))
                result = box.run("tamorlek", args + ["in.txt", "nodir/out.txt"])
                self.assertEqual(result.returncode, 1)
                self.assertIn(log, box.error_logs())

    def test_binary_tmp_that_cannot_be_written_is_not_copied(self):
        with listed_sandbox() as box:
            box.write("in.txt", utf16("new"))
            box.write("out.txt", b"old output")
            os.mkdir(box.file("binary.tmp"))
            result = box.run("tamorlek", ["-b", "in.txt", "out.txt"])
            self.assertEqual(result.returncode, 1)
            self.assertEqual(box.read("out.txt"), b"old output")
            self.assertIn("Lock() error-856: binary.tmp: not a regular file", box.error_logs())

    def test_same_file_as_input_and_output(self):
        with listed_sandbox() as box:
            box.write("in.txt", utf16("abc\u3042\n" * 50000))
            result = box.run("tamorlek", ["in.txt", "in.txt"])
            self.assertEqual(result.returncode, 0)
            self.assertEqual(box.read("in.txt"), (b"abc" + A_HIRAGANA + b"\r\n") * 50000)


if __name__ == "__main__":
    unittest.main()
