// Image lists of the headless class library: a list of named images of one size. Images
// carry no pixels here, only their names (and an optional tag of their source); drawing one
// records it on the canvas. Change links tell the controls that show a list's images when
// the list changes.
#pragma once

#include "Platform/Vcl/Graphics.h"

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

struct TImageListItem {
  String Name;
};

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
  void SetSize(Integer AWidth, Integer AHeight);

  Integer Count() const { return static_cast<Integer>(FImages.size()); }
  // Adds an image with a name; returns its index.
  Integer Add(const String &Name = {});
  void Insert(Integer Index, const String &Name);
  void Delete(Integer Index);
  void Clear();
  void Move(Integer CurIndex, Integer NewIndex);

  // Image names: the index of the first image of that name (case ignored), -1 when none
  // (and for the empty name);
  // the name of an index ("" outside the list).
  Integer GetIndexByName(const String &Name) const;
  String GetNameByIndex(Integer Index) const;
  bool IsImageNameAvailable() const { return true; }

  // Records the image on the canvas; nothing for an index outside the list.
  void Draw(TCanvas &Canvas, Integer X, Integer Y, Integer Index, bool Enabled = true) const;

  void BeginUpdate() { ++FUpdateCount; }
  void EndUpdate();

  void RegisterChanges(TChangeLink *Value);
  void UnRegisterChanges(TChangeLink *Value);

  // Copies size and images of another image list.
  using TPersistent::Assign;
  void Assign(const TPersistent *Source) override;

  TNotifyEvent OnChange;

protected:
  virtual void Change();

private:
  Integer FWidth = 16;
  Integer FHeight = 16;
  std::vector<TImageListItem> FImages;
  std::vector<TChangeLink *> FClients;
  Integer FUpdateCount = 0;
  bool FChanged = false;
};

class TImageList : public TCustomImageList {
public:
  using TCustomImageList::TCustomImageList;
  TCustomImageList *NewInstance(TComponent *AOwner) const override;
};

} // namespace krx
