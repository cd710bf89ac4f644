// The module-level part of the code model (defined in CodeItemModules.cpp): the module item
// that roots the tree, its sections and included files, uses clauses, the parser's messages,
// the design information of a form file, tag comments, declaration sections, the regions tree
// of a module and the process-wide code-item model.
#pragma once

#include "Engine/CodeItemBase.h"
#include "World/Containr.h"
#include "World/IntLists32.h"

#include <memory>
#include <vector>

namespace krx {

// ===========================================================================================
// Module item, sections, uses clause, messages, design info
// ===========================================================================================

class TModuleDesignInfo;

class TModuleItem : public TCodeItem {
  KRX_PUBLISHED(TModuleItem)

public:
  TModuleItem();
  ~TModuleItem() override;

  Word EditorKind() const override { return 26; }

  // A new section item under the module.
  class TModuleSectionItem *AddSection(TModuleSectionKind Kind);
  Integer GetTypeCount() const { return static_cast<Integer>(FTypes.size()); }
  TTypeItem *GetType(Integer i) const;
  TIntList &MarkedLines() { return *FMarkedLines; }
  TKRXCollection &Collection() { return *FCollection; }
  void ClearCollection();
  const String &FileName() const { return FFileName; }
  void SetFileName(const String &Value) { FFileName = Value; }
  TModuleDesignInfo *DesignInfo() const { return FDesignInfo.get(); }
  // Frees the current design info unless it is Info, and keeps Info.
  void SetDesignInfo(std::unique_ptr<TModuleDesignInfo> Info);
  TSourceRegion &RootRegion() { return *FRootRegion; }
  const TSourceRegion &RootRegion() const { return *FRootRegion; }

  Integer ImplLineNr() const { return FImplLineNr; }
  void SetImplLineNr(Integer Value) { FImplLineNr = Value; }
  Integer IntfLineNr() const { return FIntfLineNr; }
  void SetIntfLineNr(Integer Value) { FIntfLineNr = Value; }
  TModuleType ModuleType() const { return FModuleType; }
  void SetModuleType(TModuleType Value) { FModuleType = Value; }

  // Back to the state before a parse (the explorer calls it before each one).
  void Reset();
  void Clear() override;
  void LinesDeleted(const TCodeItem *Origin, Integer Line, Integer Count) override;
  void LinesInserted(const TCodeItem *Origin, Integer Line, Integer Count) override;

private:
  friend class TTypeItem;
  void RegisterType(TTypeItem *Item) { FTypes.push_back(Item); }
  void UnregisterType(TTypeItem *Item);
  void ShiftModuleLines(Integer Line, Integer Delta);

  std::vector<TTypeItem *> FTypes;
  std::unique_ptr<TIntList> FMarkedLines;
  std::unique_ptr<TKRXCollection> FCollection;
  String FFileName;
  std::unique_ptr<TModuleDesignInfo> FDesignInfo;
  std::unique_ptr<TSourceRegion> FRootRegion;
  Integer FImplLineNr = -1;
  Integer FIntfLineNr = -1;
  TModuleType FModuleType = mtNone;
};

class TModuleSectionItem : public TCodeItem {
  KRX_PUBLISHED(TModuleSectionItem)

public:
  explicit TModuleSectionItem(TCodeItem *AOwner);

  TModuleSectionKind Section() const { return FSection; }
  // Also makes the section public for msInterface only and names it by its keyword.
  void SetSection(TModuleSectionKind Kind);
  void AssignProps(const TCodeItem &Source) override;
  String GetDescription() const override;

private:
  TModuleSectionKind FSection = msInterface;
};

class TUsesClause : public TCodeItem {
  KRX_PUBLISHED(TUsesClause)

public:
  explicit TUsesClause(TCodeItem *AOwner);

  // Appends a unit and the path given with "in" (or '').
  void AddUnit(const String &UnitName, const String &ModulePath);
  TStringList &UnitNames() { return FUnitNames; }
  const TStringList &UnitNames() const { return FUnitNames; }
  TStringList &ModulePaths() { return FModulePaths; }
  const TStringList &ModulePaths() const { return FModulePaths; }
  const String &UsesListText() const { return FUsesListText; }
  void SetUsesListText(const String &Value) { FUsesListText = Value; }
  bool ExternAlias() const { return FExternAlias; }
  void SetExternAlias(bool Value) { FExternAlias = Value; }
  bool HasDirective() const { return FHasDirective; }
  void SetHasDirective(bool Value) { FHasDirective = Value; }

  String GetDeclaration() const override;
  void AssignProps(const TCodeItem &Source) override;
  void Clear() override;
  void WriteTagData(TDictionary &Dictionary) const override;
  String GetDescription() const override;

private:
  TStringList FUnitNames;
  TStringList FModulePaths;
  String FUsesListText;
  bool FExternAlias = false;
  bool FHasDirective = false;
};

// One parser message: its text (and a second text kept beside it), 1-based line, column and
// kind.
class TMessageDetails : public TPersistent {
public:
  TMessageDetails() = default;
  TMessageDetails(String AText, Integer ALine, TCodeMessageKind AKind, Integer AColumn)
      : Text(std::move(AText)), Line(ALine), Column(AColumn), Kind(AKind) {}
  // Takes every field of another details object.
  void Assign(const TPersistent *Source) override;
  using TPersistent::Assign;

