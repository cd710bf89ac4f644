// Text files read with byte-order-mark detection and written as UTF-8 with a mark,
// reference-counted string lists and object guards, and string-list helpers.
#pragma once

#include "Common/KRX.Exceptions.h"
#include "Platform/Rtl/Intf.h"
#include "Platform/Rtl/Streams.h"
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
