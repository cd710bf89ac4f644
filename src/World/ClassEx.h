// Text files read with byte-order-mark detection and written as UTF-8 with a mark,
// reference-counted string lists and object guards, and string-list helpers.
#pragma once

#include "Platform/Rtl/Classes.h"
#include "Platform/Rtl/Intf.h"
#include "Platform/Rtl/Streams.h"
#include "Platform/Rtl/SysUtils.h"
#include "Platform/Rtl/System.h"
#include "Platform/Rtl/Types.h"
#include "Platform/Win/Windows.h"

#include <concepts>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace krx {

// ---- Encodings ----------------------------------------------------------------------------

// A text whose byte-order mark announces an encoding the system does not read
// (UTF-16 big-endian, UTF-32).
class EUnsupportedTextEncoding : public Exception {
public:
  explicit EUnsupportedTextEncoding(String message = {})
      : Exception(message.empty() ? String(u"Unsupported text encoding") : std::move(message)) {}
  const Char *ClassName() const noexcept override { return u"EUnsupportedTextEncoding"; }
};

// The encoding a byte-order mark announces. Only teAnsi, teUtf8 and teUtf16LE are read.
enum TTextEncoding : std::uint8_t { teAnsi, teUtf8, teUtf16LE, teUtf16BE, teUtf32LE, teUtf32BE };

// The encoding announced by the first up to four bytes (count of them given).
TTextEncoding DetectBOM(const Byte *firstBytes, std::size_t count);
// Length of the mark: 3 for UTF-8, 2 for UTF-16, 4 for UTF-32, 0 for ANSI.
Integer BOMLength(TTextEncoding encoding);
// Bytes per code unit.
Integer EncodingInfo(TTextEncoding encoding);

// Decodes a whole file's bytes with detection. Returns false (and leaves text empty) for
// the refused encodings; the encoding found is returned in every case. ANSI is the
// Windows-1252 code page; invalid UTF-8 becomes U+FFFD; an odd last byte of UTF-16 is dropped.
bool DecodeTextBytes(const Byte *data, std::size_t size, String &text, TTextEncoding &encoding);

// ---- Reading and writing text files -------------------------------------------------------

// Reads the stream from its position to its end with detection. A refused encoding raises
// EUnsupportedTextEncoding.
String ReadTextStream(TStream &stream);
String ReadTextStream(TStream &stream, TTextEncoding &encoding);
// Opens the file for reading (others may read, not write) and reads it as ReadTextStream.
String ReadTextFileEx(const String &fileName, TTextEncoding &encoding);
String ReadTextFile(const String &fileName);
// The file's bytes as UTF-8: a UTF-8 mark is skipped (no other mark is recognised) and the
// bytes end at the first zero byte.
std::string ReadUtf8Text(const String &fileName);
// Creates or truncates the file and writes EF BB BF, then the text as UTF-8.
void WriteUtf8File(const String &fileName, StringView text);

// Sets the list's text from ReadTextFileEx; nothing is assigned when reading fails.
void LoadStringsFromFile(TStrings &strings, const String &fileName);
// WriteUtf8File with the list's text (every line followed by CR LF).
void SaveStringsToUtf8File(const TStrings &strings, const String &fileName);

// ---- String-list helpers ------------------------------------------------------------------

// Sets the delimiter and assigns the text as delimited text (the class library's quoting
// rules; StrictDelimiter is left as it is).
void SetDelimitedText(TStrings &list, Char delimiter, const String &text);
// Puts count spaces before every non-empty line from first to min(last, Count - 1), in one
// update. A negative count fails an assertion ("Indention Error") and changes nothing.
void IndentLines(TStrings &strings, Integer first, Integer last, Integer count);
// Deletes blank lines (empty or all characters <= U+0020) from the top, then the bottom.
void TrimBlankLines(TStrings &list);
// Removes trailing characters <= U+0020 of every line.
void TrimRightLines(TStrings &list);
// The lines joined with the separator; with trim each line is trimmed first.
String JoinStrings(const TStrings &list, StringView separator, bool trim);

// ---- Counted string list ------------------------------------------------------------------

class IStringList : public virtual IInterface {
public:
  KRX_GUID("{C31513DA-E331-4AB6-B1B1-FD7A9371EBE4}");
  virtual Integer Add(const String &s) = 0;
  virtual Integer AddFmt(StringView format, FormatArgs args) = 0;
  virtual Integer AddObject(const String &s, TObject *object) = 0;
  virtual void Clear() = 0;
  virtual bool Contains(const String &s) = 0;
  virtual void Delete(Integer index) = 0;
  virtual bool Find(const String &s, Integer &index) = 0;
  virtual bool GetCaseSensitive() = 0;
  virtual String GetCommaText() = 0;
  virtual Integer GetCount() = 0;
  virtual TDuplicates GetDuplicates() = 0;
  virtual String GetLast() = 0;
  // Still owned by the wrapper.
  virtual TStringList *GetList() = 0;
  virtual String GetNames(Integer index) = 0;
  virtual TObject *GetObjects(Integer index) = 0;
  virtual bool GetSorted() = 0;
  virtual String GetStrings(Integer index) = 0;
  virtual String GetText() = 0;
  virtual String GetValueFromIndex(Integer index) = 0;
  virtual String GetValues(const String &name) = 0;
  virtual Integer IndexOf(const String &s) = 0;
  virtual Integer IndexOfName(const String &name) = 0;
  virtual void Insert(Integer index, const String &s) = 0;
  virtual void InsertObject(Integer index, const String &s, TObject *object) = 0;
  virtual void LoadFromFile(const String &fileName) = 0;
  virtual void LoadFromUtf8File(const String &fileName) = 0;
  virtual void RemoveBlankLines() = 0;
  virtual void SaveToFile(const String &fileName) = 0;
  virtual void SetCaseSensitive(bool value) = 0;
  virtual void SetCommaText(const String &value) = 0;
  virtual void SetDuplicates(TDuplicates value) = 0;
  virtual void SetLast(const String &value) = 0;
  virtual void SetObjects(Integer index, TObject *object) = 0;
  virtual void SetSorted(bool value) = 0;
  virtual void SetStrings(Integer index, const String &value) = 0;
  virtual void SetText(const String &value) = 0;
  virtual void SetValues(const String &name, const String &value) = 0;
  virtual void TrimBlankLines() = 0;
  virtual void TrimRight() = 0;
};

