"""kelvo's conversions against the three converters: on the directions they share, with
CR LF line ends, every character of their repertoire comes out as they write it.

UTF-16LE to EUC-JP is held against tamorlek, EUC-JP to UTF-16LE against brenodax (with
the byte-order mark brenodax writes) and EUC-JP to Shift_JIS against quilvar, each over a
file of every code of their table, one a line."""

import os
import subprocess
import unittest

import kelvo_e2e as k
from kelvo_e2e import Sandbox

DRIVER = os.environ.get("KELVO_TRANSCODE",
                        os.path.join(k.BUILD_DIR, "tests", "kelvo_transcode"))


def transcode(data, *options):
    """kelvo's conversion of the bytes through the pump; its counts on standard error."""
    driver = DRIVER + (".exe" if os.path.exists(DRIVER + ".exe") else "")
    run = subprocess.run(k.LAUNCHER + [driver] + list(options), input=data,
                         capture_output=True, timeout=120)
    if run.returncode != 0:
        raise AssertionError(run.stderr.decode(errors="replace"))
    return run.stdout, run.stderr.decode()


def records(name):
    with open(k.table_path(name), "rb") as f:
        data = f.read()
    return [data[i:i + 5] for i in range(0, len(data) - len(data) % 5, 5)]


def lines(codes):
    return b"".join(code + b"\r\n" for code in codes)


@unittest.skipUnless(os.path.exists(DRIVER) or os.path.exists(DRIVER + ".exe"),
                     "no kelvo_transcode driver")
class AsTheConverters(unittest.TestCase):

    def convert(self, program, table, data):
        with k.default_dir(table), Sandbox() as box:
            box.write("in.txt", data)
            result = box.run(program, ["in.txt", "out.txt"])
            self.assertEqual(result.returncode, 0, box.error_logs())
            return box.read("out.txt")

    def test_utf16_to_euc_as_tamorlek(self):
        units = sorted({r[0] | r[1] << 8 for r in records("UTF16~EUC-JP.bin")
                        if r[2] != 0 and r[0] | r[1] << 8 <= 0xFFE6})
        self.assertGreater(len(units), 7000)
        data = b"\xff\xfe" + "".join(chr(u) + "\r\n" for u in units).encode("utf-16-le")
        ours, counts = transcode(data, "utf-16le", "euc-jp", "crlf")
        self.assertIn("replacements 0", counts)
        self.assertEqual(ours, self.convert("tamorlek", "UTF16~EUC-JP.bin", data))

    def test_euc_to_utf16_as_brenodax(self):
        codes = sorted({bytes(r[:2]) for r in records("EUC-JP~UTF16.bin") if r[2] != 0})
        self.assertGreater(len(codes), 7000)
        data = lines(codes)
        ours, counts = transcode(data, "euc-jp", "utf-16le", "crlf", "add")
        self.assertIn("replacements 0", counts)
        self.assertEqual(ours, self.convert("brenodax", "EUC-JP~UTF16.bin", data))

    def test_euc_to_shift_jis_as_quilvar(self):
        codes = sorted({bytes(r[:2]) for r in records("EUC-JP~Shift_JIS.bin") if r[2] != 0})
        self.assertGreater(len(codes), 7000)
        data = lines(codes)
        ours, counts = transcode(data, "euc-jp", "shift_jis", "crlf")
        self.assertIn("replacements 0", counts)
        self.assertEqual(ours, self.convert("quilvar", "EUC-JP~Shift_JIS.bin", data))


if __name__ == "__main__":
    unittest.main()
