#include "Engine/CodeItems.h"
#include "Engine/CodeItemsTestSupport.h"

#include "Engine/ParamLists.h"
#include "Platform/Shell/Dialogs.h"

#include <gtest/gtest.h>

namespace krx {
namespace {

TMethodItem *Method(TCodeItem *owner, const String &name, const String &params, bool overload) {
  auto *m = Named<TMethodItem>(owner, name);
  m->SetParameters(params);
  m->SetDirective(pdOverload, overload);
  return m;
}

// ---- Duplicate checks ----------------------------------------------------------------------

TEST(RoutineDuplicates, RenamingAsksOrRefusesByWhatTheNameAlreadyNames) {
  struct Case {
    const char *What;
    bool OwnOverload;
    String OwnParams;
    bool OtherOverload;
    String OtherParams;
    bool OtherIsField;
    Integer Code;
    String Question; // empty: no dialog
  };
  const Case cases[] = {
      {"both overloaded", true, u"A: Integer", true, u"B: string", false, 1,
       u"An overloaded procedure named Run already exists. Continue?"},
      {"other not overloaded", true, u"A: Integer", false, u"B: string", false, 2,
       u"A non-overloaded procedure named Run already exists. Continue?"},
      {"same signature", true, u"A: Integer", true, u"B: Integer", false, 3,
       u"A procedure named Run with identical parameter signature already exists. Continue?"},
      {"a field", false, u"", false, u"", true, 4, u""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.What);
    TModuleItem module;
    auto *cls = Named<TClassItem>(&module, u"TFoo");
    if (c.OtherIsField)
      Named<TFieldItem>(cls, u"Run");
    else
      Method(cls, u"Run", c.OtherParams, c.OtherOverload);
    TMethodItem *own = Method(cls, u"Go", c.OwnParams, c.OwnOverload);
    EXPECT_EQ(own->DuplicateKind(cls, u"run"), c.Code);
    TScriptedMessages script({mrCancel});
    if (c.Question.empty()) {
      EXPECT_THROW(own->ValidateName(u"Go", u"Run"), EKRToolsException);
      EXPECT_TRUE(script.Requests().empty());
      continue;
    }
    EXPECT_THROW(own->ValidateName(u"Go", u"Run"), EAbort);
    ASSERT_EQ(script.Requests().size(), 1u);
    EXPECT_EQ(script.Requests()[0].Text, c.Question);
    EXPECT_EQ(script.Requests()[0].DlgType, mtWarning);
    script.Push(mrOk);
    EXPECT_NO_THROW(own->ValidateName(u"Go", u"Run"));
  }
}

TEST(RoutineDuplicates, CaseChangesLinkedImplementationsAndOperators) {
  TModuleItem module;
  auto *cls = Named<TClassItem>(&module, u"TFoo");
  TMethodItem *run = Method(cls, u"Run", u"", false);
  TScriptedMessages script;
  EXPECT_NO_THROW(run->ValidateName(u"Run", u"RUN"));
  EXPECT_TRUE(script.Requests().empty());

  // An implementation linked to its declaration never counts.
  auto *impl = Named<TMethodImplItem>(cls, u"Stop");
  TMethodItem *stop = Method(cls, u"Halt", u"", false);
  impl->SetDeclRef(stop);
  EXPECT_EQ(run->DuplicateKind(cls, u"Stop"), 0);

  auto *op = Named<TMethodItem>(cls, u"Add");
  op->SetMethodKind(mkOperator);
  op->SetParameters(u"A, B: TFoo");
  op->SetDataName(u"TFoo");
  const String key = ParamSignature(u"A, B: TFoo", lanPascal) + u"+TFoo";
  EXPECT_EQ(op->GetSignatureKey(), key);
  op->SetDirective(pdClassMethod, true);
  EXPECT_EQ(op->GetSignatureKey(), u"class|" + key);
  EXPECT_TRUE(op->IsUniqueIn(cls));
  EXPECT_EQ(op->DuplicateKind(cls, u"Add"), 3);
}

TEST(PropertyDuplicates, IndexersMayShareANameOtherPropertiesMayNot) {
  TModuleItem module;
  auto *cls = Named<TClassItem>(&module, u"TList");
  auto indexer = [&](const String &name, const String &params) {
    auto *p = Named<TPropertyItem>(cls, name);
    p->SetDirectives({prArray, prDefaultArray});
    p->SetArrayStr(params);
    return p;
  };
  indexer(u"Items", u"I: Integer");
  TPropertyItem *same = indexer(u"Other", u"J: Integer");
  TPropertyItem *different = indexer(u"Third", u"S: string");
  Named<TPropertyItem>(cls, u"Count");

  TScriptedMessages script({mrCancel, mrCancel});
  EXPECT_THROW(same->ValidateName(u"Other", u"Items"), EAbort);
  EXPECT_THROW(different->ValidateName(u"Third", u"Items"), EAbort);
  ASSERT_EQ(script.Requests().size(), 2u);
  EXPECT_EQ(script.Requests()[0].Text,
            u"An indexer property named Items with identical signature already exists. Continue?");
  EXPECT_EQ(script.Requests()[1].Text,
            u"An indexer property named Items already exists. Continue?");
  EXPECT_THROW(same->ValidateName(u"Other", u"Count"), EKRToolsException);
  {
    TLanguageModeGuard guard(dlmDelphi7Win32);
    EXPECT_FALSE(same->IsIndexer());
    EXPECT_THROW(different->ValidateName(u"Third", u"Items"), EKRToolsException);
  }
}

TEST(FieldNames, EachListedNameIsCheckedAndAnEmptyListIsRefused) {
  TModuleItem module;
  auto *cls = Named<TClassItem>(&module, u"TFoo");
  auto *field = Named<TFieldItem>(cls, u"X");
  Named<TFieldItem>(cls, u"B");
  EXPECT_NO_THROW(field->ValidateName(u"X", u"A, C"));
  try {
    field->ValidateName(u"X", u"A, B");
    FAIL();
  } catch (const EKRToolsException &e) {
    EXPECT_EQ(e.Message(), u"\"B\" already exists");
  }
  try {
    field->ValidateName(u"X", u",");
    FAIL();
  } catch (const EKRToolsException &e) {
    EXPECT_EQ(e.Message(), u"\",\" is not a valid field name identifier");
  }
}

// ---- Links between declarations and implementations ----------------------------------------

TEST(RoutineLinks, AFreedPartnerLeavesNoDanglingLink) {
  TModuleItem module;
  auto *cls = Named<TClassItem>(&module, u"TFoo");
  TMethodItem *decl = Method(cls, u"Run", u"", false);
  auto *impl = Named<TMethodImplItem>(&module, u"Run");
  decl->SetImplRef(impl);
  impl->SetDeclRef(decl);
  impl->CommentLines().Add(u"// runs");
  impl->SetHintDirectives({hdPlatform});
  TStringList comments;
  decl->GetCommentLines(comments);
  EXPECT_EQ(comments.Text(), u"// runs\r\n");
  EXPECT_TRUE(decl->GetHintDirectives().Contains(hdPlatform));

  auto *copy = Named<TMethodItem>(cls, u"Copy");
  copy->Assign(decl); // shares the link
  EXPECT_EQ(copy->ImplRef(), impl);
  delete impl;
  EXPECT_EQ(decl->ImplRef(), nullptr);
  EXPECT_EQ(copy->ImplRef(), nullptr);

  auto *impl2 = Named<TMethodImplItem>(&module, u"Run");
  impl2->SetDeclRef(decl);
  decl->SetImplRef(impl2);
  module.Clear(); // frees both, in whatever order
  EXPECT_EQ(module.ChildCount(), 0);
}

TEST(RoutineLines, BodyLinesFollowInsertionsAndBoundTheLastLine) {
  TModuleItem module;
  module.SetEndLineValue(20);
  auto *proc = Named<TProcData>(&module, u"Run");
  proc->SetLineNr(3);
  proc->SetBeginLineValue(5);
  proc->SetBodyEndLineValue(9);
  EXPECT_EQ(proc->GetLastLine(), 9);
  EXPECT_EQ(module.ItemAtLine(8), proc);
  module.LinesInserted(&module, 4, 2);
  EXPECT_EQ(proc->LineNr(), 3);
  EXPECT_EQ(proc->BeginLineValue(), 7);
  EXPECT_EQ(proc->BodyEndLineValue(), 11);
  EXPECT_EQ(proc->Visibility(), scPrivate);

  auto *stub = Named<TMethodItem>(&module, u"Stub");
  stub->SetLineNr(4);
  stub->SetStub(true);
  EXPECT_EQ(stub->LineNr(), -1);
}

// ---- Types ---------------------------------------------------------------------------------

TEST(ClassItems, KindFollowsTheClassKindAndTheTypeListTheItem) {
  TModuleItem module;
  auto *cls = Named<TClassItem>(&module, u"TFoo");
  EXPECT_EQ(module.GetTypeCount(), 1);
  EXPECT_EQ(cls->Kind(), ckClass);
  EXPECT_EQ(cls->Visibility(), scPublic);
  cls->SetClassKind(clRecordHelper);
  EXPECT_EQ(cls->Kind(), ckRecordHelper);
  cls->SetClassKind(clModule);
  EXPECT_EQ(cls->Kind(), ckModule);
  cls->SetGUID(u"x");
  EXPECT_EQ(cls->HelperTarget(), u"x");
  EXPECT_EQ(cls->IOMetaData(), u"x");
  delete cls;
  EXPECT_EQ(module.GetTypeCount(), 0);
}

TEST(SmallItems, DescriptionsOfRoutinesPropertiesAndIncludeFiles) {
  TModuleItem module;
  auto *proc = Named<TProcData>(&module, u"Run");
  EXPECT_EQ(proc->GetDescription(), u"Run( );");
  proc->SetMethodKind(mkFunction);
  proc->SetParameters(u"A: Integer");
  proc->SetDataName(u"Boolean");
  EXPECT_EQ(proc->GetDescription(), u"Run(A: Integer): Boolean;");

  auto *prop = Named<TPropertyItem>(&module, u"Items");
  prop->SetDirectives({prArray, prIndex});
  prop->SetArrayStr(u"I: Integer");
  prop->SetDataName(u"TItem");
  prop->SetIndexStr(u"3");
  EXPECT_EQ(prop->GetDescription(), u"Items[I: Integer] : TItem index 3");

  auto *res = Named<TResClauseItem>(&module, u"IFoo.Run");
  res->SetImplMethod(u"DoRun");
  EXPECT_EQ(res->GetDeclaration(), u"procedure IFoo.Run = DoRun;");
  EXPECT_EQ(res->GetDescription(), u"IFoo.Run=DoRun;");
  EXPECT_THROW(res->ValidateName(u"IFoo.Run", u"Run"), EKRToolsException);

  auto *del = Named<TDelegateItem>(&module, u"TEvent");
  del->SetParameters(u"Sender: TObject");
  EXPECT_EQ(del->GetDescription(), u"TEvent (Sender: TObject);");

  auto *inc = new TIncludeFileItem(&module, u"../inc/defs.inc");
  EXPECT_EQ(inc->Name(), u"{$I defs.inc}");
  inc->SetLineNr(1);
  inc->SetEndLineValue(5);
  EXPECT_EQ(inc->ItemAtPos(2, 1), nullptr);

  auto *vis = new TVisibilityItem(&module);
  EXPECT_EQ(vis->GetDeclaration(), u"");
  EXPECT_EQ(vis->GetDescription(), u"default");
  vis->SetVisibility(scStrictProtected);
  EXPECT_EQ(vis->GetDeclaration(), u"strict protected");
}

TEST(SmallItems, TagDataOfARoutineNamesItsLinks) {
  TModuleItem module;
  auto *decl = Named<TMethodItem>(&module, u"Run");
  auto *impl = Named<TMethodImplItem>(&module, u"Run");
  impl->SetDeclRef(decl);
  impl->SetBeginLineValue(7);
  TDictionary tags;
  impl->WriteTagData(tags);
  EXPECT_EQ(tags.Values(u"DeclRef"), u"Run");
  EXPECT_EQ(tags.Values(u"BeginLine"), u"7");
  EXPECT_EQ(tags.IndexOfName(u"ImplRef"), -1);
  EXPECT_EQ(tags.Values(u"Directives"), u"[]");
  EXPECT_EQ(tags.Values(u"Kind"), u"ckMethodImpl");
}

} // namespace
} // namespace krx
