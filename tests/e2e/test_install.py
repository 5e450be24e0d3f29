"""An installed tree: `cmake --install` copies the programs, the five tables made during the
build and the manual pages; a tree whose programs name their table directory relative to
themselves finds its tables wherever it is moved."""

import os
import shutil
import subprocess
import tempfile
import unittest

import kelvo_e2e as k

TABLES = sorted(list(k.SOURCE_TABLES) + list(k.DERIVED_TABLES.values()))
# Where this build installs its tables (relative to the prefix, or absolute) and where its
# programs with a table directory relative to themselves live.
INSTALL_TABLE_DIR = os.environ.get("KELVO_INSTALL_TABLE_DIR", "share/kelvo")
RELOCATABLE_BIN_DIR = os.environ.get("KELVO_RELOCATABLE_BIN_DIR", "")
RELOCATABLE_TABLE_DIR = os.environ.get("KELVO_RELOCATABLE_TABLE_DIR", "../share/kelvo/")


def expected_table(name):
    with open(k.table_path(name), "rb") as f:
        return f.read()


def read(path):
    with open(path, "rb") as f:
        return f.read()


@unittest.skipIf(k.LAUNCHER, "checks the POSIX layout of an installed tree")
@unittest.skipIf(shutil.which("cmake") is None, "no cmake")
class Install(unittest.TestCase):
    def install(self, prefix, stage=None):
        env = dict(os.environ, DESTDIR=stage) if stage else None
        result = subprocess.run(["cmake", "--install", k.BUILD_DIR, "--prefix", prefix],
                                env=env, capture_output=True, timeout=300)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)

    def check_tree(self, root, prefix):
        """The files of an installation under root (a stage or /) with the given prefix."""
        for prog in k.DERIVED_TABLES:
            self.assertTrue(os.access(root + os.path.join(prefix, "bin", prog), os.X_OK), prog)
            page = root + os.path.join(prefix, "share", "man", "man1", prog + ".1.gz")
            self.assertTrue(os.path.isfile(page), page)
        tables = root + os.path.join(prefix, INSTALL_TABLE_DIR)
        self.assertEqual(sorted(os.listdir(tables)), TABLES)
        for table in TABLES:
            self.assertEqual(read(os.path.join(tables, table)), expected_table(table), table)
        return os.path.join(prefix, INSTALL_TABLE_DIR)

    def test_install_copies_every_file(self):
        # (what, staged with DESTDIR)
        for what, staged in (("in place", False), ("staged", True)):
            with self.subTest(what), \
                    tempfile.TemporaryDirectory(prefix="kelvo-stage-") as stage, \
                    tempfile.TemporaryDirectory(prefix="kelvo-install-") as prefix, \
                    k.default_dir() as default:
                self.install(prefix, stage if staged else None)
                tables = self.check_tree(stage if staged else "", prefix)
                if staged:
                    # Nothing is written outside the stage, and nothing runs at install time.
                    self.assertFalse(os.path.exists(tables) and os.listdir(tables))
                    self.assertEqual(os.listdir(default), [])
                with open(os.path.join(k.BUILD_DIR, "install_manifest.txt")) as f:
                    manifest = f.read().split("\n")
                for table in TABLES:
                    self.assertIn(os.path.join(tables, table), [os.path.normpath(m) for m in manifest])


@unittest.skipIf(k.WINDOWS, "the Windows test programs look in C:\\Kelvo\\; tools/package.sh "
                            "checks the zip's programs, which look beside themselves")
@unittest.skipIf(k.LAUNCHER, "the programs cannot run on this machine")
@unittest.skipUnless(RELOCATABLE_BIN_DIR, "no programs with a relative table directory")
class Relocation(unittest.TestCase):
    def test_moved_tree_finds_its_tables(self):
        with tempfile.TemporaryDirectory(prefix="kelvo-tree-") as top:
            first = os.path.join(top, "first")
            bin_dir = os.path.join(first, "bin")
            table_dir = os.path.normpath(os.path.join(bin_dir, RELOCATABLE_TABLE_DIR))
            os.makedirs(bin_dir)
            os.makedirs(table_dir)
            for prog in k.DERIVED_TABLES:
                shutil.copy2(os.path.join(RELOCATABLE_BIN_DIR, prog), bin_dir)
            for table in TABLES:
                shutil.copyfile(k.table_path(table), os.path.join(table_dir, table))
            moved = os.path.join(top, "moved")
            os.rename(first, moved)
            bin_dir = os.path.join(moved, "bin")
            table_dir = os.path.normpath(os.path.join(bin_dir, RELOCATABLE_TABLE_DIR))
            links = os.path.join(top, "links")
            os.makedirs(links)
            inputs = {"tamorlek": "あ\r\n".encode("utf-16-le"), "brenodax": b"\xa4\xa2\r\n",
                      "quilvar": b"\xa4\xa2\r\n"}
            expected = {"tamorlek": b"\xa4\xa2\r\n", "brenodax": b"\xff\xfe" + "あ\r\n".encode("utf-16-le"),
                        "quilvar": b"\x82\xa0\r\n"}
            for prog, table in k.DERIVED_TABLES.items():
                os.symlink(os.path.join(bin_dir, prog), os.path.join(links, prog))
                # (how the program is started, its command, PATH)
                starts = [("by its path", [os.path.join(bin_dir, prog)], os.environ["PATH"]),
                          ("through a link", [os.path.join(links, prog)], os.environ["PATH"]),
                          ("along PATH", [prog], links)]
                for how, command, path in starts:
                    with self.subTest(prog=prog, start=how), k.Sandbox() as box:
                        box.write("set_%s.txt" % prog, b"")
                        box.write("in", inputs[prog])
                        env = dict(os.environ, PATH=path)
                        # A first run makes tamorlek's surrogate lists, with a report of its own.
                        subprocess.run(command + ["-V"], cwd=box.path, env=env, timeout=60,
                                       capture_output=True)
                        for name in box.names():
                            if name.startswith("err"):
                                os.remove(box.file(name))
                        result = subprocess.run(command + ["-w", "in", "out"], cwd=box.path,
                                                env=env, capture_output=True, timeout=60)
                        self.assertEqual(result.returncode, 0, box.error_logs())
                        self.assertEqual(box.error_logs(), [])
                        shown = os.path.join(table_dir, table) + " is primarily accessible to "
                        self.assertEqual(box.read("data.txt").decode(), shown + prog.title() + ".")
                        self.assertEqual(box.read("out"), expected[prog])


if __name__ == "__main__":
    unittest.main()
