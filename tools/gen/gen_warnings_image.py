#!/usr/bin/env python3
"""Draws the 16 x 16 "Warnings" image of the older key-bindings frame (a black exclamation
mark on an amber triangle, anti-aliased) and writes it as an RGBA PNG to
src/Variants/Older/Controls/KeyBindWarnings.png and as a C++ byte list to
src/Variants/Older/Controls/KeyBindWarnings.inc, which that revision's KeyBindFrames embeds.
The output is committed; the build does not run this script."""
from pathlib import Path

from gen_hint_image import SUB, png, write

TRIANGLE = (245, 180, 20)
MARK = (0, 0, 0)


def inside_triangle(x, y):
    """Apex at (8, 1), base from (0.5, 15) to (15.5, 15)."""
    if not 1.0 <= y <= 15.0:
        return False
    half = (y - 1.0) / 14.0 * 7.5
    return abs(x - 8.0) <= half


def inside_mark(x, y):
    stem = abs(x - 8.0) <= 1.0 and 5.0 <= y <= 10.5
    dot = abs(x - 8.0) <= 1.0 and 12.0 <= y <= 13.8
    return stem or dot


def pixel(px, py):
    shape = mark = 0
    for sy in range(SUB):
        for sx in range(SUB):
            x = px + (sx + 0.5) / SUB
            y = py + (sy + 0.5) / SUB
            if inside_triangle(x, y):
                shape += 1
                if inside_mark(x, y):
                    mark += 1
    if shape == 0:
        return (0, 0, 0, 0)
    t = mark / shape
    rgb = tuple(round(TRIANGLE[i] * (1 - t) + MARK[i] * t) for i in range(3))
    return rgb + (round(255 * shape / (SUB * SUB)),)


def main():
    out = Path(__file__).resolve().parents[2] / "src" / "Variants" / "Older" / "Controls"
    write(out, "KeyBindWarnings", png(pixel), "gen_warnings_image.py")


if __name__ == "__main__":
    main()
