#include "Common/DataTyp.h"

#include "Common/DataFolders.h"
#include "Platform/Rtl/Encoding.h"
#include "Platform/Shell/Dialogs.h"
#include "World/BufTextF.h"
#include "World/ClassEx.h"
#include "World/KRStrUtils.h"
#include "World/TextStrm.h"
#include "World/Utf8IniFiles.h"

#include <algorithm>
#include <array>
#include <memory>

namespace krx {
namespace {

struct TDelphiType {
  const Char *Name;
  const Char *Prefix;
};

// Indexed by type code; code 31 is produced by no name.
constexpr std::array<TDelphiType, 34> kDelphiTypes = {{
    {u"Integer", u"I"},    {u"ShortInt", u"I8"},    {u"SmallInt", u"I16"},  {u"LongInt", u"I32"},
    {u"Byte", u"B8"},      {u"Int64", u"I64"},      {u"Word", u"W"},        {u"LongWord", u"LW"},
    {u"Cardinal", u"CA"},  {u"Boolean", u"B"},      {u"ByteBool", u"BB"},   {u"WordBool", u"WB"},
    {u"LongBool", u"LB"},  {u"Extended", u"E"},     {u"Single", u"SF"},     {u"Double", u"D"},
    {u"Comp", u"CO"},      {u"Currency", u"CU"},    {u"Real", u"R"},        {u"Real48", u"R48"},
    {u"string", u"S"},     {u"ShortString", u"SS"}, {u"AnsiString", u"AS"}, {u"Char", u"C"},
    {u"AnsiChar", u"AC"},  {u"WideChar", u"WC"},    {u"PChar", u"PC"},      {u"PAnsiChar", u"PA"},
    {u"PWideChar", u"PW"}, {u"PString", u"PS"},     {u"Pointer", u"P"},     {nullptr, nullptr},
    {u"Variant", u"V"},    {u"OLEVariant", u"OV"},
}};

constexpr Integer kOtherType = 34;
constexpr Integer kNoType = 35;

const Char *const SLookupFileFailed =
    u"The Hungarian type lookup file could not be written or read; built-in defaults are "
    u"used.\r\n%s\r\n%s";
const Char *const SLookupFileLeft =
    u"The Hungarian type lookup file is left as it is and built-in defaults are used: %s.\r\n%s";
const Char *const SParamsSuffix = u".Params";
const Char *const SReplacePrefix = u"ReplacePrefix";
const Char *const SReplaceWith = u"ReplaceWith";
const Char *const SDefaultReplaceWith = u"A";

struct TDataTypState {
  std::array<std::unique_ptr<THungarianLookup>, TSourceLanguageKindLast + 1> Lookups;
};

TDataTypState &State() {
  static TDataTypState state;
  return state;
}

String ParamsSection(TSourceLanguageKind kind) { return LanguageKindName(kind) + SParamsSuffix; }

} // namespace

TSourceLanguageKind EffectiveLanguageKind(TSourceLanguageKind kind) {
  return kind == lanUndefined ? lanPascal : kind;
}

String LanguageKindName(TSourceLanguageKind kind) {
  return kind == lanPascal ? u"Object Pascal" : u"Default language";
}

TSourceLanguageKind LanguageKindFromName(StringView name) {
  return AnsiSameText(name, u"Object Pascal") ? lanPascal : lanUndefined;
}

bool LanguageKindFromSet(TSourceLanguageKinds kinds, TSourceLanguageKind &kind) {
  Integer found = 0;
  for (Integer k = 0; k <= TSourceLanguageKindLast; ++k)
    if (kinds.Contains(static_cast<TSourceLanguageKind>(k))) {
      kind = static_cast<TSourceLanguageKind>(k);
      ++found;
    }
  return found == 1;
}

namespace {

constexpr Char UpperAscii(Char c) { return c >= u'a' && c <= u'z' ? Char(c - u'a' + u'A') : c; }

// The codes of the predefined types whose names start with a letter, by that letter (A to Z,
// either case), each list ended by 0xFF; parameter signatures look a type up per parameter.
constexpr std::size_t kMaxSameLetter = 8;
constexpr auto kCodesByLetter = [] {
  std::array<std::array<Byte, kMaxSameLetter>, 26> byLetter{};
  for (auto &codes : byLetter)
    codes.fill(0xFF);
  for (std::size_t code = 0; code < kDelphiTypes.size(); ++code) {
    if (!kDelphiTypes[code].Name)
      continue;
    auto &codes = byLetter[static_cast<std::size_t>(UpperAscii(kDelphiTypes[code].Name[0]) - u'A')];
    std::size_t i = 0;
    while (codes[i] != 0xFF)
      ++i;
    codes[i] = static_cast<Byte>(code);
  }
  return byLetter;
}();
static_assert([] {
  for (const auto &codes : kCodesByLetter)
    if (codes[kMaxSameLetter - 1] != 0xFF)
      return false;
  return true;
}());

} // namespace

Integer DelphiTypeCode(TSourceLanguageKind, StringView typeName) {
  if (typeName.empty() || SameText(typeName, u"void"))
    return kNoType;
  if (typeName.size() < 4)
    return kOtherType;
  // The first letter picks the candidates; the comparison ignores case (ASCII, as SameText).
  const Char first = UpperAscii(typeName[0]);
  if (first < u'A' || first > u'Z')
    return kOtherType;
  for (const Byte code : kCodesByLetter[static_cast<std::size_t>(first - u'A')]) {
    if (code == 0xFF)
      break;
    if (SameText(typeName, kDelphiTypes[code].Name))
      return static_cast<Integer>(code);
  }
  return kOtherType;
}

String HungarianPrefix(TSourceLanguageKind language, StringView typeName) {
  const Integer code = DelphiTypeCode(language, typeName);
  if (code == kNoType)
    return {};
  if (code == kOtherType)
    return u"U" + String(typeName);
  return kDelphiTypes[static_cast<std::size_t>(code)].Prefix;
}

// ---- The lookup file --------------------------------------------------------------------

namespace {

// What the default file gives: empty lookups, ReplacePrefix False, ReplaceWith "A".
void SetBuiltInDefaults() {
  for (auto &lookup : State().Lookups) {
    lookup->Clear();
    lookup->ReplacePrefix = false;
    lookup->ReplaceWith.clear();
  }
  HungarianLookup(lanPascal).ReplaceWith = SDefaultReplaceWith;
}

// Why a lookup file is left as it is, or empty when its text is read.
const Char *const SHoldsNul = u"it holds NUL bytes (UTF-16 text without its byte-order mark?)";
const Char *const SBrokenText =
    u"its text does not decode as its byte-order mark says, or holds NUL characters";

// The file's text when it decodes so that rewriting it changes no character: without a mark
// UTF-8 when the bytes are valid UTF-8 (ASCII is), else the ANSI code page; with a mark UTF-8
// or UTF-16LE that decodes exactly. Anything else (a NUL, such as UTF-16 without its mark,
// broken marked UTF-8, an unpaired surrogate) gives the reason it is left as it is, since its
// rewrite would keep NULs or encode the bytes a second time. A refused mark raises
// EUnsupportedTextEncoding.
String DecodeLookupText(const TBytes &bytes, String &text) {
  const TTextEncoding encoding = DetectBOM(bytes.data(), std::min<std::size_t>(bytes.size(), 4));
  const Byte *body = bytes.data() + BOMLength(encoding);
  const std::size_t size = bytes.size() - static_cast<std::size_t>(BOMLength(encoding));
  const bool nulByte = std::find(body, body + size, Byte{0}) != body + size;
  switch (encoding) {
  case teAnsi:
    if (nulByte)
      return SHoldsNul;
    text = IsValidUtf8(body, size) ? DecodeUtf8(body, size) : DecodeAnsi(body, size);
    break;
  case teUtf8:
    if (nulByte || !IsValidUtf8(body, size))
      return SBrokenText;
    text = DecodeUtf8(body, size);
    break;
  case teUtf16LE:
    if (size % 2 != 0)
      return SBrokenText;
    text = DecodeUtf16LE(body, size);
    for (std::size_t i = 0; i < text.size(); ++i) {
      const bool high = text[i] >= 0xD800 && text[i] <= 0xDBFF;
      if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
        ++i;
      else if (text[i] >= 0xD800 && text[i] <= 0xDFFF)
        return SBrokenText;
    }
    if (text.find(u'\0') != String::npos)
      return SBrokenText;
    break;
  default:
    throw EUnsupportedTextEncoding();
  }
  return {};
}

} // namespace

THungarianLookup &HungarianLookup(TSourceLanguageKind kind) {
  auto &lookup = State().Lookups[static_cast<std::size_t>(kind)];
  KR_ASSERT(lookup != nullptr);
  return *lookup;
}

String HungarianLookupFileName() { return SharedDataFolder(15) + u"HungarianTypeLookup.txt"; }

void WriteDefaultHungarianLookupFile(const String &fileName) {
  TBufTextFile file(fileName, btmCreate, 1, 16384);
  const String name = LanguageKindName(lanPascal);
  file.WriteLine(Format(u"[%s]", {name}));
  file.WriteLine(Format(u"[%s%s]", {name, String(SParamsSuffix)}));
  file.WriteLine(Format(u"%s=%s", {String(SReplacePrefix), String(u"False")}));
  file.WriteLine(Format(u"%s=%s", {String(SReplaceWith), String(SDefaultReplaceWith)}));
  file.WriteEmptyLine();
  file.Flush();
}

void ReadHungarianLookupFile(const String &fileName) {
  for (auto &lookup : State().Lookups)
    lookup->Clear();
  if (!FileExistsQuiet(fileName))
    return;
  String decoded;
  if (const String refused = DecodeLookupText(LoadFileBytes(fileName), decoded); !refused.empty()) {
    // Left as it is: a rewrite would garble what the user wrote.
    SetBuiltInDefaults();
    MessageBoxW(nullptr, Format(SLookupFileLeft, {refused, fileName}).c_str(), nullptr,
                MB_ICONWARNING);
    return;
  }
  {
    TTextString text;
    text.SetText(decoded);
    TSourceLanguageKind current = lanUndefined;
    while (!text.Eof()) {
      String line = Trim(text.ReadLine());
      if (line.empty())
        continue;
      Integer open = Pos(u"[", line);
      if (open > 0) {
        String section = Copy(line, open + 1);
        Integer close = Pos(u"]", section);
        if (close > 0)
          section = Copy(section, 1, close - 1);
        current = LanguageKindFromName(Trim(section));
      } else if (current != lanUndefined && Pos(u"=", line) > 0) {
        HungarianLookup(current).Add(line);
      }
    }
  }
  // The parameters from the same text, so that both readings agree on its encoding.
  TStringList lines;
  lines.SetText(decoded);
  TUtf8IniFile ini(fileName, lines);
  THungarianLookup &pascal = HungarianLookup(lanPascal);
  const String section = ParamsSection(lanPascal);
  String value = ini.ReadString(section, SReplacePrefix, u"");
  if (!value.empty()) {
    try {
      pascal.ReplacePrefix = KRStrUtils::StrToBool(value);
    } catch (const EConvertError &) {
      // Not a Boolean text: the setting stays as it is.
    }
  } else {
    ini.WriteString(section, SReplacePrefix, KRStrUtils::BoolToStr(pascal.ReplacePrefix));
  }
  if (ini.ValueExists(section, SReplaceWith))
    pascal.ReplaceWith = ini.ReadString(section, SReplaceWith, u"");
  else
    ini.WriteString(section, SReplaceWith, SDefaultReplaceWith);
  ini.UpdateFile();
}

void DataTypInitialization() {
  for (auto &lookup : State().Lookups)
    lookup = std::make_unique<THungarianLookup>();
  String fileName;
  try {
    fileName = HungarianLookupFileName();
    if (!FileExistsQuiet(fileName))
      WriteDefaultHungarianLookupFile(fileName);
    ReadHungarianLookupFile(fileName);
  } catch (const Exception &e) {
    // The library must still load: keep the defaults the default file would have given.
    SetBuiltInDefaults();
    MessageBoxW(nullptr, Format(SLookupFileFailed, {fileName, e.Message()}).c_str(), nullptr,
                MB_ICONERROR);
  }
}

void DataTypFinalization() {
  for (auto &lookup : State().Lookups)
    lookup.reset();
}

} // namespace krx
