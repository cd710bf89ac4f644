#!/usr/bin/env python3
"""scripts/check-layers on a copy of the tree with one include planted (or one line of the
Layers section changed) at a time: each fault must fail with its own message, and a harmless
change must pass."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
DOC = "docs/ARCHITECTURE.md"
WRAPPER_EXCEPTION = "- `src/Common/KRX.StringWrapper.cpp` -> `src/Engine/Tokenizers.h`"

# (what, file, edit, expected exit status, expected text of the report). An edit appends a
# line to the file, or, as (old, new), replaces the first line that starts with old.
CASES = [
    ("a platform file including an expert header", "src/Platform/Rtl/SysUtils.cpp",
     '#include "KR4expt/KR4ExptDM.h"', 1, "includes src/KR4expt/KR4ExptDM.h of a higher layer"),
    ("an engine file including a link header", "src/Engine/Tokenizers.cpp",
     '#include "KR4expt/DotNetPS.h"', 1, "includes src/KR4expt/DotNetPS.h of a higher layer"),
    ("a variant file including upward through angle brackets",
     "src/Variants/Older/Engine/Tokenizers.cpp", "#include <ToolsApi/OTAUtils.h>", 1,
     "src/Variants/Older/Engine/Tokenizers.cpp:"),
    ("the engine including the toolkit on its own line", "src/Engine/Prefs.cpp",
     '#include "Controls/FormEx.h"', 1, "of a folder of its own line"),
    ("an include of no file", "src/World/ClassEx.cpp", '#include "World/NoSuchUnit.h"', 1,
     'names no file of the project'),
    ("an exception taken from the list", DOC, (WRAPPER_EXCEPTION, ""), 1,
     "src/Common/KRX.StringWrapper.cpp:"),
    ("an exception no longer needed", "src/Common/KRX.StringWrapper.cpp",
     ('#include "Engine/Tokenizers.h"', ""), 1, "is no longer made"),
    ("a file in no layer", "src/Unplaced/Unit.h", "#pragma once", 2, "is in no layer"),
    ("a layer that names no folder", DOC, ("9. `src/Engine`", "9. `src/Engin`, `src/Controls`"),
     2, "`src/Engin`, which does not exist"),
    ("a downward include", "src/KR4expt/DotNetPS.cpp", '#include "Platform/Rtl/Types.h"', 0, ""),
]


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def write(path, text):
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


class CheckLayers(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp(prefix="check-layers-")
        for folder in ("src", "tools", "scripts", "docs"):
            shutil.copytree(os.path.join(SOURCE, folder), os.path.join(cls.root, folder))

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.root)

    def run_check(self):
        return subprocess.run([sys.executable, os.path.join(self.root, "scripts/check-layers")],
                              capture_output=True, text=True, check=False)

    def test_each_planted_fault_fails_and_a_harmless_change_passes(self):
        self.assertEqual(self.run_check().returncode, 0, "the unchanged copy must pass")
        for what, file, edit, status, text in CASES:
            with self.subTest(what):
                path = os.path.join(self.root, file)
                before = read(path) if os.path.exists(path) else None
                os.makedirs(os.path.dirname(path), exist_ok=True)
                if isinstance(edit, tuple):
                    lines = before.split("\n")
                    at = next(i for i, l in enumerate(lines) if l.startswith(edit[0]))
                    lines[at] = edit[1]
                    after = "\n".join(lines)
                else:
                    after = (before or "") + edit + "\n"
                write(path, after)
                try:
                    result = self.run_check()
                    self.assertEqual(result.returncode, status, result.stderr)
                    self.assertIn(text, result.stderr)
                finally:
                    if before is None:
                        os.remove(path)
                    else:
                        write(path, before)


if __name__ == "__main__":
    unittest.main()
