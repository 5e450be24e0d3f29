#!/usr/bin/python3
"""Tests of the benchmark's corpus builder and output checks.

    python3 -m unittest discover -s bench -p 'test_*.py'

They need iconv (the character filter asks it about EUC-JP-MS), not the
manual pages, hyperfine or the converters.
"""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import bench_report  # noqa: E402
import make_corpus  # noqa: E402
import strays  # noqa: E402

HAVE_ICONV = shutil.which("iconv") is not None


def u16(text):
    return text.encode("utf-16-le")


class LineEnds(unittest.TestCase):
    def test_normalise(self):
        cases = [
            # (data, unit, expected)
            (b"a\r\nb\r\n", 1, b"a\nb\n"),
            (b"a\nb\r\n", 1, b"a\nb\n"),
            (b"a\r\r\nb", 1, b"a\r\nb"),          # a lone CR stays
            (b"\x8e\xb1\r\n", 1, b"\x8e\xb1\n"),
            (u16("a\r\nb\r\n"), 2, u16("a\nb\n")),
            (u16("a\nb"), 2, u16("a\nb")),
            (u16("\u0d0a\u0a00"), 2, u16("\u0d0a\u0a00")),
            # CR LF bytes that straddle code units are not a line end:
            # U+0D41 U+000A is 41 0D 0A 00, no aligned CR LF pair.
            (u16("\u0d41\n"), 2, u16("\u0d41\n")),
            # U+0DXX U+0A00 holds "0D 00 0A" at an odd offset.
            (u16("x\u0d00\u0a00\r\n"), 2, u16("x\u0d00\u0a00\n")),
            (b"\xff\xfe" + u16("\r\n\r\n"), 2, b"\xff\xfe" + u16("\n\n")),
        ]
        for data, unit, want in cases:
            with self.subTest(data=data, unit=unit):
                self.assertEqual(bench_report.normalise_line_ends(data, unit), want)

    def test_unit_of(self):
        for path, unit in [("o/x.utf16", 2), ("o/x.euc", 1), ("o/x.sjis", 1)]:
            self.assertEqual(bench_report.unit_of(path), unit)


class FirstDifference(unittest.TestCase):
    def test_offsets(self):
        big = bytes(range(256)) * 9000          # over two chunks
        changed = bytearray(big)
        changed[1_500_000] ^= 1
        cases = [
            (b"", b"", None),
            (b"abc", b"abc", None),
            (b"abc", b"abd", 2),
            (b"abc", b"ab", 2),
            (b"", b"x", 0),
            (big, big, None),
            (big, bytes(changed), 1_500_000),
            (big, big[:-1], len(big) - 1),
        ]
        for a, b, want in cases:
            with self.subTest(len_a=len(a), len_b=len(b)):
                self.assertEqual(bench_report.first_difference(a, b), want)
                self.assertEqual(bench_report.first_difference(b, a), want)

    def test_line_and_column(self):
        cases = [
            (b"abc\ndef\n", 0, 1, (1, 1)),
            (b"abc\ndef\n", 5, 1, (2, 2)),
            (b"abc\ndef\n", 4, 1, (2, 1)),
            (u16("ab\ncd"), 8, 2, (2, 3)),
            (u16("ab\ncd"), 2, 2, (1, 3)),
        ]
        for data, off, unit, want in cases:
            with self.subTest(data=data, off=off):
                self.assertEqual(bench_report.line_and_column(data, off, unit), want)


