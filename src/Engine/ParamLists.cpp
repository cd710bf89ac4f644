#include "Engine/ParamLists.h"

#include "Engine/ParamTokens.h"
#include "Platform/Rtl/Classes.h"

#include <array>

namespace krx {

String ModifierText(TParamModifier modifier) {
  static const Char *const kWords[] = {u"", u"const", u"var", u"out"};
  KR_ASSERT(modifier <= pmOut);
  return kWords[modifier];
}

// ---- TParam -------------------------------------------------------------------------------

void TParam::SetDefaultValue(StringView value) {
  String v = Trim(value);
  if (!v.empty()) {
    TPascalTokenizer t(v);
    t.SetTolerateErrors(true);
    for (;;) {
      const TTokenKind k = t.NextToken();
      if (k == TTokenKind::tkNone)
        break;
      if (k == TTokenKind::tkError)
        throw EParamListError(Format(u"Illegal default value: %s", {value}));
    }
  }
  DefaultValue = std::move(v);
}

namespace {

String PascalTypeSignature(StringView typeText) {
  return HungarianPrefix(lanPascal, NormalizeWhiteSpace(typeText.empty() ? u"&" : typeText));
}

// PascalTypeSignature of a type text appended to `out`. A text of printable ASCII alone has no
// white space to normalise, so it is looked up as it stands; the signature of a type that is
// not predefined ("U" and its name) is written without a string of its own.
void AppendTypeSignature(String &out, StringView typeText) {
  constexpr Integer kOtherTypeCode = 34; // DelphiTypeCode of a name of no predefined type
  if (typeText.empty())
    typeText = u"&";
  for (const Char c : typeText)
    if (c <= u' ' || c >= 0x80) {
      out += PascalTypeSignature(typeText);
      return;
    }
  if (DelphiTypeCode(lanPascal, typeText) == kOtherTypeCode) {
    out += u'U';
    out += typeText;
  } else {
    out += HungarianPrefix(lanPascal, typeText);
  }
}

} // namespace

String TPascalParam::TypeSignature() const { return PascalTypeSignature(TypeText); }

String TPascalParam::GetAsText() const {
  String r;
  if (Modifier != pmNone)
    r = ModifierText(Modifier) + u" ";
  r += Name;
  if (!TypeText.empty()) {
    r += u": " + TypeText;
    if (!DefaultValue.empty())
      r = Format(u"%s %s %s", {r, u"=", DefaultValue});
  }
  return r;
}

// ---- Parsing ------------------------------------------------------------------------------

namespace {

class TPascalParamParser {
public:
  TPascalParamParser(StringView text, TParamList &list) : FList(list) {
    // The text is read as one line; a caller that hands over several lines gets them joined
    // by blanks, so that type texts are cut from the right place.
    for (Char c : text)
      FText.push_back(c == u'\r' || c == u'\n' ? u' ' : c);
    FTokenizer.SetSkipKinds({TTokenKind::tkComment, TTokenKind::tkDirective, TTokenKind::tkString,
                             TTokenKind::tkKRTag});
    FTokenizer.SetRaiseAtEnd(false);
    FTokenizer.SetTolerateErrors(false);
    FTokenizer.SetText(FText);
  }

  // An invalid token (an unterminated string or comment) raises the tokenizer's
  // ETokenError, not the silent list error: a grammar that reads the declaration handles it
  // as it handles any other bad token of the declaration.
  void Parse() {
    for (;;) {
      const TTokenKind kind = FTokenizer.NextToken();
      if (kind == TTokenKind::tkNone)
        break;
      if (kind == TTokenKind::tkIdent || kind == TTokenKind::tkNumber)
        Identifier();
      else if (kind == TTokenKind::tkSymbol)
        Symbol();
    }
    EndGroup(Length(FText));
  }

private:
  [[noreturn]] void Illegal() {
    throw EParamListError(u"Illegal parameter list:" + String(1, u'\r') + FText);
  }

  void Identifier() {
    if (FInType)
      return;
    const String &token = FTokenizer.Token();
    if (Length(token) >= 3) {
      if (SameText(token, u"CONST")) {
        FModifier = pmConst;
        return;
      }
      if (SameText(token, u"VAR")) {
        FModifier = pmVar;
        return;
      }
      if (SameText(token, u"OUT")) {
        FModifier = pmOut;
        return;
      }
    }
    FNames.push_back(token);
  }

