// The scanning half of the tokenizers, which every revision shares: token kind names, the
// language switches, reading the next token over the current line, the text mark, the comment
// record and the Pascal scanner. Where the lines come from (and how a tokenizer is made and
// given its text) is the other half, Tokenizers.cpp, which a revision may replace.
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

String JoinTokenTexts(TKRBaseTokenizer &tokenizer) {
  String result;
  TTokenKind prev = TTokenKind::tkNone;
  for (;;) {
    TTokenKind k = tokenizer.NextToken();
    if (k == TTokenKind::tkNone || k == TTokenKind::tkError)
      break;
    bool word = k == TTokenKind::tkIdent || k == TTokenKind::tkNumber;
    bool prevWord = prev == TTokenKind::tkIdent || prev == TTokenKind::tkNumber;
    if ((word && prevWord) || (k == TTokenKind::tkString && prev == TTokenKind::tkString))
      result.push_back(u' ');
    result.append(tokenizer.Token());
    prev = k;
  }
  return result;
}

// ---- TKRBaseTokenizer ---------------------------------------------------------------------

TTokenKind TKRBaseTokenizer::ReadToken(TTokenKinds skip, bool raiseAtEnd) {
  auto &s = FState;
  s.PrevToken.swap(s.Token);
  s.PrevTokenKind = s.TokenKind;
  s.PrevTokenPos = s.TokenPos;
  skip -= TTokenKinds{TTokenKind::tkNone, TTokenKind::tkError};
  for (;;) {
    s.Token.clear();
    s.TokenKind = TTokenKind::tkNone;
    Integer n = static_cast<Integer>(FLine.size());
    Integer start = s.LinePos;
    while (s.LinePos <= n && FLine[s.LinePos - 1] <= u' ')
      ++s.LinePos;
    if (s.Collecting && s.LinePos > start)
      s.Collected.append(LinePart(start, s.LinePos));
    const bool atEnd = s.LinePos > n && !NextLine(true);
    // Taken before the scanner consumes anything: a token that spans lines keeps its start.
    s.TokenPos = {s.LineNr, s.LinePos};
    if (atEnd)
      break;
    ScanToken();
    if (!skip.Contains(s.TokenKind))
      break;
  }
  if (s.TokenKind == TTokenKind::tkError && !FTolerateErrors)
    throw ETokenError(u"Invalid token", s.TokenPos);
  if (s.TokenKind == TTokenKind::tkNone && raiseAtEnd)
    throw ENoMoreTokens(u"Tokenizer: No more tokens", s.TokenPos);
  return s.TokenKind;
}

void TKRBaseTokenizer::ShortenToken(Integer count) {
  const Integer length = Length(FState.Token);
  KR_ASSERT(count >= 0 && count < length && FState.TokenPos.Line == FState.LineNr &&
            FState.TokenPos.Column + length == FState.LinePos);
  FState.Token.resize(static_cast<std::size_t>(length - count));
  FState.LinePos -= count;
  if (FState.Collecting) {
    KR_ASSERT(FState.Collected.size() >= static_cast<std::size_t>(count));
    FState.Collected.resize(FState.Collected.size() - static_cast<std::size_t>(count));
  }
}

void TKRBaseTokenizer::SetSkipKinds(TTokenKinds kinds) {
  FState.GivenSkipKinds = kinds;
  FState.SkipKinds = kinds - TTokenKinds{TTokenKind::tkNone, TTokenKind::tkError};
}

void TKRBaseTokenizer::StartCollecting() {
  FState.Collected.clear();
  FState.Collecting = true;
}

String TKRBaseTokenizer::StopCollecting() {
  if (!FState.Collecting)
    throw EKRToolsException(u"Illegal use of Mark");
  FState.Collecting = false;
  String r;
  r.swap(FState.Collected);
  return r;
}

String TKRBaseTokenizer::CollectedTextAsLine(bool includeCurrentToken) {
  String text = StopCollecting();
  if (!includeCurrentToken)
    text.resize(text.size() - std::min(text.size(), FState.Token.size()));
  // The lines are joined in place: what is written never passes what is still to be read
  // (each line's blank separator takes the place of the line break before it).
  std::size_t w = 0, i = 0, n = text.size();
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
      if (w > 0)
        text[w++] = u' ';
      if (w != b)
        std::char_traits<Char>::move(&text[w], &text[b], t - b);
      w += t - b;
    }
    i = e + 1;
  }
  text.resize(w);
  return text;
}

