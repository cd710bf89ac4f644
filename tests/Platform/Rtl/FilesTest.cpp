#include "Platform/Rtl/Files.h"
#include "Platform/Rtl/IniFiles.h"
#include "Platform/Rtl/Streams.h"
#include "support/KrxTest.h"

#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>

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

// A name the file system cannot take exactly names no file: the file a substitute character
// (or the cut at a NUL) would reach stays out of reach, and what comes from the system is
// taken only when it is valid UTF-8.
TEST(FileNames, ANameWithoutAnExactFormNamesNoFile) {
  test::TempDir dir;
  test::WriteFileBytes(dir / "a\xEF\xBF\xBD.pas", "U+FFFD");
  test::WriteFileBytes(dir / "a", "cut at the NUL");
  for (const String &bad : {dir.Str("a") + u"\xD800.pas", dir.Str("a") + u"\xDFFF.pas",
                            dir.Str("a") + String(1, u'\0') + u".pas"}) {
    EXPECT_FALSE(FileExists(bad));
    EXPECT_THROW(FileNameToOS(bad), EInOutError);
    EXPECT_THROW(TFileStream(bad, fmOpenRead), EFOpenError);
  }
  EXPECT_EQ(FileNameProblem(u"a\xD800"),
            u"holds an unpaired surrogate (U+D800), which no file name on this system can hold");
  String name;
  EXPECT_FALSE(FileNameFromOS("bad\xFF.pas", name));
  EXPECT_EQ(OSNameProblem("bad\xFF.pas"), "is not valid UTF-8 (byte 0xFF at 3)");
  EXPECT_EQ(ShownOSName("bad\xFF\xC3.pas"), "bad\\xFF\\xC3.pas");
  ASSERT_TRUE(FileNameFromOS("\xF0\x9F\x98\x80.pas", name));
  EXPECT_EQ(name, u"\U0001F600.pas");
  // A current folder without an exact name leaves a relative name relative.
  std::filesystem::create_directory(dir / "d\xFF");
  struct TBack {
    std::filesystem::path To = std::filesystem::current_path();
    ~TBack() { std::filesystem::current_path(To); }
  } back;
  std::filesystem::current_path(dir / "d\xFF");
  EXPECT_EQ(GetCurrentDir(), u"");
  EXPECT_EQ(ExpandFileName(u"x.pas"), u"x.pas");
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

// ---- Regular files: no reader waits on a FIFO, no failed write loses the file ----------------

// The names in the folder, sorted.
std::vector<std::string> Listing(const std::filesystem::path &dir) {
  std::vector<std::string> names;
  for (const auto &e : std::filesystem::directory_iterator(dir))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(RegularFiles, APipeOrDeviceIsRefusedAtOnceNamingIt) {
  test::TempDir dir;
  test::MakeFifo(dir / "pipe.ini");
  const String pipe = dir.Str("pipe.ini");
  for (int flags : {O_RDONLY, O_WRONLY, O_RDWR})
    EXPECT_TRUE(OpenRegularFile((dir / "pipe.ini").string(), flags).NotRegular) << flags;
  EXPECT_TRUE(OpenRegularFile("/dev/zero", O_RDONLY).NotRegular);
  EXPECT_EQ(OpenRegularFile(dir.Path().string(), O_RDONLY).Error, EISDIR);

  const std::function<void()> readers[] = {
      [&] { TFileStream s(pipe, fmOpenRead); },
      [&] { TFileStream s(pipe, fmCreate); },
      [&] { TMemIniFile ini(pipe); },
      [&] { TStringList().LoadFromFile(pipe); },
      [&] { TMemoryStream().LoadFromFile(pipe); },
  };
  for (const auto &read : readers) {
    try {
      read();
      ADD_FAILURE() << "no exception";
    } catch (const EFileStreamError &e) {
      EXPECT_NE(e.Message().find(u"\"" + pipe + u"\". It is not a regular file"), String::npos)
          << StringToUtf8(e.Message());
    }
  }
}

TEST(RegularFiles, AWholeFileIsReadUpToTheBoundAndNothingElseIsRead) {
  test::TempDir dir;
  test::WriteFileBytes(dir / "ten", "0123456789");
  test::MakeFifo(dir / "pipe");
  { std::ofstream big(dir / "big", std::ios::binary); }
  std::filesystem::resize_file(dir / "big", MaxReadFileSize + 1); // sparse: costs no disk
  const struct {
    std::string Name;
    Int64 Limit;
    String Reason; // empty: read
  } cases[] = {
      {"ten", 10, u""},
      {"ten", 9, u"is larger than 0 MB"},
      {"big", MaxReadFileSize, u"is larger than 64 MB"},
      {"pipe", MaxReadFileSize, u"is not a regular file"},
      {".", MaxReadFileSize, u"is a folder"},
      {"missing", MaxReadFileSize, SysErrorMessage(ENOENT)},
  };
  for (const auto &c : cases) {
    const TReadResult r = ReadRegularFile((dir / c.Name).string(), c.Limit);
    EXPECT_EQ(r.Ok() ? String() : r.Reason(), c.Reason) << c.Name;
    EXPECT_EQ(r.Bytes, r.Ok() ? "0123456789" : "") << c.Name;
  }
  TFileStamp stamp;
  ASSERT_TRUE(FileStampOf((dir / "ten").string(), stamp));
  EXPECT_EQ(ReadRegularFile((dir / "ten").string()).Stamp, stamp);
}

TEST(ReplacingFiles, OnlyTheFileTheCallerExaminedIsReplaced) {
  test::TempDir dir;
  const std::string a = (dir / "a").string();
  test::WriteFileBytes(a, "examined");
  TFileStamp examined;
  ASSERT_TRUE(FileStampOf(a, examined));
  TReplaceOptions expectA;
  expectA.ExpectedFile = &examined;
  // Another file takes the name after the look: it stays.
  std::filesystem::rename(a, dir / "a.old");
  test::WriteFileBytes(a, "someone else's");
  EXPECT_EQ(ReplaceFileContents(a, "answer", expectA).FailedStep, TReplaceStep::Changed);
  EXPECT_EQ(test::ReadFileBytes(a), "someone else's");
  std::filesystem::rename(dir / "a.old", a);
  // Rewritten in place meanwhile: the same file, but no longer what was examined.
  TReplaceOptions unchangedA = expectA;
  unchangedA.ExpectUnchanged = true;
  test::WriteFileBytes(a, "examined, and more");
  EXPECT_EQ(ReplaceFileContents(a, "answer", unchangedA).FailedStep, TReplaceStep::Changed);
  EXPECT_EQ(ReplaceFileContents(a, "answer", expectA).FailedStep, TReplaceStep::None);
  EXPECT_EQ(test::ReadFileBytes(a), "answer");

  // A new file goes only where nothing stands, not even a link that leads nowhere.
  TReplaceOptions expectNew;
  expectNew.ExpectNew = true;
  std::filesystem::create_symlink("nowhere", dir / "dangling");
  EXPECT_EQ(ReplaceFileContents(a, "x", expectNew).FailedStep, TReplaceStep::Changed);
  EXPECT_EQ(ReplaceFileContents((dir / "dangling").string(), "x", expectNew).FailedStep,
            TReplaceStep::Changed);
  EXPECT_EQ(ReplaceFileContents((dir / "new").string(), "fresh", expectNew).FailedStep,
            TReplaceStep::None);
  EXPECT_EQ(test::ReadFileBytes(dir / "new"), "fresh");
  EXPECT_EQ(Listing(dir.Path()), (std::vector<std::string>{"a", "dangling", "new"}));
}

TEST(ReplacingFiles, AFullDiskLeavesTheFileAsItWasAndTheErrorNamesIt) {
  test::TempDir dir;
  const std::string old = "[Keep]\r\nthis=as it was\r\n";
  const String name = dir.Str("full.ini");
  const std::function<void()> writers[] = {
      [&] {
        TMemIniFile ini(name);
        for (int i = 0; i < 2000; ++i)
          ini.WriteInteger(Format(u"Section%d", {i}), u"k", i);
        ini.UpdateFile();
      },
      [&] {
        TStringList list;
        list.Add(u"a longer text than the disk takes");
        list.SaveToFile(name);
      },
      [&] {
        TMemoryStream m;
        m.WriteBuffer("0123456789", 10);
        m.SaveToFile(name);
      },
  };
  for (const auto &write : writers) {
    test::WriteFileBytes(dir / "full.ini", old);
    TDiskFullForTesting full(5);
    try {
      write();
      ADD_FAILURE() << "no exception";
    } catch (const EWriteError &e) {
      EXPECT_EQ(e.Message(), u"Cannot write file \"" + name + u"\". " + SysErrorMessage(ENOSPC) +
                                 u" The file is left as it was.");
    }
    EXPECT_EQ(test::ReadFileBytes(dir / "full.ini"), old);
    EXPECT_EQ(Listing(dir.Path()), std::vector<std::string>{"full.ini"});
  }
}

TEST(ReplacingFiles, TheModeAndALinkStayAndTheTargetGetsTheContent) {
  test::TempDir dir;
  std::filesystem::create_directory(dir / "real");
  test::WriteFileBytes(dir / "real" / "t.txt", "old");
  ::chmod((dir / "real" / "t.txt").c_str(), 0640);
  std::filesystem::create_symlink("real/t.txt", dir / "link.txt");
  SaveFileAtomically(dir.Str("link.txt"), "new");
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.txt"));
  EXPECT_EQ(test::ReadFileBytes(dir / "real" / "t.txt"), "new");
  struct stat st;
  ASSERT_EQ(::stat((dir / "real" / "t.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(Listing(dir / "real"), std::vector<std::string>{"t.txt"});
}

TEST(ReplacingFiles, AFolderThatTakesNoNewFileGetsTheFileRewrittenInPlace) {
  test::TempDir dir;
  std::filesystem::create_directory(dir / "locked");
  test::WriteFileBytes(dir / "locked" / "f.ini", "a much longer old content");
  ::chmod((dir / "locked" / "f.ini").c_str(), 0666);
  const std::string file = (dir / "locked" / "f.ini").string();
  const int code = test::RunWithoutPrivileges(dir.Path(), [&] {
    if (::chmod((dir / "locked").c_str(), 0555) != 0)
      return 1;
    const TReplaceResult r = ReplaceFileContents(file, "short");
    const TReplaceResult refused = ReplaceFileContents(file + ".new", "x");
    return r.FailedStep == TReplaceStep::None && r.InPlace &&
                   refused.FailedStep == TReplaceStep::Create && refused.Error == EACCES
               ? 0
               : 2;
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(test::ReadFileBytes(file), "short");
}

} // namespace
} // namespace krx
