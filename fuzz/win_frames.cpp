// Frames from another process: the decoder must refuse or accept any byte stream without
// reading out of bounds, and what it accepts must encode back to the same bytes.
#include "Platform/Win/WinWire.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  using namespace krx::win_detail;
  const char *p = reinterpret_cast<const char *>(data);
  std::size_t offset = 0;
  while (offset < size) {
    TFrame f;
    std::size_t used = 0;
    std::string error;
    auto r = DecodeFrame(p + offset, size - offset, f, used, error);
    if (r != TDecodeResult::Ok)
      break;
    if (used == 0 || EncodeFrame(f) != std::string(p + offset, used))
      std::abort();
    offset += used;
  }
  return 0;
}
