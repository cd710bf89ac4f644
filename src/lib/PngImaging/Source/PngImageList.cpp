#include "lib/PngImaging/Source/PngImageList.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace krx {

// ---- The redirection ----------------------------------------------------------------------

namespace {

using TPatchList = std::vector<std::unique_ptr<TMethodPatch>>;

// Unit state: the installed patches (nil when none) and the live PNG image lists.
std::unique_ptr<TPatchList> &PatchList() {
  static std::unique_ptr<TPatchList> list;
  return list;
}

Integer &PngImageListCount() {
  static Integer count = 0;
  return count;
}

template <typename F> TEntryBytes EntryBytes(F Function) {
  static_assert(sizeof(F) == sizeof(TEntryBytes));
  TEntryBytes bytes;
  std::memcpy(bytes.data(), &Function, sizeof(F));
  return bytes;
}

// The redirection table, in the order of TImageListEntries.
struct TRedirection {
  const Char *Name;
  std::size_t Offset;
};

constexpr TRedirection kRedirections[] = {
    {u"Add", offsetof(TImageListEntries, Add)},
    {u"AddIcon", offsetof(TImageListEntries, AddIcon)},
    {u"AddImage", offsetof(TImageListEntries, AddImage)},
    {u"AddImages", offsetof(TImageListEntries, AddImages)},
    {u"AddMasked", offsetof(TImageListEntries, AddMasked)},
    {u"Clear", offsetof(TImageListEntries, Clear)},
    {u"Delete", offsetof(TImageListEntries, Delete)},
    {u"Insert", offsetof(TImageListEntries, Insert)},
    {u"InsertIcon", offsetof(TImageListEntries, InsertIcon)},
    {u"InsertMasked", offsetof(TImageListEntries, InsertMasked)},
    {u"Move", offsetof(TImageListEntries, Move)},
    {u"Replace", offsetof(TImageListEntries, Replace)},
    {u"ReplaceIcon", offsetof(TImageListEntries, ReplaceIcon)},
    {u"ReplaceMasked", offsetof(TImageListEntries, ReplaceMasked)},
    {u"Overlay", offsetof(TImageListEntries, Overlay)}};
static_assert(std::size(kRedirections) * sizeof(TEntryBytes) == sizeof(TImageListEntries));

// What a redirected entry leads to: the PNG version for a PNG image list, the body the entry
// held before for any other list (called directly, so the redirection stays in place during
// the call and a nested call is redirected too). Without a patch of that name (it could not
// be installed), nothing is done: the Add forms answer -1, Overlay False.
template <std::size_t Row, auto PngMethod, typename R, typename... A>
R Redirected(TCustomImageList &Self, A... Args) {
  if (auto *png = dynamic_cast<TPngImageList *>(&Self))
    return (png->*PngMethod)(Args...);
  if (TMethodPatch *patch = TMethodPatch::FindPatch(kRedirections[Row].Name)) {
    R (*old)(TCustomImageList &, A...);
    std::memcpy(&old, patch->OldBody.data(), sizeof old);
    return old(Self, Args...);
  }
  if constexpr (std::is_same_v<R, Integer>)
    return -1;
  else if constexpr (std::is_same_v<R, bool>)
    return false;
}

using L = TPngImageList;
const TEntryBytes kTargets[] = {
    EntryBytes(&Redirected<0, static_cast<Integer (L::*)(TBitmap *, TBitmap *)>(&L::Add), Integer,
                           TBitmap *, TBitmap *>),
    EntryBytes(&Redirected<1, &L::AddIcon, Integer, TIcon *>),
    EntryBytes(&Redirected<2, &L::AddImage, Integer, TCustomImageList *, Integer>),
    EntryBytes(&Redirected<3, &L::AddImages, void, TCustomImageList *>),
    EntryBytes(&Redirected<4, &L::AddMasked, Integer, TBitmap *, TColor>),
    EntryBytes(&Redirected<5, &L::Clear, void>),
    EntryBytes(&Redirected<6, &L::Delete, void, Integer>),
    EntryBytes(&Redirected<7, static_cast<void (L::*)(Integer, TBitmap *, TBitmap *)>(&L::Insert),
                           void, Integer, TBitmap *, TBitmap *>),
    EntryBytes(&Redirected<8, &L::InsertIcon, void, Integer, TIcon *>),
    EntryBytes(&Redirected<9, &L::InsertMasked, void, Integer, TBitmap *, TColor>),
    EntryBytes(&Redirected<10, &L::Move, void, Integer, Integer>),
    EntryBytes(&Redirected<11, &L::Replace, void, Integer, TBitmap *, TBitmap *>),
    EntryBytes(&Redirected<12, &L::ReplaceIcon, void, Integer, TIcon *>),
    EntryBytes(&Redirected<13, &L::ReplaceMasked, void, Integer, TBitmap *, TColor>),
    EntryBytes(&Redirected<14, &L::Overlay, bool, Integer, TOverlay>)};

} // namespace

