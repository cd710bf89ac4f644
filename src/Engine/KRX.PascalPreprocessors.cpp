#include "Engine/KRX.PascalPreprocessors.h"

#include "Engine/KRX.BoolExpEval.h"
#include "Platform/Rtl/Character.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace krx {

namespace {

struct TVersionInfo {
  const Char *Name;
  const Char *Symbol;
  double Number;
};

constexpr TVersionInfo kVersions[] = {
#define KRX_X(name, symbol, number) {u"" #name, symbol, number},
    KRX_COMPILER_VERSIONS(KRX_X)
#undef KRX_X
};

const TVersionInfo &VersionInfo(TCompilerVersion v) {
  KR_ASSERT(static_cast<std::size_t>(v) < std::size(kVersions));
  return kVersions[v];
}

// Symbols that every build of the add-in defines.
constexpr StringView kPlatformSymbols[] = {
    u"MSWINDOWS", u"WIN32", u"CPU386", u"CONDITIONALEXPRESSIONS", u"UNICODE", u"KRX"};

// Asked at every $ENDIF and $IFEND, so the context keeps whether it is defined.
constexpr StringView kLegacyIfEnd = u"LEGACYIFEND";

// Long switch names by letter; empty where the letter has none.
constexpr const Char *kLongSwitchNames[26] = {u"ALIGN",
                                              u"BOOLEVAL",
                                              u"ASSERTIONS",
                                              u"DEBUGINFO",
                                              u"",
                                              u"",
                                              u"IMPORTEDDATA",
                                              u"LONGSTRINGS",
                                              u"IOCHECKS",
                                              u"WRITEABLECONST",
                                              u"",
                                              u"LOCALSYMBOLS",
                                              u"TYPEINFO",
                                              u"",
                                              u"OPTIMIZATION",
                                              u"OPENSTRINGS",
                                              u"OVERFLOWCHECKS",
                                              u"RANGECHECKS",
                                              u"",
                                              u"TYPEDADDRESS",
                                              u"SAFEDIVIDE",
                                              u"VARSTRINGCHECKS",
                                              u"STACKFRAMES",
                                              u"EXTENDEDSYNTAX",
                                              u"REFERENCEINFO",
                                              u"MINENUMSIZE"};

std::size_t SwitchIndex(Char letter) {
  KR_ASSERT(letter >= u'A' && letter <= u'Z');
  return static_cast<std::size_t>(letter - u'A');
}

std::vector<String> SplitList(StringView text) {
  std::vector<String> r;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t e = text.find(u';', start);
    if (e == StringView::npos)
      e = text.size();
    String item(text.substr(start, e - start));
    if (!Trim(item).empty())
      r.push_back(std::move(item));
    start = e + 1;
  }
  return r;
}

template <class TList> String JoinList(const TList &items) {
  String r;
  bool first = true;
  for (const String &s : items) {
    if (!first)
      r.push_back(u';');
    first = false;
    r.append(s);
  }
  return r;
}

// Orders define names as AnsiCompareText does, folding ASCII letters in place: the names
// are looked up at every $IFDEF, and they are nearly always ASCII.
int CompareDefineNames(StringView a, StringView b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    Char x = a[i], y = b[i];
    if (x == y)
      continue;
    x = x < 0x80 ? ((x >= u'A' && x <= u'Z') ? Char(x + 32) : x) : FoldChar(x);
    y = y < 0x80 ? ((y >= u'A' && y <= u'Z') ? Char(y + 32) : y) : FoldChar(y);
    if (x != y)
      return x < y ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

Char UpperAscii(Char c) { return (c >= u'a' && c <= u'z') ? Char(c - 32) : c; }

// SameText for ASCII symbols, without a call.
bool SameAsciiText(StringView a, StringView b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (UpperAscii(a[i]) != UpperAscii(b[i]))
      return false;
  return true;
}

bool IsAsciiIdentStart(Char c) {
  return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_';
}
bool IsAsciiIdentPart(Char c) { return IsAsciiIdentStart(c) || (c >= u'0' && c <= u'9'); }

bool IsHexDigit(Char c) {
  return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

bool MayStartCommentOrString(Char c) {
  return c == u'{' || c == u'(' || c == u'/' || c == u'\'' || c == u'#' || c == u'"';
}

// The index of the first character at or after `pos` that may start a comment, a string or
// a line comment, or the line's length. Inactive text is mostly plain code: where SSE2 is
// there it is passed eight characters at a time, one comparison per character that matters.
std::size_t NextCommentOrString(StringView s, std::size_t pos) {
#if defined(__SSE2__)
  const auto same = [](__m128i v, Char c) { return _mm_cmpeq_epi16(v, _mm_set1_epi16(c)); };
  for (; pos + 8 <= s.size(); pos += 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s.data() + pos));
    const __m128i hit = _mm_or_si128(
        _mm_or_si128(_mm_or_si128(same(v, u'{'), same(v, u'(')), _mm_or_si128(same(v, u'/'), same(v, u'\''))),
        _mm_or_si128(same(v, u'#'), same(v, u'"')));
    const int mask = _mm_movemask_epi8(hit);
    if (mask != 0)
      return pos + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask))) / 2;
  }