  String Text;
  String Detail;
  Integer Line = 0;
  Integer Column = 0;
  TCodeMessageKind Kind = TCodeMessageKind::Error;
};

class TMessagesItem : public TCodeItem {
  KRX_PUBLISHED(TMessagesItem)

public:
  TMessagesItem();
  ~TMessagesItem() override;

  TMessageDetails &AddMessage(String Text, Integer Line, TCodeMessageKind Kind, Integer Column);
  // Text completed by " in line %d col %d".
  TMessageDetails &AddPositionMessage(const String &Text, Integer Line, TCodeMessageKind Kind,
                                      Integer Column);
  void ClearMessages();
  TMessageDetails &GetMessage(Integer i) const;
  Integer MsgCount() const { return FMessages->Count(); }
  // Every text followed by CR LF.
  String GetMessagesText() const;
  const String &Category() const { return FCategory; }
  void SetCategory(const String &Value);

  void Assign(const TPersistent *Source) override;
  using TCodeItem::Assign;
  void WriteTagData(TDictionary &Dictionary) const override;

private:
  std::unique_ptr<TKRXCollection> FMessages;
  String FCategory;
};

// Design information about the form file of a module; the module owns it and tells it when
// lines move.
class TModuleDesignInfo : public TObject {
public:
  // Hands itself to Module, which owns it from then on. Module must not be nullptr.
  explicit TModuleDesignInfo(TModuleItem *AModule);
  TModuleItem *Module() const { return FModule; }
  virtual void LinesDeleted(Integer, Integer) {}
  virtual void LinesInserted(Integer, Integer) {}

private:
  TModuleItem *FModule;
};

class TDFMModuleDesignInfo : public TModuleDesignInfo {
public:
  TDFMModuleDesignInfo(TModuleItem *AModule, Integer ALine);
  // The line of the module's form-resource directive.
  Integer ResourceLine = 0;
  void LinesDeleted(Integer Line, Integer Count) override;
  void LinesInserted(Integer Line, Integer Count) override;
};

// The item of a tag comment.
class TKRTagData : public TCodeItem {
  KRX_PUBLISHED(TKRTagData)
public:
  explicit TKRTagData(TCodeItem *AOwner);
};

// The part of a module that came from an include file; its positions belong to that file,
// so position lookups pass it over.
class TIncludeFileItem : public TModuleSectionItem {
  KRX_PUBLISHED(TIncludeFileItem)

public:
  TIncludeFileItem(TCodeItem *AOwner, const String &APath);
  const String &Path() const { return FPath; }
  TCodeItem *ItemAtPos(Integer, Integer) override { return nullptr; }
  // "{$I name}" with the file name without its folder.
  String GetDescription() const override;

private:
  String FPath;
};

// ===========================================================================================
// Code sections, source regions, the code-item model
// ===========================================================================================

class TCodeSectionItem : public TCodeItem {
  KRX_PUBLISHED(TCodeSectionItem)

public:
  explicit TCodeSectionItem(TCodeItem *AOwner);

  TCodeSectionKind SectionKind() const { return FSectionKind; }
  // Also names the item by the section's keyword.
  void SetSectionKind(TCodeSectionKind Kind);
  String GetDeclaration() const override;
  String GetDescription() const override { return GetDeclaration(); }
  void AssignProps(const TCodeItem &Source) override;

private:
  TCodeSectionKind FSectionKind = cskVar;
};

// A $REGION block of a module; regions nest and follow line insertions and deletions.
class TSourceRegion : public TObject {
public:
  // With a parent, the region is its last child and belongs to it.
  explicit TSourceRegion(TSourceRegion *AParent);
  ~TSourceRegion() override;
  TSourceRegion(const TSourceRegion &) = delete;
  TSourceRegion &operator=(const TSourceRegion &) = delete;

  // Frees the children, last to first.
  void Clear();
  Integer ChildCount() const { return static_cast<Integer>(FChildren.size()); }
  TSourceRegion *GetChild(Integer i) const;
  TSourceRegion *Parent() const { return FParent; }
  void LinesInserted(Integer Line, Integer Count);
  void LinesDeleted(Integer Line, Integer Count);

  // Set on a module's root region only.
  TModuleItem *Module = nullptr;
  Integer EndLine = 0;
  Integer StartLine = -1;
  String Name;

private:
  void Shift(Integer Line, Integer Delta);

  std::vector<std::unique_ptr<TSourceRegion>> FChildren;
  TSourceRegion *FParent = nullptr;
};

// What the parser may ask of the host about the model it works for.
class TCodeItemModel : public TObject {
public:
  // Whether a type name names an event type; this system knows none.
  virtual bool IsEventTypeName(StringView TypeName) const;
};

// The process-wide model: exists while the IDE expert runs; nullptr otherwise.
TCodeItemModel *CodeItemModel();
// Creates the process-wide model (replacing one that exists) / frees it.
void CreateCodeItemModel();
void FreeCodeItemModel();
// IsEventTypeName of the process-wide model; False while there is none.
bool IsEventTypeNameOfModel(StringView TypeName);

} // namespace krx
