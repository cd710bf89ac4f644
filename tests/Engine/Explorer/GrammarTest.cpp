// The Delphi grammar over real snippets: modules, uses clauses, every kind of type, routine
// headings with their directives, properties and events, visibility sections.
#include "support/ExplorerSupport.h"

namespace krx::test {
namespace {

TEST(ModuleStructure, ModuleKindsNamesAndImplementationLines) {
  struct Row {
    const char16_t *Text;
    TModuleType Type;
    const char16_t *Name;
    Integer ImplLine;
  };
  const Row rows[] = {
      {u"unit A.B;\ninterface\nimplementation\nend.", mtUnit, u"A.B", 2},
      {u"program P;\nbegin\nend.", mtProgram, u"P", 0},
      {u"library L;\nexports X;\nbegin\nend.", mtLibrary, u"L", 0},
      {u"package Pk;\nrequires rtl;\nend.", mtPackage, u"Pk", 0},
      // Without a header, "implementation" makes a unit.
      {u"interface\nimplementation\nend.", mtUnit, u"", 1},
  };
  for (const Row &r : rows) {
    TParsed p = Explore(r.Text);
    EXPECT_EQ(p.Module().ModuleType(), r.Type) << StringToUtf8(r.Text);
    EXPECT_EQ(p.Module().Name(), r.Name);
    EXPECT_EQ(p.Module().ImplLineNr(), r.ImplLine) << StringToUtf8(r.Text);
  }
}

TEST(ModuleStructure, HeaderOnlyStopsAtImplementation) {
  TParsed p = Explore(u"unit U;\ninterface\ntype\n  TA = class\n  end;\nimplementation\n"
                      u"type\n  TB = class\n  end;\nend.",
                      true);
  EXPECT_EQ(p.Module().ImplLineNr(), 5);
  EXPECT_NE(p.Find(ckClass, u"TA"), nullptr);
  EXPECT_EQ(p.Find(ckClass, u"TB"), nullptr);
}

TEST(ModuleStructure, InitializationEndClosesSectionAndModuleButNestedEndsDoNot) {
  TParsed p = Explore(u"unit U;\ninterface\nimplementation\ninitialization\n"
                      u"  if X then\n  begin\n    Y;\n  end;\n  Z;\nfinalization\n  W;\nend.\n");
  auto &init = p.Get<TModuleSectionItem>(ckModuleSection, u"initialization");
  // The nested end on line 7 does not close the section; finalization does (abandoned).
  EXPECT_EQ(init.EndLineValue(), 8);
  auto &fin = p.Get<TModuleSectionItem>(ckModuleSection, u"finalization");
  EXPECT_EQ(fin.EndLineValue(), 11);
  EXPECT_EQ(p.Module().EndLineValue(), 11);
  EXPECT_EQ(p.MessageText(), "");
}

TEST(UsesClause, UnitsPathsAndErrors) {
  TParsed p = Explore(u"unit U;\ninterface\nuses A in 'a.pas', B.C, D;\nimplementation\nend.");
  auto &uses = p.Get<TUsesClause>(ckUses, u"");
  ASSERT_EQ(uses.UnitNames().Count(), 3);
  EXPECT_EQ(uses.UnitNames()[1], u"B.C");
  EXPECT_EQ(uses.ModulePaths()[0], u"a.pas");
  EXPECT_EQ(uses.ModulePaths()[2], u"");
  EXPECT_EQ(uses.UsesListText(), u"A in 'a.pas', B.C, D");
  EXPECT_FALSE(uses.BadFormat());

  TParsed open = Explore(u"program P;\nuses A in 'a.pas;\nbegin end.");
  EXPECT_TRUE(open.HasMessage(u"Error in uses clause (unterminated string) in line 2 col 11"))
      << open.MessageText();
  EXPECT_EQ(open.Get<TUsesClause>(ckUses, u"").UnitNames()[0], u"A");

  TParsed missing = Explore(u"program P;\nuses A B;\ntype T = Integer;\nbegin end.");
  auto &bad = missing.Get<TUsesClause>(ckUses, u"");
  EXPECT_TRUE(bad.BadFormat());
  ASSERT_EQ(bad.UnitNames().Count(), 1);
  EXPECT_NE(missing.Find(ckUnhandledType, u"T"), nullptr) << "parsing goes on after the clause";
}

constexpr const char16_t *kTypes = uR"(unit Types1;
interface
type
  TFwd = class;
  TRef = class of TBar;
  TBar = class(TBase, IOne, ITwo)
  end;
  TAbs = class abstract
  end;
  TSealed = class sealed(TObject)
  end;
  IFoo = interface(IInterface)
    ['{11111111-2222-3333-4444-555555555555}']
    procedure Run;
  end;
  TRH = record helper for TPoint
  end;
  TCH = class helper for TObject
  end;
  TList<T: class> = class
  end;
  TEnum = (eA, eB);
  TSet = set of TEnum;
  TRange = 1..10;
  PInt = ^Integer;
  TAlias = type string;
  TRec = packed record
    A: Integer;
  end;
  TOuter = class
  type
    TInner = class
    end;
  end;
implementation
end.
)";

TEST(TypeDeclarations, ClassesHeadersAndTextTypes) {
  TParsed p = Explore(kTypes);
  EXPECT_EQ(p.Get<TUnhandledTypeItem>(ckUnhandledType, u"TFwd").GetDeclaration(),
            u"TFwd = class;");
  EXPECT_EQ(p.Get<TUnhandledTypeItem>(ckUnhandledType, u"TRef").GetDeclaration(),
            u"TRef = class of TBar;");
  auto &bar = p.Get<TClassItem>(ckClass, u"TBar");
  EXPECT_EQ(bar.Ancestor(), u"TBase");
  EXPECT_EQ(bar.Interfaces(), u"IOne, ITwo");
  EXPECT_EQ(bar.LineNr(), 5);
  EXPECT_EQ(bar.ItemStartPos(), 3);
  EXPECT_TRUE(p.Get<TClassItem>(ckClass, u"TAbs").Directives().Contains(cldAbstract));
  EXPECT_TRUE(p.Get<TClassItem>(ckClass, u"TSealed").Directives().Contains(cldSealed));
  auto &intf = p.Get<TClassItem>(ckInterface, u"IFoo");
  EXPECT_EQ(intf.GUID(), u"'{11111111-2222-3333-4444-555555555555}'");
  EXPECT_NE(p.Find(ckMethod, u"IFoo.Run"), nullptr);
  EXPECT_EQ(p.Get<TClassItem>(ckRecordHelper, u"TRH").HelperTarget(), u"TPoint");
  EXPECT_EQ(p.Get<TClassItem>(ckHelper, u"TCH").HelperTarget(), u"TObject");
  auto &list = p.Get<TClassItem>(ckClass, u"TList<T>");
  EXPECT_EQ(list.GenericName(), u"TList<>");
  for (auto [name, text] : {std::pair{u"TEnum", u"TEnum = (eA, eB);"},
                            {u"TSet", u"TSet = set of TEnum;"},
                            {u"TRange", u"TRange = 1..10;"},
                            {u"PInt", u"PInt = ^Integer;"},
                            {u"TAlias", u"TAlias = type string;"}})
    EXPECT_EQ(p.Get<TUnhandledTypeItem>(ckUnhandledType, name).GetDeclaration(), text);
  EXPECT_TRUE(p.Get<TClassItem>(ckRecord, u"TRec").IsPacked());
  EXPECT_NE(p.Find(ckClass, u"TOuter.TInner"), nullptr);
  EXPECT_EQ(p.MessageText(), "");
}

TEST(TypeDeclarations, LanguageModeDecidesWhatIsRecognised) {
  TLanguageModeGuard mode(dlmDelphi7Win32);
  TParsed p = Explore(u"unit U;\ninterface\ntype\n  TA = class abstract\n  end;\n"
                      u"  TG<T> = class\n  end;\nimplementation\nend.");
  EXPECT_FALSE(p.Get<TClassItem>(ckClass, u"TA").Directives().Contains(cldAbstract));
  EXPECT_EQ(p.Find(ckClass, u"TG<T>"), nullptr);
  EXPECT_NE(p.MessageText().find("Unexpected token \"<\""), std::string::npos) << p.MessageText();
}

TEST(TypeDeclarations, VariantRecordsAndAncestorErrors) {
  TParsed p = Explore(u"unit U;\ninterface\ntype\n  TV = record\n    Tag: Byte;\n"
                      u"    case Byte of\n      0: (A: Integer);\n      1: (B: record X: Word; end);\n"
                      u"  end;\n  TR = record(TBase)\n  end;\n  TNext = Integer;\nimplementation\nend.");
  auto &v = p.Get<TClassItem>(ckRecord, u"TV");
  EXPECT_EQ(v.EndLineValue(), 8) << "the record's end closes the variant part too";
  ASSERT_NE(p.Find(ckVariantSection, u"TV.case Byte of 0: (A: Integer); 1: (B: record X: Word; end);"),
            nullptr)
      << p.Outline();
  EXPECT_TRUE(p.Get<TClassItem>(ckRecord, u"TR").BadFormat());
  EXPECT_NE(p.Find(ckUnhandledType, u"TNext"), nullptr);
}

TEST(Visibility, SectionsAndStrictWords) {
  TParsed p = Explore(u"unit U;\ninterface\ntype\n  TA = class\n  strict private\n    F1: Integer;\n"
                      u"  protected\n    F2: Integer;\n  strict public\n    F3: Integer;\n  end;\n"
                      u"implementation\nend.");
  EXPECT_EQ(p.Get(ckField, u"TA.F1").Visibility(), scStrictPrivate);
  EXPECT_EQ(p.Get(ckField, u"TA.F2").Visibility(), scProtected);
  // "strict public" is no visibility: no item for it, the one before stays.
  EXPECT_EQ(p.Get(ckField, u"TA.F3").Visibility(), scPublic);
  auto &cls = p.Get(ckClass, u"TA");
  Integer sections = 0;
  for (Integer i = 0; i < cls.ChildCount(); ++i)
    sections += cls.GetChild(i)->Kind() == ckVisibility;
  EXPECT_EQ(sections, 3) << p.Outline();
  EXPECT_TRUE(p.HasMessage(u"Unexpected token \"public\" in line 9 col 10")) << p.MessageText();
}

TEST(Fields, ListsKindsTypesAndInitializers) {
  TParsed p = Explore(u"unit U;\ninterface\ntype\n  TA = class\n    A, B, C: Integer;\n"
                      u"    FOn: procedure(Sender: TObject) of object;\n    R: record X, Y: Integer; end;\n"
                      u"  const\n    K = 5;\n    T: array[0..1] of Byte = (1, 2);\n"
                      u"  class var\n    S: string;\n    D: Integer deprecated;\n  end;\n"
                      u"implementation\nend.");
  auto &abc = p.Get<TFieldItem>(ckField, u"TA.A, B, C");
  EXPECT_EQ(abc.DataName(), u"Integer");
  EXPECT_EQ(p.Get<TFieldItem>(ckField, u"TA.FOn").DataName(),
            u"procedure(Sender: TObject) of object");
  EXPECT_EQ(p.Get<TFieldItem>(ckField, u"TA.R").DataName(), u"record X, Y: Integer; end");
  auto &k = p.Get<TFieldItem>(ckField, u"TA.K");
  EXPECT_EQ(k.FieldKind(), fkConst);
  EXPECT_EQ(k.Initializer(), u"5");
  auto &t = p.Get<TFieldItem>(ckField, u"TA.T");
  EXPECT_EQ(t.DataName(), u"array[0..1] of Byte");
  EXPECT_EQ(t.Initializer(), u"(1, 2)");
  EXPECT_EQ(p.Get<TFieldItem>(ckField, u"TA.S").FieldKind(), fkStatic);
  EXPECT_TRUE(p.Get(ckField, u"TA.D").HintDirectives().Contains(hdDeprecated));
  auto &section = p.Get<TCodeSectionItem>(ckCodeSection, u"TA.class var");
  EXPECT_EQ(section.LineNr(), 10);
  EXPECT_EQ(section.ItemStartPos(), 3) << "a class var section starts at the word class";
  EXPECT_EQ(p.MessageText(), "");
}

} // namespace
} // namespace krx::test