#endif
  while (pos < s.size() && !MayStartCommentOrString(s[pos]))
    ++pos;
  return pos;
}

// Moves `pos` over the string token that starts there ('text', #13, #$0D and runs of them)
// as the scanner reads it; false when a quoted part does not end on the line.
bool SkipString(StringView s, std::size_t &pos) {
  const std::size_t n = s.size();
  while (pos < n) {
    if (s[pos] == u'#') {
      ++pos;
      const bool hex = pos < n && s[pos] == u'$';
      if (hex)
        ++pos;
      while (pos < n && (hex ? IsHexDigit(s[pos]) : (s[pos] >= u'0' && s[pos] <= u'9')))
        ++pos;
    } else if (s[pos] == u'\'') {
      ++pos;
      for (;;) {
        if (pos >= n)
          return false;
        if (s[pos] == u'\'') {
          if (pos + 1 < n && s[pos + 1] == u'\'') {
            pos += 2;
            continue;
          }
          ++pos;
          break;
        }
        ++pos;
      }
    } else {
      break;
    }
  }
  return true;
}

} // namespace

bool TDefineNameLess::operator()(StringView a, StringView b) const {
  return CompareDefineNames(a, b) < 0;
}

String CompilerVersionName(TCompilerVersion v) { return VersionInfo(v).Name; }
String CompilerVersionSymbol(TCompilerVersion v) { return VersionInfo(v).Symbol; }
double CompilerVersionNumber(TCompilerVersion v) { return VersionInfo(v).Number; }

// ---- TCompilerContext ---------------------------------------------------------------------

TCompilerContext::TCompilerContext() { ResetSwitches(); }

void TCompilerContext::Assign(const TCompilerContext &source) {
  if (&source == this)
    return;
  FDefines = source.FDefines;
  FLegacyIfEnd = source.FLegacyIfEnd;
  FSwitches = source.FSwitches;
  FCompilerVersion = source.FCompilerVersion;
  FIfExpressions = source.FIfExpressions;
}

void TCompilerContext::ResetSwitches() {
  for (Char c = u'A'; c <= u'Z'; ++c)
    FSwitches[SwitchIndex(c)] = CharInSet(c, u"CDGHILNOPVX") ? 1 : 0;
  FSwitches[SwitchIndex(u'A')] = 8;
  FSwitches[SwitchIndex(u'Y')] = 68;
  FSwitches[SwitchIndex(u'Z')] = 1;
}

Byte TCompilerContext::Switch(Char letter) const { return FSwitches[SwitchIndex(letter)]; }
void TCompilerContext::SetSwitch(Char letter, Byte value) {
  FSwitches[SwitchIndex(letter)] = value;
}

String TCompilerContext::SwitchText(Char letter) const {
  Byte v = Switch(letter);
  String r(1, letter);
  if (letter == u'A' || letter == u'Z')
    r += IntToStr(v);
  else if (letter == u'Y' && v > 1)
    r += u'D';
  else
    r += v ? u'+' : u'-';
  return r;
}

String TCompilerContext::CompilerSwitches() const {
  String r = u"{$";
  for (Char c = u'A'; c <= u'Z'; ++c) {
    if (c != u'A')
      r += u',';
    r += SwitchText(c);
  }
  r += u'}';
  return r;
}

void TCompilerContext::SetCompilerSwitches(StringView text) {
  TPascalPreprocessor pp;
  pp.SetText(text);
  KR_ASSERT(pp.NextToken() == TTokenKind::tkDirective);
  FSwitches = pp.CompilerContext().FSwitches;
}

