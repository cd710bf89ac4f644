// The module item and the module-level items: sections and include files, uses clauses,
// messages, design info and tag comments; code sections, the region tree of a module and the
// process-wide code-item model.
#include "Engine/CodeItems.h"

#include "Engine/CodeItemHelpers.h"
#include "Platform/Rtl/Files.h"
#include "World/KRStrUtils.h"

#include <algorithm>

namespace krx {

namespace {

const Char *const SInterfaceUses = u"interface uses clause";
const Char *const SImplementationUses = u"implementation uses clause";

std::unique_ptr<TCodeItemModel> &OwnedCodeItemModel() {
  static std::unique_ptr<TCodeItemModel> model;
  return model;
}

} // namespace

// ===========================================================================================
// Module item and its parts
// ===========================================================================================

const TClassInfo &TModuleItem::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TModuleItem>(&TCodeItem::StaticClassInfo())
          .Integer(u"ImplLineNr", &TModuleItem::ImplLineNr, &TModuleItem::SetImplLineNr)
          .Integer(u"IntfLineNr", &TModuleItem::IntfLineNr, &TModuleItem::SetIntfLineNr)
          .Enum(u"ModuleType", TModuleTypeNames, &TModuleItem::ModuleType,
                &TModuleItem::SetModuleType)
          .Build();
  return info;
}

TModuleItem::TModuleItem()
    : TCodeItem(nullptr), FMarkedLines(std::make_unique<TIntList>()),
      FCollection(std::make_unique<TKRXCollection>()),
      FRootRegion(std::make_unique<TSourceRegion>(nullptr)) {
  FCollection->SetOwnsObjects(true);
  FCollection->SetDuplicates(cdAccept);
  FKind = ckModule;
  SetLineNr(0);
  FRootRegion->Module = this;
}

TModuleItem::~TModuleItem() {
  FMarkedLines.reset();
  FCollection.reset();
  FDesignInfo.reset();
  FRootRegion.reset();
  // The type items leave the type list as they go, so it must outlive them.
  FreeChildren();
}

TModuleSectionItem *TModuleItem::AddSection(TModuleSectionKind Kind) {
  auto *section = new TModuleSectionItem(this);
  section->SetSection(Kind);
  return section;
}

TTypeItem *TModuleItem::GetType(Integer i) const {
  KR_ASSERT(i >= 0 && i < GetTypeCount());
  return FTypes[static_cast<std::size_t>(i)];
}

void TModuleItem::UnregisterType(TTypeItem *Item) {
  // Types go mostly in reverse order of creation, so the search starts at the end.
  auto it = std::find(FTypes.rbegin(), FTypes.rend(), Item);
  KR_ASSERT(it != FTypes.rend());
  FTypes.erase(std::next(it).base());
}

void TModuleItem::ClearCollection() { FCollection->Clear(); }

void TModuleItem::SetDesignInfo(std::unique_ptr<TModuleDesignInfo> Info) {
  if (Info.get() == FDesignInfo.get()) {
    Info.release(); // the same object, already held
    return;
  }
  FDesignInfo = std::move(Info);
}

void TModuleItem::Reset() {
  SetBadFormat(false);
  SetCommentLines(nullptr);
  SetEndLineValue(0);
  SetEndPos(0);
  SetHeaderEndLineValue(0);
  SetHeaderEndPos(0);
  SetHintDirectives({});
  SetDeprecatedText(String());
  SetName(String());
  SetExtraText(String());
  SetIndention(0);
  SetItemStartPos(0);
  SetIndention(0);
  SetLineNr(0);
  SetPrologLine(-1);
  SetVisibility(scPublic);
  FModuleType = mtNone;
  FImplLineNr = -1;
  FIntfLineNr = -1;
  FRootRegion->StartLine = 0;
  FRootRegion->EndLine = 0;
  FRootRegion->Name.clear();
}

void TModuleItem::Clear() {
  TCodeItem::Clear();
  FFileName.clear();
  FDesignInfo.reset();
  FRootRegion->Clear();
  FMarkedLines->Clear();
  FRootRegion->Module = this;
  KR_ASSERT(FTypes.empty());
  KR_ASSERT(ChildCount() == 0);
}

