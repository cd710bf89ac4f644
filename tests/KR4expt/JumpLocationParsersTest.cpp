// The jump-location finder on a real unit (tests/fixtures/jump/JumpShapes.pas): every jump
// kind, overloads, constructors and class constructors, nested and generic classes, module
// routines, procedural types, unknown names and unusable requests. Expected places are given
// as the text of the line the answer points to, so the fixture can be read beside the table.
#include "ProcessSupport.h"

#include "Engine/ModuleExplorers.h"
#include "KR4expt/JumpLocationParsers.h"
#include "Platform/Rtl/Classes.h"
#include "World/ClassEx.h"
#include "support/KrxTest.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace krx {
namespace {

// A fixture's text, decoded by its byte-order mark as the editor loads it.
String ReadFixture(const std::string &name) {
  const std::string bytes = test::ReadFileBytes(test::Fixture(name));
  String text;
  TTextEncoding encoding;
  DecodeTextBytes(reinterpret_cast<const Byte *>(bytes.data()), bytes.size(), text, encoding);
  return text;
}

// "line text | body line text" of the answer, both trimmed; "false" for an unusable request.
std::string Answer(const String &source, const char16_t *kind, const char16_t *cls,
                   const char16_t *member, const char16_t *params = u"",
                   const String &fileName = {}) {
  TJumpLocationParser finder(source, kind, cls, member, params, lanPascal, fileName);
  Integer line = -1, body = -1;
  if (!finder.Locate(line, body))
    return line == 0 && body == 0 ? "false" : "false with lines set";
  TStringList lines;
  lines.SetText(source);
  const auto at = [&](Integer i) {
    return i >= 0 && i < lines.Count() ? StringToUtf8(Trim(lines[i])) : "line " + std::to_string(i);
  };
  return at(line) + " | " + at(body);
}

struct TCase {
  const char16_t *Kind, *Class, *Member, *Params;
  const char *Expected;
};

const TCase kCases[] = {
    {u"class", u"TShape", u"", u"", "TShape = class(TPersistent) | TShape = class(TPersistent)"},
    {u"CLASS", u"tshape", u"", u"", "TShape = class(TPersistent) | TShape = class(TPersistent)"},
    {u"field", u"TShape", u"FName", u"", "FName: string; | FName: string;"},
    // Overloads by parameter text; none matching gives the first declared.
    {u"procedure", u"TShape", u"Draw", u"Canvas: TObject; Scale: Double",
     "procedure TShape.Draw(Canvas: TObject; Scale: Double); | end;"},
    {u"procedure", u"TShape", u"Draw", u"canvas:tobject",
     "procedure TShape.Draw(Canvas: TObject); | end;"},
    {u"procedure", u"TShape", u"Draw", u"X: Integer",
     "procedure TShape.Draw(Canvas: TObject); | end;"},
    // "function" finds a procedure; the body starts after "begin", past a var section.
    {u"function", u"TShape", u"Resize", u"", "procedure TShape.Resize( | I := Factor;"},
    {u"procedure", u"TShape", u"Area", u"", "function TShape.Area: Double; | Result := 0;"},
    // Instance and class constructors of one name.
    {u"constructor", u"TShape", u"Create", u"", "constructor TShape.Create; | inherited Create;"},
    {u"constructor", u"TShape", u"Create", u"const AName: string",
     "constructor TShape.Create(const AName: string); | Create;"},
    {u"static.ctor", u"TShape", u"Create", u"", "class constructor TShape.Create; | end;"},
    {u"constructor", u"TOnlyClassCtor", u"Build", u"",
     "class constructor TOnlyClassCtor.Build; | end;"},
    {u"static.ctor", u"TOnlyCtor", u"Build", u"", "constructor TOnlyCtor.Build; | end;"},
    {u"destructor", u"TShape", u"Destroy", u"", "destructor TShape.Destroy; | inherited;"},
    // A constructor is no destructor: the class itself answers.
    {u"destructor", u"TShape", u"Create", u"",
     "TShape = class(TPersistent) | TShape = class(TPersistent)"},
    {u"operator", u"TShape", u"Equal", u"",
     "class operator TShape.Equal(const A, B: TShape): Boolean; | Result := A = B;"},
    // Properties, with and without a sub-member, and indexed ones by their index parameters.
    {u"property", u"TShape", u"Name::GetName", u"",
     "property Name: string read FName write FName; | property Name: string read FName write "
     "FName;"},
    {u"event", u"TShape", u"Name::", u"",
     "property Name: string read FName write FName; | property Name: string read FName write "
     "FName;"},
    {u"property", u"TShape", u"Cells", u"Row, Col: Integer",
     "property Cells[Row, Col: Integer]: Integer read GetCell; | property Cells[Row, Col: "
     "Integer]: Integer read GetCell;"},
    // An event property (made from the property read first) keeps its position.
    {u"event", u"TShape", u"OnDraw", u"",
     "property OnDraw: TShapeEvent read FOnDraw write FOnDraw; | property OnDraw: TShapeEvent "
     "read FOnDraw write FOnDraw;"},
    // Nested classes only by their dotted name; generic classes by their written name.
    {u"procedure", u"tshape.TINNER", u"Touch", u"", "procedure TShape.TInner.Touch; | end;"},
    {u"procedure", u"TInner", u"Touch", u"", "unit JumpShapes; | unit JumpShapes;"},
    {u"procedure", u"TList<T>", u"Add", u"", "procedure TList<T>.Add(const Item: T); | end;"},
    // Resolution clauses by their dotted name; nested types of any sort.
    {u"resclause", u"TSink", u"ishapesink.NOTIFY", u"",
     "procedure IShapeSink.Notify = DoNotify; | procedure IShapeSink.Notify = DoNotify;"},
    {u"nested-type", u"TSink", u"TSinkState", u"",
     "TSinkState = (ssIdle, ssBusy); | TSinkState = (ssIdle, ssBusy);"},
    {u"nested-type", u"TShape", u"TShapeEvent", u"",
     "TShapeEvent = procedure(Sender: TShape) of object; | TShapeEvent = procedure(Sender: TShape) "
     "of object;"},
    // Module routines through their implementation; procedural types anywhere.
    {u"moduleproc", u"CountShapes", u"", u"", "function CountShapes: Integer; | Result := 0;"},
    {u"moduleproc", u"TShape", u"", u"", "unit JumpShapes; | unit JumpShapes;"},
    {u"eventtype", u"TShapeEvent", u"", u"",
     "TShapeEvent = procedure(Sender: TShape) of object; | TShapeEvent = procedure(Sender: TShape) "
     "of object;"},
    {u"eventtype", u"TNotifyShape", u"", u"",
     "TNotifyShape = procedure(Sender: TObject; Kind: TShapeKind) of object; | TNotifyShape = "
     "procedure(Sender: TObject; Kind: TShapeKind) of object;"},
    // Unknown class: the top of the file; unknown member: the class.
    {u"class", u"TNope", u"", u"", "unit JumpShapes; | unit JumpShapes;"},
    {u"field", u"TShape", u"Nope", u"",
     "TShape = class(TPersistent) | TShape = class(TPersistent)"},
    // Unusable requests.
    {u"module", u"TShape", u"", u"", "false"},
    {u"", u"TShape", u"Draw", u"", "false"},
    {u"method", u"TShape", u"Draw", u"", "false"},
    {u"class", u"", u"", u"", "false"},
};

TEST(JumpLocationParser, AnswersEveryKindOnARealUnit) {
  const String lf = ReadFixture("jump/JumpShapes.pas");
  String crlf;
  for (Char c : lf) {
    if (c == u'\n')
      crlf += u'\r';
    crlf += c;
  }
  for (const String *source : {&lf, static_cast<const String *>(&crlf)})
    for (const TCase &c : kCases)
      EXPECT_EQ(Answer(*source, c.Kind, c.Class, c.Member, c.Params), c.Expected)
          << StringToUtf8(c.Kind) << " " << StringToUtf8(c.Class) << " " << StringToUtf8(c.Member)
          << " (" << StringToUtf8(c.Params) << ")";
}

// A finder may be asked again: Locate leaves the request as it was given.
TEST(JumpLocationParser, LocateLeavesTheRequestAsGiven) {
  const TJumpLocationParser finder(ReadFixture("jump/JumpShapes.pas"), u"property", u"TShape",
                                   u"Name::GetName", u"", lanPascal);
  Integer first = -1, second = -1, body = -1;
  ASSERT_TRUE(finder.Locate(first, body) && finder.Locate(second, body));
  EXPECT_EQ(first, second);
  EXPECT_EQ(finder.MemberName(), u"Name::GetName");
}

TEST(JumpLocationParser, AnEmptySourceIsUnusable) {
  EXPECT_EQ(Answer(u"", u"class", u"TShape", u""), "false");
}

TEST(JumpLocationParser, ErrorsInTheSourceDoNotStopTheSearch) {
  String source = ReadFixture("jump/JumpShapes.pas");
  source.resize(source.find(u"function TShape.Area"));
  source.insert(source.find(u"procedure FreeShapes"), u"procedure ) ;\n");
  EXPECT_EQ(Answer(source, u"procedure", u"TShape", u"Draw", u"Canvas: TObject; Scale: Double"),
            "procedure TShape.Draw(Canvas: TObject; Scale: Double); | end;");
  EXPECT_EQ(Answer(source, u"function", u"TShape", u"Area"),
            "function Area: Double; | function Area: Double;");
}

// Positions of an include file's items count in that file: the finder answers the line of
// the include directive in the edited unit instead, for declarations and implementations
// alike. Include files are looked up beside the named file, never in the working directory.
TEST(JumpLocationParser, ElementsInAnIncludeFileAnswerTheIncludeDirective) {
  const String source = ReadFixture("jump/JumpShapes.pas");
  const String file = Utf8ToString(test::Fixture("jump/JumpShapes.pas").string());
  const auto answer = [&](const char16_t *kind, const char16_t *member, const String &name) {
    TJumpLocationParser finder(source, kind, u"TIncluded", member, u"", lanPascal, name);
    Integer line = -1, body = -1;
    EXPECT_TRUE(finder.Locate(line, body));
    return std::to_string(line) + " " + std::to_string(body);
  };
  EXPECT_EQ(answer(u"class", u"", file), "70 70");
  EXPECT_EQ(answer(u"procedure", u"Ping", file), "70 70");
  const auto old = std::filesystem::current_path();
  std::filesystem::current_path(test::Fixture("jump"));
  const std::string withoutName = answer(u"class", u"", u"");
  std::filesystem::current_path(old);
  EXPECT_EQ(withoutName, "0 0");
}

// Units of unusual shapes (tests/fixtures/links): routines in nested include files on either
// side of "implementation" answer the outermost include directive; names that differ in the
// case of non-ASCII letters, a class declared in both branches of a conditional (read with
// conditions off) and a nested type in an include file in a class body land where they are
// implemented or declared.
TEST(JumpLocationParser, LandsRightInUnusualUnits) {
  TModuleExplorerOptions &options = ModuleExplorerRegistry().Options(lanPascal);
  const bool conditions = options.ParserEvaluatesConditions();
  struct TRow {
    const char *File;
    const char16_t *Kind, *Class, *Member;
    const char *Expected;
  };
  const TRow rows[] = {
      {"IncludedRoutines.pas", u"moduleproc", u"Declared", u"",
       "{$I IncludedRoutinesBody.inc} | {$I IncludedRoutinesBody.inc}"},
      {"IncludedRoutines.pas", u"moduleproc", u"DeclaredInInclude", u"",
       "{$I IncludedRoutinesBody.inc} | {$I IncludedRoutinesBody.inc}"},
      {"ImplNested.pas", u"moduleproc", u"Second", u"",
       "{$I ImplNestedBody.inc} | {$I ImplNestedBody.inc}"},
      {"Umlauts.pas", u"procedure", u"TÄpfel", u"Öffnen", "procedure TäPFEL.öffnen; | end;"},
      {"Umlauts.pas", u"moduleproc", u"grüßen", u"", "procedure GRÜßEN; | end;"},
      {"Umlauts.pas", u"procedure", u"TKorb", u"Tragen", "procedure T\u212Aorb.Tragen; | end;"},
      {"TwiceDeclared.pas", u"procedure", u"TFoo", u"Pause", "procedure TFoo.Pause; | end;"},
      {"TwiceDeclared.pas", u"procedure", u"TFoo", u"Reset", "procedure TFoo.Reset; | end;"},
      {"NestedTypeInclude.pas", u"class", u"TFoo.TNested", u"",
       "{$I NestedTypeInclude.inc} | {$I NestedTypeInclude.inc}"},
      {"NestedTypeInclude.pas", u"procedure", u"TFoo.TNested", u"Go",
       "procedure TFoo.TNested.Go; | end;"},
  };
  for (const TRow &r : rows) {
    const std::string path = std::string("links/") + r.File;
    options.SetParserEvaluatesConditions(std::string(r.File) != "TwiceDeclared.pas");
    EXPECT_EQ(Answer(ReadFixture(path), r.Kind, r.Class, r.Member, u"",
                     Utf8ToString(test::Fixture(path).string())),
              r.Expected)
        << r.File << " " << StringToUtf8(r.Kind) << " " << StringToUtf8(r.Class) << " "
        << StringToUtf8(r.Member);
  }
  options.SetParserEvaluatesConditions(conditions);
}

// Methods that an include file declares inside a class body are the class's: the finder lands
// on their implementation in the edited unit, or on the include directive when there is none.
TEST(JumpLocationParser, MembersDeclaredByAnIncludeFileInTheClassBody) {
  test::TempDir dir;
  test::WriteFileBytes(dir / "members.inc", "    procedure Foo;\n    function Baz: Integer;\n");
  const String source = u"unit U;\ninterface\ntype\n  TX = class\n    {$I members.inc}\n"
                        u"    procedure Bar;\n  end;\nimplementation\nprocedure TX.Foo;\nbegin\n"
                        u"end;\nprocedure TX.Bar;\nbegin\nend;\nend.";
  const String file = Utf8ToString((dir / "u.pas").string());
  std::string got;
  for (const char16_t *member : {u"Foo", u"Baz", u"Bar"}) {
    TJumpLocationParser finder(source, u"procedure", u"TX", member, u"", lanPascal, file);
    Integer line = -1, body = -1;
    EXPECT_TRUE(finder.Locate(line, body));
    got += std::to_string(line) + " " + std::to_string(body) + ";";
  }
  EXPECT_EQ(got, "8 10;4 4;11 13;");
}

// krx-jump as a process: files read by their byte-order mark, unusable requests answered
// "false", unreadable input refused with exit code 1.
TEST(JumpTool, ReadsTheFileAsTheEditorHoldsIt) {
  using namespace std::chrono_literals;
  test::TempDir dir;
  const std::string utf8 = test::ReadFileBytes(test::Fixture("jump/JumpShapes.pas"));
  std::string utf16 = "\xFF\xFE";
  for (char c : utf8)
    utf16 += std::string{c, '\0'};
  test::WriteFileBytes(dir / "Utf16.pas", utf16);
  int runs = 0;
  const auto run = [&](const std::vector<std::string> &args, std::string *out) {
    std::vector<std::string> argv = {test::ToolPath("krx-jump").string()};
    argv.insert(argv.end(), args.begin(), args.end());
    const std::string stem = "run" + std::to_string(++runs);
    test::TChildProcess child(argv, dir / (stem + ".out"), dir / (stem + ".err"));
    const int rc = child.Wait(30s);
    *out = child.Output() + child.Error();
    return rc;
  };
  std::string out;
  EXPECT_EQ(run({(dir / "Utf16.pas").string(), "function", "TShape", "Area"}, &out), 0);
  EXPECT_EQ(out, "true 115 117\n");
  EXPECT_EQ(run({(dir / "Utf16.pas").string(), "module", "TShape", ""}, &out), 0);
  EXPECT_EQ(out, "false\n");
  EXPECT_EQ(run({dir.Path().string(), "class", "TShape", ""}, &out), 1);
  EXPECT_NE(out.find("is a folder"), std::string::npos) << out;
  EXPECT_EQ(run({"/dev/zero", "class", "TShape", ""}, &out), 1);
  EXPECT_NE(out.find("is not a regular file"), std::string::npos) << out;
}

} // namespace
} // namespace krx
