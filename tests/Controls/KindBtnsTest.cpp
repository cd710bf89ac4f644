#include "Controls/KindBtns.h"

#include "Platform/Vcl/FormDescription.h"
#include "Platform/Vcl/Forms.h"

#include <gtest/gtest.h>

#include <memory>

namespace krx {
namespace {

TEST(KindButton, KindFillsCaptionRolesAndResult) {
  struct {
    TBitBtnKind Kind;
    const char16_t *Caption;
    TModalResult Result;
    bool Default, Cancel;
  } cases[] = {
      {bkOK, u"OK", mrOk, true, false},          {bkCancel, u"Cancel", mrCancel, false, true},
      {bkYes, u"Yes", mrYes, true, false},       {bkNo, u"No", mrNo, false, true},
      {bkHelp, u"Help", mrNone, false, false},   {bkAll, u"All", mrAll, false, false},
      {bkClose, u"Close", mrNone, false, false},
  };
  for (const auto &c : cases) {
    TKindButton b(nullptr);
    EXPECT_EQ(b.Width(), 81);
    b.SetKind(c.Kind);
    EXPECT_EQ(b.Caption(), String(c.Caption));
    EXPECT_EQ(b.ModalResult(), c.Result);
    EXPECT_EQ(b.Default(), c.Default);
    EXPECT_EQ(b.Cancel(), c.Cancel);
  }
}

TEST(KindButton, CustomKindAndLoadingKeepWhatIsSet) {
  TKindButton b(nullptr);
  b.SetCaption(u"Mine");
  b.SetModalResult(mrRetry);
  b.SetKind(bkCustom); // unchanged kind: nothing happens
  b.SetKind(bkOK);
  b.SetKind(bkCustom);
  EXPECT_EQ(b.Caption(), u"OK");
  EXPECT_EQ(b.ModalResult(), mrOk);
  // A description that names a kind keeps its own caption: Kind is not applied while loading.
  std::unique_ptr<TForm> form(TCustomForm::CreateNew<TForm>(nullptr));
  ReadComponentDescription(form.get(), u"object F: TForm\n object B: TKindButton\n"
                                       u"  Caption = 'Go'\n  Kind = bkCancel\n end\nend\n");
  auto *loaded = dynamic_cast<TKindButton *>(form->FindComponent(u"B"));
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->Caption(), u"Go");
  EXPECT_FALSE(loaded->Cancel());
}

} // namespace
} // namespace krx
