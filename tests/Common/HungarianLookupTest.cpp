#include "Common/DataTyp.h"

#include "Common/DataFolders.h"
#include "Platform/Shell/Dialogs.h"
#include "support/KrxTest.h"

namespace krx {
namespace {

const std::string BOM = "\xEF\xBB\xBF";

// Runs the unit's start-up again below a shell root of its own; the unit is restarted in
// the original environment afterwards.
class HungarianStartup : public ::testing::Test {
protected:
  void Restart() {
    DataTypFinalization();
    DataTypInitialization();
  }
  void TearDown() override {
    FShell.reset();
    Restart();
  }
  void Reroot(const std::string &root) {
    FShell = std::make_unique<test::EnvGuard>("KRX_SHELL_ROOT", root);
  }
  std::filesystem::path LookupFile() const {
    return std::filesystem::path(StringToUtf8(HungarianLookupFileName()));
  }
  test::TempDir Dir;
  std::unique_ptr<test::EnvGuard> FShell;
};

TEST_F(HungarianStartup, FirstStartWritesTheDefaultsAndRewritesThemAsUtf8) {
  Reroot(Dir.Path().string());
  Restart();
  EXPECT_EQ(test::ReadFileBytes(LookupFile()),
            BOM + "\r\n[Object Pascal]\r\n\r\n[Object Pascal.Params]\r\nReplacePrefix=False\r\n"
                  "ReplaceWith=A\r\n\r\n");
  EXPECT_EQ(HungarianLookup(lanPascal).ReplaceWith, u"A");
  EXPECT_FALSE(HungarianLookup(lanPascal).ReplacePrefix);
  EXPECT_EQ(HungarianLookup(lanPascal).Count(), 0);
  EXPECT_NE(LookupFile().string().find("Drummel Software/KRX Trail Scope/15.0/"),
            std::string::npos);
}

TEST_F(HungarianStartup, ParametersAndLookupLinesAreRead) {
  Reroot(Dir.Path().string());
  const String folder = SharedDataFolder(15);
  test::WriteFileBytes(std::filesystem::path(StringToUtf8(folder)) / "HungarianTypeLookup.txt",
                       "[Object Pascal]\r\n  Integer = I  \r\nnoequals\r\nTList=[x]\r\n"
                       "Word=W\r\n[Other]\r\nTFoo=F\r\n[Object Pascal.Params]\r\n"
                       "ReplacePrefix=yes\r\n");
  Restart();
  // The bracket in a value makes that line a section header of no known language.
  EXPECT_EQ(HungarianLookup(lanPascal).Text(), u"Integer = I\r\n");
  EXPECT_EQ(HungarianLookup(lanUndefined).Count(), 0);
  EXPECT_TRUE(HungarianLookup(lanPascal).ReplacePrefix);
  // A missing ReplaceWith is written into the file but not taken until the next start.
  EXPECT_EQ(HungarianLookup(lanPascal).ReplaceWith, u"");
  std::string bytes = test::ReadFileBytes(LookupFile());
  EXPECT_EQ(bytes.substr(0, 5), BOM + "\r\n");
  EXPECT_NE(bytes.find("[Object Pascal.Params]\r\nReplacePrefix=yes\r\nReplaceWith=A\r\n"),
            std::string::npos);
  Restart();
  EXPECT_EQ(HungarianLookup(lanPascal).ReplaceWith, u"A");
}

TEST_F(HungarianStartup, ANonBooleanReplacePrefixIsIgnored) {
  Reroot(Dir.Path().string());
  const String file = HungarianLookupFileName();
  test::WriteFileBytes(LookupFile(), "[Object Pascal.Params]\r\nReplacePrefix=maybe\r\n"
                                     "ReplaceWith=\r\n");
  Restart();
  EXPECT_FALSE(HungarianLookup(lanPascal).ReplacePrefix);
  EXPECT_EQ(HungarianLookup(lanPascal).ReplaceWith, u""); // present, even empty
  EXPECT_NE(test::ReadFileBytes(LookupFile()).find("ReplacePrefix=maybe\r\nReplaceWith=\r\n"),
            std::string::npos);
}

TEST_F(HungarianStartup, AnUnreadableFileLeavesTheDefaultsAndIsReportedOnce) {
  Reroot(Dir.Path().string());
  test::WriteFileBytes(LookupFile(),
                       std::string("\xFE\xFF\0[\0O", 6)); // UTF-16 big-endian: refused
  TScriptedMessages messages;
  EXPECT_NO_THROW(Restart());
  EXPECT_EQ(HungarianLookup(lanPascal).ReplaceWith, u"A");
  EXPECT_FALSE(HungarianLookup(lanPascal).ReplacePrefix);
  auto requests = messages.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_NE(requests[0].Text.find(u"Unsupported text encoding"), String::npos);
  // Not overwritten.
  EXPECT_EQ(test::ReadFileBytes(LookupFile()), std::string("\xFE\xFF\0[\0O", 6));
}

// A file that does not decode exactly is not rewritten (its rewrite would hold NULs or encode
// its bytes twice): the defaults are used and the user is told.
TEST_F(HungarianStartup, AFileThatDoesNotDecodeExactlyIsLeftAsItIsAndTheUserIsTold) {
  Reroot(Dir.Path().string());
  const std::string lines = "[Object Pascal]\r\nx=y\r\n";
  const std::string utf16("[\0O\0]\0\r\0\n\0x\0=\0y\0", 16);
  for (const std::string &bytes :
       {utf16, lines + std::string("N\0=N", 4), BOM + lines + "\xFF=F\r\n",
        "\xFF\xFE" + utf16 + "x", "\xFF\xFE" + std::string("\x00\xD8\r\0", 4)}) {
    test::WriteFileBytes(LookupFile(), bytes);
    TScriptedMessages messages;
    Restart();
    EXPECT_EQ(test::ReadFileBytes(LookupFile()), bytes);
    EXPECT_EQ(HungarianLookup(lanPascal).Count(), 0);
    EXPECT_EQ(HungarianLookup(lanPascal).ReplaceWith, u"A");
    const auto shown = messages.Requests();
    EXPECT_TRUE(shown.size() == 1 && shown[0].Text.find(u"left as it is") != String::npos)
        << test::ReadFileBytes(LookupFile());
  }
}

// Without a byte-order mark, valid UTF-8 is read as UTF-8 and any other text as ANSI; either
// is completed and rewritten as UTF-8.
TEST_F(HungarianStartup, AnUnmarkedFileIsUtf8WhenItIsValidUtf8AndAnsiOtherwise) {
  Reroot(Dir.Path().string());
  const struct {
    std::string Bytes;
    String Lookup;
  } rows[] = {
      {"[Object Pascal]\r\nGr\xC3\xB6\xC3\x9F"
       "e=G\r\n",
       u"Gr\u00f6\u00dfe=G\r\n"},
      {"[Object Pascal]\r\nGr\xF6\xDF"
       "e=G\r\n\x80=E\r\n",
       u"Gr\u00f6\u00dfe=G\r\n\u20ac=E\r\n"},
      // One byte that is no UTF-8 makes the whole file ANSI.
      {"[Object Pascal]\r\n\xC3\xB6=O\r\n\xC3=A\r\n", u"\u00c3\u00b6=O\r\n\u00c3=A\r\n"},
  };
  for (const auto &row : rows) {
    test::WriteFileBytes(LookupFile(), row.Bytes);
    TScriptedMessages messages;
    Restart();
    EXPECT_EQ(HungarianLookup(lanPascal).Text(), row.Lookup);
    EXPECT_EQ(test::ReadFileBytes(LookupFile()),
              BOM + "\r\n[Object Pascal]\r\n" + StringToUtf8(row.Lookup) +
                  "\r\n[Object Pascal.Params]\r\nReplacePrefix=False\r\nReplaceWith=A\r\n\r\n");
    EXPECT_TRUE(messages.Requests().empty());
  }
}

TEST_F(HungarianStartup, AnUnwritableFolderDoesNotStopTheStart) {
  test::WriteFileBytes(Dir / "not-a-folder", "x");
  Reroot((Dir / "not-a-folder").string());
  TScriptedMessages messages;
  EXPECT_NO_THROW(Restart());
  EXPECT_EQ(HungarianLookup(lanPascal).ReplaceWith, u"A");
  int ours = 0;
  for (auto &r : messages.Requests())
    ours += r.Text.find(u"Hungarian type lookup") != String::npos;
  EXPECT_EQ(ours, 1);
}

} // namespace
} // namespace krx
