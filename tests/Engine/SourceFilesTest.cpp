// Include names and include texts are looked up through per-process caches; a change on disk
// must be seen by the next lookup. Files and folders are dated an hour back first, since the
// caches do not keep what was read while its time was close to now.
#include "Engine/SourceFileNames.h"
#include "Engine/SourceTexts.h"
#include "support/KrxTest.h"

#include <chrono>
#include <filesystem>

namespace krx {
namespace {

namespace fs = std::filesystem;

void Backdate(const fs::path &p, int minutes) {
  fs::last_write_time(p, fs::file_time_type::clock::now() - std::chrono::minutes(minutes));
}

TEST(SourceFileNames, AFolderChangedAfterALookupIsReadAgain) {
  test::TempDir dir;
  test::WriteFileBytes(dir / "Defs.inc", "a");
  Backdate(dir.Path(), 60);
  EXPECT_EQ(ResolveSourceFileName(u"DEFS.INC", dir.Str()), dir.Str("Defs.inc"));
  EXPECT_EQ(ResolveSourceFileName(u"other.inc", dir.Str()), u"");

  fs::remove(dir / "Defs.inc");
  test::WriteFileBytes(dir / "dEFS.inc", "b");
  test::WriteFileBytes(dir / "OTHER.inc", "c");
  EXPECT_EQ(ResolveSourceFileName(u"defs.inc", dir.Str()), dir.Str("dEFS.inc"));
  EXPECT_EQ(ResolveSourceFileName(u"other.inc", dir.Str()), dir.Str("OTHER.inc"));
}

TEST(SourceTexts, AnUnchangedFileIsSharedAndAChangedOneReadAgain) {
  test::TempDir dir;
  const fs::path file = dir / "a.inc";
  test::WriteFileBytes(file, "x := 1;\r\ny := 2;");
  Backdate(file, 60);
  const TTokenizerTextPtr first = ReadCachedSourceText(dir.Str("a.inc"));
  ASSERT_EQ(first->Lines.size(), 2u);
  EXPECT_EQ(ReadCachedSourceText(dir.Str("a.inc")), first);

  // Same size, another time: a new text. Then a new size at the same time: read again too.
  test::WriteFileBytes(file, "x := 3;\r\ny := 4;");
  Backdate(file, 50);
  EXPECT_EQ(ReadCachedSourceText(dir.Str("a.inc"))->Text, u"x := 3;\r\ny := 4;");
  const auto stamp = fs::last_write_time(file);
  test::WriteFileBytes(file, "z := 5;");
  fs::last_write_time(file, stamp);
  EXPECT_EQ(ReadCachedSourceText(dir.Str("a.inc"))->Text, u"z := 5;");

  fs::remove(file);
  EXPECT_THROW(ReadCachedSourceText(dir.Str("a.inc")), Exception);
}

// Texts are decoded as ReadTextFileEx decodes them, whatever their size.
TEST(SourceTexts, DecodedAsReadTextFileExDecodes) {
  test::TempDir dir;
  const struct {
    std::string Bytes;
    String Text;
  } cases[] = {{"", u""},
               {"x\x80y", u"x\u20ACy"},
               {"\xEF\xBB\xBF" "a\xC3\xA9", u"a\u00E9"},
               {std::string("\xFF\xFEz\0", 4), u"z"},
               {std::string(70000, 'q'), String(70000, u'q')}};
  int i = 0;
  for (const auto &c : cases) {
    const fs::path file = dir / ("t" + std::to_string(i++) + ".inc");
    test::WriteFileBytes(file, c.Bytes);
    EXPECT_EQ(ReadCachedSourceText(Utf8ToString(file.string()))->Text, c.Text) << file;
  }
}

} // namespace
} // namespace krx
