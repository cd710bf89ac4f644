#include "Common/KRX.DelphiVersions.h"
#include "Common/RegUtils.h"
#include "Controls/ComCtrlsEx.h"
#include "Controls/KRX.Base.Form.h"
#include "Controls/KRX.Base.Frame.h"
#include "Controls/KRX.FormDPIChangeHandler.h"
#include "ControlsTestSupport.h"
#include "Platform/Registry/Registry.h"
#include "Platform/Vcl/StdCtrls.h"

#include <gtest/gtest.h>

namespace krx {
namespace {

using test::Add;

std::vector<String> gLog;

class TLogFrame : public TBaseFrame {
public:
  using TBaseFrame::TBaseFrame;
  std::vector<String> Seen;
  int Aligned = 0;

protected:
  void AlignControls(TControl *AControl, TRect &Rect) override {
    ++Aligned;
    TBaseFrame::AlignControls(AControl, Rect);
  }
  void ImageListChanged() override { Seen.push_back(u"images"); }
  void StyleChanged() override { Seen.push_back(u"style"); }
  void ScaleChanged() override { gLog.push_back(u"frame scaled"); }
};

class TLogForm : public TBaseForm {
public:
  using TBaseForm::TBaseForm;
  TLogFrame *Frame = nullptr;
  TEdit *Edit = nullptr;
  TButton *Ok = nullptr;
  TButton *Cancel = nullptr;

protected:
  void InitForm() override {
    // A designer's own monitor-DPI events, set before the handler exists.
    OnBeforeMonitorDpiChanged = [this](TObject *, Integer, Integer) {
      gLog.push_back(String(u"designer before: frame ") + (Frame->Visible() ? u"shown" : u"hidden"));
    };
    OnAfterMonitorDpiChanged = [this](TObject *, Integer, Integer) {
      gLog.push_back(String(u"designer after: frame ") + (Frame->Visible() ? u"shown" : u"hidden"));
    };
    SetBounds(0, 0, 400, 300);
    Frame = TCustomFrame::Create<TLogFrame>(this);
    Frame->SetName(u"Frame");
    Frame->SetAlign(alTop);
    Frame->SetParent(this);
    Edit = Add<TEdit>(Frame, u"Edit", Bounds(8, 8, 100, 20));
    Ok = Add<TButton>(this, u"OK", Bounds(300, 260, 80, 25));
    Ok->SetDefault(true);
    Ok->SetModalResult(mrOk);
    Cancel = Add<TButton>(this, u"Cancel", Bounds(210, 260, 80, 25));
    Cancel->SetModalResult(mrAbort);
  }
  void StyleChanged() override { gLog.push_back(u"form style"); }
  void ScaleChanged() override { gLog.push_back(u"form scaled"); }
};

std::unique_ptr<TLogForm> NewLogForm() {
  gLog.clear();
  return std::unique_ptr<TLogForm>(TCustomForm::Create<TLogForm>(nullptr));
}

// ---- DPI changes ------------------------------------------------------------------------------

struct DpiFixture : ::testing::Test {
  void SetUp() override { form = NewLogForm(); }
  std::unique_ptr<TLogForm> form;
};

TEST_F(DpiFixture, EventOrderHiddenChildrenAlignmentAndFonts) {
  auto *hidden = Add<TWinControl>(form.get(), u"Hidden", Bounds(0, 200, 50, 20));
  hidden->Hide();
  form->Frame->Font().SetHeight(-12);
  form->Show();
  gLog.clear();
  form->Frame->Aligned = 0;
  Screen->SetMonitorPixelsPerInch(0, 144);
  EXPECT_EQ(gLog, (std::vector<String>{u"designer before: frame shown", u"frame scaled",
                                       u"form scaled", u"designer after: frame shown"}));
  EXPECT_TRUE(form->Frame->Visible());
  EXPECT_FALSE(hidden->Visible());
  EXPECT_EQ(form->Frame->BoundsRect(), Rect(0, 0, 600, 360)); // still aligned to the top
  EXPECT_EQ(form->Edit->Font().Height(), -18);
  EXPECT_EQ(form->Ok->BoundsRect(), Bounds(450, 390, 120, 38));
  EXPECT_FALSE(form->Frame->ControlState().Contains(csAlignmentNeeded));
  EXPECT_EQ(form->Frame->Aligned, 0); // scaling placed the controls: no second alignment
  EXPECT_TRUE(form->Frame->RedrawEnabled());
  Screen->SetMonitorPixelsPerInch(0, 96);
}

TEST_F(DpiFixture, TwoChangesInARowShowOnlyWhatWasVisibleAtTheSecondStart) {
  TFormDPIChangeHandler handler(form.get());
  form->MonitorDpiChanged(144);
  form->Ok->Hide();
  form->MonitorDpiChanged(192);
  EXPECT_FALSE(form->Ok->Visible());
  EXPECT_TRUE(form->Frame->Visible());
}

TEST(DpiHandler, EventsAreChainedAndPutBackAndUnbalancedStepsChangeNothing) {
  TForm form(nullptr);
  std::vector<String> log;
  auto *child = Add<TWinControl>(&form, u"Child", Bounds(0, 0, 10, 10));
  form.OnBeforeMonitorDpiChanged = [&](TObject *, Integer, Integer) {
    log.push_back(String(u"designer before, child ") + (child->Visible() ? u"shown" : u"hidden"));
  };
  form.OnAfterMonitorDpiChanged = [&](TObject *, Integer, Integer) {
    log.push_back(String(u"designer after, child ") + (child->Visible() ? u"shown" : u"hidden"));
  };
  {
    TFormDPIChangeHandler handler(&form);
    handler.BeforeScaling();
    handler.BeforeScaling(); // the second changes nothing
    EXPECT_FALSE(child->Visible());
    EXPECT_TRUE(child->AlignDisabled());
    handler.AfterScaling();
    handler.AfterScaling();
    EXPECT_TRUE(child->Visible());
    form.MonitorDpiChanged(120);
  }
  EXPECT_EQ(log, (std::vector<String>{u"designer before, child shown", u"designer after, child shown"}));
  log.clear();
  form.MonitorDpiChanged(96); // the designer's own handlers are back
  EXPECT_EQ(log.size(), 2u);
}

TEST(DpiHandler, ScalingThatRaisesStillShowsTheChildren) {
  struct TBroken : TWinControl {
    using TWinControl::TWinControl;
    void ChangeScale(Integer, Integer, bool) override { throw EInvalidOperation(u"cannot scale"); }
  };
  TForm form(nullptr);
  auto *child = Add<TBroken>(&form, u"Broken", Bounds(0, 0, 10, 10));
  TFormDPIChangeHandler handler(&form);
  EXPECT_THROW(form.MonitorDpiChanged(144), EInvalidOperation);
  EXPECT_TRUE(child->Visible());
  EXPECT_FALSE(child->AlignDisabled());
}

TEST(DpiHandler, WindowedControlsUnderANonWindowedOwnerKeepTheirAlignment) {
  TForm form(nullptr);
  auto *holder = new TComponent(&form);
  auto *inner = new TWinControl(holder);
  auto *owned = new TWinControl(&form);
  int walked = 0;
  ForEachWinControl(&form, [&](TWinControl *) { ++walked; }, true);
  EXPECT_EQ(walked, 1);
  TFormDPIChangeHandler handler(&form);
  handler.BeforeScaling();
  EXPECT_FALSE(inner->AlignDisabled());
  EXPECT_TRUE(owned->AlignDisabled());
  handler.AfterScaling();
  EXPECT_FALSE(owned->AlignDisabled());
}

// ---- Theme, font, keys, images ----------------------------------------------------------------

struct ThemeFixture : ::testing::Test {
  void TearDown() override {
    TRegistry reg;
    reg.DeleteKey(BDSRegistryKey(ThisIDEVersion()) + u"\\Theme");
  }
  void WriteTheme(const String *name, const Integer *size) {
    TRegistry reg;
    reg.DeleteKey(BDSRegistryKey(ThisIDEVersion()) + u"\\Theme");
    ASSERT_TRUE(reg.OpenKey(BDSRegistryKey(ThisIDEVersion()) + u"\\Theme", true));
    if (name)
      reg.WriteString(u"FontName", *name);
    if (size)
      reg.WriteInteger(u"FontSize", *size);
  }
};

TEST_F(ThemeFixture, TheFontComesFromTheThemeKeyOnlyWhileTheIDEStyleIsInUse) {
  const String consolas = u"Consolas", empty;
  const Integer eleven = 11, zero = 0, huge = 2000000000;
  const struct {
    const String *Name;
    const Integer *Size;
    const char16_t *ExpectedName;
    Integer ExpectedSize;
  } rows[] = {
      {&consolas, &eleven, u"Consolas", 11},
      {&consolas, nullptr, u"Consolas", 9}, // no size: the name is taken, the size stays 9
      {&consolas, &zero, u"Consolas", 9},   // no usable size
      {&consolas, &huge, u"Consolas", 9},   // damaged: would wrap the font height
      {nullptr, &eleven, u"Segoe UI", 11},  // no name: the name stays, the size is taken
      {&empty, &eleven, u"Segoe UI", 11},
  };
  test::TIDEStyleGuard ide;
  for (const auto &row : rows) {
    WriteTheme(row.Name, row.Size);
    auto form = NewLogForm();
    EXPECT_EQ(form->Font().Name(), row.ExpectedName);
    EXPECT_EQ(form->Font().Size(), row.ExpectedSize);
    EXPECT_EQ(form->Edit->Font().Name(), row.ExpectedName); // parent font
  }
}

TEST_F(ThemeFixture, WithoutTheIDEStyleTheDesignedFontStaysAndNothingSubscribes) {
  const String consolas = u"Consolas";
  WriteTheme(&consolas, nullptr);
  test::TThemeRequests ide;
  auto form = NewLogForm();
  EXPECT_EQ(form->Font().Name(), DefFontName);
  EXPECT_FALSE(form->Subscribed());
  EXPECT_FALSE(form->Frame->Subscribed());
  form->ApplyTheme();
  form->Frame->ApplyTheme();
  EXPECT_TRUE(ide.Applied.empty());
  EXPECT_TRUE(ide.Registered.empty());
}

TEST(BaseForm, ThemedFormsAndFramesReapplyTheThemeOnEveryChange) {
  test::TIDEStyleGuard ide;
  test::TThemeRequests requests;
  auto form = NewLogForm();
  EXPECT_EQ(requests.Registered, std::vector<String>{u"TLogForm"});
  EXPECT_EQ(requests.Applied, (std::vector<TComponent *>{form->Frame, form->Frame, form.get()}));
  EXPECT_EQ(form->Frame->Seen, (std::vector<String>{u"style", u"style", u"images"}));
  requests.Applied.clear();
  TCustomStyleServices other(u"Other", true);
  UpdateStyleServices(&other);
  EXPECT_EQ(requests.Applied.size(), 2u);
  EXPECT_EQ(gLog.back(), u"form style");
  // Gone forms and frames hear nothing more.
  form.reset();
  requests.Applied.clear();
  UpdateStyleServices(ide.Style());
  EXPECT_TRUE(requests.Applied.empty());
}

TEST(BaseForm, CtrlEnterConfirmsOnlyThroughAVisibleEnabledDefaultButton) {
  auto form = NewLogForm();
  const struct {
    TShiftState Shift;
    bool OkEnabled, OkVisible, FocusCancel;
    TModalResult Expected; // mrCancel: the key did nothing and the run ended
  } rows[] = {
      {{ssCtrl}, true, true, false, mrOk},
      {{ssCtrl}, true, true, true, mrOk}, // not the focused button
      {{ssCtrl, ssShift}, true, true, false, mrCancel},
      {{ssCtrl, ssAlt}, true, true, false, mrCancel},
      {{ssCtrl}, false, true, false, mrCancel},
      {{ssCtrl}, true, false, false, mrCancel},
  };
  for (const auto &row : rows) {
    form->Ok->SetEnabled(row.OkEnabled);
    form->Ok->SetVisible(row.OkVisible);
    TScriptedModal script({[&](TCustomForm &f) {
      (row.FocusCancel ? static_cast<TWinControl *>(form->Cancel) : form->Edit)->SetFocus();
      PressKey(f, VK_RETURN, row.Shift);
    }});
    EXPECT_EQ(form->ShowModal(), row.Expected)
        << row.OkEnabled << row.OkVisible << row.FocusCancel << row.Shift.Contains(ssShift);
  }
}

TEST(BaseForm, CtrlEnterStaysWithAControlThatTakesIt) {
  auto form = NewLogForm();
  auto *hotKey = Add<THotKeyEx>(form.get(), u"HotKey", Bounds(8, 40, 100, 20));
  auto *list = Add<TListViewEx>(form.get(), u"List", Bounds(8, 70, 200, 100));
  list->SetViewStyle(vsReport);
  list->Items().Add()->SetCaption(u"Open");
  TScriptedModal script({[&](TCustomForm &f) {
    hotKey->SetFocus();
    PressKey(f, VK_RETURN, {ssCtrl});
    list->SetFocus();
    ASSERT_TRUE(list->Items()[0]->EditCaption());
    TypeText(f, u"ed");
    PressKey(f, VK_RETURN, {ssCtrl});
    EXPECT_EQ(f.ModalResult(), mrNone);
  }});
  EXPECT_EQ(form->ShowModal(), mrCancel); // the script ended the run, not the keys
  EXPECT_EQ(ShortCutToText(hotKey->HotKey()), u"Ctrl+Enter");
  EXPECT_EQ(list->Items()[0]->Caption(), u"Opened");
}

TEST(BaseForm, ImageQuestionsAndTheProviderOfAControl) {
  auto form = NewLogForm();
  auto *panel = Add<TWinControl>(form.get(), u"Panel", Bounds(0, 0, 10, 10));
  auto *inner = Add<TWinControl>(panel, u"Inner", Bounds(0, 0, 5, 5));
  EXPECT_EQ(FindImageProvider(inner).get(), static_cast<IKRXImageProvider *>(form.get()));
  EXPECT_EQ(FindImageProvider(form->Edit).get(), static_cast<IKRXImageProvider *>(form->Frame));
  EXPECT_EQ(FindImageProvider(form.get()).get(), nullptr);

  TImageList source(nullptr);
  source.SetSize(16, 16);
  source.Add(u"Warnings");
  TCustomImageList *copy = form->GetScaledImageList(16, &source, nullptr);
  EXPECT_EQ(copy->Owner(), form.get());
  EXPECT_EQ(copy->Count(), 1); // not resized: resizing would clear it
  EXPECT_EQ(form->ImageIndexById(&source, 3), -1);
  EXPECT_EQ(form->Frame->ImageIndexByName(&source, u"warnings"), 0);
  EXPECT_EQ(form->Frame->ImageIndexByName(nullptr, u"Warnings"), -1);
  EXPECT_EQ(form->Frame->ImageIndexById(&source, 0), -1);
  EXPECT_EQ(form->Frame->GetImageList(16, form.get()), nullptr);
}

TEST(BaseFrame, ImageListAndParentHooks) {
  TLogFrame *frame = TCustomFrame::Create<TLogFrame>(nullptr);
  std::unique_ptr<TLogFrame> owner(frame);
  EXPECT_EQ(frame->BoundsRect(), Bounds(0, 0, 320, 240));
  TImageList images(nullptr);
  frame->SetImageList(&images);
  frame->SetImageList(&images);
  EXPECT_EQ(frame->Seen, std::vector<String>{u"images"});
  auto form = test::NewForm();
  frame->SetParent(form.get());
  frame->SetParent(nullptr);
  EXPECT_EQ(frame->Seen, (std::vector<String>{u"images", u"images"}));
  EXPECT_EQ(frame->GetImageList(16, nullptr), &images);
}

TEST(Routines, SafeSetFocusAndSetupLabelFont) {
  auto form = NewLogForm();
  form->Show();
  form->Edit->Hide();
  SafeSetFocus(form->Edit); // cannot take the focus: nothing
  SafeSetFocus(nullptr);
  form->Edit->Show();
  SafeSetFocus(form->Edit);
  EXPECT_TRUE(form->Edit->Focused());
  form->Ok->Font().SetName(u"Courier");
  SetupLabelFont(form->Ok, clRed, {fsBold});
  EXPECT_TRUE(form->Ok->ParentFont() == false); // a colour set after ParentFont is its own font
  EXPECT_EQ(form->Ok->Font().Name(), form->Font().Name());
  EXPECT_EQ(form->Ok->Font().Color(), clRed);
  SetupLabelFont(form->Edit, clNone, {});
  EXPECT_EQ(form->Edit->Font().Color(), form->Font().Color());
}

} // namespace
} // namespace krx
