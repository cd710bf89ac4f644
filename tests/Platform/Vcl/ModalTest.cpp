#include "Platform/Vcl/FormDescription.h"
#include "Platform/Vcl/Forms.h"
#include "VclTestSupport.h"

#include <gtest/gtest.h>

namespace krx {
namespace {

using test::Add;
using test::NewForm;
using test::TTestButton;
using test::TTestEdit;

struct TDialogFixture : ::testing::Test {
  void SetUp() override {
    dialog = NewForm();
    dialog->SetCaption(u"Options");
    edit = Add<TTestEdit>(dialog.get(), u"Edit", Bounds(0, 0, 50, 20));
    ok = Add<TTestButton>(dialog.get(), u"OK", Bounds(0, 30, 50, 20));
    cancel = Add<TTestButton>(dialog.get(), u"Cancel", Bounds(60, 30, 50, 20));
    ok->Default = true;
    ok->ModalResult = mrOk;
    cancel->Cancel = true;
    cancel->ModalResult = mrCancel;
    dialog->OnClose = [this](TObject *, TCloseAction &) { ++closes; };
  }
  std::unique_ptr<TForm> dialog;
  TTestEdit *edit;
  TTestButton *ok, *cancel;
  int closes = 0;
};

TEST_F(TDialogFixture, EnterEscapeAndButtonsEndTheRunWithTheirResult) {
  using TStep = TScriptedModal::TStep;
  const struct {
    const char *Name;
    TStep Step;
    TModalResult Expected;
  } rows[] = {
      {"Enter", [](TCustomForm &f) { PressKey(f, VK_RETURN); }, mrOk},
      {"Escape", [](TCustomForm &f) { PressKey(f, VK_ESCAPE); }, mrCancel},
      {"Ctrl+Enter without the form's help", [](TCustomForm &f) { PressKey(f, VK_RETURN, {ssCtrl}); },
       mrCancel}, // not taken: the script runs out and the run is cancelled
      {"Click", [](TCustomForm &f) { ClickControl(FindControl(&f, u"OK")); }, mrOk},
      {"Typing", [](TCustomForm &f) {
         TypeText(f, u"abc");
         f.SetModalResult(mrYes);
       }, mrYes},
  };
  for (const auto &row : rows) {
    TScriptedModal script({row.Step});
    EXPECT_EQ(dialog->ShowModal(), row.Expected) << row.Name;
    EXPECT_FALSE(dialog->Visible());
    EXPECT_EQ(script.Captions(), std::vector<String>{u"Options"});
  }
  EXPECT_EQ(edit->Text(), u"abc");
  EXPECT_EQ(closes, 5);
}

TEST_F(TDialogFixture, CloseQueryAndCaNoneKeepTheRunGoing) {
  int asked = 0;
  dialog->OnCloseQuery = [&](TObject *, bool &canClose) { canClose = ++asked > 1; };
  dialog->OnClose = [&](TObject *, TCloseAction &action) {
    if (++closes == 1)
      action = caNone;
  };
  TScriptedModal script({[](TCustomForm &f) { PressKey(f, VK_RETURN); },
                         [](TCustomForm &f) { PressKey(f, VK_RETURN); },
                         [](TCustomForm &f) { PressKey(f, VK_ESCAPE); }});
  EXPECT_EQ(dialog->ShowModal(), mrCancel);
  EXPECT_EQ(asked, 3);
  EXPECT_EQ(closes, 2);
  EXPECT_EQ(script.Remaining(), 0u);
}

TEST_F(TDialogFixture, TheOtherFormsAreDisabledAndAVisibleFormIsRefused) {
  auto main = NewForm();
  main->Show();
  bool mainEnabled = true;
  auto nested = NewForm();
  nested->SetCaption(u"Nested");
  TScriptedModal script({[&](TCustomForm &) {
                           mainEnabled = main->Enabled();
                           EXPECT_THROW(dialog->ShowModal(), EInvalidOperation);
                           EXPECT_EQ(nested->ShowModal(), mrIgnore);
                         },
                         [](TCustomForm &f) { f.SetModalResult(mrIgnore); },
                         [](TCustomForm &f) { f.SetModalResult(mrOk); }});
  EXPECT_EQ(dialog->ShowModal(), mrOk);
  EXPECT_FALSE(mainEnabled);
  EXPECT_TRUE(main->Enabled());
  EXPECT_EQ(script.Captions(), (std::vector<String>{u"Options", u"Nested", u"Options"}));
}

// The form is hidden as the run ends: a failure there reaches the caller (it does not end the
// process), and the other forms are enabled again.
TEST_F(TDialogFixture, AFailureWhileTheRunEndsReachesTheCallerAndTheOtherFormsComeBack) {
  auto main = NewForm();
  main->Show();
  dialog->OnHide = [](TObject *) { throw Exception(u"hide failed"); };
  TScriptedModal script({[](TCustomForm &f) { f.SetModalResult(mrOk); }});
  EXPECT_THROW(dialog->ShowModal(), Exception);
  EXPECT_TRUE(main->Enabled());
}

TEST_F(TDialogFixture, ARunThatNobodyEndsIsCancelledEvenWhenCloseIsRefused) {
  dialog->OnCloseQuery = [](TObject *, bool &canClose) { canClose = false; };
  TScriptedModal script({});
  EXPECT_EQ(dialog->ShowModal(), mrCancel);
  // The headless default presses Escape: the cancel button ends the run.
  dialog->OnCloseQuery = nullptr;
  TModalService *scripted = SetModalService(nullptr);
  EXPECT_EQ(dialog->ShowModal(), mrCancel);
  SetModalService(scripted);
}

class TDescribedForm : public TForm {
public:
  using TForm::TForm;
  String Description() const override {
    return uR"(object Described: TDescribedForm
  Caption = 'It''s '#8364
  Width = 500
  Height = 300
  KeyPreview = True
  Position = poScreenCenter
  Font.Style = [fsBold, fsItalic]
  Menu = MainMenu1
  ActiveControl = Inner
  object Panel1: TWinControl
    Align = alTop
    Height = 40
    object Inner: TWinControl
      Left = -4
      TabStop = True
    end
  end
  object MainMenu1: TMainMenu
    Images = Images
    object FileItem: TMenuItem
      Caption = '&File'
      object OpenItem: TMenuItem
        Action = OpenAction
      end
    end
  end
  object Actions: TActionList
    object OpenAction: TAction
      Caption = 'Open'
      ShortCut = 16463
    end
  end
  object Images: TImageList
  end
end)";
  }
  void Loaded() override {
    TForm::Loaded();
    loadedWhileLoading = ComponentState().Contains(csLoading);
    ++loads;
  }
  bool loadedWhileLoading = true;
  int loads = 0;
};

TEST(FormDescriptions, BuildTheComponentsWithPropertiesAndReferences) {
  RegisterComponentClass<TWinControl>(u"TWinControl");
  std::unique_ptr<TDescribedForm> form(TCustomForm::Create<TDescribedForm>(nullptr));
  EXPECT_EQ(form->Name(), u"Described");
  EXPECT_EQ(form->Caption(), u"It's \u20AC");
  EXPECT_EQ(form->Position(), poScreenCenter);
  EXPECT_EQ(form->Font().Style(), (TFontStyles{fsBold, fsItalic}));
  auto *panel = FindControl(form.get(), u"Panel1");
  EXPECT_EQ(panel->BoundsRect(), Rect(0, 0, 500, 40)); // aligned once loading ended
  EXPECT_EQ(form->ActiveControl(), FindControl(form.get(), u"Inner"));
  ASSERT_NE(form->Menu(), nullptr);
  auto *open = form->Menu()->Items()->Find(u"File")->Find(u"Open");
  ASSERT_NE(open, nullptr);
  EXPECT_EQ(ShortCutToText(open->ShortCut()), u"Ctrl+O");
  EXPECT_EQ(form->Menu()->Images()->Name(), u"Images");
  EXPECT_FALSE(form->loadedWhileLoading);
  EXPECT_EQ(form->loads, 1);
  UnregisterComponentClass(u"TWinControl");
}

TEST(FormDescriptions, MalformedTextsNameTheirLine) {
  const struct {
    const char16_t *Text;
    const char16_t *Message;
  } rows[] = {
      {u"object F: TForm\n  Width = 'x'\nend", u"Line 2: Integer expected for Width"},
      {u"object F: TForm\n\n  Nothing = 1\nend", u"Line 3: Property Nothing does not exist"},
      {u"object F: TForm\n  object X: TNoSuchClass\n  end\nend", u"Line 2: Class TNoSuchClass not found"},
      {u"object F: TForm\n  Caption = 'open\nend", u"Line 2: Unterminated string"},
      {u"object F: TForm\n  Menu = Missing\nend", u"Line 2: Invalid property value: Missing"},
      {u"object F: TForm\n  Align = alSideways\nend", u"Line 2: Error reading Align: Invalid property element: alSideways"},
      {u"object F: TForm\n", u"Line 2: 'end' expected"},
  };
  for (const auto &row : rows) {
    auto form = NewForm();
    try {
      ReadComponentDescription(form.get(), row.Text);
      ADD_FAILURE() << StringToUtf8(row.Text);
    } catch (const EReadError &e) {
      EXPECT_EQ(e.Message(), row.Message);
    }
    EXPECT_FALSE(form->ComponentState().Contains(csLoading));
  }
}

} // namespace
} // namespace krx
