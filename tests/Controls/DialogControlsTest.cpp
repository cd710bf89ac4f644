#include "Controls/FormStates.h"
#include "Controls/KRHintImages.h"
#include "Controls/KRX.Base.Frame.h"
#include "Controls/StackTraceFrm.h"
#include "World/KRSuperHints.h"
#include "support/KrxTest.h"

#include "Platform/Vcl/FormDescription.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/Hints.h"
#include "Platform/Vcl/Resources.h"

#include <gtest/gtest.h>

#include <memory>

namespace krx {
namespace {

TEST(HintImage, TheBuiltInGlyphIsTheModulesResource) {
  ASSERT_NE(HintGlyph(), nullptr);
  EXPECT_EQ(HintGlyph()->Width(), 16);
  EXPECT_EQ(HintGlyph()->ColorType(), COLOR_RGBALPHA);
  EXPECT_TRUE(FindModuleResource(HInstance(), u"KRHintImage", RT_RCDATA));
  // A module without the resource fails the unit start-up with the resource error.
  const HMODULE other = ModuleOfAddress(reinterpret_cast<const void *>(&FindModuleResource));
  ASSERT_NE(other, HInstance());
  EXPECT_THROW(TPngImage().LoadFromResourceName(other, u"KRHintImage"), EResNotFound);
}

TEST(HintImage, FollowsItsLabelAndOutlivesWhatItRefersTo) {
  std::unique_ptr<TForm> form(TCustomForm::CreateNew<TForm>(nullptr));
  auto *label = new TLabel(form.get());
  label->SetParent(form.get());
  label->SetCaption(u"Short");
  auto *glyph = new TKRHintImage(form.get());
  glyph->SetParent(form.get());
  glyph->SetRefControl(label);
  label->SetCaption(u"A much longer caption");
  EXPECT_EQ(glyph->Left(), label->Left() + label->Width() + 6);
  // A handler that someone else put on the label stays when the glyph lets go.
  bool mine = false;
  label->OnResize = [&](TObject *) { mine = true; };
  label->OnResizeTarget = nullptr;
  glyph->SetRefControl(nullptr);
  label->SetCaption(u"x");
  EXPECT_TRUE(mine);

  auto *list = new TImageList(form.get());
  list->Add(u"Hint");
  glyph->SetRefControl(label);
  glyph->SetImages(list);
  glyph->SetImageIndex(0);
  delete label;
  delete list;
  EXPECT_EQ(glyph->RefControl(), nullptr);
  EXPECT_EQ(glyph->Images(), nullptr);
  TCanvas canvas;
  glyph->PaintTo(canvas);
  ASSERT_EQ(canvas.Ops().size(), 1u);
  EXPECT_EQ(canvas.Ops()[0].Text, u"KRHintImage");
  EXPECT_EQ(ActivateHint(glyph).Pause, 100);
}

TEST(HintImage, TakesTheHintImageOfItsFrameAndTheSizeOfItsList) {
  std::unique_ptr<TForm> form(TCustomForm::CreateNew<TForm>(nullptr));
  auto *frame = TCustomFrame::Create<TBaseFrame>(form.get());
  frame->SetParent(form.get());
  auto *list = new TImageList(form.get());
  list->SetSize(24, 24);
  list->Add(u"Other");
  list->Add(u"Hint");
  frame->SetImageList(list);
  auto *glyph = new TKRHintImage(form.get());
  glyph->SetParent(frame);
  EXPECT_EQ(std::tuple(glyph->Images(), glyph->ImageIndex(), glyph->Width()),
            std::tuple(list, 1, 16));
  list->Add(u"Third"); // the list changes: the glyph takes its size
  EXPECT_EQ(glyph->BoundsRect(), Rect(0, 0, 24, 24));
}

TEST(HintImage, ADescriptionNamesTheControlItExplains) {
  std::unique_ptr<TForm> form(TCustomForm::CreateNew<TForm>(nullptr));
  ReadComponentDescription(form.get(), uR"(object F: TForm
  object Box: TCheckBox
    Left = 10
    Width = 100
  end
  object Glyph: TKRHintImage
    RefControl = Box
  end
end
)");
  auto *glyph = dynamic_cast<TKRHintImage *>(form->FindComponent(u"Glyph"));
  ASSERT_NE(glyph, nullptr);
  EXPECT_EQ(glyph->RefControl(), form->FindComponent(u"Box"));
  EXPECT_EQ(glyph->Left(), 10 + 100 + 3 + 3);
}

TEST(StackTraceDialog, OkTakesTheBoxesCancelKeepsTheFlags) {
  for (bool ok : {true, false}) {
    bool append = false, diagram = true;
    TScriptedModal modal({[&](TCustomForm &f) {
      ClickControl(FindControl(&f, u"AppendBox"));
      ClickControl(FindControl(&f, u"CreateDiagramBox"));
      PressKey(f, ok ? VK_RETURN : VK_ESCAPE);
    }});
    EXPECT_EQ(StackTraceDialog(u"/tmp/trace.txt", append, diagram), ok);
    EXPECT_EQ(append, ok);
    EXPECT_EQ(diagram, !ok);
  }
}

TEST(StackTraceDialog, ShortensTheFileNameAndReopensWhereItWasClosed) {
  const String name = u"/home/someone/projects/with/a/rather/long/path/"
                      u"Auto-Sequence-Diagram.txt";
  bool append = false, diagram = false;
  TRect placed;
  CreateSuperHintHandler();
  FormStateStore().States().Clear();
  TScriptedModal modal({[&](TCustomForm &f) {
                          EXPECT_EQ(f.BoundsRect(), Bounds(819, 479, 281, 121)); // centred
                          auto *file = dynamic_cast<TLabel *>(FindControl(&f, u"FileLbl"));
                          EXPECT_EQ(file->Hint(), name);
                          EXPECT_NE(file->Caption(), name);
                          EXPECT_EQ(file->Caption().substr(0, 3), u"...");
                          EXPECT_LE(TextWidthOf(f.Font(), file->Caption()), file->Width());
                          const auto hint = ActivateHint(FindControl(&f, u"KRHintImage1"));
                          ASSERT_EQ(hint.Painted.size(), 2u);
                          EXPECT_EQ(hint.Painted[0].Text, u"Append to exsiting trace file");
                          EXPECT_TRUE(hint.Painted[0].Style.Contains(fsBold));
                          f.SetBounds(40, 50, f.Width(), f.Height());
                          PressKey(f, VK_ESCAPE);
                        },
                        [&](TCustomForm &f) {
                          placed = f.BoundsRect();
                          PressKey(f, VK_ESCAPE);
                        }});
  StackTraceDialog(name, append, diagram);
  StackTraceDialog(name, append, diagram);
  EXPECT_EQ(placed.Left, 40);
  EXPECT_EQ(placed.Top, 50);
}

TEST(StackTraceDialog, ScriptsShowItCentredFirstThenAtItsSavedPlaceAndDensity) {
  int status = -1;
  const std::string out = test::RunCommand(
      std::string(KRX_BINARY_DIR) + "/tools/krx-dialog stacktrace --monitor 0,0,1920,1080,96" +
          " --monitor 1920,0,2560,1440,192 --script " +
          test::Fixture("dialogs/stacktrace-drag-to-second-monitor.txt").string() + " --script " +
          test::Fixture("dialogs/stacktrace-close.txt").string(),
      status);
  ASSERT_EQ(status, 0) << out;
  const auto first = out.find(R"("caption": "Create stack trace", "bounds": [819, 479, 281, 121], )"
                              R"("visible": true, "enabled": true, "ppi": 96)");
  const auto next = out.find(R"("caption": "Create stack trace", "bounds": [2300, 400, 562, 242], )"
                             R"("visible": true, "enabled": true, "ppi": 192)");
  EXPECT_TRUE(first < next && next != std::string::npos) << out;
  EXPECT_EQ(out.find(R"("errors": [")"), std::string::npos) << out; // every line of both ran
}

} // namespace
} // namespace krx
