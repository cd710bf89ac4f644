#include "World/BufTextF.h"

#include "Platform/Rtl/Encoding.h"

#include <algorithm>
#include <cstring>

namespace krx {

namespace {
constexpr Byte kCR = 0x0D;
constexpr Byte kLF = 0x0A;
} // namespace

void TBufTextFile::IllegalOperation() {
  throw EInvalidOperation(u"Illegal buffered text file operation");
}

TBufTextFile::TBufTextFile(const String &fileName, Byte mode, Integer encodingChoice,
                           Integer bufferSize) {
  KR_ASSERT(bufferSize % 2 == 0);
  // Modes above 4 are refused as mode 2 is: they open nothing to read or write.
  if (mode == 2 || mode > btmAppend || (bufferSize & 0xFFFF) == 0)
    IllegalOperation();
  FMode = mode;
  FBufSize = static_cast<Word>(bufferSize & 0xFFFF);
  FBuffer.resize(FBufSize);
  Encoding = encodingChoice == 0 || encodingChoice == 2 ? teUtf8 : teAnsi;
  switch (mode) {
  case btmRead:
    FStream = std::make_unique<TFileStream>(fileName, fmOpenRead | fmShareDenyWrite);
    FFileSize = FStream->Size();
    DetectEncoding();
    break;
  case btmWrite:
    FStream = std::make_unique<TFileStream>(fileName, fmOpenWrite | fmShareExclusive);
    break;
  case btmCreate:
    FStream = std::make_unique<TFileStream>(fileName, fmCreate | fmShareExclusive);
    break;
  case btmAppend:
    FStream = std::make_unique<TFileStream>(fileName, fmOpenWrite | fmShareExclusive);
    FWriteStart = FStream->Seek(0, soEnd);
    FBOMWritten = true; // nothing goes before the appended text
    break;
  }
}

TBufTextFile::~TBufTextFile() {
  try {
    Flush();
  } catch (...) {
    // Destructors cannot raise; Flush reports the failure to callers that ask.
  }
}

void TBufTextFile::Flush() {
  if (!Writing() || !FStream || FBufPos == 0)
    return;
  const Integer n = FBufPos;
  FBufPos = 0;
  FStream->WriteBuffer(FBuffer.data(), n);
}

bool TBufTextFile::FillBuffer() {
  if (Writing())
    IllegalOperation();
  FBufStart = FStream->Position();
  FBufPos = 0;
  FBufCount = std::max<Integer>(FStream->Read(FBuffer.data(), FBufSize), 0);
  // A file that shrank since it was opened ends here; otherwise Eof would never come.
  if (FBufCount == 0 && FFileSize > FBufStart)
    FFileSize = FBufStart;
  return FBufCount > 0;
}

void TBufTextFile::DetectEncoding() {
  if (FBufSize < 4) {
    // A buffer too small to hold a whole mark: look at the file's first bytes directly,
    // then start the buffer after the mark.
    Byte head[4];
    const Integer n = std::max<Integer>(FStream->Read(head, 4), 0);
    if (n > 0) {
      Encoding = DetectBOM(head, static_cast<std::size_t>(n));
      FStream->Seek(BOMLength(Encoding), soBeginning);
    }
    FillBuffer();
  } else {
    if (!FillBuffer())
      return;
    Encoding = DetectBOM(FBuffer.data(), static_cast<std::size_t>(std::min(FBufCount, 4)));
    FBufPos = BOMLength(Encoding);
  }
  if (EncodingInfo(Encoding) > 1)
    throw EUnsupportedTextEncoding(u"Unsupported text encoding");
}

bool TBufTextFile::Eof() { return Writing() || FBufStart + FBufPos >= FFileSize; }

String TBufTextFile::ReadLine() {
  if (Writing() || Eof())
    IllegalOperation();
  // Bytes of a line that spans buffers are gathered here; a line inside one buffer is
  // decoded in place.
  TBytes gathered;
  const Byte *lineData = nullptr;
  std::size_t lineSize = 0;
  bool found = false;
  Byte brk = 0;
  for (;;) {
    const Byte *begin = FBuffer.data() + FBufPos;
    const Byte *end = FBuffer.data() + FBufCount;
    const Byte *p = begin;
    while (p < end && *p != kCR && *p != kLF)
      ++p;
    const auto n = static_cast<std::size_t>(p - begin);
    if (p < end && gathered.empty()) {
      lineData = begin;
      lineSize = n;
    } else {
      gathered.insert(gathered.end(), begin, p);
    }
    FBufPos += static_cast<Integer>(n);
    if (p < end) {
      found = true;
      brk = *p;
      break;
    }
    if (!FillBuffer())
      break;
  }
  if (!lineData) {
    lineData = gathered.data();
    lineSize = gathered.size();
  }

  String line;
  switch (Encoding) {
  case teAnsi:
    line = DecodeAnsi(lineData, lineSize);
    break;
  case teUtf8:
    line = DecodeUtf8(lineData, lineSize);
    break;
  default:
    throw EUnsupportedTextEncoding(u"TBufferedTextFile only supports Ansi and Utf8");
  }

  // Decoded before stepping past the break: a refill below may overwrite the buffer.
  if (found) {
    ++FBufPos;
    if (FBufPos >= FBufCount)
      FillBuffer();
    if (FBufPos < FBufCount) {
      const Byte next = FBuffer[FBufPos];
      if ((brk == kCR && next == kLF) || (brk == kLF && next == kCR)) {
        ++FBufPos;
        if (FBufPos >= FBufCount)
          FillBuffer();
      }
    }
  }
  ++FLineNo;
  return line;
}

void TBufTextFile::PutBytes(const Byte *data, std::size_t count) {
  while (count > 0) {
    const std::size_t room = FBufSize - static_cast<std::size_t>(FBufPos);
    const std::size_t n = std::min(room, count);
    std::memcpy(FBuffer.data() + FBufPos, data, n);
    FBufPos += static_cast<Integer>(n);
    data += n;
    count -= n;
    if (FBufPos == FBufSize) {
      FBufPos = 0;
      FStream->WriteBuffer(FBuffer.data(), FBufSize);
    }
  }
}

void TBufTextFile::Write(StringView text) {
  if (!Writing())
    IllegalOperation();
  if (Encoding == teUtf8 && !FBOMWritten) {
    KR_ASSERT(FBufPos == 0 && FBufSize >= 3);
    static constexpr Byte kMark[] = {0xEF, 0xBB, 0xBF};
    std::memcpy(FBuffer.data(), kMark, 3);
    FBufPos = 3;
    FBOMWritten = true;
  }
  const TBytes bytes = Encoding == teUtf8 ? EncodeUtf8(text) : EncodeAnsi(text);
  PutBytes(bytes.data(), bytes.size());
}

void TBufTextFile::WriteLine(StringView text) {
  Write(text);
  Write(sLineBreak);
  ++FLineNo;
}

void TBufTextFile::Reset() {
  FLineNo = 0;
  FBufPos = 0;
  if (!Writing()) {
    FStream->Seek(0, soBeginning);
    FBOMWritten = false;
    DetectEncoding();
    return;
  }
  // Waiting bytes are dropped. Rewriting starts where writing began, and the file is cut
  // there so that no stale bytes of the earlier writes remain behind the new ones.
  FBufCount = 0;
  switch (FMode) {
  case btmCreate:
    FStream->SetSize(0);
    FBOMWritten = false;
    break;
  case btmAppend:
    FStream->SetSize(FWriteStart);
    break;
  default:
    FBOMWritten = false;
    break;
  }
  FStream->Seek(FWriteStart, soBeginning);
}

} // namespace krx
