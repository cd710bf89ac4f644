#include "HostFixture.h"

#include "Common/KRX.Exceptions.h"
#include "Controls/KRX.StyleSupport.h"
#include "Platform/Rtl/Files.h"
#include "ToolsApi/OTAUtils.h"

#include <climits>
#include <thread>

namespace krx::test {

bool PumpUntil(const std::function<bool()> &done, int milliseconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  MSG msg;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline)
      return false;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

namespace {

using U = TToolsAPIUtils;

// A text of `size` bytes, with multi-byte characters that chunk borders may split.
std::string Text(std::size_t size) {
  std::string s;
  while (s.size() < size)
    s += (s.size() % 7 == 0) ? "\xC3\xA9" : "x\n";
  s.resize(size);
  return s;
}

TEST_F(HostTest, ReadEditorSourceReadsEveryChunkAndStopsAtAShortRead) {
  for (std::size_t size :
       {std::size_t{0}, std::size_t(EditorReadChunk), std::size_t(2 * EditorReadChunk + 17)}) {
    auto buffer = OpenBuffer("big" + std::to_string(size) + ".pas", Text(size));
    String text;
    U::ReadEditorSource(buffer.get(), text);
    EXPECT_EQ(text, Utf8ToString(Text(size))) << size;
    EXPECT_EQ(buffer->ReadCalls, Integer(size / EditorReadChunk) + 1) << size;
  }
}

TEST_F(HostTest, ReadEditorChunksReadsARangeAcrossChunks) {
  auto buffer = OpenBuffer("a.pas", Text(3 * EditorReadChunk));
  std::string utf8;
  U::ReadEditorChunks(buffer.get(), 100, utf8, 100 + EditorReadChunk + 5);
  EXPECT_EQ(utf8, Text(3 * EditorReadChunk).substr(100, EditorReadChunk + 5));
  U::ReadEditorChunks(buffer.get(), -1, utf8, -1);
  EXPECT_EQ(utf8, "");
  U::ReadEditorChunks(buffer.get(), 50, utf8, 10);
  EXPECT_EQ(utf8, "");
}

TEST_F(HostTest, AnEditorCountOutOfRangeRaises) {
  auto buffer = OpenBuffer("a.pas", "unit a;");
  std::string utf8;
  String text;
  for (Integer bad : {-1, EditorReadChunk + 1}) {
    buffer->ForcedReadResult = bad;
    EXPECT_THROW(U::ReadEditorSource(buffer.get(), text), EKRToolsException);
    try {
      U::ReadEditorChunks(buffer.get(), 0, utf8, -1);
      ADD_FAILURE();
    } catch (const EKRToolsException &e) {
      EXPECT_EQ(e.Message(), u"Unexpected result from editor" + IntToStr(bad));
    }
  }
}

TEST_F(HostTest, AnEditorTextIsReadOnlyUpToTheReadBound) {
  auto buffer = OpenBuffer("a.pas", "unit a;");
  buffer->ForcedReadResult = EditorReadChunk; // a full chunk at every call, without end
  String text;
  try {
    U::ReadEditorSource(buffer.get(), text);
    ADD_FAILURE() << "no exception";
  } catch (const EKRToolsException &e) {
    EXPECT_EQ(e.Message(), u"The editor's text is larger than 64 MB");
  }
  EXPECT_EQ(buffer->ReadCalls, MaxReadFileSize / EditorReadChunk + 1);
}

TEST_F(HostTest, ReadEditorLinesTakesWholeLinesWithTheirBreaks) {
  auto buffer = OpenBuffer("a.pas", "zero\none\ntwo\nthree");
  const struct {
    Integer First, Last;
    const char16_t *Expected;
  } cases[] = {
      {0, 0, u"zero\n"}, {1, 2, u"one\ntwo\n"}, {2, 3, u"two\nthree"}, {1, 99, u"one\ntwo\nthree"},
      {-1, 0, u""},      {2, 1, u""},           {4, 9, u""},
  };
  for (const auto &c : cases) {
    String text = u"junk";
    U::ReadEditorLines(buffer.get(), c.First, text, c.Last);
    EXPECT_EQ(text, c.Expected) << c.First << ".." << c.Last;
  }
}

TEST_F(HostTest, WriteEditorSourceReplacesTheBufferWithTheDecodedFile) {
  auto buffer = OpenBuffer("a.pas", "old text");
  EXPECT_TRUE(U::WriteEditorSource(buffer.get(), File("new.pas", "\xEF\xBB\xBFnew \xC3\xA9")));
  EXPECT_EQ(buffer->Utf8(), "new \xC3\xA9");
  EXPECT_TRUE(buffer->Modified());
  MakeFifo(Dir / "pipe.pas");
  std::filesystem::resize_file(Dir / "new.pas", MaxReadFileSize + 1); // sparse
  for (const char *bad : {"missing.pas", "pipe.pas", "new.pas"})
    EXPECT_FALSE(U::WriteEditorSource(buffer.get(), Dir.Str(bad))) << bad;
  EXPECT_EQ(buffer->Utf8(), "new \xC3\xA9");
}

TEST_F(HostTest, SelectedTextFallsBackToTheWordAtTheCursor) {
  auto buffer = OpenBuffer("a.pas", "begin\n  Foo.Bar := 1;\n\n");
  auto view = IPtr<testide::THostView>(dynamic_cast<testide::THostView *>(buffer->TopView().get()));
  const struct {
    TOTAEditPos Cursor;
    bool Select;
    const char16_t *Expected;
  } cases[] = {{{8, 2}, false, u"Bar"},
               {{4, 2}, false, u"Foo"},
               {{1, 3}, false, u""},
               {{3, 2}, true, u"Foo.B"}};
  for (const auto &c : cases) {
    view->SetCursorPos(c.Cursor);
    view->Select({3, 2}, c.Select ? TOTAEditPos{8, 2} : TOTAEditPos{3, 2});
    String text;
    U::GetSelectedText(view.get(), text);
    EXPECT_EQ(text, c.Expected) << c.Cursor.Line << ":" << c.Cursor.Col;
  }
}

TEST_F(HostTest, OpenFileFindsOpensOrRefuses) {
  IPtr<IOTAEditBuffer> buffer;
  U::OpenFile(Dir.Str("nowhere.pas"), buffer);
  EXPECT_FALSE(buffer);
  EXPECT_EQ(IDE.ModuleCount(), 0);
  const String name = File("b.pas", "unit b;");
  U::OpenFile(name, buffer);
  ASSERT_TRUE(buffer);
  EXPECT_EQ(IDE.ModuleCount(), 1);
  EXPECT_EQ(U::GetCurrentFileName(), name);
  IPtr<IOTAEditBuffer> again;
  U::OpenFile(name, again);
  EXPECT_EQ(IDE.ModuleCount(), 1);
  EXPECT_TRUE(again == buffer);
}

// On this file system names that differ in case, or that only case folding joins, are two
// files: each request reaches only the buffer and the project entry of its own name.
TEST_F(HostTest, ABufferOrProjectEntryAnswersOnlyToItsExactName) {
  const std::pair<std::string, std::string> pairs[] = {
      {"Unit1.pas", "UNIT1.pas"},
      {"Unit1.pas", "Unit1.PAS"},
      {"\xC5\xBF.pas", "s.pas"},     // U+017F LATIN SMALL LETTER LONG S
      {"\xE2\x84\xAA.pas", "k.pas"}, // U+212A KELVIN SIGN
  };
  for (const auto &[first, second] : pairs) {
    const String a = File(first, "unit a;"), b = File(second, "unit b;");
    IDE.Open(a);
    IDE.AddProject(Dir.Str("P.dproj"), u"Delphi.Personality", u"Application", {a});
    IPtr<IOTAEditBuffer> found;
    U::FindOpenModule(b, found);
    EXPECT_FALSE(found) << second;
    IPtr<IOTAProject> project;
    U::GetActiveProject(project);
    EXPECT_FALSE(U::ProjectContainsFile(project.get(), b)) << second;
    IDE.Open(b);
    for (const String &name : {a, b}) {
      U::OpenFile(name, found);
      EXPECT_TRUE(found && found->FileName() == name) << StringToUtf8(name);
    }
    IDE.CloseAll();
  }
}

TEST_F(HostTest, CurrentEditorIsTheUnitOfTheCurrentModule) {
  EXPECT_EQ(U::GetCurrentFileName(), u"");
  EXPECT_EQ(U::GetCursorPosition(), 0);
  IDE.Open(File("a.pas", "unit a;\n"), /*withForm=*/true);
  IDE.SettleModules();
  IPtr<IOTASourceEditor> editor;
  U::GetSourceEditor(IDE.CurrentModule().get(), editor);
  ASSERT_TRUE(editor);
  EXPECT_EQ(editor->FileName(), Dir.Str("a.pas"));
  IDE.FindBuffer(Dir.Str("a.pas"))->TopView()->SetCursorPos({1, 5});
  EXPECT_EQ(U::GetCursorPosition(), 5);
}

TEST_F(HostTest, ProjectHelpers) {
  EXPECT_EQ(U::GetActiveProjectSource(), u"");
  EXPECT_EQ(U::GetProjectSourceName(nullptr), u"");
  auto app = IDE.AddProject(u"/p/App.dproj", u"Delphi.Personality", u"Application", {u"/p/A.pas"});
  EXPECT_EQ(U::GetActiveProjectSource(), u"/p/App.dpr");
  EXPECT_EQ(U::GetActiveProjectString(), u"Delphi.Personality");
  EXPECT_TRUE(U::ProjectContainsFile(app.get(), u"/p/A.pas"));
  EXPECT_FALSE(U::ProjectContainsFile(app.get(), u"/p/B.pas"));
  auto pkg = IDE.AddProject(u"/p/Pkg.dproj", u"Delphi.Personality", u"Package", {});
  EXPECT_EQ(U::GetProjectSourceName(pkg.get()), u"/p/Pkg.dpk");
}

TEST_F(HostTest, MissingServicesFailOrAreSkipped) {
  IDE.SetServiceMissing(IOTAModuleServices::IID, true);
  IPtr<IOTAProject> project;
  EXPECT_THROW(U::GetActiveProject(project), EIntfCastError);
  IDE.SetServiceMissing(IOTAIDEThemingServices::IID, true);
  U::ApplyTheme(nullptr);
  EXPECT_TRUE(IDE.Log.Find("theme.apply").empty());
}

// The toolkit asks for the theme through messages; the helper object answers them while it
// lives and hands the IDE's style services over when the IDE theme changes.
TEST_F(HostTest, TheHelperObjectAnswersTheToolkitsThemeRequests) {
  TCustomStyleServices dark(u"Dark", true);
  IDE.Theming.SetStyleServices(&dark);
  ToolsAPIUtils();
  TComponent panel(nullptr);
  panel.SetName(u"Panel1");
  TKRXStyle::ApplyTheme(&panel);
  TKRXStyle::RegisterFormClass(nullptr);
  IDE.Theming.ChangeTheme(u"Dark");
  EXPECT_EQ(StyleServicesInUse(), &dark);
  FreeToolsAPIUtils();
  TKRXStyle::ApplyTheme(&panel); // nobody listens any more
  EXPECT_EQ(IDE.Log.Find("theme.apply"),
            std::vector<std::string>{R"({"event":"theme.apply","component":"Panel1"})"});
  EXPECT_EQ(IDE.Log.Find("theme.registerform").size(), 1u);
  UpdateStyleServices(nullptr);
}

TEST_F(HostTest, TheHelperObjectUnregistersItsThemeNotifierAtIndexZero) {
  FreeToolsAPIUtils();
  ToolsAPIUtils();
  EXPECT_EQ(IDE.Theming.NotifierCount(), 1);
  EXPECT_EQ(ToolsAPIUtils().ThemeNotifierIndex(), 0);
  FreeToolsAPIUtils();
  EXPECT_EQ(IDE.Theming.NotifierCount(), 0);
}

} // namespace
} // namespace krx::test
