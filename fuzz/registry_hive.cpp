// The registry's reader of hive files on arbitrary bytes: it either refuses the text with a
// format error or takes it, and what it takes it writes back in a form that reads the same.
#include "Platform/Registry/RegistryHive.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  using namespace krx::reghive;
  const std::string bytes(reinterpret_cast<const char *>(data), size);
  try {
    auto root = ParseHive(bytes, u"HKEY_CURRENT_USER");
    const std::string text = WriteHive(*root, u"HKEY_CURRENT_USER");
    auto again = ParseHive(text, u"HKEY_CURRENT_USER");
    if (WriteHive(*again, u"HKEY_CURRENT_USER") != text)
      std::abort();
  } catch (const EHiveFormat &) {
  }
  return 0;
}
