// Runs the scenarios of the Windows probe (tests/fixtures/winprobe/winprobe.c, recorded under
// wine in output.txt) against the substitute and compares the answers line by line.
#include "Platform/Win/Windows.h"
#include "support/KrxTest.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <sstream>
#include <thread>

namespace krx {
namespace {

class ProbeScenario {
public:
  ProbeScenario() {
    Main = AllocateHWnd([this](TMessage &m) { MainProc(m); });
    std::thread([this] { WorkerLoop(); }).swap(Worker);
    while (WorkerWnd.load() == nullptr)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~ProbeScenario() {
    PostMessageW(WorkerWnd.load(), WM_USER + 9, 0, 0);
    Worker.join();
    DeallocateHWnd(Main);
  }

  std::vector<std::string> Run() {
    SetText(u"Probe_Endpoint");
    Find(u"TPUtilWindow", u"Probe_Endpoint", "exact");
    Find(u"tputilwindow", u"PROBE_ENDPOINT", "other case");
    Find(nullptr, u"probe_endpoint", "null class");
    Find(u"TPUtilWindow", u"Probe", "prefix of caption");
    Find(u"TPUtilWindow", u"Probe_Endpoint ", "trailing blank");
    Find(u"OtherClass", u"Probe_Endpoint", "other class");
    SetText(u"\u00c4rger_\u00e9t\u00e9");
    Find(u"TPUtilWindow", u"\u00e4RGER_\u00c9T\u00c9", "non-ASCII other case");
    SetText(u"Probe_Endpoint");

    Line("WM_SETTEXT result %ld", static_cast<long>(SetText(u"Renamed")));
    Char buf[16] = {};
    LRESULT n = SendMessageW(Main, WM_GETTEXT, 4, reinterpret_cast<LPARAM>(buf));
    Line("WM_GETTEXT size 4 -> %ld \"%s\"", static_cast<long>(n), StringToUtf8(buf).c_str());
    n = SendMessageW(Main, WM_GETTEXT, 0, reinterpret_cast<LPARAM>(buf));
    Line("WM_GETTEXT size 0 -> %ld", static_cast<long>(n));
    Line("WM_GETTEXTLENGTH -> %ld", static_cast<long>(SendMessageW(Main, WM_GETTEXTLENGTH, 0, 0)));
    n = SendMessageW(Main, WM_SETTEXT, 0, 0);
    Line("WM_SETTEXT null -> %ld, length now %d", static_cast<long>(n), GetWindowTextLengthW(Main));
    SetText(u"Probe_Endpoint");

    Send("same thread", Main, WM_USER + 1, 20, SMTO_BLOCK | SMTO_ABORTIFHUNG, 10000);
    Send("other thread", WorkerWnd, WM_USER + 1, 20, SMTO_BLOCK | SMTO_ABORTIFHUNG, 10000);
    Send("other thread busy in handler, 300 ms", WorkerWnd, WM_USER + 4, 1000, SMTO_BLOCK, 300);
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    HWND dead = AllocateHWnd([](TMessage &) {});
    DeallocateHWnd(dead);
    Send("destroyed window", dead, WM_USER + 1, 20, SMTO_BLOCK, 300);
    SetLastError(0);
    BOOL posted = PostMessageW(Main, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"x"));
    Line("PostMessageW WM_SETTEXT -> %ld error=%lu", static_cast<long>(posted),
         static_cast<unsigned long>(static_cast<std::uint32_t>(GetLastError())));

    Send("send-back under SMTO_BLOCK", WorkerWnd, WM_USER + 5, 300, SMTO_BLOCK, 5000);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
      DispatchMessageW(&msg);
    Send("send-back under SMTO_NORMAL", WorkerWnd, WM_USER + 5, 300, SMTO_NORMAL, 5000);

    PostMessageW(Main, WM_USER + 2, 0, 0);
    PostMessageW(Main, WM_USER + 2, 0, 0);
    PostMessageW(WorkerWnd, WM_USER + 6, 0, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
      DispatchMessageW(&msg);
    Line("two posted, then one sent by another thread; handled: %s", Order.c_str());
    return Lines;
  }

private:
  HWND Main = nullptr;
  std::atomic<HWND> WorkerWnd{nullptr};
  std::thread Worker;
  std::string Order;
  std::vector<std::string> Lines;

  void MainProc(TMessage &m) {
    if (m.Msg == WM_USER + 1)
      m.Result = static_cast<LRESULT>(m.WParam * 2 + 1);
    else if (m.Msg == WM_USER + 2 || m.Msg == WM_USER + 3)
      Order += m.Msg == WM_USER + 2 ? 'P' : 'S';
    else
      m.Result = DefWindowProcW(Main, m.Msg, m.WParam, m.LParam);
  }

  void WorkerLoop() {
    HWND self = nullptr;
    self = AllocateHWnd([&](TMessage &m) {
      switch (m.Msg) {
      case WM_USER + 1:
        m.Result = static_cast<LRESULT>(m.WParam * 2 + 1);
        break;
      case WM_USER + 4:
        std::this_thread::sleep_for(std::chrono::milliseconds(m.WParam));
        m.Result = 1;
        break;
      case WM_USER + 5: {
        DWORD_PTR r = 0xDEAD;
        LRESULT ok = SendMessageTimeoutW(Main, WM_USER + 1, 20, 0, SMTO_NORMAL,
                                         static_cast<UINT>(m.WParam), &r);
        m.Result = ok ? static_cast<LRESULT>(r) : -1;
        break;
      }
      case WM_USER + 6: // stands for SendNotifyMessageW: a sent message to the main thread
        SendMessageTimeoutW(Main, WM_USER + 3, 0, 0, SMTO_NORMAL, 5000, nullptr);
        break;
      default:
        m.Result = DefWindowProcW(self, m.Msg, m.WParam, m.LParam);
      }
    });
    SetWindowTextW(self, u"Worker_Endpoint");
    WorkerWnd = self;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) && msg.message != WM_USER + 9)
      DispatchMessageW(&msg);
    DeallocateHWnd(self);
  }

