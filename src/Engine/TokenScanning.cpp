// The scanning half of the tokenizers, which every revision shares: token kind names, the
// language switches, reading the next token over the current line, the text mark, the comment
// record and the Pascal scanner. Where the lines come from (and how a tokenizer is made and
// given its text) is the other half, Tokenizers.cpp, which a revision may replace.
#include "Engine/Tokenizers.h"

#include "Platform/Rtl/Character.h"

#include <array>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace krx {

namespace {

bool GEscapedIdentifiers = false;
bool GGenericNames = false;

bool IsAsciiDigit(Char c) { return c >= u'0' && c <= u'9'; }

bool IsHexDigit(Char c) {
  return IsAsciiDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// How a token starting with a character is scanned.
enum class TStartClass : Byte { Symbol, Ident, Number, String, DoubleQuote, Brace, Ampersand };

// The start class and identifier characters; ASCII through tables, the rest through the
// Unicode tables.
struct TCharTables {
  std::array<TStartClass, 128> Start{};
  std::array<Byte, 128> Part{};
  constexpr TCharTables() {
    for (int c = 0; c < 128; ++c) {
      bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
      bool digit = c >= '0' && c <= '9';
      Start[c] = letter ? TStartClass::Ident : digit ? TStartClass::Number : TStartClass::Symbol;
      Part[c] = letter || digit;
    }
    Start['$'] = TStartClass::Number;
    Start['#'] = TStartClass::String;
    Start['\''] = TStartClass::String;
    Start['"'] = TStartClass::DoubleQuote;
    Start['{'] = TStartClass::Brace;
    Start['&'] = TStartClass::Ampersand;
  }
};
constexpr TCharTables kChars;

TStartClass StartClass(Char c) {
  if (c < 128)
    return kChars.Start[c];
  return IsLetter(c) ? TStartClass::Ident : TStartClass::Symbol;
}
// The index of the first `c` in `s` from `from` on, or npos; eight characters at a time
// (SSE2), since comments and strings run long.
std::size_t FindChar(StringView s, std::size_t from, Char c) {
  const std::size_t n = s.size();
#if defined(__SSE2__)
  const __m128i needle = _mm_set1_epi16(static_cast<short>(c));
  for (; from + 8 <= n; from += 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s.data() + from));
    const unsigned hit = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(v, needle)));
    if (hit != 0)
      return from + static_cast<std::size_t>(__builtin_ctz(hit)) / 2;
  }
#endif
  for (; from < n; ++from)
    if (s[from] == c)
      return from;
  return StringView::npos;
}

// The first CR or LF of s at or after `from`, or npos.
std::size_t FindLineBreak(StringView s, std::size_t from) {
  const std::size_t n = s.size();
#if defined(__SSE2__)
  const __m128i cr = _mm_set1_epi16(u'\r'), lf = _mm_set1_epi16(u'\n');
  for (; from + 8 <= n; from += 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s.data() + from));
    const unsigned hit = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(v, cr), _mm_cmpeq_epi16(v, lf))));
    if (hit != 0)
      return from + static_cast<std::size_t>(__builtin_ctz(hit)) / 2;
  }
#endif
  for (; from < n; ++from)
    if (s[from] == u'\r' || s[from] == u'\n')
      return from;
  return StringView::npos;
}

bool IsIdentStart(Char c) { return c < 128 ? kChars.Start[c] == TStartClass::Ident : IsLetter(c); }
bool IsIdentPart(Char c) { return c < 128 ? kChars.Part[c] != 0 : IsLetterOrDigit(c); }

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
    result.append(tokenizer.TokenText());
    prev = k;
  }
  return result;
}

// ---- TKRBaseTokenizer ---------------------------------------------------------------------

template <class TScan>
inline TTokenKind TKRBaseTokenizer::ReadTokenWith(TTokenKinds skip, bool raiseAtEnd,
                                                  TScan scan) {
  auto &s = FState;
  ShiftToken();
  skip -= TTokenKinds{TTokenKind::tkNone, TTokenKind::tkError};
  for (;;) {
    // A local index: stepping the state's field would store it at every character.
    const std::size_t n = FLine.size();
    const std::size_t start = static_cast<std::size_t>(s.LinePos - 1);
    std::size_t p = start;
    while (p < n && FLine[p] <= u' ')
      ++p;
    s.LinePos = static_cast<Integer>(p) + 1;
    if (s.Collecting && p > start)
      s.Collected.append(FLine.substr(start, p - start));
    const bool atEnd = p >= n && !NextLine(true);
    // Taken before the scanner consumes anything: a token that spans lines keeps its start.
    s.TokenPos = {s.LineNr, s.LinePos};
    if (atEnd) {
      ClearTokenText();
      s.TokenKind = TTokenKind::tkNone;
      break;
    }
    // Every scanner sets the token's kind and text.
    scan();
    if (!skip.Contains(s.TokenKind))
      break;
  }
  if (s.TokenKind == TTokenKind::tkError && !FTolerateErrors)
    throw ETokenError(u"Invalid token", s.TokenPos);
  if (s.TokenKind == TTokenKind::tkNone && raiseAtEnd)
    throw ENoMoreTokens(u"Tokenizer: No more tokens", s.TokenPos);
  return s.TokenKind;
}

