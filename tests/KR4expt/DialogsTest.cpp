#include "KR4expt/D4ImportUnitsFrm.h"
#include "KR4expt/KRExptOptsFrm.h"

#include "Platform/Vcl/Forms.h"

#include <gtest/gtest.h>

#include <memory>

namespace krx {
namespace {

TEST(OptionsDialog, AShortcutTypedOnTheBindingsPageGoesToItsMenuItem) {
  TMenuItem refresh(nullptr), jump(nullptr);
  refresh.SetCaption(u"&Refresh");
  jump.SetCaption(u"&Jump");
  jump.SetShortCut(TextToShortCut(u"Ctrl+J"));
  const std::vector<TMenuItem *> items{&refresh, &jump};
  std::unique_ptr<TKRIDEExpertOptionsForm> form(
      TCustomForm::Create<TKRIDEExpertOptionsForm>(nullptr));
  form->LoadKeyBindings(items);
  TScriptedModal modal({[](TCustomForm &f) {
    auto *pages = dynamic_cast<TPageControl *>(FindControl(&f, u"PageControl"));
    pages->SetActivePage(dynamic_cast<TTabSheet *>(FindControl(&f, u"BindingsSheet")));
    dynamic_cast<TWinControl *>(FindControl(&f, u"ListView"))->SetFocus();
    PressKey(f, u'K', {ssCtrl}); // the first command is focused after loading
    ClickControl(FindControl(&f, u"OKBtn"));
  }});
  ASSERT_TRUE(form->Execute());
  form->StoreKeyBindings(items);
  EXPECT_EQ(ShortCutToText(refresh.ShortCut()), u"Ctrl+K");
  EXPECT_EQ(ShortCutToText(jump.ShortCut()), u"Ctrl+J");
}

TEST(OptionsDialog, ShowsTheSettingsAndHandsBackWhatTheUserChose) {
  for (bool ok : {true, false}) {
    std::unique_ptr<TKRIDEExpertOptionsForm> form(
        TCustomForm::Create<TKRIDEExpertOptionsForm>(nullptr));
    form->SetAutoRefresh(true);
    form->SetLockOnRun(false);
    form->SetMenuAsToolsSubMenu(false);
    form->SetForegroundMode(2);
    TScriptedModal modal({[&](TCustomForm &f) {
      EXPECT_EQ(dynamic_cast<TPageControl *>(FindControl(&f, u"PageControl"))->ActivePage(),
                FindControl(&f, u"GeneralSheet"));
      ClickControl(FindControl(&f, u"AutoRefreshBox"));
      ClickControl(FindControl(&f, u"LockOnRunBox"));
      dynamic_cast<TRadioGroup *>(FindControl(&f, u"MenuPosGroup"))->Buttons(1)->Click();
      dynamic_cast<TComboBox *>(FindControl(&f, u"ForeGroundModeCombo"))->SelectItem(1);
      ClickControl(FindControl(&f, ok ? u"OKBtn" : u"CancelBtn"));
    }});
    EXPECT_EQ(form->Execute(), ok);
    EXPECT_FALSE(form->GetAutoRefresh());
    EXPECT_TRUE(form->GetLockOnRun());
    EXPECT_TRUE(form->GetMenuAsToolsSubMenu());
    EXPECT_EQ(form->GetForegroundMode(), 1);
  }
}

// Each foreground mode under the name the user picks it by.
TEST(OptionsDialog, TheForegroundModesCarryTheirNames) {
  std::unique_ptr<TKRIDEExpertOptionsForm> form(
      TCustomForm::Create<TKRIDEExpertOptionsForm>(nullptr));
  const Char *const names[] = {u"Simulate click", u"Plain", u"Attach thread"};
  for (Integer mode = 0; mode < 3; ++mode) {
    form->SetForegroundMode(mode);
    const TComboBox *combo = form->ForeGroundModeCombo;
    EXPECT_EQ(combo->Items().Strings(combo->ItemIndex()), names[mode]);
  }
}

TEST(OptionsDialog, EachHintGlyphSitsRightOfTheControlItExplains) {
  std::unique_ptr<TKRIDEExpertOptionsForm> form(
      TCustomForm::Create<TKRIDEExpertOptionsForm>(nullptr));
  for (TKRHintImage *hint :
       {form->AutoRefreshHint, form->LockOnRunHint, form->ForeGroundModeHint}) {
    const TControl *ref = hint->RefControl();
    EXPECT_EQ(hint->Left(), ref->BoundsRect().Right + ref->Margins().Right + hint->Margins().Left)
        << StringToUtf8(hint->Name());
    EXPECT_LE(hint->BoundsRect().Right, hint->Parent()->ClientWidth());
  }
}

const String kProjectText = u"project=Demo\r\nFILE=/src/Main.pas\r\nfile=/src/unit2.PAS\r\n"
                            u"file=/src/Other.cs\r\nfile=/SRC/"
                            u"MAIN.pas\r\nnoise\r\nPROJECT=Second\r\nfile=/src/Last.pas";

TEST(ImportDialog, OffersTheProjectsFilesOfItsLanguageWithoutDuplicates) {
  TKRBatchCommand command;
  command.CreateNewModel = true;
  TScriptedModal modal({[](TCustomForm &f) {
    auto *list = dynamic_cast<TListView *>(FindControl(&f, u"ListView"));
    auto *imports = dynamic_cast<TListBox *>(FindControl(&f, u"ImportList"));
    ASSERT_EQ(list->Items().Count(), 6); // two projects, four Pascal files
    EXPECT_FALSE(FindControl(&f, u"OKBtn")->Enabled());
    list->ClickItem(0); // a project row adds nothing
    ClickControl(FindControl(&f, u"InsertBtn"));
    EXPECT_EQ(imports->Items().Count(), 0);
    list->ClickItem(1);
    ClickControl(FindControl(&f, u"InsertBtn"));
    ClickControl(FindControl(&f, u"InsertBtn"));
    ClickControl(FindControl(&f, u"InsertAllBtn"));
    // "/SRC/MAIN.pas" is a file of its own beside "/src/Main.pas".
    EXPECT_EQ(imports->Items().Count(), 4);
    // Delete in the import list removes the selected entries.
    imports->SetFocus();
    imports->ClickItem(1);
    imports->ClickItem(2, {ssCtrl});
    imports->ClickItem(3, {ssCtrl});
    PressKey(f, VK_DELETE);
    EXPECT_EQ(imports->Items().Count(), 1);
    ClickControl(FindControl(&f, u"NewModelBox"));
    ClickControl(FindControl(&f, u"OKBtn"));
  }});
  ASSERT_TRUE(ImportUnitsDialog(kProjectText, command, lanPascal));
  EXPECT_EQ(command.Project, u"Demo");
  EXPECT_FALSE(command.CreateNewModel);
  ASSERT_EQ(command.FileCount(), 1);
  EXPECT_EQ(command.Files(0), u"/src/Main.pas");
}

TEST(ImportDialog, DragsBetweenTheListsAndReopensWhereItWasClosed) {
  TKRBatchCommand command;
  TRect second;
  TScriptedModal modal({[](TCustomForm &f) {
                          auto *list = dynamic_cast<TListView *>(FindControl(&f, u"ListView"));
                          auto *imports = FindControl(&f, u"ImportList");
                          list->ClickItem(1);
                          EXPECT_FALSE(DragAndDrop(list, list));
                          EXPECT_TRUE(DragAndDrop(list, imports));
                          f.SetBounds(30, 40, 600, 420);
                          ClickControl(FindControl(&f, u"CancelBtn"));
                        },
                        [&](TCustomForm &f) {
                          second = f.BoundsRect();
                          // The two lists share the panel's width, with the gap between them.
                          auto *list = FindControl(&f, u"ListView");
                          auto *imports = FindControl(&f, u"ImportList");
                          EXPECT_EQ(list->Width(), imports->Width());
                          EXPECT_EQ(imports->Left() - (list->Left() + list->Width()), 64);
                          EXPECT_EQ(FindControl(&f, u"ImportLabel")->Left(), imports->Left());
                          EXPECT_EQ(FindControl(&f, u"Panel")->Left(), 8); // the border
                          f.SetBounds(0, 0, 100, 500);
                          EXPECT_EQ(f.Width(), 300);
                          PressKey(f, VK_ESCAPE);
                        }});
  EXPECT_FALSE(ImportUnitsDialog(kProjectText, command, lanPascal));
  EXPECT_FALSE(ImportUnitsDialog(kProjectText, command, lanPascal));
  EXPECT_EQ(second, Rect(30, 40, 630, 460));
  EXPECT_EQ(command.FileCount(), 0);
}

} // namespace
} // namespace krx
