#include "Engine/ParamTokens.h"

namespace krx {

std::unique_ptr<TPascalTokenizer> CreateParamTokenizer(TStrings *lines, StringView text) {
  auto t = std::make_unique<TPascalTokenizer>(lines, text);
  t->SetNumbersAsNumbers(true);
  t->SetTolerateErrors(true);
  t->SetCommentTextMode(TCommentTextMode::Whole);
  return t;
}

String NormalizeWhiteSpace(StringView text) {
  bool blank = false;
  for (Char c : text)
    if (c <= u' ') {
      blank = true;
      break;
    }
  if (!blank)
    return String(text);
  return JoinTokenTexts(*CreateParamTokenizer(nullptr, text));
}

bool SameTokens(TKRBaseTokenizer &a, TKRBaseTokenizer &b, bool caseSensitive) {
  for (;;) {
    const TTokenKind k = a.NextToken();
    if (k != b.NextToken())
      return false;
    if (caseSensitive ? !AnsiSameStr(a.Token(), b.Token()) : !AnsiSameText(a.Token(), b.Token()))
      return false;
    if (k == TTokenKind::tkNone)
      return true;
  }
}

bool SameIgnoringWhiteSpace(StringView a, StringView b) {
  return SameTokens(*CreateParamTokenizer(nullptr, a), *CreateParamTokenizer(nullptr, b), false);
}

} // namespace krx