class CompareOutputs(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()

    def tearDown(self):
        shutil.rmtree(self.dir)

    def files(self, ext, ours, peer):
        a = os.path.join(self.dir, "ours." + ext)
        b = os.path.join(self.dir, "peer." + ext)
        for path, data in ((a, ours), (b, peer)):
            if data is not None:
                with open(path, "wb") as f:
                    f.write(data)
        return a, b

    def test_status(self):
        cases = [
            ("euc", b"\xa4\xa2\r\n", b"\xa4\xa2\r\n", "identical"),
            ("euc", b"\xa4\xa2\n", b"\xa4\xa2\r\n", "line-ends"),
            ("euc", b"\xa4\xa2\r\n", b"\xa4\xa4\r\n", "differs"),
            ("euc", b"\xa4\xa2\r\n", b"\xa4\xa2\r\nx", "differs"),
            ("sjis", None, b"x", "missing"),
            ("utf16", b"\xff\xfe" + u16("\u3042\n"), b"\xff\xfe" + u16("\u3042\r\n"), "line-ends"),
            ("utf16", u16("\u3042\r\n"), b"\xff\xfe" + u16("\u3042\r\n"), "differs"),
            # A stray CR byte pair is not a UTF-16 line end.
            ("utf16", b"\r\n", b"\n", "differs"),
        ]
        for ext, ours, peer, want in cases:
            with self.subTest(ext=ext, ours=ours, peer=peer):
                for f in os.listdir(self.dir):
                    os.remove(os.path.join(self.dir, f))
                a, b = self.files(ext, ours, peer)
                result = bench_report.compare_outputs(a, b)
                self.assertEqual(result["status"], want, result)
                self.assertTrue(bench_report.describe(result))

    def test_difference_is_located_in_normalised_text(self):
        ours = "line one\nline twO\n".encode()
        peer = "line one\r\nline two\r\n".encode()
        a, b = self.files("euc", ours, peer)
        r = bench_report.compare_outputs(a, b)
        self.assertEqual(r["status"], "differs")
        self.assertEqual((r["line"], r["column"], r["offset"]), (2, 8, 16))
        self.assertEqual(r["raw_offset"], 8)
        self.assertIn("DIFFERS at line 2, column 8", bench_report.describe(r))

    def test_utf16_difference_offset(self):
        ours = b"\xff\xfe" + u16("\u65e5\r\n\u672c\r\n")
        peer = b"\xff\xfe" + u16("\u65e5\r\n\u6728\r\n")
        a, b = self.files("utf16", ours, peer)
        r = bench_report.compare_outputs(a, b)
        self.assertEqual((r["status"], r["offset"], r["line"]), ("differs", 6, 2))


class TimeReport(unittest.TestCase):
    def test_parse(self):
        cases = [
            ("\tMaximum resident set size (kbytes): 2048\n\tExit status: 0\n", (2048 * 1024, 0)),
            ("Command exited with non-zero status 3\n"
             "\tMaximum resident set size (kbytes): 10\n\tExit status: 3\n", (10240, 3)),
            ("", (None, None)),
        ]
        for text, want in cases:
            with self.subTest(text=text):
                self.assertEqual(bench_report.parse_time_v(text), want)

    def test_median(self):
        for values, want in [([3.0], 3.0), ([1.0, 9.0, 2.0], 2.0), ([4.0, 1.0, 2.0, 3.0], 2.5), ([], None)]:
            self.assertEqual(bench_report.median(values), want)


class Report(unittest.TestCase):
    """The table from hand-made hyperfine and time files."""

    def test_table(self):
        work = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, work)
        for sub in ("json", "mem", "skip", "out"):
            os.mkdir(os.path.join(work, sub))
        inp = os.path.join(work, "in.euc")
        with open(inp, "wb") as f:
            f.write(b"x" * 2_000_000)
        plan = os.path.join(work, "plan.tsv")
        rows = [("ours", "ours", "quilvar"), ("iconv", "peer", "iconv"),
                ("nkf", "peer", "nkf -Lw"), ("cp", "floor", "cp")]
        times = {"ours": (0.01, 0.0005), "iconv": (0.04, 0.001),
                 "nkf": (0.08, 0.0004), "cp": (0.002, 0.0003)}
        with open(plan, "w") as f:
            for key, role, name in rows:
                out = os.path.join(work, "out", "e2s-%s.sjis" % key)
                if key == "ours":
                    with open(out, "wb") as g:
                        g.write(b"y" * 1_000_000)
                f.write("\t".join(["e2s", key, role, name, inp, out, inp,
                                   out + ".1k", "cmd"]) + "\n")
                for size, t in zip(("big", "small"), times[key]):
                    with open(os.path.join(work, "json", "e2s-%s-%s.json" % (size, key)), "w") as g:
                        json.dump({"results": [{"command": name, "median": t, "times": [t],
                                                "exit_codes": [0]}]}, g)
                with open(os.path.join(work, "mem", "e2s-%s.txt" % key), "w") as g:
                    g.write("\tMaximum resident set size (kbytes): %d\n\tExit status: 0\n"
                            % (4096 if key == "ours" else 1024))
        with open(os.path.join(work, "json", "e2s-check.json"), "w") as g:
            json.dump({"iconv": {"big": {"status": "identical"}, "small": {"status": "identical"}},
                       "nkf": {"big": {"status": "differs", "line": 3, "column": 1, "offset": 9,
                                       "raw_offset": 9, "ours_hex": "41", "peer_hex": "61"},
                               "small": {"status": "identical"}}}, g)
        for key, t in (("io", 0.006), ("ours-alt", 0.009)):
            with open(os.path.join(work, "json", "e2s-big-%s.json" % key), "w") as g:
                json.dump({"results": [{"command": key, "times": [t], "exit_codes": [0]}]}, g)
        text = bench_report.report(bench_report.read_plan(plan), work, "full")
        lines = text.splitlines()

        def row(name):
            return [c.strip() for c in next(l for l in lines if l.startswith("| " + name + " |")).split("|")[1:-1]]

        self.assertEqual(row("quilvar"), ["quilvar", "200.0", "10.0", "—", "0.50", "4.0", "(this)"])
        self.assertEqual(row("iconv"), ["iconv", "50.0", "40.0", "4.00×", "1.00", "1.0", "identical"])
        self.assertEqual(row("nkf -Lw")[6], "**DIFFERS**")
        self.assertEqual(row("cp")[3], "0.20×")
        self.assertIn("- throughput at least 4× plain iconv: met (4.00×)", lines)
        self.assertIn("- time within 3× cp: **not met** (5.00×)", lines)
        self.assertIn("- time at most 1.25× the I/O floor (timed in turn): **not met** (1.50×)",
                      lines)
        self.assertIn("- 1 KB latency no worse than nkf: **not met** (0.50 ms vs 0.40 ms)", lines)
        self.assertTrue(any(l.startswith("- peak memory at most input + output + 16 MB: met")
                            for l in lines))
        self.assertTrue(any("quilvar vs nkf -Lw (big file): DIFFERS at line 3" in l for l in lines))


