#include "LinkTestSupport.h"

#include "Platform/Win/Desktop.h"

namespace krx::test {

int PumpMessages() {
  int n = 0;
  while (PumpOneMessage())
    ++n;
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

namespace {
TExceptionCapture *GCapture = nullptr;
}

TExceptionCapture::TExceptionCapture() {
  GCapture = this;
  FPrevious = SetWindowExceptionHandler([] {
    try {
      throw;
    } catch (const Exception &e) {
      GCapture->Messages.push_back(e.Message());
      GCapture->ClassNames.push_back(e.ClassName());
    } catch (const std::exception &e) {
      GCapture->Messages.push_back(Utf8ToString(e.what()));
      GCapture->ClassNames.push_back(u"std::exception");
    }
  });
}

TExceptionCapture::~TExceptionCapture() {
  SetWindowExceptionHandler(FPrevious);
  GCapture = nullptr;
}

LRESULT SendText(HWND wnd, const String &text) {
  return SendMessageW(wnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void LinkTest::SetUp() { ReopenDesktop(); }

void LinkTest::TearDown() { ReopenDesktop(); }

} // namespace krx::test
