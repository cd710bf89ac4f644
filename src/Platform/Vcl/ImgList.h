// Image lists of the class library: a list of images of one size, held in the platform's
// image list (CommCtrl.h) that the list owns through its handle. Images may also be known by
// name only (an image added with a name is blank); drawing one records it on the canvas.
// Change links tell the controls that show a list's images when the list changes.
//
// The fifteen operations that add, insert, replace, move, delete and overlay images are not
// virtual. A module's own calls of them go through that module's entry table
// (ModuleImageListEntries, one hidden copy per module, as the import table through which a
// module calls a shared library), which holds the class library's bodies
// (TCustomImageListMethods) until a module redirects an entry to a function of its own.
#pragma once

#include "Platform/Vcl/CommCtrl.h"
#include "Platform/Vcl/Graphics.h"
#include "Platform/Vcl/Icons.h"

namespace krx {

class TCustomImageList;

// A client's link to an image list: OnChange runs on every change of the list; the list
// clears Sender when it is freed, so the client can tell.
class TChangeLink {
public:
  TChangeLink() = default;
  TChangeLink(const TChangeLink &) = delete;
  TChangeLink &operator=(const TChangeLink &) = delete;
  ~TChangeLink();

  TCustomImageList *Sender() const { return FSender; }
  void SetSender(TCustomImageList *Value) { FSender = Value; }
  void Change();

  TNotifyEvent OnChange;

private:
  TCustomImageList *FSender = nullptr;
};

#define KRX_TCOLORDEPTH(X) X(cdDeviceDependent) X(cd4Bit) X(cd8Bit) X(cd16Bit) X(cd24Bit) X(cd32Bit)
KRX_DECLARE_ENUM(TColorDepth, KRX_TCOLORDEPTH);

using TOverlay = Byte; // overlay numbers 0 to 14

class TCustomImageList : public TComponent {
  KRX_PUBLISHED(TCustomImageList)
public:
  explicit TCustomImageList(TComponent *AOwner);
  ~TCustomImageList() override;

  // A new empty list of this object's own class (the class reference's Create).
  virtual TCustomImageList *NewInstance(TComponent *AOwner) const;

  Integer Width() const { return FWidth; }
  Integer Height() const { return FHeight; }
  // Changing a dimension clears the list, as the platform's image lists do.
  void SetWidth(Integer Value) { SetSize(Value, FHeight); }
  void SetHeight(Integer Value) { SetSize(FWidth, Value); }
  virtual void SetSize(Integer AWidth, Integer AHeight);
  TColorDepth ColorDepth() const { return FColorDepth; }
  void SetColorDepth(TColorDepth Value) { FColorDepth = Value; }
  bool Masked() const { return true; }
  Integer AllocBy() const { return 4; }

  // The platform image list; the list owns it. SetHandle destroys the one held before.
  HIMAGELIST Handle() const { return FHandle; }
  void SetHandle(HIMAGELIST Value);

  Integer Count() const { return ImageList_GetImageCount(FHandle); }
  // Adds a blank image known by a name; returns its index.
  Integer Add(const String &Name = {});
  void Insert(Integer Index, const String &Name);

  // The redirectable operations (see the file's head). Out-of-range indexes raise
  // EInvalidOperation in Delete, Move and Replace*; the Add forms answer -1 for nothing added.
  Integer Add(TBitmap *Image, TBitmap *Mask);
  Integer AddIcon(TIcon *Image);
  Integer AddImage(TCustomImageList *Value, Integer Index);
  void AddImages(TCustomImageList *Value);
  Integer AddMasked(TBitmap *Image, TColor MaskColor);
  void Clear();
  void Delete(Integer Index);
  void Insert(Integer Index, TBitmap *Image, TBitmap *Mask);
  void InsertIcon(Integer Index, TIcon *Image);
  void InsertMasked(Integer Index, TBitmap *Image, TColor MaskColor);
  void Move(Integer CurIndex, Integer NewIndex);
  void Replace(Integer Index, TBitmap *Image, TBitmap *Mask);
  void ReplaceIcon(Integer Index, TIcon *Image);
  void ReplaceMasked(Integer Index, TBitmap *NewImage, TColor MaskColor);
  bool Overlay(Integer ImageIndex, TOverlay Overlay);