TTokenKind TKRBaseTokenizer::ReadToken(TTokenKinds skip, bool raiseAtEnd) {
  return ReadTokenWith(skip, raiseAtEnd, [this] { ScanToken(); });
}

void TKRBaseTokenizer::ShortenToken(Integer count) {
  const Integer length = static_cast<Integer>(TokenText().size());
  KR_ASSERT(count >= 0 && count < length && FState.TokenPos.Line == FState.LineNr &&
            FState.TokenPos.Column + length == FState.LinePos);
  FState.LinePos -= count;
  // The token lies within the current line, so its shorter text is a slice of it too.
  ClearTokenText();
  SetTokenText(LinePart(FState.TokenPos.Column, FState.LinePos));
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

// The collected text is handed out as a copy and its buffer kept: the next collection then
// appends without growing a new string piece by piece.
String TKRBaseTokenizer::StopCollecting() {
  if (!FState.Collecting)
    throw EKRToolsException(u"Illegal use of Mark");
  FState.Collecting = false;
  String r(FState.Collected);
  FState.Collected.clear();
  return r;
}

String TKRBaseTokenizer::CollectedTextAsLine(bool includeCurrentToken) {
  if (!FState.Collecting)
    throw EKRToolsException(u"Illegal use of Mark");
  FState.Collecting = false;
  StringView text = FState.Collected;
  if (!includeCurrentToken)
    text.remove_suffix(std::min(text.size(), TokenText().size()));
  // Each line trimmed, the lines that keep any text joined by one blank.
  String line;
  const std::size_t n = text.size();
  for (std::size_t i = 0;;) {
    std::size_t e = FindLineBreak(text, i);
    if (e == StringView::npos)
      e = n;
    std::size_t b = i;
    while (b < e && text[b] >= 1 && text[b] <= u' ')
      ++b;
    std::size_t t = e;
    while (t > b && text[t - 1] <= u' ')
      --t;
    if (t > b) {
      if (!line.empty())
        line += u' ';
      line.append(text.substr(b, t - b));
    }
    if (e >= n)
      break;
    i = e + 1;
  }
  FState.Collected.clear();
  return line;
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

void TPascalTokenizer::ScanToken() { ScanPascalToken(); }

TTokenKind TPascalTokenizer::ReadPascalToken(TTokenKinds skip, bool raiseAtEnd) {
  return ReadTokenWith(skip, raiseAtEnd, [this] { ScanPascalToken(); });
}

inline void TPascalTokenizer::ScanPascalToken() {
  Char c = CurChar();
  switch (StartClass(c)) {
  case TStartClass::Ident:
    ScanIdent(FState.LinePos);
    return;
  case TStartClass::Number:
    ScanNumber();
    return;
  case TStartClass::String:
    ScanString();
    return;
  case TStartClass::Brace:
    ++FState.LinePos;
    ScanComment(TCommentKind::Brace);
    return;
  case TStartClass::DoubleQuote:
    if (FState.DoubleQuotedStrings) {
      ScanDoubleQuotedString();
      return;
    }
    break;
  case TStartClass::Ampersand:
    if (FEscapedIdentifiers && HasChar(FState.LinePos + 1) && IsIdentStart(FLine[FState.LinePos])) {
      Integer start = FState.LinePos;
      ++FState.LinePos;
      ScanIdent(start);
      return;
    }
    break;
  case TStartClass::Symbol:
    break;
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
  Collect(TokenText());
}

void TPascalTokenizer::ScanIdent(Integer start) {
  // A local index: stepping the state's field would store it at every character.
  const std::size_t n = FLine.size();
  std::size_t p = static_cast<std::size_t>(FState.LinePos - 1);
#if defined(__SSE2__)
  // Eight characters at a time while they are ASCII letters, digits or "_" (a value minus
  // the range's first character, saturated minus its width less one, is zero exactly inside
  // it; or-ing 0x20 folds upper-case letters to lower case). Most identifiers end within the
  // first eight; a character above ASCII leaves the rest to the loop below.
  while (p + 8 <= n) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(FLine.data() + p));
    const __m128i zero = _mm_setzero_si128();
    const __m128i lower = _mm_or_si128(v, _mm_set1_epi16(0x20));
    const __m128i letter = _mm_cmpeq_epi16(
        _mm_subs_epu16(_mm_sub_epi16(lower, _mm_set1_epi16(u'a')), _mm_set1_epi16(25)), zero);
    const __m128i digit = _mm_cmpeq_epi16(
        _mm_subs_epu16(_mm_sub_epi16(v, _mm_set1_epi16(u'0')), _mm_set1_epi16(9)), zero);
    const __m128i under = _mm_cmpeq_epi16(v, _mm_set1_epi16(u'_'));
    const unsigned part = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_or_si128(letter, digit), under)));
    if (part != 0xFFFF) {
      p += static_cast<std::size_t>(__builtin_ctz(~part)) / 2;
      break;
    }
    p += 8;
  }