TMethodPatch::~TMethodPatch() {
  if (OldPointer)
    PatchBack();
}

bool TMethodPatch::InstallMethodPatch(void *Source, const TEntryBytes &Dest, const String &AName) {
  Name = AName;
  OldPointer = nullptr;
  if (!Source || std::memcmp(Source, Dest.data(), Dest.size()) == 0)
    return false;
  std::memcpy(OldBody.data(), Source, OldBody.size());
  NewPointer = Dest;
  std::memcpy(Source, Dest.data(), Dest.size());
  OldPointer = Source;
  return true;
}

bool TMethodPatch::PatchBack() {
  if (!OldPointer)
    return false;
  std::memcpy(OldPointer, OldBody.data(), OldBody.size());
  OldPointer = nullptr;
  return true;
}

TMethodPatch *TMethodPatch::FindPatch(const String &AName) {
  if (!PatchList())
    return nullptr;
  for (const auto &patch : *PatchList())
    if (patch->Name == AName)
      return patch.get();
  return nullptr;
}

void PatchImageListMethods() {
  auto list = std::make_unique<TPatchList>();
  auto *entries = reinterpret_cast<Byte *>(&ModuleImageListEntries);
  for (std::size_t i = 0; i < std::size(kRedirections); ++i) {
    void *entry = entries + kRedirections[i].Offset;
    if (std::all_of(entries + kRedirections[i].Offset,
                    entries + kRedirections[i].Offset + sizeof(TEntryBytes),
                    [](Byte b) { return b == 0; }))
      continue; // no entry to redirect
    auto patch = std::make_unique<TMethodPatch>();
    if (patch->InstallMethodPatch(entry, kTargets[i], kRedirections[i].Name))
      list->push_back(std::move(patch));
  }
  PatchList() = std::move(list);
}

Integer ImageListPatchCount() {
  return PatchList() ? static_cast<Integer>(PatchList()->size()) : 0;
}

void FinalizePngImageList() { PatchList().reset(); }

// ---- Collection items -------------------------------------------------------------------

TPngImageCollectionItem::TPngImageCollectionItem(TPngImageCollectionItems *Collection,
                                                 Integer Index, bool DontCreatePNG)
    : FCollection(Collection), FName(Format(u"PngImage%d", {Index})) {
  if (!DontCreatePNG)
    FPngImage = std::make_unique<TPngImage>();
}

Integer TPngImageCollectionItem::Index() const {
  return FCollection ? FCollection->IndexOf(this) : -1;
}

void TPngImageCollectionItem::Changed() {
  if (FCollection)
    FCollection->Update(this);
}

void TPngImageCollectionItem::SetBackground(TColor Value) {
  FBackground = Value;
  Changed();
}

void TPngImageCollectionItem::SetPngImage(const TPngImage *Value) {
  if (!FPngImage)
    FPngImage = std::make_unique<TPngImage>();
  if (Value)
    FPngImage->Assign(Value);
  Changed();
}

std::unique_ptr<TPngImage> TPngImageCollectionItem::Duplicate() const {
  auto copy = std::make_unique<TPngImage>();
  if (FPngImage)
    copy->Assign(FPngImage.get());
  return copy;
}

String TPngImageCollectionItem::GetDisplayName() const {
  return FName.empty() ? ClassName() : FName;
}

void TPngImageCollectionItem::Assign(const TPersistent *Source) {
  const auto *item = dynamic_cast<const TPngImageCollectionItem *>(Source);
  if (!item) {
    TPersistent::Assign(Source);
    return;
  }
  if (item == this)
    return;
  SetPngImage(item->FPngImage.get());
  SetBackground(item->FBackground);
  FName = item->FName;
}

void TPngImageCollectionItem::AssignTo(TPersistent *Dest) const {
  if (auto *item = dynamic_cast<TPngImageCollectionItem *>(Dest))
    item->SetPngImage(FPngImage.get());
  else
    TPersistent::AssignTo(Dest);
}

