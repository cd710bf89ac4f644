// Code-style preferences of one source language: name prefixes, default visibilities and
// accessors, snippets and switches. One instance per language, created on first request;
// every value is a published property, and the stored rules decide which of them a
// streamed form holds.
#pragma once

#include "Common/DataTyp.h"
#include "Common/KREngineDefs.h"
#include "Platform/Rtl/TypInfo.h"

namespace krx {

#define KRX_TSTATEFIELDCASE(X) X(sfcUnchanged) X(sfcCamelCase) X(sfcLowerCase) X(sfcUpperCase)
KRX_DECLARE_ENUM(TStateFieldCase, KRX_TSTATEFIELDCASE);

class TPreferences : public TObject {
  KRX_PUBLISHED(TPreferences)

public:
  explicit TPreferences(TSourceLanguageKind language) : Language(language) {}

  const TSourceLanguageKind Language;

  TVisibility AccessVisibility = scPrivate;
  bool ApplyPropCats = false;
  bool AutoDeriveModuleName = false;
  String AutoModuleNameFormat = u"%ss";
  String ClassPrefix = u"T";
  TRWAccess DefaultReadAccess = rwField;
  TRWAccess DefaultWriteAccess = rwField;
  TBindingKind EventDispatchBinding = bkStatic;
  String EventDispatchPrefix;
  TVisibility EventDispatchVisibility = scProtected;
  TVisibility EventhandlerVisibility = scPrivate;
  String FieldParamPrefix = u"A";
  bool InstrumentedMethods = false;
  TInterfaceRoot InterfaceRoot = irIInterface;
  TCallConvention IntfCallConvention = ccStdCall;
  String ModifiersOrder;
  String MulticastAddPrefix = u"add_";
  TVisibility MulticastMethodVisibility = scPublic;
  String MulticastRemovePrefix = u"remove_";
  bool MulticastUsesEventVisibility = true;
  String NewMethodSnippet;
  TCSMethodBinding PropBinding = csmbNonVirtual;
  bool PropConstWriteParam = true;
  bool PropExtWriteCode = false;
  bool PropReadCode = true;
  String PropReadSnippet = u"Read Code";
  bool PropStateField = false;
  bool PropWriteCode = true;
  String PropWriteParam = u"Value";
  String PropWriteSnippet = u"Write Code";
  String ReadMethodPrefix = u"Get";
  bool ShowEmptyParamLists = false;
  TStateFieldCase StateFieldCase = sfcUnchanged;
  String StateFieldPrefix = u"F";
  TVisibility StateFieldVisibility = scPrivate;
  String StructPrefix = u"T";
  bool UseGenericInherited = false;
  String UsesClauseGroupsDefault = u"Winapi;System.Win;System;Data;REST;Xml;Vcl;FMX";
  bool UsingInModule = true;
  String WriteMethodPrefix = u"Set";

  // AutoModuleNameFormat with "[Class]" in place of its "%s" ("[Class]s" by default).
  String GetAutoModuleNameFmt() const;
  // Stores the text with its first "[Class]" as "%s" and every other "%" doubled.
  void SetAutoModuleNameFmt(StringView value);
  bool GetEmptyInterfaceRoot() const { return InterfaceRoot == irUnspecified; }
  void SetEmptyInterfaceRoot(bool value);
  const String &GetInterfacePrefix() const { return FInterfacePrefix; }
  // Changes the prefix under the parsing lock, so a parse never sees it change halfway.
  void SetInterfacePrefix(StringView value);

private:
  String FInterfacePrefix = u"I";
};

// The preferences of a language; the first request creates them.
TPreferences &GetPreferences(TSourceLanguageKind kind);

// Unit shutdown: frees the instances.
void FinalizePrefs();

} // namespace krx
