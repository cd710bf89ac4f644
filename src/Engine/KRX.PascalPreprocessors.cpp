#include "Engine/KRX.PascalPreprocessors.h"

#include "Engine/KRX.BoolExpEval.h"

#include <algorithm>

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
constexpr const Char *kPlatformSymbols[] = {
    u"MSWINDOWS", u"WIN32", u"CPU386", u"CONDITIONALEXPRESSIONS", u"UNICODE", u"KRX"};

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

String JoinList(const std::vector<String> &items) {
  String r;
  for (const String &s : items) {
    if (!r.empty() || &s != &items.front())
      r.push_back(u';');
    r.append(s);
  }
  return r;
}

bool DefineLess(const String &a, const String &b) { return AnsiCompareText(a, b) < 0; }

// True when the upper-case directive body starts with a plain ASCII word that is none of the
// words NamedDirective acts on ($MODE, $R, $WARN ...): such a directive is recognised without
// setting up a tokenizer. A word that the tokenizer might read differently (one that does not
// start with a letter, or that goes on with a character beyond ASCII) is not judged here.
bool IsOtherDirectiveWord(StringView upper) {
  std::size_t i = 0, n = upper.size();
  while (i < n && upper[i] <= u' ')
    ++i;
  if (i == n || !((upper[i] >= u'A' && upper[i] <= u'Z') || upper[i] == u'_'))
    return false;
  const std::size_t start = i;
  while (i < n && ((upper[i] >= u'A' && upper[i] <= u'Z') ||
                   (upper[i] >= u'0' && upper[i] <= u'9') || upper[i] == u'_'))
    ++i;
  if (i < n && upper[i] >= 0x80)
    return false;
  const StringView word = upper.substr(start, i - start);
  static constexpr StringView kActedOn[] = {u"ENDIF",  u"IFEND",  u"ELSE",    u"ELSEIF",
                                            u"IFDEF",  u"IFNDEF", u"IFOPT",   u"IF",
                                            u"DEFINE", u"UNDEF",  u"INCLUDE", u"I"};
  for (StringView w : kActedOn)
    if (word == w)
      return false;
  for (const Char *w : kLongSwitchNames)
    if (word.size() > 1 && word[0] == w[0] && word == w)
      return false;
  return true;
}

} // namespace

String CompilerVersionName(TCompilerVersion v) { return VersionInfo(v).Name; }
String CompilerVersionSymbol(TCompilerVersion v) { return VersionInfo(v).Symbol; }
double CompilerVersionNumber(TCompilerVersion v) { return VersionInfo(v).Number; }

// ---- TCompilerContext ---------------------------------------------------------------------

TCompilerContext::TCompilerContext() { ResetSwitches(); }

void TCompilerContext::Assign(const TCompilerContext &source) {
  if (&source == this)
    return;
  FDefines = source.FDefines;
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
  String n(name);
  if (std::binary_search(FDefines.begin(), FDefines.end(), n, DefineLess))
    return true;
  for (const Char *s : kPlatformSymbols)
    if (SameText(name, s))
      return true;
  return StartsStr(u"VER", name) && name == StringView(VersionInfo(FCompilerVersion).Symbol);
}

void TCompilerContext::SetDefine(StringView name, bool on) {
  String n(name);
  auto it = std::lower_bound(FDefines.begin(), FDefines.end(), n, DefineLess);
  bool present = it != FDefines.end() && AnsiSameText(*it, n);
  if (on && !present)
    FDefines.insert(it, std::move(n));
  else if (!on && present)
    FDefines.erase(it);
}

String TCompilerContext::Defines() const { return JoinList(FDefines); }

