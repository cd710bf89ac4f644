#include "XML/XMLFilers.h"

#include "Platform/Rtl/Character.h"
#include "Platform/Rtl/Encoding.h"
#include "Platform/Rtl/ScopeExit.h"
#include "World/ClassEx.h"

#include <algorithm>
#include <unordered_map>

namespace krx {

namespace {

const Char *const SIllegalAttributeValue = u"Illegal attribute value definition";
const Char *const SIllegalElementEnd = u"Illegal element end";
const Char *const SUnexpectedEndOfDocument = u"Unexpected end of document";
const Char *const SUnexpectedEntity = u"Unexpected entity";
const Char *const SUnterminatedDTD = u"Unterminated DTD";
const Char *const SUnterminatedElement = u"Unterminated element";
const Char *const SUnterminatedInternalDTD = u"Unterminated internal DTD";
const Char *const SUnterminatedValueString = u"Unterminated value string";
const Char *const SElementMismatch = u"Element start %s does not match element end %s";

struct TMarkup {
  Integer Front, Back;
};
constexpr TMarkup kMarkup[] = {{0, 0}, {1, 1}, {1, 2}, {2, 1}, {4, 3},
                               {2, 2}, {0, 0}, {9, 3}, {1, 1}, {9, 2}};

bool IsBlank(Char c) { return c >= 1 && c <= 32; }

// Rewrites the value of line index of a name-value list.
void SetValueAt(TStrings &list, Integer index, StringView value) {
  String line = list.Names(index);
  line.push_back(list.NameValueSeparator());
  line.append(value);
  list.SetStrings(index, line);
}

// The key under which a string list that ignores case finds a name.
String FoldedName(StringView name) {
  String key(name);
  for (Char &c : key)
    c = FoldChar(c);
  return key;
}

// Compares s with text at index i (0-based) without regard to ASCII case.
bool MatchText(StringView text, std::size_t i, StringView s) {
  if (i > text.size() || text.size() - i < s.size())
    return false;
  return SameText(text.substr(i, s.size()), s);
}

// Appends code point cp as UTF-16; false for 0, surrogates and values beyond U+10FFFF,
// which stay undecoded.
bool AppendCodePoint(String &out, Int64 cp) {
  if (cp <= 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
    return false;
  if (cp < 0x10000) {
    out.push_back(static_cast<Char>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<Char>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<Char>(0xDC00 + (cp & 0x3FF)));
  }
  return true;
}

} // namespace

Integer TokenFrontMarkup(TXMLTokenKind kind) { return kMarkup[static_cast<int>(kind)].Front; }
Integer TokenBackMarkup(TXMLTokenKind kind) { return kMarkup[static_cast<int>(kind)].Back; }

String DecodeEntities(StringView text) {
  std::size_t amp = text.find(u'&');
  if (amp == StringView::npos)
    return String(text);
  static constexpr StringView kAmp = u"&amp;", kApos = u"&apos;", kGt = u"&gt;", kLt = u"&lt;",
                              kQuot = u"&quot;";
  // A character reference holds at most this many characters between "&#" and ";" ("x" and
  // the digits, leading zeros allowed); one with more is left as text. Looking no further
  // keeps the work per "&" constant, however far away the next ';' is.
  constexpr std::size_t kMaxReferenceBody = 12;
  String result(text.substr(0, amp));
  result.reserve(text.size());
  std::size_t i = amp;
  while (i < text.size()) {
    Char c = text[i];
    if (c != u'&') {
      result.push_back(c);
      ++i;
      continue;
    }
    Char next = i + 1 < text.size() ? ToUpperChar(text[i + 1]) : Char(0);
    StringView ref;
    Char replacement = 0;
    if (next == u'A') {
      if (MatchText(text, i, kAmp)) {
        ref = kAmp;
        replacement = u'&';
      } else if (MatchText(text, i, kApos)) {
        ref = kApos;
        replacement = u'\'';
      }
    } else if (next == u'G' && MatchText(text, i, kGt)) {
      ref = kGt;
      replacement = u'>';
    } else if (next == u'L' && MatchText(text, i, kLt)) {
      ref = kLt;
      replacement = u'<';
    } else if (next == u'Q' && MatchText(text, i, kQuot)) {
      ref = kQuot;
      replacement = u'"';
    } else if (next == u'#' && i + 2 < text.size() &&
               ((text[i + 2] >= u'0' && text[i + 2] <= u'9') || text[i + 2] == u'x')) {
      const std::size_t semi =
          text.substr(0, std::min(text.size(), i + 2 + kMaxReferenceBody + 1)).find(u';', i + 2);
      if (semi != StringView::npos) {
        bool hex = text[i + 2] == u'x';
        String digits(text.substr(i + (hex ? 3 : 2), semi - i - (hex ? 3 : 2)));
        if (hex)
          digits.insert(0, u"$");
        Int64 number = -1;
        if (!TryStrToInt64(digits, number))
          number = -1;
        if (AppendCodePoint(result, number)) {
          i = semi + 1;
          continue;
        }
      }
    }
    if (!ref.empty()) {
      result.push_back(replacement);
      i += ref.size();
    } else {
      result.push_back(u'&');
      ++i;
    }
  }
  return result;
}

String DecodeXMLBytes(const Byte *data, std::size_t size) {
  if (size == 0)
    return String();
  // XML without a byte-order mark is UTF-8 by default; ANSI only when the bytes are not.
  if (DetectBOM(data, std::min<std::size_t>(size, 4)) == teAnsi && IsValidUtf8(data, size))
    return DecodeUtf8(data, size);
  String text;
  TTextEncoding encoding = teAnsi;
  if (!DecodeTextBytes(data, size, text, encoding))
    throw EUnsupportedTextEncoding();
  return text;
}

String TrimXMLText(StringView text) {
  std::size_t b = 0, e = text.size();
  while (b < e && text[b] <= 32) {
    Char c = text[b];
    if (c == u'\r' || c == u'\n') {
      Char other = c == u'\r' ? u'\n' : u'\r';
      b += (b + 1 < e && text[b + 1] == other) ? 2 : 1;
      break;
    }
    ++b;
  }
  while (e > b && text[e - 1] <= 32) {
    Char c = text[e - 1];
    if (c == u'\r' || c == u'\n') {
      Char other = c == u'\r' ? u'\n' : u'\r';
      e -= (e - 1 > b && text[e - 2] == other) ? 2 : 1;
      break;
    }
    --e;
  }
  return String(text.substr(b, e - b));
}

// ---- TXMLParser ---------------------------------------------------------------------------

void TXMLParser::LoadFromStream(TStream &stream) {
  TBytes bytes(static_cast<std::size_t>(std::max<Int64>(stream.Size() - stream.Position(), 0)));
  if (!bytes.empty())
    stream.ReadBuffer(bytes.data(), static_cast<Integer>(bytes.size()));
  LoadFromText(DecodeXMLBytes(bytes.data(), bytes.size()));
}

void TXMLParser::LoadFromText(StringView text) {
  FSource.assign(text);
  FSize = Length(text);
  FSource.push_back(0);
  FPosition = 1;
  FTokenKind = TXMLTokenKind::xtNone;
  FTokenText.clear();
}

bool TXMLParser::TextAtIs(Integer pos, StringView s) const {
  return MatchText(StringView(FSource).substr(0, static_cast<std::size_t>(FSize)),
                   static_cast<std::size_t>(pos - 1), s);
}

Integer TXMLParser::Find(StringView s, Integer from) const {
  auto p = StringView(FSource)
               .substr(0, static_cast<std::size_t>(FSize))
               .find(s, static_cast<std::size_t>(from - 1));
  return p == StringView::npos ? 0 : static_cast<Integer>(p) + 1;
}

void TXMLParser::Error(StringView text) const {
  Integer line = 0, column = 0;
  GetPosition(line, column);
  throw EKRXMLException(Format(u"Error %s in line %d col %d", {String(text), line, column}));
}

void TXMLParser::GetPosition(Integer &line, Integer &column) const {
  line = 1;
  column = 1;
  const Integer last = std::min(FPosition, FSize);
  for (Integer i = 1; i <= last; ++i) {
    Char c = At(i);
    if (c == u'\r') {
      ++line;
      column = 1;
      if (i < last && At(i + 1) == u'\n')
        ++i;
    } else if (c == u'\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
}

void TXMLParser::ScanText(Integer start) {
  Integer stop = Find(u"<", FPosition);
  if (stop == 0)
    stop = FSize + 1;
  FTokenText = DecodeEntities(StringView(FSource).substr(static_cast<std::size_t>(start - 1),
                                                         static_cast<std::size_t>(stop - start)));
  FTokenKind = TXMLTokenKind::xtText;
  FPosition = stop;
}

TXMLTokenKind TXMLParser::NextToken() {
  FTokenText.clear();
  FTokenKind = TXMLTokenKind::xtNone;
  const Integer start = FPosition;
  if (FPosition > FSize)
    return FTokenKind;
  while (FPosition <= FSize && IsBlank(At(FPosition)))
    ++FPosition;
  // Only the terminator ends the text: a character 0 inside it is character data, so
  // that nothing after it is silently dropped.
  if (FPosition > FSize)
    return FTokenKind;
  const Char c = At(FPosition);
  if (c != u'<') {
    // Character data, also when it begins with an entity or character reference.
    ScanText(start);
    return FTokenKind;
  }
  const Char c2 = At(FPosition + 1);
  Integer end = 0; // 1-based index of the token's last character
  if (c2 == u'!') {
    if (TextAtIs(FPosition, u"<!--")) {
      Integer p = Find(u"-->", FPosition);
      if (p == 0)
        Error(SUnterminatedElement);
      end = p + 2;
      FTokenKind = TXMLTokenKind::xtComment;
    } else if (TextAtIs(FPosition, u"<![CDATA[")) {
      Integer p = Find(u"]]>", FPosition);
      if (p == 0)
        Error(SUnterminatedElement);
      end = p + 2;
      // The content as written: no entity decoding inside a CDATA section.
      FTokenText = FSource.substr(static_cast<std::size_t>(FPosition - 1 + 9),
                                  static_cast<std::size_t>(p - FPosition - 9));
      FTokenKind = TXMLTokenKind::xtCData;
      FPosition = end + 1;
      return FTokenKind;
    } else if (TextAtIs(FPosition, u"<!DOCTYPE")) {
      Integer p = FPosition;
      while (p <= FSize && At(p) != u'>' && At(p) != u'[')
        ++p;
      if (p > FSize)
        Error(SUnterminatedDTD);
      if (At(p) == u'[') {
        // The internal subset ends at "]", white space, ">".
        Integer q = p;
        for (;;) {
          q = Find(u"]", q + 1);
          if (q == 0)
            Error(SUnterminatedInternalDTD);
          Integer r = q + 1;
          while (r <= FSize && IsBlank(At(r)))
            ++r;
          if (r <= FSize && At(r) == u'>') {
            p = r;
            break;
          }
        }
      }
      end = p;
      FTokenKind = TXMLTokenKind::xtDocType;
    } else {
      Error(SUnexpectedEntity);
    }
  } else if (c2 == u'?') {
    Integer p = Find(u"?>", FPosition);
    if (p == 0)
      Error(SUnterminatedElement);
    end = p + 1;
    FTokenKind = TXMLTokenKind::xtInstruction;
  } else {
    bool inside = false;
    Integer p = FPosition + 1;
    for (; p <= FSize; ++p) {
      Char ch = At(p);
      if (ch == u'"')
        inside = !inside;
      else if (ch == u'>' && !inside)
        break;
    }
    if (p > FSize)
      Error(SUnterminatedElement);
    end = p;
    if (At(p - 1) == u'/')
      FTokenKind = TXMLTokenKind::xtEmptyTag;
    else if (c2 == u'/')
      FTokenKind = TXMLTokenKind::xtEndTag;
    else
      FTokenKind = TXMLTokenKind::xtStartTag;
  }
  FTokenText = FSource.substr(static_cast<std::size_t>(FPosition - 1),
                              static_cast<std::size_t>(end - FPosition + 1));
  FPosition = end + 1;
  return FTokenKind;
}

void TXMLParser::ParseTag(String &name, TStrings &attributes) {
  const Integer front = TokenFrontMarkup(FTokenKind), back = TokenBackMarkup(FTokenKind);
  const String tag = Copy(FTokenText, front + 1, Length(FTokenText) - front - back);
  const std::size_t n = tag.size();
  name.clear();
  bool haveName = false;
  Integer pending = -1; // line of the attribute waiting for its value
  // Lines by folded attribute name, so that a tag with many attributes stays linear; the
  // list itself is searched only when it held entries before.
  const bool startedEmpty = attributes.Count() == 0;
  std::unordered_map<String, Integer> lines;
  std::size_t i = 0;
  while (i < n) {
    Char c = tag[i];
    if (c <= 32) {
      ++i;
    } else if (c == u'=') {
      if (pending < 0)
        Error(SIllegalAttributeValue);
      ++i;
    } else if (c == u'"' || c == u'\'') {
      if (pending < 0)
        Error(SIllegalAttributeValue);
      std::size_t close = tag.find(c, i + 1);
      if (close == String::npos)
        Error(SUnterminatedValueString);
      String value = DecodeEntities(StringView(tag).substr(i + 1, close - i - 1));
      SetValueAt(attributes, pending, value);
      pending = -1;
      i = close + 1;
    } else {
      std::size_t b = i;
      while (i < n && tag[i] > 32 && tag[i] != u'=')
        ++i;
      String word = tag.substr(b, i - b);
      if (!haveName) {
        name = std::move(word);
        haveName = true;
      } else {
        if (!startedEmpty) {
          pending = SetStringsValue(attributes, word, u"");
          continue;
        }
        String key = FoldedName(word);
        auto it = lines.find(key);
        if (it == lines.end()) {
          pending = AddNameValue(attributes, word, u"");
          lines.emplace(std::move(key), pending);
        } else {
          pending = it->second;
          SetValueAt(attributes, pending, u"");
        }
      }
    }
  }
}

String TXMLParser::EndTagName() const {
  const Integer front = TokenFrontMarkup(FTokenKind), back = TokenBackMarkup(FTokenKind);
  const Integer last = Length(FTokenText) - back; // 1-based index of the last content char
  Integer i = front + 1;
  while (i <= last && IsBlank(FTokenText[static_cast<std::size_t>(i - 1)]))
    ++i;
  Integer b = i;
  while (i <= last && FTokenText[static_cast<std::size_t>(i - 1)] > 32)
    ++i;
  return Copy(FTokenText, b, i - b);
}

// ---- TXMLReader ---------------------------------------------------------------------------

void TXMLReader::ReadFile(const String &fileName, TXMLDocument &document) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  Read(stream, document);
}

void TXMLReader::Read(TStream &stream, TXMLDocument &document) {
  FDocument = &document;
  FParser = std::make_unique<TXMLParser>();
  TScopeExit done{[this] { FParser.reset(); }};
  TScopeFail failed{[this] { FCurrent = nullptr; }};
  FParser->LoadFromStream(stream);
  Build();
}

void TXMLReader::ReadText(StringView text, TXMLDocument &document) {
  FDocument = &document;
  FParser = std::make_unique<TXMLParser>();
  TScopeExit done{[this] { FParser.reset(); }};
  TScopeFail failed{[this] { FCurrent = nullptr; }};
  FParser->LoadFromText(text);
  Build();
}

void TXMLReader::Build() {
  TXMLParser &parser = *FParser;
  FDocument->Clear();
  FCurrent = FDocument;
  for (;;) {
    switch (parser.NextToken()) {
    case TXMLTokenKind::xtStartTag:
    case TXMLTokenKind::xtEmptyTag: {
      TXMLElement *element = TXMLElement::CreateNamed(*FCurrent, String());
      FCurrent = element;
      String name;
      parser.ParseTag(name, element->Attributes());
      element->SetName(std::move(name));
      if (parser.TokenKind() == TXMLTokenKind::xtEmptyTag)
        FCurrent = element->Parent();
      break;
    }
    case TXMLTokenKind::xtEndTag: {
      String name = parser.EndTagName();
      if (FCurrent->Parent() == nullptr)
        parser.Error(SIllegalElementEnd);
      if (!SameText(name, FCurrent->Name()))
        parser.Error(Format(SElementMismatch, {FCurrent->Name(), name}));
      FCurrent = FCurrent->Parent();
      break;
    }
    case TXMLTokenKind::xtComment:
    case TXMLTokenKind::xtEntity:
      break;
    case TXMLTokenKind::xtInstruction: {
      const String &text = parser.TokenText();
      TXMLElement *element =
          TXMLElement::Create(*FDocument, TXMLElementKind::ekInstruction, u"Instruction", text);
      if (text.size() > 5 && SameText(StringView(text).substr(0, 5), u"<?xml") &&
          (IsBlank(text[5]) || text[5] == u'?')) {
        String name;
        parser.ParseTag(name, element->Attributes());
        element->SetName(name);
        const TDictionary &a = element->Attributes();
        String v = a.Values(u"version");
        if (!v.empty())
          FDocument->Version = v;
        v = a.Values(u"standalone");
        if (!v.empty())
          FDocument->Standalone = v;
        v = a.Values(u"encoding");
        if (!v.empty())
          FDocument->Encoding = v;
      }
      break;
    }
    case TXMLTokenKind::xtText:
      TXMLElement::Create(*FCurrent, TXMLElementKind::ekText, String(),
                          TrimXMLText(parser.TokenText()));
      break;
    case TXMLTokenKind::xtCData:
      // Taken literally: no trimming of a CDATA section's content.
      TXMLElement::Create(*FCurrent, TXMLElementKind::ekText, String(), parser.TokenText());
      break;
    case TXMLTokenKind::xtDocType: {
      const String &text = parser.TokenText();
      TXMLElement *element = TXMLElement::Create(*FDocument, TXMLElementKind::ekDTD, u"DTD", text);
      String root = Copy(text, 10);
      Integer bracket = Pos(u"[", root);
      root = bracket > 0 ? Copy(root, 1, bracket - 1) : Copy(root, 1, Length(root) - 1);
      root = Trim(root);
      for (std::size_t k = 0; k < root.size(); ++k)
        if (IsBlank(root[k])) {
          root.resize(k);
          break;
        }
      SetStringsValue(element->Attributes(), root, u"");
      FDocument->SetName(root);
      break;
    }
    case TXMLTokenKind::xtNone:
      if (FCurrent != FDocument)
        parser.Error(SUnexpectedEndOfDocument);
      FCurrent = nullptr;
      return;
    }
  }
}

void TXMLFiler::Load(const String &fileName, TXMLDocument &document) {
  TXMLReader reader;
  reader.ReadFile(fileName, document);
}

} // namespace krx