#endif
  while (p < n && IsIdentPart(FLine[p]))
    ++p;
  FState.LinePos = static_cast<Integer>(p) + 1;
  SetTokenText(LinePart(start, FState.LinePos));
  FState.TokenKind = TTokenKind::tkIdent;
  Collect(TokenText());
}

void TPascalTokenizer::ScanLineComment() {
  Integer start = FState.LinePos;
  RecordComment(TCommentKind::LineSlash);
  Integer end = static_cast<Integer>(FLine.size()) + 1;
  SetTokenText(LinePart(start, FCommentTextMode != TCommentTextMode::Opener ? end : start + 2));
  Collect(LinePart(start, end));
  FState.LinePos = end;
  FState.TokenKind = TTokenKind::tkComment;
}

void TPascalTokenizer::ScanComment(TCommentKind kind) {
  KR_ASSERT(kind != TCommentKind::LineSlash);
  // Called behind the opener, which starts where the token does.
  const Integer start = FState.TokenPos.Column;
  FState.TokenKind = TTokenKind::tkComment;
  RecordComment(kind);
  if (HasChar(FState.LinePos) && CurChar() == u'$') {
    ++FState.LinePos;
    FState.TokenKind = TTokenKind::tkDirective;
  }
  // Up to here the text is the opener (and "$"); the first line's piece follows it at once,
  // so the text of the first line is one slice from the opener on.
  SetTokenText(LinePart(start, FState.LinePos));
  const bool whole =
      FState.TokenKind == TTokenKind::tkDirective || FCommentTextMode == TCommentTextMode::Whole;
  const bool firstLineText = whole || FCommentTextMode == TCommentTextMode::FirstLine;
  bool firstLine = true;
  for (;;) {
    Integer n = static_cast<Integer>(FLine.size());
    Integer p = FState.LinePos;
    Integer end = 0; // position after the closer, 0 when not on this line
    if (kind == TCommentKind::Brace) {
      std::size_t f = FindChar(FLine, static_cast<std::size_t>(p - 1), u'}');
      if (f != StringView::npos)
        end = static_cast<Integer>(f) + 2;
    } else {
      std::size_t from = static_cast<std::size_t>(p - 1);
      while (from < FLine.size()) {
        std::size_t f = FindChar(FLine, from, u'*');
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
    if (firstLine) {
      if (firstLineText)
        SetTokenText(LinePart(start, pieceEnd));
      Collect(LinePart(start, pieceEnd));
    } else {
      StringView piece = p <= pieceEnd ? LinePart(p, pieceEnd) : StringView{};
      if (whole)
        AppendTokenText(piece);
      Collect(piece);
    }
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
    if (whole)
      for (Integer i = before; i < FState.LineNr; ++i)
        AppendTokenText(u"\r\n");
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
  Collect(TokenText());
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
  Collect(TokenText());
}

void TPascalTokenizer::ScanNumber() {
  KR_ASSERT(HasChar(FState.LinePos) && (CurChar() == u'$' || IsAsciiDigit(CurChar())));
  // A local index: stepping the state's field would store it at every character.
  const std::size_t n = FLine.size();
  const Integer start = FState.LinePos;
  std::size_t p = static_cast<std::size_t>(start - 1);
  const auto digits = [&] {
    while (p < n && IsAsciiDigit(FLine[p]))
      ++p;
  };
  if (FLine[p] == u'$') {
    ++p;
    while (p < n && IsHexDigit(FLine[p]))
      ++p;
  } else {
    digits();
    if (p + 1 < n && FLine[p] == u'.' && IsAsciiDigit(FLine[p + 1])) {
      ++p;
      digits();
    }
    if (p < n && (FLine[p] == u'E' || FLine[p] == u'e')) {
      ++p;
      if (p < n && FLine[p] == u'-')
        ++p;
      digits();
    }
  }
  FState.LinePos = static_cast<Integer>(p) + 1;
  FState.TokenKind = FNumbersAsNumbers ? TTokenKind::tkNumber : TTokenKind::tkIdent;
  SetTokenText(LinePart(start, FState.LinePos));
  Collect(TokenText());
}

} // namespace krx