  void Symbol() {
    const String &token = FTokenizer.Token();
    if (FInType) {
      if (token == u";")
        EndGroup(FTokenizer.TokenStartCol() - 1);
      return;
    }
    if (token == u",")
      return;
    if (token == u":") {
      FInType = true;
      FTypeStart = FTokenizer.LinePos();
    } else if (token == u";") {
      EndGroup(FTokenizer.TokenStartCol() - 1);
    } else if (token == u"[") {
      FList.SetHasAttributes(true);
      SkipAttribute();
    } else {
      Illegal();
    }
  }

  // Skips to the "]" that matches the one just read; the end of the text or an invalid
  // token also ends the skip.
  void SkipAttribute() {
    Integer depth = 1;
    try {
      while (depth > 0) {
        const TTokenKind kind = FTokenizer.NextToken();
        if (kind == TTokenKind::tkNone)
          return;
        if (kind == TTokenKind::tkSymbol && FTokenizer.Token() == u"[")
          ++depth;
        else if (kind == TTokenKind::tkSymbol && FTokenizer.Token() == u"]")
          --depth;
      }
    } catch (const ETokenError &) {
    }
  }

  // Ends the current group at 1-based position `last` (inclusive) of the text.
  void EndGroup(Integer last) {
    String typeText, defaultValue;
    if (FInType) {
      String t = Trim(Copy(FText, FTypeStart, last - FTypeStart + 1));
      const Integer eq = Pos(u"=", t);
      if (eq > 0) {
        defaultValue = Trim(Copy(t, eq + 1));
        typeText = Trim(Copy(t, 1, eq - 1));
      } else {
        typeText = std::move(t);
      }
    }
    for (const String &name : FNames)
      FList.AddParam(FList.Count(), FModifier, defaultValue, typeText, name);
    FNames.clear();
    FInType = false;
    FModifier = pmNone;
    FTypeStart = FTokenizer.LinePos();
  }