// ---- The collection -------------------------------------------------------------------------

TPngImageCollectionItems::~TPngImageCollectionItems() {
  FUpdateCount = 1; // the owner is going: no rebuild
  FItems.clear();
}

TPngImageCollectionItem *TPngImageCollectionItems::Add(bool DontCreatePNG) {
  FItems.push_back(std::make_unique<TPngImageCollectionItem>(this, Count(), DontCreatePNG));
  TPngImageCollectionItem *item = FItems.back().get();
  Changed();
  return item;
}

TPngImageCollectionItem *TPngImageCollectionItems::Insert(Integer Index, bool DontCreatePNG) {
  BeginUpdate();
  TPngImageCollectionItem *item = Add(DontCreatePNG);
  if (Index >= 0 && Index < Count() - 1)
    Move(Count() - 1, Index);
  EndUpdate();
  return item;
}

TPngImageCollectionItem *TPngImageCollectionItems::Items(Integer Index) const {
  return Index >= 0 && Index < Count() ? FItems[static_cast<std::size_t>(Index)].get() : nullptr;
}

void TPngImageCollectionItems::SetItem(Integer Index, const TPngImageCollectionItem *Value) {
  if (TPngImageCollectionItem *item = Items(Index))
    item->Assign(Value);
}

void TPngImageCollectionItems::Delete(Integer Index) {
  if (!Items(Index))
    return;
  FItems.erase(FItems.begin() + Index);
  Changed();
}

void TPngImageCollectionItems::Clear() {
  if (FItems.empty())
    return;
  FItems.clear();
  Changed();
}

void TPngImageCollectionItems::Move(Integer CurIndex, Integer NewIndex) {
  if (!Items(CurIndex) || !Items(NewIndex) || CurIndex == NewIndex)
    return;
  auto item = std::move(FItems[static_cast<std::size_t>(CurIndex)]);
  FItems.erase(FItems.begin() + CurIndex);
  FItems.insert(FItems.begin() + NewIndex, std::move(item));
  Changed();
}

Integer TPngImageCollectionItems::IndexOf(const TPngImageCollectionItem *Item) const {
  for (Integer i = 0; i < Count(); ++i)
    if (FItems[static_cast<std::size_t>(i)].get() == Item)
      return i;
  return -1;
}

void TPngImageCollectionItems::EndUpdate() {
  if (FUpdateCount > 0 && --FUpdateCount == 0)
    Changed();
}

void TPngImageCollectionItems::Changed() {
  if (FUpdateCount == 0)
    Update(nullptr);
}

void TPngImageCollectionItems::Update(TPngImageCollectionItem *) {
  if (FUpdateCount > 0)
    return;
  if (auto *list = dynamic_cast<TPngImageList *>(FOwner))
    list->RebuildImageList();
}

void TPngImageCollectionItems::Assign(const TPersistent *Source) {
  const auto *other = dynamic_cast<const TPngImageCollectionItems *>(Source);
  if (!other) {
    TPersistent::Assign(Source);
    return;
  }
  if (other == this)
    return;
  BeginUpdate();
  FItems.clear();
  for (const auto &item : other->FItems)
    Add()->Assign(item.get());
  EndUpdate();
  Update(nullptr);
}

// ---- The PNG image list -----------------------------------------------------------------

