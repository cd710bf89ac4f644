#include "World/BufTextF.h"
#include "World/TextStrm.h"

#include "support/KrxTest.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace krx {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

std::vector<String> ReadAll(TTextStream &s) {
  std::vector<String> lines;
  while (!s.Eof())
    lines.push_back(s.ReadLine());
  return lines;
}

// ---- TTextString --------------------------------------------------------------------------

TEST(TextString, ReadsLinesEndedByCrLfLoneCrOrLoneLf) {
  TTextString s;
  s.SetText(u"a\r\nb\rc");
  EXPECT_EQ(s.ReadLine(), u"a");
  EXPECT_FALSE(s.LoneLineBreak());
  EXPECT_EQ(s.ReadLine(), u"b");
  EXPECT_TRUE(s.LoneLineBreak());
  EXPECT_EQ(s.ReadLine(), u"c");
  EXPECT_TRUE(s.Eof());
  EXPECT_EQ(s.LineNo(), 3);
  EXPECT_THROW(s.ReadLine(), EReadError);

  s.SetText(String(u"x\ny") + Char(0) + u"z\r\n");
  EXPECT_EQ(ReadAll(s), (std::vector<String>{u"x", String(u"y") + Char(0) + u"z"}));
  s.SetText(u"\r\n\r\n");
  EXPECT_EQ(ReadAll(s), (std::vector<String>{u"", u""}));
}

TEST(TextString, EmptyFileIsAtEofAtOnce) {
  TempDir dir;
  WriteFileBytes(dir / "empty.txt", "");
  TTextString s(dir.Str("empty.txt"));
  EXPECT_TRUE(s.Eof());
  try {
    s.ReadLine();
    FAIL();
  } catch (const EReadError &e) {
    EXPECT_EQ(e.Message(), u"Read beyond end of text");
  }
}

TEST(TextString, ReadsFilesWithDetectionAndRefusesWideEncodings) {
  TempDir dir;
  WriteFileBytes(dir / "u16.txt", std::string("\xFF\xFE"
                                              "a\0\r\0\n\0\xE9\0",
                                              10));
  TTextString s(dir.Str("u16.txt"));
  EXPECT_EQ(s.GetEncoding(), teUtf16LE);
  EXPECT_EQ(ReadAll(s), (std::vector<String>{u"a", u"\u00e9"}));
  WriteFileBytes(dir / "u32.txt", std::string("\xFF\xFE\0\0a\0\0\0", 8));
  EXPECT_THROW(TTextString(dir.Str("u32.txt")), EUnsupportedTextEncoding);
}

TEST(TextString, WritingAppendsAndBaseTextRoutinesSplitAtCrLf) {
  TTextString s;
  s.WriteLine(u"one");
  s.Write(u"two");
  EXPECT_TRUE(s.Eof());
  EXPECT_EQ(s.GetText(), u"one\r\ntwo");
  EXPECT_EQ(s.LineNo(), 1);
  // The base SetText writes pieces with WriteLine: a lone LF stays inside its piece and a
  // trailing CR LF adds no empty line.
  TTextString target;
  target.TTextStream::SetText(u"a\nb\r\nc\r\n");
  EXPECT_EQ(target.GetText(), u"a\nb\r\nc\r\n");
  EXPECT_EQ(target.LineNo(), 2);
  // The base GetText puts CR LF after every line it reads.
  target.SetText(u"x\ry");
  EXPECT_EQ(target.TTextStream::GetText(), u"x\r\ny\r\n");
}

// ---- TBufTextFile -------------------------------------------------------------------------

std::vector<String> ReadFile(const TempDir &dir, const std::string &name, Integer bufSize,
                             TTextEncoding *enc = nullptr) {
  TBufTextFile f(dir.Str(name), btmRead, 0, bufSize);
  auto lines = ReadAll(f);
  if (enc)
    *enc = f.GetEncoding();
  return lines;
}

