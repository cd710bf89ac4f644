#include "Common/KRX.StringWrapper.h"

#include "Engine/Tokenizers.h"
#include "World/KRStrUtils.h"

namespace krx {

TStringWrapper::TStringWrapper(TStrings *strings, Integer indention, Integer wrapWidth,
                               Integer tabWidth)
    : FStrings(strings) {
  KR_ASSERT(strings != nullptr);
  SetWrapWidth(wrapWidth);
  SetIndention(indention);
  SetTabWidth(tabWidth);
  FDelimiters = TSysCharSet::Range(1, 32) + TSysCharSet{u'(', u',', u';', u'{'};
}

void TStringWrapper::SetWrapWidth(Integer value) { FWrapWidth = value < 40 ? 40 : value; }

void TStringWrapper::SetIndention(Integer value) {
  if (value <= 0)
    value = 0;
  else if (value >= FWrapWidth / 2)
    value = FWrapWidth / 2;
  FIndention = value;
}

void TStringWrapper::SetTabWidth(Integer value) { FTabWidth = value <= 0 ? 1 : value; }

Integer TStringWrapper::FindBreak(StringView line) {
  const Integer len = Length(line);
  Integer result = len;
  TPascalTokenizer tokenizer;
  tokenizer.SetCommentTextMode(TCommentTextMode::Whole);
  tokenizer.SetRecordComments(true);
  tokenizer.SetNumbersAsNumbers(true);
  tokenizer.SetTolerateErrors(true);
  tokenizer.SetSkipKinds({});
  tokenizer.SetText(line);
  TTokenKind kind = tokenizer.NextToken();
  if (kind == TTokenKind::tkNone || kind == TTokenKind::tkError)
    return len;
  bool found = false;
  for (;;) {
    kind = tokenizer.NextToken();
    if (kind == TTokenKind::tkNone || kind == TTokenKind::tkError)
      break;
    if (kind == TTokenKind::tkComment && StartsStr(u"//", tokenizer.Token()))
      break;
    const Integer after = tokenizer.LinePos();
    const Integer p = after - Length(tokenizer.Token()) - 1;
    if (p >= 1 && p <= len) {
      const Char c = line[static_cast<std::size_t>(p - 1)];
      if (c <= 0xFF && FDelimiters.Contains(c)) {
        result = p;
        found = true;
      }
    }
    if (found && after > FWrapWidth)
      break;
  }
  return result;
}

void TStringWrapper::WrapString(StringView line) {
  String s = TrimRight(ExpandLeadingTabs(line, FTabWidth));
  Integer lead = 0;
  while (lead < Length(s) && s[static_cast<std::size_t>(lead)] == u' ')
    ++lead;
  const String prefix = StringOfChar(u' ', lead + FIndention);
  for (bool first = true;; first = false) {
    Integer l = Length(s);
    if (l > FWrapWidth) {
      l = FindBreak(s);
      // A continuation line is never broken inside its own indentation.
      if (!first && Length(prefix) >= l)
        l = Length(s);
    }
    String part = TrimRight(Copy(s, 1, l));
    if (FUseTabs)
      part = CompressLeadingSpaces(part, FTabWidth);
    FStrings->Add(part);
    if (l >= Length(s))
      break;
    Delete(s, 1, l);
    s = prefix + TrimLeft(s);
  }
}

void TStringWrapper::WrapStrings(const TStrings &lines) {
  for (Integer i = 0; i < lines.Count(); ++i)
    WrapString(lines[i]);
}

} // namespace krx