namespace {

// A 32-bit icon of the image: its colours and alpha (or, for an image with one transparent
// colour, clear where it is and opaque elsewhere) over an all-black mask.
HICON PngToIcon(const TPngImage &Png) {
  TBitmap color(Png.Width(), Png.Height(), pf32bit);
  TBitmap mask(Png.Width(), Png.Height(), pf1bit);
  const std::optional<TPngPixel> transparent = Png.TransparentColor();
  for (Integer y = 0; y < Png.Height(); ++y)
    for (Integer x = 0; x < Png.Width(); ++x) {
      const TPngPixel p = Png.Pixel(x, y);
      Byte a = p.A;
      if (transparent)
        a = p.R == transparent->R && p.G == transparent->G && p.B == transparent->B ? 0 : 255;
      color.SetPixel(x, y, DWORD{a} << 24 | DWORD{p.R} << 16 | DWORD{p.G} << 8 | p.B);
      mask.SetPixel(x, y, 0xFF000000u);
    }
  ICONINFO info;
  info.hbmColor = color.Handle();
  info.hbmMask = mask.Handle();
  return CreateIconIndirect(&info);
}

// A fully clear icon of the list's size, for an item without an image, so that the platform
// list keeps one image per item.
HICON ClearIcon(Integer Width, Integer Height) {
  TBitmap color(Width, Height, pf32bit);
  TBitmap mask(Width, Height, pf1bit);
  for (Integer y = 0; y < Height; ++y)
    for (Integer x = 0; x < Width; ++x)
      mask.SetPixel(x, y, 0xFFFFFFFFu);
  ICONINFO info;
  info.hbmColor = color.Handle();
  info.hbmMask = mask.Handle();
  return CreateIconIndirect(&info);
}

// Image Index of any list as a PNG image: a copy of a PNG list's item, or the icon of
// another list's image with alpha from its mask. Nothing outside the list.
void CopyImageFromImageList(TPngImage &Dest, TCustomImageList &List, Integer Index) {
  if (auto *png = dynamic_cast<TPngImageList *>(&List)) {
    if (TPngImageCollectionItem *item = png->PngImages()->Items(Index); item && item->PngImage())
      Dest.Assign(item->PngImage());
    return;
  }
  if (Index < 0 || Index >= List.Count())
    return;
  TIcon icon;
  icon.SetHandle(ImageList_GetIcon(List.Handle(), Index, ILD_NORMAL));
  ICONINFO info;
  if (!GetIconInfo(icon.Handle(), &info))
    return;
  const TBitmap *mask = TBitmap::FromHandle(info.hbmMask);
  MaskedBitmapToPngImage(TBitmap::FromHandle(info.hbmColor), mask, &Dest, true);
}

} // namespace

TPngImageList::TPngImageList(TComponent *AOwner) : TImageList(AOwner) {
  FOverlayIndex.fill(-1);
  SetColorDepth(cd32Bit);
  if (PngImageListCount() == 0)
    PatchImageListMethods();
  ++PngImageListCount();
  FPngImages = std::make_unique<TPngImageCollectionItems>(this);
}

TPngImageList::~TPngImageList() {
  FPngImages.reset();
  if (--PngImageListCount() == 0)
    PatchList().reset(); // every patch takes its redirection out
}

TCustomImageList *TPngImageList::NewInstance(TComponent *AOwner) const {
  return new TPngImageList(AOwner);
}

void TPngImageList::SetEnabledImages(bool Value) {
  if (Value == FEnabledImages)
    return;
  FEnabledImages = Value;
  RebuildImageList();
}

void TPngImageList::SetPngOptions(TPngOptions Value) {
  if (Value == FPngOptions)
    return;
  FPngOptions = Value;
  RebuildImageList();
}

void TPngImageList::SetPngImages(const TPngImageCollectionItems *Value) {
  if (Value == FPngImages.get())
    return;
  FPngImages->Assign(Value);
  Change();
}

void TPngImageList::SetSize(Integer AWidth, Integer AHeight) {
  if (AWidth == Width() && AHeight == Height())
    return;
  TCustomImageList::SetSize(AWidth, AHeight);
  Clear();
}

HICON TPngImageList::ListIcon(const TPngImage *Png, TColor) const {
  if (!Png || Png->Empty())
    return ClearIcon(Width(), Height());
  if (FEnabledImages || FPngOptions.Empty())
    return PngToIcon(*Png);
  TPngImage copy;
  copy.Assign(Png);
  ApplyPngEffects(copy, FPngOptions);
  return PngToIcon(copy);
}

Integer TPngImageList::AddPng(const TPngImage *Image, TColor Background) {
  if (!Image || Image->Empty())
    return -1;
  BeginUpdate();
  TPngImageCollectionItem *item = FPngImages->Add(true);
  item->SetPngImage(Image);
  item->SetBackground(Background);
  TIcon icon;
  icon.SetHandle(ListIcon(item->PngImage(), Background));
  ImageList_ReplaceIcon(Handle(), -1, icon.Handle());
  Change();
  EndUpdate(false);
  return item->Index();
}

void TPngImageList::InsertPng(Integer Index, const TPngImage *Image, TColor Background) {
  if (!Image || Image->Empty() || Index < 0 || Index > FPngImages->Count())
    return;
  BeginUpdate();
  TPngImageCollectionItem *item = FPngImages->Insert(Index, true);
  item->SetPngImage(Image);
  item->SetBackground(Background);
  TIcon icon;
  icon.SetHandle(ListIcon(item->PngImage(), Background));
  const Integer added = ImageList_ReplaceIcon(Handle(), -1, icon.Handle());
  ImageList_MoveImage(Handle(), added, Index);
  Change();
  EndUpdate(false);
}

