#include "Platform/Vcl/ImgList.h"

#include <algorithm>

namespace krx {

TChangeLink::~TChangeLink() {
  if (FSender)
    FSender->UnRegisterChanges(this);
}

void TChangeLink::Change() {
  if (OnChange)
    OnChange(FSender);
}

const TClassInfo &TCustomImageList::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TCustomImageList>(&TComponent::StaticClassInfo())
          .Integer(u"Width", &TCustomImageList::Width, &TCustomImageList::SetWidth)
          .Default(16)
          .Integer(u"Height", &TCustomImageList::Height, &TCustomImageList::SetHeight)
          .Default(16)
          .Build();
  return info;
}

TCustomImageList::TCustomImageList(TComponent *AOwner) : TComponent(AOwner) {}

TCustomImageList::~TCustomImageList() {
  for (TChangeLink *link : FClients)
    link->SetSender(nullptr);
}

TCustomImageList *TCustomImageList::NewInstance(TComponent *AOwner) const {
  return new TCustomImageList(AOwner);
}

TCustomImageList *TImageList::NewInstance(TComponent *AOwner) const {
  return new TImageList(AOwner);
}

void TCustomImageList::SetSize(Integer AWidth, Integer AHeight) {
  if (AWidth == FWidth && AHeight == FHeight)
    return;
  FWidth = std::max(1, AWidth);
  FHeight = std::max(1, AHeight);
  FImages.clear();
  Change();
}

Integer TCustomImageList::Add(const String &Name) {
  FImages.push_back({Name});
  Change();
  return Count() - 1;
}

void TCustomImageList::Insert(Integer Index, const String &Name) {
  if (Index < 0 || Index > Count())
    throw EInvalidOperation(u"Invalid image list index");
  FImages.insert(FImages.begin() + Index, {Name});
  Change();
}

void TCustomImageList::Delete(Integer Index) {
  if (Index < 0 || Index >= Count())
    throw EInvalidOperation(u"Invalid image list index");
  FImages.erase(FImages.begin() + Index);
  Change();
}

void TCustomImageList::Clear() {
  if (FImages.empty())
    return;
  FImages.clear();
  Change();
}

void TCustomImageList::Move(Integer CurIndex, Integer NewIndex) {
  if (CurIndex < 0 || CurIndex >= Count() || NewIndex < 0 || NewIndex >= Count())
    throw EInvalidOperation(u"Invalid image list index");
  TImageListItem item = FImages[CurIndex];
  FImages.erase(FImages.begin() + CurIndex);
  FImages.insert(FImages.begin() + NewIndex, item);
  Change();
}

Integer TCustomImageList::GetIndexByName(const String &Name) const {
  if (Name.empty())
    return -1; // an empty name names no image
  for (Integer i = 0; i < Count(); ++i)
    if (SameText(FImages[i].Name, Name))
      return i;
  return -1;
}

String TCustomImageList::GetNameByIndex(Integer Index) const {
  return Index >= 0 && Index < Count() ? FImages[Index].Name : String();
}

void TCustomImageList::Draw(TCanvas &Canvas, Integer X, Integer Y, Integer Index, bool) const {
  if (Index >= 0 && Index < Count())
    Canvas.DrawImage(X, Y, FWidth, FHeight, Index, Name());
}

void TCustomImageList::EndUpdate() {
  if (FUpdateCount == 0)
    return;
  if (--FUpdateCount == 0 && FChanged) {
    FChanged = false;
    Change();
  }
}

void TCustomImageList::RegisterChanges(TChangeLink *Value) {
  if (!Value || std::find(FClients.begin(), FClients.end(), Value) != FClients.end())
    return;
  if (Value->Sender() && Value->Sender() != this)
    Value->Sender()->UnRegisterChanges(Value);
  Value->SetSender(this);
  FClients.push_back(Value);
}

void TCustomImageList::UnRegisterChanges(TChangeLink *Value) {
  auto it = std::find(FClients.begin(), FClients.end(), Value);
  if (it == FClients.end())
    return;
  FClients.erase(it);
  Value->SetSender(nullptr);
}

void TCustomImageList::Assign(const TPersistent *Source) {
  const auto *list = dynamic_cast<const TCustomImageList *>(Source);
  if (!list) {
    TComponent::Assign(Source);
    return;
  }
  FWidth = list->FWidth;
  FHeight = list->FHeight;
  FImages = list->FImages;
  Change();
}

void TCustomImageList::Change() {
  if (FUpdateCount > 0) {
    FChanged = true;
    return;
  }
  // A client may unregister from its handler: walk a copy.
  const std::vector<TChangeLink *> clients = FClients;
  for (TChangeLink *link : clients)
    if (std::find(FClients.begin(), FClients.end(), link) != FClients.end())
      link->Change();
  if (OnChange)
    OnChange(this);
}

} // namespace krx
