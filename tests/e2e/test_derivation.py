"""Each program run without arguments derives its table file from the two source tables.

The derived tables are compared with a derivation written here independently of the
programs, and the forward table is checked against the system iconv's EUC-JP-MS encoder.
"""

import os
import shutil
import subprocess
import unittest

import kelvo_e2e as k

UTF16_SOURCE, EUC_SOURCE = "MS932~UTF16.bin", "MS932~EUC-JP.bin"
# The recoder's records: 95 ASCII codes, 63 half-width katakana and one record for each of
# the 7336 EUC-JP codes of the two-byte records.
QUILVAR_RECORDS = 7494


def records(data, size):
    return [data[i:i + size] for i in range(0, len(data), size)]


def source(name):
    with open(os.path.join(k.DATA_DIR, name), "rb") as f:
        return f.read()


def expected_tables():
    """The three tables as the record layouts define them, from the committed sources."""
    sparse = {}
    for n, r in enumerate(records(source(EUC_SOURCE), 4), 1):
        key = r[0] if n <= 158 else r[0] << 8 | r[1]
        sparse[key] = bytes(r[2:4])
    sparse[0] = b"\0\0"
    forward, reverse = bytearray(), bytearray()
    for r in records(source(UTF16_SOURCE), 4):
        if r[1] == 0 and 0xA1 <= r[0] <= 0xDF:
            kind, euc = 1, bytes([0x8E, r[0]])  # half-width katakana
        elif r[1] == 0:
            if r[0] >= 0x80:
                continue
            kind, euc = 0, bytes([r[0], 0])
        else:
            kind, euc = 1, sparse.get(r[0] << 8 | r[1], b"\0\0")
        forward += r[2:4] + bytes([kind]) + euc
        reverse += euc + bytes([kind]) + r[2:4]
    recoder, seen = bytearray(), set()
    for r in records(source(EUC_SOURCE), 4):
        single = r[1] == 0
        katakana = single and 0xA1 <= r[0] <= 0xDF and r[2] == 0x8E and 0xA1 <= r[3] <= 0xDF
        if single and not katakana and r[2] >= 0x80:
            continue
        code = r[2] if single and not katakana else r[2] << 8 | r[3]
        if code in seen:
            continue
        seen.add(code)
        if katakana:
            recoder += bytes([r[2], r[3], 2, r[0], 0])
        else:
            recoder += bytes([r[2], r[3], 0 if single else 1, r[0], 0 if single else r[1]])
    return {"tamorlek": bytes(forward), "brenodax": bytes(reverse), "quilvar": bytes(recoder)}


class Derivation(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.expected = expected_tables()

    def test_each_program_derives_its_table(self):
        # Record counts follow from the sources: 95 ASCII codes + 63 half-width katakana +
        # 7 variants + 7724 two-byte codes.
        counts = {"tamorlek": 7889, "brenodax": 7889, "quilvar": QUILVAR_RECORDS}
        with k.Sandbox() as box, k.default_dir(EUC_SOURCE):
            for name in (UTF16_SOURCE, EUC_SOURCE):
                shutil.copyfile(os.path.join(k.DATA_DIR, name), box.file(name))
            for prog, table in k.DERIVED_TABLES.items():
                with self.subTest(prog):
                    box.write(table, b"an older table")
                    result = box.run(prog)
                    self.assertEqual(result.returncode, 0, result.stderr)
                    self.assertEqual(result.stdout, b"")
                    derived = box.read(table)
                    self.assertEqual(len(derived), counts[prog] * 5)
                    self.assertEqual(derived, self.expected[prog])
                    self.assertFalse(box.exists(table + ".tmp"))
            self.assertEqual(box.error_logs(), [])

    def test_failed_derivation_keeps_the_table(self):
        cases = [
            # program, sparse source in the default directory, sources here, last message
            ("tamorlek", True, [EUC_SOURCE], "Reset() error-769: MS932~UTF16.bin"),
            ("tamorlek", False, [UTF16_SOURCE, EUC_SOURCE],
             "Reset() error-808: " + k.DEFAULT_DIR_NAME + EUC_SOURCE),
            ("brenodax", True, [], "Reset() error-147: MS932~UTF16.bin"),
            ("quilvar", True, [UTF16_SOURCE], "Reset() error-104: MS932~EUC-JP.bin"),
        ]
        for prog, in_default, here, message in cases:
            with self.subTest(prog=prog, message=message), k.Sandbox() as box, \
                    k.default_dir(*([EUC_SOURCE] if in_default else [])):
                table = k.DERIVED_TABLES[prog]
                box.write(table, b"an older table")
                for name in here:
                    shutil.copyfile(os.path.join(k.DATA_DIR, name), box.file(name))
                result = box.run(prog)
                self.assertEqual(result.returncode, 1)
                self.assertEqual(box.read(table), b"an older table")
                self.assertFalse(box.exists(table + ".tmp"))
                self.assertEqual(box.error_logs()[-1], message)

    def test_forward_table_agrees_with_iconv(self):
        if shutil.which("iconv") is None:
            self.skipTest("no iconv")
        table = self.expected["tamorlek"]
        with open(k.table_path("UTF16~EUC-JP.bin"), "rb") as f:
            self.assertEqual(table, f.read())
        mapped = {}
        for r in records(table, 5):
            mapped[r[0] | r[1] << 8] = bytes(r[3:5]) if r[2] == 1 else bytes(r[3:4])
        units = sorted(mapped)
        text = "".join(chr(u) + "\n" for u in units).encode("utf-16-le")
        run = subprocess.run(["iconv", "-c", "-f", "UTF-16LE", "-t", "EUC-JP-MS"],
                             input=text, capture_output=True, timeout=60)
        if run.returncode != 0 and not run.stdout:
            self.skipTest("iconv has no EUC-JP-MS encoder")
        lines = run.stdout.split(b"\n")[:-1]
        self.assertEqual(len(lines), len(units))
        compared, elsewhere = 0, []
        for unit, encoded in zip(units, lines):
            if len(encoded) == len(mapped[unit]):
                self.assertEqual(mapped[unit], encoded, f"U+{unit:04X}")
                compared += 1
            else:
                elsewhere.append(unit)
        # Only the NEC-selected and IBM extensions (rows F9h-FCh here) are encoded
        # otherwise by iconv.
        self.assertEqual([u for u in elsewhere if not 0xF9 <= mapped[u][0] <= 0xFC], [])
        self.assertGreater(compared, 7000)


if __name__ == "__main__":
    unittest.main()
