// Include names are looked up through a per-process cache of folder listings; a change on disk
// must be seen by the next lookup. Folders are dated an hour back first, since the cache does
// not keep what was read while its time was close to now.
#include "Engine/SourceFileNames.h"
#include "support/KrxTest.h"

#include <chrono>
#include <filesystem>

namespace krx {
namespace {

namespace fs = std::filesystem;

void Backdate(const fs::path &p, int minutes) {
  fs::last_write_time(p, fs::file_time_type::clock::now() - std::chrono::minutes(minutes));
}

TEST(SourceFileNames, AFolderChangedAfterALookupIsReadAgain) {
  test::TempDir dir;
  test::WriteFileBytes(dir / "Defs.inc", "a");
  Backdate(dir.Path(), 60);
  EXPECT_EQ(ResolveSourceFileName(u"DEFS.INC", dir.Str()), dir.Str("Defs.inc"));
  EXPECT_EQ(ResolveSourceFileName(u"other.inc", dir.Str()), u"");

  fs::remove(dir / "Defs.inc");
  test::WriteFileBytes(dir / "dEFS.inc", "b");
  test::WriteFileBytes(dir / "OTHER.inc", "c");
  EXPECT_EQ(ResolveSourceFileName(u"defs.inc", dir.Str()), dir.Str("dEFS.inc"));
  EXPECT_EQ(ResolveSourceFileName(u"other.inc", dir.Str()), dir.Str("OTHER.inc"));
}

} // namespace
} // namespace krx
