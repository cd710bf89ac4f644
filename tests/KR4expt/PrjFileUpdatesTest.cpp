#include "KR4expt/PrjFileUpdates.h"

#include "XML/XMLFilers.h"
#include "support/KrxTest.h"

#include <cstdlib>

namespace krx {
namespace {

// The system's Python when present (it starts faster than a shim found first on PATH).
std::string Python() {
  return std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
}

struct TEntry {
  TFileUpdateOperation Op;
  String Name, NewName;
  bool operator==(const TEntry &) const = default;
};

void PrintTo(const TEntry &e, std::ostream *os) {
  *os << int(e.Op) << " " << StringToUtf8(e.Name) << " -> " << StringToUtf8(e.NewName);
}

std::vector<TEntry> Entries(const TProjectFileUpdates &u) {
  std::vector<TEntry> r;
  u.ForEach([&](TFileUpdateOperation op, const String &name, const String &newName) {
    r.push_back({op, name, newName});
  });
  return r;
}

class ProjectUpdatesFromAnIndependentWriter : public ::testing::Test {
protected:
  // The documents are written once for the whole suite.
  static void SetUpTestSuite() {
    if (std::system((Python() + " -c 'import xml.etree.ElementTree' >/dev/null 2>&1").c_str()) != 0)
      return;
    Dir = new test::TempDir;
    std::string cmd = "timeout 60 " + Python() +
                      " '" KRX_SOURCE_DIR "/tests/KR4expt/write_update_docs.py' '" +
                      Dir->Path().string() + "'";
    Written = std::system(cmd.c_str()) == 0;
  }
  static void TearDownTestSuite() {
    delete Dir;
    Dir = nullptr;
  }
  void SetUp() override {
    if (!Dir)
      GTEST_SKIP() << "python3 with xml.etree is not available";
    ASSERT_TRUE(Written);
  }
  std::unique_ptr<TProjectFileUpdates> Load(const std::string &name) {
    auto u = std::make_unique<TProjectFileUpdates>();
    u->LoadFromFile(Dir->Str(name + ".xml"));
    return u;
  }
  static inline test::TempDir *Dir = nullptr;
  static inline bool Written = false;
};

TEST_F(ProjectUpdatesFromAnIndependentWriter, RemovalUndoneByAnAddIsDropped) {
  auto u = Load("remove-then-add");
  EXPECT_EQ(u->Language, lanPascal);
  EXPECT_EQ(u->GetProjectName(), u"C:\\p\\Proj & Co.dproj");
  EXPECT_EQ(Entries(*u), (std::vector<TEntry>{{fuAdd, u"A.PAS", u""},
                                              {fuAdd, u"a.pas", u""},
                                              {fuAdd, u"n\u00e4me \"q\".pas", u""}}));
}

TEST_F(ProjectUpdatesFromAnIndependentWriter, RemovalOfARenameTargetIsDropped) {
  auto u = Load("remove-rename-target");
  EXPECT_EQ(u->Language, lanPascal); // the display name in any case
  EXPECT_EQ(u->GetProjectName(), u"");
  EXPECT_EQ(Entries(*u), (std::vector<TEntry>{{fuRename, u"x.pas", u"b.pas"}}));
}

TEST_F(ProjectUpdatesFromAnIndependentWriter, RenameSourceDoesNotCancelARemoval) {
  auto u = Load("remove-rename-source");
  EXPECT_EQ(u->Language, lanUndefined); // "Pascal" is no display name
  EXPECT_EQ(Entries(*u), (std::vector<TEntry>{{fuRemove, u"c.pas", u""},
                                              {fuRename, u"c.pas", u"d.pas"},
                                              // "move" is skipped; names that differ in
                                              // case are two files
                                              {fuRemove, u"\u00c4.pas", u""},
                                              {fuAdd, u"\u00e4.pas", u""}}));
}

TEST(ProjectFileUpdates, NewDocumentAndOperations) {
  TProjectFileUpdates u;
  EXPECT_EQ(u.Language, lanPascal);
  ASSERT_NE(u.Root(), nullptr);
  EXPECT_EQ(u.Root()->Name(), u"Files");
  EXPECT_EQ(u.Root()->Attributes().Values(u"language"), u"Object Pascal");
  EXPECT_TRUE(Entries(u).empty());
  TFileUpdateOperation op = fuAdd;
  EXPECT_TRUE(TProjectFileUpdates::ParseOperation(u"RENAME", op));
  EXPECT_EQ(op, fuRename);
  EXPECT_FALSE(TProjectFileUpdates::ParseOperation(u"move", op));
}

TEST(ProjectFileUpdates, DocumentsWithoutElementsAreRefused) {
  test::TempDir dir;
  for (const char *text : {"", "<?xml version=\"1.0\"?>\r\n<!-- nothing -->\r\n"}) {
    test::WriteFileBytes(dir / "u.xml", text);
    TProjectFileUpdates u;
    EXPECT_THROW(u.LoadFromFile(dir.Str("u.xml")), EKRXMLException) << text;
    EXPECT_EQ(u.Root(), nullptr);
    EXPECT_TRUE(Entries(u).empty());
    EXPECT_EQ(u.GetProjectName(), u"");
  }
}

TEST(ProjectFileUpdates, MalformedAndMissingFilesRaiseAndLeaveNoRoot) {
  test::TempDir dir;
  test::WriteFileBytes(dir / "bad.xml", "<Files><File operation='add' name='a.pas'></Files>");
  TProjectFileUpdates u;
  EXPECT_THROW(u.LoadFromFile(dir.Str("bad.xml")), EKRXMLException);
  EXPECT_EQ(u.Root(), nullptr);
  EXPECT_TRUE(Entries(u).empty());
  EXPECT_THROW(u.LoadFromFile(dir.Str("missing.xml")), EFOpenError);
}

TEST(ProjectFileUpdates, FinderReportsHowANameOccurs) {
  test::TempDir dir;
  test::WriteFileBytes(dir / "u.xml", "<Files language='Object Pascal'>"
                                      "<File operation='rename' name='old.pas' newname='new.pas'/>"
                                      "<File operation='remove' name='gone.pas'/></Files>");
  TProjectFileUpdates u;
  u.LoadFromFile(dir.Str("u.xml"));
  TFileFinder finder(u);
  EXPECT_EQ(finder.Find(u"new.pas"), TFileUpdateOperations{fuAdd});
  EXPECT_TRUE(finder.Find(u"NEW.pas").Empty()); // another file
  EXPECT_EQ(finder.Find(u"old.pas"), TFileUpdateOperations{fuRemove});
  EXPECT_EQ(finder.Find(u"gone.pas"), TFileUpdateOperations{fuRemove});
  EXPECT_TRUE(finder.Find(u"other.pas").Empty());
  EXPECT_EQ(finder.FileName, u"other.pas");
}

} // namespace
} // namespace krx
