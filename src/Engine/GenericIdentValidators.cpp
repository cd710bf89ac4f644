#include "Engine/GenericIdentValidators.h"

#include "World/ParsingLocks.h"

namespace krx {

namespace {

// What a text is to the tokenizer without reading it: one ASCII identifier and nothing else,
// something that starts with a number, or anything else.
enum class TPlainShape : Byte { Identifier, Number, Other };

TPlainShape PlainTextShape(StringView text) {
  const auto letter = [](Char c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_';
  };
  if (text.empty())
    return TPlainShape::Other;
  if (text[0] >= u'0' && text[0] <= u'9')
    return TPlainShape::Number;
  if (!letter(text[0]))
    return TPlainShape::Other;
  for (const Char c : text)
    if (!letter(c) && !(c >= u'0' && c <= u'9'))
      return TPlainShape::Other;
  return TPlainShape::Identifier;
}

} // namespace

// ---- TPascalGenericsIdentValidator ----------------------------------------------------------

TPascalGenericsIdentValidator::TPascalGenericsIdentValidator() {
  FTokens = std::make_unique<TGrammarTokens>(this);
  TGrammarTokenizer &t = FTokens->Tokenizer();
  t.SetNumbersAsNumbers(true);
  t.SetSkipKinds(TTokenKinds{TTokenKind::tkComment, TTokenKind::tkDirective});
  t.SetTolerateErrors(true);
}

TPascalGenericsIdentValidator::~TPascalGenericsIdentValidator() { FTokens.reset(); }

void TPascalGenericsIdentValidator::UnexpectedToken() {
  FResult = false;
  throw EAbort(u"");
}

void TPascalGenericsIdentValidator::CheckIdentifier() {
  if (FChecking && !TPascalIdentValidator::IsValidIdent(FTokens->Tokenizer().Token()))
    UnexpectedToken();
}

void TPascalGenericsIdentValidator::BracketIdentifier(Char openBracket) {
  if (openBracket != u'<') {
    CheckIdentifier();
    return;
  }
  const String &word = FTokens->Tokenizer().Token();
  if (GlobalPascalLanguage()->IsReservedWord(word) && !SameText(word, u"CLASS") &&
      !SameText(word, u"RECORD") && !SameText(word, u"OPERATOR") &&
      !SameText(word, u"CONSTRUCTOR") && !SameText(word, u"string"))
    UnexpectedToken();
}

TTokenKinds TPascalGenericsIdentValidator::GetSkipKinds() {
  return FTokens->Tokenizer().SkipKinds();
}

void TPascalGenericsIdentValidator::SetSkipKinds(TTokenKinds kinds) {
  FTokens->Tokenizer().SetSkipKinds(kinds);
}

TTokenKind TPascalGenericsIdentValidator::NextToken() { return FTokens->Tokenizer().NextToken(); }

bool TPascalGenericsIdentValidator::ReadPath(const String &text, bool checking, bool asText,
                                             TGenericIdentPath &path, bool &complete) {
  TGrammarTokenizer &t = FTokens->Tokenizer();
  t.SetText(text);
  FResult = true;
  FChecking = checking;
  path.clear();
  complete = false;
  try {
    FTokens->Helper().ReadGenericIdentPath(path, asText, false);
  } catch (const EAbort &) {
    FChecking = true;
    return false;
  } catch (const ETokenError &) {
    FChecking = true;
    return false;
  }
  FChecking = true;
  complete = t.TokenKind() == TTokenKind::tkNone;
  return FResult;
}

String TPascalGenericsIdentValidator::UnqualifiedName(const String &text) {
  if (text.empty())
    return {};
  TGenericIdentPath path;
  bool complete;
  if (!ReadPath(text, false, true, path, complete) || path.empty())
    return text;
  const TGenericIdentifer &last = path.back();
  if (last.GenericCount <= 0)
    return last.Name;
  return Format(u"%s<%s>",
                {last.Name, String(static_cast<std::size_t>(last.GenericCount - 1), u',')});
}

bool TPascalGenericsIdentValidator::IsValidName(TCodeItemKind kind, const String &text) {
  if (text.empty())
    return false;
  if (kind == ckMethod) {
    TGenericIdentPath path;
    bool complete;
    return ReadPath(text, true, false, path, complete) && complete && path.size() == 1 &&
           TPascalIdentValidator::IsValidName(ckMethod, path[0].Name);
  }
  if (kind == ckResClause) {
    TGenericIdentPath path;
    bool complete;
    if (!ReadPath(text, false, true, path, complete) || !complete || path.size() < 2)
      return false;
    if (!TPascalIdentValidator::IsValidName(ckField, path[0].Name))
      return false;
    for (std::size_t i = 1; i < path.size(); ++i)
      if (!IsIdentText(path[i].Name, false))
        return false;
    return true;
  }
  return TPascalIdentValidator::IsValidName(kind, text);
}

bool TPascalGenericsIdentValidator::IsValidFor(TCodeItemKind kind, const String &text) {
  if (kind == ckDelegate || kind == ckClass || kind == ckInterface || kind == ckRecord) {
    // A plain ASCII identifier reads as one part checked as an identifier, and a text that
    // starts with a digit reads a number first: both answers are given without the reading
    // (and without the exception that ends it), since a global delegates file of a million
    // lines asks this for every line.
    switch (PlainTextShape(text)) {
    case TPlainShape::Identifier:
      return TPascalIdentValidator::IsValidIdent(text);
    case TPlainShape::Number:
      return false;
    case TPlainShape::Other:
      break;
    }
    TGenericIdentPath path;
    bool complete;
    return ReadPath(text, true, false, path, complete) && complete && path.size() == 1;
  }
  return TPascalIdentValidator::IsValidFor(kind, text);
}

bool TPascalGenericsIdentValidator::IsValidQualifiedFor(TCodeItemKind, const String &text) {
  TGenericIdentPath path;
  bool complete;
  return ReadPath(text, true, true, path, complete) && complete && !path.empty();
}

void TPascalGenericsIdentValidator::SplitGenericName(const String &text, String &name,
                                                     bool &isGeneric, String &typeParams) {
  TGenericIdentPath path;
  bool complete;
  if (!ReadPath(text, false, true, path, complete) || path.empty()) {
    name = text;
    isGeneric = false;
    typeParams.clear();
    return;
  }
  const Integer n = static_cast<Integer>(path.size());
  name = GenericIdentPathText(path, n - 1);
  if (n > 1)
    name += u".";
  name += path.back().Name;
  isGeneric = path.back().GenericCount > 0;
  typeParams = path.back().GenericText;
}

bool TPascalGenericsIdentValidator::SplitQualifiedName(const String &text, String &name,
                                                       String &qualifier) {
  TGenericIdentPath path;
  bool complete;
  if (!ReadPath(text, false, true, path, complete) || path.empty() || !complete) {
    name = text;
    qualifier.clear();
    return false;
  }
  name = path.back().Name + path.back().GenericText;
  qualifier = GenericIdentPathText(path, static_cast<Integer>(path.size()) - 1);
  return true;
}

bool TPascalGenericsIdentValidator::SplitList(const String &text, TStrings &strings) {
  if (Trim(text).empty())
    return true;
  TGrammarTokenizer &t = FTokens->Tokenizer();
  t.SetText(text);
  FResult = true;
  FChecking = true;
  try {
    for (;;) {
      strings.Add(FTokens->Helper().ReadTypeIdent());
      if (t.IsSymbol(u","))
        continue;
      if (t.TokenKind() == TTokenKind::tkNone && FResult)
        return true;
      break;
    }
  } catch (const EAbort &) {
  } catch (const ETokenError &) {
  }
  strings.Clear();
  return false;
}

// ---- TTokenizerSynchronizer -----------------------------------------------------------------

TTokenizerSynchronizer::TTokenizerSynchronizer(TSourceLanguage *language)
    : TLanguageObserver(nullptr, language) {}

void TTokenizerSynchronizer::LanguageChanged() {
  TParsingLock lock;
  const TDelphiLanguageMode mode = TPascalLanguage::GetLanguageMode();
  SetEscapedIdentifiersEnabled(mode != dlmDelphi7Win32);
  const bool generics = mode >= dlmD2009Win32;
  SetGenericNamesEnabled(generics);
  std::unique_ptr<TPascalIdentValidator> v;
  if (generics)
    v = std::make_unique<TPascalGenericsIdentValidator>();
  else
    v = std::make_unique<TPascalIdentValidator>();
  v->UpdateExtraNames(mode);
  if (GlobalPascalLanguage())
    GlobalPascalLanguage()->SetIdentValidator(std::move(v));
  TLanguageObserver::LanguageChanged();
}

} // namespace krx
