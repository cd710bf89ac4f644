#include "Platform/Version/Version.h"
#include "Platform/Version/VersionBlock.h"
#include "Platform/Version/VersionFile.h"
#include "support/KrxTest.h"

#include <random>

namespace krx {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

// PE files with version resources that scripts/setup installs (libz-mingw-w64, win32-loader).
const char *const kZlib64 = "/usr/x86_64-w64-mingw32/lib/zlib1.dll";
const char *const kZlib32 = "/usr/i686-w64-mingw32/lib/zlib1.dll";
const char *const kLoader = "/usr/share/win32/win32-loader.exe";

// The block of a file as a caller gets it.
std::vector<Byte> LoadBlock(const String &file) {
  DWORD handle = 7;
  DWORD size = GetFileVersionInfoSizeW(file.c_str(), &handle);
  EXPECT_EQ(handle, 0u);
  if (size == 0)
    return {};
  std::vector<Byte> block(size);
  EXPECT_EQ(GetFileVersionInfoW(file.c_str(), 0, size, block.data()), TRUE);
  return block;
}

const VS_FIXEDFILEINFO *Fixed(const std::vector<Byte> &block) {
  void *p = nullptr;
  UINT len = 0;
  if (!VerQueryValueW(block.data(), u"\\", &p, &len) || len != sizeof(VS_FIXEDFILEINFO))
    return nullptr;
  return static_cast<const VS_FIXEDFILEINFO *>(p);
}

// A text value, or "<none>" when the query fails.
String Text(const std::vector<Byte> &block, const Char *path) {
  void *p = nullptr;
  UINT len = 0;
  if (!VerQueryValueW(block.data(), path, &p, &len))
    return u"<none>";
  const String s(static_cast<const Char *>(p), len);
  return s.empty() || s.back() != 0 ? u"<unterminated>" : s.substr(0, len - 1);
}

std::pair<Word, Word> Translation(const std::vector<Byte> &block) {
  void *p = nullptr;
  UINT len = 0;
  if (!VerQueryValueW(block.data(), u"\\VarFileInfo\\Translation", &p, &len) || len < 4)
    return {0, 0};
  const auto *w = static_cast<const Word *>(p);
  return {w[0], w[1]};
}

String U(const char *s) { return Utf8ToString(s); }

TEST(VersionResource, ReadsPeFilesOf32And64Bits) {
  for (const char *dll : {kZlib64, kZlib32}) {
    SCOPED_TRACE(dll);
    std::vector<Byte> block = LoadBlock(U(dll));
    ASSERT_FALSE(block.empty()) << "install libz-mingw-w64 (scripts/setup)";
    const VS_FIXEDFILEINFO *fixed = Fixed(block);
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->dwSignature, VS_FFI_SIGNATURE);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010002u); // 1.2.13.0
    EXPECT_EQ(fixed->dwFileVersionLS, 0x000D0000u);
    EXPECT_EQ(fixed->dwFileType, VFT_DLL);
    EXPECT_EQ(Translation(block), (std::pair<Word, Word>{0x0409, 0x04E4}));
    EXPECT_EQ(Text(block, u"\\StringFileInfo\\040904E4\\FileVersion"), u"1.2.13");
    EXPECT_EQ(Text(block, u"\\StringFileInfo\\040904E4\\OriginalFilename"), u"zlib1.dll");
    EXPECT_EQ(Text(block, u"\\stringfileinfo\\040904e4\\PRODUCTNAME"), u"zlib");
    EXPECT_EQ(Text(block, u"\\StringFileInfo\\040904E4\\PrivateBuild"), u"<none>");
    EXPECT_EQ(Text(block, u"\\StringFileInfo\\04070000\\FileVersion"), u"<none>");
  }
}

TEST(VersionResource, ReadsAnInstallerProgram) {
  std::vector<Byte> block = LoadBlock(U(kLoader));
  ASSERT_FALSE(block.empty()) << "install win32-loader (scripts/setup)";
  const VS_FIXEDFILEINFO *fixed = Fixed(block);
  ASSERT_NE(fixed, nullptr);
  EXPECT_EQ(fixed->dwFileType, VFT_APP);
  // The table is named in lower case there; names compare without regard to case.
  EXPECT_EQ(Text(block, u"\\StringFileInfo\\040904E4\\CompanyName"), u"The Debian Project");
  EXPECT_EQ(Text(block, u"StringFileInfo\\040904e4\\ProductName"), u"win32-loader");
}

