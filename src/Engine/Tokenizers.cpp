#include "Engine/Tokenizers.h"

#include "Platform/Rtl/Character.h"
#include "Platform/Rtl/Encoding.h"

#include <algorithm>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace krx {

namespace {

// Line starts and lengths are kept in 32 bits.
void CheckTextSize(std::size_t size) {
  if (size > std::numeric_limits<std::uint32_t>::max())
    throw ETokenError(u"Text of 4 G characters or more cannot be read");
}

using TLine = TTokenizerText::TLine;

// Makes room for more lines in `lines`, filled up to `out`; returns where to go on.
[[gnu::noinline]] TLine *GrowLines(TTokenizerText::TLineTable &lines, TLine *out) {
  const std::size_t filled = static_cast<std::size_t>(out - lines.data());
  lines.resize(lines.size() * 2 + 16);
  return lines.data() + filled;
}

// Fills the line table of a text from the positions of its CR and LF characters, given in
// ascending order. TUnit is what the text is read from: its code units, or the bytes it is
// decoded from, where CR and LF are the same values.
template <class TUnit> class TLineSplitter {
public:
  TLineSplitter(TTokenizerText::TLineTable &lines, const TUnit *text, std::size_t size)
      : FLines(lines), FText(text) {
    // Source lines average about 30 code units: with room for lines of 24 the table is
    // seldom grown while it is filled.
    FLines.resize(size / 24 + 4);
    FOut = FLines.data();
    FEnd = FOut + FLines.size();
  }

  // A CR always ends a line, an LF unless it is the second half of CR LF.
  void Break(std::size_t i) {
    if (FText[i] == '\r' || i == 0 || FText[i - 1] != '\r')
      Add(i);
    FStart = i + 1;
  }

#if defined(__SSE2__)
  // The breaks among sixteen units from `at`, given as bytes: no byte other than a CR or LF
  // may have either value.
  void Breaks(std::size_t at, __m128i bytes) {
    auto breaks = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(
        _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r')), _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n')))));
    for (; breaks != 0; breaks &= breaks - 1)
      Break(at + static_cast<std::size_t>(__builtin_ctz(breaks)));
  }
#endif

  void Check(std::size_t i) {
    if (FText[i] == '\r' || FText[i] == '\n')
      Break(i);
  }

  // Adds the last line, when the text does not end with a break, and cuts the table to the
  // lines found.
  void Finish(std::size_t size) {
    if (FStart < size)
      Add(size);
    FLines.resize(static_cast<std::size_t>(FOut - FLines.data()));
  }

private:
  void Add(std::size_t end) {
    if (FOut == FEnd) {
      FOut = GrowLines(FLines, FOut);
      FEnd = FLines.data() + FLines.size();
    }
    *FOut++ = {static_cast<std::uint32_t>(FStart), static_cast<std::uint32_t>(end - FStart)};
  }

  TTokenizerText::TLineTable &FLines;
  const TUnit *FText;
  TLine *FOut;
  TLine *FEnd;
  std::size_t FStart = 0; // of the current line
};

// Fills t.Lines from t.Text, whose size was checked.
void SplitLines(TTokenizerText &t) {
  const Char *s = t.Text.data();
  const std::size_t n = t.Text.size();
  TLineSplitter<Char> lines(t.Lines, s, n);
  std::size_t i = 0;
#if defined(__SSE2__)
  // Sixteen characters at a time, narrowed to bytes with saturation, so that no character
  // above #255 becomes a CR or LF.
  for (; i + 16 <= n; i += 16)
    lines.Breaks(i,
                 _mm_packus_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(s + i)),
                                  _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + i + 8))));
#endif
  for (; i < n; ++i)
    lines.Check(i);
  lines.Finish(n);
}

std::shared_ptr<TTokenizerText> NewTokenizerText(std::unique_ptr<Char[]> storage,
                                                 std::size_t size) {
  auto t = std::make_shared<TTokenizerText>();
  t->Text = StringView(storage.get(), size);
  t->Storage = std::move(storage);
  return t;
}

} // namespace

TTokenizerTextPtr SplitTokenizerText(StringView text) {
  CheckTextSize(text.size());
  auto t = NewTokenizerText(std::unique_ptr<Char[]>(new Char[text.size()]), text.size());
  std::copy(text.begin(), text.end(), t->Storage.get());
  SplitLines(*t);
  return t;
}