void TModuleItem::ShiftModuleLines(Integer Line, Integer Delta) {
  for (Integer *value : {&FIntfLineNr, &FImplLineNr})
    if (*value != -1 && *value >= Line)
      *value += Delta;
  if (Delta < 0) {
    FRootRegion->LinesDeleted(Line, -Delta);
    if (FDesignInfo)
      FDesignInfo->LinesDeleted(Line, -Delta);
  } else {
    FRootRegion->LinesInserted(Line, Delta);
    if (FDesignInfo)
      FDesignInfo->LinesInserted(Line, Delta);
  }
}

void TModuleItem::LinesDeleted(const TCodeItem *Origin, Integer Line, Integer Count) {
  TCodeItem::LinesDeleted(Origin, Line, Count);
  ShiftModuleLines(Line, -Count);
}

void TModuleItem::LinesInserted(const TCodeItem *Origin, Integer Line, Integer Count) {
  TCodeItem::LinesInserted(Origin, Line, Count);
  ShiftModuleLines(Line, Count);
}

const TClassInfo &TModuleSectionItem::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TModuleSectionItem>(&TCodeItem::StaticClassInfo())
          .Enum(u"Section", TModuleSectionKindNames, &TModuleSectionItem::Section)
          .Build();
  return info;
}

TModuleSectionItem::TModuleSectionItem(TCodeItem *AOwner) : TCodeItem(AOwner) {
  FKind = ckModuleSection;
}

void TModuleSectionItem::SetSection(TModuleSectionKind Kind) {
  FSection = Kind;
  SetIsPublic(Kind == msInterface);
  SetName(GetDescription());
}

void TModuleSectionItem::AssignProps(const TCodeItem &Source) {
  TCodeItem::AssignProps(Source);
  if (const auto *source = dynamic_cast<const TModuleSectionItem *>(&Source))
    SetSection(source->FSection);
}

String TModuleSectionItem::GetDescription() const { return ModuleSectionKeyword(FSection); }

const TClassInfo &TUsesClause::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TUsesClause>(&TCodeItem::StaticClassInfo())
          .Bool(u"ExternAlias", &TUsesClause::ExternAlias, &TUsesClause::SetExternAlias)
          .Bool(u"HasDirective", &TUsesClause::HasDirective, &TUsesClause::SetHasDirective)
          .Build();
  return info;
}

TUsesClause::TUsesClause(TCodeItem *AOwner) : TCodeItem(AOwner) {
  FKind = ckUses;
  SetVisibility(scPublic);
}

void TUsesClause::AddUnit(const String &UnitName, const String &ModulePath) {
  FUnitNames.Add(UnitName);
  FModulePaths.Add(ModulePath);
}

String TUsesClause::GetDeclaration() const { return GetLanguage()->UsesClauseText(*this); }

void TUsesClause::AssignProps(const TCodeItem &Source) {
  TCodeItem::AssignProps(Source);
  if (const auto *source = dynamic_cast<const TUsesClause *>(&Source)) {
    FUnitNames.Assign(&source->FUnitNames);
    FModulePaths.Assign(&source->FModulePaths);
    FUsesListText = source->FUsesListText;
    FHasDirective = source->FHasDirective;
    FExternAlias = source->FExternAlias;
  }
}

void TUsesClause::Clear() {
  TCodeItem::Clear();
  FUnitNames.Clear();
  FModulePaths.Clear();
  FUsesListText.clear();
  FHasDirective = false;
}

void TUsesClause::WriteTagData(TDictionary &Dictionary) const {
  TCodeItem::WriteTagData(Dictionary);
  SetStringsValue(Dictionary, u"Units", EscapeLineBreaks(FUnitNames.Text()));
  SetStringsValue(Dictionary, u"UsesList", EscapeLineBreaks(FUsesListText));
  SetStringsValue(Dictionary, u"ModulePaths", EscapeLineBreaks(FModulePaths.Text()));
}

