"""Checks the committed source tables "MS932~UTF16.bin" and "MS932~EUC-JP.bin".

The derived tables read them in a fixed way: the forward table (UTF-16 to
EUC-JP) and the reverse table (EUC-JP to UTF-16) let the last record for a
key win, the recoder table (EUC-JP to Shift_JIS) keeps the first.  The
helpers below read the files the same way, so the tests check what the
programs will actually do with them.
"""

import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
DATA = ROOT / "data"
UTF16_NAME = "MS932~UTF16.bin"
EUC_NAME = "MS932~EUC-JP.bin"

SINGLES = list(range(0x20, 0x7F)) + list(range(0xA1, 0xE0))
VARIANTS = [(0x815C, 0x2014), (0x8160, 0x301C), (0x8161, 0x2016),
            (0x817C, 0x2212), (0x8191, 0x00A2), (0x8192, 0x00A3),
            (0x81CA, 0x00AC)]


def read_records(name):
    """List of (MS932 code, 16-bit value) in file order."""
    data = (DATA / name).read_bytes()
    assert len(data) % 4 == 0, name
    out = []
    for i in range(0, len(data), 4):
        lead, trail, b2, b3 = data[i:i + 4]
        code = lead if trail == 0 else lead << 8 | trail
        value = b3 << 8 | b2 if name == UTF16_NAME else b2 << 8 | b3
        out.append((code, value))
    return out


def rank(code):
    """Windows' preference among codes of one character (lower wins)."""
    lead = code >> 8
    return {0x87: 1, 0xFA: 2, 0xFB: 2, 0xFC: 2, 0xED: 3, 0xEE: 3}.get(lead, 0)


def iconv(data, src, dst):
    try:
        run = subprocess.run(["iconv", "-f", src, "-t", dst], input=data,
                             capture_output=True, timeout=30)
    except (OSError, subprocess.SubprocessError):
        return None
    return run.stdout if run.returncode == 0 else None