  TParamList &FList;
  String FText;
  TPascalTokenizer FTokenizer;
  TParamModifier FModifier = pmNone;
  Integer FTypeStart = 1;
  std::vector<String> FNames;
  bool FInType = false;
};

} // namespace

// ---- TParamList ---------------------------------------------------------------------------

TParamList::TParamList(TSourceLanguageKind language) : FLanguage(EffectiveLanguageKind(language)) {}

void TParamList::Clear() {
  FItems.clear();
  FHasAttributes = false;
}

TParam &TParamList::Items(Integer index) const {
  KR_ASSERT(index >= 0 && index < Count());
  return *FItems[static_cast<std::size_t>(index)];
}

void TParamList::Insert(Integer index, std::unique_ptr<TParam> param) {
  KR_ASSERT(index >= 0 && index <= Count() && param != nullptr);
  FItems.insert(FItems.begin() + index, std::move(param));
}

TParam &TParamList::AddParam(Integer index, TParamModifier modifier, StringView defaultValue,
                             StringView typeText, StringView name) {
  auto param = std::make_unique<TPascalParam>();
  TParam &p = *param;
  Insert(index, std::move(param));
  p.Modifier = modifier;
  p.Name = String(name);
  p.TypeText = String(typeText);
  p.SetDefaultValue(defaultValue);
  return p;
}

void TParamList::Parse(StringView text) {
  Clear();
  TPascalParamParser(text, *this).Parse();
}

String TParamList::GetSignature() const {
  String r = u"+";
  for (Integer i = 0; i < Count(); ++i) {
    if (i > 0)
      r += u"+";
    r += Items(i).TypeSignature();
  }
  return r;
}

std::unique_ptr<TParamList> ParseParamList(StringView text, TSourceLanguageKind language) {
  auto list = std::make_unique<TParamList>(language);
  list->Parse(text);
  return list;
}

namespace {

bool IsAsciiLetter(Char c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool IsAsciiIdentPart(Char c) { return IsAsciiLetter(c) || c == u'_' || (c >= u'0' && c <= u'9'); }

// The characters that end a type's text (";") or may start a string or comment in it.
constexpr auto kTypeStops = [] {
  std::array<bool, 128> stops{};
  for (const Char c : StringView(u";'#\"{(/"))
    stops[c] = true;
  return stops;
}();

bool IsModifierWord(StringView word) {
  return (word.size() == 3 && (SameText(word, u"VAR") || SameText(word, u"OUT"))) ||
         (word.size() == 5 && SameText(word, u"CONST"));
}

// The type's signature once for each of `names` parameters, joined by "+"; `names` becomes 0.
// Line breaks in a type read as blanks.
void AppendNamesSignature(String &signature, Integer &names, StringView type, bool &first) {
  if (names <= 0)
    return;
  if (!first)
    signature += u'+';
  first = false;
  const std::size_t start = signature.size();
  if (type.find_first_of(u"\r\n") == StringView::npos) {
    AppendTypeSignature(signature, type);
  } else {
    String blanked(type);
    for (Char &d : blanked)
      if (d == u'\r' || d == u'\n')
        d = u' ';
    AppendTypeSignature(signature, blanked);
  }
  const std::size_t length = signature.size() - start;
  for (; names > 1; --names) {
    signature += u'+';
    signature.append(signature, start, length);
  }
  names = 0;
}

// The signature of the plain parameter lists that make up nearly every declaration, read
// straight from the text without a tokenizer or a list: names of ASCII letters, digits and "_"
// (the modifier words skipped), separated by "," and followed by ":" and a type, groups
// separated by ";". False for anything else (strings, comments, attributes, other symbols
// among the names), which the full parser reads; where it reads, both give the same result.
// With `firstParameters`, reading stops once the signature holds a parameter's type.
bool PlainParamSignature(StringView text, String &signature, bool firstParameters = false) {
  const std::size_t n = text.size();
  // About as long as the text (a type not predefined is written as it stands), so grown once.
  if (!firstParameters)
    signature.reserve(n + 8);
  signature = u"+";
  bool first = true;
  Integer names = 0;
  std::size_t i = 0;
  while (i < n) {
    const Char c = text[i];
    if (c <= u' ' || c == u',') {
      ++i;
      continue;
    }
    if (IsAsciiLetter(c) || c == u'_') {
      const std::size_t start = i;
      while (i < n && IsAsciiIdentPart(text[i]))
        ++i;
      if (i < n && text[i] > 127)
        return false;
      const StringView word = text.substr(start, i - start);
      if (!IsModifierWord(word))
        ++names;
      continue;
    }
    if (c != u':' && c != u';')
      return false;
    // The group's type runs from behind the ":" to its ";" (or the end), with no string or
    // comment that could hide a ";"; a default value follows the type's first "=".
    std::size_t typeEnd = i;
    if (c == u':') {
      if (i + 1 < n && text[i + 1] == u'=')
        return false;
      for (typeEnd = i + 1; typeEnd < n; ++typeEnd) {
        const Char d = text[typeEnd];
        if (d >= 0x80 || !kTypeStops[d])
          continue;
        if (d == u';')
          break;
        const Char e = typeEnd + 1 < n ? text[typeEnd + 1] : Char(0);
        if ((d == u'(' && e != u'*') || (d == u'/' && e != u'/'))
          continue;
        return false;
      }
    }
    StringView type;
    if (typeEnd > i) {
      type = text.substr(i + 1, typeEnd - i - 1);
      type = TrimView(type.substr(0, type.find(u'=')));
    }
    AppendNamesSignature(signature, names, type, first);
    if (firstParameters && signature.size() > 1)
      return true;
    i = typeEnd + 1;
  }
  AppendNamesSignature(signature, names, StringView(), first);
  return true;
}

} // namespace

String ParamSignature(StringView text, TSourceLanguageKind language) {
  if (TrimView(text).empty())
    return u"+";
  String signature;
  if (PlainParamSignature(text, signature))
    return signature;
  try {
    return ParseParamList(text, language)->GetSignature();
  } catch (const std::exception &) {
    return u"+" + String(text);
  }
}

bool IsEmptyParamSignature(StringView text, TSourceLanguageKind language) {
  if (TrimView(text).empty())
    return true;
  // Once a parameter's type is written the signature is no longer "+", whatever follows: the
  // plain reading gives it, and where the rest needs the parser, the parser reads that
  // parameter alike (and a text it refuses gives "+" and the text).
  String signature;
  if (PlainParamSignature(text, signature, true))
    return signature == u"+";
  return ParamSignature(text, language) == u"+";
}

} // namespace krx
