"""The layering check itself: it finds an include from a higher folder, a cycle, a folder
that is no layer, and libraries out of order."""

import os
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_layers  # noqa: E402

ARCHITECTURE = """# Architecture

## Layers

1. `low/` - the bottom
2. `mid/` - in between
3. `high/` - the top

## Other
"""
CMAKE = "set(KELVO_LAYERS mid high)\n"


class CheckLayersTest(unittest.TestCase):
    def tree(self, files, architecture=ARCHITECTURE, cmake=CMAKE):
        root = tempfile.mkdtemp(prefix="kelvo-layers-")
        self.addCleanup(shutil.rmtree, root)
        files = dict(files)
        files["ARCHITECTURE.md"] = architecture
        files["CMakeLists.txt"] = cmake
        for folder in ("low", "mid", "high"):
            os.makedirs(os.path.join(root, "src", folder), exist_ok=True)
        for name, text in files.items():
            path = os.path.join(root, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w", encoding="utf-8") as f:
                f.write(text)
        return check_layers.check(root)

    def test_cases(self):
        cases = [
            ("downward includes pass",
             {"src/high/a.cpp": '#include "mid/b.h"\n#include "low/c.h"\n#include <vector>\n',
              "src/mid/b.h": '#include "low/c.h"\n', "src/low/c.h": ""}, None),
            ("an include from a higher folder",
             {"src/low/c.cpp": '#include "low/c.h"\n\n#include "high/a.h"\n'},
             "src/low/c.cpp:3: low/ includes from high/, a higher layer"),
            ("a cycle", {"src/low/c.h": '#include "mid/b.h"\n', "src/mid/b.h": '#include "low/c.h"\n'},
             "cycle: low -> mid -> low"),
            ("an include of no layer", {"src/mid/b.h": '#include "other/x.h"\n'},
             "includes from other/, which is no layer"),
            ("an include without its folder", {"src/mid/b.h": '#include "x.h"\n'},
             "must name its folder"),
            ("a folder that is no layer", {"src/extra/x.h": ""}, "src/extra/ is not among"),
        ]
        for what, files, problem in cases:
            with self.subTest(what):
                problems = self.tree(files)
                if problem is None:
                    self.assertEqual(problems, [])
                else:
                    self.assertTrue(any(problem in p for p in problems), problems)

    def test_a_folder_beside_the_top(self):
        architecture = ARCHITECTURE.replace(
            "3. `high/` - the top\n",
            "3. `high/` - the top\n4. `side/` - beside `high/`, never including `high/`\n")
        os_side = {"src/side/s.h": '#include "mid/b.h"\n'}
        self.assertEqual(self.tree(os_side, architecture=architecture), [])
        problems = self.tree({"src/side/s.h": '#include "high/a.h"\n'}, architecture=architecture)
        self.assertTrue(any("side/ includes from high/, which it stands beside" in p
                            for p in problems), problems)

    def test_libraries_follow_the_layers(self):
        problems = self.tree({}, cmake="set(KELVO_LAYERS high mid)\n")
        self.assertTrue(any("KELVO_LAYERS" in p for p in problems), problems)

    def test_the_source_tree_passes(self):
        root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
        self.assertEqual(check_layers.check(os.path.abspath(root)), [])


if __name__ == "__main__":
    unittest.main()
