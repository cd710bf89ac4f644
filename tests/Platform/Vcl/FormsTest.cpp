#include "Platform/Vcl/Forms.h"
#include "Platform/Shell/Dialogs.h"
#include "VclTestSupport.h"

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

// ---- Placement at the first show and the density of the monitor ----------------------------

struct PlacementTest : ::testing::Test {
  // Work areas are 40 pixels shorter than their monitors.
  void UseMonitors(Integer SecondPPI, Integer PrimaryPPI = 96) {
    Screen->SetMonitors({{Rect(0, 0, 1920, 1080), Rect(0, 0, 1920, 1040), PrimaryPPI},
                         {Rect(1920, 0, 4480, 1440), Rect(1920, 0, 4480, 1400), SecondPPI}});
  }
  void TearDown() override {
    Application->SetMainForm(nullptr);
    Screen->SetMonitors({{Rect(0, 0, 1920, 1080), Rect(0, 0, 1920, 1040), 96}});
  }
};

TEST_F(PlacementTest, TheFirstShowPlacesTheFormAsItsPositionAsks) {
  UseMonitors(96);
  auto main = test::NewForm();
  main->SetPosition(poDesigned);
  main->SetBounds(2000, 100, 1000, 800); // on the second monitor
  main->Show();
  Application->SetMainForm(main.get());
  auto owner = test::NewForm();
  owner->SetBounds(100, 100, 600, 500);
  const struct {
    TPosition Position;
    TDefaultMonitor Monitor;
    TRect Expected;                  // the form is 400 x 300 at (5, 5) before it is shown
    bool OwnedByApplication = false; // else by the form "owner"
  } rows[] = {
      {poDesigned, dmActiveForm, Bounds(5, 5, 400, 300)},
      {poScreenCenter, dmActiveForm, Bounds(3000, 570, 400, 300)}, // the main form is active
      {poScreenCenter, dmPrimary, Bounds(760, 390, 400, 300)},
      {poScreenCenter, dmDesktop, Bounds(760, 390, 400, 300)},
      {poDesktopCenter, dmActiveForm, Bounds(2040, 570, 400, 300)},
      {poMainFormCenter, dmActiveForm, Bounds(2300, 350, 400, 300)},
      {poOwnerFormCenter, dmActiveForm, Bounds(200, 200, 400, 300)},
      {poOwnerFormCenter, dmActiveForm, Bounds(2300, 350, 400, 300), true}, // over the main form
      {poDefaultPosOnly, dmActiveForm, Bounds(1920, 0, 400, 300)},
      {poDefault, dmPrimary, Bounds(0, 0, 1440, 780)},
      {poDefaultSizeOnly, dmPrimary, Bounds(5, 5, 1440, 780)},
  };
  for (const auto &row : rows) {
    auto *form = TCustomForm::CreateNew<TForm>(
        row.OwnedByApplication ? static_cast<TComponent *>(Application) : owner.get());
    form->SetBounds(5, 5, 400, 300);
    form->SetPosition(row.Position);
    form->SetDefaultMonitor(row.Monitor);
    form->Show();
    EXPECT_EQ(form->BoundsRect(), row.Expected)
        << StringToUtf8(GetEnumName(TPositionNames, row.Position));
    delete form;
  }
  // Later shows keep the place; a second form at a default place steps past the first.
  auto first = test::NewForm(), second = test::NewForm();
  first->Show();
  first->Hide();
  first->SetBounds(30, 40, 400, 300);
  first->Show();
  second->Show();
  EXPECT_EQ(first->BoundsRect(), Bounds(30, 40, 400, 300));
  EXPECT_EQ(second->BoundsRect(), Bounds(26, 26, 320, 240)); // on the active form's monitor
}

TEST_F(PlacementTest, AFormFollowsTheDensityOfTheMonitorItIsMadeOnOrMovedTo) {
  UseMonitors(192, 144);
  auto form = test::NewForm(); // made on the 144 primary
  EXPECT_EQ(form->CurrentPPI(), 144);
  EXPECT_EQ(form->BoundsRect(), Bounds(0, 0, 480, 360));
  std::vector<std::pair<Integer, Integer>> changes;
  form->OnAfterMonitorDpiChanged = [&](TObject *, Integer o, Integer n) {
    changes.push_back({o, n});
  };
  form->SetBounds(2000, 100, 300, 150); // onto the 192 monitor
  EXPECT_EQ(form->BoundsRect(), Bounds(2000, 100, 400, 200));
  form->SetBounds(10, 10, 400, 200); // back
  EXPECT_EQ(form->BoundsRect(), Bounds(10, 10, 300, 150));
  EXPECT_EQ(changes, (std::vector<std::pair<Integer, Integer>>{{144, 192}, {192, 144}}));
  // Forms that do not scale themselves per monitor keep their pixels.
  form->SetScaled(false);
  form->SetBounds(2000, 100, 300, 150);
  form->SetScaled(true);
  form->SetDpiAwarenessContext(DPI_AWARENESS_CONTEXT_SYSTEM_AWARE);
  form->SetBounds(2000, 100, 300, 150);
  EXPECT_EQ(form->CurrentPPI(), 144);
  // Centred on a monitor of another density at its first show: scaled, then centred.
  auto main = test::NewForm();
  main->SetBounds(2000, 100, 500, 400);
  Application->SetMainForm(main.get());
  auto dialog = test::NewForm();
  dialog->SetClientWidth(400);
  dialog->SetClientHeight(300);
  dialog->SetPosition(poScreenCenter);
  dialog->SetDefaultMonitor(dmMainForm);
  dialog->Show();
  EXPECT_EQ(dialog->CurrentPPI(), 192);
  EXPECT_EQ(dialog->BoundsRect(), Bounds(1920 + (2560 - 533) / 2, (1440 - 400) / 2, 533, 400));
  // Embedded in another form, a form is placed by its parent and has its density: its bounds
  // are in the parent's coordinates, so neither its Position nor the monitor they would name on
  // the screen (here the 144 one) applies.
  auto inner = test::NewForm();
  inner->SetParent(main.get());
  inner->SetPosition(poScreenCenter);
  inner->SetBounds(10, 10, 300, 150);
  inner->Show();
  EXPECT_EQ(std::pair(inner->BoundsRect(), inner->CurrentPPI()),
            std::pair(Bounds(10, 10, 300, 150), 192));
}

} // namespace
} // namespace krx
