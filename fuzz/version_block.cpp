// The version reader on arbitrary file contents: finding the block in a PE or ELF file and
// querying it stay inside the bytes given. A block whose root length fits is also queried
// directly, as a caller's buffer would be.
#include "Platform/Version/VersionFile.h"

#include <cstdint>
#include <cstring>

namespace {

void Query(const std::vector<krx::Byte> &block) {
  static const krx::Char *const kPaths[] = {
      u"\\", u"\\VarFileInfo\\Translation", u"\\StringFileInfo\\040904E4\\FileVersion",
      u"\\StringFileInfo\\040904E4", u"StringFileInfo\\040904e4\\FileDescription"};
  for (const krx::Char *path : kPaths) {
    void *value = nullptr;
    krx::UINT len = 0;
    if (krx::VerQueryValueW(block.data(), path, &value, &len) && len > 0) {
      // Touch the value as a caller would.
      volatile krx::Byte sink = static_cast<const krx::Byte *>(value)[0];
      (void)sink;
    }
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::vector<krx::Byte> contents(data, data + size);
  std::vector<krx::Byte> block;
  if (krx::version_detail::VersionBlockOfContents(contents, block) == krx::ERROR_SUCCESS)
    Query(block);
  if (size >= 6 && static_cast<std::size_t>(data[0] | data[1] << 8) <= size)
    Query(contents);
  return 0;
}
