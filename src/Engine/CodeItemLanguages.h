// The source languages of the code model (defined in CodeItemLanguages.cpp): what each kind of
// type declaration may hold (classifier kinds), the identifier validators, the languages with
// their identifier rules, reserved words and declaration rendering, their observers, the
// process-wide Pascal language and the unit's start-up.
#pragma once

#include "Engine/CodeItemTypes.h"
#include "Engine/LanguageModes.h"
#include "Engine/SourceLanguageRevision.h"

#include <array>
#include <functional>
#include <memory>
#include <vector>

namespace krx {

// ===========================================================================================
// Classifier kinds
// ===========================================================================================

// What one kind of type declaration may hold. A language owns one per class kind, plus one
// for name spaces and one for enumerations. The base allows nothing.
class TClassifierKind : public TObject {
public:
  explicit TClassifierKind(TClassKind AClassKind) : ClassKind(AClassKind) {}

  const TClassKind ClassKind;

  virtual TCodeItemKinds AllowedMemberKinds() const { return {}; }
  // Class-level (static) members.
  virtual bool AllowsClassMembers() const { return false; }
  virtual String GetKeyword() const { return ClassKindKeyword(ClassKind); }
  // The visibility a member of this kind gets for V.
  virtual TVisibility MapVisibility(TVisibility V) const { return V; }
  virtual TCodeItemKind GetItemKind() const { return ItemKindOfClassKind(ClassKind); }
  virtual String DefaultAncestor() const { return String(); }
  virtual bool HasVisibilitySections() const { return false; }
  virtual bool IsDefaultAncestor(StringView Name) const { return Name.empty(); }
  virtual TFieldKinds AllowedFieldKinds() const { return {}; }
  virtual TBindingKinds AllowedBindings() const { return {}; }
  virtual TMethodKinds AllowedMethodKinds() const { return {}; }
  // Always within the allowed visibilities of the Pascal language.
  virtual TVisibilities AllowedVisibilities() const { return {}; }
  virtual bool CanHaveAncestor() const { return false; }
  virtual bool CanImplementInterfaces() const { return false; }
  virtual bool CanHaveSecondAncestor() const { return false; }
  virtual bool HasMethodBodies() const { return false; }
  virtual bool AllowsClassProperties() const { return false; }
  virtual bool AllowsClassSections() const { return false; }
  // "abstract" and "sealed" in a class header.
  virtual bool AllowsClassDirectives() const { return false; }
  virtual bool AllowsMulticastEvents() const { return false; }
  virtual bool AllowsMemberAttributes() const { return false; }
  virtual bool CanBePacked() const { return false; }
  virtual bool HasClassReferences() const { return false; }
  virtual bool AllowsVirtualConstructors() const { return false; }
};

class TPascalClassifierKind : public TClassifierKind {
public:
  using TClassifierKind::TClassifierKind;
  bool AllowsClassProperties() const override { return true; }
  bool AllowsClassSections() const override { return true; }
  bool AllowsClassDirectives() const override { return true; }
  bool AllowsMulticastEvents() const override { return true; }
  bool AllowsMemberAttributes() const override { return true; }
  bool AllowsVirtualConstructors() const override { return ClassKind == clClass; }
};

// The Delphi rules, which depend on the class kind and on the process-wide language mode.
class TDelphiClassifierKind : public TPascalClassifierKind {
public:
  using TPascalClassifierKind::TPascalClassifierKind;
  TCodeItemKinds AllowedMemberKinds() const override;
  bool AllowsClassMembers() const override;
  TVisibility MapVisibility(TVisibility V) const override;
  String DefaultAncestor() const override;
  bool HasVisibilitySections() const override;
  bool IsDefaultAncestor(StringView Name) const override;
  TFieldKinds AllowedFieldKinds() const override;
  TBindingKinds AllowedBindings() const override;
  TMethodKinds AllowedMethodKinds() const override;
  TVisibilities AllowedVisibilities() const override;
  bool CanHaveAncestor() const override;
  bool CanImplementInterfaces() const override;
  bool HasMethodBodies() const override { return HasVisibilitySections(); }
  bool AllowsClassProperties() const override;
  bool AllowsClassSections() const override { return AllowsClassMembers(); }
  bool AllowsClassDirectives() const override;
  // Only the dialects of the .NET platform have multicast events.
  bool AllowsMulticastEvents() const override;
  bool AllowsMemberAttributes() const override { return ClassKind != clObject; }
  bool CanBePacked() const override;
  bool HasClassReferences() const override { return ClassKind == clClass; }
};

// Name spaces hold no members of their own.
class TNameSpaceClassifier : public TClassifierKind {
public:
  TNameSpaceClassifier() : TClassifierKind(clUndefined) {}
  String GetKeyword() const override { return u"namespace"; }
  TCodeItemKind GetItemKind() const override { return ckNameSpace; }
};

class TPascalNameSpaceClassifier : public TNameSpaceClassifier {
public:
  TVisibility MapVisibility(TVisibility) const override { return scDefault; }
};

// Enumerations hold their values.
class TEnumClassifier : public TClassifierKind {
public:
  TEnumClassifier() : TClassifierKind(clUndefined) {}
  TCodeItemKinds AllowedMemberKinds() const override { return {ckEnumValue}; }
  String GetKeyword() const override { return u"enum"; }
  TCodeItemKind GetItemKind() const override { return ckEnum; }
  TVisibilities AllowedVisibilities() const override { return {scDefault}; }
};

// ===========================================================================================
// Identifier validators
// ===========================================================================================

class TIdentifierValidator : public TObject {
public:
  // The name part of a qualified name; '' for ''.
  virtual String UnqualifiedName(const String &Text);
  virtual bool IsValidName(TCodeItemKind ItemKind, const String &Text);
  virtual bool IsValidMethodName(const String &Text) { return IsValidName(ckMethod, Text); }
  virtual bool IsValidIdent(const String &Text) = 0;
  // Every part between dots is an identifier.
  virtual bool IsValidQualifiedIdent(const String &Text);
  // Valid as the name of an item of that kind (type names: generic forms where allowed).
  virtual bool IsValidFor(TCodeItemKind, const String &Text) { return IsValidIdent(Text); }
  virtual bool IsValidQualifiedFor(TCodeItemKind, const String &Text) {
    return IsValidQualifiedIdent(Text);
  }
  // "Name<T>" into Name "Name", TypeParams "<T>", IsGeneric True. Text must not end in blanks.
  virtual void SplitGenericName(const String &Text, String &Name, bool &IsGeneric,
                                String &TypeParams);
  // At the last ".": the trimmed parts after and before it; True when both are not empty.
  virtual bool SplitQualifiedName(const String &Text, String &Name, String &Qualifier);
  virtual bool SplitNames(const String &Text, TStrings &Strings) {
    return SplitList(Text, Strings);
  }
  // The pieces between commas, trimmed, appended to Strings.
  virtual bool SplitList(const String &Text, TStrings &Strings);

