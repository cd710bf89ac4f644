// The krx-tokenize program run as a process: what it does with inputs it cannot read, with a
// file that includes itself, and where it places an error.
#include "support/KrxTest.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>

namespace krx {
namespace {

namespace fs = std::filesystem;

struct TRun {
  int ExitCode;
  std::string Out;
  std::string Err;
};

TRun Tokenize(const test::TempDir &dir, const std::string &args) {
  const fs::path tool = fs::path(KRX_BINARY_DIR) / "tools" / "krx-tokenize";
  EXPECT_TRUE(fs::is_regular_file(tool)) << tool << " is not built";
  const std::string command =
      tool.string() + " " + args + " >" + (dir / "out").string() + " 2>" + (dir / "err").string();
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
          test::ReadFileBytes(dir / "out"), test::ReadFileBytes(dir / "err")};
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