// Wraps one owned TStringList, freed with the wrapper when the last reference goes.
class TIStringList : public TInterfacedObject, public IStringList {
public:
  // Fills the list with the lines of the text when it is not empty.
  explicit TIStringList(const String &text = {});

  Integer Add(const String &s) override { return FList.Add(s); }
  Integer AddFmt(StringView format, FormatArgs args) override;
  Integer AddObject(const String &s, TObject *object) override {
    return FList.AddObject(s, object);
  }
  void Clear() override { FList.Clear(); }
  bool Contains(const String &s) override { return FList.IndexOf(s) != -1; }
  void Delete(Integer index) override { FList.Delete(index); }
  bool Find(const String &s, Integer &index) override { return FList.Find(s, index); }
  bool GetCaseSensitive() override { return FList.CaseSensitive(); }
  String GetCommaText() override { return FList.CommaText(); }
  Integer GetCount() override { return FList.Count(); }
  TDuplicates GetDuplicates() override { return FList.Duplicates(); }
  String GetLast() override { return FList.Get(FList.Count() - 1); }
  TStringList *GetList() override { return &FList; }
  String GetNames(Integer index) override { return FList.Names(index); }
  TObject *GetObjects(Integer index) override { return FList.Objects(index); }
  bool GetSorted() override { return FList.Sorted(); }
  String GetStrings(Integer index) override { return FList.Get(index); }
  String GetText() override { return FList.Text(); }
  String GetValueFromIndex(Integer index) override { return FList.ValueFromIndex(index); }
  String GetValues(const String &name) override { return FList.Values(name); }
  Integer IndexOf(const String &s) override { return FList.IndexOf(s); }
  Integer IndexOfName(const String &name) override { return FList.IndexOfName(name); }
  void Insert(Integer index, const String &s) override { FList.Insert(index, s); }
  void InsertObject(Integer index, const String &s, TObject *object) override {
    FList.InsertObject(index, s, object);
  }
  void LoadFromFile(const String &fileName) override { LoadStringsFromFile(FList, fileName); }
  void LoadFromUtf8File(const String &fileName) override;
  void RemoveBlankLines() override;
  void SaveToFile(const String &fileName) override { SaveStringsToUtf8File(FList, fileName); }
  void SetCaseSensitive(bool value) override { FList.SetCaseSensitive(value); }
  void SetCommaText(const String &value) override { FList.SetCommaText(value); }
  void SetDuplicates(TDuplicates value) override { FList.SetDuplicates(value); }
  void SetLast(const String &value) override { FList.Put(FList.Count() - 1, value); }
  void SetObjects(Integer index, TObject *object) override { FList.PutObject(index, object); }
  void SetSorted(bool value) override { FList.SetSorted(value); }
  void SetStrings(Integer index, const String &value) override { FList.Put(index, value); }
  void SetText(const String &value) override { FList.SetText(value); }
  void SetValues(const String &name, const String &value) override { FList.SetValues(name, value); }
  void TrimBlankLines() override { ::krx::TrimBlankLines(FList); }
  void TrimRight() override { TrimRightLines(FList); }

private:
  TStringList FList;
};

// ---- Object guard -------------------------------------------------------------------------

// A counted owner: the objects handed to it are freed, the most recently guarded first,
// when the last reference goes.
class IObjectGuard : public virtual IInterface {
public:
  KRX_GUID("{BD850C5F-9352-4EAF-A50C-9295D0DCAE53}");
  // Takes ownership of the object and returns it.
  virtual TObject *Guard(TObject *object) = 0;
  // The same, keeping the object's type, so that creation and guarding are one expression.
  template <std::derived_from<TObject> T> T *Guard(T *object) {
    Guard(static_cast<TObject *>(object));
    return object;
  }
};

class TObjectGuard : public TInterfacedObject, public IObjectGuard {
public:
  ~TObjectGuard() override;
  using IObjectGuard::Guard;
  TObject *Guard(TObject *object) override;

private:
  std::vector<std::unique_ptr<TObject>> FObjects;
};

IPtr<IObjectGuard> NewObjectGuard();

// ---- Windows ------------------------------------------------------------------------------

// Restores a minimised window and makes it the foreground window unless it already is.
// Nothing for a null handle.
void BringWindowToFront(HWND wnd);

} // namespace krx
