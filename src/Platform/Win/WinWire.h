// The frame format of messages between processes on the desktop socket. All numbers are
// little-endian. A frame is a 12-byte header (magic "KRXW", version, kind, payload length)
// and a payload of fixed fields followed by an optional UTF-16LE text.
#pragma once

#include "Platform/Rtl/Types.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace krx::win_detail {

enum class TFrameKind : std::uint16_t { Send = 1, Post = 2, Reply = 3 };

// Reply status codes.
enum TReplyStatus : std::int32_t {
  rsOk = 0,
  rsNoWindow = 1, // the target window does not exist (any more)
  rsHung = 2,     // SMTO_ABORTIFHUNG and the owner has not pumped messages lately
  rsRefused = 3,  // a text message posted: it can only be sent
  rsDenied = 4,   // the message is not taken from other processes (AcceptedFromOtherProcess)
  rsQuota = 5,    // the receiver's queue, or this connection's share of it, is full
  // Sequence 0: the receiver closes the connection. Every frame it took before has been
  // answered, so a frame without an answer was not handled and may be sent again.
  rsGoodbye = 6,
  rsNoRoom = 7, // sequence 0: the connection was refused (too many connections)
};

// Whether a window takes the message from another process. Only numbers and the caption
// texts cross processes, so a message whose parameters the receiver would use as pointers
// or as its own handles (WM_TIMER's timer procedure, WM_CREATE's record, the class library's
// notifications from 0xB000 up) is refused, and so is WM_QUIT and every other system message
// but WM_NULL, WM_SETTEXT, WM_GETTEXT and WM_GETTEXTLENGTH. WM_USER to 0xAFFF cross as
// numbers.
bool AcceptedFromOtherProcess(std::uint32_t msg);

struct TFrame {
  TFrameKind Kind = TFrameKind::Send;
  std::uint64_t Seq = 0;
  std::uint64_t Window = 0;
  std::uint32_t Msg = 0;
  std::uint32_t Flags = 0;
  std::uint64_t WParam = 0;
  std::int64_t LParam = 0;
  std::int32_t Status = 0;
  std::int64_t Result = 0;
  bool HasText = false;
  String Text;
};

inline constexpr std::uint32_t kFrameMagic = 0x5758524B; // "KRXW" read as little-endian
inline constexpr std::uint16_t kFrameVersion = 1;
inline constexpr std::size_t kFrameHeaderSize = 12;
inline constexpr std::size_t kFrameFixedPayload = 56;
// Longest text a frame carries, in UTF-16 code units.
inline constexpr std::size_t kMaxFrameText = 512 * 1024;
inline constexpr std::size_t kMaxFramePayload = kFrameFixedPayload + 2 * kMaxFrameText;

std::string EncodeFrame(const TFrame &frame);

enum class TDecodeResult { NeedMore, Ok, Bad };

// Decodes the frame at the start of `data`. Ok: `frame` is set and `consumed` is its size.
// Bad: `error` says why; the stream cannot be resynchronised and must be dropped.
TDecodeResult DecodeFrame(const char *data, std::size_t size, TFrame &frame, std::size_t &consumed,
                          std::string &error);

} // namespace krx::win_detail