bool TCompilerContext::IsDefined(StringView name) const {
  if (FDefines.find(name) != FDefines.end())
    return true;
  for (StringView s : kPlatformSymbols)
    if (SameAsciiText(name, s))
      return true;
  return StartsStr(u"VER", name) && name == StringView(VersionInfo(FCompilerVersion).Symbol);
}

void TCompilerContext::SetDefine(StringView name, bool on) {
  const auto it = FDefines.lower_bound(name);
  const bool present = it != FDefines.end() && CompareDefineNames(*it, name) == 0;
  if (on && !present)
    FDefines.emplace_hint(it, name);
  else if (!on && present)
    FDefines.erase(it);
  if (CompareDefineNames(name, kLegacyIfEnd) == 0)
    FLegacyIfEnd = on;
}

String TCompilerContext::Defines() const { return JoinList(FDefines); }

void TCompilerContext::SetDefines(StringView text) {
  FDefines.clear();
  FLegacyIfEnd = false;
  for (String &s : SplitList(text))
    SetDefine(s, true);
}

String TCompilerContext::IfExpressions() const { return JoinList(FIfExpressions); }
void TCompilerContext::SetIfExpressions(StringView text) { FIfExpressions = SplitList(text); }

bool TCompilerContext::EvaluateCondition(StringView expression) const {
  for (const String &e : FIfExpressions)
    if (AnsiSameText(e, expression))
      return true;
  TPascalTokenizer t(expression);
  t.SetNumbersAsNumbers(true);
  t.SetTolerateErrors(true);
  if (t.NextToken() != TTokenKind::tkIdent)
    return false;
  String ident = t.Token();
  if (t.NextToken() != TTokenKind::tkSymbol)
    return false;
  String op = t.Token();
  static constexpr const Char *kOps[] = {u"<", u"<=", u"=", u"<>", u">", u">="};
  if (std::none_of(std::begin(kOps), std::end(kOps), [&](const Char *o) { return op == o; }))
    return false;
  if (t.NextToken() != TTokenKind::tkNumber)
    return false;
  if (!SameText(ident, u"CompilerVersion") && !SameText(ident, u"RTLVersion"))
    return false;
  double number = 0;
  if (!TryStrToFloat(t.Token(), number))
    number = 0;
  if (number == 0)
    return false;
  double version = VersionInfo(FCompilerVersion).Number;
  if (op == u"<")
    return version < number;
  if (op == u"<=")
    return version <= number;
  if (op == u"=")
    return version == number;
  if (op == u"<>")
    return version != number;
  if (op == u">")
    return version > number;
  return version >= number;
}

// ---- TPreprocessedPascalTokenizer ---------------------------------------------------------

bool ReadPlainDirectiveWord(StringView body, std::size_t &pos, StringView &word) {
  std::size_t i = pos;
  const std::size_t n = body.size();
  while (i < n && body[i] <= u' ')
    ++i;
  if (i == n || !IsAsciiIdentStart(body[i]))
    return false;
  const std::size_t start = i;
  while (i < n && IsAsciiIdentPart(body[i]))
    ++i;
  // The tokenizer would read on through a letter or digit beyond ASCII.
  if (i < n && body[i] >= 0x80)
    return false;
  word = body.substr(start, i - start);
  pos = i;
  return true;
}

// The directive words that NamedDirective acts on.
enum class TPreprocessedPascalTokenizer::TDirectiveWord : Byte {
  Other,
  EndIf,
  IfEnd,
  Else,
  ElseIf,
  IfDef,
  IfNDef,
  IfOpt,
  If,
  Define,
  Undef,
  Include,
  LongSwitch // $ALIGN, $BOOLEVAL ... (kLongSwitchNames)
};

