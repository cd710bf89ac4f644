#include "Platform/Rtl/IniFiles.h"

#include <algorithm>

#include "Platform/Rtl/Character.h"
#include "Platform/Rtl/Files.h"
#include "Platform/Rtl/Streams.h"

namespace krx {

// The lines of one section, "name=value" or anything else, in file order, and the position
// of the first line of each name (the line the class library's lookup finds), so that a
// lookup does not scan the section.
class TMemIniFile::TSection : public TObject {
public:
  explicit TSection(const TMemIniFile &owner) : FOwner(owner) {}

  const TStringList &Lines() const { return FLines; }
  Integer IndexOfName(const String &Name) const {
    const auto it = FNames.find(FOwner.Key(Name));
    return it == FNames.end() ? -1 : it->second;
  }
  void Add(const String &Line) { IndexLine(FLines.Add(Line)); }
  // Replaces line Index by a line of the same name.
  void Put(Integer Index, const String &Line) { FLines.Put(Index, Line); }
  void Delete(Integer Index) {
    FLines.Delete(Index);
    Reindex();
  }
  void Reindex() {
    FNames.clear();
    for (Integer i = 0; i < FLines.Count(); ++i)
      IndexLine(i);
  }

private:
  void IndexLine(Integer Index) {
    const String &line = FLines.Get(Index);
    const std::size_t p = line.find(u'=');
    if (p != String::npos)
      FNames.emplace(FOwner.Key(StringView(line).substr(0, p)), Index);
  }

  const TMemIniFile &FOwner;
  TStringList FLines;
  std::unordered_map<String, Integer> FNames;
};

// A file read as ANSI that is really unmarked UTF-8 would come back double-encoded from the
// next save.
const TEncoding *UnmarkedUtf8(const TBytes &bytes) {
  const TEncoding *marked = nullptr;
  if (TEncoding::GetBufferEncoding(bytes.data(), bytes.size(), marked, nullptr) != 0)
    return nullptr;
  const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](Byte b) { return b < 0x80; });
  return !ascii && IsValidUtf8(bytes.data(), bytes.size()) ? TEncoding::UTF8() : nullptr;
}

// ---- TCustomIniFile -----------------------------------------------------------------------

bool TCustomIniFile::SectionExists(const String &Section) const {
  TStringList names;
  ReadSection(Section, names);
  return names.Count() > 0;
}

bool TCustomIniFile::ValueExists(const String &Section, const String &Ident) const {
  TStringList names;
  ReadSection(Section, names);
  return names.IndexOf(Ident) >= 0;
}

Integer TCustomIniFile::ReadInteger(const String &Section, const String &Ident,
                                    Integer Default) const {
  return StrToIntDef(ReadString(Section, Ident, String()), Default);
}

void TCustomIniFile::WriteInteger(const String &Section, const String &Ident, Integer Value) {
  WriteString(Section, Ident, IntToStr(Value));
}

bool TCustomIniFile::ReadBool(const String &Section, const String &Ident, bool Default) const {
  return ReadInteger(Section, Ident, Default ? 1 : 0) != 0;
}

void TCustomIniFile::WriteBool(const String &Section, const String &Ident, bool Value) {
  WriteString(Section, Ident, Value ? u"1" : u"0");
}

// ---- TMemIniFile --------------------------------------------------------------------------

TMemIniFile::TMemIniFile(const String &FileName, const TEncoding *AEncoding, bool CaseSensitive)
    : TCustomIniFile(FileName), FEncoding(AEncoding) {
  FSections.SetCaseSensitive(CaseSensitive);
  LoadValues();
}

void TMemIniFile::LoadValues() {
  if (FFileName.empty() || !FileExists(FFileName)) {
    Clear();
    return;
  }
  const TBytes bytes = LoadFileBytes(FFileName);
  TStringList list;
  list.LoadFromBytes(bytes, FEncoding ? FEncoding : UnmarkedUtf8(bytes));
  FEncoding = list.Encoding();
  SetStrings(list);
}

void TMemIniFile::Clear() {
  FSections.Clear();
  FSectionIndex.clear();
}

String TMemIniFile::Key(StringView Name) const {
  String key(Name);
  if (!FSections.CaseSensitive())
    for (Char &c : key)
      c = FoldChar(c);
  return key;
}

TMemIniFile::TSection *TMemIniFile::FindSection(const String &Section) const {
  const auto it = FSectionIndex.find(Key(Section));
  return it == FSectionIndex.end() ? nullptr
                                   : static_cast<TSection *>(FSections.Objects(it->second));
}

