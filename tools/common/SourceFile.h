// Reading a source file as the IDE's editor would hold it, for the tools that parse one
// (header only: this folder is no program).
#pragma once

#include "Platform/Rtl/Files.h"
#include "Platform/Rtl/SysUtils.h"
#include "World/ClassEx.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

namespace krx::tool {

// An editor buffer is held whole in memory, twice while decoding (bytes, then UTF-16); the
// largest real Pascal units are a few megabytes, so a bigger file is refused rather than let a
// device or a runaway file exhaust memory.
inline constexpr std::uintmax_t MaxSourceFileSize = 64u << 20;

// Reads a regular file of at most MaxSourceFileSize bytes whole. On failure `error` says why.
// Folders, devices and pipes are refused before they are opened.
inline bool ReadRegularFileBytes(const String &fileName, std::string &bytes, std::string &error) {
  const std::string path = FileNameToOS(fileName);
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (ec) {
    error = ec.message();
    return false;
  }
  if (!std::filesystem::is_regular_file(status)) {
    error = std::filesystem::is_directory(status) ? "is a folder" : "is not a regular file";
    return false;
  }
  std::unique_ptr<std::FILE, int (*)(std::FILE *)> f(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!f) {
    error = std::strerror(errno);
    return false;
  }
  // Read in pieces up to the limit: a regular file may still grow while it is read.
  bytes.clear();
  char buffer[1 << 16];
  for (;;) {
    const std::size_t n = std::fread(buffer, 1, sizeof buffer, f.get());
    bytes.append(buffer, n);
    if (bytes.size() > MaxSourceFileSize) {
      error = "is larger than " + std::to_string(MaxSourceFileSize >> 20) + " MB";
      return false;
    }
    if (n < sizeof buffer)
      break;
  }
  if (std::ferror(f.get())) {
    error = std::string("read error: ") + std::strerror(errno);
    return false;
  }
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
