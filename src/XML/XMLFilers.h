// Reading an XML file into a TXMLDocument. TXMLParser cuts the text into tokens and splits
// tags into a name and attributes, TXMLReader builds the tree and checks that tags nest,
// TXMLFiler is the entry point. The reader is lenient (single- or double-quoted values,
// attributes without a value, end tags matched without regard to case) and validates
// nothing beyond nesting. Every failure is an EKRXMLException naming line and column.
#pragma once

#include "Platform/Rtl/Streams.h"
#include "XML/KRXMLDOM.h"

namespace krx {

KRX_DECLARE_EXCEPTION(EKRXMLException, Exception);

enum class TXMLTokenKind : Byte {
  xtNone = 0,        // end of text
  xtStartTag = 1,    // <name ...>
  xtEmptyTag = 2,    // <name .../>
  xtEndTag = 3,      // </name>
  xtComment = 4,     // <!-- ... -->
  xtInstruction = 5, // <? ... ?>
  xtText = 6,        // character data, entities decoded
  xtCData = 7,       // <![CDATA[ ... ]]>; the token text is the content, taken literally
  xtEntity = 8,      // kept for the numbering; references are read as part of the text
  xtDocType = 9,     // <!DOCTYPE ... >
};

// Characters of markup before and after the content of a token of each kind.
Integer TokenFrontMarkup(TXMLTokenKind kind);
Integer TokenBackMarkup(TXMLTokenKind kind);

// Replaces the five predefined entity references (any case) and numeric character
// references (&#65; and &#x41;, lower-case x only); anything else is left as written.
String DecodeEntities(StringView text);

// The text of an XML file's bytes: a byte-order mark decides (UTF-8, UTF-16LE; UTF-16BE and
// UTF-32 raise EUnsupportedTextEncoding); without one, UTF-8 when the bytes are valid UTF-8,
// else the ANSI code page.
String DecodeXMLBytes(const Byte *data, std::size_t size);

class TXMLParser {
public:
  // Reads the whole stream as text (see DecodeXMLBytes).
  void LoadFromStream(TStream &stream);
  void LoadFromText(StringView text);

  // Scans one token; sets TokenText and TokenKind and returns the kind.
  TXMLTokenKind NextToken();
  // Splits the last tag token into its name and attributes.
  void ParseTag(String &name, TStrings &attributes);
  // The name of the last end-tag token.
  String EndTagName() const;
  // Line and column of Position: lines end at CR LF, a lone CR or a lone LF; the column
  // counts the character at Position itself, so the first character is column 2.
  void GetPosition(Integer &line, Integer &column) const;

  const String &TokenText() const { return FTokenText; }
  TXMLTokenKind TokenKind() const { return FTokenKind; }
  Integer Position() const { return FPosition; }
  Integer Size() const { return FSize; }

  // Raises EKRXMLException "Error %s in line %d col %d" at the current position.
  [[noreturn]] void Error(StringView text) const;

private:
  Char At(Integer pos) const { return FSource[static_cast<std::size_t>(pos - 1)]; }
  bool TextAtIs(Integer pos, StringView s) const;
  Integer Find(StringView s, Integer from) const;
  void ScanText(Integer start);

  String FSource; // the text followed by one character 0
  Integer FSize = 0;
  Integer FPosition = 1; // 1-based index of the next character to scan
  String FTokenText;
  TXMLTokenKind FTokenKind = TXMLTokenKind::xtNone;
};

class TXMLReader {
public:
  // Opens the file for reading (others may read, not write) and reads it.
  void ReadFile(const String &fileName, TXMLDocument &document);
  // Clears the document and builds the tree. On an error the document keeps what was built.
  void Read(TStream &stream, TXMLDocument &document);
  void ReadText(StringView text, TXMLDocument &document);

private:
  void Build();

  TXMLElement *FCurrent = nullptr;
  TXMLDocument *FDocument = nullptr;
  std::unique_ptr<TXMLParser> FParser;
};

class TXMLFiler {
public:
  static void Load(const String &fileName, TXMLDocument &document);
};

// Trimming of text nodes: blanks and control characters are removed at each end up to the
// first other character or up to and including the first line break, whichever comes first.
String TrimXMLText(StringView text);

} // namespace krx