void TKRBaseTokenizer::RecordComment(TCommentKind kind) {
  if (!FRecordComments)
    return;
  KR_ASSERT(FState.TokenPos.Line == FState.LineNr);
  const Integer column = FState.TokenPos.Column;
  FState.LastComment.Kind = kind;
  FState.LastComment.Pos = FState.TokenPos;
  bool startsLine = true;
  for (Integer i = 1; i < column && i <= static_cast<Integer>(FLine.size()); ++i)
    if (FLine[i - 1] > u' ') {
      startsLine = false;
      break;
    }
  FState.LastComment.StartsLine = startsLine;
}

// ---- TPascalTokenizer ---------------------------------------------------------------------

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
  if (c == u'"' && FState.DoubleQuotedStrings) {
    ScanDoubleQuotedString();
    return;
  }
  if (c == u'#' || c == u'\'') {
    ScanString();
    return;
  }
  if (c == u'{') {
    SetTokenText(u"{");
    ++FState.LinePos;
    ScanComment(TCommentKind::Brace);
    return;
  }
  if (c == u'&' && FEscapedIdentifiers && HasChar(FState.LinePos + 1) &&
      IsIdentStart(FLine[FState.LinePos])) {
    Integer start = FState.LinePos;
    ++FState.LinePos;
    ScanIdent(start);
    return;
  }
  if (IsIdentStart(c)) {
    ScanIdent(FState.LinePos);
    return;
  }
  // Symbols, possibly two characters long.
  Integer start = FState.LinePos;
  ++FState.LinePos;
  FState.TokenKind = TTokenKind::tkSymbol;
  if (HasChar(FState.LinePos)) {
    Char d = CurChar();
    switch (c) {
    case u'(':
      if (d == u'*') {
        ++FState.LinePos;
        SetTokenText(u"(*");
        ScanComment(TCommentKind::ParenStar);
        return;
      }
      break;
    case u'.':
      if (d == u'.')
        ++FState.LinePos;
      break;
    case u'/':
      if (d == u'/') {
        FState.LinePos = start;
        ScanLineComment();
        return;
      }
      break;
    case u':':
    case u'>':
      if (d == u'=')
        ++FState.LinePos;
      break;
    case u'<':
      if (d == u'=' || d == u'>')
        ++FState.LinePos;
      break;
    default:
      break;
    }
  }
  SetTokenText(LinePart(start, FState.LinePos));
  Collect(FState.Token);
}

void TPascalTokenizer::ScanIdent(Integer start) {
  // A local index: stepping the state's field would store it at every character.
  const std::size_t n = FLine.size();
  std::size_t p = static_cast<std::size_t>(FState.LinePos - 1);
  while (p < n && IsIdentPart(FLine[p]))
    ++p;
  FState.LinePos = static_cast<Integer>(p) + 1;
  SetTokenText(LinePart(start, FState.LinePos));
  FState.TokenKind = TTokenKind::tkIdent;
  Collect(FState.Token);
}

void TPascalTokenizer::ScanLineComment() {
  Integer start = FState.LinePos;
  RecordComment(TCommentKind::LineSlash);
  Integer end = static_cast<Integer>(FLine.size()) + 1;
  if (FCommentTextMode == 1 || FCommentTextMode == 2)
    SetTokenText(LinePart(start, end));
  else
    SetTokenText(u"//");
  Collect(LinePart(start, end));
  FState.LinePos = end;
  FState.TokenKind = TTokenKind::tkComment;
}