void TCompilerContext::SetDefines(StringView text) {
  FDefines.clear();
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

TPreprocessedPascalTokenizer::TPreprocessedPascalTokenizer() : TPascalTokenizer() {}

TTokenKind TPreprocessedPascalTokenizer::NextToken() {
  if (!FEvaluateConditions)
    return TPascalTokenizer::NextToken();
  // Directives are always scanned, whatever the skip set, so that no conditional goes
  // unseen; the skip set and the end-of-text exception are applied here instead, the latter
  // only at the end of the main text, not of an include file.
  for (;;) {
    const TTokenKinds callerSkip = EffectiveSkipKinds();
    const TTokenKind k = ReadToken(callerSkip - TTokenKinds{TTokenKind::tkDirective}, false);
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

bool TPreprocessedPascalTokenizer::ProcessDirective() {
  String body;
  const String &token = Token();
  if (StartsStr(u"{$", token))
    body = token.substr(2, token.size() - 3);
  else if (StartsStr(u"(*$", token) && token.size() >= 5)
    body = token.substr(3, token.size() - 5);
  if (body.size() <= 1)
    return false;
  String upper = UpperCase(body);
  // A switch list: parts split at ",", empty parts dropped, applied up to the first part
  // that is no switch. It still goes to the caller.
  std::size_t start = 0;
  bool first = true;
  while (start <= upper.size()) {
    std::size_t e = upper.find(u',', start);
    if (e == String::npos)
      e = upper.size();
    StringView part = StringView(upper).substr(start, e - start);
    start = e + 1;
    if (part.empty())
      continue;
    if (!ParseSwitch(part, Active())) {
      if (first)
        return NamedDirective(body, upper);
      break;
    }
    first = false;
  }
  return false;
}

bool TPreprocessedPascalTokenizer::ParseSwitch(StringView part, bool apply) {
  if (part.size() < 2 || part[0] < u'A' || part[0] > u'Z')
    return false;
  Char letter = part[0], c = part[1];
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

bool TPreprocessedPascalTokenizer::NamedDirective(const String &body, const String &upper) {
  if (upper.size() <= 2 || IsOtherDirectiveWord(upper))
    return false;
  // Numbers read as identifiers here, so that {$IFDEF 0} is a condition that is not met.
  TPascalTokenizer bt(upper);
  bt.SetTolerateErrors(true);
  if (bt.NextToken() != TTokenKind::tkIdent)
    return false;
  const String word = bt.Token();

  // Conditionals, whether active or not.
  if (word == u"ENDIF" || word == u"IFEND") {
    Close(word == u"ENDIF");
    return true;
  }
  if (word == u"ELSE") {
    if (FConditions.empty()) {
      Report(u"Unmatched ELSE");
    } else {
      const TCompilationCondition &top = FConditions.back();
      if (top.Taken)
        SetTopActive(false);
      else {
        SetTopActive(true);
        FConditions.back().Taken = true;
      }
      return true;
    }
  } else if (word == u"ELSEIF") {
    if (FConditions.empty()) {
      Report(u"Unmatched ELSEIF");
    } else {
      if (!FConditions.back().Taken) {
        bool v = EvaluateRest(bt);
        SetTopActive(v);
        FConditions.back().Taken = v;
      } else {
        SetTopActive(false);
      }
      return true;
    }
  } else if (word == u"IFDEF" || word == u"IFNDEF") {
    bool ifdef = word == u"IFDEF";
    if (bt.NextToken() == TTokenKind::tkIdent) {
      bool defined = FContext.IsDefined(bt.Token());
      Push(ifdef ? defined : !defined, ifdef ? TConditionKind::IfDef : TConditionKind::IfNDef);
      return true;
    }
    Report(ifdef ? u"Bad IFDEF condition" : u"Bad IFNDEF condition");
  } else if (word == u"IFOPT") {
    bool ok = false, value = false;
    if (bt.NextToken() == TTokenKind::tkIdent && bt.Token().size() == 1 && bt.Token()[0] >= u'A' &&
        bt.Token()[0] <= u'Z') {
      Char letter = bt.Token()[0];
      if (bt.NextToken() == TTokenKind::tkSymbol && (bt.Token() == u"+" || bt.Token() == u"-")) {
        ok = true;
        value = (bt.Token() == u"+" ? 1 : 0) == FContext.Switch(letter);
      }
    }
    if (!ok)
      Report(u"Bad IFOPT condition");
    Push(value, TConditionKind::IfOpt);
    return true;
  } else if (word == u"IF") {
    Push(EvaluateRest(bt), TConditionKind::If);
    return true;
  }

  // Everything else only in compiled text.
  if (!Active())
    return false;
  if (word == u"DEFINE" || word == u"UNDEF") {
    if (bt.NextToken() != TTokenKind::tkIdent)
      return false;
    FContext.SetDefine(bt.Token(), word == u"DEFINE");
    return true;
  }
  if (word == u"INCLUDE" || word == u"I") {
    // The name keeps its letter case: take it from the body behind the directive word.
    std::size_t i = 0;
    while (i < upper.size() && upper[i] <= u' ')
      ++i;
    if (upper.compare(i, word.size(), word) != 0)
      return false;
    return IncludeFile(StringView(body).substr(i + word.size()));
  }
  ApplyLongSwitch(bt, word);
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
  if (!unmatched && FContext.IsDefined(u"LEGACYIFEND")) {
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

void TPreprocessedPascalTokenizer::SetText(StringView text) {
  FIncludeExpansions = FIncludedText = 0;
  FIncludeBudgetSpent = false;
  TPascalTokenizer::SetText(text);
}

void TPreprocessedPascalTokenizer::SetLines(const std::vector<String> &lines) {
  FIncludeExpansions = FIncludedText = 0;
  FIncludeBudgetSpent = false;
  TPascalTokenizer::SetLines(lines);
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