  // Raise EKRToolsException "\"%s\" is not a valid identifier" when the answer is False.
  void CheckName(TCodeItemKind ItemKind, const String &Text);
  void CheckIdent(const String &Text);
  void CheckFor(TCodeItemKind ItemKind, const String &Text);
  static bool HasDot(StringView Text);
};

class TPascalIdentValidator : public TIdentifierValidator {
public:
  TPascalIdentValidator();

  bool IsValidName(TCodeItemKind ItemKind, const String &Text) override;
  bool IsValidIdent(const String &Text) override;
  bool IsValidQualifiedIdent(const String &Text) override;
  // Lists "strict" in the modes after dlmDelphi7Win32 only.
  void UpdateExtraNames(TDelphiLanguageMode Mode);
  const TStringList &ExtraNames() const { return FExtraNames; }

protected:
  // The identifier rule of the mode, optionally refusing reserved words.
  static bool IsIdentText(const String &Text, bool RefuseReserved);

private:
  TStringList FExtraNames;
};

// ===========================================================================================
// Source languages
// ===========================================================================================

class TLanguageObserver;
class TClassifierKind;

class TSourceLanguage : public TPersistent, public TSourceLanguageRevision {
public:
  ~TSourceLanguage() override;
  TSourceLanguage(const TSourceLanguage &) = delete;
  TSourceLanguage &operator=(const TSourceLanguage &) = delete;

  bool CaseSensitive() const { return FCaseSensitive; }
  TSourceLanguageKind LanguageKind() const { return FLanguageKind; }

  // Identifiers compare exactly when the language is case-sensitive, else ignoring case.
  Integer CompareIdent(StringView A, StringView B) const;
  bool SameIdent(StringView A, StringView B) const { return CompareIdent(A, B) == 0; }
  bool IsReservedWord(const String &Word) const;
  // The sorted list of reserved words (filled by the parser's unit start-up).
  TStringList &ReservedWords() { return FReservedWords; }
  // Names that stand for the same type ("IUnknown" for "IInterface" in Pascal).
  TStringList &EquivalentTypeNames() { return FEquivalentTypeNames; }

  TIdentifierValidator &IdentValidator() const { return *FIdentValidator; }
  // Frees the current validator unless it is the same object.
  void SetIdentValidator(std::unique_ptr<TIdentifierValidator> Validator);

  // ---- Observers (not owned)
  void AddObserver(TLanguageObserver *Observer);
  void RemoveObserver(TLanguageObserver *Observer);
  // Outside an update every observer hears of the change, in order; inside one the change
  // is only marked as pending.
  void NotifyObservers();
  Integer ObserverCount() const { return static_cast<Integer>(FObservers.size()); }
  TLanguageObserver *GetObserver(Integer i) const;
  void BeginUpdate() { ++FUpdateCount; }
  // Ends an update; the last one reports a change that came up meanwhile.
  void EndUpdate();
  bool ChangePending() const { return FChangePending; }

  bool IsGlobalPascalLanguage() const;

  // ---- Classifier kinds (owned)
  TClassifierKind &GetClassifierKind(TClassKind ClassKind) const;
  // Name spaces and enumerations have their own; other kinds that of their class kind.
  TClassifierKind &ClassifierForItemKind(TCodeItemKind ItemKind) const;

