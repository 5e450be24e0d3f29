"""The three-byte EUC-JP table "EUC-JP-3byte.txt" that kelvo compiles in: the script that
made it from the system's iconv makes it again, byte for byte, and it holds what kelvo's
tables expect of it."""

import os
import runpy
import types
import unittest

import kelvo_e2e as k

TABLE = os.path.join(k.DATA_DIR, "EUC-JP-3byte.txt")


def load_script():
    """The table script's functions, loaded without running its main part."""
    names = runpy.run_path(os.path.join(k.DATA_DIR, "make_three_byte_table.py"),
                           run_name="make_three_byte_table")
    return types.SimpleNamespace(**names)


class ThreeByteTable(unittest.TestCase):

    def test_the_script_makes_the_committed_table(self):
        script = load_script()
        try:
            text = script.table_text()
        except (OSError, RuntimeError) as e:
            self.skipTest("no EUC-JP-MS in the system's iconv: %s" % e)
        with open(TABLE, encoding="ascii", newline="") as f:
            self.assertEqual(text, f.read())

    def test_rows(self):
        with open(TABLE, encoding="ascii", newline="") as f:
            rows = [line.split() for line in f]
        codes = [int(code, 16) for code, _ in rows]
        self.assertEqual(codes, sorted(set(codes)))
        for code, character in rows:
            sequence = int(code, 16)
            self.assertEqual(sequence >> 16, 0x8F)
            self.assertTrue(0xA1 <= (sequence >> 8 & 0xFF) <= 0xFE, code)
            self.assertTrue(0xA1 <= (sequence & 0xFF) <= 0xFE, code)
            self.assertFalse(0xE000 <= int(character, 16) <= 0xF8FF, code)


if __name__ == "__main__":
    unittest.main()
