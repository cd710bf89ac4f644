#include "Engine/Tokenizers.h"

#include "Platform/Rtl/Character.h"

#include <array>

namespace krx {

namespace {

bool GEscapedIdentifiers = false;
bool GGenericNames = false;

bool IsAsciiDigit(Char c) { return c >= u'0' && c <= u'9'; }

bool IsHexDigit(Char c) {
  return IsAsciiDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// Identifier characters; ASCII through a table, the rest through the Unicode tables.
struct TIdentTable {
  std::array<Byte, 128> Start{};
  std::array<Byte, 128> Part{};
  constexpr TIdentTable() {
    for (int c = 0; c < 128; ++c) {
      bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
      Start[c] = letter;
      Part[c] = letter || (c >= '0' && c <= '9');
    }
  }
};
constexpr TIdentTable kIdent;

bool IsIdentStart(Char c) { return c < 128 ? kIdent.Start[c] != 0 : IsLetter(c); }
bool IsIdentPart(Char c) { return c < 128 ? kIdent.Part[c] != 0 : IsLetterOrDigit(c); }

std::shared_ptr<TTokenizerText> SplitText(StringView text) {
  auto t = std::make_shared<TTokenizerText>();
  t->Text.assign(text);
  const String &s = t->Text;
  std::size_t start = 0, i = 0, n = s.size();
  while (i < n) {
    Char c = s[i];
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

} // namespace

String TokenKindName(TTokenKind kind) {
  static constexpr const Char *kNames[] = {
#define KRX_X(name) u"" #name,
      KRX_TOKEN_KINDS(KRX_X)
#undef KRX_X
  };
  KR_ASSERT(static_cast<std::size_t>(kind) < std::size(kNames));
  return kNames[static_cast<std::size_t>(kind)];
}

bool EscapedIdentifiersEnabled() { return GEscapedIdentifiers; }
void SetEscapedIdentifiersEnabled(bool on) { GEscapedIdentifiers = on; }
bool GenericNamesEnabled() { return GGenericNames; }
void SetGenericNamesEnabled(bool on) { GGenericNames = on; }

TTokenizerSwitchesGuard::TTokenizerSwitchesGuard()
    : FEscaped(GEscapedIdentifiers), FGenerics(GGenericNames) {}
TTokenizerSwitchesGuard::~TTokenizerSwitchesGuard() {
  GEscapedIdentifiers = FEscaped;
  GGenericNames = FGenerics;
}

// ---- TKRBaseTokenizer ---------------------------------------------------------------------

TKRBaseTokenizer::TKRBaseTokenizer(StringView text) {
  Init();
  SetText(text);
}

void TKRBaseTokenizer::Clear() {
  FText.reset();
  FLineNr = 0;
  FLine = {};
  FLineIndex = -1;
  FLinePos = 1;
  FToken.clear();
  FTokenKind = TTokenKind::tkNone;
}

void TKRBaseTokenizer::TakeText(TTokenizerTextPtr text) {
  Clear();
  FText = std::move(text);
}

void TKRBaseTokenizer::SetText(StringView text) { TakeText(SplitText(text)); }

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
  TakeText(std::move(t));
}

String TKRBaseTokenizer::GetText() const {
  String r;
  if (!FText)
    return r;
  for (const auto &l : FText->Lines) {
    r.append(FText->Text, l.Start, l.Length);
    r.append(u"\r\n");
  }
  return r;
}

Integer TKRBaseTokenizer::LineCount() const {
  return FText ? static_cast<Integer>(FText->Lines.size()) : 0;
}

void TKRBaseTokenizer::SetLine(Integer index) {
  FLineIndex = index;
  const auto &l = FText->Lines[static_cast<std::size_t>(index)];
  FLine = StringView(FText->Text).substr(l.Start, l.Length);
  Integer n = static_cast<Integer>(FLine.size());
  Integer p = 1;
  while (p <= n && FLine[p - 1] <= u' ')
    ++p;
  FLinePos = p;
}

bool TKRBaseTokenizer::NextLine(bool notify) {
  while (FText && FLineNr < static_cast<Integer>(FText->Lines.size())) {
    SetLine(FLineNr);
    ++FLineNr;
    if (FCollecting)
      FCollected.append(u"\r\n");
    if (FLinePos <= static_cast<Integer>(FLine.size()))
      return true;
    if (notify && OnBlankLine)
      OnBlankLine(*this);
  }
  return false;
}

TTokenKind TKRBaseTokenizer::NextToken() {
  FPrevToken.swap(FToken);
  FPrevTokenKind = FTokenKind;
  for (;;) {
    FToken.clear();
    FTokenKind = TTokenKind::tkNone;
    Integer n = static_cast<Integer>(FLine.size());
    Integer start = FLinePos;
    while (FLinePos <= n && FLine[FLinePos - 1] <= u' ')
      ++FLinePos;
    if (FCollecting && FLinePos > start)
      FCollected.append(LinePart(start, FLinePos));
    if (FLinePos > n && !NextLine(true))
      break;
    ScanToken();
    if (!FSkipKinds.Contains(FTokenKind))
      break;
  }
  if (FTokenKind == TTokenKind::tkError && !FTolerateErrors)
    throw ETokenError(u"Invalid token");
  if (FTokenKind == TTokenKind::tkNone && FRaiseAtEnd)
    throw ENoMoreTokens(u"Tokenizer: No more tokens");
  return FTokenKind;
}

void TKRBaseTokenizer::SetSkipKinds(TTokenKinds kinds) {
  FGivenSkipKinds = kinds;
  FSkipKinds = kinds - TTokenKinds{TTokenKind::tkNone, TTokenKind::tkError};
}

void TKRBaseTokenizer::StartCollecting() {
  FCollected.clear();
  FCollecting = true;
}

String TKRBaseTokenizer::StopCollecting() {
  if (!FCollecting)
    throw EKRToolsException(u"Illegal use of Mark");
  FCollecting = false;
  String r;
  r.swap(FCollected);
  return r;
}

String TKRBaseTokenizer::CollectedTextAsLine(bool includeCurrentToken) {
  String text = StopCollecting();
  if (!includeCurrentToken)
    text.resize(text.size() - std::min(text.size(), FToken.size()));
  String result;
  std::size_t i = 0, n = text.size();
  while (i < n) {
    std::size_t e = i;
    while (e < n && text[e] != u'\r' && text[e] != u'\n')
      ++e;
    std::size_t b = i;
    while (b < e && text[b] >= 1 && text[b] <= u' ')
      ++b;
    std::size_t t = e;
    while (t > b && text[t - 1] <= u' ')
      --t;
    if (t > b) {
      if (!result.empty())
        result.push_back(u' ');
      result.append(text, b, t - b);
    }
    i = e + 1;
  }
  return result;
}

void TKRBaseTokenizer::RecordComment(Byte kind, Integer column) {
  if (!FRecordComments)
    return;
  FLastComment.Kind = kind;
  FLastComment.Line = FLineNr;
  FLastComment.Column = column;
  bool startsLine = true;
  for (Integer i = 1; i < column && i <= static_cast<Integer>(FLine.size()); ++i)
    if (FLine[i - 1] > u' ') {
      startsLine = false;
      break;
    }
  FLastComment.StartsLine = startsLine;
}

// ---- TPascalTokenizer ---------------------------------------------------------------------

TPascalTokenizer::TPascalTokenizer(StringView text) : TKRBaseTokenizer(text) {
  TPascalTokenizer::Init();
}

void TPascalTokenizer::Init() {
  TKRBaseTokenizer::Init();
  FEscapedIdentifiers = GEscapedIdentifiers;
}

void TPascalTokenizer::ScanToken() {
  Char c = CurChar();
  if (c == u'$' || IsAsciiDigit(c)) {
    ScanNumber();
    return;
  }
  if (c == u'"' && FDoubleQuotedStrings) {
    ScanDoubleQuotedString();
    return;
  }
  if (c == u'#' || c == u'\'') {
    ScanString();
    return;
  }
  if (c == u'{') {
    SetTokenText(u"{");
    ++FLinePos;
    ScanComment(0);
    return;
  }
  if (c == u'&' && FEscapedIdentifiers && HasChar(FLinePos + 1) && IsIdentStart(FLine[FLinePos])) {
    Integer start = FLinePos;
    ++FLinePos;
    ScanIdent(start);
    return;
  }
  if (IsIdentStart(c)) {
    ScanIdent(FLinePos);
    return;
  }
  // Symbols, possibly two characters long.
  Integer start = FLinePos;
  ++FLinePos;
  FTokenKind = TTokenKind::tkSymbol;
  if (HasChar(FLinePos)) {
    Char d = CurChar();
    switch (c) {
    case u'(':
      if (d == u'*') {
        ++FLinePos;
        SetTokenText(u"(*");
        ScanComment(1);
        return;
      }
      break;
    case u'.':
      if (d == u'.')
        ++FLinePos;
      break;
    case u'/':
      if (d == u'/') {
        FLinePos = start;
        ScanLineComment();
        return;
      }
      break;
    case u':':
    case u'>':
      if (d == u'=')
        ++FLinePos;
      break;
    case u'<':
      if (d == u'=' || d == u'>')
        ++FLinePos;
      break;
    default:
      break;
    }
  }
  SetTokenText(LinePart(start, FLinePos));
  Collect(FToken);
}

void TPascalTokenizer::ScanIdent(Integer start) {
  Integer n = static_cast<Integer>(FLine.size());
  while (FLinePos <= n && IsIdentPart(FLine[FLinePos - 1]))
    ++FLinePos;
  SetTokenText(LinePart(start, FLinePos));
  FTokenKind = TTokenKind::tkIdent;
  Collect(FToken);
}

void TPascalTokenizer::ScanLineComment() {
  Integer start = FLinePos;
  RecordComment(2, start);
  Integer end = static_cast<Integer>(FLine.size()) + 1;
  if (FCommentTextMode == 1 || FCommentTextMode == 2)
    SetTokenText(LinePart(start, end));
  else
    SetTokenText(u"//");
  Collect(LinePart(start, end));
  FLinePos = end;
  FTokenKind = TTokenKind::tkComment;
}

void TPascalTokenizer::ScanComment(Byte kind) {
  KR_ASSERT(kind != 2);
  Integer openerCol = FLinePos - (kind == 0 ? 1 : 2);
  FTokenKind = TTokenKind::tkComment;
  RecordComment(kind, openerCol);
  if (HasChar(FLinePos) && CurChar() == u'$') {
    FToken.push_back(u'$');
    ++FLinePos;
    FTokenKind = TTokenKind::tkDirective;
  }
  Collect(FToken);
  bool firstLine = true;
  for (;;) {
    Integer n = static_cast<Integer>(FLine.size());
    Integer p = FLinePos;
    Integer end = 0; // position after the closer, 0 when not on this line
    if (kind == 0) {
      std::size_t f = FLine.find(u'}', static_cast<std::size_t>(p - 1));
      if (f != StringView::npos)
        end = static_cast<Integer>(f) + 2;
    } else {
      std::size_t from = static_cast<std::size_t>(p - 1);
      while (from < FLine.size()) {
        std::size_t f = FLine.find(u'*', from);
        if (f == StringView::npos)
          break;
        if (f + 1 < FLine.size() && FLine[f + 1] == u')') {
          end = static_cast<Integer>(f) + 3;
          break;
        }
        from = f + 1;
      }
    }
    Integer pieceEnd = end ? end : n + 1;
    StringView piece = p <= pieceEnd ? LinePart(p, pieceEnd) : StringView{};
    if (FTokenKind == TTokenKind::tkDirective || FCommentTextMode == 1 ||
        (FCommentTextMode == 2 && firstLine))
      FToken.append(piece);
    Collect(piece);
    if (end) {
      FLinePos = end;
      return;
    }
    Integer before = FLineNr;
    if (!NextLine(false)) {
      FTokenKind = TTokenKind::tkError;
      FLinePos = static_cast<Integer>(FLine.size()) + 1;
      return;
    }
    FLinePos = 1;
    firstLine = false;
    if (FTokenKind == TTokenKind::tkDirective || FCommentTextMode == 1)
      for (Integer i = before; i < FLineNr; ++i)
        FToken.append(u"\r\n");
  }
}

void TPascalTokenizer::ScanString() {
  KR_ASSERT(CurChar() == u'#' || CurChar() == u'\'');
  Integer n = static_cast<Integer>(FLine.size());
  Integer start = FLinePos;
  FTokenKind = TTokenKind::tkString;
  while (FLinePos <= n) {
    Char c = CurChar();
    if (c == u'#') {
      ++FLinePos;
      if (FLinePos <= n && CurChar() == u'$') {
        ++FLinePos;
        while (FLinePos <= n && IsHexDigit(CurChar()))
          ++FLinePos;
      } else {
        while (FLinePos <= n && IsAsciiDigit(CurChar()))
          ++FLinePos;
      }
    } else if (c == u'\'') {
      ++FLinePos;
      for (;;) {
        if (FLinePos > n) {
          FTokenKind = TTokenKind::tkError;
          break;
        }
        if (CurChar() == u'\'') {
          if (FLinePos + 1 <= n && FLine[FLinePos] == u'\'') {
            FLinePos += 2;
            continue;
          }
          ++FLinePos;
          break;
        }
        ++FLinePos;
      }
      if (FTokenKind == TTokenKind::tkError)
        break;
    } else {
      break;
    }
  }
  SetTokenText(LinePart(start, FLinePos));
  Collect(FToken);
}

void TPascalTokenizer::ScanDoubleQuotedString() {
  KR_ASSERT(CurChar() == u'"');
  Integer n = static_cast<Integer>(FLine.size());
  Integer start = FLinePos;
  std::size_t f = FLine.find(u'"', static_cast<std::size_t>(start));
  if (f == StringView::npos) {
    FTokenKind = TTokenKind::tkError;
    FLinePos = n + 1;
  } else {
    FTokenKind = TTokenKind::tkString;
    FLinePos = static_cast<Integer>(f) + 2;
  }
  SetTokenText(LinePart(start, FLinePos));
  Collect(FToken);
}

void TPascalTokenizer::ScanNumber() {
  KR_ASSERT(HasChar(FLinePos) && (CurChar() == u'$' || IsAsciiDigit(CurChar())));
  Integer n = static_cast<Integer>(FLine.size());
  Integer start = FLinePos;
  if (CurChar() == u'$') {
    ++FLinePos;
    while (FLinePos <= n && IsHexDigit(CurChar()))
      ++FLinePos;
  } else {
    while (FLinePos <= n && IsAsciiDigit(CurChar()))
      ++FLinePos;
    if (FLinePos + 1 <= n && CurChar() == u'.' && IsAsciiDigit(FLine[FLinePos])) {
      ++FLinePos;
      while (FLinePos <= n && IsAsciiDigit(CurChar()))
        ++FLinePos;
    }
    if (FLinePos <= n && (CurChar() == u'E' || CurChar() == u'e')) {
      ++FLinePos;
      if (FLinePos <= n && CurChar() == u'-')
        ++FLinePos;
      while (FLinePos <= n && IsAsciiDigit(CurChar()))
        ++FLinePos;
    }
  }
  FTokenKind = FNumbersAsNumbers ? TTokenKind::tkNumber : TTokenKind::tkIdent;
  SetTokenText(LinePart(start, FLinePos));
  Collect(FToken);
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

String TWhiteSpaceTokenizer::JoinTokens() {
  String result;
  TTokenKind prev = TTokenKind::tkNone;
  for (;;) {
    TTokenKind k = NextToken();
    if (k == TTokenKind::tkNone || k == TTokenKind::tkError)
      break;
    bool word = k == TTokenKind::tkIdent || k == TTokenKind::tkNumber;
    bool prevWord = prev == TTokenKind::tkIdent || prev == TTokenKind::tkNumber;
    if ((word && prevWord) || (k == TTokenKind::tkString && prev == TTokenKind::tkString))
      result.push_back(u' ');
    result.append(Token());
    prev = k;
  }
  return result;
}

bool TWhiteSpaceTokenizer::SameTokens(TWhiteSpaceTokenizer &other) {
  for (;;) {
    TTokenKind a = NextToken();
    TTokenKind b = other.NextToken();
    if (a != b || !SameText(Token(), other.Token()))
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

TTokenizerState SaveTokenizerState(const TKRBaseTokenizer &t) {
  TTokenizerState s;
  s.LastComment = t.FLastComment;
  s.LineIndex = t.FLineIndex;
  s.LinePos = t.FLinePos;
  s.FileName = t.FFileName;
  s.GivenSkipKinds = t.FGivenSkipKinds;
  s.SkipKinds = t.FSkipKinds;
  s.LineNr = t.FLineNr;
  s.Collected = t.FCollected;
  s.Collecting = t.FCollecting;
  s.Text = t.FText;
  s.PrevToken = t.FPrevToken;
  s.PrevTokenKind = t.FPrevTokenKind;
  s.Token = t.FToken;
  s.TokenKind = t.FTokenKind;
  if (auto *p = dynamic_cast<const TPascalTokenizer *>(&t))
    s.DoubleQuotedStrings = p->FDoubleQuotedStrings;
  return s;
}

void RestoreTokenizerState(const TTokenizerState &s, TKRBaseTokenizer &t) {
  t.FLastComment = s.LastComment;
  t.FText = s.Text;
  t.FLineIndex = -1;
  t.FLine = {};
  if (t.FText && s.LineIndex >= 0 && s.LineIndex < static_cast<Integer>(t.FText->Lines.size())) {
    const auto &l = t.FText->Lines[static_cast<std::size_t>(s.LineIndex)];
    t.FLineIndex = s.LineIndex;
    t.FLine = StringView(t.FText->Text).substr(l.Start, l.Length);
  }
  t.FLinePos = s.LinePos;
  t.FFileName = s.FileName;
  t.FGivenSkipKinds = s.GivenSkipKinds;
  t.FSkipKinds = s.SkipKinds;
  t.FLineNr = s.LineNr;
  t.FCollected = s.Collected;
  t.FCollecting = s.Collecting;
  t.FPrevToken = s.PrevToken;
  t.FPrevTokenKind = s.PrevTokenKind;
  t.FToken = s.Token;
  t.FTokenKind = s.TokenKind;
  if (auto *p = dynamic_cast<TPascalTokenizer *>(&t))
    p->FDoubleQuotedStrings = s.DoubleQuotedStrings;
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
