"""`cmake --install` puts the programs into a prefix and leaves the two source tables and
the three derived tables in the default table directory of the build."""

import os
import shutil
import subprocess
import tempfile
import unittest

import kelvo_e2e as k

TABLES = sorted(list(k.SOURCE_TABLES) + list(k.DERIVED_TABLES.values()))


@unittest.skipIf(k.LAUNCHER, "the install of a cross-build cannot run the programs to derive tables")
@unittest.skipIf(shutil.which("cmake") is None, "no cmake")
class Install(unittest.TestCase):
    def test_install_derives_the_tables(self):
        with tempfile.TemporaryDirectory(prefix="kelvo-install-") as prefix, \
                k.default_dir() as table_dir:
            result = subprocess.run(["cmake", "--install", k.BUILD_DIR, "--prefix", prefix],
                                    capture_output=True, timeout=300)
            self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
            for prog in k.DERIVED_TABLES:
                self.assertTrue(os.access(os.path.join(prefix, "bin", prog), os.X_OK), prog)
            self.assertEqual(sorted(os.listdir(table_dir)), TABLES)
            for table in k.DERIVED_TABLES.values():
                with open(os.path.join(table_dir, table), "rb") as installed, \
                        open(k.table_path(table), "rb") as derived:
                    self.assertEqual(installed.read(), derived.read(), table)

    def test_staged_install_leaves_the_derivation_to_later(self):
        with tempfile.TemporaryDirectory(prefix="kelvo-stage-") as stage, \
                tempfile.TemporaryDirectory(prefix="kelvo-install-") as prefix, \
                k.default_dir() as table_dir:
            result = subprocess.run(["cmake", "--install", k.BUILD_DIR, "--prefix", prefix],
                                    env=dict(os.environ, DESTDIR=stage),
                                    capture_output=True, timeout=300)
            self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
            staged = stage + os.path.abspath(table_dir)
            self.assertEqual(sorted(os.listdir(staged)), sorted(k.SOURCE_TABLES))
            self.assertEqual(os.listdir(table_dir), [])


if __name__ == "__main__":
    unittest.main()
