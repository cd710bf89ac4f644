#include "Platform/Rtl/IniFiles.h"

#include <algorithm>

#include "Platform/Rtl/Files.h"
#include "Platform/Rtl/Streams.h"

namespace krx {

namespace {

// Runs body inside BeginUpdate/EndUpdate of the list; EndUpdate also runs when body raises.
template <typename F> void WithUpdate(TStrings &list, F &&body) {
  list.BeginUpdate();
  try {
    body();
  } catch (...) {
    list.EndUpdate();
    throw;
  }
  list.EndUpdate();
}

} // namespace

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

void TMemIniFile::Clear() { FSections.Clear(); }

TStringList *TMemIniFile::FindSection(const String &Section) const {
  Integer i = FSections.IndexOf(Section);
  return i >= 0 ? static_cast<TStringList *>(FSections.Objects(i)) : nullptr;
}

TStringList *TMemIniFile::AddSection(const String &Section) {
  auto lines = std::make_unique<TStringList>();
  lines->SetCaseSensitive(FSections.CaseSensitive());
  TStringList *result = lines.get();
  FSections.AddObject(Section, lines.release());
  return result;
}

void TMemIniFile::SetCaseSensitive(bool Value) {
  if (Value == FSections.CaseSensitive())
    return;
  FSections.SetCaseSensitive(Value);
  for (Integer i = 0; i < FSections.Count(); ++i)
    static_cast<TStringList *>(FSections.Objects(i))->SetCaseSensitive(Value);
}

String TMemIniFile::ReadString(const String &Section, const String &Ident,
                               const String &Default) const {
  if (TStringList *lines = FindSection(Section)) {
    Integer i = lines->IndexOfName(Ident);
    if (i >= 0)
      return Copy(lines->Get(i), Length(Ident) + 2);
  }
  return Default;
}

void TMemIniFile::WriteString(const String &Section, const String &Ident, const String &Value) {
  TStringList *lines = FindSection(Section);
  if (lines == nullptr)
    lines = AddSection(Section);
  String s = Ident + u"=" + Value;
  Integer i = lines->IndexOfName(Ident);
  if (i >= 0)
    lines->Put(i, s);
  else
    lines->Add(s);
  FModified = true;
}

void TMemIniFile::ReadSection(const String &Section, TStrings &Strings) const {
  WithUpdate(Strings, [&] {
    Strings.Clear();
    if (TStringList *lines = FindSection(Section))
      for (Integer i = 0; i < lines->Count(); ++i)
        Strings.Add(lines->Names(i));
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
    if (TStringList *lines = FindSection(Section))
      Strings.AddStrings(*lines);
  });
}

void TMemIniFile::EraseSection(const String &Section) {
  Integer i = FSections.IndexOf(Section);
  if (i >= 0) {
    FSections.Delete(i);
    FModified = true;
  }
}

void TMemIniFile::DeleteKey(const String &Section, const String &Ident) {
  if (TStringList *lines = FindSection(Section)) {
    Integer i = lines->IndexOfName(Ident);
    if (i >= 0) {
      lines->Delete(i);
      FModified = true;
    }
  }
}

void TMemIniFile::GetStrings(TStrings &List) const {
  WithUpdate(List, [&] {
    for (Integer i = 0; i < FSections.Count(); ++i) {
      List.Add(u"[" + FSections.Get(i) + u"]");
      auto *lines = static_cast<TStringList *>(FSections.Objects(i));
      for (Integer j = 0; j < lines->Count(); ++j)
        List.Add(lines->Get(j));
      List.Add(String());
    }
  });
}

void TMemIniFile::SetStrings(const TStrings &List) {
  Clear();
  TStringList *lines = nullptr;
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
