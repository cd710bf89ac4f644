// Reading a source file as the IDE's editor would hold it, for the tools that parse one
// (header only: this folder is no program).
#pragma once

#include "Platform/Rtl/Files.h"
#include "Platform/Rtl/SysUtils.h"
#include "World/ClassEx.h"

#include <string>

namespace krx::tool {

// An editor buffer is held whole in memory, twice while decoding (bytes, then UTF-16): a file
// past the bound the IDE side reads is refused rather than let a device or a runaway file
// exhaust memory.
inline constexpr Int64 MaxSourceFileSize = MaxReadFileSize;

// Reads a regular file of at most MaxSourceFileSize bytes whole. On failure `error` says why.
// Folders, devices and pipes are refused without waiting on them.
inline bool ReadRegularFileBytes(const String &fileName, std::string &bytes, std::string &error) {
  TReadResult read = ReadRegularFile(FileNameToOS(fileName), MaxSourceFileSize);
  if (!read.Ok()) {
    error = StringToUtf8(read.Reason());
    return false;
  }
  bytes = std::move(read.Bytes);
  return true;
}

// Reads a file as ReadRegularFileBytes does and decodes it by its byte-order mark, as the
// editor loads a file (no mark: the ANSI code page). `size`, when given, receives the number
// of bytes read.
inline bool ReadSourceFile(const String &fileName, String &text, std::string &error,
                           std::size_t *size = nullptr) {
  std::string bytes;
  if (!ReadRegularFileBytes(fileName, bytes, error))
    return false;
  if (size)
    *size = bytes.size();
  TTextEncoding enc;
  if (!DecodeTextBytes(reinterpret_cast<const Byte *>(bytes.data()), bytes.size(), text, enc)) {
    error = "text encoding not readable";
    return false;
  }
  return true;
}

} // namespace krx::tool
