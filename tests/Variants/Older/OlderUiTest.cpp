// The older revision's base form, hint glyph and key-bindings images, and the PNG image list's
// image names, which only the Delphi 10.4 build of that revision answers.
#include "Controls/ControlsTestSupport.h"
#include "Controls/KRHintImages.h"
#include "Controls/KRX.Base.Form.h"
#include "Controls/KeyBindFrames.h"
#include "Platform/Vcl/StdCtrls.h"
#include "lib/PngImaging/Source/PngImageList.h"

#include <gtest/gtest.h>

namespace krx {
namespace {

TEST(OlderBaseForm, CtrlEnterDoesNotConfirmTheDialog) {
  std::unique_ptr<TBaseForm> form(TCustomForm::CreateNew<TBaseForm>(nullptr));
  form->SetBounds(0, 0, 300, 200);
  auto *edit = test::Add<TEdit>(form.get(), u"Edit", Bounds(8, 8, 100, 20));
  auto *ok = test::Add<TButton>(form.get(), u"OK", Bounds(200, 160, 80, 25));
  ok->SetDefault(true);
  ok->SetModalResult(mrOk);
  TScriptedModal script({[&](TCustomForm &f) {
    edit->SetFocus();
    PressKey(f, VK_RETURN, {ssCtrl});
  }});
  EXPECT_EQ(form->ShowModal(), mrCancel); // the key did nothing; the script's run ended
  EXPECT_FALSE(form->KeyPreview());
}

TEST(OlderHintImage, DrawsTheBuiltInGlyphUnlessAListAndAnIndexAreSet) {
  std::unique_ptr<TBaseForm> form(TCustomForm::CreateNew<TBaseForm>(nullptr));
  auto *list = new TImageList(form.get());
  list->SetName(u"Images");
  list->Add(u"Hint");
  auto *glyph = new TKRHintImage(form.get());
  glyph->SetParent(form.get());
  EXPECT_EQ(glyph->Images(), nullptr); // no parent is asked for images
  EXPECT_EQ(GetPropInfo(*glyph, u"ImageName"), nullptr);
  const struct {
    TCustomImageList *Images;
    Integer Index;
    const char16_t *Drawn;
  } rows[] = {
      {nullptr, -1, u"KRHintImage"},
      {list, -1, u"KRHintImage"},
      {nullptr, 0, u"KRHintImage"},
      {list, 0, u"Images"},
  };
  for (const auto &row : rows) {
    glyph->SetImages(row.Images);
    glyph->SetImageIndex(row.Index);
    TCanvas canvas;
    glyph->PaintTo(canvas);
    ASSERT_EQ(canvas.Ops().size(), 1u);
    EXPECT_EQ(canvas.Ops()[0].Text, row.Drawn) << row.Index;
  }
}

TEST(OlderKeyBindings, DuplicatesCarryTheWarningsImageOfTheFramesOwnPngList) {
  std::unique_ptr<TForm> form(TCustomForm::CreateNew<TForm>(nullptr));
  auto *frame = TCustomFrame::Create<TKRKeyBindingsFrame>(form.get());
  frame->SetParent(form.get());
  ASSERT_NE(frame->ImageList1, nullptr);
  EXPECT_EQ(frame->ListView->SmallImages(), frame->ImageList1);
  ASSERT_EQ(frame->ImageList1->Count(), 1);
  const TPngImageCollectionItem *warnings = frame->ImageList1->PngImages()->Items(0);
  EXPECT_EQ(warnings->Name(), u"Warnings");
  EXPECT_EQ(warnings->Background(), clWindow);
  EXPECT_EQ(warnings->PngImage()->Width(), 16);
  EXPECT_EQ(warnings->PngImage()->Pixel(8, 14).A, 255); // inside the drawn sign

  std::vector<std::unique_ptr<TMenuItem>> items;
  std::vector<TMenuItem *> pointers;
  for (const char16_t *shortcut : {u"Ctrl+R", u"", u"Ctrl+R"}) {
    items.push_back(std::make_unique<TMenuItem>(nullptr));
    items.back()->SetCaption(u"Command");
    items.back()->SetShortCut(TextToShortCut(shortcut));
    pointers.push_back(items.back().get());
  }
  frame->LoadBindings(pointers);
  const TListItems &rows = frame->ListView->Items();
  EXPECT_EQ(
      (std::vector<Integer>{rows[0]->ImageIndex(), rows[1]->ImageIndex(), rows[2]->ImageIndex()}),
      (std::vector<Integer>{0, -1, 0}));
}

// The build's choice of image names, as the unit start-up makes it, undone afterwards.
class TImageNamesGuard {
public:
  explicit TImageNamesGuard(bool Value) : FSaved(PngImageNamesInBuild()) {
    SetPngImageNamesInBuild(Value);
  }
  ~TImageNamesGuard() { SetPngImageNamesInBuild(FSaved); }
  TImageNamesGuard(const TImageNamesGuard &) = delete;
  TImageNamesGuard &operator=(const TImageNamesGuard &) = delete;

private:
  bool FSaved;
};

TEST(OlderPngImageList, OnlyTheDelphi104BuildAnswersImageNameQuestions) {
  EXPECT_TRUE(PngImageNamesInBuild()); // this program is linked as the Delphi 10.4 build
  const struct {
    bool Names; // the Delphi 10.4 build
    Integer Index;
    const char16_t *Name;
    bool AvailableWhenSwitchedOff;
  } rows[] = {{true, 1, u"Warnings", false}, {false, -1, u"", true}};
  for (const auto &row : rows) {
    TImageNamesGuard build(row.Names);
    TPngImageList list(nullptr);
    auto png = TPngImage::CreateBlank(COLOR_RGBALPHA, 8, 16, 16);
    for (const char16_t *name : {u"Hint", u"Warnings"})
      list.PngImages()->Items(list.AddPng(png.get()))->SetName(name);
    list.SetImageNameAvailable(false);
    EXPECT_EQ(list.GetIndexByName(u"warnings"), row.Index) << row.Names;
    EXPECT_EQ(list.GetNameByIndex(1), row.Name) << row.Names;
    EXPECT_EQ(list.IsImageNameAvailable(), row.AvailableWhenSwitchedOff) << row.Names;
    EXPECT_EQ(GetPropInfo(list, u"ImageNameAvailable") != nullptr, row.Names);
    EXPECT_EQ(list.FindIndexByName(u"warnings"), 1); // the list's own names, in every build
  }
}

} // namespace
} // namespace krx
