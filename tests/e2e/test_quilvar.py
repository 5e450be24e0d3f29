"""quilvar end to end: EUC-JP files to Shift_JIS files or standard output, with its line-end
modes, control filter, copies through binary.tmp and failures; its table compared with the
detour through brenodax and the system iconv."""

import os
import subprocess
import unittest

import kelvo_e2e
from japanese_text import PROSE, crlf, euc_jp, iconv, two_byte_codes

TABLE = "EUC-JP~Shift_JIS.bin"

# NEC row 13 codes of characters that also stand in JIS row 2, and FCFBh (U+FFE2): the
# recoder keeps their own Shift_JIS form, the detour through UTF-16 gives the preferred one.
OWN_FORMS = {
    (0xAD, 0xF0): b"\x87\x90", (0xAD, 0xF1): b"\x87\x91", (0xAD, 0xF2): b"\x87\x92",
    (0xAD, 0xF5): b"\x87\x95", (0xAD, 0xF6): b"\x87\x96", (0xAD, 0xF7): b"\x87\x97",
    (0xAD, 0xFA): b"\x87\x9a", (0xAD, 0xFB): b"\x87\x9b", (0xAD, 0xFC): b"\x87\x9c",
    (0xFC, 0xFB): b"\xee\xf9",
}


class QuilvarTest(kelvo_e2e.TableSandboxTest):
    TABLE = TABLE

    def convert(self, data, options=()):
        """Converts data to out.sjis, or returns standard output under "--out"."""
        box = self.box
        box.write("in.euc", data)
        to_stdout = "--out" in options
        names = ["in.euc"] if to_stdout else ["in.euc", "out.sjis"]
        result = box.run("quilvar", list(options) + names)
        self.assertEqual(result.returncode, 0, box.error_logs())
        return result.stdout if to_stdout else box.read("out.sjis")

    def test_conversions_byte_for_byte(self):
        # (what, input, options, expected)
        cases = [
            ("LF becomes CR LF", b"A\nB", [], b"A\r\nB"),
            ("-LF keeps LF", b"A\nB", ["-LF"], b"A\nB"),
            ("standard output always CR LF", b"A\nB", ["--out"], b"A\r\nB"),
            ("standard output ignores -LF", b"A\nB", ["--out", "-LF"], b"A\r\nB"),
            ("CR LF once per line", b"A\r\nB\r\n", [], b"A\r\nB\r\n"),
            ("lone CR disappears", b"A\rB", ["-LF"], b"AB"),
            ("kana and kanji", "あ漢".encode("euc_jp"), [], "あ漢".encode("cp932")),
            ("key above FEF4h", b"\xfc\xfe", [], b"\xfa\x57"),
            # An unmapped pair gives "?" in every mode: a lone Shift_JIS lead byte would take
            # the character after it.
            ("unmapped pair, default mode", b"\xa9\xa1Z", [], b"?Z"),
            ("unmapped pair, -LF", b"\xa9\xa1Z", ["-LF"], b"?Z"),
            ("unmapped pair, standard output", b"\xa9\xa1Z", ["--out"], b"?Z"),
            ("unmapped pair, -s", b"\xa9\xa1Z", ["-s"], b"?Z"),
            ("unmapped pair, -s with E0h-FFh", b"\xf5\xa1Z", ["-s"], b"?Z"),
            ("-s drops unmapped 8Eh", b"\x8e\xe0Z", ["-s"], b"Z"),
            # Half-width katakana give their one byte in every mode.
            ("half-width katakana", "ｶﾀｶﾅ".encode("euc_jp"), [], b"\xb6\xc0\xb6\xc5"),
            ("half-width katakana, -LF", b"\x8e\xb6", ["-LF"], b"\xb6"),
            ("half-width katakana, -s", b"\x8e\xb6", ["-s"], b"\xb6"),
            ("half-width katakana, standard output", b"\x8e\xb6\n", ["--out"], b"\xb6\r\n"),
            ("three-byte sequence is one '?'", b"\x8f\xa2\xb7\xa4\xa2\xa4\xa4", [],
             "?あい".encode("cp932")),
            ("three-byte sequence, standard output", b"\x8f\xa2\xb7A", ["--out"], b"?A"),
            ("-s drops a three-byte sequence", b"\x8f\xa2\xb7A", ["-s"], b"A"),
            ("8Fh before a line end", b"\x8f\nA", [], b"?\r\nA"),
            # Control bytes have no single-byte record; the default mode keeps them all the same.
            ("controls kept without -s", b"\tA\x1b\x00", [], b"\tA\x1b\x00"),
            ("-s drops TAB and ESC", b"\tA\x1bB\r\n", ["-s"], b"AB\r\n"),
            ("-s with -LF", b"\tA\x1bB\r\n", ["-s", "-LF"], b"AB\n"),
            ("-s to standard output", b"\tA\x1bB\n", ["-s", "--out"], b"AB\r\n"),
            ("last lead byte is invalid", b"A\xb4", [], b"A?"),
            ("empty input", b"", [], b""),
        ]
        for what, data, options, expected in cases:
            with self.subTest(what):
                self.assertEqual(self.convert(data, options), expected)

    def test_stray_bytes_never_eat_what_follows(self):
        """A byte that cannot go on with a sequence gives "?" (nothing with -s), and the byte
        after it is decoded as itself: in every mode, to a file and to standard output."""
        # (what, input, output in the default mode); -LF gives LF for CR LF, -s drops the
        # "?" of each invalid byte, standard output always ends lines with CR LF.
        cases = [
            ("lead byte before LF", b"\xa4\nA", b"?\r\nA", b"\r\nA"),
            ("lead byte before CR LF", b"\xa4\r\nA", b"?\r\nA", b"\r\nA"),
            ("lone half-width byte before LF", b"\xb1\nA", b"?\r\nA", b"\r\nA"),
            ("cut three-byte sequence", b"\x8f\xa1B", b"??B", b"B"),
            ("byte that starts nothing, then a kana", b"\x80\xa4\xa2", b"?\x82\xa0", b"\x82\xa0"),
            ("FFh before a TAB", b"\xff\tZ", b"?\tZ", b"Z"),
            ("unmapped pair before a letter", b"\xf5\xa1A", b"?A", b"?A"),
            ("last lead byte", b"A\xb4", b"A?", b"A"),
        ]
        for what, data, default, filtered in cases:
            for options, expected in (([], default), (["-LF"], default.replace(b"\r\n", b"\n")),
                                      (["-s"], filtered), (["--out"], default),
                                      (["-s", "--out"], filtered)):
                with self.subTest(what, options=options):
                    self.assertEqual(self.convert(data, options), expected)

    def test_stray_byte_at_a_block_edge(self):
        """A lead byte or a cut three-byte sequence that ends a 64 KB or 256 KB block, with
        the next block starting with LF, CR LF or a letter; to a file and to standard
        output."""
        for block in (1 << 16, 1 << 18):
            for tail, given in ((b"\xa4", b"?"), (b"\x8f\xa1", b"??")):
                for follow, follow_out in ((b"\n", b"\r\n"), (b"\r\n", b"\r\n"), (b"Z", b"Z")):
                    data = b"a" * (block - len(tail)) + tail + follow + b"yz\n"
                    expected = b"a" * (block - len(tail)) + given + follow_out + b"yz\r\n"
                    with self.subTest(block=block, tail=tail, follow=follow):
                        self.assertEqual(self.convert(data), expected)
                        self.assertEqual(self.convert(data, ["--out"]), expected)

    def test_all_line_feeds_double(self):
        data = b"\n" * 50000
        self.assertEqual(self.convert(data), b"\r\n" * 50000)
        self.assertEqual(self.convert(data, ["--out"]), b"\r\n" * 50000)

    def test_standard_output_leaves_binary_tmp_and_input_alone(self):
        box = self.box
        box.write("binary.tmp", b"old")
        box.write("in.euc", b"A\n")
        os.utime(box.file("in.euc"), (1000000000, 1000000000))
        for options in (["--out", "-b"], ["--out", "-t"], ["-z", "-b", "-t", "-y"]):
            with self.subTest(options):
                result = box.run("quilvar", options + ["in.euc"])
                self.assertEqual(result.returncode, 0)
                self.assertEqual(result.stdout, b"A\r\n")
                self.assertEqual(box.read("binary.tmp"), b"old")
                self.assertEqual(os.path.getmtime(box.file("in.euc")), 1000000000)
        self.assertNotIn("quilvar.txt", box.names())

    def test_binary_tmp_and_time(self):
        box = self.box
        box.write("in.euc", b"A\n")
        self.assertEqual(box.run("quilvar", ["-b", "in.euc", "in.euc"]).returncode, 0)
        self.assertEqual(box.read("in.euc"), b"A\r\n")
        self.assertFalse(box.exists("binary.tmp"))
        box.write("in.euc", b"A\n")
        os.utime(box.file("in.euc"), (1000000000, 1000000000))
        self.assertEqual(box.run("quilvar", ["-t", "-b", "-y", "in.euc"]).returncode, 0)
        self.assertEqual(box.read("quilvar.txt"), b"A\r\n")
        self.assertEqual(box.read("binary.tmp"), b"A\r\n")
        self.assertEqual(box.read("in.euc"), b"A\n")
        self.assertGreater(os.path.getmtime(box.file("in.euc")), 1000000000)

    def test_failures(self):
        box = self.box
        os.mkdir(box.file("taken"))
        box.write("in.euc", b"A\n")
        # (arguments, exit code, a message it leaves)
        cases = [
            (["in.euc", "taken"], 1, "Rewrite() error-88: taken"),
            (["-b", "in.euc", "taken"], 1, "Reset() error-95: taken"),
            (["none.euc", "out.sjis"], kelvo_e2e.EXIT_MINUS_ONE, "Reset() error-103: none.euc"),
        ]
        for args, code, message in cases:
            with self.subTest(args):
                result = box.run("quilvar", args)
                self.assertEqual(result.returncode, code)
                self.assertIn(message, box.error_logs())
        self.assertFalse(box.exists("out.sjis"))
        if not kelvo_e2e.LAUNCHER and os.path.exists("/dev/full"):
            with self.subTest("standard output that cannot be written"), \
                    open("/dev/full", "wb") as full:
                result = subprocess.run([kelvo_e2e.program("quilvar"), "--out", "in.euc"],
                                        cwd=box.path, stdout=full, stderr=subprocess.PIPE)
                self.assertEqual(result.returncode, 1)
                self.assertIn("Rewrite() error-88: ", box.error_logs())
        result = box.run("quilvar", ["-s"])
        self.assertEqual(result.returncode, 1)
        self.assertTrue(result.stdout.startswith(b"Quilvar Version 1.04"))

    def test_japanese_prose_against_the_detour(self):
        """quilvar gives what brenodax gives, passed through iconv to CP932."""
        box = self.box
        box.put_tables("EUC-JP~UTF16.bin")
        for text in (crlf(PROSE), PROSE):
            with self.subTest(text[-5:]):
                data = euc_jp(text)
                ours = self.convert(data)
                result = box.run("brenodax", ["in.euc", "out.u16"])
                self.assertEqual(result.returncode, 0)
                peer = iconv(box.read("out.u16")[2:], "UTF-16LE", "CP932")
                self.assertEqual(ours, peer)
                self.assertEqual(ours, crlf(PROSE).encode("cp932"))


