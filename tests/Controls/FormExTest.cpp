#include "Controls/FormEx.h"
#include "ControlsTestSupport.h"
#include "Platform/Vcl/StdCtrls.h"
#include "support/KrxTest.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace krx {
namespace {

std::unique_ptr<TFormEx> NewFormEx() {
  return std::unique_ptr<TFormEx>(TCustomForm::Create<TFormEx>(nullptr));
}

TEST(FormEx, PopupModeIsAutomaticAndEmbeddedFormsDrawTheirParentsBackground) {
  auto host = test::NewForm();
  TFormEx *form = TCustomForm::Create<TFormEx>(nullptr); // freed by its parent
  EXPECT_EQ(form->PopupMode(), pmAuto);
  form->SetParent(host.get());
  form->Show();
  EXPECT_TRUE(form->ParentBackground());
}

TEST(FormEx, TheActiveControlsTextIsSelectedAgainFromTheSecondShowOn) {
  enum TKind { kEdit, kEditNoAutoSelect, kCombo, kDropDownList };
  const struct {
    TKind Kind;
    Integer Expected; // selection length after the second show
  } rows[] = {{kEdit, 5}, {kEditNoAutoSelect, 0}, {kCombo, 5}, {kDropDownList, 0}};
  for (const auto &row : rows) {
    auto form = NewFormEx();
    TWinControl *control;
    std::function<Integer()> selLength;
    if (row.Kind == kEdit || row.Kind == kEditNoAutoSelect) {
      auto *edit = test::Add<TEdit>(form.get(), u"Edit", Bounds(0, 0, 50, 20));
      edit->SetAutoSelect(row.Kind == kEdit);
      selLength = [edit] { return edit->SelLength(); };
      control = edit;
    } else {
      auto *combo = test::Add<TComboBox>(form.get(), u"Combo", Bounds(0, 0, 50, 20));
      combo->SetStyle(row.Kind == kCombo ? csDropDown : csDropDownList);
      selLength = [combo] { return combo->SelLength(); };
      control = combo;
    }
    control->SetText(u"hello");
    form->SetActiveControl(control);
    form->Show();
    EXPECT_EQ(selLength(), 0) << row.Kind; // the first show leaves the selection alone
    form->Hide();
    form->Show();
    EXPECT_EQ(selLength(), row.Expected) << row.Kind;
  }
}

TEST(FormEx, ShortcutsOfOwnedFramesAreFoundAndThoseOfOwnedFormsAreNot) {
  auto form = NewFormEx();
  int ran = 0;
  const auto addAction = [&](TComponent *owner, const char16_t *shortcut) {
    auto *list = new TActionList(owner);
    auto *action = new TAction(owner);
    action->SetActionList(list);
    action->SetShortCut(TextToShortCut(shortcut));
    action->OnExecute = [&](TObject *) { ++ran; };
  };
  auto *frame = TCustomFrame::Create<TFrame>(form.get());
  addAction(frame, u"Ctrl+F");
  auto *owned = TCustomForm::CreateNew<TForm>(form.get());
  addAction(owned, u"Ctrl+G");
  TWMKey ctrlF{WM_KEYDOWN, 'F', {ssCtrl}, 0}, ctrlG{WM_KEYDOWN, 'G', {ssCtrl}, 0};
  EXPECT_TRUE(form->IsShortCut(ctrlF));
  EXPECT_FALSE(form->IsShortCut(ctrlG));
  EXPECT_TRUE(owned->IsShortCut(ctrlG)); // the class library's own search does descend
  EXPECT_EQ(ran, 2);
  // The main menu answers only once its window exists; OnShortCut answers before anything.
  auto *menu = new TMainMenu(form.get());
  auto *item = new TMenuItem(menu);
  item->SetShortCut(TextToShortCut(u"Ctrl+M"));
  item->OnClick = [&](TObject *) { ran += 10; };
  menu->Items()->Add(item);
  form->SetMenu(menu);
  TWMKey ctrlM{WM_KEYDOWN, 'M', {ssCtrl}, 0};
  EXPECT_FALSE(form->IsShortCut(ctrlM));
  menu->SetWindowHandle(reinterpret_cast<HWND>(1));
  EXPECT_TRUE(form->IsShortCut(ctrlM));
  form->OnShortCut = [](TWMKey &m, bool &handled) { handled = m.CharCode != 'G'; };
  EXPECT_TRUE(form->IsShortCut(ctrlF));
  EXPECT_TRUE(form->IsShortCut(ctrlM));
  EXPECT_EQ(ran, 12);
}

} // namespace
} // namespace krx

namespace krx {
namespace {

std::string RunFormDump(const std::string &args, int &status) {
  return test::RunCommand(std::string(KRX_BINARY_DIR) + "/tools/krx-formdump " + args + " 2>&1",
                          status);
}

TEST(FormDump, PrintsTheScaledTreeAndTheEventsInOrder) {
  int status = -1;
  const std::string out = RunFormDump("--dpi 192", status);
  EXPECT_EQ(status, 0) << out;
  // The dialog doubled in size, its buttons still anchored to the bottom right.
  EXPECT_NE(out.find("\"name\":\"SampleDialog\",\"class\":\"TSampleDialog\",\"bounds\":[200,150,840,480]"),
            std::string::npos) << out;
  EXPECT_NE(out.find("\"name\":\"Cancel\",\"class\":\"TWinControl\",\"bounds\":[656,16,150,50]"),
            std::string::npos) << out;
  const auto before = out.find("form: before DPI change 96 -> 192");
  const auto scaled = out.find("frame: scale changed");
  const auto after = out.find("form: after DPI change 96 -> 192");
  EXPECT_TRUE(before < scaled && scaled < after && after != std::string::npos) << out;
  RunFormDump("--dpi x", status);
  EXPECT_EQ(WEXITSTATUS(status), 2);
}

} // namespace
} // namespace krx