TEST(BufTextFile, ReadsUtf8AndAnsiByTheirMark) {
  TempDir dir;
  WriteFileBytes(dir / "u8.txt", "\xEF\xBB\xBF"
                                 "caf\xC3\xA9\r\nl2");
  TTextEncoding enc;
  EXPECT_EQ(ReadFile(dir, "u8.txt", 16384, &enc), (std::vector<String>{u"caf\u00e9", u"l2"}));
  EXPECT_EQ(enc, teUtf8);
  // UTF-8 without a mark is read as ANSI.
  WriteFileBytes(dir / "nomark.txt", "caf\xC3\xA9\n");
  EXPECT_EQ(ReadFile(dir, "nomark.txt", 16384, &enc), (std::vector<String>{u"caf\u00c3\u00a9"}));
  EXPECT_EQ(enc, teAnsi);
  WriteFileBytes(dir / "bad.txt", "\xEF\xBB\xBF"
                                  "a\xFF"
                                  "b");
  EXPECT_EQ(ReadFile(dir, "bad.txt", 16384), (std::vector<String>{u"a\ufffdb"}));
  WriteFileBytes(dir / "empty.txt", "");
  EXPECT_TRUE(ReadFile(dir, "empty.txt", 16384).empty());
  WriteFileBytes(dir / "markonly.txt", "\xEF\xBB\xBF");
  EXPECT_TRUE(ReadFile(dir, "markonly.txt", 16384).empty());
}

TEST(BufTextFile, LineBreaksAcrossBufferBoundaries) {
  TempDir dir;
  // Buffer of 4 bytes: "abc" CR | LF "de" ...; the CR LF pair is split across two buffers.
  WriteFileBytes(dir / "split.txt", "abc\r\nde\rf\n\rg\n\nh");
  EXPECT_EQ(ReadFile(dir, "split.txt", 4),
            (std::vector<String>{u"abc", u"de", u"f", u"g", u"", u"h"}));
  // Lines longer than the buffer, and a multi-byte character cut by a buffer boundary.
  const std::string longLine(1000, 'x');
  WriteFileBytes(dir / "long.txt",
                 "\xEF\xBB\xBF" + longLine + "\r\n\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\n");
  for (Integer size : {2, 4, 6, 64, 16384}) {
    EXPECT_EQ(ReadFile(dir, "long.txt", size),
              (std::vector<String>{Utf8ToString(longLine), u"\u20ac\u20ac\u20ac"}))
        << size;
  }
}

TEST(BufTextFile, WritesUtf8WithOneMarkAndCrLf) {
  TempDir dir;
  {
    TBufTextFile f(dir.Str("out.txt"), btmCreate, 0, 8);
    f.WriteLine(u"h\u00e9llo w\u00f6rld");
    f.Write(u"\u20ac");
    EXPECT_EQ(f.LineNo(), 1);
    EXPECT_TRUE(f.Eof());
  }
  EXPECT_EQ(ReadFileBytes(dir / "out.txt"), "\xEF\xBB\xBF"
                                            "h\xC3\xA9llo w\xC3\xB6rld\r\n\xE2\x82\xAC");
  {
    TBufTextFile f(dir.Str("ansi.txt"), btmCreate, 1);
    f.WriteLine(u"\u00e9\u20ac\u4e00");
  }
  EXPECT_EQ(ReadFileBytes(dir / "ansi.txt"), "\xE9\x80?\r\n");
  // Destroyed without any Write: the mark comes only with the first Write.
  { TBufTextFile f(dir.Str("none.txt"), btmCreate); }
  EXPECT_EQ(ReadFileBytes(dir / "none.txt"), "");
}

TEST(BufTextFile, AppendAddsNoSecondMarkAndWriteOverDoesNotTruncate) {
  TempDir dir;
  WriteFileBytes(dir / "a.txt", "\xEF\xBB\xBF"
                                "one\r\n");
  {
    TBufTextFile f(dir.Str("a.txt"), btmAppend);
    f.WriteLine(u"two");
  }
  EXPECT_EQ(ReadFileBytes(dir / "a.txt"), "\xEF\xBB\xBF"
                                          "one\r\ntwo\r\n");
  WriteFileBytes(dir / "w.txt", "0123456789");
  {
    TBufTextFile f(dir.Str("w.txt"), btmWrite, 1);
    f.Write(u"ab");
  }
  EXPECT_EQ(ReadFileBytes(dir / "w.txt"), "ab23456789");
  EXPECT_THROW(TBufTextFile(dir.Str("missing.txt"), btmAppend), EFOpenError);
}

