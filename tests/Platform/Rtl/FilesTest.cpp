#include "Platform/Rtl/Files.h"
#include "support/KrxTest.h"

namespace krx {
namespace {

TEST(FileNames, TakingNamesApartHonoursBothDelimiters) {
  EXPECT_EQ(ExtractFileExt(u"/a/b.c/file.pas"), u".pas");
  EXPECT_EQ(ExtractFileExt(u"/a/b.c/file"), u"");
  EXPECT_EQ(ExtractFileExt(u"C:\\dir.x\\file"), u""); // a backslash ends a directory too
  EXPECT_EQ(ExtractFileExt(u"archive.tar.gz"), u".gz");
  EXPECT_EQ(ExtractFileExt(u"name."), u".");
  EXPECT_EQ(ExtractFileName(u"C:\\dir\\Unit1.pas"), u"Unit1.pas");
  EXPECT_EQ(ExtractFileName(u"/a/b/"), u"");
  EXPECT_EQ(ExtractFileName(u"plain"), u"plain");
  EXPECT_EQ(ExtractFilePath(u"/a/b/c.txt"), u"/a/b/");
  EXPECT_EQ(ExtractFilePath(u"dir\\c.txt"), u"dir\\");
  EXPECT_EQ(ExtractFilePath(u"c.txt"), u"");
  EXPECT_EQ(ExtractFileDir(u"/a/b/c.txt"), u"/a/b");
  EXPECT_EQ(ExtractFileDir(u"/c.txt"), u"/");     // the root keeps its delimiter
  EXPECT_EQ(ExtractFileDir(u"a//c.txt"), u"a//"); // a doubled delimiter stays whole
  EXPECT_EQ(ChangeFileExt(u"/p/x.dproj", u".dpr"), u"/p/x.dpr");
  EXPECT_EQ(ChangeFileExt(u"/p.d/x", u".dpr"), u"/p.d/x.dpr");
  EXPECT_EQ(ChangeFileExt(u"x.a.b", u""), u"x.a");
  EXPECT_EQ(IncludeTrailingPathDelimiter(u"/a"), u"/a/");
  EXPECT_EQ(IncludeTrailingPathDelimiter(u"/a/"), u"/a/");
  EXPECT_EQ(IncludeTrailingPathDelimiter(u""), u"/");
  EXPECT_EQ(ExcludeTrailingPathDelimiter(u"/a/"), u"/a");
  EXPECT_EQ(ExcludeTrailingPathDelimiter(u"/"), u"");
}

TEST(FileNames, ExpandFileNameResolvesDotsAgainstTheCurrentDirectory) {
  const String cwd = GetCurrentDir();
  ASSERT_FALSE(cwd.empty());
  EXPECT_EQ(ExpandFileName(u"x.txt"), IncludeTrailingPathDelimiter(cwd) + u"x.txt");
  EXPECT_EQ(ExpandFileName(u"/a/./b/../c"), u"/a/c");
  EXPECT_EQ(ExpandFileName(u"/a//b/"), u"/a/b/");
  EXPECT_EQ(ExpandFileName(u"/a/b/."), u"/a/b");
  EXPECT_EQ(ExpandFileName(u"/../.."), u"/");
  EXPECT_EQ(ExpandFileName(u""), u"");
}

TEST(FileSystem, ExistsCreateRenameDelete) {
  test::TempDir dir;
  test::WriteFileBytes(dir / "f.txt", "abc");
  EXPECT_TRUE(FileExists(dir.Str("f.txt")));
  EXPECT_FALSE(FileExists(dir.Str()));
  EXPECT_FALSE(FileExists(u""));
  EXPECT_TRUE(DirectoryExists(dir.Str()));
  EXPECT_FALSE(DirectoryExists(dir.Str("f.txt")));
  EXPECT_EQ(FileSize(dir.Str("f.txt")), 3);
  EXPECT_EQ(FileSize(dir.Str("none")), -1);

  // Non-ASCII names reach the system as UTF-8.
  const String deep = dir.Str() + u"/ä/б/c/";
  EXPECT_TRUE(ForceDirectories(deep));
  EXPECT_TRUE(DirectoryExists(deep));
  EXPECT_TRUE(std::filesystem::is_directory(dir / "ä" / "б" / "c"));
  EXPECT_TRUE(ForceDirectories(deep));                        // already there
  EXPECT_FALSE(ForceDirectories(dir.Str("f.txt") + u"/sub")); // a file is in the way
  EXPECT_THROW(ForceDirectories(u""), EInOutError);

  // Renaming refuses an existing target and keeps both files.
  test::WriteFileBytes(dir / "g.txt", "g");
  EXPECT_FALSE(RenameFile(dir.Str("f.txt"), dir.Str("g.txt")));
  EXPECT_EQ(test::ReadFileBytes(dir / "g.txt"), "g");
  EXPECT_TRUE(RenameFile(dir.Str("f.txt"), dir.Str("h.txt")));
  EXPECT_FALSE(FileExists(dir.Str("f.txt")));
  EXPECT_TRUE(FileExists(dir.Str("h.txt")));

  EXPECT_FALSE(DeleteFile(dir.Str("ä"))); // directories are not deleted
  EXPECT_TRUE(DeleteFile(dir.Str("h.txt")));
  EXPECT_FALSE(DeleteFile(dir.Str("h.txt")));
}

TEST(FileSystem, LastWriteTimeRoundTripsAtFullPrecision) {
  test::TempDir dir;
  test::WriteFileBytes(dir / "t.txt", "x");
  TFileTime t;
  ASSERT_TRUE(FileGetLastWriteTime(dir.Str("t.txt"), t));
  const TFileTime wanted{1234567890, 123456789};
  ASSERT_TRUE(FileSetLastWriteTime(dir.Str("t.txt"), wanted));
  TFileTime back;
  ASSERT_TRUE(FileGetLastWriteTime(dir.Str("t.txt"), back));
  EXPECT_EQ(back, wanted);
  EXPECT_FALSE(FileGetLastWriteTime(dir.Str("none"), back));
  EXPECT_FALSE(FileSetLastWriteTime(dir.Str("none"), wanted));
  EXPECT_FALSE(FileSetLastWriteTime(dir.Str("t.txt"), TFileTime{1, 1000000000}));
}

} // namespace
} // namespace krx
