// The test IDE host itself: what the plug-in tests rely on it to do.
#include "HostFixture.h"

#include "Platform/Rtl/Files.h"

namespace krx::test {
namespace {

TEST_F(HostTest, AWriterCopiesSkipsAndInsertsThenReplacesTheText) {
  auto buffer = OpenBuffer("a.pas", "0123456789");
  const struct {
    std::function<void(IOTAEditWriter &)> Edit;
    const char *Expected;
  } cases[] = {
      {[](IOTAEditWriter &w) {
         w.CopyTo(3);
         w.DeleteTo(5);
         w.Insert("xy");
       },
       "012xy56789"},
      {[](IOTAEditWriter &w) {
         w.DeleteTo(1 << 30);
         w.Insert("new");
       },
       "new"},
      {[](IOTAEditWriter &w) {
         w.Insert("<");
         w.CopyTo(99);
         w.Insert(">");
       },
       "<new>"},
  };
  for (const auto &c : cases) {
    c.Edit(*buffer->CreateWriter());
    EXPECT_EQ(buffer->Utf8(), c.Expected);
  }
  EXPECT_TRUE(buffer->Modified());
}

TEST_F(HostTest, CharacterPositionsBecomeByteOffsetsOfTheirLine) {
  auto buffer = OpenBuffer("a.pas", "\xC3\xA9t\xC3\xA9\n\xF0\x9F\x98\x80x\nlast");
  IPtr<IOTAEditView> view = buffer->TopView();
  const struct {
    Integer Line, Index, Expected;
  } cases[] = {{1, 0, 0},  {1, 1, 2},  {1, 3, 5},  {1, 9, 5},
               {2, 2, 10}, {3, 4, 16}, {4, 0, -1}, {0, 0, -1}};
  for (const auto &c : cases)
    EXPECT_EQ(view->CharPosToPos({c.Index, c.Line}), c.Expected) << c.Line << ":" << c.Index;
  EXPECT_EQ(view->LastLineNumber(), 3);
}

TEST_F(HostTest, SavingWritesTheBufferOnlyWhenModifiedOrForced) {
  auto buffer = OpenBuffer("a.pas", "old");
  auto module = IDE.FindHostModule(Dir.Str("a.pas"));
  buffer->SetText("new", "type");
  EXPECT_TRUE(module->Save(false, false));
  EXPECT_EQ(ReadFileBytes(Dir / "a.pas"), "new");
  EXPECT_FALSE(buffer->Modified());
  WriteFileBytes(Dir / "a.pas", "changed on disk");
  module->Save(false, false);
  EXPECT_EQ(ReadFileBytes(Dir / "a.pas"), "changed on disk");
  module->Save(false, true);
  EXPECT_EQ(ReadFileBytes(Dir / "a.pas"), "new");
}

// Kestrune may put anything where a unit was: the host reads and writes regular files only,
// within the read bound, and never waits.
TEST_F(HostTest, TheHostTakesRegularFilesWithinTheReadBoundOnly) {
  auto buffer = OpenBuffer("a.pas", "old");
  buffer->SetText("new", "type");
  std::filesystem::remove(Dir / "a.pas");
  MakeFifo(Dir / "a.pas");
  EXPECT_FALSE(IDE.FindHostModule(Dir.Str("a.pas"))->Save(false, false));
  EXPECT_NE(IDE.Log.Find("module.save").back().find(R"("reason":"is not a regular file")"),
            std::string::npos);
  EXPECT_TRUE(std::filesystem::is_fifo(Dir / "a.pas"));
  EXPECT_TRUE(buffer->Modified());

  std::filesystem::resize_file(File("big.pas", ""), MaxReadFileSize + 1); // sparse
  EXPECT_FALSE(IDE.OpenFile(Dir.Str("big.pas")));
  EXPECT_NE(IDE.Log.Find("action.openfile").back().find(R"("reason":"is larger than 64 MB")"),
            std::string::npos);
}

class CountingNotifier : public TInterfacedObject, public IOTAModuleNotifier {
public:
  void AfterSave() override { ++Saved; }
  void BeforeSave() override {}
  void Destroyed() override { ++Destroyed_; }
  void Modified() override {}
  bool CheckOverwrite() override { return true; }
  void ModuleRenamed(const String &) override {}
  int Saved = 0, Destroyed_ = 0;
};

TEST_F(HostTest, NotifierIndexesAreFreshAndClosingTellsDestroyed) {
  OpenBuffer("a.pas", "unit a;");
  auto module = IDE.FindHostModule(Dir.Str("a.pas"));
  IPtr<CountingNotifier> n(new CountingNotifier);
  const Integer first = module->AddNotifier(n.get());
  module->RemoveNotifier(first);
  module->RemoveNotifier(first);
  EXPECT_EQ(module->AddNotifier(n.get()), first + 1);
  EXPECT_NE(IDE.Log.Find("notifier.remove").back().find("\"known\":false"), std::string::npos);
  IDE.Close(Dir.Str("a.pas"));
  EXPECT_EQ(n->Destroyed_, 1);
  EXPECT_EQ(module->NotifierCount(), 0);
}

TEST_F(HostTest, DebugProcessesAnswerTheirCallHeaders) {
  EXPECT_FALSE(IDE.CurrentProcess());
  IDE.StartProcess({u"TForm1.Button1Click", u"TApplication.Run"});
  IPtr<IOTAThread> thread = IDE.CurrentProcess()->CurrentThread();
  EXPECT_EQ(thread->GetCallCount(), 2);
  EXPECT_EQ(thread->GetCallHeader(0), u"TForm1.Button1Click");
  EXPECT_EQ(thread->GetCallHeader(2), u"");
  IDE.StopProcesses();
  EXPECT_EQ(IDE.ProcessCount(), 0);
}

} // namespace
} // namespace krx::test
