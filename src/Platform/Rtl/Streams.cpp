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
  const std::string name = FileNameToOS(fileName);
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
  int err = EINVAL;
  if (!name.empty() && flags != -1) {
    do {
      FHandle = ::open(name.c_str(), flags, 0666);
    } while (FHandle < 0 && errno == EINTR);
    err = errno;
    // A directory is no file to read or write.
    struct stat st;
    if (FHandle >= 0 && ::fstat(FHandle, &st) == 0 && S_ISDIR(st.st_mode)) {
      ::close(FHandle);
      FHandle = -1;
      err = EISDIR;
    }
  } else if (name.empty()) {
    err = ENOENT;
  }
  if (FHandle < 0) {
    const String shown = ExpandFileName(fileName);
    if (create)
      throw EFCreateError(Format(u"Cannot create file \"%s\". %s", {shown, SysErrorMessage(err)}));
    throw EFOpenError(Format(u"Cannot open file \"%s\". %s", {shown, SysErrorMessage(err)}));
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
  TFileStream stream(fileName, fmCreate);
  SaveToStream(stream);
}

} // namespace krx
