// Byte streams with the class library's rules: TStream, TFileStream, TMemoryStream.
#pragma once

#include "Platform/Rtl/Files.h"
#include "Platform/Rtl/SysUtils.h"

#include <string_view>
#include <vector>

namespace krx {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };
inline constexpr TSeekOrigin soBeginning = TSeekOrigin::soBeginning;
inline constexpr TSeekOrigin soCurrent = TSeekOrigin::soCurrent;
inline constexpr TSeekOrigin soEnd = TSeekOrigin::soEnd;

// File open modes. The access part is the low two bits; the share flags are accepted and
// have no effect here (the file system has no share locks).
inline constexpr Word fmCreate = 0xFF00;
inline constexpr Word fmOpenRead = 0x0000;
inline constexpr Word fmOpenWrite = 0x0001;
inline constexpr Word fmOpenReadWrite = 0x0002;
inline constexpr Word fmShareCompat = 0x0000;
inline constexpr Word fmShareExclusive = 0x0010;
inline constexpr Word fmShareDenyWrite = 0x0020;
inline constexpr Word fmShareDenyRead = 0x0030;
inline constexpr Word fmShareDenyNone = 0x0040;

class TStream {
public:
  TStream() = default;
  TStream(const TStream &) = delete;
  TStream &operator=(const TStream &) = delete;
  virtual ~TStream() = default;

  // Reads or writes up to count bytes at the position and moves past them; returns the
  // number of bytes transferred (0 on failure).
  virtual Integer Read(void *buffer, Integer count) = 0;
  virtual Integer Write(const void *buffer, Integer count) = 0;
  // Returns the new position, or -1 when the stream cannot move there.
  virtual Int64 Seek(Int64 offset, TSeekOrigin origin) = 0;

  Int64 Position() { return Seek(0, soCurrent); }
  void SetPosition(Int64 position) { Seek(position, soBeginning); }
  virtual Int64 Size();
  virtual void SetSize(Int64 newSize) = 0;

  // All or nothing: a short transfer raises EReadError "Stream read error" or EWriteError
  // "Stream write error".
  void ReadBuffer(void *buffer, Integer count);
  void WriteBuffer(const void *buffer, Integer count);
  // Copies count bytes from the source's position; a count of 0 or less copies the whole
  // source from its start. Returns the bytes copied.
  Int64 CopyFrom(TStream &source, Int64 count);
};

class TFileStream : public TStream {
public:
  // fmCreate creates the file or truncates it and opens it for reading and writing.
  // Raises EFCreateError "Cannot create file \"%s\". %s" or EFOpenError
  // "Cannot open file \"%s\". %s" with the full file name and the system's error text.
  TFileStream(const String &fileName, Word mode);
  ~TFileStream() override;

  Integer Read(void *buffer, Integer count) override;
  Integer Write(const void *buffer, Integer count) override;
  Int64 Seek(Int64 offset, TSeekOrigin origin) override;
  // Moves to newSize and truncates or extends the file there; raises EOSError on failure.
  void SetSize(Int64 newSize) override;

  const String &FileName() const { return FFileName; }
  int Handle() const { return FHandle; }

private:
  String FFileName;
  int FHandle = -1;
};

// A stream over a block of memory that grows as it is written. Writing beyond the end
// fills the gap with zero bytes.
class TMemoryStream : public TStream {
public:
  TMemoryStream() = default;

  Integer Read(void *buffer, Integer count) override;
  Integer Write(const void *buffer, Integer count) override;
  Int64 Seek(Int64 offset, TSeekOrigin origin) override;
  Int64 Size() override { return static_cast<Int64>(FData.size()); }
  // The position stays unless it lies beyond the new end; then it moves to the end.
  void SetSize(Int64 newSize) override;

  Byte *Memory() { return FData.data(); }
  const Byte *Memory() const { return FData.data(); }
  void Clear();
  // Replaces the content with the whole source stream (read from its start).
  void LoadFromStream(TStream &stream);
  void LoadFromFile(const String &fileName);
  // Writes the whole content at the target stream's position.
  void SaveToStream(TStream &stream);
  void SaveToFile(const String &fileName);

private:
  std::vector<Byte> FData;
  Int64 FPosition = 0;
};

// Writes a whole file through ReplaceFileContents: beside it, flushed, renamed over it, so a
// failure (a full disk) leaves the file as it was. Raises EFCreateError "Cannot create file"
// or EWriteError "Cannot write file", both naming the file and the system's reason (also when
// the options' expected file is no longer under the name).
void SaveFileAtomically(const String &fileName, std::string_view bytes,
                        const TReplaceOptions &options = {});
// Reads a whole file (at most 2 GiB, as the class library's streams count).
TBytes LoadFileBytes(const String &fileName);

} // namespace krx
