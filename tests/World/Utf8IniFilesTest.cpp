#include "World/Utf8IniFiles.h"

#include "World/ClassEx.h"
#include "support/KrxTest.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace krx {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

TEST(Utf8IniFile, WithoutSectionsIsTheMarkAndOneEmptyLine) {
  TempDir dir;
  TUtf8IniFile ini(dir.Str("empty.ini"));
  ini.UpdateFile();
  EXPECT_EQ(ReadFileBytes(dir / "empty.ini"), "\xEF\xBB\xBF\r\n");
}

TEST(Utf8IniFile, WritesTheExactLayout) {
  TempDir dir;
  TUtf8IniFile ini(dir.Str("a.ini"));
  ini.WriteString(u"Files", u"Count", u"2");
  ini.WriteString(u"Files", u"File1", u"C:\\Src\\\u00c4rger.pas");
  ini.WriteString(u"Status", u"Complete", u"1");
  ini.WriteString(u"Files", u"Count", u"3"); // replaced in place
  EXPECT_TRUE(ini.Modified());
  ini.UpdateFile();
  EXPECT_FALSE(ini.Modified());
  EXPECT_EQ(ReadFileBytes(dir / "a.ini"), "\xEF\xBB\xBF\r\n"
                                          "[Files]\r\n"
                                          "Count=3\r\n"
                                          "File1=C:\\Src\\\xC3\x84rger.pas\r\n"
                                          "\r\n"
                                          "[Status]\r\n"
                                          "Complete=1\r\n"
                                          "\r\n");
}

TEST(Utf8IniFile, RoundTripsNonAsciiText) {
  TempDir dir;
  const String values[] = {u"caf\u00e9", u"\u4e2d\u6587", u"\u263a \U0001F600", u"a=b;c"};
  {
    TUtf8IniFile ini(dir.Str("r.ini"));
    for (int i = 0; i < 4; ++i)
      ini.WriteString(u"S\u00e9ction", u"K" + IntToStr(i), values[i]);
    ini.UpdateFile();
  }
  TUtf8IniFile back(dir.Str("r.ini"));
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(back.ReadString(u"s\u00e9ction", u"k" + IntToStr(i), u"?"), values[i]);
  // Writing again gives the same bytes.
  const std::string before = ReadFileBytes(dir / "r.ini");
  back.UpdateFile();
  EXPECT_EQ(ReadFileBytes(dir / "r.ini"), before);
}

// An independent reader: Python's configparser with the utf-8-sig codec.
TEST(Utf8IniFile, PythonConfigParserReadsTheFile) {
  TempDir dir;
  {
    TUtf8IniFile ini(dir.Str("py.ini"));
    ini.WriteString(u"Files", u"count", u"2");
    ini.WriteString(u"Files", u"file1", u"/src/\u00c4rger.pas");
    ini.WriteString(u"Files", u"file2", u"\u4e2d\u6587.pas");
    ini.WriteString(u"Status", u"complete", u"1");
    ini.UpdateFile();
  }
  const std::string script =
      "import configparser,sys\n"
      "c=configparser.ConfigParser(interpolation=None)\n"
      "c.read(sys.argv[1],encoding='utf-8-sig')\n"
      "for s in c.sections():\n"
      "  for k,v in c.items(s):\n"
      "    sys.stdout.buffer.write(('%s|%s|%s\\n'%(s,k,v)).encode('utf-8'))\n";
  test::WriteFileBytes(dir / "read.py", script);
  const std::string cmd =
      "python3 '" + (dir / "read.py").string() + "' '" + (dir / "py.ini").string() + "' 2>&1";
  FILE *p = ::popen(cmd.c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::string out;
  char buf[512];
  while (std::size_t n = std::fread(buf, 1, sizeof buf, p))
    out.append(buf, n);
  const int status = ::pclose(p);
  if (status != 0 && out.find("not found") != std::string::npos)
    GTEST_SKIP() << "python3 is not installed";
  ASSERT_EQ(status, 0) << out;
  EXPECT_EQ(out, "Files|count|2\n"
                 "Files|file1|/src/\xC3\x84rger.pas\n"
                 "Files|file2|\xE4\xB8\xAD\xE6\x96\x87.pas\n"
                 "Status|complete|1\n");
}

TEST(Utf8IniFile, RefusedEncodingIsReportedAndTheFileKept) {
  TempDir dir;
  const std::string utf32("\xFF\xFE\0\0[\0\0\0A\0\0\0]\0\0\0", 16);
  WriteFileBytes(dir / "u32.ini", utf32);
  try {
    TUtf8IniFile ini(dir.Str("u32.ini"));
    ini.UpdateFile();
    FAIL() << "no exception";
  } catch (const EUnsupportedTextEncoding &e) {
    EXPECT_EQ(e.Message(), u"Unsupported text encoding (UTF-32) of the file \"" +
                               dir.Str("u32.ini") + u"\"; it is left as it is");
  }
  EXPECT_EQ(ReadFileBytes(dir / "u32.ini"), utf32);
  WriteFileBytes(dir / "u32be.ini", std::string("\0\0\xFE\xFF\0\0\0[", 8));
  EXPECT_THROW(TUtf8IniFile(dir.Str("u32be.ini")), EUnsupportedTextEncoding);
}

TEST(Utf8IniFile, ReadsAnsiAndUtf16Files) {
  TempDir dir;
  WriteFileBytes(dir / "ansi.ini", "[S]\r\nk=caf\xE9\r\n");
  EXPECT_EQ(TUtf8IniFile(dir.Str("ansi.ini")).ReadString(u"S", u"k", u""), u"caf\u00e9");
  WriteFileBytes(dir / "u16.ini", std::string("\xFF\xFE[\0S\0]\0\n\0k\0=\0\xE9\0", 16));
  EXPECT_EQ(TUtf8IniFile(dir.Str("u16.ini")).ReadString(u"S", u"k", u""), u"\u00e9");
}

TEST(Utf8IniFile, UnmarkedUtf8IsReadAsUtf8AndWrittenBackOnce) {
  TempDir dir;
  WriteFileBytes(dir / "u8.ini", "[S]\r\nk=Gr\xC3\xBC\xC3\x9F" "e\r\n");
  TUtf8IniFile ini(dir.Str("u8.ini"));
  EXPECT_EQ(ini.ReadString(u"S", u"k", u""), u"Gr\u00FC\u00DFe");
  ini.UpdateFile();
  EXPECT_EQ(ReadFileBytes(dir / "u8.ini"), "\xEF\xBB\xBF\r\n[S]\r\nk=Gr\xC3\xBC\xC3\x9F" "e\r\n\r\n");
}

TEST(Utf8IniFile, UnwritableFileRaisesAndStaysModified) {
  TempDir dir;
  TUtf8IniFile ini(dir.Str("no/such/dir/x.ini"));
  ini.WriteString(u"S", u"k", u"v");
  EXPECT_THROW(ini.UpdateFile(), EFCreateError);
  EXPECT_TRUE(ini.Modified());
}

} // namespace
} // namespace krx
