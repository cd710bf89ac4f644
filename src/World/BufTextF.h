// A text file read or written line by line through a fixed-size byte buffer, in ANSI or
// UTF-8 only. The file is touched only in whole buffers.
#pragma once

#include "Platform/Rtl/Streams.h"
#include "World/TextStrm.h"

#include <memory>
#include <vector>

namespace krx {

// Modes of TBufTextFile.
inline constexpr Byte btmRead = 0;   // others may read, not write
inline constexpr Byte btmWrite = 1;  // write over an existing file from its start
inline constexpr Byte btmCreate = 3; // create or truncate, then write
inline constexpr Byte btmAppend = 4; // append to an existing file

class TBufTextFile : public TTextStream {
public:
  // encodingChoice: 0 and 2 write UTF-8, anything else ANSI; reading takes the encoding from
  // the file's byte-order mark (none: ANSI). The buffer size must be even. An unknown mode or
  // a buffer size whose low 16 bits are 0 raises EInvalidOperation "Illegal buffered text
  // file operation"; a marked encoding wider than one byte raises EUnsupportedTextEncoding.
  TBufTextFile(const String &fileName, Byte mode, Integer encodingChoice = 0,
               Integer bufferSize = 16384);
  // Writes the waiting bytes. A failure here cannot be reported; call Flush first to see it.
  ~TBufTextFile() override;

  Integer LineNo() override { return FLineNo; }
  bool Eof() override;
  String ReadLine() override;
  // Reading: rewinds and detects the encoding again. Writing: drops the waiting bytes and
  // truncates the file to where writing began (its start, or its former end when
  // appending); mode btmWrite only rewinds, as it does not truncate when opened either.
  void Reset() override;
  void Write(StringView text) override;
  void WriteLine(StringView text) override;

  // Writes the waiting bytes to the file now (writing modes); stream errors pass through.
  void Flush();

  Byte Mode() const { return FMode; }

private:
  bool Writing() const { return FMode != btmRead; }
  [[noreturn]] static void IllegalOperation();
  bool FillBuffer();
  void DetectEncoding();
  void PutBytes(const Byte *data, std::size_t count);

  Int64 FFileSize = 0;
  bool FBOMWritten = false;
  std::vector<Byte> FBuffer;
  Integer FBufCount = 0;
  Integer FBufPos = 0;
  Word FBufSize = 0;
  Int64 FBufStart = 0;
  Integer FLineNo = 0;
  Byte FMode = btmRead;
  std::unique_ptr<TFileStream> FStream;
  Int64 FWriteStart = 0; // where writing began: 0, or the former end when appending
};

} // namespace krx