class Sizes(unittest.TestCase):
    def test_parse(self):
        for text, want in [("1k", 1000), ("1m", 10**6), ("100m", 10**8), ("2G", 2 * 10**9),
                           ("512", 512), (" 10K ", 10**4)]:
            self.assertEqual(make_corpus.parse_size(text), want)
        for bad in ("", "0", "1x", "k", "-1k", "1.5m"):
            with self.assertRaises(ValueError, msg=bad):
                make_corpus.parse_size(bad)

    def test_plan(self):
        ends = [10, 25, 30]        # three lines, 30 bytes
        cases = [
            (30, (1, 0)),
            (29, (0, 2)),
            (9, (0, 1)),           # never less than one line
            (10, (0, 1)),
            (95, (3, 0)),
            (100, (3, 1)),
            (126, (4, 0)),
            (144, (4, 1)),
            (145, (4, 2)),
        ]
        for target, want in cases:
            with self.subTest(target=target):
                self.assertEqual(make_corpus.plan(target, ends), want)


class Rendering(unittest.TestCase):
    def test_clean(self):
        cases = [
            ("N\bNA\bAM\bME\bE\n", "NAME\n"),
            ("_\bf_\bi_\bl_\be\n", "file\n"),
            ("\u540d\b\u540d\u524d\b\u524d\n", "\u540d\u524d\n"),
            ("\x1b[1mbold\x1b[0m \x1b[4mul\x1b[24m\n", "bold ul\n"),
            ("\x1b]8;;http://x\x1b\\link\x1b]8;;\x1b\\\n", "link\n"),
            ("a   \n\n\n\n b\t \n", "a\n\n b\n"),
            ("\n\n\nx\n\n", "x\n"),
            ("a\r\nb\r\n", "a\nb\n"),
            ("", ""),
        ]
        for raw, want in cases:
            with self.subTest(raw=raw):
                self.assertEqual(make_corpus.clean_rendered(raw), want)

    def test_page_kinds(self):
        self.assertTrue(make_corpus.is_mdoc(".Dd $Mdocdate$\n.Dt LS 1\n.Sh NAME\n"))
        self.assertFalse(make_corpus.is_mdoc(".TH LS 1\n.SH NAME\nls \\- list\n"))
        self.assertTrue(make_corpus.is_redirect(".so man7/uri.7\n"))
        self.assertTrue(make_corpus.is_redirect('.\\" comment\n\n.so man1/bash.1\n'))
        self.assertFalse(make_corpus.is_redirect(".TH X 1\n.so man1/bash.1\n"))

    def test_batches_keep_order_and_split_mdoc(self):
        man = ".TH A 1\ntext\n"
        mdoc = ".Dd x\n.Dt B 1\n"
        pages = [man] * (make_corpus.GROFF_BATCH + 1) + [mdoc, man]
        groups = make_corpus.batches(pages)
        self.assertEqual([(k, len(g)) for k, g in groups],
                         [("man", make_corpus.GROFF_BATCH), ("man", 1), ("mdoc", 1), ("man", 1)])
        self.assertEqual([p for _, g in groups for p in g], pages)

    def test_strip_roff(self):
        src = ('.\\" comment\n.TH LS 1\n.SH \u540d\u524d\nls \\- \\fB\u4e00\u89a7\\fR\n'
               '.B \\-a\n.PP\n\\(lqq\\(rq \\e x\n')
        text = make_corpus.clean_rendered(make_corpus.strip_roff(src))
        self.assertEqual(text, "\u540d\u524d\nls - \u4e00\u89a7\n-a\n\n\"q\" \\ x\n")

    @unittest.skipUnless(shutil.which("groff"), "groff not installed")
    def test_groff_renders_japanese(self):
        src = ".TH T 1\n.SH \u540d\u524d\n\\fB\u65e5\u672c\u8a9e\\fR \u306e\u30c6\u30b9\u30c8\n"
        text = make_corpus.clean_rendered(make_corpus.render_groff([src], "man"))
        self.assertIn("\u540d\u524d\n", text)
        self.assertIn("\u65e5\u672c\u8a9e \u306e\u30c6\u30b9\u30c8", text)
        self.assertNotIn("\b", text)
        self.assertNotIn("\x1b", text)


