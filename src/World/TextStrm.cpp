#include "World/TextStrm.h"

namespace krx {

// ---- TTextStream --------------------------------------------------------------------------

String TTextStream::GetText() {
  Reset();
  String text;
  while (!Eof()) {
    text += ReadLine();
    text += sLineBreak;
  }
  return text;
}

void TTextStream::SetText(StringView text) {
  Reset();
  std::size_t start = 0;
  for (;;) {
    const std::size_t brk = text.find(u"\r\n", start);
    if (brk == StringView::npos)
      break;
    WriteLine(text.substr(start, brk - start));
    start = brk + 2;
  }
  if (start < text.size())
    WriteLine(text.substr(start));
}

void TTextStream::Write(StringView) {
  throw EInvalidOperation(u"Write not supported on this device");
}

// ---- TTextString --------------------------------------------------------------------------

TTextString::TTextString(const String &fileName) {
  TTextEncoding encoding;
  String text = ReadTextFileEx(fileName, encoding);
  Encoding = encoding;
  SetText(text);
}

void TTextString::SetText(StringView text) {
  FText = String(text);
  Reset();
}

void TTextString::Reset() {
  FLineNo = 0;
  FLoneLineBreak = false;
  FPos = 1;
}

String TTextString::ReadLine() {
  KR_ASSERT(FPos >= 1);
  const Integer len = Length(FText);
  if (len < FPos)
    throw EReadError(u"Read beyond end of text");
  Integer i = FPos - 1; // 0-based scan; a zero character is an ordinary character
  while (i < len && FText[i] != u'\r' && FText[i] != u'\n')
    ++i;
  String line = FText.substr(FPos - 1, i - (FPos - 1));
  if (i < len) {
    if (FText[i] == u'\r' && i + 1 < len && FText[i + 1] == u'\n') {
      i += 2;
    } else {
      ++i;
      FLoneLineBreak = true;
    }
  }
  FPos = i + 1;
  ++FLineNo;
  return line;
}

void TTextString::Write(StringView text) {
  FText += text;
  FPos = Length(FText) + 1;
}

void TTextString::WriteLine(StringView text) {
  String s(text);
  s += sLineBreak;
  Write(s);
  ++FLineNo;
}

} // namespace krx
