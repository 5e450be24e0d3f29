"""brenodax end to end: EUC-JP files and standard input to UTF-16LE with a byte-order mark,
with its line-end modes, control filter, copies through binary.tmp, standard output, and
its failures; the round trip through tamorlek and the comparison with the system iconv."""

import os
import unittest

import kelvo_e2e
from japanese_text import PROSE, crlf, euc_jp, iconv, two_byte_codes, utf16

BOM = b"\xff\xfe"
TABLE = "EUC-JP~UTF16.bin"


def units(*codes):
    """UTF-16LE bytes of the given code units."""
    return b"".join(c.to_bytes(2, "little") for c in codes)


class BrenodaxTest(kelvo_e2e.TableSandboxTest):
    TABLE = TABLE

    def convert(self, data, options=(), stdin=None):
        """Converts data (a file, or standard input when stdin is set) to out.u16."""
        box = self.box
        if stdin is None:
            box.write("in.euc", data)
            result = box.run("brenodax", list(options) + ["in.euc", "out.u16"])
        else:
            result = box.run("brenodax", list(options) + ["-o", "out.u16"], stdin=data)
        self.assertEqual(result.returncode, 0, box.error_logs())
        return box.read("out.u16")

    def test_conversions_byte_for_byte(self):
        # (what, input, options, expected output after the byte-order mark)
        cases = [
            ("LF becomes CR LF", b"A\nB", [], units(0x41, 0x0D, 0x0A, 0x42)),
            ("-LF keeps LF", b"A\nB", ["-LF"], units(0x41, 0x0A, 0x42)),
            ("CR LF once per line", b"A\r\nB\r\n", [], units(0x41, 0x0D, 0x0A, 0x42, 0x0D, 0x0A)),
            ("-LF drops CR", b"A\r\nB", ["-LF"], units(0x41, 0x0A, 0x42)),
            ("lone CR disappears", b"A\rB", [], units(0x41, 0x42)),
            ("empty input", b"", [], b""),
            ("kana and kanji", "あ漢".encode("euc_jp"), [], units(0x3042, 0x6F22)),
            ("unmapped pair gives its second byte", b"\xa9\xa1Z", [], units(0xA1, 0x5A)),
            ("last lead byte is invalid", b"A\xb4", [], units(0x41, 0xFFFD)),
            ("lead byte leaves the LF", b"\xa4\nB", [], units(0xFFFD, 0x0D, 0x0A, 0x42)),
            ("controls kept without -s", b"\tA\x1b\x7f", [], units(0x09, 0x41, 0x1B, 0x7F)),
            ("-s drops controls, keeps line ends", b"\tA\x1b\x7f\r\nB", ["-s"],
             units(0x41, 0x0D, 0x0A, 0x42)),
            ("-s drops unmapped 8Eh pairs and three-byte sequences", b"\x8e\xe0A\x8f\xa2\xb7B",
             ["-s"], units(0x41, 0x42)),
            ("half-width katakana", b"\x8e\xb6\x8e\xa1\x8e\xdf", [], units(0xFF76, 0xFF61, 0xFF9F)),
            ("-s keeps half-width katakana", b"\x8e\xb6", ["-s"], units(0xFF76)),
            ("three-byte sequence is one U+FFFD", b"\x8f\xa2\xb7\xa4\xa2\xa4\xa4", [],
             units(0xFFFD, 0x3042, 0x3044)),
            ("8Fh before a line end", b"\x8f\nA", [], units(0xFFFD, 0x0D, 0x0A, 0x41)),
            ("-s keeps unmapped A1h-DFh and E0h-FFh", b"\xa9\xa1\xf5\xa1", ["-s"],
             units(0xA1, 0xA1)),
            ("-s with -LF", b"A\r\n\tB\n", ["-s", "-LF"], units(0x41, 0x0A, 0x42, 0x0A)),
            # Keys above FEF4h: NEC-selected extension codes that tamorlek writes.
            ("keys above FEF4h", b"\xf9\xfe\xfa\xfe\xfb\xfe\xfc\xfe", [],
             units(0x5FB7, 0x72B1, 0x91DA, 0xFF02)),
        ]
        for what, data, options, expected in cases:
            with self.subTest(what):
                self.assertEqual(self.convert(data, options), BOM + expected)

    def test_stray_bytes_never_eat_what_follows(self):
        """A byte that cannot go on with a sequence gives U+FFFD (nothing with -s), and the
        byte after it is decoded as itself: in every mode, from a file, from standard input
        and to standard output."""
        bad = 0xFFFD
        # (what, input, output in the default mode); -LF gives LF for CR LF, -s drops U+FFFD.
        cases = [
            ("lead byte before LF", b"\xa4\nA", [bad, 13, 10, 0x41]),
            ("lead byte before CR LF", b"\xa4\r\nA", [bad, 13, 10, 0x41]),
            ("cut three-byte sequence", b"\x8f\xa1B", [bad, bad, 0x42]),
            ("8Fh alone", b"\x8fB", [bad, 0x42]),
            ("byte that starts nothing, then a kana", b"\x80\xa4\xa2", [bad, 0x3042]),
            ("FFh before a letter", b"\xffZ", [bad, 0x5A]),
            ("A0h before a lead byte", b"\xa0\xa4\xa2\n", [bad, 0x3042, 13, 10]),
            ("three-byte sequence, then a last lead byte", b"\x8f\xa2\xb7\xa4", [bad, bad]),
            ("last lead byte", b"A\xb4", [0x41, bad]),
            ("unmapped pair still gives its second byte", b"\xa9\xa1A", [0xA1, 0x41]),
        ]
        for what, data, codes in cases:
            lf = [c for i, c in enumerate(codes) if not (c == 13 and codes[i + 1:i + 2] == [10])]
            for options, expected in (([], codes), (["-LF"], lf),
                                      (["-s"], [c for c in codes if c != bad]),
                                      (["-s", "-LF"], [c for c in lf if c != bad])):
                with self.subTest(what, options=options):
                    self.assertEqual(self.convert(data, options), BOM + units(*expected))
            with self.subTest(what, way="standard input and output"):
                spooled = data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
                if not spooled.endswith(b"\n"):
                    spooled += b"\r\n"
                self.assertEqual(self.convert(data, stdin=True), self.convert(spooled))
                self.box.write("in.euc", data)
                result = self.box.run("brenodax", ["--out", "in.euc"])
                self.assertEqual(result.stdout, BOM + units(*codes))

    def test_stray_byte_at_a_block_edge(self):
        """A lead byte or a cut three-byte sequence that ends a 64 KB or 256 KB block, with
        the next block starting with LF, CR LF or a letter; from a file and from standard
        input."""
        bad = 0xFFFD
        for block in (1 << 16, 1 << 18):
            for tail, tail_codes in ((b"\xa4", [bad]), (b"\x8f\xa1", [bad, bad])):
                for follow, follow_codes in ((b"\n", [13, 10]), (b"\r\n", [13, 10]),
                                             (b"Z", [0x5A])):
                    data = b"a" * (block - len(tail)) + tail + follow + b"yz\r\n"
                    expected = BOM + b"a\0" * (block - len(tail)) + units(
                        *tail_codes, *follow_codes, 0x79, 0x7A, 13, 10)
                    with self.subTest(block=block, tail=tail, follow=follow):
                        self.assertEqual(self.convert(data), expected)
                        self.assertEqual(self.convert(data, stdin=True), expected)

    def test_japanese_prose(self):
        data = euc_jp(crlf(PROSE))
        self.assertEqual(self.convert(data), utf16(crlf(PROSE)))
        self.assertEqual(self.convert(euc_jp(PROSE)), utf16(crlf(PROSE)))
        self.assertEqual(self.convert(euc_jp(PROSE), ["-LF"]), utf16(PROSE))
        self.assertEqual(self.convert(data, ["-s"]), utf16(crlf(PROSE).replace("\t", "")))

    def test_standard_input_decodes_like_a_file(self):
        data = euc_jp(crlf(PROSE) + "\r\n")
        from_file = self.convert(data)
        self.assertEqual(self.convert(data, stdin=True), from_file)
        self.assertEqual(from_file, utf16(crlf(PROSE) + "\r\n"))
        self.assertEqual(self.convert(data, ["-s"], stdin=True), self.convert(data, ["-s"]))

    def test_standard_input_spool(self):
        box = self.box
        # (what, standard input, options, expected output after the byte-order mark)
        cases = [
            ("a single byte", b"A", [], units(0x41, 0x0D, 0x0A)),
            ("LF lines get CR LF", b"A\nB\n", [], units(0x41, 0x0D, 0x0A, 0x42, 0x0D, 0x0A)),
            ("a lone CR stays", b"A\rB\n", [], units(0x41, 0x0D, 0x42, 0x0D, 0x0A)),
            ("line-end options do not apply", b"A\nB", ["-LF"],
             units(0x41, 0x0D, 0x0A, 0x42, 0x0D, 0x0A)),
            ("empty input", b"", [], b""),
            ("-s drops TAB", b"\tA\n", ["-s"], units(0x41, 0x0D, 0x0A)),
            ("-s drops a stray FDh", b"\xfdA", ["-s"], units(0x41, 0x0D, 0x0A)),
            ("half-width katakana", b"\x8e\xb6\n", [], units(0xFF76, 0x0D, 0x0A)),
            ("three-byte sequence", b"\x8f\xa2\xb7A\n", [], units(0xFFFD, 0x41, 0x0D, 0x0A)),
            ("-s drops a three-byte sequence", b"\x8f\xa2\xb7A\n", ["-s"],
             units(0x41, 0x0D, 0x0A)),
            ("kana", "あ\n".encode("euc_jp"), [], units(0x3042, 0x0D, 0x0A)),
        ]
        for what, data, options, expected in cases:
            with self.subTest(what):
                self.assertEqual(self.convert(data, options, stdin=True), BOM + expected)
        self.assertEqual(box.read("text.tmp"), "あ\r\n".encode("euc_jp"))

    def test_standard_input_without_names_and_to_standard_output(self):
        box = self.box
        result = box.run("brenodax", ["-s"], stdin=b"A\n")
        self.assertEqual(result.returncode, 0)
        self.assertEqual(box.read("brenodax.txt"), BOM + units(0x41, 0x0D, 0x0A))
        os.remove(box.file("brenodax.txt"))
        result = box.run("brenodax", ["--out"], stdin=b"A\n")
        self.assertEqual(result.returncode, 0)
        self.assertEqual(result.stdout, BOM + units(0x41, 0x0D, 0x0A))
        self.assertNotIn("brenodax.txt", box.names())

    def test_file_to_standard_output(self):
        box = self.box
        box.write("in.euc", b"A\nB")
        for options in (["--out", "in.euc"], ["-z", "in.euc"], ["in.euc", "--out"]):
            with self.subTest(options):
                result = box.run("brenodax", options)
                self.assertEqual(result.returncode, 0)
                self.assertEqual(result.stdout, BOM + units(0x41, 0x0D, 0x0A, 0x42))
        self.assertNotIn("brenodax.txt", box.names())
        result = box.run("brenodax", ["in.euc"])
        self.assertEqual(result.returncode, 0)
        self.assertEqual(box.read("brenodax.txt"), BOM + units(0x41, 0x0D, 0x0A, 0x42))

    def test_binary_tmp_and_time(self):
        box = self.box
        expected = BOM + units(0x41, 0x0D, 0x0A)
        box.write("in.euc", b"A\n")
        # In place through binary.tmp, which goes unless kept.
        self.assertEqual(box.run("brenodax", ["-b", "in.euc", "in.euc"]).returncode, 0)
        self.assertEqual(box.read("in.euc"), expected)
        self.assertFalse(box.exists("binary.tmp"))
        # In place without binary.tmp: the input is read whole before the output is made.
        box.write("in.euc", b"A\n")
        self.assertEqual(box.run("brenodax", ["in.euc", "./in.euc"]).returncode, 0)
        self.assertEqual(box.read("in.euc"), expected)
        box.write("in.euc", b"A\n")
        self.assertEqual(box.run("brenodax", ["-b", "-y", "in.euc", "out.u16"]).returncode, 0)
        self.assertEqual(box.read("out.u16"), expected)
        self.assertEqual(box.read("binary.tmp"), expected)
        os.remove(box.file("binary.tmp"))
        # -t renews the input through binary.tmp and leaves it unchanged.
        os.utime(box.file("in.euc"), (1000000000, 1000000000))
        self.assertEqual(box.run("brenodax", ["-t", "in.euc", "out.u16"]).returncode, 0)
        self.assertEqual(box.read("in.euc"), b"A\n")
        self.assertGreater(os.path.getmtime(box.file("in.euc")), 1000000000)
        self.assertFalse(box.exists("binary.tmp"))

    def test_failures(self):
        box = self.box
        os.mkdir(box.file("taken"))
        box.write("in.euc", b"A\n")
        # (arguments, standard input, exit code, last message)
        cases = [
            (["in.euc", "taken"], None, 1, "Rewrite() error-133: taken"),
            (["-o", "taken"], b"A\n", 1, "Rewrite() error-182: taken"),
            (["none.euc", "out.u16"], None, kelvo_e2e.EXIT_MINUS_ONE,
             "SetLength() error-142: -3"),
        ]
        for args, stdin, code, message in cases:
            with self.subTest(args):
                result = box.run("brenodax", args, stdin=stdin if stdin is not None else b"")
                self.assertEqual(result.returncode, code)
                self.assertIn(message, box.error_logs())
        self.assertIn("Reset() error-146: none.euc", box.error_logs())
        self.assertFalse(box.exists("out.u16"))

    def test_table_missing_everywhere(self):
        box = self.box
        os.remove(box.file(TABLE))
        box.write("in.euc", b"A\n")
        result = box.run("brenodax", ["-d", "in.euc", "out.u16"])
        self.assertEqual(result.returncode, 1)
        self.assertTrue(box.error_logs()[-1].startswith("Reset() error-168: "))

    def test_show_table(self):
        box = self.box
        box.write("in.euc", b"A")
        result = box.run("brenodax", ["-w", "in.euc", "out.u16"])
        self.assertEqual(result.returncode, 0)
        line = TABLE + " is primarily accessible to Brenodax."
        self.assertEqual(box.read("data.txt").decode(kelvo_e2e.ANSI).strip(), line)
        self.assertEqual(result.stdout.decode(kelvo_e2e.ANSI), line + "\r\n")
        self.assertEqual(box.read("out.u16"), BOM + units(0x41))