class SourceTables(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.utf16 = read_records(UTF16_NAME)
        cls.euc = read_records(EUC_NAME)
        cls.windows = cls.utf16[:158] + cls.utf16[165:]   # without variants
        cls.char_of = dict(cls.windows)
        cls.euc_of = dict(cls.euc)
        # What the three derivations make of the files.
        cls.forward, cls.reverse, cls.recoder = {}, {}, {}
        for code, unit in cls.utf16:
            cls.forward[unit] = cls.euc_of.get(code, 0)
            cls.reverse[cls.euc_of.get(code, 0)] = unit
        for code, euc in cls.euc:
            cls.recoder.setdefault(euc, code)

    def test_regenerates_byte_for_byte(self):
        with tempfile.TemporaryDirectory() as tmp:
            subprocess.run([sys.executable, str(DATA / "make_tables.py"),
                            "--out-dir", tmp], check=True,
                           stdout=subprocess.DEVNULL, timeout=60)
            for name in (UTF16_NAME, EUC_NAME):
                with self.subTest(name=name):
                    self.assertEqual((Path(tmp) / name).read_bytes(),
                                     (DATA / name).read_bytes())

    def test_codes_covered(self):
        expected = []
        for lead in list(range(0x81, 0xA0)) + list(range(0xE0, 0xF0)):
            for trail in range(0x40, 0xFD):
                try:
                    bytes([lead, trail]).decode("cp932")
                except UnicodeDecodeError:
                    continue
                expected.append(lead << 8 | trail)
        expected += [c for c in range(0xFA40, 0xFC4C)
                     if 0x40 <= (c & 0xFF) <= 0xFC and (c & 0xFF) != 0x7F]
        self.assertEqual(len(expected), 7724)
        for name, records, count in ((UTF16_NAME, self.windows, 7882),
                                     (EUC_NAME, self.euc, 7882)):
            with self.subTest(name=name):
                codes = [c for c, _ in records]
                self.assertEqual(len(records), count)
                self.assertEqual(codes[:158], SINGLES)
                self.assertEqual(sorted(codes[158:]), expected)
                self.assertFalse([c for c in codes if 0xF040 <= c <= 0xF9FC])
        self.assertEqual(len(self.utf16), 7889)
        self.assertEqual(self.utf16[158:165], VARIANTS)

    def test_characters_are_cp932(self):
        for code, unit in self.windows:
            raw = bytes([code]) if code < 0x100 else code.to_bytes(2, "big")
            self.assertEqual(chr(unit), raw.decode("cp932"), hex(code))

    def test_euc_codes(self):
        for code, euc in self.euc:
            if code < 0x80:
                self.assertEqual(euc, code << 8)
            elif code < 0x100:
                self.assertEqual(euc, 0x8E00 | code)
            else:
                self.assertTrue(0xA1 <= euc >> 8 <= 0xFE
                                and 0xA1 <= euc & 0xFF <= 0xFE, hex(code))
        # JIS X 0208 rows: independent check through Python's JIS codecs.
        for code, euc in self.euc:
            if 0x100 <= code < 0xF000:
                try:
                    char = code.to_bytes(2, "big").decode("shift_jis")
                except UnicodeDecodeError:
                    continue
                self.assertEqual(euc.to_bytes(2, "big"),
                                 char.encode("euc_jp"), hex(code))
        # Codes below F000h map one to one; IBM extensions reuse the code
        # of the lowest code below F000h with the same character.
        low = [(c, e) for c, e in self.euc if 0x100 <= c < 0xF000]
        self.assertEqual(len({e for _, e in low}), len(low))
        for code, euc in self.euc:
            if code >= 0xFA40:
                twin = min(c for c, _ in low
                           if self.char_of[c] == self.char_of[code])
                self.assertEqual(euc, self.euc_of[twin], hex(code))

    def test_examples(self):
        cases = [
            ("char", self.char_of, 0x8160, 0xFF5E),
            ("char", self.char_of, 0x815F, 0xFF3C),
            ("char", self.char_of, 0xA1, 0xFF61),
            ("euc", self.euc_of, 0x41, 0x4100),
            ("euc", self.euc_of, 0xA1, 0x8EA1),
            ("euc", self.euc_of, 0x8790, 0xADF0),     # NEC row 13
            ("euc", self.euc_of, 0xED40, 0xF9A1),     # NEC-selected
            ("euc", self.euc_of, 0xEEFC, 0xFCFE),
            ("euc", self.euc_of, 0xFA40, 0xFCF1),     # IBM, as EEEFh
            ("euc", self.euc_of, 0xFA54, 0xA2CC),     # IBM, as 81CAh
            ("forward", self.forward, 0x2252, 0xA2E2),
            ("forward", self.forward, 0x301C, 0xA1C1),
            ("forward", self.forward, 0xFF5E, 0xA1C1),
            ("forward", self.forward, 0x00AC, 0xA2CC),
            ("forward", self.forward, 0x2170, 0xFCF1),
            ("reverse", self.reverse, 0xA1C1, 0xFF5E),
            ("reverse", self.reverse, 0xA1BD, 0x2015),
            ("reverse", self.reverse, 0xA2CC, 0xFFE2),
            ("recoder", self.recoder, 0xF9A1, 0xFA5C),
            ("recoder", self.recoder, 0xFCF1, 0xFA40),
            ("recoder", self.recoder, 0xA2CC, 0x81CA),
            ("recoder", self.recoder, 0xADF0, 0x8790),
        ]
        for what, table, key, value in cases:
            with self.subTest(what=what, key=hex(key)):
                self.assertEqual(table.get(key), value)

    def test_utf16_order(self):
        doubles = self.utf16[165:]
        last = {}
        for i, (code, unit) in enumerate(doubles):
            last.setdefault(unit, []).append((i, code))
        moved = set()
        for unit, places in last.items():
            if len(places) > 1:
                codes = [c for _, c in places]
                best = min(codes, key=lambda c: (rank(c), c))
                self.assertEqual(places[-1][1], best, hex(unit))
                if best < max(codes):
                    # Moved to right after the highest of the others.
                    self.assertEqual(places[-2][1], max(codes))
                    self.assertEqual(places[-1][0], places[-2][0] + 1)
                    moved.add(best)
        rest = [c for c, _ in doubles if c not in moved]
        self.assertEqual(rest, sorted(rest))
        self.assertEqual(len(moved), 23)

    def test_euc_order(self):
        doubles = self.euc[158:]
        groups = {}
        for code, euc in doubles:
            groups.setdefault(euc, []).append(code)
        anchors = []
        for euc, codes in groups.items():
            if len(codes) > 1:
                self.assertEqual(
                    codes[0], min(codes, key=lambda c: (rank(c), c)), hex(euc))
                self.assertEqual(codes[1:], sorted(codes[1:]))
            anchors.append(min(codes))
        # Each group stands together, at the place of its lowest code.
        self.assertEqual(anchors, sorted(anchors))
        self.assertEqual([c for c, _ in doubles],
                         [c for a in anchors for c in groups[self.euc_of[a]]])
        self.assertEqual(sum(len(g) > 1 for g in groups.values()), 388)


class AgainstSystemIconv(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if iconv("\uff5e".encode("utf-16-le"), "UTF-16LE", "CP932") != b"\x81\x60":
            raise unittest.SkipTest("iconv lacks a CP932 encoder")
        cls.utf16 = read_records(UTF16_NAME)
        cls.euc = read_records(EUC_NAME)
        cls.windows = cls.utf16[:158] + cls.utf16[165:]

    @staticmethod
    def encode_each(units):
        out = iconv("".join(map(chr, units)).encode("utf-16-le"),
                    "UTF-16LE", "CP932")
        codes, i = [], 0
        while out is not None and i < len(out):
            width = 2 if out[i] >= 0x81 and not 0xA1 <= out[i] <= 0xDF else 1
            codes.append(int.from_bytes(out[i:i + width], "big"))
            i += width
        return codes

    def test_decoding_agrees(self):
        raw = b"".join(bytes([c]) if c < 0x100 else c.to_bytes(2, "big")
                       for c, _ in self.windows)
        out = iconv(raw, "CP932", "UTF-16LE")
        self.assertEqual(out, "".join(chr(u) for _, u in self.windows)
                         .encode("utf-16-le"))

    def test_forward_choice(self):
        """The last record of each character is the code iconv encodes to."""
        last = {}
        for code, unit in self.utf16:
            last[unit] = code
        units = sorted({u for _, u in self.windows})
        self.assertEqual(self.encode_each(units), [last[u] for u in units])

    def test_recoder_choice(self):
        """The first code of a shared EUC-JP code is the one iconv picks."""
        char_of = dict(self.windows)
        groups = {}
        for code, euc in self.euc:
            groups.setdefault(euc, []).append(code)
        shared = [codes for codes in groups.values() if len(codes) > 1]
        for codes in shared:
            self.assertEqual(len({char_of[c] for c in codes}), 1)
        self.assertEqual(self.encode_each([char_of[c[0]] for c in shared]),
                         [c[0] for c in shared])


if __name__ == "__main__":
    unittest.main()
