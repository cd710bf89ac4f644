#include "Platform/Vcl/Forms.h"
#include "Platform/Shell/Dialogs.h"

#include <gtest/gtest.h>

#include <vector>

namespace krx {
namespace {

class ApplicationTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_NE(Application, nullptr);
    Application->SetTitle(u"Test Host");
  }
  TScriptedMessages Script;
};

void Raise(const Exception &e) {
  try {
    throw e;
  } catch (...) {
    Application->HandleException(nullptr);
  }
}

TEST_F(ApplicationTest, HandleExceptionIsSilentForAbortAndShowsTheRest) {
  try {
    Abort();
  } catch (...) {
    Application->HandleException(nullptr);
  }
  EXPECT_TRUE(Script.Requests().empty());
  Raise(Exception(u"Cannot find remote: Kestrune"));
  Raise(Exception(u"Already a sentence."));
  Raise(Exception(u"Really!"));
  Raise(Exception(u""));
  try {
    throw std::runtime_error("plain failure");
  } catch (...) {
    Application->HandleException(nullptr);
  }
  auto r = Script.Requests();
  ASSERT_EQ(r.size(), 5u);
  EXPECT_EQ(r[0].Text, u"Cannot find remote: Kestrune.");
  EXPECT_EQ(r[0].Caption, u"Test Host");
  EXPECT_EQ(r[0].Flags, MB_OK | MB_ICONSTOP);
  EXPECT_EQ(r[1].Text, u"Already a sentence.");
  EXPECT_EQ(r[2].Text, u"Really!"); // '!' sorts below '.': no full stop added
  EXPECT_EQ(r[3].Text, u"");
  EXPECT_EQ(r[4].Text, u"plain failure.");
}

TEST_F(ApplicationTest, OnExceptionReplacesTheMessageBox) {
  std::vector<String> seen;
  TObject sender;
  TObject *seenSender = nullptr;
  Application->OnException = [&](TObject *s, const Exception &e) {
    seenSender = s;
    seen.push_back(e.Message());
  };
  try {
    throw EConvertError(u"'x' is not a valid integer value");
  } catch (...) {
    Application->HandleException(&sender);
  }
  Application->OnException = nullptr;
  EXPECT_EQ(seen, std::vector<String>{u"'x' is not a valid integer value"});
  EXPECT_EQ(seenSender, &sender);
  EXPECT_TRUE(Script.Requests().empty());
}

TEST_F(ApplicationTest, AnExceptionInAHandlerIsShownAndTheLoopGoesOn) {
  std::vector<WPARAM> handled;
  HWND wnd = AllocateHWnd([&](TMessage &m) {
    if (m.Msg != WM_USER)
      return;
    handled.push_back(m.WParam);
    if (m.WParam == 1)
      throw Exception(u"Handler failed");
    if (m.WParam == 2)
      Abort();
  });
  for (WPARAM i = 0; i < 4; ++i)
    PostMessageW(wnd, WM_USER, i, 0);
  Application->ProcessMessages();
  DeallocateHWnd(wnd);
  EXPECT_EQ(handled, (std::vector<WPARAM>{0, 1, 2, 3}));
  auto r = Script.Requests();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].Text, u"Handler failed.");
}

TEST_F(ApplicationTest, ProcessMessagesIsReentrant) {
  std::vector<WPARAM> handled;
  HWND wnd = AllocateHWnd([&](TMessage &m) {
    if (m.Msg != WM_USER)
      return;
    handled.push_back(m.WParam);
    if (m.WParam == 0)
      Application->ProcessMessages(); // runs the rest from inside the first
  });
  for (WPARAM i = 0; i < 5; ++i)
    PostMessageW(wnd, WM_USER, i, 0);
  Application->ProcessMessages();
  DeallocateHWnd(wnd);
  EXPECT_EQ(handled, (std::vector<WPARAM>{0, 1, 2, 3, 4}));
}

TEST_F(ApplicationTest, RunHandlesMessagesAndTimersUntilTerminate) {
  int ticks = 0;
  HWND wnd = AllocateHWnd([&](TMessage &m) {
    if (m.Msg == WM_TIMER && ++ticks == 2)
      Application->Terminate();
  });
  SetTimer(wnd, 1, 10, nullptr);
  Application->Run();
  DeallocateHWnd(wnd);
  EXPECT_EQ(ticks, 2);
  EXPECT_TRUE(Application->Terminated());
  Application->ResetTerminated(); // the tests after this one run modal forms
}

TEST_F(ApplicationTest, MessageBoxGoesThroughTheService) {
  Script.Push(IDNO);
  EXPECT_EQ(Application->MessageBox(u"Unable to update project file. No active project", nullptr,
                                    MB_ICONERROR | MB_YESNO),
            IDNO);
  auto r = Script.Requests();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].Caption, u"Error");
}

} // namespace
} // namespace krx