TTokenizerTextPtr DecodeAnsiTokenizerText(const Byte *data, std::size_t size) {
  CheckTextSize(size);
  auto t = NewTokenizerText(std::unique_ptr<Char[]>(new Char[size]), size);
  Char *out = t->Storage.get();
  TLineSplitter<Byte> lines(t->Lines, data, size);
  std::size_t i = 0;
#if defined(__SSE2__)
  // Split and decoded in one pass, sixteen bytes at a time: the breaks are found in the bytes
  // (no byte above 0x7F decodes to CR or LF), and runs below 0x80 are zero-extended here.
  const __m128i zero = _mm_setzero_si128();
  for (; i + 16 <= size; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i));
    lines.Breaks(i, v);
    if (_mm_movemask_epi8(v) == 0) {
      _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), _mm_unpacklo_epi8(v, zero));
      _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i + 8), _mm_unpackhi_epi8(v, zero));
    } else {
      DecodeAnsi(data + i, 16, out + i);
    }
  }
#endif
  DecodeAnsi(data + i, size - i, out + i);
  for (; i < size; ++i)
    lines.Check(i);
  lines.Finish(size);
  return t;
}

TTokenizerTextPtr BorrowTokenizerText(StringView text) {
  CheckTextSize(text.size());
  auto t = std::make_shared<TTokenizerText>();
  t->Text = text;
  SplitLines(*t);
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

void TKRBaseTokenizer::SetText(StringView text) { SetSharedText(SplitTokenizerText(text)); }

void TKRBaseTokenizer::SetBorrowedText(StringView text) {
  SetSharedText(BorrowTokenizerText(text));
}

void TKRBaseTokenizer::SetLines(const std::vector<String> &lines) {
  auto t = std::make_shared<TTokenizerText>();
  std::size_t total = 0;
  for (const String &l : lines)
    total += l.size() + 2;
  CheckTextSize(total);
  t->Storage.reset(new Char[total]);
  t->Lines.resize(lines.size());
  Char *p = t->Storage.get();
  TLine *line = t->Lines.data();
  for (const String &l : lines) {
    *line++ = {static_cast<std::uint32_t>(p - t->Storage.get()),
               static_cast<std::uint32_t>(l.size())};
    p = std::copy(l.begin(), l.end(), p);
    *p++ = u'\r';
    *p++ = u'\n';
  }
  t->Text = StringView(t->Storage.get(), total);
  SetSharedText(std::move(t));
}

String TKRBaseTokenizer::GetText() const {
  String r;
  if (!FState.Text)
    return r;
  for (const auto &l : FState.Text->Lines) {
    r.append(FState.Text->Text.substr(l.Start, l.Length));
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
  return FState.Text->Text.substr(l.Start, l.Length);
}

void TKRBaseTokenizer::SyncLine() {
  FLine = FState.LineIndex >= 0 ? LineText(FState.LineIndex + 1) : StringView{};
}

inline bool TKRBaseTokenizer::EnterLine(const TTokenizerText &text, std::size_t index) {
  const TLine l = text.Lines[index];
  const Char *s = text.Text.data() + l.Start;
  std::size_t p = 0;
  while (p < l.Length && s[p] <= u' ')
    ++p;
  FLine = StringView(s, l.Length);
  FState.LineIndex = static_cast<Integer>(index);
  FState.LineNr = static_cast<Integer>(index) + 1;
  FState.LinePos = static_cast<Integer>(p) + 1;
  return p < l.Length;
}

bool TKRBaseTokenizer::NextLine(bool notify) {
  const TTokenizerText *text = FState.Text.get();
  if (!text)
    return false;
  // Collected text and blank-line reports see every line passed; without them, which is most
  // of the time, blank lines are passed here without a call.
  if (FState.Collecting || (notify && OnBlankLine))
    return NextLineReporting(notify);
  const std::size_t count = text->Lines.size();
  for (auto i = static_cast<std::size_t>(FState.LineNr); i < count; ++i)
    if (EnterLine(*text, i))
      return true;
  return false;
}

bool TKRBaseTokenizer::NextLineReporting(bool notify) {
  for (;;) {
    // The handler may have given the tokenizer another text.
    const TTokenizerText *text = FState.Text.get();
    if (!text || static_cast<std::size_t>(FState.LineNr) >= text->Lines.size())
      return false;
    const bool content = EnterLine(*text, static_cast<std::size_t>(FState.LineNr));
    if (FState.Collecting)
      FState.Collected.append(u"\r\n");
    if (content)
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
  FCommentTextMode = TCommentTextMode::Whole;
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