String TUsesClause::GetDescription() const {
  return IsPublic() ? SInterfaceUses : SImplementationUses;
}

void TMessageDetails::Assign(const TPersistent *Source) {
  const auto *source = dynamic_cast<const TMessageDetails *>(Source);
  if (!source) {
    TPersistent::Assign(Source);
    return;
  }
  Text = source->Text;
  Detail = source->Detail;
  Line = source->Line;
  Column = source->Column;
  Kind = source->Kind;
}

const TClassInfo &TMessagesItem::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TMessagesItem>(&TCodeItem::StaticClassInfo())
          .Str(u"Category", &TMessagesItem::Category, &TMessagesItem::SetCategory)
          .Integer(u"MsgCount", &TMessagesItem::MsgCount)
          .Build();
  return info;
}

TMessagesItem::TMessagesItem() : TCodeItem(nullptr), FMessages(std::make_unique<TKRXCollection>()) {
  FMessages->SetOwnsObjects(true);
  // Without a duplicate search, adding stays constant-time however many messages there are.
  FMessages->SetDuplicates(cdAccept);
  FKind = ckError;
  SetLineNr(0);
}

TMessagesItem::~TMessagesItem() = default;

TMessageDetails &TMessagesItem::AddMessage(String Text, Integer Line, TCodeMessageKind Kind,
                                           Integer Column) {
  auto details = std::make_unique<TMessageDetails>(std::move(Text), Line, Kind, Column);
  FMessages->Add(details.get());
  return *details.release();
}

TMessageDetails &TMessagesItem::AddPositionMessage(const String &Text, Integer Line,
                                                   TCodeMessageKind Kind, Integer Column) {
  // "<text> in line <line> col <column>", put together without Format: a parse may add many.
  const String line = IntToStr(Line), column = IntToStr(Column);
  String message;
  message.reserve(Text.size() + 14 + line.size() + column.size());
  message.append(Text).append(StringView(u" in line ")).append(line);
  message.append(StringView(u" col ")).append(column);
  return AddMessage(std::move(message), Line, Kind, Column);
}

void TMessagesItem::ClearMessages() { FMessages->Clear(); }

TMessageDetails &TMessagesItem::GetMessage(Integer i) const {
  return *static_cast<TMessageDetails *>(FMessages->Items(i));
}

String TMessagesItem::GetMessagesText() const {
  String text;
  for (Integer i = 0; i < MsgCount(); ++i)
    text += GetMessage(i).Text + u"\r\n";
  return text;
}

void TMessagesItem::SetCategory(const String &Value) {
  if (Value != FCategory)
    FCategory = Value;
}

void TMessagesItem::Assign(const TPersistent *Source) {
  const auto *source = dynamic_cast<const TMessagesItem *>(Source);
  if (!source) {
    TCodeItem::Assign(Source);
    return;
  }
  if (source == this)
    return;
  ClearMessages();
  for (Integer i = 0; i < source->MsgCount(); ++i) {
    auto details = std::make_unique<TMessageDetails>();
    details->Assign(&source->GetMessage(i));
    FMessages->Add(details.get());
    details.release();
  }
  FCategory = source->FCategory;
}

void TMessagesItem::WriteTagData(TDictionary &Dictionary) const {
  TCodeItem::WriteTagData(Dictionary);
  SetStringsValue(Dictionary, u"Messages", EscapeLineBreaks(GetMessagesText()));
}

TModuleDesignInfo::TModuleDesignInfo(TModuleItem *AModule) : FModule(AModule) {
  KR_ASSERT(AModule != nullptr);
  AModule->SetDesignInfo(std::unique_ptr<TModuleDesignInfo>(this));
}

TDFMModuleDesignInfo::TDFMModuleDesignInfo(TModuleItem *AModule, Integer ALine)
    : TModuleDesignInfo(AModule), ResourceLine(ALine) {}

void TDFMModuleDesignInfo::LinesDeleted(Integer Line, Integer Count) {
  if (ResourceLine >= Line)
    ResourceLine -= Count;
}

