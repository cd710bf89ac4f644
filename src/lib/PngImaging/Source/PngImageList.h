// An image list whose images are PNG images with alpha, held in a collection of named items
// and mirrored into the platform image list that the class library draws from.
//
// The class library's operations that add, insert, replace, move, delete and overlay images
// are not virtual, so code that holds a PNG image list as a plain image list would reach the
// class library's versions. While at least one PNG image list exists, this module's entries
// of those fifteen operations (ModuleImageListEntries) lead to the PNG versions instead: each
// serves PNG image lists itself and hands every other list to the class library's body that
// the entry held before. The first PNG image list installs the redirection, the last one
// freed takes it out again, leaving every entry as it was. Only this module's own calls are
// redirected; the class library and other modules are not changed. Main thread only.
#pragma once

#include "Platform/Rtl/Intf.h"
#include "Platform/Vcl/ImgList.h"
#include "lib/PngImaging/Source/PngFunctions.h"

#include <array>
#include <memory>
#include <vector>

namespace krx {

class TPngImageList;
class TPngImageCollectionItems;

// The names of a list's images.
class INameMapping : public virtual IInterface {
public:
  KRX_GUID("{38EECDD8-7440-4EA2-BFD0-424E5BB2C1D5}");
  virtual String GetImageName(Integer Index) = 0;
  virtual Integer FindIndexByName(const String &AName) = 0;
  virtual void ListImageNames(TStrings *Target) = 0;
};

// One image of the list: a PNG image, the background it is shown on where the platform
// needs one, and a name.
class TPngImageCollectionItem : public TPersistent {
public:
  // Named "PngImage<index>"; without its own PNG image when DontCreatePNG is set.
  TPngImageCollectionItem(TPngImageCollectionItems *Collection, Integer Index,
                          bool DontCreatePNG = false);

  TPngImageCollectionItems *Collection() const { return FCollection; }
  Integer Index() const;
  const String &Name() const { return FName; }
  void SetName(const String &Value) { FName = Value; }
  TColor Background() const { return FBackground; }
  void SetBackground(TColor Value);
  // Nil only for an item created without one and not given one yet.
  TPngImage *PngImage() const { return FPngImage.get(); }
  // Copies the image (creating the item's own when it has none).
  void SetPngImage(const TPngImage *Value);
  // A new copy of the item's PNG image, owned by the caller.
  std::unique_ptr<TPngImage> Duplicate() const;
  String GetDisplayName() const;

  // From another item: its PNG image, background and name.
  using TPersistent::Assign;
  void Assign(const TPersistent *Source) override;

protected:
  void AssignTo(TPersistent *Dest) const override;

private:
  void Changed();

  TPngImageCollectionItems *FCollection;
  TColor FBackground = clBtnFace;
  String FName;
  std::unique_ptr<TPngImage> FPngImage;
};

// The owned items of a PNG image list; a change rebuilds the owning list.
class TPngImageCollectionItems : public TPersistent {
public:
  explicit TPngImageCollectionItems(TPersistent *AOwner) : FOwner(AOwner) {}
  ~TPngImageCollectionItems() override;

  TPersistent *GetOwner() const { return FOwner; }
  Integer Count() const { return static_cast<Integer>(FItems.size()); }
  TPngImageCollectionItem *Add(bool DontCreatePNG = false);
  TPngImageCollectionItem *Insert(Integer Index, bool DontCreatePNG = false);
  // Nil outside the collection.
  TPngImageCollectionItem *Items(Integer Index) const;
  // Copies Value into item Index; an index outside the collection is ignored.
  void SetItem(Integer Index, const TPngImageCollectionItem *Value);
  void Delete(Integer Index);
  void Clear();
  // Moves item CurIndex to NewIndex (both inside the collection).
  void Move(Integer CurIndex, Integer NewIndex);
  Integer IndexOf(const TPngImageCollectionItem *Item) const;

  void BeginUpdate() { ++FUpdateCount; }
  void EndUpdate();
  // Rebuilds the owning PNG image list (nothing while an update is open).
  void Update(TPngImageCollectionItem *Item);

  using TPersistent::Assign;
  void Assign(const TPersistent *Source) override;

private:
  void Changed();

  TPersistent *FOwner;
  std::vector<std::unique_ptr<TPngImageCollectionItem>> FItems;
  Integer FUpdateCount = 0;
};

inline constexpr Integer kOverlayCount = 15;

// Whether this build's PNG image lists answer the class library's image-name questions from
// their items' names, and publish ImageNameAvailable. Of the builds that carry these lists
// only the Delphi 10.4 build does (set at start-up, before the first list). True unless set.
void SetPngImageNamesInBuild(bool Value);
bool PngImageNamesInBuild();

class TPngImageList : public TImageList, public INameMapping {
  KRX_PUBLISHED(TPngImageList)
public:
  explicit TPngImageList(TComponent *AOwner);
  ~TPngImageList() override;
  TCustomImageList *NewInstance(TComponent *AOwner) const override;

  Integer _AddRef() override { return -1; } // owned, not counted
  Integer _Release() override { return -1; }

