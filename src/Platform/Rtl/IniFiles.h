// Ini files as the class library keeps them: TCustomIniFile, the abstract interface, and
// TMemIniFile, which reads the whole file at creation and writes it back only on UpdateFile.
#pragma once

#include "Platform/Rtl/Classes.h"

#include <unordered_map>

namespace krx {

// The encoding in which TMemIniFile reads a file's bytes when it is given none: UTF-8 for text
// without a byte-order mark that is valid UTF-8 and not plain ASCII; null otherwise, so that
// the byte-order mark decides (ANSI without one).
const TEncoding *UnmarkedUtf8(const TBytes &bytes);

class TCustomIniFile : public TObject {
public:
  explicit TCustomIniFile(const String &FileName) : FFileName(FileName) {}

  const String &FileName() const { return FFileName; }

  // True when the section holds at least one line.
  virtual bool SectionExists(const String &Section) const;
  virtual bool ValueExists(const String &Section, const String &Ident) const;

  virtual String ReadString(const String &Section, const String &Ident,
                            const String &Default) const = 0;
  virtual void WriteString(const String &Section, const String &Ident, const String &Value) = 0;
  // StrToIntDef of the text ("$" and "0x" hexadecimal accepted).
  virtual Integer ReadInteger(const String &Section, const String &Ident, Integer Default) const;
  virtual void WriteInteger(const String &Section, const String &Ident, Integer Value);
  // Any integer but 0 is True; a text that is no integer gives Default.
  virtual bool ReadBool(const String &Section, const String &Ident, bool Default) const;
  // Writes "1" or "0".
  virtual void WriteBool(const String &Section, const String &Ident, bool Value);

  // The names of the section's keys.
  virtual void ReadSection(const String &Section, TStrings &Strings) const = 0;
  virtual void ReadSections(TStrings &Strings) const = 0;
  // The section's lines, "name=value".
  virtual void ReadSectionValues(const String &Section, TStrings &Strings) const = 0;
  virtual void EraseSection(const String &Section) = 0;
  virtual void DeleteKey(const String &Section, const String &Ident) = 0;
  virtual void UpdateFile() = 0;

protected:
  String FFileName;
};

class TMemIniFile : public TCustomIniFile {
public:
  // Reads the file when it exists. Without an encoding the byte-order mark decides (UTF-8,
  // UTF-16LE, UTF-16BE; ANSI without one), and the encoding found is kept for saving.
  explicit TMemIniFile(const String &FileName, const TEncoding *AEncoding = nullptr,
                       bool CaseSensitive = false);
  ~TMemIniFile() override = default;

  String ReadString(const String &Section, const String &Ident,
                    const String &Default) const override;
  // Replaces the first line of that name in place, or adds a line at the section's end; a
  // new section goes after the others.
  void WriteString(const String &Section, const String &Ident, const String &Value) override;
  void ReadSection(const String &Section, TStrings &Strings) const override;
  void ReadSections(TStrings &Strings) const override;
  void ReadSectionValues(const String &Section, TStrings &Strings) const override;
  void EraseSection(const String &Section) override;
  void DeleteKey(const String &Section, const String &Ident) override;
  // Writes the whole content to FileName with Encoding.
  void UpdateFile() override;

  void Clear();
  // Appends "[section]", the section's lines and an empty line for every section.
  void GetStrings(TStrings &List) const;
  // Replaces the content by the lines of an ini file: lines are trimmed, empty lines, lines
  // starting with ';' and lines before the first section are skipped, blanks around the
  // first '=' are removed.
  void SetStrings(const TStrings &List);
  void Rename(const String &FileName, bool Reload);

  bool CaseSensitive() const { return FSections.CaseSensitive(); }
  void SetCaseSensitive(bool Value);
  const TEncoding *Encoding() const { return FEncoding; }
  void SetEncoding(const TEncoding *Value) { FEncoding = Value; }
  bool Modified() const { return FModified; }
  void SetModified(bool Value) { FModified = Value; }

private:
  class TSection;

  void LoadValues();
  // A name as the index holds it: folded unless the file is case-sensitive, so that equal
  // keys are exactly the names the class library's comparison takes for the same.
  String Key(StringView Name) const;
  TSection *FindSection(const String &Section) const;
  TSection *AddSection(const String &Section);
  void IndexSections();

  // Section names in file order, each with its owned TSection; FSectionIndex gives the
  // position of each name, so that finding a section does not scan the others.
  TStringList FSections{true};
  std::unordered_map<String, Integer> FSectionIndex;
  const TEncoding *FEncoding = nullptr;
  bool FModified = false;
};

} // namespace krx
