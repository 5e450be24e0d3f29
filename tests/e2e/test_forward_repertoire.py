"""tamorlek against the system iconv: one UTF-16 file holding every BMP character of the
derived table's repertoire, one character per CR LF line, is converted by both. Where iconv's
EUC-JP-MS encoder gives a two-byte code the outputs must agree; every other character must
come out as the table's records say."""

import shutil
import subprocess
import unittest

import kelvo_e2e as k
from kelvo_e2e import Sandbox

TABLE = "UTF16~EUC-JP.bin"


def table_entries():
    """The main table as the loader fills it: unit -> (kind, byte 1, byte 2)."""
    with open(k.table_path(TABLE), "rb") as f:
        data = f.read()
    entries = {}
    for i in range(0, len(data) - len(data) % 5, 5):
        b0, b1, kind, b3, b4 = data[i:i + 5]
        if kind == 0:
            entries[b0] = (0, b3, 0)
            continue
        key = b0 | b1 << 8
        if key > 0xFFE6:
            continue
        entries[key] = (2, b3, 0) if kind == 2 else (1, b3, b4)
    entries[0] = (0, 0, 0)
    return entries


def by_the_table(unit, entry):
    kind, first, second = entry
    if kind == 1:
        return bytes([first, second])
    if kind == 2:
        return bytes([first])
    if unit == 0:
        return b">"
    return bytes([unit]) if unit < 0x80 else b"?"


@unittest.skipUnless(shutil.which("iconv"), "no iconv")
class ForwardRepertoire(unittest.TestCase):

    def test_every_character_agrees_with_iconv_or_the_table(self):
        entries = table_entries()
        units = sorted(u for u in entries
                       if u not in (0x0A, 0x0D) and not 0xD800 <= u <= 0xDFFF)
        self.assertGreater(len(units), 7000)
        text = "".join(chr(u) + "\r\n" for u in units)
        data = b"\xff\xfe" + text.encode("utf-16-le")

        with k.default_dir(TABLE), Sandbox() as box:
            box.write("in.txt", data)
            result = box.run("tamorlek", ["in.txt", "out.txt"])
            self.assertEqual(result.returncode, 0, box.error_logs())
            ours = box.read("out.txt").split(b"\r\n")
        peer = subprocess.run(["iconv", "-c", "-f", "UTF-16LE", "-t", "EUC-JP-MS"],
                              input=data[2:], capture_output=True).stdout.split(b"\r\n")
        self.assertEqual(len(ours), len(units) + 1)
        self.assertEqual(len(peer), len(units) + 1)

        compared = 0
        for unit, mine, theirs in zip(units, ours, peer):
            with self.subTest(unit=f"U+{unit:04X}"):
                if len(theirs) == 2:
                    compared += 1
                    self.assertEqual(mine, theirs)
                else:
                    self.assertEqual(mine, by_the_table(unit, entries[unit]))
        self.assertGreater(compared, 6000)


if __name__ == "__main__":
    unittest.main()
