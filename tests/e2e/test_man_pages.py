"""The manual pages: free of formatter warnings, and each documents every option that the
program's own guide shows."""

import os
import re
import shutil
import subprocess
import unittest

import kelvo_e2e as k

MAN_DIR = os.path.join(k.SOURCE_DIR, "man")


class ManPages(unittest.TestCase):
    @unittest.skipIf(shutil.which("groff") is None, "no groff")
    def test_pages_format_without_warnings(self):
        for prog in k.DERIVED_TABLES:
            with self.subTest(prog):
                result = subprocess.run(["groff", "-man", "-Tutf8", "-ww", "-z",
                                         os.path.join(MAN_DIR, prog + ".1")],
                                        capture_output=True, timeout=60)
                self.assertEqual((result.returncode, result.stderr), (0, b""))

    def test_every_option_of_the_guide_is_described(self):
        for prog, table in k.DERIVED_TABLES.items():
            with self.subTest(prog), k.Sandbox() as box:
                box.put_tables(table)  # tamorlek makes its surrogate lists first
                guide = box.run(prog, ["-G"]).stdout.decode(k.ANSI)
                with open(os.path.join(MAN_DIR, prog + ".1"), encoding="utf-8") as f:
                    page = f.read().replace("\\-", "-")
                options = set()
                for line in guide.split("\r\n")[2:]:
                    options.update(re.sub(r"(?<=[a-z])\d+$", "", w) for w in line.split("#")[0].split()
                                   if w.startswith("-"))
                self.assertGreater(len(options), 10)
                # The words that head the entries of the option list.
                section = page.split(".SH OPTIONS")[1].split("\n.SH ")[0]
                entries = {w for head in re.findall(r"^\.TP\n(.*)$", section, re.M)
                           for w in re.split(r'[\s",]+', head) if w.startswith("-")}
                self.assertEqual(options - entries, set())

if __name__ == "__main__":
    unittest.main()