@unittest.skipUnless(HAVE_ICONV, "iconv not installed")
class CharacterFilter(unittest.TestCase):
    def test_kept(self):
        cases = [
            ("a", True), (" ", True), ("~", True), ("\\", True),
            ("\t", True), ("\n", True),
            ("\r", False), ("\x00", False), ("\x7f", False), ("\x80", False),
            ("\u3042", True),            # hiragana
            ("\u6f22", True),            # JIS X 0208 kanji
            ("\uff5e", True),            # fullwidth tilde, 8160h / A1C1h
            ("\u2225", True),            # parallel, 8161h / A1C2h
            ("\uff71", True),            # half-width katakana, B1h / 8EB1h
            ("\u2460", True),            # circled one, row 13 (87h 40h)
            ("\uffe2", True),            # fullwidth not sign, 81CAh
            ("\u301c", False),           # wave dash: no round trip in CP932
            ("\u2014", False),           # em dash: CP932 has U+2015
            ("\u00ac", False),           # not sign: CP932 decodes to U+FFE2
            ("\u00e9", False),           # not in CP932
            ("\u7e8a", False),           # extension kanji: three-byte EUC-JP-MS
            ("\u9ad9", False),           # extension kanji: three-byte EUC-JP-MS
            ("\u2170", False),           # small roman one: three-byte EUC-JP-MS
            ("\ue000", False),           # private use
            ("\U0001f600", False),
        ]
        kept = make_corpus.kept_characters("".join(c for c, _ in cases))
        for c, want in cases:
            with self.subTest(char="U+%04X" % ord(c)):
                self.assertEqual(c in kept, want)

    def test_filter_text(self):
        text, dropped = make_corpus.filter_text("\u65e5\u672c \u00e9\u00e9\n\u2014\n\n\n\u8a9e\n")
        self.assertEqual(text, "\u65e5\u672c\n\n\u8a9e\n")
        self.assertEqual(dropped, {"\u00e9": 2, "\u2014": 1})


