#include "Platform/Vcl/TextDraw.h"

#include <algorithm>

namespace krx {

namespace {

String Prepared(StringView line, UINT format) {
  String out;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const Char c = line[i];
    if (c == u'&' && !(format & DT_NOPREFIX)) {
      if (i + 1 < line.size() && line[i + 1] == u'&')
        out += line[++i];
      continue;
    }
    if (c == u'\t' && (format & DT_EXPANDTABS)) {
      out.append(8 - out.size() % 8, u' ');
      continue;
    }
    out += c;
  }
  return out;
}

void BreakWords(const TCanvas &canvas, const String &line, Integer width,
                std::vector<String> &out) {
  String current;
  std::size_t i = 0;
  while (i < line.size()) {
    // The next word with the blanks before it.
    std::size_t j = i;
    while (j < line.size() && line[j] == u' ')
      ++j;
    while (j < line.size() && line[j] != u' ')
      ++j;
    const String piece = line.substr(i, j - i);
    if (!current.empty() && canvas.TextWidth(current + piece) > width) {
      out.push_back(current);
      std::size_t k = 0;
      while (k < piece.size() && piece[k] == u' ')
        ++k;
      current = piece.substr(k); // blanks at a break are dropped
    } else {
      current += piece;
    }
    i = j;
  }
  out.push_back(current);
}

} // namespace

std::vector<String> TextLines(const TCanvas &Canvas, StringView Text, Integer width, UINT Format) {
  std::vector<String> raw;
  if (Format & DT_SINGLELINE) {
    raw.emplace_back(Text);
  } else {
    std::size_t start = 0;
    for (std::size_t i = 0; i <= Text.size(); ++i) {
      if (i == Text.size() || Text[i] == u'\r' || Text[i] == u'\n') {
        raw.emplace_back(Text.substr(start, i - start));
        if (i + 1 < Text.size() && Text[i] == u'\r' && Text[i + 1] == u'\n')
          ++i;
        start = i + 1;
      }
    }
  }
  std::vector<String> lines;
  for (const String &line : raw) {
    const String text = Prepared(line, Format);
    if (Format & DT_WORDBREAK)
      BreakWords(Canvas, text, width, lines);
    else
      lines.push_back(text);
  }
  return lines;
}

Integer DrawTextW(TCanvas &Canvas, StringView Text, TRect &Rect, UINT Format) {
  const std::vector<String> lines = TextLines(Canvas, Text, Rect.Width(), Format);
  const Integer lineHeight = Canvas.TextHeight(u"Ag");
  const Integer height = lineHeight * static_cast<Integer>(lines.size());
  if (Format & DT_CALCRECT) {
    Integer widest = 0;
    for (const String &line : lines)
      widest = std::max(widest, Canvas.TextWidth(line));
    Rect.Right = Rect.Left + widest;
    Rect.Bottom = Rect.Top + height;
    return height;
  }
  Integer y = Rect.Top;
  for (const String &line : lines) {
    const Integer w = Canvas.TextWidth(line);
    Integer x = Rect.Left;
    if (Format & DT_CENTER)
      x = Rect.Left + (Rect.Width() - w) / 2;
    else if (Format & DT_RIGHT)
      x = Rect.Right - w;
    Canvas.TextOut(x, y, line);
    y += lineHeight;
  }
  return height;
}

} // namespace krx
