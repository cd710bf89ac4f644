#include "Platform/Win/WinWire.h"

#include "Platform/Win/Windows.h"

#include <cstring>

namespace krx::win_detail {

namespace {

constexpr std::uint32_t kNoText = 0xFFFFFFFFu;
// The class library's component and control notifications, which carry object pointers.
constexpr std::uint32_t kFirstLibraryNotification = 0xB000;

template <typename T> void Put(std::string &out, T value) {
  auto u = static_cast<std::make_unsigned_t<T>>(value);
  for (std::size_t i = 0; i < sizeof(T); ++i)
    out.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
}

template <typename T> T Get(const char *p) {
  std::make_unsigned_t<T> u = 0;
  for (std::size_t i = 0; i < sizeof(T); ++i)
    u |= static_cast<std::make_unsigned_t<T>>(static_cast<unsigned char>(p[i])) << (8 * i);
  return static_cast<T>(u);
}

} // namespace

bool AcceptedFromOtherProcess(std::uint32_t msg) {
  switch (msg) {
  case WM_NULL:
  case WM_SETTEXT:
  case WM_GETTEXT:
  case WM_GETTEXTLENGTH:
    return true;
  default:
    return msg >= WM_USER && msg < kFirstLibraryNotification;
  }
}

std::string EncodeFrame(const TFrame &frame) {
  std::string out;
  std::size_t textBytes = frame.HasText ? frame.Text.size() * 2 : 0;
  out.reserve(kFrameHeaderSize + kFrameFixedPayload + textBytes);
  Put<std::uint32_t>(out, kFrameMagic);
  Put<std::uint16_t>(out, kFrameVersion);
  Put<std::uint16_t>(out, static_cast<std::uint16_t>(frame.Kind));
  Put<std::uint32_t>(out, static_cast<std::uint32_t>(kFrameFixedPayload + textBytes));
  Put<std::uint64_t>(out, frame.Seq);
  Put<std::uint64_t>(out, frame.Window);
  Put<std::uint32_t>(out, frame.Msg);
  Put<std::uint32_t>(out, frame.Flags);
  Put<std::uint64_t>(out, frame.WParam);
  Put<std::int64_t>(out, frame.LParam);
  Put<std::int32_t>(out, frame.Status);
  Put<std::int64_t>(out, frame.Result);
  Put<std::uint32_t>(out, frame.HasText ? static_cast<std::uint32_t>(frame.Text.size()) : kNoText);
  if (frame.HasText)
    for (Char c : frame.Text)
      Put<std::uint16_t>(out, static_cast<std::uint16_t>(c));
  return out;
}

TDecodeResult DecodeFrame(const char *data, std::size_t size, TFrame &frame, std::size_t &consumed,
                          std::string &error) {
  consumed = 0;
  // Judge the header as soon as its bytes arrive, so garbage is refused without waiting.
  if (size >= 4 && Get<std::uint32_t>(data) != kFrameMagic) {
    error = "bad magic";
    return TDecodeResult::Bad;
  }
  if (size < kFrameHeaderSize)
    return TDecodeResult::NeedMore;
  auto version = Get<std::uint16_t>(data + 4);
  auto kind = Get<std::uint16_t>(data + 6);
  auto length = Get<std::uint32_t>(data + 8);
  if (version != kFrameVersion) {
    error = "unsupported version " + std::to_string(version);
    return TDecodeResult::Bad;
  }
  if (kind < 1 || kind > 3) {
    error = "unknown frame kind " + std::to_string(kind);
    return TDecodeResult::Bad;
  }
  if (length > kMaxFramePayload) {
    error = "oversized frame of " + std::to_string(length) + " bytes (limit " +
            std::to_string(kMaxFramePayload) + ")";
    return TDecodeResult::Bad;
  }
  if (length < kFrameFixedPayload) {
    error = "short frame of " + std::to_string(length) + " bytes";
    return TDecodeResult::Bad;
  }
  if (size < kFrameHeaderSize + length)
    return TDecodeResult::NeedMore;
  const char *p = data + kFrameHeaderSize;
  TFrame f;
  f.Kind = static_cast<TFrameKind>(kind);
  f.Seq = Get<std::uint64_t>(p);
  f.Window = Get<std::uint64_t>(p + 8);
  f.Msg = Get<std::uint32_t>(p + 16);
  f.Flags = Get<std::uint32_t>(p + 20);
  f.WParam = Get<std::uint64_t>(p + 24);
  f.LParam = Get<std::int64_t>(p + 32);
  f.Status = Get<std::int32_t>(p + 40);
  f.Result = Get<std::int64_t>(p + 44);
  auto textLen = Get<std::uint32_t>(p + 52);
  std::size_t rest = length - kFrameFixedPayload;
  if (textLen == kNoText) {
    if (rest != 0) {
      error = "trailing bytes after a frame without text";
      return TDecodeResult::Bad;
    }
  } else {
    if (static_cast<std::size_t>(textLen) * 2 != rest) {
      error = "text length " + std::to_string(textLen) + " does not match the frame length";
      return TDecodeResult::Bad;
    }
    f.HasText = true;
    f.Text.resize(textLen);
    const char *t = p + kFrameFixedPayload;
    for (std::size_t i = 0; i < textLen; ++i)
      f.Text[i] = static_cast<Char>(Get<std::uint16_t>(t + 2 * i));
  }
  frame = std::move(f);
  consumed = kFrameHeaderSize + length;
  return TDecodeResult::Ok;
}

} // namespace krx::win_detail