TPreprocessedPascalTokenizer::TDirectiveWord
TPreprocessedPascalTokenizer::DirectiveWordOf(StringView word) {
  struct TEntry {
    StringView Text;
    TDirectiveWord Word;
  };
  // The words by first letter: a word is compared with the few that start like it.
  using TByLetter = std::array<std::vector<TEntry>, 26>;
  static const TByLetter kWords = [] {
    static constexpr TEntry kNamed[] = {
        {u"ENDIF", TDirectiveWord::EndIf},   {u"IFEND", TDirectiveWord::IfEnd},
        {u"ELSE", TDirectiveWord::Else},     {u"ELSEIF", TDirectiveWord::ElseIf},
        {u"IFDEF", TDirectiveWord::IfDef},   {u"IFNDEF", TDirectiveWord::IfNDef},
        {u"IFOPT", TDirectiveWord::IfOpt},   {u"IF", TDirectiveWord::If},
        {u"DEFINE", TDirectiveWord::Define}, {u"UNDEF", TDirectiveWord::Undef},
        {u"INCLUDE", TDirectiveWord::Include}, {u"I", TDirectiveWord::Include}};
    TByLetter r;
    for (const TEntry &e : kNamed)
      r[SwitchIndex(e.Text[0])].push_back(e);
    for (const Char *w : kLongSwitchNames)
      if (w[0])
        r[SwitchIndex(w[0])].push_back({w, TDirectiveWord::LongSwitch});
    return r;
  }();
  const Char first = word.empty() ? Char(0) : UpperAscii(word[0]);
  if (first < u'A' || first > u'Z')
    return TDirectiveWord::Other;
  for (const TEntry &e : kWords[SwitchIndex(first)])
    if (SameAsciiText(word, e.Text))
      return e.Word;
  return TDirectiveWord::Other;
}

TPreprocessedPascalTokenizer::TPreprocessedPascalTokenizer() : TPascalTokenizer() {}

TTokenKind TPreprocessedPascalTokenizer::ReadOn(bool read, TTokenKind k) {
  if (!FEvaluateConditions)
    return TPascalTokenizer::NextToken();
  // Directives are always scanned, whatever the skip set, so that no conditional goes
  // unseen; the skip set and the end-of-text exception are applied here instead, the latter
  // only at the end of the main text, not of an include file.
  for (;; read = false) {
    const TTokenKinds callerSkip = EffectiveSkipKinds();
    if (!read) {
      if (!Active())
        SkipInactiveText();
      k = ReadPascalToken(callerSkip - TTokenKinds{TTokenKind::tkDirective}, false);
    }
    if (k == TTokenKind::tkNone) {
      if (!FIncludeStack.empty()) {
        EndIncludeFile();
        continue;
      }
      if (RaiseAtEnd())
        throw ENoMoreTokens(u"Tokenizer: No more tokens", TokenPos());
      return k;
    }
    if (k == TTokenKind::tkDirective) {
      if (ProcessDirective())
        continue;
      if (Active() && !callerSkip.Contains(TTokenKind::tkDirective))
        return k;
      continue;
    }
    if (Active())
      return k;
  }
}

// Moves over inactive text up to the next directive without making tokens of it: an
// inactive branch is read only to find where it ends. What matters for that is followed as
// the scanner follows it: comments (a directive is a comment starting with "$"), strings and
// line comments; everything else is passed character by character. The scanner takes over
// at the directive. Where a comment or string does not end, it takes over at the last comment
// passed (so that it is recorded as the last one) or else at that token, and reads and
// reports it as always. Where the text ends first nothing is passed, so that the last token
// and comment of the text are the scanner's own. Not used while text is collected or blank
// lines are reported, which see every character and line.
void TPreprocessedPascalTokenizer::SkipInactiveText() {
  const TTokenizerText *text = FState.Text.get();
  if (!text || text == FNoDirectiveAhead || FState.Collecting || OnBlankLine ||
      FState.LineIndex < 0)
    return;
  const Integer lines = LineCount();
  Integer line = FState.LineIndex;
  StringView s = FLine;
  std::size_t pos = static_cast<std::size_t>(FState.LinePos - 1);
  Integer commentLine = -1; // where the last comment passed starts
  std::size_t commentPos = 0;
  const auto nextLine = [&] {
    if (line + 1 >= lines)
      return false;
    ++line;
    s = LineText(line + 1);
    pos = 0;
    return true;
  };
  const auto takeOver = [&](Integer atLine, std::size_t at) {
    if (atLine != FState.LineIndex) {
      // That line is not blank: the scanner takes over at a character of it.
      FState.LineNr = atLine;
      NextLine(false);
    }
    FState.LinePos = static_cast<Integer>(at) + 1;
  };
  const auto unended = [&](Integer atLine, std::size_t at) {
    if (commentLine >= 0)
      takeOver(commentLine, commentPos);
    else
      takeOver(atLine, at);
  };
  for (;;) {
    pos = NextCommentOrString(s, pos);
    if (pos >= s.size()) {
      if (!nextLine()) {
        FNoDirectiveAhead = text;
        return;
      }
      continue;
    }
    const Char c = s[pos];
    const Char next = pos + 1 < s.size() ? s[pos + 1] : Char(0);
    if (c == u'{' || (c == u'(' && next == u'*')) {
      const bool brace = c == u'{';
      const std::size_t open = brace ? 1 : 2;
      if (pos + open < s.size() && s[pos + open] == u'$') {
        takeOver(line, pos);
        return;
      }
      const Integer startLine = line;
      const std::size_t start = pos;
      commentLine = line;
      commentPos = pos;
      pos += open;
      for (;;) {
        std::size_t end = StringView::npos;
        if (brace) {
          const std::size_t f = s.find(u'}', pos);
          if (f != StringView::npos)
            end = f + 1;
        } else {
          for (std::size_t from = pos; from < s.size();) {
            const std::size_t f = s.find(u'*', from);
            if (f == StringView::npos)
              break;
            if (f + 1 < s.size() && s[f + 1] == u')') {
              end = f + 2;
              break;
            }
            from = f + 1;
          }
        }
        if (end != StringView::npos) {
          pos = end;
          break;
        }
        if (!nextLine()) {
          unended(startLine, start);
          return;
        }
      }
    } else if (c == u'/' && next == u'/') {
      commentLine = line;
      commentPos = pos;
      pos = s.size();
    } else if (c == u'\'' || c == u'#') {
      const std::size_t start = pos;
      if (!SkipString(s, pos)) {
        unended(line, start);
        return;
      }
    } else if (c == u'"' && FState.DoubleQuotedStrings) {
      unended(line, pos);
      return;
    } else {
      ++pos;
    }
  }
}

