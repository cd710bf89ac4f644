// Routine headings, directives and calling conventions, procedural types, properties and
// events, and the linking of implementations with their declarations.
#include "support/ExplorerSupport.h"
#include "support/KrxTest.h"

#include "World/ClassEx.h"

namespace krx::test {
namespace {

String InClass(const String &members) {
  return u"unit U;\ninterface\ntype\n  TA = class\n" + members + u"\n  end;\nimplementation\nend.";
}

TEST(Routines, CallingConventionsMerge) {
  struct Row {
    const char16_t *Directives;
    TCallConvention Expected;
  };
  const Row rows[] = {
      {u"stdcall; export;", ccStdCall}, {u"export; stdcall;", ccStdCall},
      {u"cdecl; varargs;", ccVarArgs},  {u"far;", ccFar},
      {u"register;", ccRegister},       {u"", ccDefault},
  };
  for (const Row &r : rows) {
    TParsed p = Explore(InClass(String(u"    procedure M; ") + r.Directives));
    EXPECT_EQ(p.Get<TMethodItem>(ckMethod, u"TA.M").CallConvention(), r.Expected)
        << StringToUtf8(r.Directives);
  }
}

TEST(Routines, HeadingsAndDirectives) {
  TParsed p = Explore(InClass(u"    constructor Create(AOwner: TComponent); override;\n"
                              u"    class function Make: TA; static; inline;\n"
                              u"    function Msg(var M: TMessage): Integer; message WM_USER + 1;\n"
                              u"    procedure Paint(var M: TWMPaint); message WM_PAINT;\n"
                              u"    function Old: Integer; virtual; abstract; deprecated 'New''s';\n"
                              u"    class operator Add(A, B: TA): TA;\n"
                              u"    procedure Gen<T>(X: T);"));
  auto &create = p.Get<TMethodItem>(ckMethod, u"TA.Create");
  EXPECT_EQ(create.MethodKind(), mkConstructor);
  EXPECT_EQ(create.Parameters(), u"AOwner: TComponent");
  EXPECT_TRUE(create.HasDirective(pdOverride));
  auto &make = p.Get<TMethodItem>(ckMethod, u"TA.Make");
  EXPECT_TRUE(make.HasDirective(pdClassMethod));
  EXPECT_TRUE(make.HasDirective(pdStatic));
  EXPECT_TRUE(make.HasDirective(pdInline));
  EXPECT_EQ(make.DataName(), u"TA");
  EXPECT_EQ(make.LineNr(), 5);
  EXPECT_EQ(make.ItemStartPos(), 5) << "a class method starts at the word class";
  // A message method, function or procedure, publishes its message expression as DataName;
  // a function is still written back with its result type.
  for (const char16_t *name : {u"TA.Msg", u"TA.Paint"}) {
    TDictionary tags;
    p.Get(ckMethod, name).WriteTagData(tags);
    EXPECT_EQ(tags.Values(u"DataName"), name == String(u"TA.Msg") ? u"WM_USER + 1" : u"WM_PAINT");
  }
  EXPECT_EQ(p.Get(ckMethod, u"TA.Msg").Declaration(),
            u"function Msg(var M: TMessage): Integer; message WM_USER + 1;");
  auto &old = p.Get<TMethodItem>(ckMethod, u"TA.Old");
  EXPECT_EQ(old.DeprecatedText(), u"New's");
  EXPECT_EQ(old.Declaration(), u"function Old: Integer; virtual; deprecated 'New''s'; abstract;");
  EXPECT_EQ(p.Get<TMethodItem>(ckMethod, u"TA.Add").MethodKind(), mkOperator);
  EXPECT_EQ(p.Get<TMethodItem>(ckMethod, u"TA.Gen").GenericName(), u"Gen<>");
  EXPECT_EQ(p.MessageText(), "");
}

TEST(Routines, StandaloneRoutinesExternalsAndErrors) {
  TParsed p = Explore(u"unit U;\ninterface\nfunction F(A: Integer): Boolean; stdcall;\n"
                      u"procedure X; external 'lib.so' name 'x';\nprocedure V; virtual;\n"
                      u"procedure P: Integer;\nprocedure Q;\nimplementation\n"
                      u"function F(A: Integer): Boolean;\nbegin\nend;\nprocedure Hidden;\nbegin\nend;\nend.");
  auto &f = p.Get<TProcData>(ckProcedure, u"F");
  EXPECT_EQ(f.CallConvention(), ccStdCall);
  ASSERT_NE(f.ImplRef(), nullptr);
  EXPECT_EQ(f.ImplRef()->LineNr(), 8);
  EXPECT_TRUE(f.IsPublic());
  EXPECT_EQ(p.Get<TProcData>(ckProcedure, u"X").ExternalSpec(), u"'lib.so' name 'x'");
  EXPECT_TRUE(p.Get(ckProcedure, u"V").BadFormat());
  EXPECT_TRUE(p.HasMessage(u"Illegal procedure directives in line 6 col 1")) << p.MessageText();
  EXPECT_TRUE(p.Get(ckProcedure, u"P").BadFormat()) << "a procedure has no result type";
  EXPECT_FALSE(p.Get(ckProcedure, u"Q").BadFormat()) << "the next declaration reads normally";
  auto &hidden = p.Get<TProcData>(ckProcedure, u"Hidden");
  EXPECT_FALSE(hidden.IsPublic());
  EXPECT_EQ(hidden.DeclRef(), nullptr);
}

TEST(Routines, WordsThatStartABlockAreNoParameterText) {
  // Words of the same length and first and last letters as such a word, and reserved words
  // that may stand there, read normally.
  const std::pair<const char16_t *, bool> rows[] = {
      {u"Begin: Integer", true},        {u"A: Integer; Uses: Byte", true},
      {u"RECORD: Integer", true},       {u"A: array of ResourceString", true},
      {u"Brain: Integer", false},       {u"A: TRecord; Stricter: Byte", false},
      {u"const A: string; var B", false}, {u"A: Integer = Ord('a')", false}};
  for (const auto &[params, bad] : rows) {
    TParsed p = Explore(u"unit U;\ninterface\nprocedure P(" + String(params) +
                        u");\nimplementation\nend.");
    EXPECT_EQ(p.Get(ckProcedure, u"P").BadFormat(), bad) << StringToUtf8(params);
  }
}

TEST(Routines, ProceduralTypesAndMethodReferences) {
  TParsed p = Explore(u"unit U;\ninterface\ntype\n  TProc = procedure(A: Integer); stdcall;\n"
                      u"  TEv = procedure(Sender: TObject) of object;\n  TRef = reference to function: Integer;\n"
                      u"  TTwo = procedure; cdecl; stdcall;\n  TBad = procedure: Integer;\n"
                      u"  TNoRes = function;\nimplementation\nend.");
  auto &proc = p.Get<TDelegateItem>(ckFunctionPointer, u"TProc");
  EXPECT_EQ(proc.Parameters(), u"A: Integer");
  EXPECT_EQ(proc.CallConvention(), ccStdCall);
  EXPECT_NE(p.Find(ckDelegate, u"TEv"), nullptr);
  EXPECT_EQ(p.Get<TDelegateItem>(ckMethodReference, u"TRef").DataName(), u"Integer");
  EXPECT_EQ(p.Get<TDelegateItem>(ckFunctionPointer, u"TTwo").CallConvention(), ccStdCall);
  EXPECT_TRUE(p.HasMessage(u"Calling convention redefined in line 7 col 28")) << p.MessageText();
  EXPECT_EQ(p.Find(ckFunctionPointer, u"TBad"), nullptr);
  EXPECT_EQ(p.Find(ckFunctionPointer, u"TNoRes"), nullptr);
}

TEST(Properties, SpecifiersAndDirectives) {
  TParsed p = Explore(InClass(u"    property Items[I: Integer]: TObject read GetItem write SetItem; default;\n"
                              u"    property Name: string index 3 read FName stored False nodefault;\n"
                              u"    property Size default 10;\n"
                              u"    class property Count: Integer read FCount;\n"
                              u"    property Both: Integer readonly writeonly;\n"
                              u"    property Intf: IFoo read FIntf implements IFoo, IBar;"));
  auto &items = p.Get<TPropertyItem>(ckProperty, u"TA.Items");
  EXPECT_EQ(items.ArrayStr(), u"I: Integer");
  EXPECT_EQ(items.ReadSpec(), u"GetItem");
  EXPECT_EQ(items.WriteSpec(), u"SetItem");
  EXPECT_TRUE(items.Directives().Contains(prArray));
  EXPECT_TRUE(items.Directives().Contains(prDefaultArray));
  auto &name = p.Get<TPropertyItem>(ckProperty, u"TA.Name");
  EXPECT_EQ(name.IndexStr(), u"3");
  EXPECT_EQ(name.StorageStr(), u"False");
  EXPECT_EQ(name.DefaultSpec(), dsNoDefault);
  auto &size = p.Get<TPropertyItem>(ckProperty, u"TA.Size");
  EXPECT_TRUE(size.Directives().Contains(prOverride));
  EXPECT_EQ(size.DefaultStr(), u"10");
  EXPECT_TRUE(p.Get<TPropertyItem>(ckProperty, u"TA.Count").Directives().Contains(prStatic));
  EXPECT_TRUE(p.Get(ckProperty, u"TA.Both").BadFormat());
  EXPECT_EQ(p.Get<TPropertyItem>(ckProperty, u"TA.Intf").ImplementsStr(), u"IFoo, IBar");
}

TEST(Properties, WhichPropertiesAreEvents) {
  TOptionsGuard guard;
  const String text = u"unit U;\ninterface\ntype\n  TLocal = procedure of object;\n  TA = class\n"
                      u"    property OnA: TNotifyEvent read FA;\n    property OnB: TLocal read FB;\n"
                      u"    property OnC: TLater read FC;\n    property OnChange: TUser read FD;\n"
                      u"    property Onchange2: TUser read FE;\n    property OnInt: Integer read FF;\n"
                      u"  end;\n  TLater = procedure of object;\nimplementation\nend.";
  struct Row {
    const char16_t *Name;
    bool Event;
  };
  const Row fixed[] = {{u"TA.OnA", true},         {u"TA.OnB", true},       {u"TA.OnC", true},
                       {u"TA.OnChange", true},    {u"TA.Onchange2", false}, {u"TA.OnInt", false}};
  TParsed p = Explore(text);
  for (const Row &r : fixed)
    EXPECT_EQ(p.Find(ckEvent, r.Name) != nullptr, r.Event) << StringToUtf8(r.Name);
  guard.Options().SetFixEvents(false);
  TParsed strict = Explore(text);
  const Row plain[] = {{u"TA.OnA", true}, {u"TA.OnB", true}, {u"TA.OnC", false}, {u"TA.OnChange", false}};
  for (const Row &r : plain)
    EXPECT_EQ(strict.Find(ckEvent, r.Name) != nullptr, r.Event) << StringToUtf8(r.Name);
}

TEST(Implementations, LinkedAcrossOverloadsAndCase) {
  TParsed p = Explore(u"unit U;\ninterface\ntype\n  TA = class\n    procedure M(A: Integer); overload;\n"
                      u"    procedure M(S: string); overload;\n    procedure One(X: Integer);\n  end;\n"
                      u"implementation\nprocedure ta.M(S: string);\nbegin\nend;\n"
                      u"procedure TA.M(A: Integer);\nbegin\nend;\nprocedure TA.One(Y: Byte);\nbegin\nend;\n"
                      u"procedure TMissing.Foo;\nbegin\nend;\nprocedure TMissing.Bar;\nbegin\nend;\nend.");
  auto &cls = p.Get(ckClass, u"TA");
  std::vector<TMethodItem *> ms;
  for (Integer i = 0; i < cls.ChildCount(); ++i)
    if (auto *m = dynamic_cast<TMethodItem *>(cls.GetChild(i)); m && m->Name() == u"M")
      ms.push_back(m);
  ASSERT_EQ(ms.size(), 2u);
  ASSERT_NE(ms[0]->ImplRef(), nullptr);
  ASSERT_NE(ms[1]->ImplRef(), nullptr);
  EXPECT_EQ(ms[0]->ImplRef()->LineNr(), 12) << "M(A: Integer) links to its own body";
  EXPECT_EQ(ms[1]->ImplRef()->LineNr(), 9);
  EXPECT_EQ(p.Get<TMethodItem>(ckMethod, u"TA.One").ImplRef()->LineNr(), 15);
  EXPECT_TRUE(p.HasMessage(
      u"Associated method implementation with different parameter list in line 16 col 1"))
      << p.MessageText();
  EXPECT_TRUE(p.HasMessage(u"Class TMissing interface not found in line 19 col 1"));
  auto &stub = p.Get<TClassItem>(ckClass, u"TMissing");
  EXPECT_TRUE(stub.Stub());
  EXPECT_EQ(stub.ChildCount(), 2);
  EXPECT_EQ(p.MessageText().find("declaration not found"), std::string::npos);
}

// Names are matched ignoring case, also where they agree in more than their first eight
// characters; mismatched parameter lists are reported from the last name to the first.
TEST(Implementations, NamesMatchInFullAndReportInNameOrder) {
  TParsed p = Explore(u"unit U;\ninterface\nprocedure SetValueOfItemA(X: Integer);\n"
                      u"procedure SetValueOfItemB(X: Integer);\nprocedure SetValueOfItem(X: Integer);\n"
                      u"implementation\nprocedure setvalueofitemb(Y: Byte); begin end;\n"
                      u"procedure SetValueOfItemA(Y: Word); begin end;\n"
                      u"procedure SETVALUEOFITEM(X: Integer); begin end;\nend.");
  const std::pair<const char16_t *, Integer> links[] = {
      {u"SetValueOfItemA", 7}, {u"SetValueOfItemB", 6}, {u"SetValueOfItem", 8}};
  for (const auto &[name, line] : links) {
    const TCodeItem *impl = p.Get<TProcData>(ckProcedure, name).ImplRef();
    EXPECT_EQ(impl ? impl->LineNr() : -1, line) << StringToUtf8(name);
  }
  const std::string text = p.MessageText();
  const auto b = text.find("different parameter list in line 7 col"),
             a = text.find("different parameter list in line 8 col");
  ASSERT_NE(b, std::string::npos) << text;
  ASSERT_NE(a, std::string::npos) << text;
  EXPECT_LT(b, a) << text;
}

// What a valid unit must not show: a routine with a body in the unit that is not linked with
// it (methods of classifiers that have bodies, interface routines, forward declarations),
// or a stub made for a declaration that was not found.
std::string Unlinked(const TCodeItem &item) {
  std::string r;
  for (Integer i = 0; i < item.ChildCount(); ++i) {
    const TCodeItem &child = *item.GetChild(i);
    r += Unlinked(child);
    const auto *proc = dynamic_cast<const TProcItem *>(&child);
    const auto *method = dynamic_cast<const TMethodItem *>(&child);
    const auto *cls = dynamic_cast<const TClassItem *>(&child);
    const TCodeItem *owner = child.Owner();
    while (owner->Kind() == ckModuleSection)
      owner = owner->Owner();
    bool needsBody = false;
    if (child.Kind() == ckMethod)
      needsBody = owner->Kind() != ckInterface && owner->Kind() != ckDispInterface;
    else if (child.Kind() == ckProcedure)
      needsBody =
          !proc->HasDirective(pdExternal) && (proc->IsPublic() || proc->HasDirective(pdForward));
    if ((cls && cls->Stub()) || (method && method->Stub()) || (needsBody && !proc->ImplRef()))
      r += StringToUtf8(child.GetQualifiedName()) + " ";
  }
  return r;
}

// Valid units of unusual shapes (routines in nested include files on both sides of
// "implementation", a unit that stands in an include file as a whole, identifiers differing in the
// case of non-ASCII letters, a class declared in both branches of a conditional read with
// conditions off, an anonymous method in a program's main block, negative dispids, a nested type
// and members in an include file in a class body, a forward declaration, a record helper, overloads
// spelled in another case): read without a message, every body linked.
TEST(Implementations, ValidUnitsLinkEveryBody) {
  TOptionsGuard guard;
  const std::pair<const char *, bool> units[] = {
      {"IncludedRoutines.pas", true}, {"Umlauts.pas", true},           {"TwiceDeclared.pas", false},
      {"TwiceDeclared.pas", true},    {"UnitInInclude.pas", true},     {"AnonymousMain.dpr", true},
      {"NegativeDispIds.pas", true},  {"NestedTypeInclude.pas", true}, {"LinkShapes.pas", true},
      {"ImplNested.pas", true}};
  // One explorer (which evaluates conditions, as when it was made) reads them all as well,
  // each as a new one does.
  TParsed reused{ModuleExplorerRegistry().CreateExplorer(lanPascal)};
  for (const auto &[name, conditions] : units) {
    const std::string bytes = ReadFileBytes(Fixture(std::string("links/") + name));
    String text;
    TTextEncoding encoding;
    ASSERT_TRUE(DecodeTextBytes(reinterpret_cast<const Byte *>(bytes.data()), bytes.size(), text,
                                encoding));
    guard.Options().SetParserEvaluatesConditions(conditions);
    const String file = Utf8ToString(Fixture(std::string("links/") + name).string());
    TParsed p = Explore(text, false, file);
    EXPECT_EQ(p.MessageText() + Unlinked(p.Module()), "") << name << "\n" << p.Outline();
    if (!conditions)
      continue;
    reused.Module().SetFileName(file);
    reused.Explorer->ExploreText(text);
    EXPECT_EQ(reused.Outline() + reused.MessageText() + Unlinked(reused.Module()), p.Outline())
        << name;
  }
}

// Old "object" types have method bodies like classes: each declaration links to its body.
TEST(Implementations, ObjectTypesLinkLikeClasses) {
  TParsed p = Explore(u"unit U;\ninterface\ntype\n  PA = ^TA;\n  TA = object\n    X: Integer;\n"
                      u"    constructor Init;\n    function Size: Word; virtual;\n  private\n"
                      u"    procedure Hidden;\n  end;\n  TB = object(TA)\n    function Size: Word; virtual;\n"
                      u"  end;\nimplementation\nconstructor TA.Init;\nbegin\nend;\n"
                      u"function TA.Size: Word;\nbegin\nend;\nprocedure TA.Hidden;\nbegin\nend;\n"
                      u"function TB.Size: Word;\nbegin\nend;\nend.");
  const std::pair<const char16_t *, Integer> links[] = {
      {u"TA.Init", 15}, {u"TA.Size", 18}, {u"TA.Hidden", 21}, {u"TB.Size", 24}};
  for (const auto &[name, line] : links) {
    const TCodeItem *impl = p.Get<TMethodItem>(ckMethod, name).ImplRef();
    EXPECT_EQ(impl ? impl->LineNr() : -1, line) << StringToUtf8(name) << "\n" << p.Outline();
  }
  EXPECT_EQ(p.MessageText(), "");
  EXPECT_EQ(p.Get<TClassItem>(ckObject, u"TB").Ancestor(), u"TA");
}

TEST(Implementations, MissingDeclarationsGetStubs) {
  TParsed p = Explore(u"unit U;\ninterface\ntype\n  TA = class\n    procedure M(A: Integer); overload;\n"
                      u"    procedure M(B: Byte); overload;\n  end;\nimplementation\n"
                      u"procedure TA.M(C: Char);\nbegin\nend;\nprocedure TA.M(D: Word);\nbegin\nend;\nend.");
  EXPECT_EQ(p.Get(ckClass, u"TA").ChildCount(), 4) << p.Outline();
  EXPECT_TRUE(p.HasMessage(u"TA.M declaration not found in line 9 col 1")) << p.MessageText();
  EXPECT_TRUE(p.HasMessage(u"TA.M declaration not found in line 12 col 1"));
}

} // namespace
} // namespace krx::test
