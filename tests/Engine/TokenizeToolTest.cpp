// The krx-tokenize and krx-explore programs run as processes: what they do with inputs they
// cannot read, with a file that includes itself, and where an error is placed.
#include "support/KrxTest.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>

namespace krx {
namespace {

namespace fs = std::filesystem;

struct TRun {
  int ExitCode;
  std::string Out;
  std::string Err;
};

TRun RunTool(const char *name, const test::TempDir &dir, const std::string &args) {
  const fs::path tool = fs::path(KRX_BINARY_DIR) / "tools" / name;
  EXPECT_TRUE(fs::is_regular_file(tool)) << tool << " is not built";
  // Bounded, so that a tool that hangs on its input fails the test instead of stopping it.
  const std::string command = "timeout 60 " + tool.string() + " " + args + " >" +
                              (dir / "out").string() + " 2>" + (dir / "err").string();
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
          test::ReadFileBytes(dir / "out"), test::ReadFileBytes(dir / "err")};
}

TRun Tokenize(const test::TempDir &dir, const std::string &args) {
  return RunTool("krx-tokenize", dir, args);
}

TEST(TokenizeTool, InputsThatCannotBeReadEndWithAMessage) {
  test::TempDir dir;
  struct TCase {
    std::string Input;
    std::string Message;
  } cases[] = {{dir.Path().string(), "is a folder"},
               {"/dev/zero", "is not a regular file"},
               {(dir / "missing.pas").string(), "No such file"}};
  for (const TCase &c : cases) {
    const TRun r = Tokenize(dir, c.Input);
    EXPECT_EQ(r.ExitCode, 2) << c.Input;
    EXPECT_NE(r.Err.find(c.Input + ": cannot read the file: " + c.Message), std::string::npos)
        << r.Err;
  }
}

// A FIFO would block the reader and /dev/zero never end; neither is opened.
TEST(ExploreTool, InputsThatCannotBeReadEndWithAMessage) {
  test::TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "fifo.pas").c_str(), 0600), 0);
  const std::string folder = dir.Path().string();
  const struct {
    std::string Args, Message;
  } cases[] = {{folder, folder + ": is a folder"},
               {"/dev/zero", "/dev/zero: is not a regular file"},
               {(dir / "fifo.pas").string(), folder + "/fifo.pas: is not a regular file"},
               {"--stats --files-from " + folder, folder + ": is a folder"}};
  for (const auto &c : cases) {
    const TRun r = RunTool("krx-explore", dir, c.Args);
    EXPECT_EQ(r.ExitCode, 1) << c.Args;
    EXPECT_NE(r.Err.find("krx-explore: cannot read " + c.Message), std::string::npos) << r.Err;
  }
}

TEST(TokenizeTool, ASelfIncludeIsNeverExpanded) {
  test::TempDir dir;
  test::WriteFileBytes(dir / "Self.pas", "x {$I self.pas} {$I SELF.PAS}\n");
  const TRun r = Tokenize(dir, "--preprocess " + (dir / "Self.pas").string());
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Out,
            "1:1 tkIdent x\n1:3 tkDirective {$I self.pas}\n1:17 tkDirective {$I SELF.PAS}\n");
}

TEST(TokenizeTool, ErrorsNameWhereTheDirectiveStarts) {
  test::TempDir dir;
  test::WriteFileBytes(dir / "else.pas", "a\n\n\n  {$ELSE\n}\n");
  const TRun r = Tokenize(dir, "--preprocess " + (dir / "else.pas").string());
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_NE(r.Err.find("else.pas:4:3: ECompilationConditionError: Unmatched ELSE at line 4; "
                       "column 3"),
            std::string::npos)
      << r.Err;
}

} // namespace
} // namespace krx
