// The PNG image class on arbitrary bytes: bad data is refused with EPNGError; an image that
// was read is written and read back to the same pixels, and takes both disabled effects.
#include "Platform/Vcl/PngImage.h"
#include "lib/PngImaging/Source/PngFunctions.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  krx::TMemoryStream in;
  if (size > 0)
    in.WriteBuffer(data, static_cast<krx::Integer>(size));
  in.SetPosition(0);
  krx::TPngImage image;
  try {
    image.LoadFromStream(in);
  } catch (const krx::EPNGError &) {
    return 0;
  }
  if (image.Empty() || static_cast<std::int64_t>(image.Width()) * image.Height() > 1 << 20)
    return 0;
  krx::TMemoryStream out;
  image.SaveToStream(out);
  out.SetPosition(0);
  krx::TPngImage back;
  back.LoadFromStream(out);
  if (back.ColorType() != image.ColorType() || back.Width() != image.Width() ||
      back.Height() != image.Height())
    __builtin_trap();
  for (krx::Integer y = 0; y < image.Height(); ++y)
    for (krx::Integer x = 0; x < image.Width(); ++x)
      if (!(back.Pixel(x, y) == image.Pixel(x, y)))
        __builtin_trap();
  krx::ApplyPngEffects(back, {krx::pngBlendOnDisabled, krx::pngGrayscaleOnDisabled});
  return 0;
}
