#include "Engine/CodeItems.h"
#include "Engine/CodeItemsTestSupport.h"

#include "Platform/Shell/Dialogs.h"

#include <gtest/gtest.h>

#include <tuple>

namespace krx {
namespace {

// An item at the given lines and columns.
TCodeItem *Item(TCodeItem *owner, const String &name, Integer line, Integer startPos,
                Integer endLine, Integer endPos) {
  auto *item = new TCodeItem(owner);
  item->SetName(name);
  item->SetLineNr(line);
  item->SetItemStartPos(startPos);
  item->SetEnd(endLine, endPos);
  return item;
}

// ---- Ownership and moves -----------------------------------------------------------------

TEST(CodeItemTree, ChildrenBelongToTheirOwnerAndLeaveItWhenFreed) {
  TModuleItem module;
  TCodeItem *a = Item(&module, u"A", 1, 1, 1, 5);
  TCodeItem *b = Item(&module, u"B", 2, 1, 2, 5);
  Item(a, u"A1", 1, 3, 1, 4);
  ASSERT_EQ(module.ChildCount(), 2);
  delete a; // an owned item may be freed directly; it leaves its owner
  ASSERT_EQ(module.ChildCount(), 1);
  EXPECT_EQ(module.GetChild(0), b);
  EXPECT_EQ(b->Owner(), &module);
}

TEST(CodeItemTree, MovesAndRefusedMovesKeepTheTreeWhole) {
  TModuleItem module;
  TCodeItem *a = Item(&module, u"A", 1, 1, 9, 5);
  TCodeItem *b = Item(&module, u"B", 10, 1, 12, 5);
  TCodeItem *a1 = Item(a, u"A1", 2, 3, 2, 4);

  EXPECT_EQ(a->SetOwner(&module), nullptr); // to its own owner: nothing
  EXPECT_EQ(module.ChildCount(), 2);

  // Under its own child or itself: refused before anything moves.
  EXPECT_THROW(a->SetOwner(a1), EKRToolsException);
  EXPECT_THROW(a->SetOwner(a), EKRToolsException);
  EXPECT_EQ(a->Owner(), &module);
  EXPECT_EQ(module.GetChild(0), a);

  a1->SetOwner(b);
  EXPECT_EQ(a->ChildCount(), 0);
  EXPECT_EQ(b->GetChild(0), a1);

  std::unique_ptr<TCodeItem> detached = b->SetOwner(nullptr);
  ASSERT_EQ(detached.get(), b);
  EXPECT_EQ(module.ChildCount(), 1);
  // A detached item and its subtree may be added back, but not under its own child.
  EXPECT_THROW(TCodeItem::AddChild(a1, std::move(detached)), EKRToolsException);
  ASSERT_NE(detached, nullptr);
  TCodeItem::AddChild(&module, std::move(detached));
  EXPECT_EQ(module.GetChild(1), b);
}

TEST(CodeItemTree, NewItemsTakeTheOwnersLanguageAndDefaults) {
  TModuleItem module;
  auto *item = new TCodeItem(&module);
  EXPECT_EQ(item->LineNr(), -1);
  EXPECT_EQ(item->PrologLine(), -1);
  EXPECT_EQ(item->GetLanguage(), GlobalPascalLanguage());
  item->SetPrologLine(-5);
  EXPECT_EQ(item->PrologLine(), -1);
  EXPECT_EQ(item->GetModule(), &module);
}

TEST(CodeItemTree, AssignCopiesPositionsButNoChildren) {
  TModuleItem module;
  TCodeItem *source = Item(&module, u"A", 5, 3, 9, 7);
  source->SetPrologLine(4);
  source->SetHeaderEndLineValue(6);
  source->SetHeaderEndPos(12);
  Item(source, u"A1", 6, 5, 6, 9);
  TCodeItem copy(nullptr);
  copy.Assign(source);
  EXPECT_EQ(std::tuple(copy.Name(), copy.LineNr(), copy.ItemStartPos(), copy.Indention(),
                       copy.PrologLine(), copy.HeaderEndLineValue(), copy.HeaderEndPos(),
                       copy.EndLineValue(), copy.EndPos(), copy.ChildCount()),
            std::tuple(String(u"A"), 5, 3, 2, 4, 6, 12, 9, 7, 0));
}

// ---- Item at a position --------------------------------------------------------------------

TEST(CodeItemPosition, ItemAtLineHonoursPrologLinesAndSkipsItemsWithoutPosition) {
  TModuleItem module;
  module.SetEnd(20, 1);
  TCodeItem *item = Item(&module, u"A", 5, 1, 7, 5);
  item->SetPrologLine(3);
  auto *unplaced = new TCodeItem(&module);
  unplaced->SetEnd(20, 1);

  EXPECT_EQ(module.ItemAtLine(3), item);
  EXPECT_EQ(module.ItemAtLine(7), item);
  EXPECT_EQ(module.ItemAtLine(2), &module);
  EXPECT_EQ(item->ItemAtLine(2), nullptr);
  EXPECT_EQ(unplaced->ItemAtLine(10), nullptr);
  EXPECT_EQ(unplaced->ItemAtPos(10, 1), nullptr);

  TModuleItem empty;
  EXPECT_EQ(empty.ItemAtLine(0), &empty);
  EXPECT_EQ(empty.ItemAtLine(1), nullptr);
}

TEST(CodeItemPosition, ItemAtPosFindsTheDeepestItemAndTellsSiblingsApartByColumn) {
  TModuleItem module;
  module.SetEndLineValue(30);
  TCodeItem *cls = Item(&module, u"TFoo", 2, 3, 10, 6);
  cls->SetHeaderEndLineValue(2);
  cls->SetHeaderEndPos(20);
  TCodeItem *first = Item(cls, u"A", 4, 1, 4, 10);
  TCodeItem *second = Item(cls, u"B", 4, 20, 4, 30);

  struct Case {
    Integer Line, Column;
    TCodeItem *Expected;
  };
  const Case cases[] = {
      {4, 25, second}, {4, 19, second}, {4, 18, first}, {4, 5, first}, // siblings on one line
      {2, 10, cls},    {2, 25, cls},                  // in the header, and behind it
      {1, 1, &module}, {31, 1, nullptr},
  };
  for (const Case &c : cases)
    EXPECT_EQ(module.ItemAtPos(c.Line, c.Column), c.Expected) << c.Line << ":" << c.Column;
}

// ---- Line shifts ---------------------------------------------------------------------------

TEST(CodeItemLines, InsertionAndDeletionMoveEveryLineAtOrAfterTheirLine) {
  TModuleItem module;
  module.SetIntfLineNr(2);
  module.SetImplLineNr(15);
  TCodeItem *before = Item(&module, u"Before", 9, 1, 9, 5);
  TCodeItem *at = Item(&module, u"At", 10, 1, 12, 5);
  at->SetPrologLine(10);
  TCodeItem *inner = Item(at, u"Inner", 11, 3, 11, 9);
  auto *region = new TSourceRegion(&module.RootRegion());
  region->StartLine = 10;
  region->EndLine = 20;
  auto *dfm = new TDFMModuleDesignInfo(&module, 14);

  module.LinesInserted(&module, 10, 2);
  EXPECT_EQ(before->LineNr(), 9);
  EXPECT_EQ(at->LineNr(), 12);
  EXPECT_EQ(at->PrologLine(), 12);
  EXPECT_EQ(at->EndLineValue(), 14);
  EXPECT_EQ(inner->LineNr(), 13);
  EXPECT_EQ(module.ImplLineNr(), 17);
  EXPECT_EQ(module.IntfLineNr(), 2);
  EXPECT_EQ(region->StartLine, 12);
  EXPECT_EQ(region->EndLine, 22);
  EXPECT_EQ(dfm->ResourceLine, 16);

  // The origin keeps its own lines; its children move.
  module.LinesInserted(at, 0, 1);
  EXPECT_EQ(at->LineNr(), 12);
  EXPECT_EQ(inner->LineNr(), 14);

  module.LinesDeleted(&module, 5, 3);
  EXPECT_EQ(region->EndLine, 20);
  EXPECT_EQ(dfm->ResourceLine, 14);

  module.SetImplLineNr(-1);
  module.LinesInserted(&module, 0, 5);
  EXPECT_EQ(module.ImplLineNr(), -1);
}

TEST(SourceRegions, FollowDeletionsAndLeaveTheirParentWhenFreed) {
  TSourceRegion root(nullptr);
  auto *region = new TSourceRegion(&root);
  region->StartLine = 8;
  region->EndLine = 20;
  auto *early = new TSourceRegion(&root);
  early->StartLine = 1;
  early->EndLine = 4;
  root.LinesDeleted(8, 3); // from the region's first line on
  EXPECT_EQ(region->StartLine, 5);
  EXPECT_EQ(region->EndLine, 17);
  EXPECT_EQ(early->StartLine, 1);
  EXPECT_EQ(early->EndLine, 4);
  delete region;
  delete early;

  auto *only = new TSourceRegion(&root);
  new TSourceRegion(only);
  delete only;
  EXPECT_EQ(root.ChildCount(), 0);
}

// ---- Names ---------------------------------------------------------------------------------

TEST(CodeItemNames, QualifiedScopedAndGenericNames) {
  TModuleItem module;
  auto *ns = new TCodeItem(&module);
  ns->SetName(u"NS");
  auto *cls = new TTypeItem(ns);
  cls->SetName(u"TOuter");
  cls->SetGenericArity(u"TOuter", 2);
  auto *item = new TCodeItem(cls);
  item->SetName(u"Inner");
  EXPECT_EQ(cls->GenericName(), u"TOuter<,>");
  cls->SetGenericArity(u"TOuter", 0);
  EXPECT_EQ(cls->GenericName(), u"TOuter");
  EXPECT_EQ(module.GetTypeCount(), 1);

  Integer index = -1;
  EXPECT_TRUE(module.FindChild(u"ns", index));
  EXPECT_EQ(index, 0);
  EXPECT_FALSE(module.FindChild(u"TOuter", index));
  std::vector<TCodeItem *> found;
  module.CollectChildren(u"touter", found, {ckNone}, true);
  EXPECT_TRUE(found.empty()); // ckNone items are not entered
}

TEST(CodeItemNames, RenamingToASiblingsNameIsRefusedUnlessOnlyTheCaseChanges) {
  TModuleItem module;
  auto *a = new TCodeItem(&module);
  a->SetName(u"Alpha");
  auto *b = new TCodeItem(&module);
  b->SetName(u"Beta");
  EXPECT_NO_THROW(b->ValidateName(u"Beta", u"BETA"));
  try {
    b->ValidateName(u"Beta", u"alpha");
    FAIL();
  } catch (const EKRToolsException &e) {
    EXPECT_EQ(e.Message(), u"\"alpha\" already exists");
  }
  EXPECT_THROW(b->ValidateName(u"Beta", u"1x"), EKRToolsException);
  EXPECT_TRUE(a->IsUniqueIn(nullptr));
  EXPECT_FALSE(a->IsUniqueIn(&module));
}

// ---- Tag data and module parts -------------------------------------------------------------

TEST(CodeItemTagData, IsThePublishedPropertiesInNameOrderThenTheEndLines) {
  TCodeItem item(nullptr);
  item.SetHintDirectives({hdDeprecated, hdLibrary});
  TDictionary tags;
  item.WriteTagData(tags);
  EXPECT_EQ(tags.Text(), u"BadFormat=False\r\nChildCount=0\r\nDeclaration=\r\nEndLineValue=0\r\n"
                         u"EndPos=0\r\nHeaderEndLineValue=0\r\nHeaderEndPos=0\r\n"
                         u"HintDirectives=[hdDeprecated,hdLibrary]\r\nIndention=0\r\n"
                         u"IsPublic=True\r\nItemStartPos=0\r\nKind=ckNone\r\nLineNr=-1\r\nName=\r\n"
                         u"PrologLine=-1\r\nTypeConstraints=\r\nVisibility=scDefault\r\n"
                         u"EndLine=0\r\nHeaderEndLine=0\r\n");
}

TEST(ModuleParts, UsesClauseMessagesAndSections) {
  TModuleItem module;
  auto *uses = new TUsesClause(&module);
  uses->AddUnit(u"SysUtils", u"");
  uses->AddUnit(u"Foo", u"..\\Foo.pas");
  uses->SetUsesListText(u"SysUtils,\r\n  Foo in '..\\Foo.pas'");
  TDictionary tags;
  uses->WriteTagData(tags);
  EXPECT_EQ(tags.Values(u"Units"), u"SysUtils\\NFoo\\N");
  EXPECT_EQ(tags.Values(u"ModulePaths"), u"\\N..\\\\Foo.pas\\N");
  EXPECT_EQ(uses->GetDeclaration(), u"uses\r  SysUtils,\r\n  Foo in '..\\Foo.pas';");
  EXPECT_EQ(uses->GetDescription(), u"interface uses clause");
  uses->SetIsPublic(false);
  EXPECT_EQ(uses->Visibility(), scPrivate);
  EXPECT_EQ(uses->GetDescription(), u"implementation uses clause");

  TMessagesItem messages;
  messages.AddMessage(u"first", 1, TCodeMessageKind::Error, 1);
  TMessageDetails &m = messages.AddPositionMessage(u"Oops", 12, TCodeMessageKind::Hint, 5);
  EXPECT_EQ(m.Text, u"Oops in line 12 col 5");
  EXPECT_EQ(m.Line, 12);
  EXPECT_EQ(messages.GetMessagesText(), u"first\r\nOops in line 12 col 5\r\n");
  TDictionary messageTags;
  messages.WriteTagData(messageTags);
  EXPECT_EQ(messageTags.Values(u"Messages"), u"first\\NOops in line 12 col 5\\N");
  TMessagesItem copy;
  copy.Assign(messages);
  EXPECT_EQ(copy.GetMessagesText(), messages.GetMessagesText());

  TModuleSectionItem *impl = module.AddSection(msImplementation);
  EXPECT_EQ(impl->Name(), u"implementation");
  EXPECT_FALSE(impl->IsPublic());
  EXPECT_EQ(module.AddSection(msIncludeFile)->Name(), u"{$I %s}");
  EXPECT_TRUE(module.AddSection(msInterface)->IsPublic());

  auto *section = new TCodeSectionItem(&module);
  EXPECT_EQ(section->SectionKind(), cskVar);
  EXPECT_EQ(section->Name(), u"");
  section->SetSectionKind(cskResourceString);
  EXPECT_EQ(section->Name(), u"resourcestring");
}

TEST(ModuleParts, ClearAndResetLeaveAModuleReadyForTheNextParse) {
  TModuleItem module;
  module.SetFileName(u"a.pas");
  new TTypeItem(&module);
  new TDFMModuleDesignInfo(&module, 3);
  new TSourceRegion(&module.RootRegion());
  module.MarkedLines().Add(4);
  module.SetName(u"Unit1");
  module.SetImplLineNr(9);
  module.Clear();
  module.Reset();
  EXPECT_EQ(module.GetTypeCount(), 0);
  EXPECT_EQ(module.DesignInfo(), nullptr);
  EXPECT_EQ(module.RootRegion().ChildCount(), 0);
  EXPECT_EQ(module.MarkedLines().Count(), 0);
  EXPECT_EQ(module.FileName(), u"");
  EXPECT_EQ(module.Name(), u"");
  EXPECT_EQ(module.ImplLineNr(), -1);
  EXPECT_EQ(module.Visibility(), scPublic);
}

TEST(ModuleParts, TypeItemsFollowTheModuleTheyAreMovedTo) {
  TModuleItem a, b;
  auto *holder = new TCodeItem(&a);
  auto *type = new TTypeItem(holder);
  new TTypeItem(type);
  EXPECT_EQ(a.GetTypeCount(), 2);
  holder->SetOwner(&b);
  EXPECT_EQ(a.GetTypeCount(), 0);
  EXPECT_EQ(b.GetTypeCount(), 2);
  std::unique_ptr<TCodeItem> detached = holder->SetOwner(nullptr);
  EXPECT_EQ(b.GetTypeCount(), 0);
}

TEST(CodeItemModel, AnswersNoEventTypeAlsoWhenThereIsNoModel) {
  FreeCodeItemModel();
  EXPECT_FALSE(IsEventTypeNameOfModel(u"TNotifyEvent"));
  CreateCodeItemModel();
  EXPECT_FALSE(CodeItemModel()->IsEventTypeName(u"TNotifyEvent"));
  FreeCodeItemModel();
}

// ---- Unit routines -------------------------------------------------------------------------

TEST(CodeItemRoutines, IdentifierRulesAndKeywords) {
  EXPECT_FALSE(IsUnicodeIdent(u""));
  EXPECT_FALSE(IsUnicodeIdent(u"1A"));
  EXPECT_TRUE(IsUnicodeIdent(u"_1"));
  EXPECT_TRUE(IsUnicodeIdent(u"Größe"));
  EXPECT_FALSE(IsAsciiIdent(u"Größe"));
  EXPECT_TRUE(IsAsciiIdent(u"Size_2"));

  TMethodKind kind = mkMethod;
  EXPECT_TRUE(MethodKindFromName(u"Constructor", kind));
  EXPECT_EQ(kind, mkConstructor);
  EXPECT_FALSE(MethodKindFromName(u"func", kind));
  EXPECT_FALSE(MethodKindFromName(u"PROCEDURES", kind));
  EXPECT_EQ(kind, mkConstructor);
  EXPECT_EQ(NormalizeMethodKind(mkFunction), mkMethod);
  EXPECT_EQ(NormalizeMethodKind(mkOperator), mkOperator);

  EXPECT_EQ(ClassKindOfItemKind(ckRecordHelper), clRecordHelper);
  EXPECT_EQ(ClassKindOfItemKind(ckModule), clModule);
  EXPECT_EQ(ClassKindOfItemKind(ckField), clUndefined);
  for (Integer k = clClass; k <= clRecordHelper; ++k)
    EXPECT_EQ(ClassKindOfItemKind(ItemKindOfClassKind(static_cast<TClassKind>(k))), k);
  EXPECT_EQ(ClassKindKeyword(clRecordHelper), u"record helper");
  EXPECT_EQ(CodeSectionKeyword(cskClassThreadVar), u"class threadvar");
  EXPECT_EQ(AbstractOrSealedKeyword({cldSealed, cldAbstract}), u"abstract");
  EXPECT_EQ(HintDirectivesText({hdPlatform}, u"", u" "), u" platform");
  EXPECT_EQ(HintDirectivesText({}, u"", u" "), u"");
  EXPECT_EQ(HighestFlag7(0b0001010), 3);
  EXPECT_EQ(HighestFlag3(0), 0);
}

// ---- Validators and the language ------------------------------------------------------------

TEST(IdentValidator, PascalRulesFollowTheLanguageMode) {
  TPascalLanguage &pascal = *GlobalPascalLanguage();
  const bool added = pascal.ReservedWords().IndexOf(u"begin") < 0;
  if (added)
    pascal.ReservedWords().Add(u"begin");
  // A change of the mode may install another validator: ask the language each time.
  TIdentifierValidator &v = pascal.IdentValidator();
  EXPECT_FALSE(v.IsValidName(ckField, u"public"));
  EXPECT_TRUE(v.IsValidQualifiedIdent(u"A.public"));
  EXPECT_FALSE(v.IsValidName(ckField, u"strict"));
  EXPECT_TRUE(v.IsValidIdent(u"&begin"));
  EXPECT_FALSE(v.IsValidIdent(u"begin"));
  EXPECT_TRUE(v.IsValidQualifiedIdent(u"A.begin"));
  EXPECT_FALSE(v.IsValidName(ckResClause, u"IFoo"));
  EXPECT_TRUE(v.IsValidName(ckResClause, u"IFoo.Bar"));
  EXPECT_TRUE(v.IsValidIdent(u"Größe"));
  {
    TLanguageModeGuard guard(dlmDelphi7Win32);
    TIdentifierValidator &v7 = pascal.IdentValidator();
    EXPECT_TRUE(v7.IsValidName(ckField, u"strict"));
    EXPECT_FALSE(v7.IsValidIdent(u"&begin"));
    EXPECT_FALSE(v7.IsValidQualifiedIdent(u"A.begin"));
    EXPECT_FALSE(v7.IsValidIdent(u"Größe"));
  }
  EXPECT_FALSE(pascal.IdentValidator().IsValidName(ckField, u"strict"));
  if (added)
    pascal.ReservedWords().Delete(pascal.ReservedWords().IndexOf(u"begin"));
}

TEST(IdentValidator, SplitsQualifiedGenericAndListedNames) {
  // The plain Pascal rules (the language may hold a generics-aware validator).
  TPascalIdentValidator v;
  String name, qualifier, params;
  bool generic = false;
  EXPECT_TRUE(v.SplitQualifiedName(u"A.B. C", name, qualifier));
  EXPECT_EQ(name, u"C");
  EXPECT_EQ(qualifier, u"A.B");
  EXPECT_FALSE(v.SplitQualifiedName(u"A.", name, qualifier));
  EXPECT_EQ(name, u"");
  EXPECT_EQ(v.UnqualifiedName(u"X.Y"), u"Y");

  v.SplitGenericName(u"TList<T>", name, generic, params);
  EXPECT_EQ(name, u"TList");
  EXPECT_EQ(params, u"<T>");
  EXPECT_TRUE(generic);
  v.SplitGenericName(u"TList", name, generic, params);
  EXPECT_FALSE(generic);
  v.SplitGenericName(u"T>", name, generic, params);
  EXPECT_TRUE(generic);
  EXPECT_EQ(name, u"T>");
  // Nested arguments stay with the "<" that opens the outermost list.
  for (const auto &[text, wantName, wantParams] :
       {std::tuple{u"TFoo<TBar<T>>", u"TFoo", u"<TBar<T>>"},
        std::tuple{u"TFoo<TBar<T>>.TInner<U>", u"TFoo<TBar<T>>.TInner", u"<U>"},
        std::tuple{u"TMap<K, TList<TPair<K, V>>>", u"TMap", u"<K, TList<TPair<K, V>>>"},
        std::tuple{u"A<B>>", u"A<B>>", u""}}) {
    v.SplitGenericName(text, name, generic, params);
    EXPECT_EQ(name + u"|" + params, String(wantName) + u"|" + wantParams) << StringToUtf8(text);
  }
  // Dots inside generic arguments do not split a qualified name.
  EXPECT_TRUE(v.SplitQualifiedName(u"TFoo<TBar<A.T>>.Method", name, qualifier));
  EXPECT_EQ(qualifier + u"|" + name, u"TFoo<TBar<A.T>>|Method");
  EXPECT_FALSE(v.SplitQualifiedName(u"TFoo<A.B>", name, qualifier));
  EXPECT_EQ(name, u"TFoo<A.B>");

  TStringList list;
  EXPECT_TRUE(v.SplitList(u" A, B ,C", list));
  EXPECT_EQ(list.CommaText(), u"A,B,C");
  EXPECT_THROW(v.CheckIdent(u"1"), EKRToolsException);
}

TEST(SourceLanguage, ObserversHearModeChangesOutsideUpdatesOnly) {
  TPascalLanguage &pascal = *GlobalPascalLanguage();
  Integer heard = 0;
  TLanguageObserver observer(nullptr, &pascal);
  observer.OnChange = [&](TObject *) { ++heard; };
  TLanguageModeGuard guard(DelphiLanguageMode());

  pascal.SetLanguageMode(DelphiLanguageMode());
  EXPECT_EQ(heard, 0);
  pascal.SetLanguageMode(dlmDelphi9Win32);
  EXPECT_EQ(heard, 1);
  pascal.BeginUpdate();
  pascal.SetLanguageMode(dlmDelphi10Win32);
  EXPECT_EQ(heard, 1);
  EXPECT_TRUE(pascal.ChangePending());
  pascal.EndUpdate();
  EXPECT_EQ(heard, 2);

  const Integer others = pascal.ObserverCount() - 1;
  observer.SetLanguage(nullptr);
  pascal.SetLanguageMode(dlmDelphi11Win32);
  EXPECT_EQ(heard, 2);
  EXPECT_EQ(pascal.ObserverCount(), others);
}

TEST(SourceLanguage, IdentifiersCompareWithoutCaseAndVisibilitiesFallBack) {
  const TPascalLanguage &pascal = *GlobalPascalLanguage();
  EXPECT_TRUE(pascal.SameIdent(u"Foo", u"fOO"));
  EXPECT_EQ(pascal.NearestAllowedVisibility(scStrictProtected, {scPrivate, scPublic}), scPrivate);
  EXPECT_EQ(pascal.NearestAllowedVisibility(scAutomated, {scPublic}), scPublic);
  EXPECT_EQ(pascal.NearestAllowedVisibility(scPublished, {scPrivate}), scDefault);
  EXPECT_EQ(pascal.NearestAllowedVisibility(scProtected, {scPublic}), scDefault);
  {
    TLanguageModeGuard guard(dlmDelphi7Win32);
    EXPECT_FALSE(pascal.SupportsGenerics() || pascal.SupportsAttributes() ||
                 pascal.SupportsNestedTypes());
    EXPECT_FALSE(TPascalLanguage::VisibleHintDirectives().Contains(hdExperimental));
  }
  EXPECT_TRUE(pascal.SupportsGenerics() && pascal.SupportsNestedTypes());
}

} // namespace
} // namespace krx