void TPascalTokenizer::ScanComment(TCommentKind kind) {
  KR_ASSERT(kind != TCommentKind::LineSlash);
  FState.TokenKind = TTokenKind::tkComment;
  RecordComment(kind);
  if (HasChar(FState.LinePos) && CurChar() == u'$') {
    FState.Token.push_back(u'$');
    ++FState.LinePos;
    FState.TokenKind = TTokenKind::tkDirective;
  }
  Collect(FState.Token);
  bool firstLine = true;
  for (;;) {
    Integer n = static_cast<Integer>(FLine.size());
    Integer p = FState.LinePos;
    Integer end = 0; // position after the closer, 0 when not on this line
    if (kind == TCommentKind::Brace) {
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
    if (FState.TokenKind == TTokenKind::tkDirective || FCommentTextMode == 1 ||
        (FCommentTextMode == 2 && firstLine))
      FState.Token.append(piece);
    Collect(piece);
    if (end) {
      FState.LinePos = end;
      return;
    }
    Integer before = FState.LineNr;
    if (!NextLine(false)) {
      FState.TokenKind = TTokenKind::tkError;
      FState.LinePos = static_cast<Integer>(FLine.size()) + 1;
      return;
    }
    FState.LinePos = 1;
    firstLine = false;
    if (FState.TokenKind == TTokenKind::tkDirective || FCommentTextMode == 1)
      for (Integer i = before; i < FState.LineNr; ++i)
        FState.Token.append(u"\r\n");
  }
}

void TPascalTokenizer::ScanString() {
  KR_ASSERT(CurChar() == u'#' || CurChar() == u'\'');
  Integer n = static_cast<Integer>(FLine.size());
  Integer start = FState.LinePos;
  FState.TokenKind = TTokenKind::tkString;
  while (FState.LinePos <= n) {
    Char c = CurChar();
    if (c == u'#') {
      ++FState.LinePos;
      if (FState.LinePos <= n && CurChar() == u'$') {
        ++FState.LinePos;
        while (FState.LinePos <= n && IsHexDigit(CurChar()))
          ++FState.LinePos;
      } else {
        while (FState.LinePos <= n && IsAsciiDigit(CurChar()))
          ++FState.LinePos;
      }
    } else if (c == u'\'') {
      ++FState.LinePos;
      for (;;) {
        if (FState.LinePos > n) {
          FState.TokenKind = TTokenKind::tkError;
          break;
        }
        if (CurChar() == u'\'') {
          if (FState.LinePos + 1 <= n && FLine[FState.LinePos] == u'\'') {
            FState.LinePos += 2;
            continue;
          }
          ++FState.LinePos;
          break;
        }
        ++FState.LinePos;
      }
      if (FState.TokenKind == TTokenKind::tkError)
        break;
    } else {
      break;
    }
  }
  SetTokenText(LinePart(start, FState.LinePos));
  Collect(FState.Token);
}

void TPascalTokenizer::ScanDoubleQuotedString() {
  KR_ASSERT(CurChar() == u'"');
  Integer n = static_cast<Integer>(FLine.size());
  Integer start = FState.LinePos;
  std::size_t f = FLine.find(u'"', static_cast<std::size_t>(start));
  if (f == StringView::npos) {
    FState.TokenKind = TTokenKind::tkError;
    FState.LinePos = n + 1;
  } else {
    FState.TokenKind = TTokenKind::tkString;
    FState.LinePos = static_cast<Integer>(f) + 2;
  }
  SetTokenText(LinePart(start, FState.LinePos));
  Collect(FState.Token);
}

void TPascalTokenizer::ScanNumber() {
  KR_ASSERT(HasChar(FState.LinePos) && (CurChar() == u'$' || IsAsciiDigit(CurChar())));
  Integer n = static_cast<Integer>(FLine.size());
  Integer start = FState.LinePos;
  if (CurChar() == u'$') {
    ++FState.LinePos;
    while (FState.LinePos <= n && IsHexDigit(CurChar()))
      ++FState.LinePos;
  } else {
    while (FState.LinePos <= n && IsAsciiDigit(CurChar()))
      ++FState.LinePos;
    if (FState.LinePos + 1 <= n && CurChar() == u'.' && IsAsciiDigit(FLine[FState.LinePos])) {
      ++FState.LinePos;
      while (FState.LinePos <= n && IsAsciiDigit(CurChar()))
        ++FState.LinePos;
    }
    if (FState.LinePos <= n && (CurChar() == u'E' || CurChar() == u'e')) {
      ++FState.LinePos;
      if (FState.LinePos <= n && CurChar() == u'-')
        ++FState.LinePos;
      while (FState.LinePos <= n && IsAsciiDigit(CurChar()))
        ++FState.LinePos;
    }
  }
  FState.TokenKind = FNumbersAsNumbers ? TTokenKind::tkNumber : TTokenKind::tkIdent;
  SetTokenText(LinePart(start, FState.LinePos));
  Collect(FState.Token);
}

} // namespace krx
