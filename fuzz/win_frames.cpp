// Frames from another process. The decoder must refuse or accept any byte stream without
// reading out of bounds, and what it accepts must encode back to the same bytes.
//
// The input also drives a live endpoint of this process through its desktop socket: it is
// read as a list of messages (kind, message, parameters, flags, text) sent or posted to the
// endpoint window, followed by a good call. Whatever they carry, the receiver must answer the
// good call, keep its endpoint name and never call into a parameter (an ASan build catches
// that).
#include "KR4expt/DotNetPS.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Win/Desktop.h"
#include "Platform/Win/WinWire.h"
#include "Platform/Win/Windows.h"
#include "Units.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using namespace krx;
using namespace krx::win_detail;
namespace fs = std::filesystem;

constexpr std::uint64_t kGoodCallSeq = ~0ull;

// Messages worth trying: those taken from other processes, those refused at the door, and
// the endpoint's own ranges. The last entry takes its number from the input.
constexpr std::uint32_t kMessages[] = {
    WM_NULL,  WM_CREATE, WM_DESTROY, WM_SETTEXT, WM_GETTEXT, WM_GETTEXTLENGTH, WM_CLOSE, WM_QUIT,
    WM_TIMER, WM_USER,   0x0502,     0x0601,     WM_APP,     0xB000,           0xC000,   0,
};

struct TEndpoint {
  fs::path Desk;
  std::unique_ptr<TDotNetStub> Stub;
  sockaddr_un Address{};
};

TEndpoint &Endpoint() {
  static TEndpoint *e = [] {
    auto *ep = new TEndpoint;
    char dir[] = "/tmp/krx-fuzz-desk-XXXXXX";
    if (::mkdtemp(dir) == nullptr)
      std::abort();
    ep->Desk = dir;
    ::setenv("KRX_DESKTOP_DIR", dir, 1);
    std::atexit([] {
      std::error_code ec;
      fs::remove_all(Endpoint().Desk, ec);
    });
    InitializeUnits(AllUnits());
    // The endpoint's thread-local queue is gone before exit handlers run, and the shared
    // platform library's statics may be destroyed before ours: when the run ends, leave
    // without destroying anything (libFuzzer has printed its results by then).
    std::atexit([] { std::_Exit(0); });
    Application->OnException = [](TObject *, const Exception &) {};
    ep->Stub = TDotNetStub::Create<TDotNetStub>();
    const std::string prefix = "p" + std::to_string(::getpid()) + "-";
    for (auto &entry : fs::directory_iterator(ep->Desk)) {
      const std::string name = entry.path().filename().string();
      if (name.starts_with(prefix) && name.ends_with(".sock")) {
        ep->Address.sun_family = AF_UNIX;
        std::strncpy(ep->Address.sun_path, entry.path().c_str(), sizeof ep->Address.sun_path - 1);
      }
    }
    if (ep->Address.sun_family != AF_UNIX)
      std::abort();
    return ep;
  }();
  return *e;
}

template <typename T> T Take(const std::uint8_t *&p, const std::uint8_t *end) {
  T v{};
  std::size_t n = std::min<std::size_t>(sizeof(T), static_cast<std::size_t>(end - p));
  std::memcpy(&v, p, n);
  p += n;
  return v;
}

// The frames the input describes: 1 byte kind and message choice, 4 bytes message number
// (used for the last choice), 8 + 8 bytes parameters, 1 byte flags, 1 byte text length and
// that many UTF-16 code units of text.
std::string Messages(const std::uint8_t *p, const std::uint8_t *end, HWND wnd) {
  std::string out;
  std::uint64_t seq = 1;
  while (p < end) {
    auto choice = Take<std::uint8_t>(p, end);
    win_detail::TFrame f;
    f.Kind = (choice & 0x80) ? TFrameKind::Post : TFrameKind::Send;
    f.Seq = seq++;
    f.Window = reinterpret_cast<std::uintptr_t>(wnd);
    f.Msg = kMessages[choice % std::size(kMessages)];
    auto number = Take<std::uint32_t>(p, end);
    if (f.Msg == 0)
      f.Msg = number;
    f.WParam = Take<std::uint64_t>(p, end);
    f.LParam = Take<std::int64_t>(p, end);
    f.Flags = Take<std::uint8_t>(p, end);
    auto length = Take<std::uint8_t>(p, end);
    if (length > 0) {
      f.HasText = true;
      for (int i = 0; i < length && p < end; ++i)
        f.Text.push_back(static_cast<Char>(Take<std::uint16_t>(p, end)));
    }
    // A WM_GETTEXT buffer is bounded by the receiver; keep the replies small all the same.
    if (f.Msg == WM_GETTEXT)
      f.WParam &= 0xFFFF;
    out += EncodeFrame(f);
  }
  return out;
}

// Sends the bytes and then a good call on a new connection, pumping this thread's messages
// until the good call is answered. False when the receiver closed the connection first.
bool Deliver(const std::string &bytes) {
  TEndpoint &e = Endpoint();
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr *>(&e.Address), sizeof e.Address) != 0)
    std::abort();
  win_detail::TFrame good;
  good.Seq = kGoodCallSeq;
  good.Window = reinterpret_cast<std::uintptr_t>(e.Stub->Handle());
  good.Msg = WM_GETTEXTLENGTH;
  const std::string out = bytes + EncodeFrame(good);
  std::size_t sent = 0;
  std::string in;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  bool answered = false, closed = false;
  while (!answered && !closed) {
    if (std::chrono::steady_clock::now() > deadline)
      std::abort(); // the receiver stopped answering
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
      DispatchMessageW(&msg);
    pollfd p{fd, static_cast<short>(POLLIN | (sent < out.size() ? POLLOUT : 0)), 0};
    ::poll(&p, 1, 1);
    if (sent < out.size()) {
      auto n = ::send(fd, out.data() + sent, out.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n > 0)
        sent += static_cast<std::size_t>(n);
    }
    char buf[65536];
    auto n = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
      closed = true;
    if (n > 0)
      in.append(buf, static_cast<std::size_t>(n));
    for (;;) {
      win_detail::TFrame r;
      std::size_t used = 0;
      std::string error;
      if (DecodeFrame(in.data(), in.size(), r, used, error) != TDecodeResult::Ok)
        break;
      in.erase(0, used);
      if (r.Seq == kGoodCallSeq) {
        if (r.Status != rsOk || r.Result != 12) // the length of "DEFAULT_STUB"
          std::abort();
        answered = true;
      }
    }
  }
  ::close(fd);
  return answered;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const char *p = reinterpret_cast<const char *>(data);
  std::size_t offset = 0;
  while (offset < size) {
    win_detail::TFrame f;
    std::size_t used = 0;
    std::string error;
    auto r = DecodeFrame(p + offset, size - offset, f, used, error);
    if (r != TDecodeResult::Ok)
      break;
    if (used == 0 || EncodeFrame(f) != std::string(p + offset, used))
      std::abort();
    offset += used;
  }

  TEndpoint &e = Endpoint();
  if (!Deliver(Messages(data, data + size, e.Stub->Handle())) && !Deliver({}))
    std::abort(); // closed twice: the receiver no longer serves
  if (GetWindowCaption(e.Stub->Handle()) != u"DEFAULT_STUB")
    std::abort(); // a message renamed the endpoint
  return 0;
}