  template <typename... A> void Line(const char *fmt, A... args) {
    char buf[256];
    std::snprintf(buf, sizeof buf, fmt, args...);
    Lines.emplace_back(buf);
  }

  LRESULT SetText(const Char *text) {
    return SendMessageW(Main, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
  }

  void Find(const Char *cls, const Char *name, const char *label) {
    HWND h = FindWindowW(cls, name);
    Line("FindWindowW %-32s -> %s", label, h == Main ? "main" : h ? "other" : "none");
  }

  void Send(const char *what, HWND wnd, UINT msg, WPARAM w, UINT flags, UINT timeout) {
    DWORD_PTR r = 0xDEAD;
    SetLastError(0);
    LRESULT ok = SendMessageTimeoutW(wnd, msg, w, 0, flags, timeout, &r);
    // The probe is a 64-bit Windows program: its "long" is 32 bits wide.
    Line("%-44s ok=%ld result=0x%lx error=%lu", what, static_cast<long>(ok),
         static_cast<unsigned long>(static_cast<std::uint32_t>(r)),
         static_cast<unsigned long>(static_cast<std::uint32_t>(GetLastError())));
  }
};

TEST(WindowsProbe, TheSubstituteAnswersAsWindowsDid) {
  std::istringstream recorded(test::ReadFileBytes(test::Fixture("winprobe/output.txt")));
  std::map<std::string, std::string> expected; // line without timing, by its label
  std::string line;
  auto key = [](const std::string &l) { return l.substr(0, std::min<std::size_t>(l.size(), 40)); };
  while (std::getline(recorded, line)) {
    auto elapsed = line.find(" elapsed=");
    if (elapsed != std::string::npos)
      line.erase(elapsed);
    expected[key(line)] = line;
  }
  ASSERT_GE(expected.size(), 20u);
  ProbeScenario scenario;
  for (auto &got : scenario.Run()) {
    auto it = expected.find(key(got));
    ASSERT_NE(it, expected.end()) << "not in the recording: " << got;
    EXPECT_EQ(got, it->second);
  }
}

} // namespace
} // namespace krx
