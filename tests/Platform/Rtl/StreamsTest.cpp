#include "Platform/Rtl/Streams.h"
#include "Platform/Rtl/Files.h"
#include "support/KrxTest.h"

#include <cstring>
#include <limits>

namespace krx {
namespace {

TEST(MemoryStream, ReadWriteSeekAndGrowth) {
  TMemoryStream m;
  m.WriteBuffer("abcdef", 6);
  EXPECT_EQ(m.Size(), 6);
  EXPECT_EQ(m.Position(), 6);
  EXPECT_EQ(m.Seek(-2, soEnd), 4);
  char buf[8] = {};
  EXPECT_EQ(m.Read(buf, 8), 2); // short read at the end
  EXPECT_EQ(std::string(buf, 2), "ef");
  EXPECT_EQ(m.Read(buf, 1), 0);
  // Writing beyond the end fills the gap with zero bytes.
  m.SetPosition(8);
  m.WriteBuffer("z", 1);
  ASSERT_EQ(m.Size(), 9);
  EXPECT_EQ(std::string(reinterpret_cast<const char *>(m.Memory()), 9),
            std::string("abcdef\0\0z", 9));
  // Shrinking moves a position beyond the new end to the end.
  m.SetSize(3);
  EXPECT_EQ(m.Position(), 3);
  m.SetPosition(1);
  m.SetSize(5);
  EXPECT_EQ(m.Position(), 1);
  // A negative position reads and writes nothing.
  m.SetPosition(-1);
  EXPECT_EQ(m.Read(buf, 1), 0);
  EXPECT_EQ(m.Write("x", 1), 0);
  m.Clear();
  EXPECT_EQ(m.Size(), 0);
  EXPECT_EQ(m.Position(), 0);
}

TEST(MemoryStream, ReadBufferAndWriteBufferRaiseOnShortTransfer) {
  TMemoryStream m;
  m.WriteBuffer("ab", 2);
  m.SetPosition(0);
  char buf[4];
  try {
    m.ReadBuffer(buf, 3);
    FAIL() << "no exception";
  } catch (const EReadError &e) {
    EXPECT_EQ(e.Message(), u"Stream read error");
  }
  m.ReadBuffer(buf, 0); // nothing asked, nothing raised
  // A write whose end lies beyond the largest position is refused, and nothing is lost.
  m.SetPosition(std::numeric_limits<Int64>::max());
  EXPECT_THROW(m.WriteBuffer("xy", 2), EStreamError);
  EXPECT_THROW(m.SetSize(-1), EStreamError);
  EXPECT_EQ(m.Size(), 2);
}

TEST(FileStream, CreateWriteReopenRead) {
  test::TempDir dir;
  const String name = dir.Str("a.bin");
  {
    TFileStream f(name, fmCreate);
    f.WriteBuffer("hello world", 11);
    EXPECT_EQ(f.Size(), 11);
    f.SetPosition(0);
    char buf[5];
    f.ReadBuffer(buf, 5); // fmCreate opens for reading too
    EXPECT_EQ(std::string(buf, 5), "hello");
  }
  {
    // Opening for writing does not truncate.
    TFileStream f(name, fmOpenWrite | fmShareExclusive);
    f.WriteBuffer("J", 1);
    char c;
    EXPECT_EQ(f.Read(&c, 1), 0); // not open for reading
  }
  EXPECT_EQ(test::ReadFileBytes(dir / "a.bin"), "Jello world");
  {
    TFileStream f(name, fmOpenRead | fmShareDenyWrite);
    EXPECT_EQ(f.Size(), 11);
    EXPECT_EQ(f.Write("x", 1), 0);
    EXPECT_THROW(f.WriteBuffer("x", 1), EWriteError);
    f.Seek(-5, soEnd);
    char buf[5];
    f.ReadBuffer(buf, 5);
    EXPECT_EQ(std::string(buf, 5), "world");
    EXPECT_THROW(f.ReadBuffer(buf, 1), EReadError);
  }
  {
    TFileStream f(name, fmOpenReadWrite);
    f.SetSize(5);
    EXPECT_EQ(f.Position(), 5);
  }
  EXPECT_EQ(test::ReadFileBytes(dir / "a.bin"), "Jello");
  {
    TFileStream f(name, fmCreate); // truncates
  }
  EXPECT_EQ(test::ReadFileBytes(dir / "a.bin"), "");
}

TEST(FileStream, OpenAndCreateFailuresNameTheFullPathAndTheReason) {
  test::TempDir dir;
  const String missing = dir.Str("missing.txt");
  try {
    TFileStream f(missing, fmOpenRead);
    FAIL() << "no exception";
  } catch (const EFOpenError &e) {
    EXPECT_EQ(e.Message(), u"Cannot open file \"" + missing + u"\". " + SysErrorMessage(ENOENT));
  }
  try {
    TFileStream f(dir.Str("no/such/dir.txt"), fmCreate);
    FAIL() << "no exception";
  } catch (const EFCreateError &e) {
    EXPECT_TRUE(e.Message().starts_with(u"Cannot create file \"" + dir.Str("no/such/dir.txt")));
  }
  // A directory is not a file, and the error is the class library's stream error family.
  EXPECT_THROW(TFileStream(dir.Str(), fmOpenRead), EFOpenError);
  EXPECT_THROW(TFileStream(dir.Str(), fmCreate), EFileStreamError);
  // A relative name is shown expanded.
  try {
    TFileStream f(u"krx-surely-missing-file.bin", fmOpenRead);
    FAIL() << "no exception";
  } catch (const EFOpenError &e) {
    EXPECT_NE(e.Message().find(ExpandFileName(u"krx-surely-missing-file.bin")), String::npos);
  }
}

TEST(Streams, CopyFromAndMemoryFileRoundTrip) {
  test::TempDir dir;
  std::string big(200000, '\0');
  for (std::size_t i = 0; i < big.size(); ++i)
    big[i] = static_cast<char>(i * 7 + 3);
  test::WriteFileBytes(dir / "in.bin", big);

  TMemoryStream m;
  m.SetPosition(0);
  m.LoadFromFile(dir.Str("in.bin"));
  ASSERT_EQ(m.Size(), static_cast<Int64>(big.size()));
  EXPECT_EQ(std::memcmp(m.Memory(), big.data(), big.size()), 0);
  m.SaveToFile(dir.Str("out.bin"));
  EXPECT_EQ(test::ReadFileBytes(dir / "out.bin"), big);

  // CopyFrom with a count copies from the source's position; 0 copies all from the start.
  TMemoryStream part;
  m.SetPosition(10);
  EXPECT_EQ(part.CopyFrom(m, 100000), 100000);
  EXPECT_EQ(std::memcmp(part.Memory(), big.data() + 10, 100000), 0);
  TFileStream f(dir.Str("copy.bin"), fmCreate);
  m.SetPosition(5000);
  EXPECT_EQ(f.CopyFrom(m, 0), static_cast<Int64>(big.size()));
  EXPECT_EQ(f.Size(), static_cast<Int64>(big.size()));
  m.SetPosition(m.Size() - 1);
  EXPECT_THROW(part.CopyFrom(m, 2), EReadError);

  // SaveToStream writes at the target's position.
  TMemoryStream a, b;
  a.WriteBuffer("xyz", 3);
  b.WriteBuffer("12345", 5);
  b.SetPosition(1);
  a.SaveToStream(b);
  EXPECT_EQ(std::string(reinterpret_cast<const char *>(b.Memory()), 5), "1xyz5");
}

} // namespace
} // namespace krx
