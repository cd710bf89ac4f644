#include "KR4expt/KRBatchCmds.h"
#include "KR4expt/TransferFiles.h"

#include "Common/KRX.Exceptions.h"
#include "Platform/Rtl/Files.h"

#include "support/KrxTest.h"

#include <atomic>
#include <fstream>
#include <functional>
#include <map>
#include <thread>

namespace krx {
namespace {

const std::string BOM = "\xEF\xBB\xBF";

std::unique_ptr<TStringList> Lines(std::initializer_list<String> items) {
  auto list = std::make_unique<TStringList>();
  for (auto &s : items)
    list->Add(s);
  return list;
}

TEST(TransferFile, ListThenReadyMarkByteExact) {
  test::TempDir dir;
  const String f = dir.Str("transfer.ini");
  auto list = Lines({u"C:\\a b\\x.pas", u"D:\\\u00fcber\\y.pas"});
  WriteTransferFileList(f, u"ProjectFiles", *list);
  EXPECT_EQ(test::ReadFileBytes(dir / "transfer.ini"),
            BOM + "\r\n[ProjectFiles]\r\nFileCount=2\r\nFile_0=C:\\a b\\x.pas\r\n"
                  "File_1=D:\\\xC3\xBC"
                  "ber\\y.pas\r\n\r\n");
  SignalTransferReady(f);
  EXPECT_EQ(test::ReadFileBytes(dir / "transfer.ini"),
            BOM + "\r\n[ProjectFiles]\r\nFileCount=2\r\nFile_0=C:\\a b\\x.pas\r\n"
                  "File_1=D:\\\xC3\xBC"
                  "ber\\y.pas\r\n\r\n[TransferControl]\r\nTransferReady=1\r\n\r\n");
}

TEST(TransferFile, EmptyListAndKeysOfAnEarlierAnswerStay) {
  test::TempDir dir;
  test::WriteFileBytes(dir / "t.ini", "[EditorFiles]\r\nFileCount=6\r\nFile_5=old.pas\r\n");
  const String f = dir.Str("t.ini");
  WriteTransferFileList(f, u"EditorFiles", TStringList());
  SignalTransferReady(f);
  EXPECT_EQ(test::ReadFileBytes(dir / "t.ini"),
            BOM + "\r\n[EditorFiles]\r\nFileCount=0\r\n"
                  "File_5=old.pas\r\n\r\n[TransferControl]\r\nTransferReady=1\r\n\r\n");
}

TEST(TransferFile, ReadyMarkIsNeverVisibleBeforeTheListIsComplete) {
  test::TempDir dir;
  const auto path = dir / "t.ini";
  const String f = dir.Str("t.ini");
  TStringList list;
  for (int i = 0; i < 800; ++i)
    list.Add(Format(u"C:\\project\\source\\unit_with_a_long_name_%d.pas", {i}));
  const std::string lastLine = "File_799=C:\\project\\source\\unit_with_a_long_name_799.pas";
  std::atomic<bool> done{false};
  std::atomic<int> early{0}, seenReady{0};
  std::thread reader([&] {
    // The last read comes after the last round, so at least one ready mark is seen.
    for (bool last = false; !last;) {
      last = done;
      std::string bytes = test::ReadFileBytes(path);
      if (bytes.find("TransferReady=1") != std::string::npos) {
        ++seenReady;
        if (bytes.find(lastLine) == std::string::npos)
          ++early;
      }
    }
  });
  for (int round = 0; round < 10; ++round) {
    // The requester prepares the file with the control section first, as it may (replacing
    // it whole, so that the reader never sees a mix of two rounds).
    test::WriteFileBytes(dir / "prepared", "[TransferControl]\r\nTransferReady=0\r\n");
    std::filesystem::rename(dir / "prepared", path);
    WriteTransferFileList(f, u"ProjectFiles", list);
    SignalTransferReady(f);
  }
  done = true;
  reader.join();
  EXPECT_EQ(early, 0);
  EXPECT_GE(seenReady, 1);
  const std::string final = test::ReadFileBytes(path);
  EXPECT_NE(final.find("[TransferControl]\r\nTransferReady=1\r\n"), std::string::npos);
  EXPECT_NE(final.find(lastLine), std::string::npos);
}

TEST(TransferFile, UnwritableFileRaisesAndLeavesNoTemporaryFile) {
  test::TempDir dir;
  const String f = dir.Str("missing-folder/t.ini");
  EXPECT_THROW(WriteTransferFileList(f, u"ProjectFiles", *Lines({u"a"})), EFileStreamError);
  EXPECT_THROW(SignalTransferReady(f), EFileStreamError);
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

TEST(TransferFile, ALinkStaysALinkAndTheFileKeepsItsMode) {
  test::TempDir dir;
  std::filesystem::create_directory(dir / "kestrune");
  test::WriteFileBytes(dir / "kestrune" / "t.ini", "[TransferControl]\r\nTransferReady=0\r\n");
  std::filesystem::permissions(dir / "kestrune" / "t.ini", std::filesystem::perms(0640));
  std::filesystem::create_symlink(dir / "kestrune" / "t.ini", dir / "link.ini");
  WriteTransferFileList(dir.Str("link.ini"), u"ProjectFiles", *Lines({u"a.pas"}));
  SignalTransferReady(dir.Str("link.ini"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.ini"));
  EXPECT_EQ(test::ReadFileBytes(dir / "kestrune" / "t.ini"),
            BOM + "\r\n[TransferControl]\r\nTransferReady=1\r\n\r\n[ProjectFiles]\r\n"
                  "FileCount=1\r\nFile_0=a.pas\r\n\r\n");
  EXPECT_EQ(std::filesystem::status(dir / "kestrune" / "t.ini").permissions(),
            std::filesystem::perms(0640));
}

TEST(TransferFile, AFolderThatTakesNoNewFileStillGetsTheListAndTheMark) {
  test::TempDir dir;
  std::filesystem::create_directory(dir / "locked");
  const auto path = dir / "locked" / "t.ini";
  test::WriteFileBytes(path, "[ProjectFiles]\r\nFileCount=0\r\n");
  std::filesystem::permissions(path, std::filesystem::perms(0666));
  const int code = test::RunWithoutPrivileges(dir.Path(), [&] {
    std::filesystem::permissions(dir / "locked", std::filesystem::perms(0555));
    WriteTransferFileList(Utf8ToString(path.string()), u"ProjectFiles", *Lines({u"a.pas"}));
    SignalTransferReady(Utf8ToString(path.string()));
    return 0;
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(test::ReadFileBytes(path), BOM + "\r\n[ProjectFiles]\r\n"
                                             "FileCount=1\r\nFile_0=a.pas\r\n\r\n"
                                             "[TransferControl]\r\nTransferReady=1\r\n\r\n");
}

// What stands under each name of a folder: the link target, "dir", "fifo" or the bytes.
std::map<std::string, std::string> Snapshot(const std::filesystem::path &dir) {
  namespace fs = std::filesystem;
  std::map<std::string, std::string> out;
  for (const auto &e : fs::directory_iterator(dir)) {
    const fs::file_status st = fs::symlink_status(e.path());
    out[e.path().filename().string()] = fs::is_symlink(st)
                                            ? "-> " + fs::read_symlink(e.path()).string()
                                        : fs::is_directory(st) ? "dir"
                                        : fs::is_fifo(st)      ? "fifo"
                                                               : test::ReadFileBytes(e.path());
  }
  return out;
}

TEST(TransferFile, OnlyANewFileOrAnEarlierAnswerTakesTheAnswer) {
  namespace fs = std::filesystem;
  test::TempDir dir;
  const std::string answer = "[TransferControl]\r\nTransferReady=0\r\n";
  test::WriteFileBytes(dir / "unit.pas", "unit A;\r\n[EditorFiles]\r\nend.\r\n");
  test::WriteFileBytes(dir / "hive.reg", "Windows Registry Editor Version 5.00\r\n\r\n"
                                         "[HKEY_CURRENT_USER\\X]\r\n\"a\"=\"1\"\r\n");
  test::WriteFileBytes(dir / "noted.ini", "; kept by hand\r\n" + answer);
  test::WriteFileBytes(dir / "plain.ini", "[TransferControl]\r\nno value here\r\n");
  test::WriteFileBytes(dir / "settings.ini", "[Options]\r\nA=1\r\n");
  test::WriteFileBytes(dir / "before.ini", "A=1\r\n" + answer); // a line the rewrite drops
  fs::create_directory(dir / "folder");
  fs::create_symlink("/dev/null", dir / "device");
  test::MakeFifo(dir / "pipe");
  fs::create_symlink("missing.ini", dir / "dangling");
  fs::create_symlink("loop", dir / "loop");
  {
    std::ofstream big(dir / "big.ini", std::ios::binary);
    big << answer;
  }
  fs::resize_file(dir / "big.ini", MaxReadFileSize + 1); // sparse: costs no disk
  const struct {
    const char *Name, *Why;
  } refused[] = {
      {"unit.pas", "holds something other than an earlier answer"},
      {"hive.reg", "holds something other than an earlier answer"},
      {"noted.ini", "holds something other than an earlier answer"},
      {"plain.ini", "holds something other than an earlier answer"},
      {"settings.ini", "holds something other than an earlier answer"},
      {"before.ini", "holds something other than an earlier answer"},
      {"folder", "is a folder"},
      {"device", "is not a regular file (a FIFO, device or socket)"},
      {"pipe", "is not a regular file (a FIFO, device or socket)"},
      {"dangling", "is a link that does not resolve"},
      {"loop", "is a link that does not resolve"},
      {"big.ini", "is larger than 64 MB"},
  };
  const auto before = Snapshot(dir.Path());
  for (const auto &r : refused) {
    const String name = dir.Str(r.Name);
    const String expected =
        u"The transfer file \"" + name + u"\" " + Utf8ToString(r.Why) + u"; it is left as it is";
    const std::function<void()> writes[] = {
        [&] { CheckTransferTarget(name); },
        [&] { WriteTransferFileList(name, u"ProjectFiles", *Lines({u"a.pas"})); },
        [&] { SignalTransferReady(name); }};
    for (const auto &write : writes) {
      try {
        write();
        ADD_FAILURE() << r.Name << ": no exception";
      } catch (const EKRXException &e) {
        EXPECT_EQ(e.Message(), expected);
      }
    }
  }
  EXPECT_EQ(Snapshot(dir.Path()), before);

  // A new file, an empty one (made ready by the requester) and an earlier answer, also through
  // a link, take it.
  test::WriteFileBytes(dir / "empty.ini", "");
  test::WriteFileBytes(dir / "answer.ini", answer);
  fs::create_symlink("answer.ini", dir / "to-answer");
  for (const char *name : {"new.ini", "empty.ini", "to-answer"}) {
    WriteTransferFileList(dir.Str(name), u"EditorFiles", *Lines({u"a.pas"}));
    SignalTransferReady(dir.Str(name));
    const std::string bytes = test::ReadFileBytes(dir / name);
    EXPECT_NE(bytes.find("FileCount=1\r\nFile_0=a.pas\r\n"), std::string::npos) << name;
    EXPECT_NE(bytes.find("TransferReady=1\r\n"), std::string::npos) << name;
  }
  EXPECT_TRUE(fs::is_symlink(dir / "to-answer"));
}

// What appears under the name between the look and the write stays: another file where a new
// answer was to go, or in place of the earlier answer.
TEST(TransferFile, AFileThatTakesTheNameMeanwhileIsLeftAsItIs) {
  test::TempDir dir;
  const std::string theirs = "theirs";
  TBeforeReplaceForTesting takeTheName([&](const std::string &osName) {
    test::WriteFileBytes(dir / "prepared", theirs);
    std::filesystem::rename(dir / "prepared", osName);
  });
  test::WriteFileBytes(dir / "earlier.ini", "[TransferControl]\r\nTransferReady=0\r\n");
  for (const char *name : {"new.ini", "earlier.ini"}) {
    EXPECT_THROW(WriteTransferFileList(dir.Str(name), u"ProjectFiles", *Lines({u"a.pas"})),
                 EWriteError)
        << name;
    EXPECT_EQ(test::ReadFileBytes(dir / name), theirs) << name;
  }
}

TEST(ExchangeFiles, NamesWithLineBreaksAreRefusedAndNothingIsWritten) {
  test::TempDir dir;
  const String t = dir.Str("t.ini"), b = dir.Str("KRPrjBatch.imp");
  const std::string before = "[Kestrune]\r\nToken=42\r\n";
  test::WriteFileBytes(dir / "t.ini", before);
  test::WriteFileBytes(dir / "KRPrjBatch.imp", before);
  const struct {
    String Name;
    String Shown;
  } cases[] = {{u"a\nb.pas", u"a#10b.pas"}, {u"c\r\n[TransferControl]", u"c#13#10[TransferControl]"}};
  for (const auto &c : cases) {
    try {
      WriteTransferFileList(t, u"ProjectFiles", *Lines({u"ok.pas", c.Name}));
      ADD_FAILURE() << "no exception";
    } catch (const EKRXException &e) {
      EXPECT_EQ(e.Message(), u"The file name \"" + c.Shown +
                                 u"\" holds a line break and cannot be written to \"" + t + u"\"");
    }
    TKRBatchCommand files, project;
    files.AddFile(c.Name);
    project.Project = c.Name;
    EXPECT_THROW(files.SaveToFile(b), EKRXException);
    EXPECT_THROW(project.SaveToFile(b), EKRXException);
  }
  EXPECT_EQ(test::ReadFileBytes(dir / "t.ini"), before);
  EXPECT_EQ(test::ReadFileBytes(dir / "KRPrjBatch.imp"), before);
}

// The batch file is written anew each time: nothing a leftover holds is read or kept, not
// even one the ini reader refuses.
TEST(BatchFile, ByteExactAndWrittenAnewOverAnyLeftover) {
  test::TempDir dir;
  const String f = dir.Str("KRPrjBatch.imp");
  test::WriteFileBytes(dir / "KRPrjBatch.imp", "[Project]\r\nExtra=dropped\r\n");
  TKRBatchCommand batch;
  batch.CreateNewModel = true;
  batch.Project = u"C:\\p\\x.dproj";
  batch.AddFile(u"a.pas");
  batch.AddFile(u"b.pas");
  batch.AddFile(u"a.pas"); // duplicates stay
  EXPECT_EQ(batch.FileCount(), 3);
  batch.SaveToFile(f);
  EXPECT_EQ(test::ReadFileBytes(dir / "KRPrjBatch.imp"),
            BOM + "\r\n[Project]\r\nCreateNewModel=1\r\nVisualizeModules=0\r\n"
                  "Project=C:\\p\\x.dproj\r\n\r\n[Files]\r\nCount=3\r\nFile_0=a.pas\r\n"
                  "File_1=b.pas\r\nFile_2=a.pas\r\n\r\n");
  test::WriteFileBytes(dir / "KRPrjBatch.imp", std::string("\xFF\xFE\0\0[\0\0\0", 8)); // UTF-32
  TKRBatchCommand second;
  second.VisualizeModules = true;
  second.AddFile(u"z.pas");
  second.SaveToFile(f);
  EXPECT_EQ(test::ReadFileBytes(dir / "KRPrjBatch.imp"),
            BOM + "\r\n[Project]\r\nCreateNewModel=0\r\nVisualizeModules=1\r\n"
                  "Project=\r\n\r\n[Files]\r\nCount=1\r\nFile_0=z.pas\r\n\r\n");
}

} // namespace
} // namespace krx