  bool EnabledImages() const { return FEnabledImages; }
  void SetEnabledImages(bool Value);
  TPngOptions PngOptions() const { return FPngOptions; }
  void SetPngOptions(TPngOptions Value);
  TPngImageCollectionItems *PngImages() const { return FPngImages.get(); }
  void SetPngImages(const TPngImageCollectionItems *Value);
  bool ImageNameAvailable() const { return FImageNameAvailable; }
  void SetImageNameAvailable(bool Value) { FImageNameAvailable = Value; }
  // A new size clears the list.
  void SetSize(Integer AWidth, Integer AHeight) override;

  // The PNG versions of the redirected operations.
  using TCustomImageList::Add;
  using TCustomImageList::Insert;
  virtual Integer Add(TBitmap *Image, TBitmap *Mask);
  virtual Integer AddIcon(TIcon *Image);
  virtual Integer AddImage(TCustomImageList *Value, Integer Index);
  virtual void AddImages(TCustomImageList *Value);
  virtual Integer AddMasked(TBitmap *Image, TColor MaskColor);
  virtual void Clear();
  virtual void Delete(Integer Index);
  virtual void Insert(Integer Index, TBitmap *Image, TBitmap *Mask);
  virtual void InsertIcon(Integer Index, TIcon *Image);
  virtual void InsertMasked(Integer Index, TBitmap *Image, TColor MaskColor);
  virtual void Move(Integer CurIndex, Integer NewIndex);
  virtual void Replace(Integer Index, TBitmap *Image, TBitmap *Mask);
  virtual void ReplaceIcon(Integer Index, TIcon *Image);
  virtual void ReplaceMasked(Integer Index, TBitmap *NewImage, TColor MaskColor);
  bool Overlay(Integer ImageIndex, TOverlay Overlay);

  // Adds a copy of the image with its background; its index, -1 for a nil or empty image.
  Integer AddPng(const TPngImage *Image, TColor Background = clNone);
  // Inserts a copy at Index (0 to Count); a nil or empty image or another index does nothing.
  void InsertPng(Integer Index, const TPngImage *Image, TColor Background = clNone);

  void BeginUpdate() { ++FLocked; }
  // Closes one update; the outermost rebuilds the platform list when Update is set.
  void EndUpdate(bool Update = true);
  // Makes the platform list anew from the items (nothing while an update is open).
  virtual void RebuildImageList();

  void DoDraw(Integer Index, TCanvas &Canvas, Integer X, Integer Y, UINT Style,
              bool Enabled) override;

  using TPersistent::Assign;
  void Assign(const TPersistent *Source) override;

  // INameMapping
  String GetImageName(Integer Index) override;
  Integer FindIndexByName(const String &AName) override;
  void ListImageNames(TStrings *Target) override;

  // With image names in the build: ImageNameAvailable, the item of that name, the item's
  // name. Without: the class library's own answers.
  bool IsImageNameAvailable() const override;
  Integer GetIndexByName(const String &Name) const override;
  String GetNameByIndex(Integer Index) const override;

  // The image of overlay number 0 to 14, -1 when none.
  Integer OverlayIndex(TOverlay Overlay) const {
    return Overlay < kOverlayCount ? FOverlayIndex[Overlay] : -1;
  }

private:
  // The icon the platform list shows for an item's image: with the disabled effects when
  // the list holds disabled images.
  HICON ListIcon(const TPngImage *Png, TColor Background) const;
  // Converted image Png becomes item Index's image and is shown at Index (a valid index).
  void ReplacePng(Integer Index, const TPngImage &Png);
  bool ValidIndex(Integer Index) const { return Index >= 0 && Index < FPngImages->Count(); }

  bool FEnabledImages = true;
  bool FImageNameAvailable = true;
  Integer FLocked = 0;
  std::array<Integer, kOverlayCount> FOverlayIndex;
  std::unique_ptr<TPngImageCollectionItems> FPngImages;
  TPngOptions FPngOptions{pngBlendOnDisabled};
};

// ---- Redirection of the module's image-list entries ------------------------------------

// The bytes of one entry of ModuleImageListEntries (a function address).
using TEntryBytes = std::array<Byte, sizeof(void (*)())>;

// One installed redirection: the entry, what it held before and what it leads to now.
class TMethodPatch {
public:
  TMethodPatch() = default;
  TMethodPatch(const TMethodPatch &) = delete;
  TMethodPatch &operator=(const TMethodPatch &) = delete;
  // Takes the redirection out when one is installed.
  ~TMethodPatch();

  // Makes the entry at Source lead to Dest, keeping what it held. Fails (and leaves nothing
  // installed) when the entry leads to Dest already: the PNG version would call itself.
  bool InstallMethodPatch(void *Source, const TEntryBytes &Dest, const String &AName);
  // Writes back what the entry held; False when nothing is installed.
  bool PatchBack();

  // The installed patch of that name (case-sensitive); nil when none.
  static TMethodPatch *FindPatch(const String &AName);

  String Name;
  TEntryBytes OldBody{};
  void *OldPointer = nullptr; // the entry; nil while no redirection is installed
  TEntryBytes NewPointer{};
};

// Installs the redirection of every entry (the first PNG image list does).
void PatchImageListMethods();
// The number of installed redirections (0 when none).
Integer ImageListPatchCount();

// The unit's finalization: frees a patch list that is still installed.
void FinalizePngImageList();

} // namespace krx