void TPngImageList::EndUpdate(bool Update) {
  if (FLocked == 0)
    return;
  if (--FLocked == 0 && Update)
    RebuildImageList();
}

void TPngImageList::RebuildImageList() {
  if (FLocked > 0)
    return;
  SetHandle(
      ImageList_Create(Width(), Height(), ILC_COLOR32 | (Masked() ? ILC_MASK : 0), 0, AllocBy()));
  for (Integer i = 0; i < FPngImages->Count(); ++i) {
    TPngImageCollectionItem *item = FPngImages->Items(i);
    TIcon icon;
    icon.SetHandle(ListIcon(item->PngImage(), item->Background()));
    ImageList_ReplaceIcon(Handle(), -1, icon.Handle());
  }
  Change();
}

Integer TPngImageList::Add(TBitmap *Image, TBitmap *Mask) {
  if (!Image)
    return -1;
  TPngImage png;
  MaskedBitmapToPngImage(Image, Mask, &png);
  return AddPng(&png);
}

Integer TPngImageList::AddIcon(TIcon *Image) {
  if (!Image)
    return -1;
  TPngImage png;
  IconToPngImage(Image, &png);
  return AddPng(&png);
}

Integer TPngImageList::AddImage(TCustomImageList *Value, Integer Index) {
  if (!Value)
    return -1;
  TPngImage png;
  CopyImageFromImageList(png, *Value, Index);
  return AddPng(&png);
}

void TPngImageList::AddImages(TCustomImageList *Value) {
  if (!Value || Value == this)
    return;
  BeginUpdate();
  for (Integer i = 0; i < Value->Count(); ++i)
    AddImage(Value, i);
  EndUpdate(true);
}

Integer TPngImageList::AddMasked(TBitmap *Image, TColor MaskColor) {
  if (!Image)
    return -1;
  TPngImage png;
  BitmapToPngImage(Image, MaskColor, &png);
  return AddPng(&png);
}

void TPngImageList::Insert(Integer Index, TBitmap *Image, TBitmap *Mask) {
  if (!Image)
    return;
  TPngImage png;
  MaskedBitmapToPngImage(Image, Mask, &png);
  InsertPng(Index, &png);
}

void TPngImageList::InsertIcon(Integer Index, TIcon *Image) {
  if (!Image)
    return;
  TPngImage png;
  IconToPngImage(Image, &png);
  InsertPng(Index, &png);
}

void TPngImageList::InsertMasked(Integer Index, TBitmap *Image, TColor MaskColor) {
  if (!Image)
    return;
  TPngImage png;
  BitmapToPngImage(Image, MaskColor, &png);
  InsertPng(Index, &png);
}

void TPngImageList::Clear() {
  BeginUpdate();
  FPngImages->Clear();
  ImageList_Remove(Handle(), -1);
  Change();
  EndUpdate(false);
}

void TPngImageList::Delete(Integer Index) {
  if (!ValidIndex(Index))
    return;
  BeginUpdate();
  FPngImages->Delete(Index);
  ImageList_Remove(Handle(), Index);
  Change();
  EndUpdate(false);
}

void TPngImageList::Move(Integer CurIndex, Integer NewIndex) {
  if (!ValidIndex(CurIndex) || !ValidIndex(NewIndex) || CurIndex == NewIndex)
    return;
  BeginUpdate();
  ImageList_MoveImage(Handle(), CurIndex, NewIndex);
  FPngImages->Move(CurIndex, NewIndex);
  Change();
  EndUpdate(false);
}

void TPngImageList::ReplacePng(Integer Index, const TPngImage &Png) {
  TPngImageCollectionItem *item = FPngImages->Items(Index);
  BeginUpdate();
  item->SetPngImage(&Png);
  TIcon icon;
  icon.SetHandle(ListIcon(item->PngImage(), item->Background()));
  ImageList_ReplaceIcon(Handle(), Index, icon.Handle());
  Change();
  EndUpdate(false);
}

void TPngImageList::Replace(Integer Index, TBitmap *Image, TBitmap *Mask) {
  if (!Image || !ValidIndex(Index))
    return;
  TPngImage png;
  MaskedBitmapToPngImage(Image, Mask, &png);
  ReplacePng(Index, png);
}

