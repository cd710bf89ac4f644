#include "Platform/Vcl/ImgList.h"

#include <algorithm>

namespace krx {

namespace {

constexpr const Char *SInvalidIndex = u"Invalid image list index";
constexpr const Char *SReplaceImage = u"Unable to Replace Image";

HIMAGELIST NewHandle(Integer Width, Integer Height, Integer AllocBy) {
  return ImageList_Create(Width, Height, ILC_COLOR32 | ILC_MASK, 0, AllocBy);
}

COLORREF ToColorRef(TColor Color) { return static_cast<COLORREF>(ColorToRGB(Color)) & 0xFFFFFFu; }

HBITMAP HandleOf(const TBitmap *Bitmap) { return Bitmap ? Bitmap->Handle() : nullptr; }

} // namespace

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

TCustomImageList::TCustomImageList(TComponent *AOwner)
    : TComponent(AOwner), FHandle(NewHandle(FWidth, FHeight, AllocBy())) {}

TCustomImageList::~TCustomImageList() {
  for (TChangeLink *link : FClients)
    link->SetSender(nullptr);
  ImageList_Destroy(FHandle);
}

TCustomImageList *TCustomImageList::NewInstance(TComponent *AOwner) const {
  return new TCustomImageList(AOwner);
}

TCustomImageList *TImageList::NewInstance(TComponent *AOwner) const {
  return new TImageList(AOwner);
}

void TCustomImageList::SetHandle(HIMAGELIST Value) {
  if (Value == FHandle)
    return;
  ImageList_Destroy(FHandle);
  FHandle = Value;
  int cx = 0, cy = 0;
  if (ImageList_GetIconSize(FHandle, &cx, &cy)) {
    FWidth = cx;
    FHeight = cy;
  }
  Change();
}

void TCustomImageList::SetSize(Integer AWidth, Integer AHeight) {
  if (AWidth == FWidth && AHeight == FHeight)
    return;
  FWidth = std::max(1, AWidth);
  FHeight = std::max(1, AHeight);
  ImageList_Destroy(FHandle);
  FHandle = NewHandle(FWidth, FHeight, AllocBy());
  Change();
}

Integer TCustomImageList::Add(const String &Name) {
  TBitmap blank(FWidth, FHeight, pf32bit);
  const Integer index = ImageList_Add(FHandle, blank.Handle(), nullptr);
  ImageList_SetImageName(FHandle, index, Name);
  Change();
  return index;
}

void TCustomImageList::Insert(Integer Index, const String &Name) {
  if (Index < 0 || Index > Count())
    throw EInvalidOperation(SInvalidIndex);
  BeginUpdate();
  const Integer index = Add(Name);
  ImageList_MoveImage(FHandle, index, Index);
  EndUpdate();
}

// ---- The class library's bodies of the redirectable operations ----------------------------

Integer TCustomImageListMethods::Add(TCustomImageList &Self, TBitmap *Image, TBitmap *Mask) {
  if (!Image)
    return -1;
  const Integer index = ImageList_Add(Self.FHandle, Image->Handle(), HandleOf(Mask));
  if (index >= 0)
    Self.Change();
  return index;
}

Integer TCustomImageListMethods::AddIcon(TCustomImageList &Self, TIcon *Image) {
  if (!Image)
    return -1;
  const Integer index = ImageList_ReplaceIcon(Self.FHandle, -1, Image->Handle());
  if (index >= 0)
    Self.Change();
  return index;
}

Integer TCustomImageListMethods::AddImage(TCustomImageList &Self, TCustomImageList *Value,
                                          Integer Index) {
  if (!Value || Index < 0 || Index >= Value->Count())
    return -1;
  TIcon icon;
  icon.SetHandle(ImageList_GetIcon(Value->FHandle, Index, ILD_NORMAL));
  const Integer index = ImageList_ReplaceIcon(Self.FHandle, -1, icon.Handle());
  if (index >= 0) {
    ImageList_SetImageName(Self.FHandle, index, ImageList_GetImageName(Value->FHandle, Index));
    Self.Change();
  }
  return index;
}

void TCustomImageListMethods::AddImages(TCustomImageList &Self, TCustomImageList *Value) {
  if (!Value || Value == &Self)
    return;
  Self.BeginUpdate();
  for (Integer i = 0; i < Value->Count(); ++i)
    AddImage(Self, Value, i);
  Self.EndUpdate();
}

Integer TCustomImageListMethods::AddMasked(TCustomImageList &Self, TBitmap *Image,
                                           TColor MaskColor) {
  if (!Image)
    return -1;
  const Integer index = ImageList_AddMasked(Self.FHandle, Image->Handle(), ToColorRef(MaskColor));
  if (index >= 0)
    Self.Change();
  return index;
}

void TCustomImageListMethods::Clear(TCustomImageList &Self) {
  if (Self.Count() == 0)
    return;
  ImageList_Remove(Self.FHandle, -1);
  Self.Change();
}

void TCustomImageListMethods::Delete(TCustomImageList &Self, Integer Index) {
  if (Index < 0 || Index >= Self.Count())
    throw EInvalidOperation(SInvalidIndex);
  ImageList_Remove(Self.FHandle, Index);
  Self.Change();
}

namespace {
// An insertion adds the image at the end and moves it to Index, as one change of the list.
template <class AddImage>
void InsertByAdding(TCustomImageList &Self, Integer Index, AddImage add) {
  if (Index < 0 || Index > Self.Count())
    throw EInvalidOperation(SInvalidIndex);
  Self.BeginUpdate();
  const Integer index = add();
  if (index >= 0)
    TCustomImageListMethods::Move(Self, index, Index);
  Self.EndUpdate();
}
} // namespace

void TCustomImageListMethods::Insert(TCustomImageList &Self, Integer Index, TBitmap *Image,
                                     TBitmap *Mask) {
  InsertByAdding(Self, Index, [&] { return Add(Self, Image, Mask); });
}

void TCustomImageListMethods::InsertIcon(TCustomImageList &Self, Integer Index, TIcon *Image) {
  InsertByAdding(Self, Index, [&] { return AddIcon(Self, Image); });
}

void TCustomImageListMethods::InsertMasked(TCustomImageList &Self, Integer Index, TBitmap *Image,
                                           TColor MaskColor) {
  InsertByAdding(Self, Index, [&] { return AddMasked(Self, Image, MaskColor); });
}

void TCustomImageListMethods::Move(TCustomImageList &Self, Integer CurIndex, Integer NewIndex) {
  if (CurIndex < 0 || CurIndex >= Self.Count() || NewIndex < 0 || NewIndex >= Self.Count())
    throw EInvalidOperation(SInvalidIndex);
  if (CurIndex == NewIndex)
    return;
  ImageList_MoveImage(Self.FHandle, CurIndex, NewIndex);
  Self.Change();
}

void TCustomImageListMethods::Replace(TCustomImageList &Self, Integer Index, TBitmap *Image,
                                      TBitmap *Mask) {
  if (Index < 0 || Index >= Self.Count())
    throw EInvalidOperation(SInvalidIndex);
  if (!ImageList_Replace(Self.FHandle, Index, HandleOf(Image), HandleOf(Mask)))
    throw EInvalidOperation(SReplaceImage);
  Self.Change();
}

void TCustomImageListMethods::ReplaceIcon(TCustomImageList &Self, Integer Index, TIcon *Image) {
  if (Index < 0 || Index >= Self.Count())
    throw EInvalidOperation(SInvalidIndex);
  if (ImageList_ReplaceIcon(Self.FHandle, Index, Image ? Image->Handle() : nullptr) < 0)
    throw EInvalidOperation(SReplaceImage);
  Self.Change();
}

void TCustomImageListMethods::ReplaceMasked(TCustomImageList &Self, Integer Index,
                                            TBitmap *NewImage, TColor MaskColor) {
  if (Index < 0 || Index >= Self.Count())
    throw EInvalidOperation(SInvalidIndex);
  if (!NewImage)
    throw EInvalidOperation(SReplaceImage);
  // The platform has no masked replace: the image is added masked, then moved into place.
  const String name = ImageList_GetImageName(Self.FHandle, Index);
  const Integer added =
      ImageList_AddMasked(Self.FHandle, NewImage->Handle(), ToColorRef(MaskColor));
  if (added < 0)
    throw EInvalidOperation(SReplaceImage);
  ImageList_Remove(Self.FHandle, Index);
  ImageList_MoveImage(Self.FHandle, added - 1, Index);
  ImageList_SetImageName(Self.FHandle, Index, name);
  Self.Change();
}

bool TCustomImageListMethods::Overlay(TCustomImageList &Self, Integer ImageIndex,
                                      TOverlay Overlay) {
  return ImageList_SetOverlayImage(Self.FHandle, ImageIndex, Overlay + 1) != FALSE;
}

// ---- Names, drawing, updates, clients -----------------------------------------------------

Integer TCustomImageList::GetIndexByName(const String &Name) const {
  if (Name.empty())
    return -1; // an empty name names no image
  for (Integer i = 0; i < Count(); ++i)
    if (SameText(ImageList_GetImageName(FHandle, i), Name))
      return i;
  return -1;
}

String TCustomImageList::GetNameByIndex(Integer Index) const {
  return ImageList_GetImageName(FHandle, Index);
}

void TCustomImageList::Draw(TCanvas &Canvas, Integer X, Integer Y, Integer Index, bool Enabled) {
  DoDraw(Index, Canvas, X, Y, ILD_NORMAL, Enabled);
}

void TCustomImageList::DoDraw(Integer Index, TCanvas &Canvas, Integer X, Integer Y, UINT,
                              bool) {
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
  if (list == this)
    return;
  FWidth = list->FWidth;
  FHeight = list->FHeight;
  ImageList_Destroy(FHandle);
  FHandle = ImageList_Duplicate(list->FHandle);
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
