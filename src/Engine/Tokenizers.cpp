#include "Engine/Tokenizers.h"

#include "Platform/Rtl/Character.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace krx {

TTokenizerTextPtr SplitTokenizerText(String text) {
  auto t = std::make_shared<TTokenizerText>();
  t->Text = std::move(text);
  const String &s = t->Text;
  std::size_t start = 0, i = 0, n = s.size();
  while (i < n) {
#if defined(__SSE2__)
    // Eight characters at a time up to the next one at or below CR (a saturating subtraction
    // of CR leaves zero exactly there).
    const __m128i cr = _mm_set1_epi16(u'\r');
    while (i + 8 <= n) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s.data() + i));
      const int low =
          _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_subs_epu16(v, cr), _mm_setzero_si128()));
      if (low != 0) {
        i += static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(low))) / 2;
        break;
      }
      i += 8;
    }
    if (i >= n)
      break;
#endif
    Char c = s[i];
    // Most characters are above CR: one comparison passes them.
    if (c > u'\r') {
      ++i;
      continue;
    }
    if (c == u'\r' || c == u'\n') {
      t->Lines.push_back({start, i - start});
      i += (c == u'\r' && i + 1 < n && s[i + 1] == u'\n') ? 2 : 1;
      start = i;
    } else {
      ++i;
    }
  }
  if (start < n)
    t->Lines.push_back({start, n - start});
  return t;
}

// ---- TKRBaseTokenizer ---------------------------------------------------------------------

TKRBaseTokenizer::TKRBaseTokenizer(StringView text) {
  Init();
  SetText(text);
}

void TKRBaseTokenizer::Clear() {
  // The previous token's text outlives the text it was read from.
  if (!FState.PrevTokenOwned) {
    FState.PrevToken.assign(FState.PrevTokenText);
    FState.PrevTokenText = FState.PrevToken;
    FState.PrevTokenOwned = true;
  }
  FState.Text.reset();
  FState.LineNr = 0;
  FLine = {};
  FState.LineIndex = -1;
  FState.LinePos = 1;
  FState.Token.clear();
  ClearTokenText();
  FState.TokenKind = TTokenKind::tkNone;
  FState.TokenPos = {};
}

const String &TKRBaseTokenizer::PrevToken() const {
  if (FState.PrevTokenOwned)
    return FState.PrevToken;
  FPrevTokenCopy.assign(FState.PrevTokenText);
  return FPrevTokenCopy;
}

void TKRBaseTokenizer::TakeToken(String &into) {
  if (FState.TokenOwned) {
    into.swap(FState.Token);
    FState.Token.clear();
  } else if (FTokenCopied) {
    into.swap(FTokenCopy);
  } else {
    into.assign(FState.TokenText);
  }
  ClearTokenText();
}

void TKRBaseTokenizer::AppendTokenText(StringView s) {
  if (!FState.TokenOwned) {
    FState.Token.assign(FState.TokenText);
    FState.TokenOwned = true;
  }
  FState.Token.append(s);
  FState.TokenText = FState.Token;
}

void TKRBaseTokenizer::SetSharedText(TTokenizerTextPtr text) {
  Clear();
  FState.Text = std::move(text);
}

void TKRBaseTokenizer::SetText(StringView text) { SetSharedText(SplitTokenizerText(String(text))); }

void TKRBaseTokenizer::SetLines(const std::vector<String> &lines) {
  auto t = std::make_shared<TTokenizerText>();
  std::size_t total = 0;
  for (const String &l : lines)
    total += l.size() + 2;
  t->Text.reserve(total);
  for (const String &l : lines) {
    t->Lines.push_back({t->Text.size(), l.size()});
    t->Text.append(l);
    t->Text.append(u"\r\n");
  }
  SetSharedText(std::move(t));
}

String TKRBaseTokenizer::GetText() const {
  String r;
  if (!FState.Text)
    return r;
  for (const auto &l : FState.Text->Lines) {
    r.append(FState.Text->Text, l.Start, l.Length);
    r.append(u"\r\n");
  }
  return r;
}

Integer TKRBaseTokenizer::LineCount() const {
  return FState.Text ? static_cast<Integer>(FState.Text->Lines.size()) : 0;
}

StringView TKRBaseTokenizer::LineText(Integer lineNr) const {
  if (lineNr < 1 || lineNr > LineCount())
    return {};
  const auto &l = FState.Text->Lines[static_cast<std::size_t>(lineNr - 1)];
  return StringView(FState.Text->Text).substr(l.Start, l.Length);
}

