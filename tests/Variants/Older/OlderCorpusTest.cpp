// The older revision's parser over the Free Pascal sources (Debian package fpc-source-3.2.2),
// in shards that ctest runs in parallel: every .pas, .pp and .inc file parses to a model
// without an exception leaving the explorer. Each shard prints how many error messages the
// parser reported, the corpus's error level.
#include "Engine/ModuleExplorers.h"
#include "support/FpcCorpus.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace krx::test {
namespace {

constexpr int kShards = 12;

class OlderFpcExplorer : public ::testing::TestWithParam<int> {};

TEST_P(OlderFpcExplorer, EveryFileParsesToAModel) {
  if (!FpcSourcesInstalled())
    GTEST_SKIP() << "the Free Pascal sources are not installed";
  std::size_t files = 0, errors = 0;
  for (const std::filesystem::path &path : FpcSourceFiles(GetParam(), kShards)) {
    auto explorer = ModuleExplorerRegistry().CreateExplorer(lanPascal);
    explorer->ModuleItem()->SetFileName(Utf8ToString(path.string()));
    try {
      explorer->ExploreText(ReadSourceText(path));
      const TMessagesItem &messages = *explorer->Messages();
      for (Integer i = 0; i < messages.MsgCount(); ++i)
        errors += messages.GetMessage(i).Kind == TCodeMessageKind::Error;
    } catch (const std::exception &e) {
      ADD_FAILURE() << path << ": " << e.what();
    }
    ++files;
  }
  EXPECT_GT(files, 0u);
  std::printf("shard %d: %zu files, %zu parser errors\n", GetParam(), files, errors);
}

INSTANTIATE_TEST_SUITE_P(Shards, OlderFpcExplorer, ::testing::Range(0, kShards));

} // namespace
} // namespace krx::test
