#include "Platform/Rtl/IniFiles.h"
#include "support/KrxTest.h"

#include <gtest/gtest.h>

#include <fstream>

namespace krx {
namespace {

// The file of tests/fixtures/fpc/inifile_probe.pas, whose recorded output is
// inifile_probe.out. Where the original class library differs from Free Pascal, the test
// says so and follows the original.
const char *const kProbeFile = "orphan=1\r\n"
                               "  [First]  \r\n"
                               "; comment=1\r\n"
                               "  Key1 =  value one  \r\n"
                               "\r\n"
                               "key2=2\r\n"
                               "novalue\r\n"
                               "hex=0x1F\r\n"
                               "dollar=$10\r\n"
                               "bad=12a\r\n"
                               "booltrue=True\r\n"
                               "booltwo=2\r\n"
                               "boolminus=-1\r\n"
                               "[Empty]\r\n"
                               "[second]\n"
                               "a=1\n"
                               "A=2\n"
                               "[first]\r\n"
                               "again=3\r\n"
                               "[ Padded ]\r\n"
                               "p=1\r\n";

// The probe's escaping: '#' and the decimal code for characters below 32, '#' and '|'.
std::string Esc(const String &s) {
  std::string out;
  for (Char c : s) {
    if (c < 32 || c == u'#' || c == u'|')
      out += "#" + std::to_string(c);
    else
      out += StringToUtf8(String(1, c));
  }
  return out;
}

std::string Items(const TStrings &list) {
  std::string out = std::to_string(list.Count()) + ":";
  for (const String &s : list)
    out += "|" + Esc(s);
  return out;
}

// The line of the probe's output that starts with `key`.
std::string ProbeLine(const std::string &key) {
  std::ifstream in(test::Fixture("fpc/inifile_probe.out"));
  for (std::string line; std::getline(in, line);)
    if (line.rfind(key + " ", 0) == 0)
      return line;
  return "(no line " + key + ")";
}

class IniFileProbe : public ::testing::Test {
protected:
  void SetUp() override { test::WriteFileBytes(Dir / "probe.ini", kProbeFile); }
  test::TempDir Dir;
};

TEST_F(IniFileProbe, ReadingMatchesTheProbe) {
  TMemIniFile ini(Dir.Str("probe.ini"));
  TStringList list;
  ini.ReadSection(u"Second", list);
  EXPECT_EQ("section second " + Items(list), ProbeLine("section second"));
  EXPECT_EQ("read key1 " + Esc(ini.ReadString(u"first", u"KEY1", u"def")), ProbeLine("read key1"));
  EXPECT_EQ("read orphan " + Esc(ini.ReadString(u"", u"orphan", u"def")), ProbeLine("read orphan"));
  EXPECT_EQ("read comment " + Esc(ini.ReadString(u"first", u"; comment", u"def")),
            ProbeLine("read comment"));
  EXPECT_EQ("read a " + Esc(ini.ReadString(u"second", u"a", u"def")), ProbeLine("read a"));
  EXPECT_EQ("read missing " + Esc(ini.ReadString(u"nosuch", u"a", u"def")),
            ProbeLine("read missing"));
  EXPECT_EQ("int hex " + std::to_string(ini.ReadInteger(u"first", u"hex", -7)) + " dollar " +
                std::to_string(ini.ReadInteger(u"first", u"dollar", -7)) + " bad " +
                std::to_string(ini.ReadInteger(u"first", u"bad", -7)) + " missing " +
                std::to_string(ini.ReadInteger(u"first", u"missing", -7)),
            ProbeLine("int hex"));
  auto b = [](bool v) { return std::string(v ? "TRUE" : "FALSE"); };
  EXPECT_EQ("sectionexists first " + b(ini.SectionExists(u"FIRST")) + " empty " +
                b(ini.SectionExists(u"Empty")) + " nosuch " + b(ini.SectionExists(u"nosuch")),
            ProbeLine("sectionexists"));
  EXPECT_EQ("valueexists key2 " + b(ini.ValueExists(u"first", u"KEY2")) + " novalue " +
                b(ini.ValueExists(u"first", u"novalue")) + " missing " +
                b(ini.ValueExists(u"first", u"missing")),
            ProbeLine("valueexists"));

  // Booleans are integers: any but 0 is True, a text that is no integer gives the default
  // (Free Pascal takes only "1" and "0").
  EXPECT_FALSE(ini.ReadBool(u"first", u"booltrue", false));
  EXPECT_TRUE(ini.ReadBool(u"first", u"booltwo", false));
  EXPECT_TRUE(ini.ReadBool(u"first", u"boolminus", false));
  EXPECT_TRUE(ini.ReadBool(u"first", u"missing", true));
}

TEST_F(IniFileProbe, SectionNamesAreTrimmedAndARepeatedSectionIsOne) {
  // The original trims section names; Free Pascal keeps " Padded ". A section repeated
  // later in the file ("[first]" after "[First]") continues the first one here; Free Pascal
  // keeps two sections and the second one's keys cannot be read.
  TMemIniFile ini(Dir.Str("probe.ini"));
  TStringList list;
  ini.ReadSections(list);
  EXPECT_EQ(Items(list), "4:|First|Empty|second|Padded");
  EXPECT_EQ(ini.ReadString(u"padded", u"P", u"def"), u"1");
  EXPECT_EQ(ini.ReadString(u"First", u"again", u"def"), u"3");
  ini.ReadSectionValues(u"first", list);
  // Comments are dropped (Free Pascal keeps them in the section); blanks around the first
  // '=' go; a line without '=' stays as it is.
  EXPECT_EQ(Items(list), "10:|Key1=value one|key2=2|novalue|hex=0x1F|dollar=$10|bad=12a|"
                         "booltrue=True|booltwo=2|boolminus=-1|again=3");
  ini.ReadSection(u"first", list);
  EXPECT_EQ(list.Get(2), u""); // the name of "novalue"
}

TEST_F(IniFileProbe, WritingKeepsOrderAndReplacesInPlace) {
  TMemIniFile ini(Dir.Str("probe.ini"));
  EXPECT_FALSE(ini.Modified());
  ini.WriteString(u"First", u"KEY2", u"replaced");
  ini.WriteString(u"first", u"new", u"added");
  ini.WriteString(u"Third", u"x", u"  spaced  ");
  ini.WriteInteger(u"third", u"i", -42);
  ini.WriteBool(u"third", u"t", true);
  ini.WriteBool(u"third", u"f", false);
  ini.DeleteKey(u"first", u"HEX");
  ini.EraseSection(u"SECOND");
  EXPECT_TRUE(ini.Modified());
  TStringList list;
  ini.GetStrings(list);
  // The key is written as the writer spelled it (Free Pascal keeps "key2"); a blank line
  // follows every section, the last one included (Free Pascal: not after the last).
  EXPECT_EQ(Items(list), "23:|[First]|Key1=value one|KEY2=replaced|novalue|dollar=$10|bad=12a|"
                         "booltrue=True|booltwo=2|boolminus=-1|again=3|new=added||[Empty]||"
                         "[Padded]|p=1||[Third]|x=  spaced  |i=-42|t=1|f=0|");
  // Nothing reaches the file before UpdateFile.
  EXPECT_EQ(test::ReadFileBytes(Dir / "probe.ini"), kProbeFile);
  ini.UpdateFile();
  EXPECT_FALSE(ini.Modified());
  // Lines end in CR LF (Free Pascal on Linux: LF); a file without a byte-order mark was
  // read as ANSI and is written as ANSI.
  EXPECT_EQ(test::ReadFileBytes(Dir / "probe.ini"), StringToUtf8(list.Text()));
  TMemIniFile again(Dir.Str("probe.ini"));
  EXPECT_EQ(again.ReadString(u"third", u"x", u""), u"spaced"); // values are trimmed on reading
  EXPECT_EQ(again.ReadInteger(u"Third", u"I", 0), -42);
  EXPECT_TRUE(again.ReadBool(u"third", u"t", false));
  EXPECT_FALSE(again.ReadBool(u"third", u"f", true));
}

TEST(IniFile, EncodingIsDetectedAndKeptForSaving) {
  test::TempDir dir;
  test::WriteFileBytes(dir / "bom.ini", "\xEF\xBB\xBF[S]\r\nk=caf\xC3\xA9\r\n");
  TMemIniFile ini(dir.Str("bom.ini"));
  EXPECT_EQ(ini.ReadString(u"S", u"k", u""), u"caf\u00E9");
  EXPECT_EQ(ini.Encoding(), TEncoding::UTF8());
  ini.WriteString(u"S", u"k", u"\u4E2D");
  ini.UpdateFile();
  EXPECT_EQ(test::ReadFileBytes(dir / "bom.ini"), "\xEF\xBB\xBF[S]\r\nk=\xE4\xB8\xAD\r\n\r\n");

  test::WriteFileBytes(dir / "utf16.ini", std::string("\xFF\xFE[\0S\0]\0\n\0k\0=\0\xE9\0", 16));
  TMemIniFile utf16(dir.Str("utf16.ini"));
  EXPECT_EQ(utf16.ReadString(u"s", u"K", u""), u"\u00E9");
  EXPECT_EQ(utf16.Encoding(), TEncoding::Unicode());

  test::WriteFileBytes(dir / "ansi.ini", "[S]\r\nk=\x80\r\n");
  TMemIniFile ansi(dir.Str("ansi.ini"));
  EXPECT_EQ(ansi.ReadString(u"S", u"k", u""), u"\u20AC");

  // An encoding given at creation is used for reading and saving.
  TMemIniFile given(dir.Str("ansi.ini"), TEncoding::UTF8());
  EXPECT_EQ(given.ReadString(u"S", u"k", u""), u"\uFFFD");
  given.SetEncoding(TEncoding::Unicode());
  given.Rename(dir.Str("out.ini"), false);
  given.UpdateFile();
  EXPECT_EQ(test::ReadFileBytes(dir / "out.ini").substr(0, 4), std::string("\xFF\xFE[\0", 4));
}

TEST(IniFile, MissingFileIsEmptyAndNotCreated) {
  test::TempDir dir;
  TMemIniFile ini(dir.Str("missing.ini"));
  TStringList list;
  ini.ReadSections(list);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_FALSE(std::filesystem::exists(dir / "missing.ini"));
  ini.WriteString(u"A", u"b", u"c");
  ini.UpdateFile();
  EXPECT_EQ(test::ReadFileBytes(dir / "missing.ini"), "[A]\r\nb=c\r\n\r\n");
  // A directory is no ini file.
  std::filesystem::create_directory(dir / "folder.ini");
  TMemIniFile folder(dir.Str("folder.ini"));
  EXPECT_FALSE(folder.SectionExists(u"A"));
  EXPECT_THROW(folder.UpdateFile(), EFCreateError);
}

TEST(IniFile, SetStringsClearAndCaseSensitivity) {
  TMemIniFile ini(u"");
  TStringList lines;
  lines.SetText(u"[A]\r\nkey=1\r\n[]\r\nempty=2\r\n[unclosed\r\nx=3");
  ini.SetStrings(lines);
  EXPECT_EQ(ini.ReadString(u"a", u"KEY", u""), u"1");
  EXPECT_EQ(ini.ReadString(u"", u"empty", u""), u"2");
  // "[unclosed" is no section header but a line of the section before.
  EXPECT_EQ(ini.ReadString(u"", u"x", u""), u"3");
  ini.SetCaseSensitive(true);
  EXPECT_EQ(ini.ReadString(u"a", u"key", u"def"), u"def");
  EXPECT_EQ(ini.ReadString(u"A", u"KEY", u"def"), u"def");
  EXPECT_EQ(ini.ReadString(u"A", u"key", u"def"), u"1");
  ini.Clear();
  EXPECT_FALSE(ini.SectionExists(u"A"));
}

// Deleting shifts what comes after; the lookups must follow, and of two names that compare
// equal once case no longer counts, the first is the one found.
TEST(IniFile, LookupsFollowDeletionsAndCaseChanges) {
  TMemIniFile ini(u"", nullptr, true);
  TStringList lines;
  lines.SetText(u"[A]\r\nk1=1\r\nk2=2\r\nK2=3\r\n[a]\r\nx=4\r\n[B]\r\ny=5");
  ini.SetStrings(lines);
  ini.DeleteKey(u"A", u"k1");
  EXPECT_EQ(ini.ReadString(u"A", u"k2", u""), u"2");
  ini.EraseSection(u"A");
  EXPECT_EQ(ini.ReadString(u"a", u"x", u""), u"4");
  EXPECT_EQ(ini.ReadString(u"B", u"y", u""), u"5");
  ini.SetStrings(lines);
  ini.SetCaseSensitive(false);
  EXPECT_EQ(ini.ReadString(u"a", u"K2", u""), u"2");
  EXPECT_EQ(ini.ReadString(u"A", u"x", u"none"), u"none");
  ini.WriteString(u"b", u"Y", u"6");
  EXPECT_EQ(ini.ReadString(u"B", u"y", u""), u"6");
}

} // namespace
} // namespace krx
