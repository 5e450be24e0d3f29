"""The Windows zip as a user meets it, under wine: unpacked into a folder with a Japanese name
and a space (not C:\\), its programs find the tables in the folder Kelvo beside them and give
the bytes of the Linux programs without a log; programs installed the earlier way, with the
tables in C:\\Kelvo\\, keep working; "/?" shows the guide.

    python3 tests/package/check_zip.py ZIP NATIVE_BIN_DIR

ZIP is the zip made by cpack, NATIVE_BIN_DIR the directory of the Linux programs (whose
tables lie where they look first). The programs run through tools/wine-run, in the prefix that
tools/wine-env.sh prepares (WINEPREFIX, or build/wine-prefix)."""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile

SOURCE_DIR = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
WINE_RUN = os.path.join(SOURCE_DIR, "tools", "wine-run")
PREFIX = os.environ.get("WINEPREFIX", os.path.join(SOURCE_DIR, "build", "wine-prefix"))
FORMER_DIR = os.path.join(PREFIX, "drive_c", "Kelvo")
SAMPLE = os.path.join(SOURCE_DIR, "data", "sample.txt")
PROGRAMS = ("tamorlek", "brenodax", "quilvar")
TABLES = ("MS932~UTF16.bin", "MS932~EUC-JP.bin", "UTF16~EUC-JP.bin", "EUC-JP~UTF16.bin",
          "EUC-JP~Shift_JIS.bin")
# The conversions of the sample, one after another in one directory: program, input, output.
STEPS = (("tamorlek", "sample.txt", "sample.euc"), ("brenodax", "sample.euc", "sample.utf16"),
         ("quilvar", "sample.euc", "sample.sjis"))
LOG = re.compile(r"err-?\d+-\d{0,2}-\S{0,2}\.txt")

ZIP = NATIVE_BIN_DIR = None


def logs(directory):
    return sorted(name for name in os.listdir(directory) if LOG.fullmatch(name))


def log_texts(directory):
    texts = []
    for name in logs(directory):
        with open(os.path.join(directory, name), "rb") as f:
            texts.append(f.read().decode("cp932"))
    return texts


def read(path):
    with open(path, "rb") as f:
        return f.read()


def prepare_work(directory):
    """A work directory as README.txt leaves it: the sample and empty settings files."""
    os.makedirs(directory)
    shutil.copyfile(SAMPLE, os.path.join(directory, "sample.txt"))
    for program in PROGRAMS:
        open(os.path.join(directory, "set_%s.txt" % program), "wb").close()


