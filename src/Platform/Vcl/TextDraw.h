// DrawTextW on a recording canvas: text laid out in lines (broken at words when asked), measured
// with the canvas's metrics, and drawn line by line.
#pragma once

#include "Platform/Vcl/Graphics.h"
#include "Platform/Win/Windows.h"

#include <vector>

namespace krx {

inline constexpr UINT DT_TOP = 0x0000;
inline constexpr UINT DT_LEFT = 0x0000;
inline constexpr UINT DT_CENTER = 0x0001;
inline constexpr UINT DT_RIGHT = 0x0002;
inline constexpr UINT DT_VCENTER = 0x0004;
inline constexpr UINT DT_BOTTOM = 0x0008;
inline constexpr UINT DT_WORDBREAK = 0x0010;
inline constexpr UINT DT_SINGLELINE = 0x0020;
inline constexpr UINT DT_EXPANDTABS = 0x0040;
inline constexpr UINT DT_NOCLIP = 0x0100;
inline constexpr UINT DT_CALCRECT = 0x0400;
inline constexpr UINT DT_NOPREFIX = 0x0800;

// One line that DrawTextW draws, and the code unit of it shown underlined (the access key
// that a "&" prefix marks), -1 for none.
struct TTextLine {
  String Text;
  Integer Underline = -1;
};

// The lines that DrawTextW draws for the text in a rectangle `width` pixels wide: split at line
// breaks (CR LF, LF, CR) unless DT_SINGLELINE, broken between words with DT_WORDBREAK (a word wider
// than the rectangle keeps a line of its own), tabs expanded to the next multiple of eight
// characters with DT_EXPANDTABS, "&" prefixes removed ("&&" gives "&") unless DT_NOPREFIX; the
// character after the last single "&" of a line is underlined.
std::vector<TTextLine> TextLines(const TCanvas &Canvas, StringView Text, Integer width,
                                 UINT Format);

// With DT_CALCRECT: Rect's right and bottom are set to enclose the lines, nothing is drawn.
// Otherwise each line is drawn (TextOut), aligned left, centred or right in Rect. Returns the
// height of the text.
Integer DrawTextW(TCanvas &Canvas, StringView Text, TRect &Rect, UINT Format);

} // namespace krx