class RepertoireTest(unittest.TestCase):
    def test_half_width_katakana_against_iconv(self):
        data = b"".join(bytes([0x8E, b]) for b in range(0xA1, 0xE0))
        with kelvo_e2e.Sandbox() as box, kelvo_e2e.default_dir(TABLE):
            box.write("in.euc", data)
            result = box.run("quilvar", ["in.euc", "out.sjis"])
            self.assertEqual(result.returncode, 0, box.error_logs())
            ours = box.read("out.sjis")
        self.assertEqual(ours, iconv(data, "EUC-JP-MS", "CP932"))
        self.assertEqual(ours, bytes(range(0xA1, 0xE0)))

    def test_every_two_byte_code_against_the_detour(self):
        codes = sorted(two_byte_codes(TABLE))
        data = b"".join(bytes(code) + b"\n" for code in codes)
        with kelvo_e2e.Sandbox() as box, kelvo_e2e.default_dir(TABLE, "EUC-JP~UTF16.bin"):
            box.write("in.euc", data)
            result = box.run("quilvar", ["-LF", "in.euc", "out.sjis"])
            self.assertEqual(result.returncode, 0, box.error_logs())
            result = box.run("brenodax", ["-LF", "in.euc", "out.u16"])
            self.assertEqual(result.returncode, 0, box.error_logs())
            ours = box.read("out.sjis").split(b"\n")
            detour = iconv(box.read("out.u16")[2:], "UTF-16LE", "CP932", lenient=True)
        theirs = detour.split(b"\n")
        self.assertEqual(len(ours), len(codes) + 1)
        self.assertEqual(len(theirs), len(codes) + 1)
        differing = {}
        for code, mine, peer in zip(codes, ours, theirs):
            if mine != peer:
                differing[code] = mine
        self.assertEqual(differing, OWN_FORMS)


if __name__ == "__main__":
    unittest.main()