class Zip(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.top = tempfile.mkdtemp(prefix="kelvo-zip-")
        # Where the user unpacks the zip: a folder with a Japanese name and a space.
        cls.unpacked = os.path.join(cls.top, "変換 ツール")
        with zipfile.ZipFile(ZIP) as archive:
            archive.extractall(cls.unpacked)
        (root,) = os.listdir(cls.unpacked)
        cls.root = os.path.join(cls.unpacked, root)
        cls.expected = cls.native_outputs()

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.top)

    def setUp(self):
        # No earlier install unless a test makes one.
        shutil.rmtree(FORMER_DIR, ignore_errors=True)
        self.addCleanup(shutil.rmtree, FORMER_DIR, True)

    @classmethod
    def native_outputs(cls):
        work = os.path.join(cls.top, "native")
        prepare_work(work)
        for program, source, target in STEPS:
            subprocess.run([os.path.join(NATIVE_BIN_DIR, program), source, target], cwd=work,
                           check=True, capture_output=True, timeout=60)
        return {target: read(os.path.join(work, target)) for _, _, target in STEPS}

    def run_program(self, bin_dir, program, args, cwd):
        return subprocess.run([WINE_RUN, os.path.join(bin_dir, program + ".exe")] + args,
                              cwd=cwd, capture_output=True, timeout=120, stdin=subprocess.DEVNULL)

    def prepare_run(self, bin_dir, work):
        """prepare_work, then the first tamorlek run that makes the surrogate lists, its own
        report of that removed."""
        prepare_work(work)
        self.run_program(bin_dir, "tamorlek", ["-V"], work)
        for name in logs(work):
            os.remove(os.path.join(work, name))

    def convert(self, bin_dir, work):
        """Runs the steps in work with the programs of bin_dir; each must leave no log."""
        self.prepare_run(bin_dir, work)
        for program, source, target in STEPS:
            with self.subTest(program=program):
                result = self.run_program(bin_dir, program, [source, target], work)
                self.assertEqual((result.returncode, log_texts(work)), (0, []))
                self.assertEqual(read(os.path.join(work, target)), self.expected[target])

    def test_zip_holds_the_programs_and_their_tables(self):
        names = set(os.listdir(self.root))
        self.assertEqual(names, {p + ".exe" for p in PROGRAMS + ("kelvo",)} |
                         {"Kelvo", "README.txt", "LICENSE.txt"})
        self.assertEqual(sorted(os.listdir(os.path.join(self.root, "Kelvo"))), sorted(TABLES))

    def test_unpacked_anywhere_the_programs_find_their_tables(self):
        # The work directory lies elsewhere: the programs look beside themselves, not here.
        self.convert(self.root, os.path.join(self.top, "作業 1"))
        self.assertFalse(os.path.exists(FORMER_DIR))

    def test_earlier_install_in_c_kelvo_keeps_working(self):
        # The programs alone in a folder of their own, the tables in C:\Kelvo\.
        shutil.copytree(os.path.join(self.root, "Kelvo"), FORMER_DIR)
        programs = os.path.join(self.top, "旧 版")
        os.makedirs(programs)
        for program in PROGRAMS:
            shutil.copy2(os.path.join(self.root, program + ".exe"), programs)
        work = os.path.join(self.top, "作業 2")
        self.convert(programs, work)
        self.run_program(programs, "quilvar", ["-w", "sample.euc", "shown.sjis"], work)
        self.assertEqual(read(os.path.join(work, "data.txt")).decode("cp932"),
                         "C:\\Kelvo\\EUC-JP~Shift_JIS.bin is primarily accessible to Quilvar.")

    def test_without_tables_the_log_names_the_folder_beside_the_programs(self):
        programs = os.path.join(self.top, "空")
        os.makedirs(programs)
        shutil.copy2(os.path.join(self.root, "quilvar.exe"), programs)
        work = os.path.join(self.top, "作業 3")
        prepare_work(work)
        result = self.run_program(programs, "quilvar", ["-d", "sample.txt", "out.sjis"], work)
        self.assertNotEqual(result.returncode, 0)
        texts = log_texts(work)
        self.assertRegex(texts[0], r"error-\d+: \S*\\空\\Kelvo\\EUC-JP~Shift_JIS\.bin$")
        self.assertNotIn("C:\\Kelvo", "".join(texts))

    def test_slash_question_mark_shows_the_guide(self):
        work = os.path.join(self.top, "作業 4")
        self.prepare_run(self.root, work)
        for program in PROGRAMS:
            with self.subTest(program=program):
                guide = self.run_program(self.root, program, ["-G"], work)
                asked = self.run_program(self.root, program, ["/?"], work)
                self.assertTrue(guide.stdout.startswith(program.title().encode()))
                self.assertEqual((asked.returncode, asked.stdout), (guide.returncode, guide.stdout))
                self.assertEqual(log_texts(work), [])

    def test_kelvo_converts_where_the_zip_was_unpacked(self):
        # kelvo needs no table file: it converts the sample as tamorlek does, with CR LF line
        # ends, and leaves nothing in its working directory; "/?" shows its options.
        work = os.path.join(self.top, "作業 5")
        prepare_work(work)
        before = sorted(os.listdir(work))
        result = self.run_program(
            self.root, "kelvo", ["-f", "utf-16le", "-t", "euc-jp", "--eol=crlf", "sample.txt"],
            work)
        self.assertEqual((result.returncode, result.stdout), (0, self.expected["sample.euc"]),
                         result.stderr)
        self.assertEqual(sorted(os.listdir(work)), before)
        asked = self.run_program(self.root, "kelvo", ["/?"], work)
        self.assertEqual(asked.returncode, 0)
        self.assertIn(b"--to", asked.stdout)


if __name__ == "__main__":
    ZIP, NATIVE_BIN_DIR = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1] + sys.argv[3:])