void TPngImageList::ReplaceIcon(Integer Index, TIcon *Image) {
  if (!Image || !ValidIndex(Index))
    return;
  TPngImage png;
  IconToPngImage(Image, &png);
  ReplacePng(Index, png);
}

void TPngImageList::ReplaceMasked(Integer Index, TBitmap *NewImage, TColor MaskColor) {
  if (!NewImage || !ValidIndex(Index))
    return;
  TPngImage png;
  BitmapToPngImage(NewImage, MaskColor, &png);
  ReplacePng(Index, png);
}

bool TPngImageList::Overlay(Integer ImageIndex, TOverlay Overlay) {
  if (Overlay >= kOverlayCount)
    return false;
  FOverlayIndex[Overlay] = ImageIndex;
  return ValidIndex(ImageIndex);
}

void TPngImageList::DoDraw(Integer Index, TCanvas &Canvas, Integer X, Integer Y, UINT Style,
                           bool Enabled) {
  const TPngImageCollectionItem *item = FPngImages->Items(Index);
  if (!item || !item->PngImage())
    return;
  const TPngOptions effects = Enabled ? TPngOptions{} : FPngOptions;
  const TRect rect = Bounds(X, Y, Width(), Height());
  DrawPngWithEffects(*item->PngImage(), Canvas, rect, effects);
  const UINT overlay = (Style & ILD_OVERLAYMASK) >> 8;
  if (overlay >= 1 && overlay <= kOverlayCount)
    if (const TPngImageCollectionItem *over = FPngImages->Items(FOverlayIndex[overlay - 1]);
        over && over->PngImage())
      DrawPngWithEffects(*over->PngImage(), Canvas, rect, effects);
}

void TPngImageList::Assign(const TPersistent *Source) {
  if (const auto *png = dynamic_cast<const TPngImageList *>(Source)) {
    if (png == this)
      return;
    BeginUpdate();
    FPngImages->Assign(png->FPngImages.get());
    FEnabledImages = png->FEnabledImages;
    FPngOptions = png->FPngOptions;
    EndUpdate(true);
  }
  if (const auto *list = dynamic_cast<const TCustomImageList *>(Source))
    SetColorDepth(list->ColorDepth());
  TImageList::Assign(Source);
}

String TPngImageList::GetImageName(Integer Index) {
  const TPngImageCollectionItem *item = FPngImages->Items(Index);
  return item ? item->Name() : String();
}

Integer TPngImageList::FindIndexByName(const String &AName) {
  for (Integer i = 0; i < FPngImages->Count(); ++i)
    if (SameText(FPngImages->Items(i)->Name(), AName))
      return i;
  return -1;
}

void TPngImageList::ListImageNames(TStrings *Target) {
  if (!Target)
    return;
  for (Integer i = 0; i < FPngImages->Count(); ++i)
    Target->Add(FPngImages->Items(i)->Name());
}

namespace {

constinit bool gImageNamesInBuild = true;

} // namespace

void SetPngImageNamesInBuild(bool Value) { gImageNamesInBuild = Value; }

bool PngImageNamesInBuild() { return gImageNamesInBuild; }

// The build's choice is made before any list exists, so each table is built once and the
// class answers with the one its build has.
const TClassInfo &TPngImageList::StaticClassInfo() {
  static const TClassInfo withNames =
      TClassInfoBuilder<TPngImageList>(&TCustomImageList::StaticClassInfo())
          .Bool(u"ImageNameAvailable", &TPngImageList::ImageNameAvailable,
                &TPngImageList::SetImageNameAvailable)
          .Default(1)
          .Build();
  static const TClassInfo withoutNames =
      TClassInfoBuilder<TPngImageList>(&TCustomImageList::StaticClassInfo()).Build();
  return gImageNamesInBuild ? withNames : withoutNames;
}

bool TPngImageList::IsImageNameAvailable() const {
  return gImageNamesInBuild ? FImageNameAvailable : TImageList::IsImageNameAvailable();
}

Integer TPngImageList::GetIndexByName(const String &Name) const {
  if (!gImageNamesInBuild)
    return TImageList::GetIndexByName(Name);
  return const_cast<TPngImageList *>(this)->FindIndexByName(Name);
}

String TPngImageList::GetNameByIndex(Integer Index) const {
  if (!gImageNamesInBuild)
    return TImageList::GetNameByIndex(Index);
  return const_cast<TPngImageList *>(this)->GetImageName(Index);
}

} // namespace krx
