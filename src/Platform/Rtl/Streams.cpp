#include "Platform/Rtl/Streams.h"

#include "Platform/Rtl/Files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <new>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace krx {

// ---- TStream ------------------------------------------------------------------------------

Int64 TStream::Size() {
  Int64 pos = Seek(0, soCurrent);
  Int64 result = Seek(0, soEnd);
  Seek(pos, soBeginning);
  return result;
}

void TStream::ReadBuffer(void *buffer, Integer count) {
  if (count != 0 && Read(buffer, count) != count)
    throw EReadError(u"Stream read error");
}

void TStream::WriteBuffer(const void *buffer, Integer count) {
  if (count != 0 && Write(buffer, count) != count)
    throw EWriteError(u"Stream write error");
}

Int64 TStream::CopyFrom(TStream &source, Int64 count) {
  if (count <= 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  constexpr Integer kBufSize = 0x10000;
  std::vector<Byte> buffer(static_cast<std::size_t>(std::min<Int64>(count, kBufSize)));
  const Int64 result = count;
  while (count > 0) {
    const Integer n = static_cast<Integer>(std::min<Int64>(count, kBufSize));
    source.ReadBuffer(buffer.data(), n);
    WriteBuffer(buffer.data(), n);
    count -= n;
  }
  return result;
}

// ---- TFileStream --------------------------------------------------------------------------

TFileStream::TFileStream(const String &fileName, Word mode) : FFileName(fileName) {
  std::string name;
  const bool carried = TryFileNameToOS(fileName, name);
  const bool create = (mode & fmCreate) == fmCreate;
  int flags = O_CLOEXEC;
  if (create) {
    flags |= O_RDWR | O_CREAT | O_TRUNC;
  } else {
    switch (mode & 3) {
    case fmOpenRead:
      flags |= O_RDONLY;
      break;
    case fmOpenWrite:
      flags |= O_WRONLY;
      break;
    case fmOpenReadWrite:
      flags |= O_RDWR;
      break;
    default:
      flags = -1;
    }
  }
  String reason = SysErrorMessage(EINVAL);
  if (!name.empty() && flags != -1) {
    // A FIFO or device under the name would block or never end: only regular files open.
    TOpenResult opened = OpenRegularFile(name, flags, 0666);
    FHandle = opened.Handle.Release();
    if (FHandle < 0)
      reason = opened.Reason();
  } else if (!carried) {
    reason = u"The name " + FileNameProblem(fileName) + u".";
  } else if (name.empty()) {
    reason = SysErrorMessage(ENOENT);
  }
  if (FHandle < 0) {
    const String shown = ExpandFileName(fileName);
    if (create)
      throw EFCreateError(Format(u"Cannot create file \"%s\". %s", {shown, reason}));
    throw EFOpenError(Format(u"Cannot open file \"%s\". %s", {shown, reason}));
  }
}

TFileStream::~TFileStream() {
  if (FHandle >= 0)
    ::close(FHandle);
}

Integer TFileStream::Read(void *buffer, Integer count) {
  if (count <= 0)
    return 0;
  auto *p = static_cast<char *>(buffer);
  Integer done = 0;
  while (done < count) {
    ssize_t n = ::read(FHandle, p + done, static_cast<std::size_t>(count - done));
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      return done > 0 ? done : 0;
    if (n == 0)
      break;
    done += static_cast<Integer>(n);
  }
  return done;
}

Integer TFileStream::Write(const void *buffer, Integer count) {
  if (count <= 0)
    return 0;
  auto *p = static_cast<const char *>(buffer);
  Integer done = 0;
  while (done < count) {
    ssize_t n = ::write(FHandle, p + done, static_cast<std::size_t>(count - done));
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      break;
    done += static_cast<Integer>(n);
  }
  return done;
}

Int64 TFileStream::Seek(Int64 offset, TSeekOrigin origin) {
  int whence = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
  off_t r = ::lseek(FHandle, static_cast<off_t>(offset), whence);
  return r < 0 ? -1 : static_cast<Int64>(r);
}

void TFileStream::SetSize(Int64 newSize) {
  Seek(newSize, soBeginning);
  if (newSize < 0 || ::ftruncate(FHandle, static_cast<off_t>(newSize)) != 0)
    RaiseLastOSError(newSize < 0 ? EINVAL : errno);
}

// ---- TMemoryStream ------------------------------------------------------------------------

namespace {
// The class library raises a stream error when the memory cannot grow.
void Resize(std::vector<Byte> &data, Int64 size) {
  if (size < 0 || static_cast<UInt64>(size) > data.max_size())
    throw EStreamError(u"Out of memory while expanding memory stream");
  try {
    data.resize(static_cast<std::size_t>(size));
  } catch (const std::bad_alloc &) {
    throw EStreamError(u"Out of memory while expanding memory stream");
  } catch (const std::length_error &) {
    throw EStreamError(u"Out of memory while expanding memory stream");
  }
}
} // namespace

Integer TMemoryStream::Read(void *buffer, Integer count) {
  if (FPosition < 0 || count <= 0)
    return 0;
  const Int64 avail = Size() - FPosition;
  if (avail <= 0)
    return 0;
  const Integer n = static_cast<Integer>(std::min<Int64>(avail, count));
  std::memcpy(buffer, FData.data() + FPosition, static_cast<std::size_t>(n));
  FPosition += n;
  return n;
}

Integer TMemoryStream::Write(const void *buffer, Integer count) {
  if (FPosition < 0 || count <= 0)
    return 0;
  if (FPosition > std::numeric_limits<Int64>::max() - count)
    throw EStreamError(u"Out of memory while expanding memory stream");
  const Int64 end = FPosition + count;
  if (end > Size())
    Resize(FData, end);
  std::memcpy(FData.data() + FPosition, buffer, static_cast<std::size_t>(count));
  FPosition = end;
  return count;
}

Int64 TMemoryStream::Seek(Int64 offset, TSeekOrigin origin) {
  switch (origin) {
  case TSeekOrigin::soBeginning:
    FPosition = offset;
    break;
  case TSeekOrigin::soCurrent:
    FPosition += offset;
    break;
  case TSeekOrigin::soEnd:
    FPosition = Size() + offset;
    break;
  }
  return FPosition;
}

void TMemoryStream::SetSize(Int64 newSize) {
  Resize(FData, newSize);
  if (FPosition > newSize)
    FPosition = newSize;
}

void TMemoryStream::Clear() {
  FData.clear();
  FData.shrink_to_fit();
  FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream &stream) {
  stream.SetPosition(0);
  const Int64 count = stream.Size();
  SetSize(count);
  for (Int64 done = 0; done < count;) {
    const Integer n = static_cast<Integer>(std::min<Int64>(count - done, 0x40000000));
    stream.ReadBuffer(FData.data() + done, n);
    done += n;
  }
}

void TMemoryStream::LoadFromFile(const String &fileName) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(stream);
}

