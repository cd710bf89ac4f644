#!/usr/bin/env python3
"""scripts/check-docs against a small tree of its own: a map that names what the tree holds
passes, and each way a map can name what is not there fails, naming the culprit."""

import os
import subprocess
import sys
import tempfile
import unittest

ROOT = sys.argv.pop(1) if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..")
CHECK = os.path.join(ROOT, "scripts", "check-docs")

HEADER = """#pragma once
namespace krx {
/* Declarations in a comment are none:
   int Ghost(int a);
*/
class TWidget {
public:
  TWidget();
  void Draw(int x);
  static int Count();
};
int FreeHelper(int a);
constexpr int WidgetLimit = 4;
}
"""
SOURCE = """#include "Demo/Widget.h"
namespace krx {
TWidget::TWidget() {}
void TWidget::Draw(int x) { FreeHelper(x); }
int TWidget::Count() { return 0; }
int FreeHelper(int a) { return a; }
void Caller() {
  Unknown(3);
  TWidget::Missing(2);
}
int Wrapper() {
  return Hidden(1);
}
const char *Form = R"(
  void Phantom(int x);
)";
}
"""
CMAKE = "function(krx_demo name)\nendfunction()\n"

GOOD = ("- Drawing {n}: `src/Demo/Widget.cpp` `TWidget::Draw`, `TWidget::Count`, `FreeHelper()`,\n"
        "  `WidgetLimit`, `TWidget::TWidget`.")


def document(entries, extra=""):
    lines = ["# Doc", "", "## Where is what", ""] + entries + ["", "## Layers", "", extra, ""]
    return "\n".join(lines)


def good_entries(count=30):
    return [GOOD.format(n=n) for n in range(count)]


class CheckDocsTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        root = self.tmp.name
        os.makedirs(os.path.join(root, "src", "Demo"))
        os.makedirs(os.path.join(root, "cmake"))
        for rel, text in (("src/Demo/Widget.h", HEADER), ("src/Demo/Widget.cpp", SOURCE),
                          ("cmake/Demo.cmake", CMAKE)):
            with open(os.path.join(root, rel), "w") as f:
                f.write(text)

    def tearDown(self):
        self.tmp.cleanup()

    def run_check(self, text):
        doc = os.path.join(self.tmp.name, "MAP.md")
        with open(doc, "w") as f:
            f.write(text)
        return subprocess.run([sys.executable, CHECK, "--root", self.tmp.name, "--map", doc],
                              capture_output=True, text=True)

    def test_a_map_of_what_exists_passes(self):
        entries = good_entries(29) + ["- Build: `cmake/Demo.cmake` `krx_demo()`."]
        result = self.run_check(document(entries, "See `src/Demo/Widget.h`."))
        self.assertEqual(result.returncode, 0, result.stderr)

    def test_each_missing_name_fails_and_is_named(self):
        cases = [
            # (entry, the text the fault must show)
            ("- A: `src/Demo/Widget.cpp` `TWidget::Redraw`.", "`TWidget::Redraw`"),
            ("- A: `src/Demo/Widget.cpp` `Unknown()`.", "`Unknown()`"),  # only called
            ("- A: `src/Demo/Widget.cpp` `Hidden()`.", "`Hidden()`"),  # called in a return
            ("- A: `src/Demo/Widget.cpp` `TWidget::Missing`.", "`TWidget::Missing`"),  # called
            ("- A: `src/Demo/Widget.cpp` `Draw()`.", "`Draw()`"),  # a member, not free
            ("- A: `src/Demo/Widget.cpp` `TGadget::Draw`.", "`TGadget::Draw`"),  # other class
            ("- A: `src/Demo/Widget.cpp` `Ghost()`.", "`Ghost()`"),  # only in a comment
            ("- A: `src/Demo/Widget.cpp` `Phantom()`.", "`Phantom()`"),  # only in a string
            ("- A: `src/Demo/Gadget.cpp` `FreeHelper()`.", "`src/Demo/Gadget.cpp`"),
            ("- A: `src/Demo/Widget.cpp` `FreeHelper()` `WidgetLimits`.", "`WidgetLimits`"),
            ("- A: `src/Demo/Widget.cpp` and no function.", "names no function"),
            ("- A: `FreeHelper()` and no file.", "names no file"),
            ("- A: `cmake/Demo.cmake` `krx_demos()`.", "`krx_demos()`"),
        ]
        for entry, shown in cases:
            with self.subTest(entry=entry):
                result = self.run_check(document(good_entries() + [entry]))
                self.assertEqual(result.returncode, 1, result.stdout)
                self.assertIn(shown, result.stderr)

    def test_a_short_map_fails(self):
        result = self.run_check(document(good_entries(29)))
        self.assertEqual(result.returncode, 1)
        self.assertIn("fewer than 30", result.stderr)

    def test_a_missing_path_outside_the_map_fails(self):
        result = self.run_check(document(good_entries(), "See `src/Demo/Nothing.h`."))
        self.assertEqual(result.returncode, 1)
        self.assertIn("`src/Demo/Nothing.h`", result.stderr)

    def test_a_document_without_the_map_fails(self):
        result = self.run_check("# Doc\n\n## Layers\n")
        self.assertEqual(result.returncode, 1)
        self.assertIn("Where is what", result.stderr)


if __name__ == "__main__":
    unittest.main()
