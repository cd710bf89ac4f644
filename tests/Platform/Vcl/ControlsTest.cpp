#include "Platform/Vcl/Controls.h"
#include "Platform/Vcl/Forms.h"
#include "VclTestSupport.h"

#include <gtest/gtest.h>

#include <new>

namespace krx {
namespace {

using test::Add;
using test::NewForm;
using test::TTestButton;
using test::TTestEdit;

struct TBoundsRow {
  const char *Name;
  TRect Expected;
};

TEST(Alignment, EdgesFirstThenClientThenAnchorsFollowTheParent) {
  auto form = NewForm();
  form->SetBounds(0, 0, 400, 300);
  auto *top = Add<TWinControl>(form.get(), u"Top", Bounds(0, 0, 10, 50));
  auto *bottom = Add<TWinControl>(form.get(), u"Bottom", Bounds(0, 0, 10, 30));
  auto *left = Add<TWinControl>(form.get(), u"Left", Bounds(0, 0, 80, 10));
  auto *right = Add<TWinControl>(form.get(), u"Right", Bounds(0, 0, 60, 10));
  auto *client = Add<TWinControl>(form.get(), u"Client", Bounds(0, 0, 1, 1));
  auto *corner = Add<TWinControl>(form.get(), u"Corner", Bounds(300, 250, 90, 40));
  auto *stretch = Add<TWinControl>(form.get(), u"Stretch", Bounds(10, 10, 380, 20));
  corner->SetAnchors({akRight, akBottom});
  stretch->SetAnchors({akLeft, akTop, akRight});
  client->SetAlign(alClient);
  right->SetAlign(alRight);
  left->SetAlign(alLeft);
  bottom->SetAlign(alBottom);
  top->SetAlign(alTop);

  form->SetBounds(0, 0, 500, 400);
  const TBoundsRow rows[] = {
      {"Top", Rect(0, 0, 500, 50)},          {"Bottom", Rect(0, 370, 500, 400)},
      {"Left", Rect(0, 50, 80, 370)},        {"Right", Rect(440, 50, 500, 370)},
      {"Client", Rect(80, 50, 440, 370)},    {"Corner", Rect(400, 350, 490, 390)},
      {"Stretch", Rect(10, 10, 490, 30)},
  };
  for (const auto &row : rows)
    EXPECT_EQ(FindControl(form.get(), Utf8ToString(row.Name))->BoundsRect(), row.Expected)
        << row.Name;
  // Anchors apply from the origin: resizing back gives the first bounds exactly.
  form->SetBounds(0, 0, 400, 300);
  EXPECT_EQ(corner->BoundsRect(), Bounds(300, 250, 90, 40));
  // A hidden aligned control gives its place to the others.
  top->Hide();
  EXPECT_EQ(left->BoundsRect(), Rect(0, 0, 80, 270));
}

TEST(Alignment, DisabledAlignmentIsRememberedUntilTheLastEnable) {
  auto form = NewForm();
  auto *panel = Add<TWinControl>(form.get(), u"Panel", Bounds(0, 0, 10, 10));
  form->DisableAlign();
  form->DisableAlign();
  panel->SetAlign(alClient);
  EXPECT_TRUE(form->ControlState().Contains(csAlignmentNeeded));
  form->EnableAlign();
  EXPECT_EQ(panel->Width(), 10);
  form->EnableAlign();
  EXPECT_EQ(panel->BoundsRect(), form->ClientRect());
  EXPECT_FALSE(form->ControlState().Contains(csAlignmentNeeded));
}

TEST(Fonts, ParentFontFollowsUntilTheControlSetsItsOwn) {
  auto form = NewForm();
  auto *panel = Add<TWinControl>(form.get(), u"Panel", Bounds(0, 0, 100, 100));
  auto *inner = Add<TWinControl>(panel, u"Inner", Bounds(0, 0, 10, 10));
  form->Font().SetName(u"Segoe UI");
  EXPECT_EQ(inner->Font().Name(), u"Segoe UI");
  EXPECT_TRUE(inner->ParentFont());
  inner->Font().SetSize(12);
  EXPECT_FALSE(inner->ParentFont());
  form->Font().SetName(u"Arial");
  EXPECT_EQ(panel->Font().Name(), u"Arial");
  EXPECT_EQ(inner->Font().Name(), u"Segoe UI");
  inner->SetParentFont(true);
  EXPECT_EQ(inner->Font().Name(), u"Arial");
  EXPECT_EQ(inner->Font().Size(), 8);
}

TEST(Scaling, BoundsFontsAndDensityScaleTogether) {
  auto form = NewForm();
  form->SetBounds(100, 50, 400, 300);
  auto *panel = Add<TWinControl>(form.get(), u"Panel", Bounds(10, 10, 101, 21));
  panel->Font().SetHeight(-11);
  auto *child = Add<TWinControl>(panel, u"Child", Bounds(3, 3, 20, 20));
  form->MonitorDpiChanged(144);
  EXPECT_EQ(form->BoundsRect(), Bounds(100, 50, 600, 450)); // a form keeps its place
  EXPECT_EQ(panel->BoundsRect(), Rect(15, 15, 167, 47));
  EXPECT_EQ(panel->Font().Height(), -17);
  EXPECT_EQ(child->Font().Height(), -17); // parent font, at the new density
  EXPECT_EQ(child->CurrentPPI(), 144);
  EXPECT_EQ(form->ScaleValue(16), 24);
  // A control designed at 96 placed on the scaled form is scaled to it.
  auto *late = Add<TWinControl>(form.get(), u"Late", Bounds(10, 10, 20, 20));
  EXPECT_EQ(late->CurrentPPI(), 144);
  EXPECT_EQ(late->Width(), 30);
}

TEST(Ownership, AParentFreesItsChildrenAndAFreedChildLeavesItsParent) {
  auto form = NewForm();
  auto *panel = Add<TWinControl>(form.get(), u"Panel", Bounds(0, 0, 10, 10));
  auto *unowned = new TWinControl(nullptr);
  unowned->SetParent(panel);
  auto *owned = Add<TWinControl>(panel, u"Owned", Bounds(0, 0, 1, 1));
  delete owned;
  EXPECT_EQ(panel->ControlCount(), 1);
  EXPECT_EQ(form->FindComponent(u"Owned"), nullptr);
  delete panel; // frees the unowned child too (ASan checks the rest)
  EXPECT_EQ(form->ControlCount(), 0);
  EXPECT_EQ(form->ComponentCount(), 0);
}

struct TFocusFixture : ::testing::Test {
  void SetUp() override {
    form = NewForm();
    a = Add<TTestEdit>(form.get(), u"A", Bounds(0, 0, 10, 10));
    b = Add<TTestEdit>(form.get(), u"B", Bounds(0, 20, 10, 10));
    c = Add<TTestEdit>(form.get(), u"C", Bounds(0, 40, 10, 10));
    form->Show();
  }
  std::unique_ptr<TForm> form;
  TTestEdit *a, *b, *c;
};

TEST_F(TFocusFixture, TabWalksTheTabOrderSkippingWhatCannotTakeTheFocus) {
  EXPECT_TRUE(a->Focused()); // the first control gets the focus when the form is shown
  c->SetTabOrder(0);
  b->SetEnabled(false);
  PressKey(*form, VK_TAB);
  EXPECT_EQ(form->ActiveControl(), c); // a -> (b disabled) -> wraps to c, first in order
  PressKey(*form, VK_TAB, {ssShift});
  EXPECT_EQ(form->ActiveControl(), a);
  b->SetEnabled(true);
  b->SetTabStop(false);
  PressKey(*form, VK_TAB);
  EXPECT_EQ(form->ActiveControl(), c);
}

TEST_F(TFocusFixture, AFreedControlLeavesTheTabOrder) {
  delete b; // freed while its parent lives on
  PressKey(*form, VK_TAB);
  EXPECT_EQ(form->ActiveControl(), c);
}

TEST_F(TFocusFixture, AControlThatCannotTakeTheFocusRefusesAndGivesItUpWhenHidden) {
  b->SetFocus();
  b->Hide();
  EXPECT_EQ(form->ActiveControl(), nullptr);
  EXPECT_THROW(b->SetFocus(), EInvalidOperation);
  auto *orphan = new TTestEdit(form.get());
  EXPECT_THROW(orphan->SetFocus(), EInvalidOperation);
}

TEST_F(TFocusFixture, KeyPreviewLetsTheFormSeeKeysFirst) {
  std::vector<String> seen;
  form->OnKeyDown = [&](TObject *, Word &key, TShiftState) {
    seen.push_back(u"form");
    if (key == 'X')
      key = 0;
  };
  a->OnKeyDown = [&](TObject *, Word &, TShiftState) { seen.push_back(u"edit"); };
  PressKey(*form, 'Y');
  form->SetKeyPreview(true);
  PressKey(*form, 'Y');
  PressKey(*form, 'X');
  EXPECT_EQ(seen, (std::vector<String>{u"edit", u"form", u"edit", u"form"}));
  TypeText(*form, u"hi");
  EXPECT_EQ(a->Text(), u"hi");
}

TEST(Canvas, MeasuresWithFixedMetricsAndRecordsChildrenAtTheirPlace) {
  TCanvas canvas;
  EXPECT_EQ(canvas.TextExtent(u"abc"), (TSize{18, 13}));
  canvas.Font().SetStyle({fsBold});
  canvas.Font().SetHeight(-12);
  EXPECT_EQ(canvas.TextWidth(u"ab"), 16);

  struct TLabelish : TGraphicControl {
    using TGraphicControl::TGraphicControl;
    void Paint(TCanvas &c) override { c.TextOut(1, 2, Caption()); }
  };
  auto form = NewForm();
  auto *panel = Add<TWinControl>(form.get(), u"Panel", Bounds(10, 20, 100, 100));
  auto *label = new TLabelish(form.get());
  label->SetCaption(u"Hi");
  label->SetBounds(5, 5, 50, 15);
  label->SetParent(panel);
  TCanvas target;
  form->PaintTo(target);
  ASSERT_EQ(target.Ops().size(), 1u);
  EXPECT_EQ(target.Ops()[0].Rect, Bounds(16, 27, 12, 13));
  EXPECT_EQ(target.Ops()[0].Text, u"Hi");
}

TEST(Bitmap, ResizingKeepsTheOverlapAndFormatsWithoutAlphaStayOpaque) {
  TBitmap bitmap(2, 2);
  bitmap.SetPixel(0, 0, 0x11223344u);
  bitmap.SetPixel(1, 1, 0x55667788u);
  bitmap.SetSize(3, 1);
  EXPECT_EQ(std::vector<DWORD>(bitmap.ScanLine(0), bitmap.ScanLine(0) + 3),
            (std::vector<DWORD>{0x11223344u, 0, 0}));
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetPixel(2, 0, 0x00ABCDEFu);
  EXPECT_EQ(bitmap.Pixel(0, 0), 0xFF223344u);
  EXPECT_EQ(bitmap.Pixel(2, 0), 0xFFABCDEFu);
  EXPECT_THROW(bitmap.Pixel(3, 0), EInvalidGraphic);
  EXPECT_THROW(bitmap.SetSize(-1, 4), EInvalidGraphic);
  EXPECT_EQ(bitmap.Width(), 3);

  TBitmap copy;
  copy.Assign(bitmap);
  EXPECT_EQ(copy.Pixel(0, 0), 0xFF223344u);
  EXPECT_EQ(copy.PixelFormat(), pf24bit);
}

TEST(Bitmap, TheTransparentColourIsTheBottomLeftPixelsUntilOneIsSet) {
  TBitmap bitmap(2, 2, pf24bit);
  EXPECT_EQ(bitmap.TransparentColor(), clBlack);
  bitmap.SetPixel(0, 1, 0x00102030u); // RGB 10 20 30, the colour 0x302010
  EXPECT_FALSE(bitmap.Transparent());
  EXPECT_EQ(bitmap.TransparentMode(), tmAuto);
  EXPECT_EQ(bitmap.TransparentColor(), 0x302010);
  bitmap.SetTransparentColor(clBtnFace); // setting a colour fixes it, as RGB
  EXPECT_EQ(bitmap.TransparentMode(), tmFixed);
  EXPECT_EQ(bitmap.TransparentColor(), ColorToRGB(clBtnFace));
  bitmap.SetTransparentMode(tmAuto);
  EXPECT_EQ(bitmap.TransparentColor(), 0x302010);
  bitmap.SetTransparentMode(tmFixed); // keeps the colour it has now
  bitmap.SetPixel(0, 1, 0);
  EXPECT_EQ(bitmap.TransparentColor(), 0x302010);
  bitmap.SetTransparent(true);
  TBitmap copy;
  copy.Assign(bitmap);
  EXPECT_TRUE(copy.Transparent());
  EXPECT_EQ(copy.TransparentColor(), 0x302010);
  EXPECT_EQ(TBitmap().TransparentColor(), clDefault);
}

// Also when a later bitmap occupies the freed one's memory: the stale handle names nothing.
TEST(Bitmap, AHandleNamesTheBitmapOnlyWhileItLives) {
  alignas(TBitmap) unsigned char storage[sizeof(TBitmap)];
  auto *first = new (storage) TBitmap(4, 2);
  const HBITMAP handle = first->Handle();
  EXPECT_EQ(TBitmap::FromHandle(handle), first);
  first->~TBitmap();
  auto *second = new (storage) TBitmap(4, 2);
  EXPECT_EQ(TBitmap::FromHandle(handle), nullptr);
  EXPECT_EQ(TBitmap::FromHandle(second->Handle()), second);
  second->~TBitmap();
  EXPECT_EQ(TBitmap::FromHandle(nullptr), nullptr);
}

} // namespace
} // namespace krx