TEST(VersionResource, ReadsTheBlockOurOwnProgramCarries) {
  const String self = GetModuleFileName(HInstance());
  std::vector<Byte> block = LoadBlock(self);
  ASSERT_FALSE(block.empty());
  const VS_FIXEDFILEINFO *fixed = Fixed(block);
  ASSERT_NE(fixed, nullptr);
  EXPECT_EQ(fixed->dwFileVersionMS >> 16, 2u);
  EXPECT_EQ(fixed->dwFileVersionMS & 0xFFFF, 5u);
  EXPECT_EQ(fixed->dwFileVersionLS >> 16, 1u);
  EXPECT_EQ(fixed->dwFileVersionLS & 0xFFFF, 77u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00020005u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0u);
  EXPECT_EQ(fixed->dwFileType, VFT_APP);
  EXPECT_EQ(Translation(block), (std::pair<Word, Word>{0x0409, 1252}));
  EXPECT_EQ(Text(block, u"\\StringFileInfo\\040904E4\\FileDescription"),
            u"Version resource test program");
  EXPECT_EQ(Text(block, u"\\StringFileInfo\\040904E4\\LegalCopyright"),
            u"Größe \"quoted\" back\\slash");
  EXPECT_EQ(Text(block, u"\\StringFileInfo\\040904E4\\FileVersion"), u"2.5.1.77");
  EXPECT_EQ(Text(block, u"\\StringFileInfo\\040904E4\\ProductVersion"), u"2.5");
}

TEST(VersionResource, FilesWithoutABlock) {
  TempDir dir;
  WriteFileBytes(dir / "text.txt", "just text");
  WriteFileBytes(dir / "empty", "");
  WriteFileBytes(dir / "mz", "MZ");
  test::MakeFifo(dir / "pipe.dll"); // must not block the reader
  struct {
    String File;
    DWORD Error;
  } cases[] = {
      {dir.Str("missing.dll"), ERROR_FILE_NOT_FOUND},
      {dir.Str(), ERROR_FILE_NOT_FOUND}, // a folder
      {dir.Str("pipe.dll"), ERROR_FILE_NOT_FOUND},
      {dir.Str("text.txt"), ERROR_BAD_FORMAT},
      {dir.Str("empty"), ERROR_BAD_FORMAT},
      {dir.Str("mz"), ERROR_BAD_FORMAT},
      {u"/bin/sh", ERROR_RESOURCE_TYPE_NOT_FOUND}, // an ELF file of others
      // A 64-bit ELF file that ends inside its header.
      {Utf8ToString(test::Fixture("version/short-elf-header.bin").string()), ERROR_BAD_FORMAT},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(StringToUtf8(c.File));
    SetLastError(0);
    EXPECT_EQ(GetFileVersionInfoSizeW(c.File.c_str(), nullptr), 0u);
    EXPECT_EQ(static_cast<DWORD>(GetLastError()), c.Error);
    Byte buffer[64];
    EXPECT_EQ(GetFileVersionInfoW(c.File.c_str(), 0, sizeof buffer, buffer), FALSE);
  }
}

TEST(VersionResource, DamagedFilesNeverReadOutOfBounds) {
  // Every truncation and many random corruptions of a real file: each either yields a
  // block whose queries work, or fails cleanly. The sanitizer build checks the bounds.
  const std::string file = ReadFileBytes(kZlib64);
  ASSERT_FALSE(file.empty());
  const std::vector<Byte> original(file.begin(), file.end());
  std::mt19937 random(12345);
  auto probe = [&](const std::vector<Byte> &bytes) {
    std::vector<Byte> block;
    if (version_detail::VersionBlockOfContents(bytes, block) != ERROR_SUCCESS)
      return false;
    Fixed(block);
    Translation(block);
    Text(block, u"\\StringFileInfo\\040904E4\\FileVersion");
    Text(block, u"\\StringFileInfo\\040904E4\\Comments");
    return true;
  };
  int read = 0;
  for (std::size_t cut = 0; cut < original.size(); cut += 199)
    read += probe(std::vector<Byte>(original.begin(), original.begin() + cut));
  EXPECT_TRUE(probe(original));
  // Corruptions aimed at the headers and at the resource itself.
  const std::size_t resource = file.find(std::string("V\0S\0_\0V\0", 8)) - 6;
  for (int i = 0; i < 3000; ++i) {
    std::vector<Byte> bytes = original;
    for (int k = 0; k < 3; ++k) {
      std::size_t at = i % 2 ? resource + random() % 820 : random() % 1024;
      bytes[at] = static_cast<Byte>(random());
    }
    read += probe(bytes);
  }
  EXPECT_GT(read, 1000);
}

