#!/usr/bin/env python3
"""The layer check on the real tree, and on planted includes that it must refuse."""
import pathlib
import subprocess
import sys
import tempfile
import unittest

ROOT = pathlib.Path(__file__).resolve().parents[2]
CHECK = ROOT / "scripts" / "check-layers"


def run(src):
    return subprocess.run([sys.executable, str(CHECK), str(src)], capture_output=True, text=True)


class CheckLayers(unittest.TestCase):
    def test_the_tree_keeps_its_layers(self):
        result = run(ROOT / "src")
        self.assertEqual(result.returncode, 0, result.stdout)

    def test_planted_includes_are_refused(self):
        cases = [
            ("platform/a.cpp", '#include "core/panes.h"', "platform/ may not include core/"),
            ("store/a.cpp", '#include "net/socket.h"', "store/ may not include net/"),
            ("editor/a.cpp", '#include "generator/paging.h"', "editor/ may not include generator/"),
            ("toolbar/a.cpp", '#include "core/app_state.h"', "toolbar/ may not include core/"),
            ("core/a.h", '  #  include "app/run_editor.h"', "core/ may not include app/"),
            ("platform/b.cpp", "// Vellumite", "platform/ names the product"),
        ]
        for path, line, message in cases:
            with self.subTest(path=path), tempfile.TemporaryDirectory() as tmp:
                src = pathlib.Path(tmp)
                (src / path).parent.mkdir(parents=True)
                (src / path).write_text(line + "\n")
                result = run(src)
                self.assertEqual(result.returncode, 1)
                self.assertIn(message, result.stdout)

    def test_downward_includes_pass(self):
        with tempfile.TemporaryDirectory() as tmp:
            src = pathlib.Path(tmp)
            (src / "app").mkdir()
            (src / "app/a.cpp").write_text('#include "editor/x.h"\n#include "platform/y.h"\n')
            (src / "toolbar").mkdir()
            (src / "toolbar/b.cpp").write_text('#include "store/x.h"\n#include "toolbar/c.h"\n')
            self.assertEqual(run(src).returncode, 0)


if __name__ == "__main__":
    unittest.main()
