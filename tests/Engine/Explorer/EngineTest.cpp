// The parse engine around the grammar: comments, regions, directives, include files,
// conditional compilation, hostile input, the options and registry, the global delegates
// file and the generic identifier validator.
#include "Engine/DelphiExplorerReg.h"
#include "support/ExplorerSupport.h"
#include "support/KrxTest.h"

#include "Platform/Rtl/Files.h"

#include <algorithm>
#include <chrono>
#include <filesystem>

namespace krx::test {
namespace {

const String kCommented = u"unit U;\ninterface\ntype\n  // one\n  // two\n  TA = class\n"
                          u"    F: Integer; // trailing\n    {$R+}\n  end;\n\n"
                          u"  // lonely\n\n  TB = class end;\nimplementation\nend.";

TEST(Comments, AssociationModes) {
  TOptionsGuard guard;
  TParsed p = Explore(kCommented);
  EXPECT_EQ(p.Get(ckClass, u"TA").PrologLine(), 3) << "a run of comments from its first line";
  EXPECT_TRUE(p.HasMessage(u"Irregular Comment or Attribute in TA in line 7")) << p.MessageText();
  EXPECT_EQ(p.Get(ckClass, u"TB").PrologLine(), 10);
  EXPECT_TRUE(p.HasMessage(u"Ignored compiler directive: {$R+} in line 8 col 5"));

  guard.Options().SetEmptyLineUnassociatesComment(true);
  EXPECT_EQ(Explore(kCommented).Get(ckClass, u"TB").PrologLine(), -1);

  guard.Options().SetEmptyLineUnassociatesComment(false);
  guard.Options().SetCommentAssociationMode(camDisabled);
  TParsed off = Explore(kCommented);
  EXPECT_EQ(off.Get(ckClass, u"TA").PrologLine(), -1);
  EXPECT_EQ(off.MessageText().find("Irregular"), std::string::npos);
}

TEST(Comments, SignatureModes) {
  TOptionsGuard guard;
  const String text = u"unit U;\ninterface\ntype\n  TA = class\n    {* doc}\n    F: Integer;\n"
                      u"    // plain\n    G: Integer;\n    //* doc\n    H: Integer;\n"
                      u"  end;\nimplementation\nend.";
  guard.Options().SetCommentSignature(u"*");
  guard.Options().SetCommentAssociationMode(camSignOnly);
  TParsed only = Explore(text);
  EXPECT_EQ(only.Get(ckField, u"TA.F").PrologLine(), 4);
  EXPECT_EQ(only.Get(ckField, u"TA.G").PrologLine(), -1);
  EXPECT_EQ(only.Get(ckField, u"TA.H").PrologLine(), 8) << "the opener // is two characters";
  EXPECT_TRUE(only.HasMessage(u"Irregular Comment or Attribute in TA in line 7"));
  guard.Options().SetCommentAssociationMode(camSignUnassociate);
  TParsed un = Explore(text);
  EXPECT_EQ(un.Get(ckField, u"TA.F").PrologLine(), -1);
  EXPECT_EQ(un.Get(ckField, u"TA.G").PrologLine(), 6);
  // An empty signature is a setting a user can make: plain association, no failure.
  guard.Options().SetCommentSignature(u"");
  TParsed empty = Explore(text);
  EXPECT_EQ(empty.Get(ckField, u"TA.F").PrologLine(), 4);
  EXPECT_EQ(empty.Get(ckField, u"TA.G").PrologLine(), 6);
}

TEST(Comments, AttributesBeforeADeclaration) {
  TParsed p = Explore(u"unit U;\ninterface\ntype\n  [Serializable]\n  // doc\n  TA = class\n"
                      u"  end;\nimplementation\nend.");
  EXPECT_EQ(p.Get(ckClass, u"TA").PrologLine(), 3);
}

TEST(Regions, NestingAndMismatches) {
  TParsed p = Explore(u"unit U;\n{$REGION 'Outer'}\n{$REGION 'It''s'}\n{$ENDREGION}\n"
                      u"{$ENDREGION}\n{$ENDREGION}\n{$REGION 'open}\n{$REGION Plain}\nend.");
  const TSourceRegion &root = p.Module().RootRegion();
  ASSERT_EQ(root.ChildCount(), 2);
  EXPECT_EQ(root.GetChild(0)->Name, u"Outer");
  EXPECT_EQ(root.GetChild(0)->StartLine, 1);
  EXPECT_EQ(root.GetChild(0)->EndLine, 4);
  EXPECT_EQ(root.GetChild(0)->GetChild(0)->Name, u"It's");
  EXPECT_EQ(p.MessageText(), "Unmatched $ENDREGION in line 6 col 1\n"
                             "Error in region name (unterminated string) in line 7 col 1\n"
                             "Unmatched $REGION in line 8 col 0\n"
                             "Unmatched $REGION in line 7 col 0\n");
}

TEST(Directives, FormResourceMakesDesignInfoOnce) {
  TParsed p = Explore(u"unit U;\ninterface\nimplementation\n{$R *.dfm}\n{$R *.DFM}\nend.");
  auto *info = dynamic_cast<TDFMModuleDesignInfo *>(p.Module().DesignInfo());
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->ResourceLine, 3);
  EXPECT_EQ(Explore(u"unit U;\n{$R res.res}\nend.").Module().DesignInfo(), nullptr);
}

TEST(IncludeFiles, FoundBesideTheModuleMissingAndCyclic) {
  TempDir dir;
  WriteFileBytes(dir / "decl.inc", "type\n  TInc = class\n  end;\n");
  WriteFileBytes(dir / "self.inc", "{$I self.inc}\n{$I SELF.INC}\n");
  TParsed p = Explore(u"unit U;\ninterface\n{$I DECL.inc}\n{$I none.inc}\n{$I self.inc}\n"
                      u"implementation\nend.",
                      false, dir.Str("u.pas"));
  auto *inc = dynamic_cast<TIncludeFileItem *>(p.Find(ckModuleSection, u"{$I decl.inc}"));
  ASSERT_NE(inc, nullptr) << p.Outline();
  EXPECT_EQ(inc->LineNr(), 2);
  EXPECT_NE(p.Find(ckClass, u"TInc"), nullptr);
  EXPECT_TRUE(p.HasMessage(u"Include file not found: none.inc in line 4 col 1")) << p.MessageText();
  EXPECT_EQ(p.Module().ImplLineNr(), 5);
}

// Everything an include file holds at module level stays under its include item, also after
// a class declaration has ended: the implementations too, linked with their declarations.
TEST(IncludeFiles, ImplementationsStayUnderTheirIncludeFile) {
  TempDir dir;
  WriteFileBytes(dir / "impl.inc", "type\n  TA = class\n    procedure P;\n  end;\n"
                                   "  TB = class\n    procedure Q;\n  end;\n"
                                   "procedure TA.P;\nbegin\nend;\n\nprocedure TB.Q;\nbegin\nend;\n");
  TParsed p = Explore(u"unit U;\ninterface\nimplementation\n{$I impl.inc}\nprocedure Local;\n"
                      u"begin\nend;\nend.",
                      false, dir.Str("u.pas"));
  EXPECT_EQ(p.Outline(), "ckModuleSection interface 1\n"
                         "ckModuleSection implementation 2\n"
                         "ckModuleSection {$I impl.inc} 3\n"
                         "  ckClass TA 1\n"
                         "    ckMethod P 2\n"
                         "  ckClass TB 4\n"
                         "    ckMethod Q 5\n"
                         "  ckMethodImpl P 7\n"
                         "  ckMethodImpl Q 11\n"
                         "ckProcedure Local 4\n");
  for (const char16_t *name : {u"TA.P", u"TB.Q"})
    EXPECT_NE(p.Get<TProcItem>(ckMethod, name).ImplRef(), nullptr) << StringToUtf8(name);
}

// Methods an include file declares inside a class body are the class's: qualified by the
// class and linked with their implementations in the unit.
TEST(IncludeFiles, MembersDeclaredInsideAClassBody) {
  TempDir dir;
  WriteFileBytes(dir / "decl.inc", "    procedure Foo;\n    function Baz: Integer;\n");
  TParsed p = Explore(u"unit U;\ninterface\ntype\n  TX = class\n    {$I decl.inc}\n"
                      u"    procedure Bar;\n  end;\nimplementation\nprocedure TX.Foo;\nbegin\nend;\n"
                      u"function TX.Baz: Integer;\nbegin\nend;\nprocedure TX.Bar;\nbegin\nend;\nend.",
                      false, dir.Str("u.pas"));
  EXPECT_EQ(p.MessageText(), "");
  for (const char16_t *name : {u"TX.Foo", u"TX.Baz", u"TX.Bar"})
    EXPECT_NE(p.Get<TProcItem>(ckMethod, name).ImplRef(), nullptr) << StringToUtf8(name);
}

// A parse looks each include name up once, and still reports every include it cannot follow;
// the next parse by the same explorer looks again and finds a file that has appeared since.
TEST(IncludeFiles, LookedUpOncePerParse) {
  TempDir dir;
  const String text = u"unit U;\ninterface\n{$I late.inc}\n{$I late.inc}\nimplementation\nend.";
  TParsed p{ModuleExplorerRegistry().CreateExplorer(lanPascal)};
  p.Module().SetFileName(dir.Str("u.pas"));
  p.Explorer->ExploreText(text);
  EXPECT_TRUE(p.HasMessage(u"Include file not found: late.inc in line 4 col 1")) << p.MessageText();
  WriteFileBytes(dir / "late.inc", "type\n  TLate = class\n  end;\n");
  p.Explorer->ExploreText(text);
  EXPECT_NE(p.Find(ckClass, u"TLate"), nullptr) << p.Outline();
}

// A parse that ends inside an include file (a header-only parse stops at "implementation") or
// a conditional leaves neither open for the next parse by the same explorer, which gives what
// a new explorer gives. Nothing of the text is kept: the caller may change it as soon as the
// parse returns.
TEST(ExploreText, KeepsNothingOfTheTextItParsed) {
  TempDir dir;
  WriteFileBytes(dir / "last.inc", "type\n  TInc = class\n  end;\nimplementation\nend.\n");
  TParsed p{ModuleExplorerRegistry().CreateExplorer(lanPascal)};
  p.Module().SetFileName(dir.Str("u.pas"));
  p.Explorer->ExploreText(u"unit U;\ninterface\n{$I last.inc}\ntype TStale = class end;\n", true);
  ASSERT_NE(p.Find(ckClass, u"TInc"), nullptr) << p.Outline();

  const auto result = [](const TParsed &parsed) { return parsed.Outline() + parsed.MessageText(); };
  for (const char16_t *next : {u"unit V;\ninterface\ntype TB = class end;\n",
                               u"unit W;\ninterface\n{$IFDEF UNDEFINED_X}\ntype TW = class end;\n",
                               u"unit X;\ninterface\ntype\n  { the class }\n  TC = class\n"
                               u"    procedure Run(const A: string);\n  end;\n"
                               u"implementation\nend."}) {
    String text = next;
    p.Explorer->ExploreText(text);
    const std::string outline = result(p);
    std::fill(text.begin(), text.end(), u'#');
    EXPECT_EQ(result(p), outline);
    EXPECT_EQ(outline, result(Explore(next))) << StringToUtf8(next);
  }
}

// A relative include name is looked up beside the module and in the search folders, never in
// the working directory: a text without a file name does not find a file that lies there.
TEST(IncludeFiles, NeverLookedUpInTheWorkingDirectory) {
  TempDir dir;
  WriteFileBytes(dir / "decl.inc", "type\n  TInc = class\n  end;\n");
  const String text = u"unit U;\ninterface\n{$I decl.inc}\nimplementation\nend.";
  const auto old = std::filesystem::current_path();
  std::filesystem::current_path(dir.Path());
  const bool foundInCwd = Explore(text).Find(ckClass, u"TInc") != nullptr;
  std::filesystem::current_path(old);
  EXPECT_FALSE(foundInCwd);
  const std::vector<String> folders = IncludeSearchFolders();
  SetIncludeSearchFolders({dir.Str("")});
  const bool foundInSearchFolder = Explore(text).Find(ckClass, u"TInc") != nullptr;
  SetIncludeSearchFolders(folders);
  EXPECT_TRUE(foundInSearchFolder);
}

TEST(Conditions, CompiledBranchesOnlyUnlessSwitchedOff) {
  TOptionsGuard guard;
  const String text = u"unit U;\ninterface\ntype\n{$IFDEF NEVER}\n  TA = class end;\n{$ELSE}\n"
                      u"  TB = class end;\n{$ENDIF}\nimplementation\nend.";
  TParsed on = Explore(text);
  EXPECT_EQ(on.Find(ckClass, u"TA"), nullptr);
  EXPECT_NE(on.Find(ckClass, u"TB"), nullptr);
  guard.Options().SetParserEvaluatesConditions(false);
  TParsed off = Explore(text);
  EXPECT_NE(off.Find(ckClass, u"TA"), nullptr);
  EXPECT_NE(off.Find(ckClass, u"TB"), nullptr);
}

TEST(BadInput, EndsWithAModelAndMessages) {
  String deep = u"program P;\nbegin\n";
  for (int i = 0; i < 100000; ++i)
    deep += u"begin ";
  for (int i = 0; i < 100000; ++i)
    deep += u"end; ";
  deep += u"\nend.";
  String classes = u"unit U;\ninterface\ntype\n";
  for (int i = 0; i < 1000; ++i)
    classes += Format(u"T%d = class\ntype\n", {i});
  const String cases[] = {
      u"unit U;\ninterface\nconst S = 'open",
      u"unit U;\ninterface\n{ never closed",
      u"unit U;\ninterface\n(* never closed",
      String(u"unit U;\ninterface\ntype T\0 = class\x00 end;", 40),
      u"unit U;\ninterface\ntype T\xD800 = class end; \xDC00 procedure",
      u"unit U; interface type TA = class procedure",
      u"procedure ; function : ; property [ ( < > end end end",
      u"{$REGION}{$ENDREGION}{$ENDREGION}{$I}{$IFDEF}{$ENDIF}{$ELSE}",
      u"unit U; interface type TList<T: class, constructor; U> = class(TFoo<T>) end; impl",
      u"type TR = record case Integer of 0: (A: record B: procedure",
      u"unit u; interface uses a in 'x' as , ; type x = reference to function: ;",
      deep,
      classes,
  };
  for (const String &text : cases) {
    TParsed p = Explore(text);
    EXPECT_GE(p.Module().EndLineValue(), 0);
  }
  EXPECT_NE(Explore(classes).Find(ckClass, u"T0.T1"), nullptr);
}

// How many levels the tree below `root` has, walked without recursion.
template <class TNode> Integer TreeDepth(const TNode &root) {
  Integer deepest = 0;
  std::vector<std::pair<const TNode *, Integer>> pending{{&root, 0}};
  while (!pending.empty()) {
    const auto [node, depth] = pending.back();
    pending.pop_back();
    deepest = std::max(deepest, depth);
    for (Integer i = 0; i < node->ChildCount(); ++i)
      pending.emplace_back(node->GetChild(i), depth + 1);
  }
  return deepest;
}

// Declarations and regions deeper than the bound are kept flat (a routine or type without
// its contents, a region not at all), and what follows them is read as usual.
TEST(BadInput, NestingIsBoundedAndWhatFollowsIsRead) {
  constexpr Integer kMax = TCustomPascalModuleExplorer::MaxNestingDepth;
  auto times = [](StringView s, Integer n) {
    String r;
    for (Integer i = 0; i < n; ++i)
      r += s;
    return r;
  };
  const Integer n = kMax + 40;
  const String after = u"type TAfter = class end;\nend.";
  const struct {
    const char *What;
    String Text;
    Integer ItemDepth, RegionDepth; // of the trees below the module and its root region
  } rows[] = {
      {"regions",
       u"unit U;\ninterface\nimplementation\n" + times(u"{$REGION r}\n", n) +
           times(u"{$ENDREGION}\n", n) + after,
       1, kMax},
      {"routines",
       u"unit U;\ninterface\nimplementation\n" + times(u"procedure P;\n", n) +
           times(u"begin end;\n", n) + after,
       kMax + 1, 0},
      {"method implementations",
       u"unit U;\ninterface\ntype TA = class procedure P; end;\nimplementation\n" +
           times(u"procedure TA.P;\n", n) + times(u"begin end;\n", n) + after,
       kMax + 1, 0},
      {"types",
       u"unit U;\ninterface\ntype\n" + times(u"T = record\ntype\n", n) + times(u"end;\n", n) +
           u"implementation\n" + after,
       kMax + 1, 0},
  };
  for (const auto &row : rows) {
    TParsed p = Explore(row.Text);
    EXPECT_EQ(TreeDepth<TCodeItem>(p.Module()), row.ItemDepth) << row.What;
    EXPECT_EQ(TreeDepth(p.Module().RootRegion()), row.RegionDepth) << row.What;
    EXPECT_NE(p.MessageText().find("Nested deeper than 256 levels in line"), std::string::npos)
        << row.What;
    EXPECT_EQ(p.MessageText().find("Unmatched"), std::string::npos) << row.What;
    EXPECT_NE(p.Find(ckClass, u"TAfter"), nullptr) << row.What;
  }
  // The deepest region kept ends at the $ENDREGION that pairs with it, after those of the
  // regions that were not kept.
  TParsed p = Explore(rows[0].Text);
  const TSourceRegion *deepest = &p.Module().RootRegion();
  while (deepest->ChildCount() > 0)
    deepest = deepest->GetChild(0);
  EXPECT_EQ(std::pair(deepest->StartLine, deepest->EndLine), std::pair(2 + kMax, 3 + 2 * n - kMax));
}

TEST(Registry, ExtensionsAndLanguageOfFile) {
  TModuleExplorerRegistry &r = ModuleExplorerRegistry();
  TModuleExplorerOptions &o = r.Options(lanPascal);
  const String saved = o.FileExtensions();
  EXPECT_EQ(saved, u"pas;dpr;dpk;inc");
  o.SetFileExtensions(u"*.pas, .dpr;; inc ;*.PP");
  EXPECT_EQ(o.FileExtensions(), u"pas;dpr;inc;PP");
  struct Row {
    const char16_t *File;
    TSourceLanguageKind Language;
  };
  for (const Row &row : {Row{u"/a/b.PAS", lanPascal}, Row{u"x.pp", lanPascal},
                         Row{u"Makefile", lanUndefined}, Row{u"c.cpp", lanUndefined}})
    EXPECT_EQ(r.LanguageOfFile(row.File), row.Language) << StringToUtf8(row.File);
  o.SetFileExtensions(saved);
  // Without its options class a language has no options: an internal error.
  TModuleExplorerRegistry fresh;
  EXPECT_THROW(fresh.Options(lanPascal), EAssertionFailed);
  EXPECT_THROW(fresh.CreateExplorer(lanPascal), EAssertionFailed);
}

TEST(Explorer, ChangeNotificationsAndWhitespace) {
  auto e = ModuleExplorerRegistry().CreateExplorer(lanPascal);
  int changes = 0;
  e->OnChange = [&](TModuleExplorer &) { ++changes; };
  e->BeginUpdate();
  e->BeginUpdate();
  e->EndUpdate();
  EXPECT_EQ(changes, 0);
  e->EndUpdate();
  EXPECT_EQ(changes, 1);
  e->Clear();
  EXPECT_EQ(changes, 1) << "clearing an empty module changes nothing";
  e->ExploreText(u"unit U; interface type TA = class end; implementation end.");
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(e->CompressWhitespace(u"a  b\r\n  c d"), u"a b\rc d");
  // Runs at either end, a lone blank, and texts with nothing to compress.
  const std::pair<const Char *, const Char *> rows[] = {
      {u"", u""}, {u" ", u" "}, {u"\t \t", u"\t"}, {u"  a b  ", u" a b "}, {u"ab", u"ab"},
      {u"a\t\t", u"a\t"},
      // Longer texts, read eight characters at a time: a run inside the first eight, one
      // across their end, one far behind, one at the very end, none.
      {u"ab  cdefghijklmnop", u"ab cdefghijklmnop"}, {u"abcdefg  hijklmnop", u"abcdefg hijklmnop"},
      {u"a b c d e f g h i j k l\r\n m", u"a b c d e f g h i j k l\rm"},
      {u"abcdefghijklmnop \t", u"abcdefghijklmnop "}, {u"a b c d e f g h i j", u"a b c d e f g h i j"}};
  for (const auto &[text, expected] : rows)
    EXPECT_EQ(e->CompressWhitespace(text), expected) << StringToUtf8(text);
}

TEST(GlobalDelegates, DefaultFileIsWrittenAndRead) {
  const std::filesystem::path file(StringToUtf8(TDelphiModuleExplorer::GetGlobalDelegatesFileName()));
  std::filesystem::remove(file);
  Explore(u"unit U; end.");
  EXPECT_EQ(ReadFileBytes(file), "TNotifyEvent = procedure (Sender: TObject) of object;");
  EXPECT_EQ(GlobalDelegates().Text(), u"TNotifyEvent\r\n");
  WriteFileBytes(file, "TMyEvent = procedure of object;\n1Bad = x\n\nTOther\n");
  Explore(u"unit U; end.");
  EXPECT_EQ(GlobalDelegates().Text(), u"TMyEvent\r\nTOther\r\n");
  // A file that cannot be read stops no parse.
  std::filesystem::remove(file);
  std::filesystem::create_directory(file);
  TParsed p = Explore(u"unit U; interface type TA = class end; implementation end.");
  EXPECT_NE(p.Find(ckClass, u"TA"), nullptr);
  std::filesystem::remove(file);
}

TEST(GlobalDelegates, ChangedFileAndLanguageModeAreReadAgain) {
  namespace fs = std::filesystem;
  const fs::path file(StringToUtf8(TDelphiModuleExplorer::GetGlobalDelegatesFileName()));
  // Files written "an hour ago", so that their times are trusted to tell a change; the two
  // lists have the same size.
  const auto hourAgo = fs::file_time_type::clock::now() - std::chrono::hours(1);
  const struct {
    const char *Bytes;
    int Minutes;
    TDelphiLanguageMode Mode;
    const Char *Names;
  } rows[] = {{"TFirst\n", 0, dlmDelphi11Win32, u"TFirst\r\n"},
              {"TOther\n", 1, dlmDelphi11Win32, u"TOther\r\n"},
              {"TList<T>\n", 2, dlmDelphi11Win32, u"TList<T>\r\n"},
              {"TList<T>\n", 2, dlmDelphi7Win32, u""}};
  for (const auto &row : rows) {
    WriteFileBytes(file, row.Bytes);
    fs::last_write_time(file, hourAgo + std::chrono::minutes(row.Minutes));
    TLanguageModeGuard mode(row.Mode);
    Explore(u"unit U; end.");
    EXPECT_EQ(GlobalDelegates().Text(), row.Names) << row.Bytes;
  }
  fs::remove(file);
}

// A property whose type the file names is an event, the names compared as the language
// compares identifiers; a changed file replaces the names.
TEST(GlobalDelegates, PropertiesOfListedTypesAreEvents) {
  namespace fs = std::filesystem;
  const fs::path file(StringToUtf8(TDelphiModuleExplorer::GetGlobalDelegatesFileName()));
  const auto hourAgo = fs::file_time_type::clock::now() - std::chrono::hours(1);
  const String unit = u"unit U;\ninterface\ntype\n  TA = class\n    property A: tärger read F;\n"
                      u"    property B: totherz read F;\n  end;\nimplementation\nend.";
  const struct {
    const char *Bytes;
    bool A, B;
  } rows[] = {{"\xEF\xBB\xBFT\xC3\x84RGER = procedure of object;\n1bad\n", true, false},
              {"TOtherZ\n", false, true}}; // every ASCII letter folds, "Z" too
  for (int minutes = 0; const auto &row : rows) {
    WriteFileBytes(file, row.Bytes);
    fs::last_write_time(file, hourAgo + std::chrono::minutes(minutes++));
    TParsed p = Explore(unit);
    EXPECT_EQ(std::pair(p.Find(ckEvent, u"TA.A") != nullptr, p.Find(ckEvent, u"TA.B") != nullptr),
              std::pair(row.A, row.B))
        << row.Bytes;
  }
  fs::remove(file);
}

TEST(GenericValidator, NamesWithNestedArguments) {
  TLanguageModeGuard mode(dlmDelphi11Win32);
  TIdentifierValidator &v = GlobalPascalLanguage()->IdentValidator();
  ASSERT_NE(dynamic_cast<TPascalGenericsIdentValidator *>(&v), nullptr);
  EXPECT_TRUE(v.IsValidFor(ckClass, u"TList<T>"));
  EXPECT_TRUE(v.IsValidFor(ckClass, u"TList<T: class>"));
  EXPECT_FALSE(v.IsValidFor(ckClass, u"TList<begin>"));
  EXPECT_EQ(v.UnqualifiedName(u"Sys.TDictionary<string, TList<Integer>>"), u"TDictionary<,>");
  String name, params;
  bool generic = false;
  v.SplitGenericName(u"TDictionary<string, TList<Integer>>", name, generic, params);
  EXPECT_EQ(name, u"TDictionary");
  EXPECT_TRUE(generic);
  EXPECT_EQ(params, u"<string, TList<Integer>>");
  String qualifier;
  EXPECT_TRUE(v.SplitQualifiedName(u"A.B<C>.D<E, F>", name, qualifier));
  EXPECT_EQ(name, u"D<E, F>");
  EXPECT_EQ(qualifier, u"A.B<C>");
  TStringList list;
  EXPECT_TRUE(v.SplitList(u"IFoo, TBar<Integer>", list));
  EXPECT_EQ(list.Count(), 2);
  EXPECT_FALSE(v.SplitList(u"IFoo; IBar", list));
  EXPECT_EQ(list.Count(), 0);
  // Type names of one part: plain identifiers and texts starting with a digit are answered
  // without reading, as reading answers them.
  const std::pair<const Char *, bool> names[] = {
      {u"TEv1", true},        {u"_9", true},       {u"begin", false},   {u"Begin", false},
      {u"1Bad", false},       {u"9", false},       {u"TEv 1", false},   {u" TEv", true},
      {u"T\u00C4rger", true}, {u"TList<T>", true}, {u"Sys.TEv", false}, {u"", false}};
  for (const auto &[name, valid] : names)
    EXPECT_EQ(v.IsValidFor(ckDelegate, name), valid) << StringToUtf8(name);
}

TEST(GenericValidator, FollowsTheLanguageMode) {
  TLanguageModeGuard mode(dlmDelphi7Win32);
  EXPECT_EQ(dynamic_cast<TPascalGenericsIdentValidator *>(&GlobalPascalLanguage()->IdentValidator()),
            nullptr);
  EXPECT_FALSE(GenericNamesEnabled());
  GlobalPascalLanguage()->SetLanguageMode(dlmD2009Win32);
  EXPECT_TRUE(GenericNamesEnabled());
  EXPECT_TRUE(EscapedIdentifiersEnabled());
}

TEST(Mappers, ProcDirectivesAndReservedWords) {
  EXPECT_EQ(ReservedWordToProcDirective(rwFinal), pdSealed);
  EXPECT_THROW(ReservedWordToProcDirective(rwRead), EKRXException);
  const TStringList &words = GlobalPascalLanguage()->ReservedWords();
  EXPECT_EQ(words.Count(), 69);
  for (const char16_t *w : {u"static", u"sealed", u"final", u"unsafe"})
    EXPECT_GE(words.IndexOf(w), 0) << StringToUtf8(w);
  EXPECT_LT(words.IndexOf(u"private"), 0);
}

} // namespace
} // namespace krx::test