TEST(VersionResource, ReadsFilesOfAnotherWriter) {
  // Minimal PE and ELF files written by tools/gen/gen_version_seeds.py.
  for (const char *name : {"tiny.dll", "tiny.elf"}) {
    SCOPED_TRACE(name);
    const auto path = std::filesystem::path(KRX_SOURCE_DIR) / "fuzz/corpus/version_block" / name;
    std::vector<Byte> block = LoadBlock(Utf8ToString(path.string()));
    ASSERT_FALSE(block.empty());
    const VS_FIXEDFILEINFO *fixed = Fixed(block);
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00030001u);
    EXPECT_EQ(Text(block, u"\\StringFileInfo\\040904E4\\FileVersion"), u"3.1.4.2");
    EXPECT_EQ(Text(block, u"\\StringFileInfo\\040904E4\\FileDescription"), u"Seed");
    EXPECT_EQ(Translation(block), (std::pair<Word, Word>{0x0409, 0x04E4}));
  }
}

TEST(VersionBlock, BuiltBlocksAnswerEveryQuery) {
  static constexpr TVersionString strings[] = {
      {u"FileDescription", u"描述 😀"}, {u"Empty", u""}, {u"Comments", u"Back\\slash"}};
  TVersionInfoSpec spec;
  spec.FileVersion = {11, 0, 3, 4711};
  spec.ProductVersion = {11, 0, 0, 0};
  spec.Language = 0x0407;
  spec.CodePage = 0x04B0;
  spec.FileFlags = VS_FF_DEBUG;
  spec.Strings = strings;
  const std::vector<Byte> block = BuildVersionInfo(spec);
  ASSERT_EQ(block.size() % 4, 0u);
  const VS_FIXEDFILEINFO *fixed = Fixed(block);
  ASSERT_NE(fixed, nullptr);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x000B0000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00031267u);
  EXPECT_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask, VS_FF_DEBUG);
  EXPECT_EQ(Translation(block), (std::pair<Word, Word>{0x0407, 0x04B0}));
  EXPECT_EQ(Text(block, u"\\StringFileInfo\\040704B0\\FileDescription"), u"描述 😀");
  EXPECT_EQ(Text(block, u"\\StringFileInfo\\040704B0\\Empty"), u"");
  EXPECT_EQ(Text(block, u"\\StringFileInfo\\040704B0\\Comments"), u"Back\\slash");

  // A buffer smaller than the block is cut so that queries stay inside it.
  const String self = GetModuleFileName(HInstance());
  std::vector<Byte> shortBlock(120, 0xEE);
  ASSERT_EQ(GetFileVersionInfoW(self.c_str(), 0, 100, shortBlock.data()), TRUE);
  EXPECT_EQ(shortBlock[0] | shortBlock[1] << 8, 100);
  EXPECT_EQ(shortBlock[100], 0xEE); // nothing written past the length given
  EXPECT_NE(Fixed(shortBlock), nullptr);
  EXPECT_EQ(Text(shortBlock, u"\\StringFileInfo\\040904E4\\FileVersion"), u"<none>");
}

// The compile-time form is the same block as the run-time form.
struct TConstSpec {
  constexpr TVersionInfoSpec operator()() const {
    TVersionInfoSpec spec;
    spec.FileVersion = {1, 2, 3, 4};
    return spec;
  }
};

TEST(VersionBlock, CompileTimeAndRunTimeAgree) {
  constexpr auto embedded = EmbedVersionInfo<TConstSpec>();
  const std::vector<Byte> built = BuildVersionInfo(TConstSpec{}());
  EXPECT_EQ(std::vector<Byte>(embedded.begin(), embedded.end()), built);
}

} // namespace
} // namespace krx
