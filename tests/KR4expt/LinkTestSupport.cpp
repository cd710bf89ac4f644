#include "LinkTestSupport.h"

#include "Platform/Win/Desktop.h"
#include "Platform/Win/Kernel.h"

namespace krx::test {

int PumpMessages() {
  int n = 0;
  while (PumpOneMessage())
    ++n;
  return n;
}

int PumpSettled() {
  int n = PumpMessages();
  const DWORD start = GetTickCount();
  // Room to spare: the settle timer fires only once the queue is otherwise empty.
  while (GetTickCount() - start < 5 * DotNetStubSettleMs) {
    Sleep(1);
    n += PumpMessages();
  }
  return n;
}

bool PumpOneMessage() {
  MSG msg;
  if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
    return false;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
  return true;
}

TRawEndpoint::TRawEndpoint(const String &name) {
  FHandle = AllocateHWnd([this](TMessage &m) {
    if (m.Msg == WM_SETTEXT) {
      Texts.emplace_back(reinterpret_cast<const Char *>(m.LParam));
      m.Result = Answer;
    } else {
      m.Result = DefWindowProcW(FHandle, m.Msg, m.WParam, m.LParam);
    }
  });
  // Named through the default procedure, so that the name is not recorded.
  DefWindowProcW(FHandle, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
}

TRawEndpoint::~TRawEndpoint() { DeallocateHWnd(FHandle); }

TExceptionCapture::TExceptionCapture() {
  FPrevious = std::exchange(Application->OnException, [this](TObject *sender, const Exception &e) {
    Messages.push_back(e.Message());
    ClassNames.push_back(e.ClassName());
    Senders.push_back(sender);
  });
}

TExceptionCapture::~TExceptionCapture() { Application->OnException = std::move(FPrevious); }

LRESULT SendText(HWND wnd, const String &text) {
  return SendMessageW(wnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void LinkTest::SetUp() { ReopenDesktop(); }

void LinkTest::TearDown() { ReopenDesktop(); }

} // namespace krx::test
