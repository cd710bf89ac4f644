// The krx-tokenize, krx-explore and krx-jump programs run as processes: what they do with
// inputs and arguments they cannot take, with a file that includes itself, and where an error is
// placed.
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

// The tools that read a source file tell a file they cannot read in one wording and exit
// with one code.
TEST(SourceTools, AFileThatCannotBeReadIsToldAlikeByEveryTool) {
  test::TempDir dir;
  const std::pair<std::string, std::string> cases[] = {
      {dir.Path().string(), "is a folder"},
      {"/dev/zero", "is not a regular file"},
      {(dir / "missing.pas").string(), "No such file"}};
  for (const char *tool : {"krx-tokenize", "krx-explore", "krx-jump"})
    for (const auto &[input, message] : cases) {
      const TRun r = RunTool(tool, dir, input + (tool[4] == 'j' ? " class TA '' ''" : ""));
      EXPECT_EQ(r.ExitCode, 1) << tool << " " << input;
      EXPECT_NE(r.Err.find(std::string(tool) + ": cannot read " + input + ": " + message),
                std::string::npos)
          << r.Err;
    }
}

// An argument that is not UTF-8 is refused, naming it: a substitute character would make the
// tool read another file, here the one whose name holds U+FFFD.
TEST(SourceTools, AnArgumentThatIsNotUtf8IsRefusedNamingIt) {
  test::TempDir dir;
  test::WriteFileBytes(dir / "bad\xEF\xBF\xBD.pas", "unit A; interface type TA = class end; end.");
  const std::string bad = (dir / "bad").string() + "\xFF.pas";
  for (const char *tool : {"krx-tokenize", "krx-explore", "krx-jump"}) {
    const TRun r = RunTool(tool, dir, "'" + bad + "'" + (tool[4] == 'j' ? " class TA '' ''" : ""));
    EXPECT_EQ(r.ExitCode, 2) << tool;
    EXPECT_EQ(r.Out, "") << tool;
    EXPECT_NE(r.Err.find(std::string(tool) + ": cannot take the argument \"" +
                         (dir / "bad").string() + "\\xFF.pas\": it is not valid UTF-8"),
              std::string::npos)
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