  // Image names: the index of the first image of that name (case ignored), -1 when none
  // (and for the empty name); the name of an index ("" outside the list).
  virtual Integer GetIndexByName(const String &Name) const;
  virtual String GetNameByIndex(Integer Index) const;
  virtual bool IsImageNameAvailable() const { return true; }

  // Records the image on the canvas; nothing for an index outside the list.
  void Draw(TCanvas &Canvas, Integer X, Integer Y, Integer Index, bool Enabled = true);
  // Draws image Index at (X, Y); Style may carry an overlay number (INDEXTOOVERLAYMASK).
  virtual void DoDraw(Integer Index, TCanvas &Canvas, Integer X, Integer Y, UINT Style,
                      bool Enabled);

  void BeginUpdate() { ++FUpdateCount; }
  void EndUpdate();

  void RegisterChanges(TChangeLink *Value);
  void UnRegisterChanges(TChangeLink *Value);

  // Copies size and images of another image list.
  using TPersistent::Assign;
  void Assign(const TPersistent *Source) override;

  TNotifyEvent OnChange;

protected:
  friend struct TCustomImageListMethods;
  virtual void Change();

private:
  Integer FWidth = 16;
  Integer FHeight = 16;
  TColorDepth FColorDepth = cdDeviceDependent;
  HIMAGELIST FHandle = nullptr;
  std::vector<TChangeLink *> FClients;
  Integer FUpdateCount = 0;
  bool FChanged = false;
};

class TImageList : public TCustomImageList {
public:
  using TCustomImageList::TCustomImageList;
  TCustomImageList *NewInstance(TComponent *AOwner) const override;
};

// The class library's bodies of the redirectable operations, the list first.
struct TCustomImageListMethods {
  static Integer Add(TCustomImageList &Self, TBitmap *Image, TBitmap *Mask);
  static Integer AddIcon(TCustomImageList &Self, TIcon *Image);
  static Integer AddImage(TCustomImageList &Self, TCustomImageList *Value, Integer Index);
  static void AddImages(TCustomImageList &Self, TCustomImageList *Value);
  static Integer AddMasked(TCustomImageList &Self, TBitmap *Image, TColor MaskColor);
  static void Clear(TCustomImageList &Self);
  static void Delete(TCustomImageList &Self, Integer Index);
  static void Insert(TCustomImageList &Self, Integer Index, TBitmap *Image, TBitmap *Mask);
  static void InsertIcon(TCustomImageList &Self, Integer Index, TIcon *Image);
  static void InsertMasked(TCustomImageList &Self, Integer Index, TBitmap *Image,
                           TColor MaskColor);
  static void Move(TCustomImageList &Self, Integer CurIndex, Integer NewIndex);
  static void Replace(TCustomImageList &Self, Integer Index, TBitmap *Image, TBitmap *Mask);
  static void ReplaceIcon(TCustomImageList &Self, Integer Index, TIcon *Image);
  static void ReplaceMasked(TCustomImageList &Self, Integer Index, TBitmap *NewImage,
                            TColor MaskColor);
  static bool Overlay(TCustomImageList &Self, Integer ImageIndex, TOverlay Overlay);
};

// A module's entries of the redirectable operations, in this order.
struct TImageListEntries {
  Integer (*Add)(TCustomImageList &, TBitmap *, TBitmap *);
  Integer (*AddIcon)(TCustomImageList &, TIcon *);
  Integer (*AddImage)(TCustomImageList &, TCustomImageList *, Integer);
  void (*AddImages)(TCustomImageList &, TCustomImageList *);
  Integer (*AddMasked)(TCustomImageList &, TBitmap *, TColor);
  void (*Clear)(TCustomImageList &);
  void (*Delete)(TCustomImageList &, Integer);
  void (*Insert)(TCustomImageList &, Integer, TBitmap *, TBitmap *);
  void (*InsertIcon)(TCustomImageList &, Integer, TIcon *);
  void (*InsertMasked)(TCustomImageList &, Integer, TBitmap *, TColor);
  void (*Move)(TCustomImageList &, Integer, Integer);
  void (*Replace)(TCustomImageList &, Integer, TBitmap *, TBitmap *);
  void (*ReplaceIcon)(TCustomImageList &, Integer, TIcon *);
  void (*ReplaceMasked)(TCustomImageList &, Integer, TBitmap *, TColor);
  bool (*Overlay)(TCustomImageList &, Integer, TOverlay);
};

// Hidden: every module (program, plug-in, the platform library) has its own table, and only
// the calls compiled into that module read it.
[[gnu::visibility("hidden")]] inline constinit TImageListEntries ModuleImageListEntries = {
    &TCustomImageListMethods::Add,          &TCustomImageListMethods::AddIcon,
    &TCustomImageListMethods::AddImage,     &TCustomImageListMethods::AddImages,
    &TCustomImageListMethods::AddMasked,    &TCustomImageListMethods::Clear,
    &TCustomImageListMethods::Delete,       &TCustomImageListMethods::Insert,
    &TCustomImageListMethods::InsertIcon,   &TCustomImageListMethods::InsertMasked,
    &TCustomImageListMethods::Move,         &TCustomImageListMethods::Replace,
    &TCustomImageListMethods::ReplaceIcon,  &TCustomImageListMethods::ReplaceMasked,
    &TCustomImageListMethods::Overlay};

inline Integer TCustomImageList::Add(TBitmap *Image, TBitmap *Mask) {
  return ModuleImageListEntries.Add(*this, Image, Mask);
}
inline Integer TCustomImageList::AddIcon(TIcon *Image) {
  return ModuleImageListEntries.AddIcon(*this, Image);
}
inline Integer TCustomImageList::AddImage(TCustomImageList *Value, Integer Index) {
  return ModuleImageListEntries.AddImage(*this, Value, Index);
}
inline void TCustomImageList::AddImages(TCustomImageList *Value) {
  ModuleImageListEntries.AddImages(*this, Value);
}
inline Integer TCustomImageList::AddMasked(TBitmap *Image, TColor MaskColor) {
  return ModuleImageListEntries.AddMasked(*this, Image, MaskColor);
}
inline void TCustomImageList::Clear() { ModuleImageListEntries.Clear(*this); }
inline void TCustomImageList::Delete(Integer Index) { ModuleImageListEntries.Delete(*this, Index); }
inline void TCustomImageList::Insert(Integer Index, TBitmap *Image, TBitmap *Mask) {
  ModuleImageListEntries.Insert(*this, Index, Image, Mask);
}
inline void TCustomImageList::InsertIcon(Integer Index, TIcon *Image) {
  ModuleImageListEntries.InsertIcon(*this, Index, Image);
}
inline void TCustomImageList::InsertMasked(Integer Index, TBitmap *Image, TColor MaskColor) {
  ModuleImageListEntries.InsertMasked(*this, Index, Image, MaskColor);
}
inline void TCustomImageList::Move(Integer CurIndex, Integer NewIndex) {
  ModuleImageListEntries.Move(*this, CurIndex, NewIndex);
}
inline void TCustomImageList::Replace(Integer Index, TBitmap *Image, TBitmap *Mask) {
  ModuleImageListEntries.Replace(*this, Index, Image, Mask);
}
inline void TCustomImageList::ReplaceIcon(Integer Index, TIcon *Image) {
  ModuleImageListEntries.ReplaceIcon(*this, Index, Image);
}
inline void TCustomImageList::ReplaceMasked(Integer Index, TBitmap *NewImage, TColor MaskColor) {
  ModuleImageListEntries.ReplaceMasked(*this, Index, NewImage, MaskColor);
}
inline bool TCustomImageList::Overlay(Integer ImageIndex, TOverlay Overlay) {
  return ModuleImageListEntries.Overlay(*this, ImageIndex, Overlay);
}

} // namespace krx