void TMemoryStream::SaveToStream(TStream &stream) {
  const Int64 count = Size();
  for (Int64 done = 0; done < count;) {
    const Integer n = static_cast<Integer>(std::min<Int64>(count - done, 0x40000000));
    stream.WriteBuffer(FData.data() + done, n);
    done += n;
  }
}

void TMemoryStream::SaveToFile(const String &fileName) {
  SaveFileAtomically(fileName, {reinterpret_cast<const char *>(FData.data()), FData.size()});
}

// ---- Whole files ----------------------------------------------------------------------------

void SaveFileAtomically(const String &fileName, std::string_view bytes,
                        const TReplaceOptions &options) {
  if (fileName.empty())
    throw EFCreateError(Format(u"Cannot create file \"%s\". %s", {fileName, SysErrorMessage(ENOENT)}));
  const TReplaceResult result = ReplaceFileContents(FileNameToOS(fileName), bytes, options);
  if (result.FailedStep == TReplaceStep::None)
    return;
  const String shown = ExpandFileName(fileName);
  if (result.FailedStep == TReplaceStep::Changed)
    throw EWriteError(Format(u"Cannot write file \"%s\". Another file took its place meanwhile "
                             u"and is left as it is.",
                             {shown}));
  if (result.FailedStep == TReplaceStep::Linked)
    throw EWriteError(Format(u"Cannot write file \"%s\". It has another name (a hard link) that "
                             u"a rewrite would change too, and its folder takes no new file; it "
                             u"is left as it is.",
                             {shown}));
  // ENXIO at creation: something other than a regular file or folder stands under the name.
  const String reason = result.FailedStep == TReplaceStep::Create && result.Error == ENXIO
                            ? String(u"It is not a regular file (a pipe, device or socket)")
                            : SysErrorMessage(result.Error);
  if (result.FailedStep == TReplaceStep::Create || result.FailedStep == TReplaceStep::Rename)
    throw EFCreateError(Format(u"Cannot create file \"%s\". %s", {shown, reason}));
  throw EWriteError(Format(u"Cannot write file \"%s\". %s%s",
                           {shown, reason,
                            result.InPlace ? String()
                                           : String(u" The file is left as it was.")}));
}

TBytes LoadFileBytes(const String &fileName) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  TBytes bytes;
  // Byte, as TBytes holds: inserting from another element type copies element by element.
  Byte buffer[65536];
  for (;;) {
    // The stream's Read cannot tell an error from the end; a failed read must not pass for
    // a shorter file, which a later save would make final.
    const ssize_t n = ::read(stream.Handle(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR)
      continue;
    int err = n < 0 ? errno : 0;
    if (err == 0 && bytes.size() + static_cast<std::size_t>(n) > 0x7FFFFFFF)
      err = EFBIG;
    if (err != 0)
      throw EReadError(Format(u"Cannot read file \"%s\". %s",
                              {ExpandFileName(fileName), SysErrorMessage(err)}));
    if (n == 0)
      return bytes;
    bytes.insert(bytes.end(), buffer, buffer + n);
  }
}

} // namespace krx