void TDFMModuleDesignInfo::LinesInserted(Integer Line, Integer Count) {
  if (ResourceLine >= Line)
    ResourceLine += Count;
}

const TClassInfo &TKRTagData::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TKRTagData>(&TCodeItem::StaticClassInfo()).Build();
  return info;
}

TKRTagData::TKRTagData(TCodeItem *AOwner) : TCodeItem(AOwner) { FKind = ckKRTag; }

const TClassInfo &TIncludeFileItem::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TIncludeFileItem>(&TModuleSectionItem::StaticClassInfo()).Build();
  return info;
}

TIncludeFileItem::TIncludeFileItem(TCodeItem *AOwner, const String &APath)
    : TModuleSectionItem(AOwner), FPath(APath) {
  SetSection(msIncludeFile);
}

String TIncludeFileItem::GetDescription() const {
  return Format(ModuleSectionKeyword(msIncludeFile), {ExtractFileName(FPath)});
}

// ===========================================================================================
// Code sections, regions, the code-item model
// ===========================================================================================

const TClassInfo &TCodeSectionItem::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TCodeSectionItem>(&TCodeItem::StaticClassInfo())
          .Enum(u"SectionKind", TCodeSectionKindNames, &TCodeSectionItem::SectionKind,
                &TCodeSectionItem::SetSectionKind)
          .Build();
  return info;
}

TCodeSectionItem::TCodeSectionItem(TCodeItem *AOwner) : TCodeItem(AOwner) {
  FKind = ckCodeSection;
}

void TCodeSectionItem::SetSectionKind(TCodeSectionKind Kind) {
  FSectionKind = Kind;
  SetName(GetDeclaration());
}

String TCodeSectionItem::GetDeclaration() const { return CodeSectionKeyword(FSectionKind); }

void TCodeSectionItem::AssignProps(const TCodeItem &Source) {
  TCodeItem::AssignProps(Source);
  if (const auto *source = dynamic_cast<const TCodeSectionItem *>(&Source))
    SetSectionKind(source->FSectionKind);
}

TSourceRegion::TSourceRegion(TSourceRegion *AParent) {
  if (AParent) {
    AParent->FChildren.emplace_back(this);
    FParent = AParent;
  }
}

TSourceRegion::~TSourceRegion() {
  Clear();
  if (!FParent)
    return;
  auto &list = FParent->FChildren;
  for (auto it = list.rbegin(); it != list.rend(); ++it)
    if (it->get() == this) {
      it->release(); // being destroyed already
      list.erase(std::next(it).base());
      break;
    }
  if (list.empty())
    ReleaseStorage(list);
}

void TSourceRegion::Clear() {
  while (!FChildren.empty()) {
    std::unique_ptr<TSourceRegion> child = std::move(FChildren.back());
    FChildren.pop_back();
    child->FParent = nullptr;
  }
  ReleaseStorage(FChildren);
}

TSourceRegion *TSourceRegion::GetChild(Integer i) const {
  KR_ASSERT(i >= 0 && i < ChildCount());
  return FChildren[static_cast<std::size_t>(i)].get();
}

void TSourceRegion::Shift(Integer Line, Integer Delta) {
  if (StartLine >= Line)
    StartLine += Delta;
  if (EndLine >= Line)
    EndLine += Delta;
  for (const auto &child : FChildren)
    child->Shift(Line, Delta);
}

void TSourceRegion::LinesInserted(Integer Line, Integer Count) { Shift(Line, Count); }
void TSourceRegion::LinesDeleted(Integer Line, Integer Count) { Shift(Line, -Count); }

bool TCodeItemModel::IsEventTypeName(StringView) const { return false; }

TCodeItemModel *CodeItemModel() { return OwnedCodeItemModel().get(); }
void CreateCodeItemModel() { OwnedCodeItemModel() = std::make_unique<TCodeItemModel>(); }
void FreeCodeItemModel() { OwnedCodeItemModel().reset(); }

bool IsEventTypeNameOfModel(StringView TypeName) {
  const TCodeItemModel *model = CodeItemModel();
  return model && model->IsEventTypeName(TypeName);
}

} // namespace krx
