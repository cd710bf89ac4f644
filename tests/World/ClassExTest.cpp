#include "World/ClassEx.h"

#include "Platform/Rtl/SysUtils.h"
#include "support/KrxTest.h"

#include <gtest/gtest.h>

#include <string>

namespace krx {
namespace {

TTextEncoding Detect(const std::string &bytes) {
  return DetectBOM(reinterpret_cast<const Byte *>(bytes.data()), bytes.size());
}

bool Decode(const std::string &bytes, String &text, TTextEncoding &enc) {
  return DecodeTextBytes(reinterpret_cast<const Byte *>(bytes.data()), bytes.size(), text, enc);
}

TEST(TextEncoding, DetectsEveryByteOrderMark) {
  EXPECT_EQ(Detect("\xEF\xBB\xBF"), teUtf8);
  EXPECT_EQ(Detect("\xEF\xBB"), teAnsi); // incomplete mark
  EXPECT_EQ(Detect("\xFF\xFE"), teUtf16LE);
  EXPECT_EQ(Detect("\xFF\xFE\x41\x00"), teUtf16LE);
  EXPECT_EQ(Detect(std::string("\xFF\xFE\x00\x00", 4)), teUtf32LE);
  EXPECT_EQ(Detect(std::string("\xFF\xFE\x00", 3)), teUtf16LE);
  EXPECT_EQ(Detect("\xFE\xFF"), teUtf16BE);
  EXPECT_EQ(Detect(std::string("\x00\x00\xFE\xFF", 4)), teUtf32BE);
  EXPECT_EQ(Detect("\xFF"), teAnsi); // a single byte is always ANSI
  EXPECT_EQ(Detect("ab"), teAnsi);
  EXPECT_EQ(BOMLength(teUtf8), 3);
  EXPECT_EQ(BOMLength(teUtf16BE), 2);
  EXPECT_EQ(BOMLength(teUtf32LE), 4);
  EXPECT_EQ(BOMLength(teAnsi), 0);
  EXPECT_EQ(EncodingInfo(teUtf32BE), 4);
  EXPECT_EQ(EncodingInfo(teUtf16LE), 2);
  EXPECT_EQ(EncodingInfo(teUtf8), 1);
}

TEST(TextEncoding, DecodesAnsiUtf8AndUtf16LittleEndian) {
  String t;
  TTextEncoding e;
  EXPECT_TRUE(Decode("caf\xE9 \x80", t, e));
  EXPECT_EQ(e, teAnsi);
  EXPECT_EQ(t, u"caf\u00e9 \u20ac");
  EXPECT_TRUE(Decode("\xEF\xBB\xBF"
                     "caf\xC3\xA9",
                     t, e));
  EXPECT_EQ(e, teUtf8);
  EXPECT_EQ(t, u"caf\u00e9");
  EXPECT_TRUE(Decode("\xEF\xBB"
                     "x",
                     t, e)); // broken mark: ANSI, bytes kept
  EXPECT_EQ(e, teAnsi);
  EXPECT_EQ(t, u"\u00ef\u00bbx");
  EXPECT_TRUE(Decode("\xFF\xFE", t, e));
  EXPECT_EQ(e, teUtf16LE);
  EXPECT_EQ(t, u"");
  EXPECT_TRUE(Decode(std::string("\xFF\xFE"
                                 "A\x00\x3A\x26"
                                 "B",
                                 7),
                     t, e)); // odd last byte
  EXPECT_EQ(t, u"A\u263a");
  EXPECT_TRUE(Decode("\xEF\xBB\xBF"
                     "a\xC3\x28"
                     "b",
                     t, e)); // invalid UTF-8
  EXPECT_EQ(t, u"a\ufffd(b");
  EXPECT_TRUE(Decode("", t, e));
  EXPECT_EQ(e, teAnsi);
}

TEST(TextEncoding, RefusesUtf16BigEndianAndUtf32) {
  String t = u"old";
  TTextEncoding e;
  EXPECT_FALSE(Decode("\xFE\xFF\x00\x41", t, e));
  EXPECT_EQ(e, teUtf16BE);
  EXPECT_EQ(t, u"");
  EXPECT_FALSE(Decode(std::string("\xFF\xFE\x00\x00", 4), t, e));
  EXPECT_EQ(e, teUtf32LE);
  EXPECT_FALSE(Decode(std::string("\x00\x00\xFE\xFF\x00\x00\x00\x41", 8), t, e));
  EXPECT_EQ(e, teUtf32BE);
  EXPECT_EQ(EUnsupportedTextEncoding().Message(), u"Unsupported text encoding");
  EXPECT_EQ(EUnsupportedTextEncoding(u"x").Message(), u"x");
}

TEST(TextFiles, ReadWithDetectionAndWriteUtf8WithMark) {
  test::TempDir dir;
  WriteUtf8File(dir.Str("a.txt"), u"x\u00e9\r\n\u4e00");
  EXPECT_EQ(test::ReadFileBytes(dir / "a.txt"), "\xEF\xBB\xBFx\xC3\xA9\r\n\xE4\xB8\x80");
  TTextEncoding e;
  EXPECT_EQ(ReadTextFileEx(dir.Str("a.txt"), e), u"x\u00e9\r\n\u4e00");
  EXPECT_EQ(e, teUtf8);
  WriteUtf8File(dir.Str("a.txt"), u"");
  EXPECT_EQ(test::ReadFileBytes(dir / "a.txt"), "\xEF\xBB\xBF");
  EXPECT_EQ(ReadTextFile(dir.Str("a.txt")), u"");

  test::WriteFileBytes(dir / "be.txt", std::string("\xFE\xFF\0a", 4));
  EXPECT_THROW(ReadTextFile(dir.Str("be.txt")), EUnsupportedTextEncoding);
  EXPECT_THROW(ReadTextFile(dir.Str("missing.txt")), EFOpenError);
}

TEST(TextFiles, ReadTextStreamReadsFromThePosition) {
  TMemoryStream m;
  const std::string bytes = "skip\xEF\xBB\xBFok";
  m.WriteBuffer(bytes.data(), static_cast<Integer>(bytes.size()));
  m.SetPosition(4);
  TTextEncoding e;
  EXPECT_EQ(ReadTextStream(m, e), u"ok");
  EXPECT_EQ(e, teUtf8);
}

TEST(TextFiles, ReadUtf8TextSkipsOnlyTheUtf8MarkAndStopsAtZero) {
  test::TempDir dir;
  test::WriteFileBytes(dir / "u.txt", std::string("\xEF\xBB\xBF"
                                                  "ab\xC3\xA9\0rest",
                                                  11));
  EXPECT_EQ(ReadUtf8Text(dir.Str("u.txt")), "ab\xC3\xA9");
  test::WriteFileBytes(dir / "w.txt", "\xFF\xFEq");
  EXPECT_EQ(ReadUtf8Text(dir.Str("w.txt")), "\xFF\xFEq");
  test::WriteFileBytes(dir / "e.txt", "");
  EXPECT_EQ(ReadUtf8Text(dir.Str("e.txt")), "");
}

class TTracked : public TObject {
public:
  TTracked(std::vector<int> &log, int id) : FLog(log), FId(id) {}
  ~TTracked() override { FLog.push_back(FId); }

private:
  std::vector<int> &FLog;
  int FId;
};

TEST(ObjectGuard, FreesGuardedObjectsLastFirstWhenTheLastReferenceGoes) {
  std::vector<int> log;
  {
    IPtr<IObjectGuard> guard = NewObjectGuard();
    TTracked *first = guard->Guard(new TTracked(log, 1));
    guard->Guard(new TTracked(log, 2));
    IPtr<IObjectGuard> second = guard;
    guard = nullptr;
    EXPECT_TRUE(log.empty());
    EXPECT_NE(first, nullptr);
    second->Guard(static_cast<TObject *>(new TTracked(log, 3)));
  }
  EXPECT_EQ(log, (std::vector<int>{3, 2, 1}));
}

TEST(BringWindowToFront, RestoresAMinimisedWindowAndSetsTheForeground) {
  ResetForegroundSimulation();
  const auto wnd = reinterpret_cast<HWND>(std::uintptr_t{0x1234});
  ForegroundSimulation().Iconic.insert(wnd);
  BringWindowToFront(wnd);
  EXPECT_FALSE(ForegroundSimulation().Iconic.contains(wnd));
  EXPECT_EQ(ForegroundSimulation().Foreground, wnd);

  // Already in front: no SetForegroundWindow; a null handle: no call at all.
  ForegroundSimulation().Calls.clear();
  BringWindowToFront(wnd);
  BringWindowToFront(nullptr);
  const std::vector<TWinCall> expected = {{u"IsIconic", 0x1234}, {u"GetForegroundWindow"}};
  EXPECT_EQ(ForegroundSimulation().Calls, expected);
  ResetForegroundSimulation();
}

} // namespace
} // namespace krx
