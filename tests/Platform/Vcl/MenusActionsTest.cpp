#include "Platform/Vcl/ActnList.h"
#include "Platform/Vcl/ExtCtrls.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/ImgList.h"
#include "Platform/Vcl/Menus.h"
#include "Platform/Vcl/Themes.h"
#include "VclTestSupport.h"

#include <gtest/gtest.h>

namespace krx {
namespace {

using test::NewForm;

// Every key of the class library's table, with every combination of shift keys, reads back
// from its text; the keypad digits share the names of the digit keys and read back as those.
TEST(ShortCuts, TextsRoundTripOverEveryKeyOfTheTable) {
  int named = 0;
  for (Word key = 0; key <= 0xFF; ++key) {
    for (Integer shift : {0, +scShift, +scCtrl, +scAlt, scShift | scCtrl | scAlt}) {
      const TShortCut sc = static_cast<TShortCut>(key | shift);
      const String text = ShortCutToText(sc);
      if (text.empty())
        continue;
      ++named;
      const TShortCut back = TextToShortCut(text);
      const bool keypad = key >= 0x60 && key <= 0x69;
      EXPECT_EQ(back, keypad ? static_cast<TShortCut>((key - 0x30) | shift) : sc)
          << StringToUtf8(text);
    }
  }
  EXPECT_EQ(named, (15 + 10 + 26 + 10 + 24 + 6 + 11 + 6) * 5);
}

TEST(ShortCuts, KnownTextsBothWays) {
  const struct {
    TShortCut ShortCut;
    const char16_t *Text;
  } rows[] = {
      {static_cast<TShortCut>('M' | scShift | scCtrl | scAlt), u"Shift+Ctrl+Alt+M"},
      {static_cast<TShortCut>(VK_RETURN | scCtrl), u"Ctrl+Enter"},
      {static_cast<TShortCut>(VK_DELETE), u"Del"},
      {static_cast<TShortCut>(0x87 | scAlt), u"Alt+F24"},
      {static_cast<TShortCut>(VK_PRIOR), u"PgUp"},
      {static_cast<TShortCut>(0x6F | scShift | scAlt), u"Shift+Alt+Num /"},
  };
  for (const auto &row : rows) {
    EXPECT_EQ(ShortCutToText(row.ShortCut), row.Text);
    EXPECT_EQ(TextToShortCut(row.Text), row.ShortCut);
  }
  // The names the IDE stores for the punctuation keys (a US keyboard's), the keypad's own, and
  // the pause, lock, print and application keys.
  const std::pair<Byte, const char16_t *> keys[] = {
      {0x0C, u"Num 5"},       {0x6A, u"Num *"},    {0x6B, u"Num +"},      {0x6D, u"Num -"},
      {0x6E, u"Num Del"},     {0x6F, u"Num /"},    {0xBA, u";"},          {0xBB, u"="},
      {0xBC, u","},           {0xBD, u"-"},        {0xBE, u"."},          {0xBF, u"/"},
      {0xC0, u"`"},           {0xDB, u"["},        {0xDC, u"\\"},         {0xDD, u"]"},
      {0xDE, u"'"},           {0x13, u"Pause"},    {0x14, u"Caps Lock"},  {0x2C, u"Prnt Scrn"},
      {0x5D, u"Application"}, {0x90, u"Num Lock"}, {0x91, u"Scroll Lock"}};
  for (const auto &[key, name] : keys)
    EXPECT_EQ(ShortCutToText(static_cast<TShortCut>(key | scCtrl)), u"Ctrl+" + String(name));
  EXPECT_EQ(TextToShortCut(u"^a"), static_cast<TShortCut>('A' | scCtrl));
  EXPECT_EQ(TextToShortCut(u"ctrl+shift+f5"), static_cast<TShortCut>(0x74 | scCtrl | scShift));
  EXPECT_EQ(TextToShortCut(u"Ctrl+"), 0);
  EXPECT_EQ(TextToShortCut(u"Ctrl+Nothing"), 0);
  EXPECT_EQ(ShortCutToText(0x5B), u""); // a key without a name
}

struct TActionFixture : ::testing::Test {
  void SetUp() override {
    form = NewForm();
    list = new TActionList(form.get());
    action = new TAction(form.get());
    action->SetActionList(list);
    action->SetCaption(u"&Jump");
    action->SetShortCut(TextToShortCut(u"Ctrl+J"));
    action->OnExecute = [this](TObject *) { ++executed; };
  }
  std::unique_ptr<TForm> form;
  TActionList *list;
  TAction *action;
  int executed = 0;
};

TEST_F(TActionFixture, MenuItemsFollowTheirActionAndRunIt) {
  auto *menu = new TMainMenu(form.get());
  auto *item = new TMenuItem(form.get());
  menu->Items()->Add(item);
  item->SetAction(action);
  EXPECT_EQ(item->Caption(), u"&Jump");
  action->SetEnabled(false);
  EXPECT_FALSE(item->Enabled());
  action->SetEnabled(true);
  item->Click();
  EXPECT_EQ(executed, 1);
  EXPECT_EQ(menu->Items()->Find(u"jump"), item);
  delete action; // the item forgets it
  EXPECT_EQ(item->Action(), nullptr);
  EXPECT_EQ(list->ActionCount(), 0);
}

TEST_F(TActionFixture, ClientsFollowAPropertyOnlyWhileTheyStillShowTheActionsValue) {
  auto *item = new TMenuItem(form.get());
  auto *button = test::Add<TWinControl>(form.get(), u"Button", Bounds(0, 0, 10, 10));
  item->SetAction(action);
  button->SetAction(action);
  // A key binding of the item's own and a caption of the button's own survive every change.
  item->SetShortCut(TextToShortCut(u"Ctrl+Alt+K"));
  button->SetCaption(u"Mine");
  action->SetEnabled(false);
  action->SetShortCut(TextToShortCut(u"Ctrl+L"));
  action->SetCaption(u"&Leap");
  EXPECT_EQ(ShortCutToText(item->ShortCut()), u"Ctrl+Alt+K");
  EXPECT_EQ(button->Caption(), u"Mine");
  EXPECT_EQ(item->Caption(), u"&Leap");
  EXPECT_FALSE(item->Enabled());
  EXPECT_FALSE(button->Enabled());
  // Taking the action anew takes all it has.
  item->SetAction(nullptr);
  item->SetAction(action);
  EXPECT_EQ(ShortCutToText(item->ShortCut()), u"Ctrl+L");
}

TEST_F(TActionFixture, ShortcutsReachActionListsOwnedByTheFormAtAnyDepth) {
  TWMKey key{WM_KEYDOWN, 'J', {ssCtrl}, 0};
  EXPECT_TRUE(form->IsShortCut(key));
  action->OnUpdate = [this](TObject *) { action->SetEnabled(false); };
  EXPECT_FALSE(form->IsShortCut(key)); // updated, disabled: not executed
  EXPECT_EQ(executed, 1);
  // An action list owned by a component of the form is found too.
  auto owner = NewForm();
  auto *holder = new TComponent(owner.get());
  auto *inner = new TActionList(holder);
  auto *act = new TAction(holder);
  act->SetActionList(inner);
  act->SetShortCut(TextToShortCut(u"F7"));
  int ran = 0;
  act->OnExecute = [&](TObject *) { ++ran; };
  TWMKey f7{WM_KEYDOWN, 0x76, {}, 0};
  EXPECT_TRUE(owner->IsShortCut(f7));
  EXPECT_EQ(ran, 1);
}

TEST_F(TActionFixture, TheKeyboardPathTriesShortcutsBeforeTheControl) {
  auto *edit = test::Add<test::TTestEdit>(form.get(), u"Edit", Bounds(0, 0, 10, 10));
  int keys = 0;
  edit->OnKeyDown = [&](TObject *, Word &, TShiftState) { ++keys; };
  form->Show();
  PressKey(*form, 'J', {ssCtrl});
  PressKey(*form, 'K', {ssCtrl});
  EXPECT_EQ(executed, 1);
  EXPECT_EQ(keys, 1);
  // An exception from the action reaches the application's handler.
  std::vector<String> errors;
  Application->OnException = [&](TObject *, const Exception &e) { errors.push_back(e.Message()); };
  action->OnExecute = [](TObject *) { throw Exception(u"broken"); };
  PressKey(*form, 'J', {ssCtrl});
  Application->OnException = nullptr;
  EXPECT_EQ(errors, std::vector<String>{u"broken"});
}

// Automatic hot keys take the first free letter or digit of each caption, keep the ones
// given, skip separators, hidden items and "&&", and leave the entries of a manual menu alone.
TEST(MenuHotkeys, EachChildGetsAFreeLetterOrDigitOnlyWhereAutomatic) {
  TMainMenu menu(nullptr);
  menu.SetAutoHotkeys(maManual);
  auto add = [](TMenuItem *parent, const char16_t *caption) {
    auto *item = new TMenuItem(nullptr);
    item->SetCaption(caption);
    parent->Add(item);
    return item;
  };
  TMenuItem *top = add(menu.Items(), u"Kestrune");
  add(menu.Items(), u"Tools");
  const char16_t *captions[] = {u"Run", u"Re&fresh", u"-", u"R&&D 2",
                                u"Rr",  u"Rx",       u"!", u"Hidden"};
  for (const char16_t *c : captions)
    add(top, c);
  top->Items(7)->SetVisible(false);
  EXPECT_FALSE(menu.RethinkHotkeys());
  top->SetAutoHotkeys(maAutomatic);
  EXPECT_TRUE(menu.RethinkHotkeys());
  std::vector<String> got;
  for (Integer i = 0; i < top->Count(); ++i)
    got.push_back(top->Items(i)->Caption());
  EXPECT_EQ(got, (std::vector<String>{u"&Run", u"Re&fresh", u"-", u"R&&&D 2", u"Rr", u"R&x", u"!",
                                      u"Hidden"}));
  EXPECT_EQ(menu.Items()->Items(0)->Caption(), u"Kestrune");
  EXPECT_FALSE(menu.RethinkHotkeys());
}

TEST(ImageLists, ResizingClearsChangeLinksHearAndNamesAreFound) {
  TImageList list(nullptr);
  TChangeLink link;
  int changes = 0;
  link.OnChange = [&](TObject *) { ++changes; };
  list.RegisterChanges(&link);
  list.Add(u"Warnings");
  list.Add(u"Errors");
  EXPECT_EQ(list.GetIndexByName(u"errors"), 1);
  EXPECT_EQ(list.GetIndexByName(u"none"), -1);
  std::unique_ptr<TCustomImageList> copy(list.NewInstance(nullptr));
  copy->Assign(list);
  EXPECT_NE(dynamic_cast<TImageList *>(copy.get()), nullptr);
  EXPECT_EQ(copy->Count(), 2);
  list.SetSize(24, 24);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(changes, 3);
  {
    TImageList shortLived(nullptr);
    shortLived.RegisterChanges(&link); // moves the link
  }
  EXPECT_EQ(link.Sender(), nullptr);
}

TEST(Styles, TheManagerSwitchesBetweenRegisteredStyles) {
  EXPECT_FALSE(TStyleManager::IsCustomStyleActive());
  auto *dark = TStyleManager::RegisterStyle(std::make_unique<TCustomStyleServices>(u"Dark", true));
  dark->SetSystemColor(clBtnFace, 0x202020);
  EXPECT_THROW(TStyleManager::RegisterStyle(std::make_unique<TCustomStyleServices>(u"dark", true)),
               EStyleEngineException);
  TStyleManager::SetStyle(u"Dark");
  EXPECT_TRUE(TStyleManager::IsCustomStyleActive());
  EXPECT_EQ(StyleServices()->GetSystemColor(clBtnFace), 0x202020);
  EXPECT_EQ(StyleServices()->GetSystemColor(clWindow), clWindow);
  TStyleManager::SetStyle(u"Windows");
  TStyleManager::UnregisterStyle(dark);
  EXPECT_EQ(TStyleManager::StyleNames(), std::vector<String>{u"Windows"});
}

TEST(Timers, FireFromTheMessageLoopWhileEnabled) {
  TTimer timer(nullptr);
  timer.SetInterval(10);
  int fired = 0;
  timer.OnTimer = [&](TObject *) {
    if (++fired == 2)
      timer.SetEnabled(false);
  };
  for (int i = 0; i < 400 && timer.Enabled(); ++i)
    Application->HandleMessage();
  EXPECT_EQ(fired, 2);
  EXPECT_EQ(timer.TimerId(), 0u);
}

TEST(Monitors, FormsBelongToTheMonitorThatHoldsMostOfThem) {
  Screen->SetMonitors({{Rect(0, 0, 1920, 1080), Rect(0, 0, 1920, 1040), 96},
                       {Rect(1920, 0, 3840, 1440), Rect(1920, 0, 3840, 1400), 144}});
  EXPECT_EQ(Screen->MonitorFromRect(Bounds(1800, 10, 400, 300))->MonitorNum(), 1);
  EXPECT_EQ(Screen->MonitorFromRect(Bounds(5000, 10, 10, 10))->MonitorNum(), 1); // nearest
  EXPECT_EQ(Screen->MonitorFromRect(Bounds(5000, 10, 10, 10), mdNull), nullptr);
  EXPECT_EQ(Screen->DesktopRect(), Rect(0, 0, 3840, 1440));
  EXPECT_EQ(Screen->PixelsPerInch(), 96);
  auto form = NewForm();
  form->SetBounds(2000, 100, 400, 300);
  Screen->SetMonitorPixelsPerInch(1, 192);
  EXPECT_EQ(form->CurrentPPI(), 192);
  EXPECT_EQ(form->Width(), 800);
  Screen->SetMonitors({{Rect(0, 0, 1920, 1080), Rect(0, 0, 1920, 1040), 96}});
}

} // namespace
} // namespace krx