bool TPreprocessedPascalTokenizer::ProcessDirective() {
  // A view of the token: an include (the last thing a directive does) replaces the token.
  StringView body;
  const StringView token = TokenText();
  if (token.size() >= 2 && token[0] == u'{' && token[1] == u'$')
    body = token.substr(2, token.size() - 3);
  else if (token.size() >= 5 && token.substr(0, 3) == u"(*$")
    body = token.substr(3, token.size() - 5);
  if (body.size() <= 1)
    return false;
  // A switch list: parts split at ",", empty parts dropped, applied up to the first part
  // that is no switch. It still goes to the caller. A switch is read from the first two
  // characters of its part, so that the next comma is looked for only behind a switch.
  const std::size_t n = body.size();
  std::size_t start = 0;
  bool first = true;
  while (start < n) {
    if (body[start] == u',') {
      ++start;
      continue;
    }
    const bool twoChars = start + 1 < n && body[start + 1] != u',';
    if (!twoChars || !ParseSwitch(body[start], body[start + 1], Active())) {
      if (first)
        return NamedDirective(body);
      break;
    }
    first = false;
    const std::size_t e = body.find(u',', start + 2);
    if (e == StringView::npos)
      break;
    start = e + 1;
  }
  return false;
}

bool TPreprocessedPascalTokenizer::ParseSwitch(Char first, Char second, bool apply) {
  const Char letter = UpperAscii(first), c = UpperAscii(second);
  if (letter < u'A' || letter > u'Z')
    return false;
  Byte value;
  if (letter == u'A') {
    if (c == u'+' || c == u'8')
      value = 8;
    else if (c == u'-' || c == u'1')
      value = 1;
    else if (c == u'2')
      value = 2;
    else if (c == u'4')
      value = 4;
    else
      return false;
  } else if (letter == u'Z') {
    if (c == u'+' || c == u'4')
      value = 4;
    else if (c == u'-' || c == u'1')
      value = 1;
    else if (c == u'2')
      value = 2;
    else
      return false;
  } else if (c == u'+') {
    value = 1;
  } else if (c == u'-') {
    value = 0;
  } else if (letter == u'Y') {
    value = c == u'D' ? 68 : FContext.Switch(u'Y');
  } else {
    return false;
  }
  if (apply)
    FContext.SetSwitch(letter, value);
  return true;
}