@unittest.skipUnless(HAVE_ICONV, "iconv not installed")
class CorpusFiles(unittest.TestCase):
    TEXT = ("\u540d\u524d\n       ls - \u30c7\u30a3\u30ec\u30af\u30c8\u30ea\u306e\u5185\u5bb9\n\n"
            "\t\uff71\uff72\uff73 \u2460 \uff5e \u2225 \uffe2\n" + "x" * 40 + "\n")

    def setUp(self):
        self.dir = tempfile.mkdtemp()
        self.enc = make_corpus.encode_all(self.TEXT)

    def tearDown(self):
        shutil.rmtree(self.dir)

    def write(self, target):
        out = {}
        for name in make_corpus.ENCODINGS:
            path = os.path.join(self.dir, "f." + name)
            reps, lines = make_corpus.plan(target, self.enc["euc"].ends)
            make_corpus.write_file(path, self.enc[name], reps, lines)
            with open(path, "rb") as f:
                out[name] = f.read()
        return out

    def test_three_encodings_hold_the_same_lines(self):
        for target in (1, 30, 200, 1000):
            with self.subTest(target=target):
                files = self.write(target)
                euc, sjis, utf16 = files["euc"], files["sjis"], files["utf16"]
                self.assertTrue(len(euc) <= target or euc.count(b"\n") == 1)
                self.assertTrue(utf16.startswith(b"\xff\xfe"))
                text = utf16[2:].decode("utf-16-le")
                self.assertTrue(text.endswith("\r\n"))
                self.assertNotIn("\n", text.replace("\r\n", ""))
                self.assertEqual(sjis.decode("cp932"), text)
                back = subprocess.run(["iconv", "-f", "EUC-JP-MS", "-t", "UTF-8"], input=euc,
                                      stdout=subprocess.PIPE, check=True).stdout.decode()
                self.assertEqual(back, text)
                self.assertTrue(self.TEXT.replace("\n", "\r\n").startswith(text)
                                or text.startswith(self.TEXT.replace("\n", "\r\n")))

    def test_size_is_reached_with_whole_lines(self):
        total = len(self.enc["euc"].body)
        first = self.enc["euc"].ends[0]
        for extra, want in ((first - 1, 0), (first, first), (first + 1, first)):
            files = self.write(3 * total + extra)
            self.assertEqual(len(files["euc"]), 3 * total + want)
        self.assertEqual(files["euc"][:total], self.enc["euc"].body)

    def test_encodings_agree_with_iconv(self):
        crlf = self.TEXT.replace("\n", "\r\n").encode("utf-8")
        for name, charset in (("sjis", "CP932"), ("utf16", "UTF-16LE")):
            want = subprocess.run(["iconv", "-f", "UTF-8", "-t", charset], input=crlf,
                                  stdout=subprocess.PIPE, check=True).stdout
            self.assertEqual(self.enc[name].body, want, name)


class StrayBytes(unittest.TestCase):
    def test_one_stray_every_so_many_bytes_at_character_boundaries(self):
        text = ("\u3042\u6f22a" * 50).encode("euc_jp") + b"\x8f\xa2\xb7xyz\r\n" * 40
        for every in (1, 7, 100):
            with self.subTest(every=every):
                data, count = strays.insert_strays(text, every)
                self.assertEqual(len(data), len(text) + count)
                # Taken out again, the strays leave the text; each stands alone.
                kept, at, since, gaps = bytearray(), 0, 0, []
                while at < len(data):
                    if data[at] in strays.NO_START or (
                            data[at] == strays.CUT_LEAD and data[at + 1:at + 2] < b"\x80"):
                        gaps.append(since)
                        since, at = 0, at + 1
                        continue
                    n = strays.sequence_length(data, at)
                    kept += data[at:at + n]
                    at, since = at + n, since + n
                self.assertEqual(bytes(kept), text)
                self.assertEqual(len(gaps), count)
                self.assertTrue(all(every <= gap <= every + 2 for gap in gaps), gaps)
        self.assertGreaterEqual(strays.insert_strays(text, 100)[1], len(text) // 103)


if __name__ == "__main__":
    unittest.main()
