#include "World/ClassEx.h"

#include "Platform/Rtl/Encoding.h"
#include "Platform/Rtl/SysUtils.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace krx {

// ---- Encodings ----------------------------------------------------------------------------

TTextEncoding DetectBOM(const Byte *b, std::size_t count) {
  if (count < 2)
    return teAnsi;
  if (count >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF)
    return teUtf8;
  if (b[0] == 0xFF && b[1] == 0xFE)
    return count >= 4 && b[2] == 0 && b[3] == 0 ? teUtf32LE : teUtf16LE;
  if (b[0] == 0xFE && b[1] == 0xFF)
    return teUtf16BE;
  if (count >= 4 && b[0] == 0 && b[1] == 0 && b[2] == 0xFE && b[3] == 0xFF)
    return teUtf32BE;
  return teAnsi;
}

Integer BOMLength(TTextEncoding encoding) {
  switch (encoding) {
  case teUtf8:
    return 3;
  case teUtf16LE:
  case teUtf16BE:
    return 2;
  case teUtf32LE:
  case teUtf32BE:
    return 4;
  default:
    return 0;
  }
}

Integer EncodingInfo(TTextEncoding encoding) {
  switch (encoding) {
  case teUtf16LE:
  case teUtf16BE:
    return 2;
  case teUtf32LE:
  case teUtf32BE:
    return 4;
  default:
    return 1;
  }
}

bool DecodeTextBytes(const Byte *data, std::size_t size, String &text, TTextEncoding &encoding) {
  text.clear();
  encoding = teAnsi;
  if (size == 0)
    return true;
  encoding = DetectBOM(data, size < 4 ? size : 4);
  const std::size_t mark = static_cast<std::size_t>(BOMLength(encoding));
  switch (encoding) {
  case teAnsi:
    text = DecodeAnsi(data, size);
    return true;
  case teUtf8:
    text = DecodeUtf8(data + mark, size - mark);
    return true;
  case teUtf16LE:
    // An odd last byte is no code unit and is dropped.
    text = DecodeUtf16LE(data + mark, (size - mark) & ~std::size_t{1});
    return true;
  default:
    return false;
  }
}

// ---- Reading and writing text files -------------------------------------------------------

namespace {

// Reads from the stream's position to its end.
TBytes ReadRest(TStream &stream) {
  const Int64 size = stream.Size() - stream.Position();
  TBytes bytes;
  if (size <= 0)
    return bytes;
  bytes.resize(static_cast<std::size_t>(size));
  std::size_t done = 0;
  while (done < bytes.size()) {
    const auto chunk = static_cast<Integer>(
        std::min<std::size_t>(bytes.size() - done, std::numeric_limits<Integer>::max()));
    stream.ReadBuffer(bytes.data() + done, chunk);
    done += static_cast<std::size_t>(chunk);
  }
  return bytes;
}

} // namespace

String ReadTextStream(TStream &stream, TTextEncoding &encoding) {
  const TBytes bytes = ReadRest(stream);
  String text;
  if (!DecodeTextBytes(bytes.data(), bytes.size(), text, encoding))
    throw EUnsupportedTextEncoding();
  return text;
}

String ReadTextStream(TStream &stream) {
  TTextEncoding encoding;
  return ReadTextStream(stream, encoding);
}

String ReadTextFileEx(const String &fileName, TTextEncoding &encoding) {
  const TBytes bytes = LoadFileBytes(fileName);
  String text;
  if (!DecodeTextBytes(bytes.data(), bytes.size(), text, encoding))
    throw EUnsupportedTextEncoding();
  return text;
}

String ReadTextFile(const String &fileName) {
  TTextEncoding encoding;
  return ReadTextFileEx(fileName, encoding);
}

std::string ReadUtf8Text(const String &fileName) {
  const TBytes bytes = LoadFileBytes(fileName);
  std::size_t start = 0;
  if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF)
    start = 3;
  const auto zero = std::find(bytes.begin() + static_cast<std::ptrdiff_t>(start), bytes.end(), 0);
  return std::string(bytes.begin() + static_cast<std::ptrdiff_t>(start), zero);
}

