// Reading one routine body on its own (ParseProcBody): local declarations become items of the
// routine, statement blocks give it its begin and end, and a declaration that fails costs
// only itself.
#include "support/ExplorerSupport.h"

namespace krx::test {
namespace {

// Reads the whole text as the body of a routine P at line 0.
class TBodyExplorer : public TDelphiModuleExplorer {
public:
  bool WholeBody = true;
  Integer BeginLine = 0;
  TProcItem *Proc = nullptr;

protected:
  void ParseModule(bool &stop) override {
    SetImplementationLine(0);
    Proc = new TProcData(ModuleItem());
    Proc->SetName(u"P");
    Proc->SetLineNr(0);
    Proc->SetBeginLineValue(BeginLine);
    ParseProcBody(Proc, WholeBody, stop);
  }
};

struct TBody {
  TParsed Parsed;
  TBodyExplorer *Explorer;
};

TBody ReadBody(StringView text, bool wholeBody = true, Integer beginLine = 0) {
  std::unique_ptr<TModuleExplorer> e = TModuleExplorer::Create<TBodyExplorer>();
  auto *body = static_cast<TBodyExplorer *>(e.get());
  body->WholeBody = wholeBody;
  body->BeginLine = beginLine;
  e->ExploreText(String(text));
  return {TParsed{std::move(e)}, body};
}

constexpr const char16_t *kBody = u"var\n"                                // 0
                                  u"  I, J: Integer;\n"                   // 1
                                  u"  S: string = 'x';\n"                 // 2
                                  u"type\n"                               // 3
                                  u"  TLocal = record A: Integer; end;\n" // 4
                                  u"  TObj = class X: Integer; end;\n"    // 5
                                  u"  TProc = procedure of object;\n"     // 6
                                  u"  TSet = set of (a, b);\n"            // 7
                                  u"label\n"                              // 8
                                  u"  L1, 99;\n"                          // 9
                                  u"const\n"                              // 10
                                  u"  C = 3;\n"                           // 11
                                  u"procedure Nested(X: Integer);\n"      // 12
                                  u"begin\n"                              // 13
                                  u"end;\n"                               // 14
                                  u"begin\n"                              // 15
                                  u"  I := 1; begin J := 2 end;\n"        // 16
                                  u"  case I of 1: ; end;\n"              // 17
                                  u"end;\n";                              // 18

TEST(ProcBody, LocalDeclarationsAndBlocksBelongToTheRoutine) {
  TBody b = ReadBody(kBody);
  EXPECT_EQ(b.Parsed.Outline(), "ckProcedure P 0\n"
                                "  ckCodeSection var 0\n"
                                "  ckField I, J 1\n"
                                "  ckField S 2\n"
                                "  ckCodeSection type 3\n"
                                "  ckCodeSection label 8\n"
                                "  ckCodeSection const 10\n"
                                "  ckField C 11\n"
                                "  ckProcedure Nested 12\n");
  EXPECT_EQ(b.Parsed.MessageText(), "");
  EXPECT_EQ(b.Explorer->Proc->BeginLineValue(), 15);
  EXPECT_EQ(b.Explorer->Proc->EndLineValue(), 18);
}

TEST(ProcBody, WithoutTheWholeBodyReadingStopsAtTheBeginLine) {
  TBody b = ReadBody(kBody, false, 15);
  EXPECT_EQ(b.Parsed.MessageText(), "");
  EXPECT_EQ(b.Explorer->Proc->EndLineValue(), 0) << "the body's blocks were not read";
  EXPECT_NE(b.Parsed.Outline().find("  ckProcedure Nested 12\n"), std::string::npos);
}

TEST(ProcBody, ADeclarationThatFailsCostsOnlyItself) {
  struct Row {
    const char16_t *Text;
    const char *Message;
  };
  const Row rows[] = {
      {u"X;\nvar I: Integer;", "Unexpected token \"X\" in line 1 col 1\n"},
      {u"threadvar T: Integer;\nvar I: Integer;",
       "Unexpected token \"T\" in line 1 col 11\nUnexpected token \"Integer\" in line 1 col 14\n"},
      {u"label L1 L2;\nvar I: Integer;", "Unexpected token \"L2\" in line 1 col 10\n"},
  };
  for (const Row &r : rows) {
    TBody b = ReadBody(r.Text);
    EXPECT_EQ(b.Parsed.MessageText(), r.Message) << StringToUtf8(r.Text);
    EXPECT_NE(b.Parsed.Outline().find("  ckField I 1\n"), std::string::npos)
        << StringToUtf8(r.Text);
  }
}

} // namespace
} // namespace krx::test
