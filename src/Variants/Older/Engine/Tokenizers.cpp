#include "Engine/Tokenizers.h"

#include "World/StringsText.h"

namespace krx {

// ---- TKRBaseTokenizer ---------------------------------------------------------------------

namespace {

std::unique_ptr<TTextStream> TextStreamOf(StringView text) {
  auto s = std::make_unique<TTextString>();
  s->SetText(text);
  return s;
}

std::unique_ptr<TTextStream> LinesStreamOf(TStrings *lines) {
  KR_ASSERT(lines != nullptr);
  return std::make_unique<TStringsText>(lines, true);
}

} // namespace

TKRBaseTokenizer::TKRBaseTokenizer(std::unique_ptr<TTextStream> stream)
    : FStream(std::move(stream)) {
  KR_ASSERT(FStream != nullptr);
  Init();
  ResetScan();
}

TKRBaseTokenizer::TKRBaseTokenizer(StringView text) : TKRBaseTokenizer(TextStreamOf(text)) {}

TKRBaseTokenizer::TKRBaseTokenizer(TStrings *lines) : TKRBaseTokenizer(LinesStreamOf(lines)) {}

TKRBaseTokenizer::TKRBaseTokenizer(TStrings *lines, StringView text)
    : TKRBaseTokenizer(lines ? LinesStreamOf(lines) : TextStreamOf(text)) {}

void TKRBaseTokenizer::SetText(StringView text) {
  if (auto *s = dynamic_cast<TTextString *>(FStream.get()))
    s->SetText(text);
  else
    FStream = TextStreamOf(text);
  ResetScan();
}

void TKRBaseTokenizer::ResetScan() {
  FLineText.clear();
  FLine = {};
  FState.LinePos = 1;
  FState.LineNr = FStream->LineNo();
  FState.Token.clear();
  FState.TokenKind = TTokenKind::tkNone;
  FState.TokenPos = {};
}

bool TKRBaseTokenizer::NextLine(bool notify) {
  while (!FStream->Eof()) {
    FLineText = FStream->ReadLine();
    FLine = FLineText;
    FState.LineNr = FStream->LineNo();
    Integer n = static_cast<Integer>(FLine.size());
    Integer p = 1;
    while (p <= n && FLine[p - 1] <= u' ')
      ++p;
    FState.LinePos = p;
    if (FState.Collecting)
      FState.Collected.append(u"\r\n");
    if (p <= n)
      return true;
    if (notify && OnBlankLine)
      OnBlankLine(*this);
  }
  return false;
}

TTokenKind TKRBaseTokenizer::NextToken() { return ReadToken(FState.SkipKinds, FRaiseAtEnd); }

// ---- TPascalTokenizer ---------------------------------------------------------------------

TPascalTokenizer::TPascalTokenizer(StringView text) : TKRBaseTokenizer(text) {
  TPascalTokenizer::Init();
}
TPascalTokenizer::TPascalTokenizer(TStrings *lines) : TKRBaseTokenizer(lines) {
  TPascalTokenizer::Init();
}
TPascalTokenizer::TPascalTokenizer(TStrings *lines, StringView text)
    : TKRBaseTokenizer(lines, text) {
  TPascalTokenizer::Init();
}
TPascalTokenizer::TPascalTokenizer(std::unique_ptr<TTextStream> stream)
    : TKRBaseTokenizer(std::move(stream)) {
  TPascalTokenizer::Init();
}

// ---- Unit routines ------------------------------------------------------------------------

void TDefaultTokenizerContext::UnexpectedToken() { Abort(); }

bool StripCommentDelimiters(String &text) {
  text = Trim(text);
  if (text.empty())
    return false;
  switch (text[0]) {
  case u'(':
    text.erase(0, 2);
    if (text.size() < 2)
      return false;
    if (text.back() == u')')
      text.resize(text.size() - 2);
    return true;
  case u'/':
    text.erase(0, 2);
    return true;
  case u'{':
    text.erase(0, 1);
    if (text.empty())
      return false;
    if (text.back() == u'}')
      text.pop_back();
    return true;
  default:
    return false;
  }
}

} // namespace krx