TEST(BufTextFile, ResetInWritingModesTruncatesToWhereWritingBegan) {
  TempDir dir;
  {
    TBufTextFile f(dir.Str("c.txt"), btmCreate, 0, 4);
    f.WriteLine(u"a long first attempt");
    f.Reset();
    EXPECT_EQ(f.LineNo(), 0);
    f.WriteLine(u"new");
  }
  EXPECT_EQ(ReadFileBytes(dir / "c.txt"), "\xEF\xBB\xBF"
                                          "new\r\n");
  WriteFileBytes(dir / "a.txt", "\xEF\xBB\xBF"
                                "keep\r\n");
  {
    TBufTextFile f(dir.Str("a.txt"), btmAppend, 0, 4);
    f.WriteLine(u"discarded text");
    f.Reset();
    f.WriteLine(u"x");
  }
  EXPECT_EQ(ReadFileBytes(dir / "a.txt"), "\xEF\xBB\xBF"
                                          "keep\r\nx\r\n");
}

TEST(BufTextFile, ResetInReadModeRereads) {
  TempDir dir;
  WriteFileBytes(dir / "r.txt", "\xEF\xBB\xBF"
                                "1\r\n2\r\n");
  TBufTextFile f(dir.Str("r.txt"), btmRead, 1, 2);
  EXPECT_EQ(ReadAll(f), (std::vector<String>{u"1", u"2"}));
  f.Reset();
  EXPECT_EQ(f.LineNo(), 0);
  EXPECT_EQ(ReadAll(f), (std::vector<String>{u"1", u"2"}));
  EXPECT_EQ(f.GetText(), u"1\r\n2\r\n");
}

TEST(BufTextFile, IllegalOperationsAndRefusedEncodings) {
  TempDir dir;
  WriteFileBytes(dir / "t.txt", "x\r\n");
  auto expectIllegal = [](auto &&fn) {
    try {
      fn();
      ADD_FAILURE() << "no exception";
    } catch (const EInvalidOperation &e) {
      EXPECT_EQ(e.Message(), u"Illegal buffered text file operation");
    }
  };
  expectIllegal([&] { TBufTextFile(dir.Str("t.txt"), 2); });
  expectIllegal([&] { TBufTextFile(dir.Str("t.txt"), 7); });
  expectIllegal([&] { TBufTextFile(dir.Str("t.txt"), btmRead, 0, 65536); });
  EXPECT_THROW(TBufTextFile(dir.Str("t.txt"), btmRead, 0, 3), EAssertionFailed);
  {
    TBufTextFile f(dir.Str("t.txt"), btmRead);
    f.ReadLine();
    expectIllegal([&] { f.ReadLine(); });
    expectIllegal([&] { f.Write(u"a"); });
  }
  {
    TBufTextFile f(dir.Str("w.txt"), btmCreate);
    expectIllegal([&] { f.ReadLine(); });
  }
  for (const std::string &bytes : {std::string("\xFE\xFF\0a", 4), std::string("\xFF\xFE\0\0", 4),
                                   std::string("\0\0\xFE\xFF", 4)}) {
    WriteFileBytes(dir / "wide.txt", bytes);
    EXPECT_THROW(TBufTextFile(dir.Str("wide.txt"), btmRead), EUnsupportedTextEncoding);
  }
  // A one-byte file is ANSI whatever the byte.
  WriteFileBytes(dir / "one.txt", "\xFF");
  EXPECT_EQ(ReadFile(dir, "one.txt", 16384), (std::vector<String>{u"\u00ff"}));
}

TEST(BufTextFile, FlushReportsWhatTheDestructorCannot) {
  TempDir dir;
  TBufTextFile f(dir.Str("f.txt"), btmCreate);
  f.WriteLine(u"abc");
  EXPECT_EQ(ReadFileBytes(dir / "f.txt"), "");
  f.Flush();
  EXPECT_EQ(ReadFileBytes(dir / "f.txt"), "\xEF\xBB\xBF"
                                          "abc\r\n");
}

} // namespace
} // namespace krx