TMemIniFile::TSection *TMemIniFile::AddSection(const String &Section) {
  auto section = std::make_unique<TSection>(*this);
  TSection *result = section.get();
  FSectionIndex.emplace(Key(Section), FSections.AddObject(Section, section.release()));
  return result;
}

// Of names that compare equal, the first is found, as a scan would find it.
void TMemIniFile::IndexSections() {
  FSectionIndex.clear();
  for (Integer i = 0; i < FSections.Count(); ++i)
    FSectionIndex.emplace(Key(FSections.Get(i)), i);
}

void TMemIniFile::SetCaseSensitive(bool Value) {
  if (Value == FSections.CaseSensitive())
    return;
  FSections.SetCaseSensitive(Value);
  IndexSections();
  for (Integer i = 0; i < FSections.Count(); ++i)
    static_cast<TSection *>(FSections.Objects(i))->Reindex();
}

String TMemIniFile::ReadString(const String &Section, const String &Ident,
                               const String &Default) const {
  if (const TSection *section = FindSection(Section)) {
    Integer i = section->IndexOfName(Ident);
    if (i >= 0)
      return Copy(section->Lines().Get(i), Length(Ident) + 2);
  }
  return Default;
}

void TMemIniFile::WriteString(const String &Section, const String &Ident, const String &Value) {
  TSection *section = FindSection(Section);
  if (section == nullptr)
    section = AddSection(Section);
  String s = Ident + u"=" + Value;
  Integer i = section->IndexOfName(Ident);
  if (i >= 0)
    section->Put(i, s);
  else
    section->Add(s);
  FModified = true;
}

void TMemIniFile::ReadSection(const String &Section, TStrings &Strings) const {
  WithUpdate(Strings, [&] {
    Strings.Clear();
    if (const TSection *section = FindSection(Section))
      for (Integer i = 0; i < section->Lines().Count(); ++i)
        Strings.Add(section->Lines().Names(i));
  });
}

void TMemIniFile::ReadSections(TStrings &Strings) const {
  WithUpdate(Strings, [&] {
    Strings.Clear();
    for (Integer i = 0; i < FSections.Count(); ++i)
      Strings.Add(FSections.Get(i));
  });
}

void TMemIniFile::ReadSectionValues(const String &Section, TStrings &Strings) const {
  WithUpdate(Strings, [&] {
    Strings.Clear();
    if (const TSection *section = FindSection(Section))
      Strings.AddStrings(section->Lines());
  });
}

void TMemIniFile::EraseSection(const String &Section) {
  const auto it = FSectionIndex.find(Key(Section));
  if (it != FSectionIndex.end()) {
    FSections.Delete(it->second);
    IndexSections();
    FModified = true;
  }
}

void TMemIniFile::DeleteKey(const String &Section, const String &Ident) {
  if (TSection *section = FindSection(Section)) {
    Integer i = section->IndexOfName(Ident);
    if (i >= 0) {
      section->Delete(i);
      FModified = true;
    }
  }
}

void TMemIniFile::GetStrings(TStrings &List) const {
  WithUpdate(List, [&] {
    for (Integer i = 0; i < FSections.Count(); ++i) {
      List.Add(u"[" + FSections.Get(i) + u"]");
      List.AddStrings(static_cast<const TSection *>(FSections.Objects(i))->Lines());
      List.Add(String());
    }
  });
}

void TMemIniFile::SetStrings(const TStrings &List) {
  Clear();
  TSection *lines = nullptr;
  for (Integer i = 0; i < List.Count(); ++i) {
    String s = Trim(List.Get(i));
    if (s.empty() || s[0] == u';')
      continue;
    if (s[0] == u'[' && s.back() == u']' && s.size() >= 2) {
      String name = Trim(StringView(s).substr(1, s.size() - 2));
      // A section that appears twice is one section: its later lines join the first.
      lines = FindSection(name);
      if (lines == nullptr)
        lines = AddSection(name);
    } else if (lines != nullptr) {
      Integer j = Pos(u"=", s);
      if (j > 0)
        lines->Add(Trim(Copy(s, 1, j - 1)) + u"=" + Trim(Copy(s, j + 1)));
      else
        lines->Add(s);
    }
  }
}

void TMemIniFile::Rename(const String &FileName, bool Reload) {
  FFileName = FileName;
  if (Reload)
    LoadValues();
}

void TMemIniFile::UpdateFile() {
  TStringList list;
  GetStrings(list);
  list.SaveToFile(FFileName, FEncoding);
  FModified = false;
}

} // namespace krx
