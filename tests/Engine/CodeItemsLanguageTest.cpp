#include "Engine/CodeItems.h"
#include "Engine/CodeItemsTestSupport.h"

#include "Engine/Prefs.h"

#include <gtest/gtest.h>

#include <array>

namespace krx {
namespace {

// ---- Routines -------------------------------------------------------------------------------

TEST(Rendering, MethodsOfEveryKindAndDirective) {
  TModuleItem module;
  auto *cls = Named<TClassItem>(&module, u"TFoo");
  struct Case {
    TMethodKind Kind;
    String Params, Result;
    TMethodDirectives Directives;
    TCallConvention Convention;
    String Expected;
  };
  const Case cases[] = {
      {mkProcedure, u"", u"", {}, ccDefault, u"procedure Run;"},
      {mkFunction, u"A: Integer", u"Boolean", {pdOverload, pdVirtual}, ccStdCall,
       u"function Run(A: Integer): Boolean; overload; virtual; stdcall;"},
      {mkConstructor, u"", u"", {pdReintroduce, pdOverload, pdOverride, pdSealed, pdInline},
       ccDefault, u"constructor Run; reintroduce; overload; override; final; inline;"},
      {mkFunction, u"var Msg: TMessage", u"Integer", {pdMessage}, ccDefault,
       u"function Run(var Msg: TMessage): Integer; message WM_PAINT;"},
      {mkDestructor, u"", u"", {pdDynamic, pdAbstract}, ccCDecl,
       u"destructor Run; dynamic; cdecl; abstract;"},
      {mkFunction, u"", u"Integer", {pdClassMethod, pdStatic}, ccDefault,
       u"class function Run: Integer; static;"},
      {mkOperator, u"A, B: TFoo", u"TFoo", {pdClassMethod}, ccDefault,
       u"class operator Run(A, B: TFoo): TFoo;"},
  };
  for (const Case &c : cases) {
    auto *m = Named<TMethodItem>(cls, u"Run");
    m->SetMethodKind(c.Kind);
    m->SetParameters(c.Params);
    // A message method's DataName is its message expression.
    m->SetDataName(c.Directives.Contains(pdMessage) ? String(u"WM_PAINT") : c.Result);
    m->SetMessageResultType(c.Result);
    m->SetDirectives(c.Directives);
    m->SetCallConvention(c.Convention);
    EXPECT_EQ(m->GetDeclaration(), c.Expected);
    // A copy (as a stub declaration is made from its implementation) writes the same.
    auto *copy = Named<TMethodItem>(cls, u"Copy");
    copy->Assign(m);
    EXPECT_EQ(copy->GetDeclaration(), c.Expected);
    delete copy;
    delete m;
  }
}

TEST(Rendering, HintsExternalsDispIdsAndImplementations) {
  TModuleItem module;
  auto *cls = Named<TClassItem>(&module, u"TFoo");
  auto *m = Named<TMethodItem>(cls, u"Old");
  m->SetHintDirectives({hdDeprecated, hdExperimental});
  m->SetDeprecatedText(u"use New");
  m->SetDirective(pdExternal, true);
  m->SetExternalSpec(u"'lib.so'");
  m->SetDispID(u"12");
  EXPECT_EQ(m->GetDeclaration(),
            u"procedure Old; external 'lib.so'; dispid 12; deprecated 'use New'; experimental;");
  {
    TLanguageModeGuard guard(dlmDelphi7Win32);
    m->SetDirectives({pdStatic, pdInline, pdSealed});
    EXPECT_EQ(m->GetDeclaration(), u"procedure Old; dispid 12; deprecated 'use New';");
  }

  auto *impl = Named<TMethodImplItem>(&module, u"Run");
  impl->SetBaseClass(u"TFoo.TInner");
  impl->SetMethodKind(mkFunction);
  impl->SetDataName(u"Integer");
  impl->SetDirectives({pdOverload, pdVirtual});
  EXPECT_EQ(impl->GetDeclaration(), u"function TFoo.TInner.Run: Integer;");

  auto *proc = Named<TProcData>(&module, u"Load");
  proc->SetParameters(u"const Name: string");
  proc->SetDirectives({pdOverload, pdExternal, pdDelayed, pdInline});
  proc->SetCallConvention(ccStdCall);
  proc->SetExternalSpec(u"'k.dll'");
  proc->SetHintDirectives({hdPlatform});
  EXPECT_EQ(proc->GetDeclaration(), u"procedure Load(const Name: string); overload; stdcall; "
                                    u"inline; external 'k.dll' delayed; platform;");
  for (const auto &[mode, external] : {std::pair(dlmD2009Win32, u"external 'k.dll';"),
                                       std::pair(dlmD2010Win32, u"external 'k.dll' delayed;")}) {
    TLanguageModeGuard guard(mode);
    EXPECT_NE(proc->GetDeclaration().find(external), String::npos) << mode;
  }

  GetPreferences(lanPascal).ShowEmptyParamLists = true;
  auto *forward = Named<TProcData>(&module, u"Later");
  forward->SetDirective(pdForward, true);
  EXPECT_EQ(forward->GetDeclaration(), u"procedure Later(); forward;");
  GetPreferences(lanPascal).ShowEmptyParamLists = false;
}

// ---- Types and members ----------------------------------------------------------------------

TEST(Rendering, ClassifiersWithAncestorsInterfacesGuidsAndHelpers) {
  TModuleItem module;
  struct Case {
    TClassKind Kind;
    String Ancestor, Interfaces, Guid;
    TClassDirectives Directives;
    String Expected;
  };
  const Case cases[] = {
      {clClass, u"", u"", u"", {}, u"TFoo = class"},
      {clClass, u"", u"IFoo, IBar", u"", {cldAbstract}, u"TFoo = class abstract(TObject, IFoo, IBar)"},
      {clClass, u"TBase", u"IFoo", u"", {cldPacked, cldSealed}, u"TFoo = packed class sealed(TBase, IFoo)"},
      {clRecord, u"", u"IFoo", u"", {cldPacked}, u"TFoo = packed record"},
      {clInterface, u"IInterface", u"", u"'{1-2}'", {}, u"TFoo = interface(IInterface)\r\n['{1-2}']"},
      {clRecordHelper, u"", u"", u"Integer", {}, u"TFoo = record helper for Integer"},
      {clHelper, u"TBaseHelper", u"", u"TList", {}, u"TFoo = class helper(TBaseHelper) for TList"},
  };
  for (const Case &c : cases) {
    auto *cls = Named<TClassItem>(&module, u"TFoo");
    cls->SetClassKind(c.Kind);
    cls->SetAncestor(c.Ancestor);
    cls->SetInterfaces(c.Interfaces);
    cls->SetGUID(c.Guid);
    cls->SetDirectives(c.Directives);
    EXPECT_EQ(cls->GetDeclaration(), c.Expected);
    delete cls;
  }
}

TEST(Rendering, ProceduralTypesFieldsAndProperties) {
  TModuleItem module;
  auto *event = Named<TDelegateItem>(&module, u"TNotify");
  event->SetParameters(u"Sender: TObject");
  event->SetCallConvention(ccStdCall);
  EXPECT_EQ(event->GetDeclaration(), u"TNotify = procedure(Sender: TObject) stdcall of object;");
  event->SetKind(ckMethodReference);
  event->SetMethodKind(mkFunction);
  event->SetDataName(u"Integer");
  event->SetCallConvention(ccDefault);
  EXPECT_EQ(event->GetDeclaration(),
            u"TNotify = reference to function(Sender: TObject): Integer;");
  event->SetKind(ckFunctionPointer);
  event->SetParameters(u"");
  EXPECT_EQ(event->GetDeclaration(), u"TNotify = function: Integer;");

  auto *field = Named<TFieldItem>(&module, u"Count");
  field->SetDataName(u"Integer");
  field->SetInitializer(u"0");
  field->SetHintDirectives({hdDeprecated, hdPlatform});
  EXPECT_EQ(field->GetDeclaration(), u"Count: Integer = 0 deprecated platform;");
  field->SetDeprecatedText(u"it's\r\ngone");
  EXPECT_EQ(field->GetDeclaration(),
            u"Count: Integer = 0 deprecated 'it''s'#13#10'gone' platform;");

  struct Case {
    TPropertyDirectives Directives;
    String Expected;
  };
  const Case cases[] = {
      {{prIndex, prStored}, u"property Size: Integer index 2 read GetSize write SetSize stored "
                            u"IsStored default 10;"},
      {{prArray, prDefaultArray}, u"property Size[I: Integer]: Integer read GetSize write SetSize "
                                  u"default 10; default;"},
      {{prStatic}, u"class property Size: Integer read GetSize write SetSize;"},
      {{prOverride}, u"property Size read GetSize write SetSize default 10;"},
  };
  for (const Case &c : cases) {
    auto *prop = Named<TPropertyItem>(&module, u"Size");
    prop->SetDirectives(c.Directives);
    prop->SetDataName(u"Integer");
    prop->SetArrayStr(u"I: Integer");
    prop->SetIndexStr(u"2");
    prop->SetReadSpec(u"GetSize");
    prop->SetWriteSpec(u"SetSize");
    prop->SetStorageStr(c.Directives.Contains(prStored) ? u"IsStored" : u"");
    prop->SetDefaultSpec(dsDefault);
    prop->SetDefaultStr(u"10");
    EXPECT_EQ(prop->GetDeclaration(), c.Expected);
    delete prop;
  }
  auto *classProp = Named<TPropertyItem>(&module, u"Size");
  classProp->SetDirectives({prStatic});
  for (const auto &[mode, expected] :
       {std::pair(dlmDelphi7Win32, u"property Size;"),
        std::pair(dlmDelphi9Win32, u"class property Size;")}) {
    TLanguageModeGuard guard(mode);
    EXPECT_EQ(classProp->GetDeclaration(), expected) << mode;
  }
  // The directive without a text still writes the word.
  auto *stored = Named<TPropertyItem>(&module, u"Flag");
  stored->SetDirectives({prStored});
  EXPECT_EQ(stored->GetDeclaration(), u"property Flag stored ;");

  auto *nodefault = Named<TEventItem>(&module, u"OnRun");
  nodefault->SetDataName(u"TNotify");
  nodefault->SetDefaultSpec(dsNoDefault);
  nodefault->SetImplementsStr(u"IRun");
  EXPECT_EQ(nodefault->GetDeclaration(), u"property OnRun: TNotify nodefault implements IRun;");
}

TEST(Rendering, DeclarationsAreWrappedAndIndented) {
  TModuleItem module;
  auto *m = Named<TMethodItem>(&module, u"Run");
  m->SetItemStartPos(5);
  m->SetParameters(u"const AFirstParameter: Integer; const ASecondParameter: string; "
                   u"var AThird: TObject");
  TStringList lines;
  lines.Add(u"existing");
  m->WriteDeclaration(lines, 2, 60, 2);
  ASSERT_GE(lines.Count(), 3);
  EXPECT_EQ(lines[0], u"existing");
  for (Integer i = 1; i < lines.Count(); ++i) {
    EXPECT_LE(lines[i].size(), 64u) << i;
    EXPECT_EQ(lines[i].substr(0, 4), u"    ") << i;
  }
}

// ---- Classifier kinds -----------------------------------------------------------------------

TEST(ClassifierKinds, RecordsGrowWithTheLanguageMode) {
  const TClassifierKind &record = GlobalPascalLanguage()->GetClassifierKind(clRecord);
  {
    TLanguageModeGuard guard(dlmDelphi7Win32);
    EXPECT_EQ(record.AllowedMemberKinds(), TCodeItemKinds{ckField});
    EXPECT_EQ(record.AllowedVisibilities(), TVisibilities{scDefault});
    EXPECT_FALSE(record.HasMethodBodies());
  }
  TLanguageModeGuard guard(dlmDelphi10Win32);
  EXPECT_TRUE(record.AllowedMemberKinds().Contains(ckMethod));
  EXPECT_TRUE(record.AllowedMemberKinds().Contains(ckClass));
  EXPECT_TRUE(record.AllowedMethodKinds().Contains(mkOperator));
  EXPECT_EQ(record.AllowedVisibilities(),
            (TVisibilities{scDefault, scStrictPrivate, scPrivate, scPublic}));
  EXPECT_EQ(record.MapVisibility(scProtected), scPrivate);
}

TEST(ClassifierKinds, AncestorsVisibilitiesAndPacking) {
  const TPascalLanguage &pascal = *GlobalPascalLanguage();
  const TClassifierKind &intf = pascal.GetClassifierKind(clInterface);
  EXPECT_TRUE(intf.IsDefaultAncestor(u"iunknown"));
  EXPECT_TRUE(intf.IsDefaultAncestor(u"IInterface"));
  EXPECT_FALSE(intf.IsDefaultAncestor(u"IFoo"));
  EXPECT_EQ(intf.DefaultAncestor(), u"IInterface");
  const TClassifierKind &module = pascal.GetClassifierKind(clModule);
  EXPECT_EQ(module.MapVisibility(scPublished), scPublic);
  EXPECT_EQ(module.MapVisibility(scProtected), scPrivate);
  EXPECT_EQ(pascal.GetClassifierKind(clObject).MapVisibility(scStrictProtected), scPrivate);
  EXPECT_EQ(pascal.GetClassifierKind(clHelper).MapVisibility(scStrictPrivate), scPrivate);
  {
    TLanguageModeGuard guard(dlmDelphi7Win32);
    EXPECT_EQ(pascal.GetClassifierKind(clClass).MapVisibility(scStrictPrivate), scPrivate);
  }
  struct Row {
    TClassKind Kind;
    bool Packed, Ancestor, Interfaces;
  };
  const Row rows[] = {{clClass, true, true, true},     {clInterface, false, true, false},
                      {clRecord, true, false, false},   {clObject, true, true, false},
                      {clDispInterface, false, false, false}, {clHelper, false, true, true}};
  for (const Row &r : rows) {
    const TClassifierKind &k = pascal.GetClassifierKind(r.Kind);
    EXPECT_EQ(k.CanBePacked(), r.Packed) << r.Kind;
    EXPECT_EQ(k.CanHaveAncestor(), r.Ancestor) << r.Kind;
    EXPECT_EQ(k.CanImplementInterfaces(), r.Interfaces) << r.Kind;
  }
  EXPECT_EQ(pascal.ClassifierForItemKind(ckEnum).GetKeyword(), u"enum");
  EXPECT_EQ(pascal.ClassifierForItemKind(ckNameSpace).MapVisibility(scPublic), scDefault);
  EXPECT_EQ(pascal.ClassifierForItemKind(ckRecordHelper).ClassKind, clRecordHelper);
}

TEST(ClassifierKinds, FieldKindsVisibilitiesAndClassDirectivesByKindAndMode) {
  const TFieldKinds none, inst{fkInstance}, st{fkStatic},
      modern{fkInstance, fkStatic, fkConst, fkStaticThread};
  const TVisibilities all{scDefault,   scStrictPrivate, scPrivate,   scStrictProtected,
                          scProtected, scPublic,        scPublished, scAutomated},
      def{scDefault}, record{scDefault, scStrictPrivate, scPrivate, scPublic},
      object{scDefault, scPrivate}, helper = all - TVisibilities{scAutomated},
      recordHelper = helper - TVisibilities{scPublished}, module{scPrivate, scPublic};
  const TDelphiLanguageMode modes[] = {dlmDelphi7Win32, dlmDelphi9Win32, dlmDelphi10Win32};
  struct Row {
    TClassKind Kind;
    std::array<TFieldKinds, 3> Fields;
    std::array<TVisibilities, 3> Visibilities;
    std::array<bool, 3> ClassDirectives;
  };
  const Row rows[] = {
      {clClass, {inst, {fkInstance, fkConst}, modern}, {all, all, all}, {false, true, true}},
      {clInterface, {none, none, none}, {def, def, def}, {}},
      {clRecord, {inst, inst, modern}, {def, def, record}, {}},
      {clObject, {inst, inst, inst}, {object, object, object}, {}},
      {clDispInterface, {none, none, none}, {def, def, def}, {}},
      {clHelper, {st, st, st}, {helper, helper, helper}, {}},
      {clRecordHelper, {st, st, st}, {recordHelper, recordHelper, recordHelper}, {}},
      {clModule, {none, none, none}, {module, module, module}, {}},
      {clUndefined, {none, none, none}, {}, {}},
  };
  for (std::size_t m = 0; m < std::size(modes); ++m) {
    TLanguageModeGuard guard(modes[m]);
    for (const Row &r : rows) {
      const TClassifierKind &k = GlobalPascalLanguage()->GetClassifierKind(r.Kind);
      EXPECT_EQ(k.AllowedFieldKinds(), r.Fields[m]) << r.Kind << " in mode " << m;
      EXPECT_EQ(k.AllowedVisibilities(), r.Visibilities[m]) << r.Kind << " in mode " << m;
      EXPECT_EQ(k.AllowsClassDirectives(), r.ClassDirectives[m]) << r.Kind << " in mode " << m;
    }
  }
}

TEST(ClassifierKinds, PropertiesOfInterfacesCannotBeImplemented) {
  TModuleItem module;
  auto *intf = Named<TClassItem>(&module, u"IFoo");
  intf->SetClassKind(clInterface);
  auto *inIntf = Named<TPropertyItem>(intf, u"A");
  auto *cls = Named<TClassItem>(&module, u"TFoo");
  auto *inClass = Named<TPropertyItem>(cls, u"A");
  EXPECT_FALSE(inIntf->CanImplement());
  EXPECT_TRUE(inClass->CanImplement());
  inClass->SetDirectives({prAbstract});
  EXPECT_FALSE(inClass->CanImplement());
}

} // namespace
} // namespace krx