void WriteUtf8File(const String &fileName, StringView text) {
  std::string bytes = "\xEF\xBB\xBF";
  bytes += StringToUtf8(text);
  SaveFileAtomically(fileName, bytes);
}

void LoadStringsFromFile(TStrings &strings, const String &fileName) {
  TTextEncoding encoding;
  strings.SetText(ReadTextFileEx(fileName, encoding));
}

void SaveStringsToUtf8File(const TStrings &strings, const String &fileName) {
  WriteUtf8File(fileName, strings.Text());
}

// ---- String-list helpers ------------------------------------------------------------------

namespace {

bool IsBlank(StringView s) {
  return std::all_of(s.begin(), s.end(), [](Char c) { return c <= u' '; });
}

// BeginUpdate / EndUpdate that also ends when the bracketed work raises.
class TUpdateBracket {
public:
  explicit TUpdateBracket(TStrings &strings) : FStrings(strings) { FStrings.BeginUpdate(); }
  ~TUpdateBracket() { FStrings.EndUpdate(); }
  TUpdateBracket(const TUpdateBracket &) = delete;
  TUpdateBracket &operator=(const TUpdateBracket &) = delete;

private:
  TStrings &FStrings;
};

} // namespace

void SetDelimitedText(TStrings &list, Char delimiter, const String &text) {
  list.SetDelimiter(delimiter);
  list.SetDelimitedText(text);
}

void IndentLines(TStrings &strings, Integer first, Integer last, Integer count) {
  if (count < 0)
    AssertFailed("Indention Error", __FILE__, __LINE__);
  if (count == 0)
    return;
  const String indent(static_cast<std::size_t>(count), u' ');
  TUpdateBracket update(strings);
  const Integer end = std::min(last, strings.Count() - 1);
  for (Integer i = first; i <= end; ++i) {
    const String line = strings.Get(i);
    if (!line.empty())
      strings.Put(i, indent + line);
  }
}

void TrimBlankLines(TStrings &list) {
  TUpdateBracket update(list);
  while (list.Count() > 0 && IsBlank(list.Get(0)))
    list.Delete(0);
  while (list.Count() > 0 && IsBlank(list.Get(list.Count() - 1)))
    list.Delete(list.Count() - 1);
}

void TrimRightLines(TStrings &list) {
  TUpdateBracket update(list);
  for (Integer i = 0; i < list.Count(); ++i) {
    const String line = list.Get(i);
    String trimmed = TrimRight(line);
    if (trimmed.size() != line.size())
      list.Put(i, trimmed);
  }
}

String JoinStrings(const TStrings &list, StringView separator, bool trim) {
  String result;
  for (Integer i = 0; i < list.Count(); ++i) {
    if (i > 0)
      result += separator;
    result += trim ? Trim(list.Get(i)) : list.Get(i);
  }
  return result;
}

// ---- Counted string list ------------------------------------------------------------------

TIStringList::TIStringList(const String &text) {
  if (!text.empty())
    FList.SetText(text);
}

Integer TIStringList::AddFmt(StringView format, FormatArgs args) {
  return FList.Add(Format(format, args));
}

void TIStringList::LoadFromUtf8File(const String &fileName) {
  FList.SetText(Utf8ToString(ReadUtf8Text(fileName)));
}

void TIStringList::RemoveBlankLines() {
  for (Integer i = FList.Count() - 1; i >= 0; --i)
    if (IsBlank(FList.Get(i)))
      FList.Delete(i);
}

// ---- Object guard -------------------------------------------------------------------------

TObjectGuard::~TObjectGuard() {
  while (!FObjects.empty())
    FObjects.pop_back();
}

TObject *TObjectGuard::Guard(TObject *object) {
  std::unique_ptr<TObject> owned(object); // freed even when the list cannot grow
  FObjects.push_back(std::move(owned));
  return object;
}

IPtr<IObjectGuard> NewObjectGuard() { return IPtr<IObjectGuard>(new TObjectGuard); }

// ---- Windows ------------------------------------------------------------------------------

void BringWindowToFront(HWND wnd) {
  if (!wnd)
    return;
  if (IsIconic(wnd))
    ShowWindow(wnd, SW_RESTORE);
  if (GetForegroundWindow() != wnd)
    SetForegroundWindow(wnd);
}

} // namespace krx