// Most directives are a plain word and at most a plain name ({$ENDIF}, {$IFDEF FPC},
// {$DEFINE X}, {$I name.inc}, {$MODE OBJFPC}), read here straight from the body. What takes
// an expression or a switch argument, and a word or name that is not plain ASCII, is left to
// the tokenizer-based reading, which gives the same results for the plain forms.
bool TPreprocessedPascalTokenizer::NamedDirective(StringView body) {
  if (body.size() <= 2)
    return false;
  std::size_t pos = 0;
  StringView text;
  if (!ReadPlainDirectiveWord(body, pos, text))
    return NamedDirectiveByTokens(body);
  const TDirectiveWord word = DirectiveWordOf(text);
  switch (word) {
  case TDirectiveWord::Other:
    return false;
  case TDirectiveWord::IfDef:
  case TDirectiveWord::IfNDef:
  case TDirectiveWord::Define:
  case TDirectiveWord::Undef:
    // The name in upper case, as the tokenizer-based reading gives it.
    if (!ReadPlainDirectiveWord(body, pos, text))
      return NamedDirectiveByTokens(body);
    FName.resize(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
      FName[i] = UpperAscii(text[i]);
    return ApplyDirective(word, &FName, {}, nullptr);
  case TDirectiveWord::EndIf:
  case TDirectiveWord::IfEnd:
  case TDirectiveWord::Else:
  case TDirectiveWord::Include:
    return ApplyDirective(word, nullptr, body.substr(pos), nullptr);
  default:
    return NamedDirectiveByTokens(body);
  }
}

bool TPreprocessedPascalTokenizer::NamedDirectiveByTokens(StringView body) {
  const String upper = UpperCase(body);
  // Numbers read as identifiers here, so that {$IFDEF 0} is a condition that is not met.
  TPascalTokenizer bt(upper);
  bt.SetTolerateErrors(true);
  if (bt.NextToken() != TTokenKind::tkIdent)
    return false;
  const String wordText = bt.Token();
  const TDirectiveWord word = DirectiveWordOf(wordText);
  switch (word) {
  case TDirectiveWord::Other:
    return false;
  case TDirectiveWord::LongSwitch:
    if (Active())
      ApplyLongSwitch(bt, wordText);
    return false;
  case TDirectiveWord::IfDef:
  case TDirectiveWord::IfNDef:
  case TDirectiveWord::Define:
  case TDirectiveWord::Undef:
    return ApplyDirective(word, bt.NextToken() == TTokenKind::tkIdent ? &bt.Token() : nullptr,
                          {}, &bt);
  case TDirectiveWord::Include: {
    // The name keeps its letter case: take it from the body behind the directive word.
    std::size_t i = 0;
    while (i < upper.size() && upper[i] <= u' ')
      ++i;
    if (upper.compare(i, wordText.size(), wordText) != 0)
      return false;
    return ApplyDirective(word, nullptr, body.substr(i + wordText.size()), &bt);
  }
  default:
    return ApplyDirective(word, nullptr, {}, &bt);
  }
}

bool TPreprocessedPascalTokenizer::ApplyDirective(TDirectiveWord word, const String *name,
                                                  StringView rest, TPascalTokenizer *bt) {
  // Conditionals, whether active or not.
  switch (word) {
  case TDirectiveWord::EndIf:
  case TDirectiveWord::IfEnd:
    Close(word == TDirectiveWord::EndIf);
    return true;
  case TDirectiveWord::Else:
    if (FConditions.empty()) {
      Report(u"Unmatched ELSE");
      return false;
    }
    if (FConditions.back().Taken)
      SetTopActive(false);
    else {
      SetTopActive(true);
      FConditions.back().Taken = true;
    }
    return true;
  case TDirectiveWord::ElseIf:
    if (FConditions.empty()) {
      Report(u"Unmatched ELSEIF");
      return false;
    }
    if (!FConditions.back().Taken) {
      bool v = EvaluateRest(*bt);
      SetTopActive(v);
      FConditions.back().Taken = v;
    } else {
      SetTopActive(false);
    }
    return true;
  case TDirectiveWord::IfDef:
  case TDirectiveWord::IfNDef: {
    const bool ifdef = word == TDirectiveWord::IfDef;
    if (!name) {
      Report(ifdef ? u"Bad IFDEF condition" : u"Bad IFNDEF condition");
      return false;
    }
    const bool defined = FContext.IsDefined(*name);
    Push(ifdef ? defined : !defined, ifdef ? TConditionKind::IfDef : TConditionKind::IfNDef);
    return true;
  }
  case TDirectiveWord::IfOpt: {
    bool ok = false, value = false;
    if (bt->NextToken() == TTokenKind::tkIdent && bt->Token().size() == 1 &&
        bt->Token()[0] >= u'A' && bt->Token()[0] <= u'Z') {
      Char letter = bt->Token()[0];
      if (bt->NextToken() == TTokenKind::tkSymbol && (bt->Token() == u"+" || bt->Token() == u"-")) {
        ok = true;
        value = (bt->Token() == u"+" ? 1 : 0) == FContext.Switch(letter);
      }
    }
    if (!ok)
      Report(u"Bad IFOPT condition");
    Push(value, TConditionKind::IfOpt);
    return true;
  }
  case TDirectiveWord::If:
    Push(EvaluateRest(*bt), TConditionKind::If);
    return true;
  default:
    break;
  }

  // Everything else only in compiled text.
  if (!Active())
    return false;
  if (word == TDirectiveWord::Define || word == TDirectiveWord::Undef) {
    if (!name)
      return false;
    FContext.SetDefine(*name, word == TDirectiveWord::Define);
    return true;
  }
  if (word == TDirectiveWord::Include)
    return IncludeFile(rest);
  return false;
}

void TPreprocessedPascalTokenizer::ApplyLongSwitch(TPascalTokenizer &bt, const String &word) {
  Char letter = 0;
  for (int i = 0; i < 26; ++i)
    if (kLongSwitchNames[i][0] && word == kLongSwitchNames[i]) {
      letter = static_cast<Char>(u'A' + i);
      break;
    }
  if (!letter)
    return;
  TTokenKind k = bt.NextToken();
  const String &arg = bt.Token();
  if (letter == u'A' || letter == u'Z') {
    Byte high = letter == u'A' ? 8 : 4;
    if (k == TTokenKind::tkIdent && SameText(arg, u"ON"))
      FContext.SetSwitch(letter, high);
    else if (k == TTokenKind::tkIdent && SameText(arg, u"OFF"))
      FContext.SetSwitch(letter, 1);
    else if (k == TTokenKind::tkIdent && arg.size() == 1) {
      if (arg == u"1" || arg == u"2" || arg == u"4")
        FContext.SetSwitch(letter, static_cast<Byte>(arg[0] - u'0'));
      else if (arg == u"8")
        FContext.SetSwitch(letter, high);
    }
  } else if (k == TTokenKind::tkIdent && SameText(arg, u"ON")) {
    FContext.SetSwitch(letter, 1);
  } else if (k == TTokenKind::tkIdent && SameText(arg, u"OFF")) {
    FContext.SetSwitch(letter, 0);
  }
}

bool TPreprocessedPascalTokenizer::EvaluateRest(TPascalTokenizer &bt) {
  TBooleanExpressionEvaluator ev(&bt);
  ev.OnEvaluateLeaf = [this](const String &leaf) { return EvaluateLeaf(leaf); };
  return ev.Evaluate();
}

bool TPreprocessedPascalTokenizer::EvaluateLeaf(const String &leaf) {
  if (StartsText(u"DEFINED(", leaf)) {
    StringView rest = StringView(leaf).substr(8);
    std::size_t close = rest.find(u')');
    return FContext.IsDefined(Trim(rest.substr(0, close)));
  }
  if (SameText(leaf, u"True"))
    return true;
  return FContext.EvaluateCondition(leaf);
}

void TPreprocessedPascalTokenizer::Push(bool value, TConditionKind kind) {
  FConditions.push_back({value, value, kind});
  if (!value)
    ++FInactiveCount;
}

void TPreprocessedPascalTokenizer::SetTopActive(bool active) {
  TCompilationCondition &top = FConditions.back();
  if (top.Active != active) {
    if (active)
      --FInactiveCount;
    else
      ++FInactiveCount;
  }
  top.Active = active;
}

void TPreprocessedPascalTokenizer::Close(bool endif) {
  bool unmatched = FConditions.empty();
  if (!unmatched && FContext.LegacyIfEnd()) {
    bool isIf = FConditions.back().Kind == TConditionKind::If;
    unmatched = endif == isIf;
  }
  if (unmatched) {
    Report(u"Unmatched conditional define");
    return;
  }
  if (!FConditions.back().Active)
    --FInactiveCount;
  FConditions.pop_back();
}

void TPreprocessedPascalTokenizer::Report(StringView text) {
  // The line shown is the one the position names: a directive may end on a later line.
  const TSourcePos pos = TokenPos();
  String message = Format(u"%s at line %d; column %d\r\n%s",
                          {text, pos.Line, pos.Column, String(LineText(pos.Line))});
  if (OnError)
    OnError(message);
  else
    throw ECompilationConditionError(message, pos);
}

void TPreprocessedPascalTokenizer::Clear() {
  CloseOpenReads();
  TPascalTokenizer::Clear();
}

void TPreprocessedPascalTokenizer::SetText(StringView text) {
  StartMainText();
  TPascalTokenizer::SetText(text);
}

void TPreprocessedPascalTokenizer::SetBorrowedText(StringView text) {
  StartMainText();
  TPascalTokenizer::SetBorrowedText(text);
}

void TPreprocessedPascalTokenizer::SetLines(const std::vector<String> &lines) {
  StartMainText();
  TPascalTokenizer::SetLines(lines);
}

void TPreprocessedPascalTokenizer::CloseOpenReads() {
  // A read that stopped inside an include file or a conditional (an exception, a parse that
  // ends early) leaves them open; none of it belongs to the next text, and the saved states
  // of the include stack may point into a text that is gone.
  FIncludeStack.clear();
  FConditions.clear();
  FInactiveCount = 0;
}

void TPreprocessedPascalTokenizer::StartMainText() {
  CloseOpenReads();
  FNoDirectiveAhead = nullptr;
  FEndedTexts.clear();
  FIncludeExpansions = FIncludedText = 0;
  FIncludeBudgetSpent = false;
}

bool TPreprocessedPascalTokenizer::IsOpenFile(StringView fileName) const {
  return !fileName.empty() &&
         (fileName == FileName() ||
          std::any_of(FIncludeStack.begin(), FIncludeStack.end(),
                      [&](const TTokenizerState &s) { return s.FileName == fileName; }));
}

// Counts the work of one more include; false, reported once per unit, when a bound is hit.
bool TPreprocessedPascalTokenizer::IncludeBudgetLeft(const String &name, std::size_t moreText) {
  if (FIncludeBudgetSpent)
    return false;
  FIncludedText += moreText;
  if (FIncludeExpansions < MaxIncludeExpansions && FIncludedText <= MaxIncludedText)
    return true;
  FIncludeBudgetSpent = true;
  Report(Format(u"Include limit of this unit reached; %s not included", {name}));
  return false;
}

bool TPreprocessedPascalTokenizer::IncludeFile(StringView rest) {
  String name = AnsiDequotedStr(Trim(rest), u'\'');
  if (name.empty() || !OnReadIncludeFile)
    return false;
  // Refused like an unreadable file: nesting beyond the limit, and a file that is already
  // being read (an include cycle would otherwise never end).
  if (FIncludeStack.size() >= MaxIncludeDepth || IsOpenFile(name) || !IncludeBudgetLeft(name, 0))
    return false;
  TTokenizerTextPtr source;
  if (!OnReadIncludeFile(name, source) || !source || source->Text.empty())
    return false;
  // Checked again with the name the reader found, for readers that do not ask IsOpenFile.
  if (!IncludeBudgetLeft(name, source->Text.size()) || IsOpenFile(name))
    return false;
  ++FIncludeExpansions;
  if (OnIncludeStarted)
    OnIncludeStarted(name);
  FIncludeStack.push_back(SaveTokenizerState(*this));
  SetSharedText(std::move(source));
  SetFileName(name);
  return true;
}

void TPreprocessedPascalTokenizer::EndIncludeFile() {
  if (OnIncludeFinished)
    OnIncludeFinished(FileName());
  // Views of the file's tokens (a reader's identifier records) stay valid for the whole
  // parse: the text is kept until the next main text.
  if (FEndedTexts.empty() || FEndedTexts.back() != FState.Text)
    FEndedTexts.push_back(FState.Text);
  TTokenizerState state = std::move(FIncludeStack.back());
  FIncludeStack.pop_back();
  RestoreTokenizerState(state, *this);
}

// ---- TPascalPreprocessor ------------------------------------------------------------------

TPascalPreprocessor::TPascalPreprocessor() { FTokenizer.SetEvaluateConditions(true); }

// ---- TDefaultTokenizerContext -------------------------------------------------------------

TDefaultTokenizerContext::TDefaultTokenizerContext(TPreprocessedPascalTokenizer *tokenizer)
    : FTokenizer(tokenizer) {
  KR_ASSERT(tokenizer != nullptr);
}

void TDefaultTokenizerContext::UnexpectedToken() { Abort(); }
TTokenKinds TDefaultTokenizerContext::GetSkipKinds() { return FTokenizer->SkipKinds(); }
TTokenKind TDefaultTokenizerContext::NextToken() { return FTokenizer->NextToken(); }
void TDefaultTokenizerContext::SetSkipKinds(TTokenKinds kinds) { FTokenizer->SetSkipKinds(kinds); }
bool TDefaultTokenizerContext::ReadIncludeFile(String &, TTokenizerTextPtr &source) {
  source.reset();
  return false;
}

} // namespace krx
