#!/usr/bin/python3
"""Tests of the detection benchmark's text making and verdict reading.

    python3 -m unittest discover -s bench -p 'test_*.py'
"""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import detect_accuracy as da  # noqa: E402


def u16(text):
    return text.encode("utf-16-le")


class SplitLines(unittest.TestCase):
    def test_lines(self):
        cases = [
            (b"a\nbc\n", 1, [b"a\n", b"bc\n"]),
            (b"\xa4\xa2\n\n", 1, [b"\xa4\xa2\n", b"\n"]),
            (u16("a\nb\n"), 2, [u16("a\n"), u16("b\n")]),
            # U+0A41 is 41 0A: a 0A byte at an even offset followed by 00 is no line feed
            # unless it starts a unit.
            (u16("\u0a41\u0000x\n"), 2, [u16("\u0a41\u0000x\n")]),
            (u16("\u4e0a\u3042\n"), 2, [u16("\u4e0a\u3042\n")]),
        ]
        for data, unit, want in cases:
            with self.subTest(data=data):
                self.assertEqual(da.split_lines(data, unit), want)


class HalfWidth(unittest.TestCase):
    def test_runs(self):
        cases = [
            ("ファイル", "ﾌｧｲﾙ"),
            ("データベース", "ﾃﾞｰﾀﾍﾞｰｽ"),
            ("ポート", "ﾎﾟｰﾄ"),
            ("ヴァ", "ｳﾞｧ"),
            ("ヶ", None),  # no half-width form
        ]
        for run, want in cases:
            with self.subTest(run=run):
                self.assertEqual(da.to_half_width(run), want)

    def test_lines(self):
        mixed, alone = da.half_width_lines(
            ["設定ファイルを読む (man 5)", "漢字だけ", "ケース ヶ月"])
        self.assertEqual(mixed, ["設定ﾌｧｲﾙを読む (man 5)"])
        self.assertEqual(alone, ["ﾌｧｲﾙ (man 5)"])


class Verdicts(unittest.TestCase):
    def test_right_verdict(self):
        cases = [
            (b"abc\n", "euc-jp", "ascii"),
            (b"abc\n", "utf-8", "ascii"),
            (u16("abc\n"), "utf-16le", "utf-16le"),
            (b"\xff\xfe" + u16("abc"), "utf-16le-bom", "utf-16le"),
            (b"\xa4\xa2\n", "euc-jp", "euc-jp"),
        ]
        for data, encoding, want in cases:
            with self.subTest(data=data, encoding=encoding):
                self.assertEqual(da.right_verdict(data, encoding), want)

    def test_nkf_names(self):
        cases = [
            ("ASCII (LF)", "ascii"),
            ("UTF-8 (CRLF)", "utf-8"),
            ("UTF-16 LE (BOM) (LF)", "utf-16le"),
            ("UTF-16BE", "utf-16be"),
            ("EUC-JP (LF)", "euc-jp"),
            ("Shift_JIS", "shift_jis"),
            ("CP932 (LF)", "shift_jis"),
            ("BINARY", "binary"),
            ("ISO-2022-JP (LF)", "?"),
        ]
        for name, want in cases:
            with self.subTest(name=name):
                self.assertEqual(da.nkf_word(name), want)

    def test_probe_line(self):
        self.assertEqual(da.parse_verdict("euc-jp\tdir/f 1\teuc-jp, line ends lf"),
                         ("dir/f 1", "euc-jp"))


if __name__ == "__main__":
    unittest.main()