  // ---- Language questions
  // The visibility an item has by default, and the one that stands for "not public".
  virtual TVisibility DefaultVisibility() const { return scDefault; }
  virtual TVisibility DefaultNonPublicVisibility() const { return scPrivate; }
  virtual TVisibilities AllowedVisibilities() const = 0;
  // The allowed visibility nearest to V within S.
  virtual TVisibility NearestAllowedVisibility(TVisibility V, TVisibilities S) const;
  virtual bool SupportsGenerics() const { return false; }
  virtual bool SupportsAttributes() const { return true; }
  virtual bool SupportsNestedTypes() const { return false; }
  virtual String VisibilityKeyword(TVisibility V) const { return VisibilityName(V); }
  // The text of an item in a list, and followed by the list's separator.
  virtual String ListElementText(const TCodeItem &Item) const { return Item.Name(); }
  virtual String ListElementTextSep(const TCodeItem &Item) const { return Item.Name() + u","; }
  virtual String UsesClauseText(const TUsesClause &Item) const;

  // ---- Declarations written back as source text
  virtual String ClassDeclarationText(const TClassItem &Item) const = 0;
  virtual String DelegateDeclarationText(const TDelegateItem &Item) const = 0;
  virtual String EventDeclarationText(const TEventItem &Item) const {
    return PropertyDeclarationText(Item);
  }
  virtual String FieldDeclarationText(const TFieldItem &Item) const = 0;
  // Routines, methods and method implementations.
  virtual String MethodDeclarationText(const TProcItem &Item) const = 0;
  virtual String PropertyDeclarationText(const TPropertyItem &Item) const = 0;

protected:
  TSourceLanguage(TSourceLanguageKind Kind, bool CaseSensitive);
  // Runs the virtual part of the construction: classifier kinds and the validator.
  void Init();
  virtual std::unique_ptr<TIdentifierValidator> CreateIdentValidator() const = 0;
  virtual std::unique_ptr<TClassifierKind> CreateClassifierKind(TClassKind Kind) const = 0;
  virtual std::unique_ptr<TClassifierKind> CreateNameSpaceClassifier() const = 0;

private:
  bool FCaseSensitive;
  std::array<std::unique_ptr<TClassifierKind>, TClassKindLast + 1> FClassifiers;
  std::unique_ptr<TClassifierKind> FEnumClassifier;
  TSourceLanguageKind FLanguageKind;
  std::unique_ptr<TIdentifierValidator> FIdentValidator;
  Integer FUpdateCount = 0;
  bool FChangePending = false;
  std::unique_ptr<TClassifierKind> FNameSpaceClassifier;
  std::vector<TLanguageObserver *> FObservers;
  TStringList FReservedWords;
  TStringList FEquivalentTypeNames;
};

class TPascalLanguage : public TSourceLanguage {
public:
  static std::unique_ptr<TPascalLanguage> Create();

  static TDelphiLanguageMode GetLanguageMode();
  // Switches the process-wide mode; the validator and the observers follow.
  void SetLanguageMode(TDelphiLanguageMode Mode);
  // The hint directives written into declarations in the current mode.
  static THintDirectives VisibleHintDirectives();

  TVisibilities AllowedVisibilities() const override;
  bool SupportsGenerics() const override;
  bool SupportsAttributes() const override;
  bool SupportsNestedTypes() const override;
  String ClassDeclarationText(const TClassItem &Item) const override;
  String DelegateDeclarationText(const TDelegateItem &Item) const override;
  String FieldDeclarationText(const TFieldItem &Item) const override;
  String MethodDeclarationText(const TProcItem &Item) const override;
  String PropertyDeclarationText(const TPropertyItem &Item) const override;

protected:
  TPascalLanguage();
  std::unique_ptr<TIdentifierValidator> CreateIdentValidator() const override;
  std::unique_ptr<TClassifierKind> CreateClassifierKind(TClassKind Kind) const override;
  std::unique_ptr<TClassifierKind> CreateNameSpaceClassifier() const override;
};

// Hears when a language changes.
class TLanguageObserver : public TComponent {
public:
  TLanguageObserver(TComponent *AOwner, TSourceLanguage *ALanguage);
  ~TLanguageObserver() override;

  TSourceLanguage *Language() const { return FLanguage; }
  // Leaves the previous language's observers and joins the new one's.
  void SetLanguage(TSourceLanguage *Value);
  // Calls OnChange when set.
  virtual void LanguageChanged();

  std::function<void(TObject *Sender)> OnChange;

private:
  TSourceLanguage *FLanguage = nullptr;
};

// The process-wide Pascal language, between the unit's start-up and shutdown.
TPascalLanguage *GlobalPascalLanguage();
// The process-wide language mode (DefaultLanguageMode at start).
TDelphiLanguageMode DelphiLanguageMode();

// Unit start-up: the global Pascal language and the self-check; shutdown: frees the
// language and the code-item model.
void CodeItemsInitialization();
void CodeItemsFinalization();

} // namespace krx
