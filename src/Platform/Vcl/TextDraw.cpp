#include "Platform/Vcl/TextDraw.h"

#include <algorithm>

namespace krx {

namespace {

// The line as drawn: prefixes removed (the position of the underlined character kept), tabs
// expanded.
TTextLine Prepared(StringView line, UINT format) {
  TTextLine out;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const Char c = line[i];
    if (c == u'&' && !(format & DT_NOPREFIX)) {
      if (i + 1 < line.size() && line[i + 1] == u'&')
        out.Text += line[++i];
      else if (i + 1 < line.size())
        out.Underline = static_cast<Integer>(out.Text.size()); // a later "&" wins
      continue;
    }
    if (c == u'\t' && (format & DT_EXPANDTABS)) {
      out.Text.append(8 - out.Text.size() % 8, u' ');
      continue;
    }
    out.Text += c;
  }
  return out;
}

void BreakWords(const TCanvas &canvas, const TTextLine &line, Integer width,
                std::vector<TTextLine> &out) {
  const String &text = line.Text;
  const auto emit = [&](std::size_t start, const String &piece) {
    const auto first = static_cast<Integer>(start);
    const bool mine =
        line.Underline >= first && line.Underline < first + static_cast<Integer>(piece.size());
    out.push_back({piece, mine ? line.Underline - first : -1});
  };
  String current;
  std::size_t currentStart = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    // The next word with the blanks before it.
    std::size_t j = i;
    while (j < text.size() && text[j] == u' ')
      ++j;
    while (j < text.size() && text[j] != u' ')
      ++j;
    const String piece = text.substr(i, j - i);
    if (!current.empty() && canvas.TextWidth(current + piece) > width) {
      emit(currentStart, current);
      std::size_t k = 0;
      while (k < piece.size() && piece[k] == u' ')
        ++k;
      current = piece.substr(k); // blanks at a break are dropped
      currentStart = i + k;
    } else {
      current += piece;
    }
    i = j;
  }
  emit(currentStart, current);
}

} // namespace

std::vector<TTextLine> TextLines(const TCanvas &Canvas, StringView Text, Integer width,
                                 UINT Format) {
  std::vector<StringView> raw;
  if (Format & DT_SINGLELINE) {
    raw.push_back(Text);
  } else {
    std::size_t start = 0;
    for (std::size_t i = 0; i <= Text.size(); ++i) {
      if (i == Text.size() || Text[i] == u'\r' || Text[i] == u'\n') {
        raw.push_back(Text.substr(start, i - start));
        if (i + 1 < Text.size() && Text[i] == u'\r' && Text[i + 1] == u'\n')
          ++i;
        start = i + 1;
      }
    }
  }
  std::vector<TTextLine> lines;
  for (StringView line : raw) {
    TTextLine prepared = Prepared(line, Format);
    if (Format & DT_WORDBREAK)
      BreakWords(Canvas, prepared, width, lines);
    else
      lines.push_back(std::move(prepared));
  }
  return lines;
}

Integer DrawTextW(TCanvas &Canvas, StringView Text, TRect &Rect, UINT Format) {
  const std::vector<TTextLine> lines = TextLines(Canvas, Text, Rect.Width(), Format);
  const Integer lineHeight = Canvas.TextHeight(u"Ag");
  const Integer height = lineHeight * static_cast<Integer>(lines.size());
  if (Format & DT_CALCRECT) {
    Integer widest = 0;
    for (const TTextLine &line : lines)
      widest = std::max(widest, Canvas.TextWidth(line.Text));
    Rect.Right = Rect.Left + widest;
    Rect.Bottom = Rect.Top + height;
    return height;
  }
  Integer y = Rect.Top;
  for (const TTextLine &line : lines) {
    const Integer w = Canvas.TextWidth(line.Text);
    Integer x = Rect.Left;
    if (Format & DT_CENTER)
      x = Rect.Left + (Rect.Width() - w) / 2;
    else if (Format & DT_RIGHT)
      x = Rect.Right - w;
    Canvas.TextOut(x, y, line.Text, line.Underline);
    y += lineHeight;
  }
  return height;
}

} // namespace krx