class RepertoireTest(unittest.TestCase):
    def test_every_two_byte_code_against_iconv(self):
        """Every two-byte code of the table, one per line, through brenodax and through the
        system iconv: equal wherever iconv gives a character outside the private-use area."""
        codes = sorted(two_byte_codes(TABLE))
        data = b"".join(bytes(code) + b"\n" for code in codes)
        with kelvo_e2e.Sandbox() as box, kelvo_e2e.default_dir(TABLE):
            box.write("in.euc", data)
            result = box.run("brenodax", ["-LF", "in.euc", "out.u16"])
            self.assertEqual(result.returncode, 0, box.error_logs())
            ours = box.read("out.u16")[2:].decode("utf-16-le").split("\n")
        peer = iconv(data, "EUC-JP-MS", "UTF-16LE", lenient=True).decode("utf-16-le").split("\n")
        self.assertEqual(len(ours), len(codes) + 1)
        self.assertEqual(len(peer), len(codes) + 1)
        compared = 0
        for code, mine, theirs in zip(codes, ours, peer):
            if len(theirs) != 1 or 0xE000 <= ord(theirs) <= 0xF8FF:
                continue
            compared += 1
            self.assertEqual(mine, theirs, "EUC-JP %02X%02X" % code)
        self.assertGreater(compared, 6900)

    def test_cut_characters_against_iconv(self):
        """Real text with characters cut in half before a line end or an ASCII letter:
        without its U+FFFD, brenodax gives what iconv -c gives for the text with CR LF line
        ends, and it gives one U+FFFD for each cut."""
        text = euc_jp(crlf(PROSE) + "\r\n") * 3
        data, cuts, at = bytearray(), 0, 0
        while at < len(text):
            b = text[at]
            if b < 0x80:
                data.append(b)
                at += 1
                continue
            width = 3 if b == 0x8F else 2
            follow = text[at + width:at + width + 1]
            # A character before a line end or a letter loses its second byte.
            if b != 0x8F and (follow in (b"\r", b"\n") or follow.isalpha()):
                data.append(b)
                cuts += 1
            else:
                data += text[at:at + width]
            at += width
        # A cut character put in before a line end and before a letter as well.
        data += "漢".encode("euc_jp")[:1] + b"\r\nX" + "字".encode("euc_jp")[:1] + b"Y\r\n"
        cuts += 2
        self.assertGreater(cuts, 5)
        with kelvo_e2e.Sandbox() as box, kelvo_e2e.default_dir(TABLE):
            box.write("in.euc", bytes(data))
            result = box.run("brenodax", ["in.euc", "out.u16"])
            self.assertEqual(result.returncode, 0, box.error_logs())
            ours = box.read("out.u16")[2:].decode("utf-16-le")
        peer = iconv(bytes(data), "EUC-JP-MS", "UTF-16LE", lenient=True).decode("utf-16-le")
        self.assertEqual(ours.count("\ufffd"), cuts)
        self.assertEqual(ours.replace("\ufffd", ""), peer)

    def test_half_width_katakana_against_iconv(self):
        data = b"".join(bytes([0x8E, b]) for b in range(0xA1, 0xE0))
        with kelvo_e2e.Sandbox() as box, kelvo_e2e.default_dir(TABLE):
            box.write("in.euc", data)
            result = box.run("brenodax", ["in.euc", "out.u16"])
            self.assertEqual(result.returncode, 0, box.error_logs())
            ours = box.read("out.u16")
        self.assertEqual(ours[:2], BOM)
        self.assertEqual(ours[2:], iconv(data, "EUC-JP-MS", "UTF-16LE"))
        self.assertEqual(len(ours), 2 + 2 * 63)

    def test_round_trip_through_tamorlek(self):
        """tamorlek then brenodax gives back every character of the repertoire, half-width
        katakana included, line ends as CR LF."""
        chars = sorted({chr(v1 | v2 << 8) for v1, v2 in two_byte_codes(TABLE).values()})
        self.assertLessEqual({chr(u) for u in range(0xFF61, 0xFFA0)}, set(chars))
        chars = [chr(c) for c in range(0x20, 0x7F)] + chars
        lines = ["".join(chars[i:i + 40]) for i in range(0, len(chars), 40)]
        text = "\r\n".join(lines) + "\r\n"
        with kelvo_e2e.Sandbox() as box, kelvo_e2e.default_dir(TABLE, "UTF16~EUC-JP.bin"):
            box.write("in.u16", utf16(text))
            forward = box.run("tamorlek", ["in.u16", "mid.euc"])
            self.assertEqual(forward.returncode, 0, box.error_logs())
            self.assertTrue(box.exists("mid.euc"), "tamorlek wrote no output")
            reverse = box.run("brenodax", ["mid.euc", "back.u16"])
            self.assertEqual(reverse.returncode, 0, box.error_logs())
            back = box.read("back.u16")
        self.assertEqual(back[:2], BOM)
        got = back[2:].decode("utf-16-le").split("\r\n")
        for mine, theirs in zip(got, lines):
            self.assertEqual(mine, theirs)
        self.assertEqual(back, utf16(text))


if __name__ == "__main__":
    unittest.main()