void TKRBaseTokenizer::SyncLine() {
  FLine = FState.LineIndex >= 0 ? LineText(FState.LineIndex + 1) : StringView{};
}

bool TKRBaseTokenizer::NextLine(bool notify) {
  for (;;) {
    const TTokenizerText *text = FState.Text.get();
    if (!text || FState.LineNr >= static_cast<Integer>(text->Lines.size()))
      return false;
    const TTokenizerText::TLine &l = text->Lines[static_cast<std::size_t>(FState.LineNr)];
    FLine = StringView(text->Text.data() + l.Start, l.Length);
    FState.LineIndex = FState.LineNr;
    std::size_t p = 0;
    while (p < l.Length && FLine[p] <= u' ')
      ++p;
    FState.LinePos = static_cast<Integer>(p) + 1;
    ++FState.LineNr;
    if (FState.Collecting)
      FState.Collected.append(u"\r\n");
    if (p < l.Length)
      return true;
    if (notify && OnBlankLine)
      OnBlankLine(*this);
  }
}

TTokenKind TKRBaseTokenizer::NextToken() { return ReadToken(FState.SkipKinds, FRaiseAtEnd); }

// ---- TPascalTokenizer ---------------------------------------------------------------------

TPascalTokenizer::TPascalTokenizer(StringView text) : TKRBaseTokenizer(text) {
  TPascalTokenizer::Init();
}

// ---- TWhiteSpaceTokenizer -----------------------------------------------------------------

TWhiteSpaceTokenizer::TWhiteSpaceTokenizer(StringView text) : TPascalTokenizer(text) {
  TWhiteSpaceTokenizer::Init();
}

void TWhiteSpaceTokenizer::Init() {
  TPascalTokenizer::Init();
  FNumbersAsNumbers = true;
  FTolerateErrors = true;
  FCommentTextMode = 1;
}

String TWhiteSpaceTokenizer::JoinTokens() { return JoinTokenTexts(*this); }

bool TWhiteSpaceTokenizer::SameTokens(TWhiteSpaceTokenizer &other) {
  for (;;) {
    TTokenKind a = NextToken();
    TTokenKind b = other.NextToken();
    if (a != b || !SameText(TokenText(), other.TokenText()))
      return false;
    if (a == TTokenKind::tkNone)
      return true;
  }
}

bool TWhiteSpaceTokenizer::SameAsText(StringView text) {
  TWhiteSpaceTokenizer other(text);
  return SameTokens(other);
}

// ---- Unit routines ------------------------------------------------------------------------

TTokenizerState SaveTokenizerState(const TKRBaseTokenizer &t) { return t.FState; }

void RestoreTokenizerState(const TTokenizerState &s, TKRBaseTokenizer &t) {
  t.FState = s;
  if (t.FState.TokenOwned)
    t.FState.TokenText = t.FState.Token;
  if (t.FState.PrevTokenOwned)
    t.FState.PrevTokenText = t.FState.PrevToken;
  t.FTokenCopied = false;
  if (t.FState.LineIndex >= t.LineCount())
    t.FState.LineIndex = -1;
  t.SyncLine();
}

String NormalizeWhiteSpace(StringView text) {
  bool hasWhite = false;
  for (Char c : text)
    if (IsWhiteSpace(c)) {
      hasWhite = true;
      break;
    }
  if (!hasWhite)
    return String(text);
  TWhiteSpaceTokenizer t(text);
  return t.JoinTokens();
}

bool SameIgnoringWhiteSpace(StringView a, StringView b) {
  TWhiteSpaceTokenizer ta(a);
  TWhiteSpaceTokenizer tb(b);
  return ta.SameTokens(tb);
}

bool StripCommentDelimiters(String &text) {
  text = Trim(text);
  if (StartsStr(u"{", text)) {
    text.erase(0, 1);
    if (text.empty())
      return false;
    if (text.back() == u'}')
      text.pop_back();
  } else if (StartsStr(u"(*", text)) {
    text.erase(0, 2);
    if (text.size() < 2)
      return false;
    if (EndsStr(u"*)", text))
      text.resize(text.size() - 2);
  } else if (StartsStr(u"//", text)) {
    text.erase(0, 2);
  } else {
    return false;
  }
  return true;
}

} // namespace krx
