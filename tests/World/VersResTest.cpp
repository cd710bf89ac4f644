#include "World/VersRes.h"

#include "Platform/Win/Kernel.h"
#include "support/KrxTest.h"

#include <gtest/gtest.h>

namespace krx {
namespace {

// A PE file with a version resource that scripts/setup installs (libz-mingw-w64).
const char *const kZlib = "/usr/x86_64-w64-mingw32/lib/zlib1.dll";

TEST(VersionResource, ReadsOurOwnModule) {
  // The test program carries the block of version 2.5.1.77 (tests/CMakeLists.txt), as the
  // plug-in library carries its own.
  TVersionRes &res = GetVersionRes();
  EXPECT_EQ(&res, &GetVersionRes()); // one object per process
  EXPECT_EQ(res.FileName(), GetModuleFileName(HInstance()));
  EXPECT_EQ(res.VersionText(), u"Version 2.5.1 build 77");
  EXPECT_EQ(res.FileDescription(), u"Kestrune integration \u00e9xpert");
  EXPECT_EQ(res.GetStringValue(u"FileVersion"), u"2.5.1.77");
  EXPECT_EQ(res.GetStringValue(u"NoSuchValue"), u"");
  EXPECT_EQ(res.ProductMajor(), 3);
  EXPECT_EQ(res.ProductMinor(), 0);
  EXPECT_EQ(res.ProductRelease(), 2);
  EXPECT_EQ(res.ProductBuild(), 1);
  EXPECT_EQ(res.Language(), 0x0409);
  EXPECT_EQ(res.CodePage(), 1252);
  EXPECT_EQ(res.FileType(), 1u); // an application
}

TEST(VersionResource, ReadsARealPeFile) {
  TVersionRes res(Utf8ToString(kZlib));
  EXPECT_EQ(res.VersionText(), u"Version 1.2.13 build 0");
  EXPECT_EQ(res.Language(), 0x0409);
  EXPECT_EQ(res.CodePage(), 0x04E4);
  EXPECT_EQ(res.GetStringValue(u"OriginalFilename"), u"zlib1.dll");
  EXPECT_EQ(res.GetStringValue(u"productname"), u"zlib");
  EXPECT_EQ(res.FileType(), 2u); // a library
  EXPECT_EQ(res.FileFlags() & ~0x3Fu, 0u);
}

TEST(VersionResource, FilesWithoutOneRaiseAndLeaveTheObjectAsItWas) {
  test::TempDir dir;
  test::WriteFileBytes(dir / "plain.txt", "no resource here");
  TVersionRes res(Utf8ToString(kZlib));
  try {
    res.SetFileName(dir.Str("plain.txt"));
    FAIL();
  } catch (const ENoVersionResource &e) {
    EXPECT_EQ(e.Message(), u"No version info available");
  }
  EXPECT_EQ(res.Major(), 1);
  EXPECT_THROW(TVersionRes(dir.Str("missing.dll")), ENoVersionResource);
}

} // namespace
} // namespace krx
